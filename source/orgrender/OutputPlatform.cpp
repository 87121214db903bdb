#include "OutputPlatform.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "FileOpen.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

bool SameFile(const FileIdentity& p_First, const FileIdentity& p_Second)
{
    return p_First.regular && p_Second.regular && p_First.device == p_Second.device &&
           p_First.inode == p_Second.inode;
}

bool MakeFolders(const std::string& p_Path)
{
    // Each folder from the top down; one that exists already is no failure.
    for (std::size_t l_End = 1; l_End <= p_Path.size(); ++l_End) {
        const bool l_Last = l_End == p_Path.size();
#ifdef _WIN32
        const bool l_Separator =
            p_Path[l_End - 1] != ':' && (l_Last || p_Path[l_End] == '/' || p_Path[l_End] == '\\');
        std::wstring l_Wide;
        if (l_Separator &&
            (!Org::WidePath(p_Path.substr(0, l_End), l_Wide) ||
             (!CreateDirectoryW(l_Wide.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS))) {
            errno = EACCES;
            return false;
        }
#else
        if ((l_Last || p_Path[l_End] == '/') && mkdir(p_Path.substr(0, l_End).c_str(), 0777) != 0 &&
            errno != EEXIST)
            return false;
#endif
    }
#ifdef _WIN32
    std::wstring l_Wide;
    const DWORD l_Attributes =
        Org::WidePath(p_Path, l_Wide) ? GetFileAttributesW(l_Wide.c_str()) : INVALID_FILE_ATTRIBUTES;
    const bool l_Folder =
        l_Attributes != INVALID_FILE_ATTRIBUTES && (l_Attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat l_Stat = {};
    const bool l_Folder = stat(p_Path.c_str(), &l_Stat) == 0 && S_ISDIR(l_Stat.st_mode);
#endif
    if (!l_Folder)
        errno = ENOTDIR;
    return l_Folder;
}

std::string PathFileName(const std::string& p_Path)
{
#ifdef _WIN32
    const std::size_t l_Last = p_Path.find_last_of("/\\");
#else
    const std::size_t l_Last = p_Path.find_last_of('/');
#endif
    return p_Path.substr(l_Last + 1);
}

#ifdef _WIN32

namespace {

// Windows gives every file an index on its volume (st_ino is always 0 there).
FileIdentity IdentifyHandle(HANDLE p_Handle)
{
    FileIdentity l_Identity;
    BY_HANDLE_FILE_INFORMATION l_Info = {};
    if (p_Handle == INVALID_HANDLE_VALUE || GetFileType(p_Handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(p_Handle, &l_Info) ||
        (l_Info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return l_Identity;
    l_Identity.regular = true;
    l_Identity.device = l_Info.dwVolumeSerialNumber;
    l_Identity.inode = (static_cast<unsigned long long>(l_Info.nFileIndexHigh) << 32) | l_Info.nFileIndexLow;
    return l_Identity;
}

}  // namespace

FileIdentity IdentifyPath(const std::string& p_Path)
{
    // Opened for no access at all: enough to ask for its identity, and allowed on any file.
    std::wstring l_Path;
    const DWORD l_Share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const HANDLE l_Handle = Org::WidePath(p_Path, l_Path)
                                ? CreateFileW(l_Path.c_str(), 0, l_Share, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                                : CreateFileA(p_Path.c_str(), 0, l_Share, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const FileIdentity l_Identity = IdentifyHandle(l_Handle);
    if (l_Handle != INVALID_HANDLE_VALUE)
        CloseHandle(l_Handle);
    return l_Identity;
}

FileIdentity IdentifyDescriptor(int p_Fd)
{
    return IdentifyHandle(reinterpret_cast<HANDLE>(_get_osfhandle(p_Fd)));
}

int OpenToWrite(const std::string& p_Path, int p_Flags)
{
    return Org::OpenDescriptor(p_Path, p_Flags | O_WRONLY, 0666);
}

void BinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

long long RegularSize(int p_Fd)
{
    struct _stat64 l_Stat = {};
    return _fstat64(p_Fd, &l_Stat) == 0 && S_ISREG(l_Stat.st_mode) ? l_Stat.st_size : -1;
}

long long SeekDescriptor(int p_Fd, long long p_Offset, int p_Whence)
{
    return _lseeki64(p_Fd, p_Offset, p_Whence);
}

bool AppendOnly(int) { return false; }

// Windows runs the handler on a thread of its own, where the usual calls are allowed.
void RemoveFromHandler(const char* p_Path) { Org::RemoveFile(p_Path); }

#else

namespace {

FileIdentity IdentifyStat(int p_Result, const struct stat& p_Stat)
{
    FileIdentity l_Identity;
    if (p_Result == 0 && S_ISREG(p_Stat.st_mode))
        l_Identity = {true, static_cast<unsigned long long>(p_Stat.st_dev),
                      static_cast<unsigned long long>(p_Stat.st_ino)};
    return l_Identity;
}

}  // namespace

FileIdentity IdentifyPath(const std::string& p_Path)
{
    struct stat l_Stat = {};
    const int l_Result = stat(p_Path.c_str(), &l_Stat);
    return IdentifyStat(l_Result, l_Stat);
}

FileIdentity IdentifyDescriptor(int p_Fd)
{
    struct stat l_Stat = {};
    const int l_Result = fstat(p_Fd, &l_Stat);
    return IdentifyStat(l_Result, l_Stat);
}

int OpenToWrite(const std::string& p_Path, int p_Flags)
{
    return Org::OpenDescriptor(p_Path, p_Flags | O_WRONLY, 0666);
}

void BinaryStandardOutput() {}

long long RegularSize(int p_Fd)
{
    struct stat l_Stat = {};
    return fstat(p_Fd, &l_Stat) == 0 && S_ISREG(l_Stat.st_mode) ? static_cast<long long>(l_Stat.st_size) : -1;
}

long long SeekDescriptor(int p_Fd, long long p_Offset, int p_Whence)
{
    return lseek(p_Fd, static_cast<off_t>(p_Offset), p_Whence);
}

bool AppendOnly(int p_Fd)
{
    const int l_Flags = fcntl(p_Fd, F_GETFL);
    return l_Flags < 0 || (l_Flags & O_APPEND);
}

void RemoveFromHandler(const char* p_Path) { unlink(p_Path); }

#endif
