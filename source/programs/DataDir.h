#ifndef TUNEWRIGHT_DATADIR_H
#define TUNEWRIGHT_DATADIR_H

#include <string>

// The folder the running program is in (from the system, else from p_Argv0, which may be null);
// "." when neither tells.
std::string ProgramDir(const char* p_Argv0);

// The folder holding the instrument samples for a program started as p_Argv0: the installed
// data beside the program (../share/tunewright), the build tree's data (not in packages), or the
// working directory.
// Empty when none of them has the samples.
std::string FindDataDir(const char* p_Argv0);

// True when p_Dir holds the instrument samples: melody/ with its first sample, and percussion/.
bool HasSamples(const std::string& p_Dir);

// True when p_Dir has a "gfx" or a "melody" folder: a folder the player can run in as it is.
bool HasDataFolders(const std::string& p_Dir);

// Every path here is in UTF-8, on Windows too, whatever the ANSI code page spells.

// p_Path made absolute against the working directory; an absolute or empty path, or one that
// cannot be resolved because the working directory is unknown, comes back unchanged.
std::string AbsolutePath(const std::string& p_Path);

// Makes p_Dir the working directory; false (with errno set) when it cannot.
bool ChangeDirectory(const std::string& p_Dir);

#endif
