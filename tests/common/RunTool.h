#ifndef TUNEWRIGHT_TESTS_SAMPLES_RUNTOOL_H
#define TUNEWRIGHT_TESTS_SAMPLES_RUNTOOL_H

#include <string>

// Runs a command line through the shell (cmd.exe on Windows); its standard output and error
// together, and its exit status (-1 when it did not exit normally).
struct ToolResult
{
    int status = -1;
    std::string output;
};
ToolResult RunTool(const std::string& p_CommandLine);

// Runs p_Program from p_WorkDir with p_Arguments (already quoted for the shell); p_Before is shell
// text put before the program (a pipe into it, limits, traps). On Windows the command goes through
// cmd.exe: p_Before must be empty, and the arguments' single quotes become double quotes. The tests
// that need a POSIX shell or file system skip there.
ToolResult RunProgram(const std::string& p_Program, const std::string& p_WorkDir,
                      const std::string& p_Arguments, const std::string& p_Before = "");

// A song's name as a POSIX shell gives it to a program, whose bytes would act on a terminal (an
// escape sequence that retitles it, and a control character of the 0x80-0x9f range), and how the
// programs show it.
inline constexpr const char* ESCAPING_NAME = "\"$(printf 'a\\033]0;x\\007\\233.org')\"";
inline constexpr const char* ESCAPED_NAME = "a\\x1b]0;x\\x07\\x9b.org";

// Quotes one argument for the shell.
std::string Quoted(const std::string& p_Argument);

// A fresh, empty folder under the system's temporary folder, removed again on destruction.
class ScratchFolder
{
public:
    explicit ScratchFolder(const std::string& p_Name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return FolderPath; }

private:
    std::string FolderPath;
};

#endif
