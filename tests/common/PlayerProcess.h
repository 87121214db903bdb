#ifndef TUNEWRIGHT_TESTS_PLAYER_PLAYERPROCESS_H
#define TUNEWRIGHT_TESTS_PLAYER_PLAYERPROCESS_H

// One run of a program as a child process: started in a chosen folder with a chosen
// environment, its standard output and error kept in files, its end awaited with a deadline.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace PlayerTest {

using Clock = std::chrono::steady_clock;

struct ProcessUsage {
    double cpuSeconds = 0;  // user + system time of all its threads
    long rssKiB = -1;       // VmRSS
    long peakRssKiB = -1;   // VmHWM
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // p_Args[0] is the program's path. p_Env entries replace (or, with an empty value,
    // remove) variables of this process's environment. Output goes to p_OutDir/stdout.txt
    // and p_OutDir/stderr.txt.
    bool Start(const std::vector<std::string>& p_Args, const std::string& p_WorkDir,
               const std::map<std::string, std::string>& p_Env, const std::string& p_OutDir);

    pid_t Pid() const { return m_Pid; }
    Clock::time_point StartTime() const { return m_Started; }
    bool Running();
    // Waits until the child ends or the deadline passes; true when it ended. Its raw wait
    // status is then in ExitStatus().
    bool WaitForExit(std::chrono::milliseconds p_Timeout);
    int ExitStatus() const { return m_Status; }
    Clock::time_point EndTime() const { return m_Ended; }
    void Kill();

    std::string Stdout() const;
    std::string Stderr() const;
    ProcessUsage Usage() const;

private:
    pid_t m_Pid = -1;
    bool m_Reaped = false;
    int m_Status = 0;
    Clock::time_point m_Started, m_Ended;
    std::string m_OutDir;
};

// Runs a helper program (such as xdotool) to its end; true when it exited with status 0.
bool RunTool(const std::vector<std::string>& p_Args, std::string* p_Output = nullptr);

std::string ReadWholeFile(const std::string& p_Path);

}  // namespace PlayerTest

#endif
