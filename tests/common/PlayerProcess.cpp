#include "PlayerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace PlayerTest {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& p_Strings)
{
    std::vector<char*> l_Pointers;
    for (std::string& l_String : p_Strings)
        l_Pointers.push_back(l_String.data());
    l_Pointers.push_back(nullptr);
    return l_Pointers;
}

std::vector<std::string> MergedEnvironment(const std::map<std::string, std::string>& p_Env)
{
    std::vector<std::string> l_Out;
    for (char** l_Entry = environ; *l_Entry != nullptr; ++l_Entry) {
        const std::string l_Text = *l_Entry;
        if (p_Env.count(l_Text.substr(0, l_Text.find('='))) == 0)
            l_Out.push_back(l_Text);
    }
    for (const auto& [l_Name, l_Value] : p_Env)
        if (!l_Value.empty())
            l_Out.push_back(l_Name + "=" + l_Value);
    return l_Out;
}

}  // namespace

std::string ReadWholeFile(const std::string& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    std::ostringstream l_Text;
    l_Text << l_In.rdbuf();
    return l_Text.str();
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const std::vector<std::string>& p_Args, const std::string& p_WorkDir,
                         const std::map<std::string, std::string>& p_Env, const std::string& p_OutDir)
{
    m_OutDir = p_OutDir;
    std::vector<std::string> l_Args = p_Args;
    std::vector<std::string> l_Env = MergedEnvironment(p_Env);
    std::vector<char*> l_Argv = Pointers(l_Args);
    std::vector<char*> l_Envp = Pointers(l_Env);
    const std::string l_OutPath = p_OutDir + "/stdout.txt";
    const std::string l_ErrPath = p_OutDir + "/stderr.txt";

    std::fflush(nullptr);
    m_Started = Clock::now();
    m_Pid = fork();
    if (m_Pid < 0)
        return false;
    if (m_Pid == 0) {
        // Only async-signal-safe calls from here on.
        const int l_Out = open(l_OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int l_Err = open(l_ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (l_Out < 0 || l_Err < 0 || dup2(l_Out, 1) < 0 || dup2(l_Err, 2) < 0 || chdir(p_WorkDir.c_str()) != 0)
            _exit(126);
        execve(l_Argv[0], l_Argv.data(), l_Envp.data());
        _exit(127);
    }
    m_Reaped = false;
    return true;
}

bool ChildProcess::Running()
{
    if (m_Pid <= 0 || m_Reaped)
        return false;
    int l_Status = 0;
    const pid_t l_Done = waitpid(m_Pid, &l_Status, WNOHANG);
    if (l_Done == m_Pid) {
        m_Ended = Clock::now();
        m_Status = l_Status;
        m_Reaped = true;
        return false;
    }
    return l_Done == 0;
}

bool ChildProcess::WaitForExit(std::chrono::milliseconds p_Timeout)
{
    const Clock::time_point l_Deadline = Clock::now() + p_Timeout;
    while (Running()) {
        if (Clock::now() >= l_Deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return m_Reaped;
}

void ChildProcess::Kill()
{
    if (Running()) {
        kill(m_Pid, SIGKILL);
        WaitForExit(std::chrono::seconds(10));
    }
}

std::string ChildProcess::Stdout() const
{
    return ReadWholeFile(m_OutDir + "/stdout.txt");
}

std::string ChildProcess::Stderr() const
{
    return ReadWholeFile(m_OutDir + "/stderr.txt");
}

ProcessUsage ChildProcess::Usage() const
{
    ProcessUsage l_Usage;
    // Fields 14 and 15 of /proc/PID/stat, counted after the command name's closing parenthesis.
    const std::string l_Stat = ReadWholeFile("/proc/" + std::to_string(m_Pid) + "/stat");
    const std::size_t l_Close = l_Stat.rfind(')');
    if (l_Close != std::string::npos) {
        std::istringstream l_Fields(l_Stat.substr(l_Close + 2));
        std::string l_Skip;
        unsigned long long l_User = 0, l_System = 0;
        for (int i = 3; i <= 13; ++i)
            l_Fields >> l_Skip;
        if (l_Fields >> l_User >> l_System)
            l_Usage.cpuSeconds = double(l_User + l_System) / double(sysconf(_SC_CLK_TCK));
    }
    std::istringstream l_Status(ReadWholeFile("/proc/" + std::to_string(m_Pid) + "/status"));
    std::string l_Line;
    while (std::getline(l_Status, l_Line)) {
        if (l_Line.rfind("VmRSS:", 0) == 0)
            l_Usage.rssKiB = std::stol(l_Line.substr(6));
        else if (l_Line.rfind("VmHWM:", 0) == 0)
            l_Usage.peakRssKiB = std::stol(l_Line.substr(6));
    }
    return l_Usage;
}

bool RunTool(const std::vector<std::string>& p_Args, std::string* p_Output)
{
    int l_Pipe[2];
    if (pipe(l_Pipe) != 0)
        return false;
    std::vector<std::string> l_Args = p_Args;
    std::vector<char*> l_Argv = Pointers(l_Args);
    std::fflush(nullptr);
    const pid_t l_Pid = fork();
    if (l_Pid < 0) {
        close(l_Pipe[0]);
        close(l_Pipe[1]);
        return false;
    }
    if (l_Pid == 0) {
        dup2(l_Pipe[1], 1);
        close(l_Pipe[0]);
        close(l_Pipe[1]);
        execvp(l_Argv[0], l_Argv.data());
        _exit(127);
    }
    close(l_Pipe[1]);
    std::string l_Output;
    char l_Buffer[4096];
    ssize_t l_Read;
    while ((l_Read = read(l_Pipe[0], l_Buffer, sizeof l_Buffer)) > 0)
        l_Output.append(l_Buffer, std::size_t(l_Read));
    close(l_Pipe[0]);
    int l_Status = 0;
    waitpid(l_Pid, &l_Status, 0);
    if (p_Output != nullptr)
        *p_Output = l_Output;
    return WIFEXITED(l_Status) && WEXITSTATUS(l_Status) == 0;
}

}  // namespace PlayerTest
