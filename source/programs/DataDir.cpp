#include "DataDir.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// Paths are kept in UTF-8 and handed to Windows in UTF-16: the ANSI code page spells few of the
// characters a folder's name may hold.
std::wstring Wide(const std::string& p_Utf8)
{
    const int l_Length = MultiByteToWideChar(CP_UTF8, 0, p_Utf8.c_str(), -1, nullptr, 0);
    std::wstring l_Wide(l_Length > 0 ? std::size_t(l_Length) : 1, L'\0');
    if (l_Length > 0)
        MultiByteToWideChar(CP_UTF8, 0, p_Utf8.c_str(), -1, &l_Wide[0], l_Length);
    l_Wide.resize(l_Wide.size() - 1);
    return l_Wide;
}

std::string Utf8(const wchar_t* p_Wide)
{
    const int l_Length = WideCharToMultiByte(CP_UTF8, 0, p_Wide, -1, nullptr, 0, nullptr, nullptr);
    std::string l_Utf8(l_Length > 0 ? std::size_t(l_Length) : 1, '\0');
    if (l_Length > 0)
        WideCharToMultiByte(CP_UTF8, 0, p_Wide, -1, &l_Utf8[0], l_Length, nullptr, nullptr);
    l_Utf8.resize(l_Utf8.size() - 1);
    return l_Utf8;
}

bool Exists(const std::string& p_Path, bool& p_IsDirectory)
{
    const DWORD l_Attributes = GetFileAttributesW(Wide(p_Path).c_str());
    p_IsDirectory = l_Attributes != INVALID_FILE_ATTRIBUTES && (l_Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return l_Attributes != INVALID_FILE_ATTRIBUTES;
}
#else
bool Exists(const std::string& p_Path, bool& p_IsDirectory)
{
    struct stat l_Info;
    const bool l_Exists = stat(p_Path.c_str(), &l_Info) == 0;
    p_IsDirectory = l_Exists && S_ISDIR(l_Info.st_mode);
    return l_Exists;
}
#endif

bool IsDirectory(const std::string& p_Path)
{
    bool l_IsDirectory = false;
    return Exists(p_Path, l_IsDirectory) && l_IsDirectory;
}

}  // namespace

bool HasSamples(const std::string& p_Dir)
{
    bool l_IsDirectory = false;
    return Exists(p_Dir + "/melody/melody0.wav", l_IsDirectory) && IsDirectory(p_Dir + "/percussion");
}

namespace {

#ifdef _WIN32
const char* const g_Separators = "/\\";
#else
const char* const g_Separators = "/";
#endif

}  // namespace

std::string ProgramDir(const char* p_Argv0)
{
    std::string l_Program;
#ifdef _WIN32
    wchar_t l_Path[32768];  // the longest path Windows has
    const DWORD l_Got = GetModuleFileNameW(nullptr, l_Path, sizeof(l_Path) / sizeof(l_Path[0]));
    if (l_Got > 0 && l_Got < sizeof(l_Path) / sizeof(l_Path[0]))
        l_Program = Utf8(l_Path);
#else
    char l_Path[PATH_MAX];
    const ssize_t l_Length = readlink("/proc/self/exe", l_Path, sizeof(l_Path) - 1);
    if (l_Length > 0)
        l_Program.assign(l_Path, static_cast<std::size_t>(l_Length));
#endif
    if (l_Program.empty() && p_Argv0 != nullptr)
        l_Program = p_Argv0;
    const std::size_t l_Slash = l_Program.find_last_of(g_Separators);
    return l_Slash == std::string::npos ? std::string(".") : l_Program.substr(0, l_Slash);
}

std::string FindDataDir(const char* p_Argv0)
{
    // On Windows the data is unpacked beside the programs; elsewhere it is installed under the prefix.
    const std::string l_Candidates[] = {
#ifdef _WIN32
        ProgramDir(p_Argv0),
#else
        ProgramDir(p_Argv0) + "/../" TUNEWRIGHT_INSTALL_DATADIR,
#endif
#ifdef TUNEWRIGHT_BUILD_DATA_DIR
        TUNEWRIGHT_BUILD_DATA_DIR,
#endif
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
#ifdef _WIN32
    wchar_t l_Dir[32768];
    if (_wgetcwd(l_Dir, sizeof(l_Dir) / sizeof(l_Dir[0])) == nullptr)
        return p_Path;
    return Utf8(l_Dir) + "/" + p_Path;
#else
    char l_Dir[PATH_MAX];
    if (getcwd(l_Dir, sizeof(l_Dir)) == nullptr)
        return p_Path;
    return std::string(l_Dir) + "/" + p_Path;
#endif
}

bool ChangeDirectory(const std::string& p_Dir)
{
#ifdef _WIN32
    return _wchdir(Wide(p_Dir).c_str()) == 0;
#else
    return chdir(p_Dir.c_str()) == 0;
#endif
}
