#ifndef TUNEWRIGHT_ORGLOG_H
#define TUNEWRIGHT_ORGLOG_H

// Every message of the song library passes through here, so that a program embedding it can take
// them over (tw_set_log_function) or silence them.
#include <cstdio>

namespace Org {

using LogFunction = void (*)(const char* p_Line, void* p_User);

// Hands p_Text, unchanged, to the installed function, or without one writes it to p_Stream, the
// stream that message has always gone to.
void Log(const char* p_Text, std::FILE* p_Stream);

// Installs p_Function (null: back to the streams). Safe from any thread.
void SetLogFunction(LogFunction p_Function, void* p_User);

}  // namespace Org

#endif
