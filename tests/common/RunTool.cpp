#include "RunTool.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

ToolResult RunTool(const std::string& p_CommandLine)
{
    ToolResult l_Result;
#ifdef _WIN32
    std::FILE* l_Pipe = _popen((p_CommandLine + " 2>&1").c_str(), "r");
#else
    std::FILE* l_Pipe = popen((p_CommandLine + " 2>&1").c_str(), "r");
#endif
    if (!l_Pipe) {
        return l_Result;
    }
    char l_Buffer[4096];
    std::size_t l_Read = 0;
    while ((l_Read = std::fread(l_Buffer, 1, sizeof l_Buffer, l_Pipe)) > 0) {
        l_Result.output.append(l_Buffer, l_Read);
    }
#ifdef _WIN32
    l_Result.status = _pclose(l_Pipe);
#else
    const int l_Status = pclose(l_Pipe);
    if (l_Status != -1 && WIFEXITED(l_Status)) {
        l_Result.status = WEXITSTATUS(l_Status);
    }
#endif
    return l_Result;
}

ToolResult RunProgram(const std::string& p_Program, const std::string& p_WorkDir,
                      const std::string& p_Arguments, const std::string& p_Before)
{
#ifdef _WIN32
    EXPECT_EQ("", p_Before);
    const auto l_Windows = [](std::string p_Text, char p_From, char p_To) {
        std::replace(p_Text.begin(), p_Text.end(), p_From, p_To);
        return p_Text;
    };
    return RunTool("cd /d \"" + l_Windows(p_WorkDir, '/', '\\') + "\" && \"" +
                   l_Windows(p_Program, '/', '\\') + "\" " + l_Windows(p_Arguments, '\'', '"'));
#else
    return RunTool("cd " + Quoted(p_WorkDir) + " && " + p_Before + Quoted(p_Program) + " " + p_Arguments);
#endif
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
