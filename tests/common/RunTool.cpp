#include "RunTool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

ToolResult RunTool(const std::string& p_CommandLine)
{
    ToolResult l_Result;
    std::FILE* l_Pipe = popen((p_CommandLine + " 2>&1").c_str(), "r");
    if (!l_Pipe) {
        return l_Result;
    }
    char l_Buffer[4096];
    std::size_t l_Read = 0;
    while ((l_Read = std::fread(l_Buffer, 1, sizeof l_Buffer, l_Pipe)) > 0) {
        l_Result.output.append(l_Buffer, l_Read);
    }
    const int l_Status = pclose(l_Pipe);
    if (l_Status != -1 && WIFEXITED(l_Status)) {
        l_Result.status = WEXITSTATUS(l_Status);
    }
    return l_Result;
}

std::string Quoted(const std::string& p_Argument)
{
    std::string l_Quoted = "'";
    for (char l_C : p_Argument) {
        l_Quoted += l_C == '\'' ? std::string("'\\''") : std::string(1, l_C);
    }
    return l_Quoted + "'";
}

ScratchFolder::ScratchFolder(const std::string& p_Name)
{
    const std::filesystem::path l_Path =
        std::filesystem::temp_directory_path() / ("tunewright-" + p_Name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(l_Path);
    std::filesystem::create_directories(l_Path);
    FolderPath = l_Path.string();
}

ScratchFolder::~ScratchFolder()
{
    std::error_code l_Ignored;
    std::filesystem::remove_all(FolderPath, l_Ignored);
}
