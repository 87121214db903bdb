#include "DataDir.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <sys/stat.h>

namespace {

bool IsDirectory(const std::string& p_Path)
{
    struct stat l_Info;
    return stat(p_Path.c_str(), &l_Info) == 0 && S_ISDIR(l_Info.st_mode);
}

}  // namespace

bool HasSamples(const std::string& p_Dir)
{
    struct stat l_Info;
    return stat((p_Dir + "/melody/melody0.wav").c_str(), &l_Info) == 0 && IsDirectory(p_Dir + "/percussion");
}

namespace {

std::string ProgramDir(const char* p_Argv0)
{
    char l_Path[PATH_MAX];
    const ssize_t l_Length = readlink("/proc/self/exe", l_Path, sizeof(l_Path) - 1);
    std::string l_Program;
    if (l_Length > 0)
        l_Program.assign(l_Path, static_cast<std::size_t>(l_Length));
    else if (p_Argv0 != nullptr)
        l_Program = p_Argv0;
    const std::size_t l_Slash = l_Program.find_last_of('/');
    return l_Slash == std::string::npos ? std::string(".") : l_Program.substr(0, l_Slash);
}

}  // namespace

std::string FindDataDir(const char* p_Argv0)
{
    const std::string l_Candidates[] = {
        ProgramDir(p_Argv0) + "/../" TUNEWRIGHT_INSTALL_DATADIR,
        TUNEWRIGHT_BUILD_DATA_DIR,
        ".",
    };
    for (const std::string& l_Dir : l_Candidates)
        if (HasSamples(l_Dir))
            return l_Dir;
    return std::string();
}

bool HasDataFolders(const std::string& p_Dir)
{
    return IsDirectory(p_Dir + "/gfx") || IsDirectory(p_Dir + "/melody");
}

std::string AbsolutePath(const std::string& p_Path)
{
    if (p_Path.empty() || p_Path[0] == '/')
        return p_Path;
    char l_Dir[PATH_MAX];
    if (getcwd(l_Dir, sizeof(l_Dir)) == nullptr)
        return p_Path;
    return std::string(l_Dir) + "/" + p_Path;
}
