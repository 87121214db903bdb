#include "EndingSignals.h"

#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Windows raises only these two from outside.
const int g_EndingSignals[] = {SIGINT, SIGTERM};
#else
const int g_EndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,   SIGUSR2,
    SIGALRM, SIGPIPE, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
#endif

}  // namespace

#ifdef _WIN32

void CatchEndingSignals(void (*p_Handler)(int))
{
    for (int l_Signal : g_EndingSignals)
        if (std::signal(l_Signal, p_Handler) == SIG_IGN)
            std::signal(l_Signal, SIG_IGN);
}

void DieOfSignal(int p_Signal)
{
    std::signal(p_Signal, SIG_DFL);
    std::raise(p_Signal);
    _exit(128 + p_Signal);
}

EndingSignalsHeld::EndingSignalsHeld() = default;
EndingSignalsHeld::~EndingSignalsHeld() = default;

#else

void CatchEndingSignals(void (*p_Handler)(int))
{
    for (int l_Signal : g_EndingSignals) {
        struct sigaction l_Old = {};
        if (sigaction(l_Signal, nullptr, &l_Old) == 0 && l_Old.sa_handler == SIG_IGN)
            continue;
        struct sigaction l_New = {};
        l_New.sa_handler = p_Handler;
        sigemptyset(&l_New.sa_mask);
        sigaction(l_Signal, &l_New, nullptr);  // no SA_RESTART: a wait ends at once
    }
}

void DieOfSignal(int p_Signal)
{
    // Called from its own handler the signal is blocked: unblocked, the raised one is delivered
    // at once, with its default action.
    struct sigaction l_Default = {};
    l_Default.sa_handler = SIG_DFL;
    sigemptyset(&l_Default.sa_mask);
    sigaction(p_Signal, &l_Default, nullptr);
    sigset_t l_Set;
    sigemptyset(&l_Set);
    sigaddset(&l_Set, p_Signal);
    sigprocmask(SIG_UNBLOCK, &l_Set, nullptr);
    raise(p_Signal);
    _exit(128 + p_Signal);
}

EndingSignalsHeld::EndingSignalsHeld()
{
    sigset_t l_Ending;
    sigemptyset(&l_Ending);
    for (int l_Signal : g_EndingSignals)
        sigaddset(&l_Ending, l_Signal);
    sigprocmask(SIG_BLOCK, &l_Ending, &before);
}

EndingSignalsHeld::~EndingSignalsHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }

#endif
