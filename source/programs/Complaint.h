#ifndef TUNEWRIGHT_COMPLAINT_H
#define TUNEWRIGHT_COMPLAINT_H

// How every program says what went wrong: "PROGRAM: message" on standard error, one line.
#include <string>

// The name complaints begin with; the OptionReader sets it to the program's.
void SetProgramName(const char* p_Name);

// Called before each complaint (tunewright-play clears its status line first); null for none.
void SetBeforeComplaint(void (*p_Hook)());

// p_Message after the program's name, shown so that a name from the command line in it cannot act
// on a terminal (PrintableText).
void Complain(const std::string& p_Message);

#endif
