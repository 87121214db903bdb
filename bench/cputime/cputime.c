/* Runs a command and prints the CPU time it used, for the benchmarks that time whole programs:
 * the total from the process's CPU clock, read once it has ended but before it is reaped (every
 * thread's time, to the nanosecond, whatever the kernel's tick), then the user and system parts as
 * the kernel accounts them (wait4's rusage).
 *   bench_cputime [--drain] COMMAND [ARG...]
 * prints "TOTAL USER SYSTEM BYTES" on standard output, the times in seconds. The command's standard
 * input and error are /dev/null; its standard output is /dev/null, or with --drain a pipe this
 * program reads to its end (BYTES counts what came through it, else 0), so that writing to a pipe
 * is what is measured. The pipe holds 1 MiB where the system allows, read 1 MiB at a time: a writer
 * then waits for the reader once a megabyte rather than once a page, whether the reader shares its
 * processor or has one of its own, and however busy that one is. Exit status 1 when the command
 * cannot run or fails. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static int Usage(void)
{
    fprintf(stderr, "usage: bench_cputime [--drain] COMMAND [ARG...]\n");
    return 2;
}

enum { PIPE_BYTES = 1 << 20 };

static unsigned long long Drain(int p_Fd)
{
    static char l_Bytes[PIPE_BYTES];
    unsigned long long l_Count = 0;
    ssize_t l_Read;
    while ((l_Read = read(p_Fd, l_Bytes, sizeof l_Bytes)) > 0)
        l_Count += (unsigned long long)l_Read;
    close(p_Fd);
    return l_Count;
}

int main(int p_Argc, char** p_Argv)
{
    int l_First = 1;
    const int l_Drain = p_Argc > 1 && strcmp(p_Argv[1], "--drain") == 0;
    l_First += l_Drain;
    if (l_First >= p_Argc || p_Argv[l_First][0] == '-')
        return Usage();
    int l_Pipe[2] = {-1, -1};
    if (l_Drain && pipe(l_Pipe) != 0) {
        perror("bench_cputime: pipe");
        return 1;
    }
    if (l_Drain)
        fcntl(l_Pipe[0], F_SETPIPE_SZ, PIPE_BYTES); /* else the system's 64 KiB */
    const pid_t l_Child = fork();
    if (l_Child < 0) {
        perror("bench_cputime: fork");
        return 1;
    }
    if (l_Child == 0) {
        const int l_Null = open("/dev/null", O_RDWR);
        dup2(l_Null, STDIN_FILENO);
        dup2(l_Drain ? l_Pipe[1] : l_Null, STDOUT_FILENO);
        dup2(l_Null, STDERR_FILENO);
        execvp(p_Argv[l_First], p_Argv + l_First);
        _exit(127);
    }
    unsigned long long l_Bytes = 0;
    if (l_Drain) {
        close(l_Pipe[1]);
        l_Bytes = Drain(l_Pipe[0]);
    }
    /* Ended but not reaped: its CPU clock still answers. */
    siginfo_t l_Info;
    memset(&l_Info, 0, sizeof l_Info);
    clockid_t l_Clock;
    struct timespec l_Used = {0, 0};
    const int l_Clocked = waitid(P_PID, (id_t)l_Child, &l_Info, WEXITED | WNOWAIT) == 0 &&
                          clock_getcpuclockid(l_Child, &l_Clock) == 0 && clock_gettime(l_Clock, &l_Used) == 0;
    int l_Status = 0;
    struct rusage l_Usage;
    if (wait4(l_Child, &l_Status, 0, &l_Usage) != l_Child || !l_Clocked) {
        perror("bench_cputime: wait");
        return 1;
    }
    if (!WIFEXITED(l_Status) || WEXITSTATUS(l_Status) != 0) {
        fprintf(stderr, "bench_cputime: %s failed (wait status %d)\n", p_Argv[l_First], l_Status);
        return 1;
    }
    printf("%ld.%09ld %ld.%06ld %ld.%06ld %llu\n", (long)l_Used.tv_sec, l_Used.tv_nsec,
           (long)l_Usage.ru_utime.tv_sec, (long)l_Usage.ru_utime.tv_usec, (long)l_Usage.ru_stime.tv_sec,
           (long)l_Usage.ru_stime.tv_usec, l_Bytes);
    return 0;
}
