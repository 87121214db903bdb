#ifndef TUNEWRIGHT_SONGOPTIONS_H
#define TUNEWRIGHT_SONGOPTIONS_H

// The command line of the programs that play songs (tunewright-play, tunewright-render): the
// options they share are read here, one way, and each program's own through a callback. A program
// that plays nothing (tunewright-convert) takes only --help, --version, -- and its own.
#include <functional>
#include <string>
#include <vector>

#include "OrgSongTypes.h"

struct SongOptions
{
    std::vector<std::string> songs;
    std::string dataDir;   // -d, --data; empty: the program's default
    int loops = 1;         // -l, --loops: a loop count (SongLength), -1 for ever
    double seconds = 0.0;  // -s, --seconds: a fixed length instead, when above 0
    float volume = 0.5f;   // -v, --volume
    int resampler = 1;     // -i, --interp: an FMOD_DSP_RESAMPLER, linear as the player
    // The mixing desk over the song (Org::SongDecoder's settings), the same in both programs.
    bool mute[Org::TRACK_COUNT] = {};  // --mute LIST
    bool solo[Org::TRACK_COUNT] = {};  // --solo LIST
    double tempo = 1.0;                // --tempo: the tempo factor, pitch kept
    double transpose = 0.0;            // --transpose: semitones, fractions allowed
};

// Reads a list of tracks, numbers and ranges such as "0,3,8-15", marking each in p_Tracks. False,
// with p_Tracks untouched and the reason in p_Error, for anything else.
bool ParseTrackList(const std::string& p_Text, bool (&p_Tracks)[Org::TRACK_COUNT], std::string& p_Error);

// The words of one command line, read in turn. The readers of an option's value take the next
// word; when it is missing or wrong they say so on standard error and give false.
class OptionReader
{
public:
    OptionReader(const char* p_Program, const char* p_Usage, int argc, char** argv);
    // The options of playing (-d, -l, -s, -v, -i, --mute, --solo, --tempo, --transpose) are then
    // unknown.
    void WithoutPlayingOptions() { playing = false; }

    const std::string& Option() const { return option; }  // the option being read
    bool Number(double p_Min, double p_Max, double& p_Value);
    bool Count(long p_Min, long p_Max, int& p_Value);
    bool Path(std::string& p_Value);  // a word that is not empty
    bool Word(std::string& p_Value);  // any word

    // "PROGRAM: p_Message" on standard error, shown so that it cannot act on a terminal.
    void Complain(const std::string& p_Message) const;
    // The same followed by the usage; the exit status of a bad command line.
    int Usage(const std::string& p_Message) const;

    // Reads the command line into p_Options. p_Own is asked first for each option and returns 1
    // when it took it, 0 when it is not the program's own, 2 when its value was wrong (said).
    // Returns an exit status to end with (after --help, --version or a bad command line), or -1.
    int Read(SongOptions& p_Options, const std::function<int(OptionReader&)>& p_Own);

private:
    const char* program;
    const char* usage;
    int argc;
    char** argv;
    int next = 1;
    std::string option;
    bool playing = true;
};

#endif
