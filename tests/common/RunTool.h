#ifndef TUNEWRIGHT_TESTS_SAMPLES_RUNTOOL_H
#define TUNEWRIGHT_TESTS_SAMPLES_RUNTOOL_H

#include <string>

// Runs a command line through the shell; its standard output and error together, and its exit
// status (-1 when it did not exit normally).
struct ToolResult {
    int status = -1;
    std::string output;
};
ToolResult RunTool(const std::string& p_CommandLine);

// Quotes one argument for the shell.
std::string Quoted(const std::string& p_Argument);

// A fresh, empty folder under the system's temporary folder, removed again on destruction.
class ScratchFolder {
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
