#ifndef TUNEWRIGHT_ENDINGSIGNALS_H
#define TUNEWRIGHT_ENDINGSIGNALS_H

#ifndef _WIN32
#include <signal.h>
#endif

// The programs' one rule for the signals that end a process: catch every signal whose default
// action ends it and that comes from outside (interrupt, quit, termination, a hangup, the user
// and timer signals, a closed pipe, CPU and file-size limits), tidy up, then die of that same
// signal. Dying of it, rather than exiting with 128 + its number, is what lets a shell loop
// over the programs stop at Ctrl-C.

// Calls p_Handler on each such signal, except those the caller set to be ignored (nohup; a
// file-size limit with SIGXFSZ ignored, where the write fails and is reported instead). The
// handler interrupts a blocking call rather than restarting it.
void CatchEndingSignals(void (*p_Handler)(int));

// Puts p_Signal's default action back and raises it, so that the process ends as that signal ends
// it; safe to call from a signal handler. Should the signal not end the process after all, it
// exits with status 128 + p_Signal.
[[noreturn]] void DieOfSignal(int p_Signal);

// Holds the ending signals back while it lives, for a step that a handler must not come between
// (making a file and telling the handler its name); one that came meanwhile is delivered as it
// ends. Nothing on Windows, where a handler runs on a thread of its own.
class EndingSignalsHeld
{
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
#ifndef _WIN32
    sigset_t before;
#endif
};

#endif
