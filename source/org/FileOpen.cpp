#include "FileOpen.h"

#include <fcntl.h>

#ifdef _WIN32
#include <windows.h>

#include <cwchar>
#else
#include <unistd.h>
#endif

namespace Org {

#ifdef _WIN32

bool WidePath(const std::string& p_Text, std::wstring& p_Wide)
{
    const int l_Length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p_Text.c_str(),
                                             int(p_Text.size()) + 1, nullptr, 0);
    if (l_Length <= 0)
        return false;
    p_Wide.assign(std::size_t(l_Length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p_Text.c_str(), int(p_Text.size()) + 1, &p_Wide[0],
                        l_Length);
    p_Wide.resize(std::size_t(l_Length) - 1);
    return true;
}

std::FILE* OpenFile(const std::string& p_Path, const char* p_Mode)
{
    std::wstring l_Path, l_Mode;
    if (WidePath(p_Path, l_Path) && WidePath(p_Mode, l_Mode))
        return _wfopen(l_Path.c_str(), l_Mode.c_str());
    return std::fopen(p_Path.c_str(), p_Mode);
}

std::FILE* OpenForWritingNow(const std::string& p_Path) { return OpenFile(p_Path, "wb"); }

int RemoveFile(const std::string& p_Path)
{
    std::wstring l_Path;
    return WidePath(p_Path, l_Path) ? _wremove(l_Path.c_str()) : std::remove(p_Path.c_str());
}

int OpenDescriptor(const std::string& p_Path, int p_Flags, int p_Mode)
{
    std::wstring l_Path;
    if (WidePath(p_Path, l_Path))
        return _wopen(l_Path.c_str(), p_Flags | O_BINARY | O_NOINHERIT, p_Mode);
    return _open(p_Path.c_str(), p_Flags | O_BINARY | O_NOINHERIT, p_Mode);
}

#else

std::FILE* OpenFile(const std::string& p_Path, const char* p_Mode)
{
    return std::fopen(p_Path.c_str(), p_Mode);
}

std::FILE* OpenForWritingNow(const std::string& p_Path)
{
    const int l_Fd = OpenDescriptor(p_Path, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK, 0666);
    if (l_Fd < 0)
        return nullptr;
    fcntl(l_Fd, F_SETFL, fcntl(l_Fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* l_File = fdopen(l_Fd, "wb");
    if (l_File == nullptr)
        close(l_Fd);
    return l_File;
}

int RemoveFile(const std::string& p_Path) { return std::remove(p_Path.c_str()); }

int OpenDescriptor(const std::string& p_Path, int p_Flags, int p_Mode)
{
    return open(p_Path.c_str(), p_Flags | O_CLOEXEC, p_Mode);
}

#endif

}  // namespace Org
