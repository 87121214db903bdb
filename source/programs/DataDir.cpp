#include "DataDir.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#endif

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

#ifdef _WIN32
const char* const g_Separators = "/\\";
#else
const char* const g_Separators = "/";
#endif

std::string ProgramDir(const char* p_Argv0)
{
    char l_Path[PATH_MAX];
#ifdef _WIN32
    const DWORD l_Got = GetModuleFileNameA(nullptr, l_Path, sizeof(l_Path));
    const long l_Length = l_Got < sizeof(l_Path) ? long(l_Got) : 0;
#else
    const ssize_t l_Length = readlink("/proc/self/exe", l_Path, sizeof(l_Path) - 1);
#endif
    std::string l_Program;
    if (l_Length > 0)
        l_Program.assign(l_Path, static_cast<std::size_t>(l_Length));
    else if (p_Argv0 != nullptr)
        l_Program = p_Argv0;
    const std::size_t l_Slash = l_Program.find_last_of(g_Separators);
    return l_Slash == std::string::npos ? std::string(".") : l_Program.substr(0, l_Slash);
}

}  // namespace

std::string FindDataDir(const char* p_Argv0)
{
    // On Windows the data is unpacked beside the programs; elsewhere it is installed under the prefix.
    const std::string l_Candidates[] = {
#ifdef _WIN32
        ProgramDir(p_Argv0),
#else
        ProgramDir(p_Argv0) + "/../" TUNEWRIGHT_INSTALL_DATADIR,
#endif
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
#ifdef _WIN32
    if (p_Path[0] == '\\' || (p_Path.size() > 1 && p_Path[1] == ':'))
        return p_Path;
#endif
    char l_Dir[PATH_MAX];
    if (getcwd(l_Dir, sizeof(l_Dir)) == nullptr)
        return p_Path;
    return std::string(l_Dir) + "/" + p_Path;
}
