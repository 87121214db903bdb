#ifndef TUNEWRIGHT_RENDEROUTPUT_H
#define TUNEWRIGHT_RENDEROUTPUT_H

// Where a render's audio (or a conversion's song) goes, by the rules that keep the programs from
// destroying a file: an existing file is written over only when the user forces it, the song being
// read never (by any name or link), and a regular file only once the new one is complete (written
// beside it as a temporary of this process's own, NAME.tmp-PID-N, renamed over it at the end, so
// that two runs to one name each leave a whole file). Anything else (standard output, a pipe,
// /dev/null) is written straight; a terminal only when forced, since binary data would garble it.
#include <string>

#include "FileReplace.h"
#include "OutputPlatform.h"

// The file a song is read from, to know it again under another name.
using SongIdentity = FileIdentity;

// The identity of p_SongPath ("-": standard input).
SongIdentity IdentifySong(const std::string& p_SongPath);

// The output a song gets by default: its file name with p_Extension instead of its own ("song" for
// standard input), to be put in the working directory or the folder given with -o.
std::string DefaultOutputName(const std::string& p_SongPath, const std::string& p_Extension);

// How a program's refusals name its input and the data it writes.
struct OutputWords
{
    const char* input = "the song being rendered";
    const char* data = "sound data";
};

class RenderOutput
{
public:
    RenderOutput() = default;
    ~RenderOutput() { Abandon(); }
    RenderOutput(const RenderOutput&) = delete;
    RenderOutput& operator=(const RenderOutput&) = delete;

    // Whether p_Path ("-": standard output) may be written: false, with a one-line message, when
    // it is the song p_Input, or when it exists (or standard output is a terminal) and p_Force
    // is false. Nothing is changed.
    static bool Allowed(const std::string& p_Path, const SongIdentity& p_Input, bool p_Force,
                        std::string& p_Error, const OutputWords& p_Words = {});
    // Opens p_Path to write, when Allowed. False, with a one-line message and nothing changed on
    // disk, when it is not, or cannot be opened.
    bool Open(const std::string& p_Path, const SongIdentity& p_Input, bool p_Force, std::string& p_Error,
              const OutputWords& p_Words = {});
    int Fd() const { return fd; }
    // Completes the output: closed, and a temporary renamed over its target. False, with the
    // system's reason, when that fails; the older file then stays.
    bool Commit(std::string& p_Error);
    // Gives the output up: closed, and a temporary removed.
    void Abandon();

private:
    int fd = -1;
    bool ownsFd = false;
    std::string temporary;        // the temporary file, when the output goes through one
    Org::FileTarget target = {};  // the regular file it replaces
    int slot = -1;                // where the signal handler finds the temporary's name
};

#endif
