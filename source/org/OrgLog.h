#ifndef TUNEWRIGHT_ORGLOG_H
#define TUNEWRIGHT_ORGLOG_H

// Every message of the song library passes through here, so that a program embedding it can take
// them over (tw_set_log_function, tw_song_set_log_function) or silence them.
#include <cstdio>

namespace Org {

using LogFunction = void (*)(const char* p_Line, void* p_User);

// Hands p_Text, unchanged, to where this thread's messages go now: within a LogScope, its function,
// else the process-wide function, else nowhere; outside any, the process-wide function, else
// p_Stream, the stream that message has always gone to.
void Log(const char* p_Text, std::FILE* p_Stream);

// Installs the process-wide function (null: none). Safe from any thread.
void SetLogFunction(LogFunction p_Function, void* p_User);

// While one lives, the messages of its thread are those of a C interface call: a library that
// speaks only when asked never writes them to a stream. Scopes nest; the innermost decides.
class LogScope
{
public:
    LogScope(LogFunction p_Function, void* p_User);  // p_Function null: the process-wide one, or none
    ~LogScope();
    LogScope(const LogScope&) = delete;
    LogScope& operator=(const LogScope&) = delete;

private:
    friend void Log(const char*, std::FILE*);
    LogFunction function;
    void* user;
    const LogScope* outer;
};

}  // namespace Org

#endif
