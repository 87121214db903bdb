#ifndef TUNEWRIGHT_DATADIR_H
#define TUNEWRIGHT_DATADIR_H

#include <string>

// The folder holding the instrument samples for a program started as p_Argv0: the installed
// data beside the program (../share/tunewright), the build tree's data, or the working directory.
// Empty when none of them has the samples.
std::string FindDataDir(const char* p_Argv0);

#endif
