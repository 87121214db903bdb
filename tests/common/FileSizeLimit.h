#ifndef TUNEWRIGHT_TESTS_FILESIZELIMIT_H
#define TUNEWRIGHT_TESTS_FILESIZELIMIT_H

// POSIX only: Windows has neither fork nor file-size limits.
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace OrgTest {

// Runs p_Body in a child process whose files cannot grow past p_Bytes, with SIGXFSZ ignored, so
// that writes past the limit fail with EFBIG as they would on a full disk. Returns the child's
// exit status (p_Body's result), or -1 when it did not exit normally.
template <class Body> int ExitStatusUnderFileSizeLimit(rlim_t p_Bytes, Body&& p_Body)
{
    const pid_t l_Child = fork();
    if (l_Child < 0)
        return -1;
    if (l_Child == 0) {
        const rlimit l_Limit = {p_Bytes, p_Bytes};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &l_Limit);
        _exit(p_Body());
    }
    int l_Status = -1;
    if (waitpid(l_Child, &l_Status, 0) != l_Child || !WIFEXITED(l_Status))
        return -1;
    return WEXITSTATUS(l_Status);
}

}  // namespace OrgTest

#endif
#endif
