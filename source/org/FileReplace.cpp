#include "FileReplace.h"

#include "FileOpen.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Org {

namespace {

// As many links as the system itself follows before it gives up with ELOOP.
constexpr int MAX_LINKS = 40;

std::string Reason(int p_Errno) { return std::strerror(p_Errno); }

// The folder p_Path is in, as a person would name it.
// (Plain string work: std::filesystem would bring much of the C++ runtime into every Windows
// program that links the runtime statically.)
std::string FolderOf(const std::string& p_Path)
{
#if defined(_WIN32)
    const std::size_t l_Slash = p_Path.find_last_of("/\\");
#else
    const std::size_t l_Slash = p_Path.find_last_of('/');
#endif
    if (l_Slash == std::string::npos)
        return ".";
    return l_Slash == 0 ? std::string("/") : p_Path.substr(0, l_Slash);
}

// Why no temporary could be made beside p_Path: a folder that may not be written is the culprit,
// not the file, which may well be writable.
std::string CreateReason(const std::string& p_Path, int p_Errno)
{
    if (p_Errno == EACCES || p_Errno == EPERM || p_Errno == EROFS)
        return "its folder " + FolderOf(p_Path) + " cannot be written (" + Reason(p_Errno) + ")";
    return Reason(p_Errno);
}

}  // namespace

int CreateTemporaryDescriptor(const FileTarget& p_Target, std::string& p_Temporary, std::string& p_Error)
{
    // A name of its own (this process, then a count), created exclusively: O_EXCL neither follows
    // a link nor opens a FIFO, a folder or another's file planted under that name.
    for (int l_Try = 0; l_Try < 100; ++l_Try) {
#if defined(_WIN32)
        const unsigned long l_Process = GetCurrentProcessId();
#else
        const long l_Process = getpid();
#endif
        p_Temporary = p_Target.path + ".tmp-" + std::to_string(l_Process) + "-" + std::to_string(l_Try);
        const int l_Fd = OpenDescriptor(p_Temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (l_Fd >= 0)
            return l_Fd;
        if (errno != EEXIST)
            break;
    }
    p_Error = CreateReason(p_Target.path, errno);
    return -1;
}

std::FILE* CreateTemporary(const FileTarget& p_Target, std::string& p_Temporary, std::string& p_Error)
{
    const int l_Fd = CreateTemporaryDescriptor(p_Target, p_Temporary, p_Error);
    if (l_Fd < 0)
        return nullptr;
#if defined(_WIN32)
    std::FILE* l_File = _fdopen(l_Fd, "wb");
#else
    std::FILE* l_File = fdopen(l_Fd, "wb");
#endif
    if (l_File != nullptr)
        return l_File;
    p_Error = Reason(errno);
#if defined(_WIN32)
    _close(l_Fd);
#else
    close(l_Fd);
#endif
    RemoveFile(p_Temporary);
    return nullptr;
}

#if defined(_WIN32)

bool FindFileTarget(const std::string& p_Path, FileTarget& p_Target, std::string& p_Error)
{
    std::wstring l_Path;
    const DWORD l_Attributes =
        WidePath(p_Path, l_Path) ? GetFileAttributesW(l_Path.c_str()) : GetFileAttributesA(p_Path.c_str());
    if (l_Attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD l_Why = GetLastError();
        // Nothing there yet: a new file, through a temporary. Anything the system cannot look at
        // (a device such as NUL) is written straight, and its own open says what is wrong.
        const bool l_Missing = l_Why == ERROR_FILE_NOT_FOUND || l_Why == ERROR_PATH_NOT_FOUND;
        p_Target = {p_Path, l_Missing, false, 0};
        return true;
    }
    if (l_Attributes & FILE_ATTRIBUTE_DIRECTORY) {
        p_Target = {p_Path, false, false, 0};
        return true;
    }
    // A file that may not be written is not replaced either.
    if (l_Attributes & FILE_ATTRIBUTE_READONLY) {
        p_Error = Reason(EACCES);
        return false;
    }
    p_Target = {p_Path, true, true, 0};
    return true;
}

bool CommitTemporary(const std::string& p_Temporary, const FileTarget& p_Target, std::string& p_Error)
{
    // One call that replaces the old file, so that a failure leaves it as it was.
    std::wstring l_From, l_To;
    const DWORD l_Flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    const bool l_Moved = WidePath(p_Temporary, l_From) && WidePath(p_Target.path, l_To)
                             ? MoveFileExW(l_From.c_str(), l_To.c_str(), l_Flags)
                             : MoveFileExA(p_Temporary.c_str(), p_Target.path.c_str(), l_Flags);
    if (l_Moved)
        return true;
    p_Error = "the system refused to replace the file (error " + std::to_string(GetLastError()) + ")";
    RemoveFile(p_Temporary);
    return false;
}

#else

bool FindFileTarget(const std::string& p_Path, FileTarget& p_Target, std::string& p_Error)
{
    std::string l_Path = p_Path;
    for (int l_Links = 0;; ++l_Links) {
        struct stat l_Stat = {};
        if (lstat(l_Path.c_str(), &l_Stat) != 0) {
            if (errno != ENOENT) {
                p_Error = Reason(errno);
                return false;
            }
            p_Target = {l_Path, true, false, 0};
            return true;
        }
        if (S_ISREG(l_Stat.st_mode)) {
            // A file that may not be written is not replaced either.
            if (access(l_Path.c_str(), W_OK) != 0) {
                p_Error = Reason(errno);
                return false;
            }
            p_Target = {l_Path,
                        true,
                        true,
                        static_cast<unsigned int>(l_Stat.st_mode & 07777),
                        static_cast<unsigned int>(l_Stat.st_uid),
                        static_cast<unsigned int>(l_Stat.st_gid)};
            return true;
        }
        // The kernel's links under /proc (/dev/stdout, /dev/fd/N) name open files, not places:
        // they and everything that is not a link are written straight, through the path given.
        if (!S_ISLNK(l_Stat.st_mode) || l_Path.compare(0, 6, "/proc/") == 0) {
            p_Target = {p_Path, false, false, 0};
            return true;
        }
        if (l_Links == MAX_LINKS) {
            p_Error = Reason(ELOOP);
            return false;
        }
        std::string l_Link(static_cast<std::size_t>(l_Stat.st_size > 0 ? l_Stat.st_size : 255) + 1, '\0');
        const ssize_t l_Length = readlink(l_Path.c_str(), l_Link.data(), l_Link.size());
        if (l_Length < 0) {
            p_Error = Reason(errno);
            return false;
        }
        l_Link.resize(static_cast<std::size_t>(l_Length));
        const std::filesystem::path l_Next(l_Link);
        l_Path =
            l_Next.is_absolute() ? l_Link : (std::filesystem::path(l_Path).parent_path() / l_Next).string();
    }
}

bool CommitTemporary(const std::string& p_Temporary, const FileTarget& p_Target, std::string& p_Error)
{
    int l_Errno = 0;
    const int l_Fd = open(p_Temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (l_Fd < 0)
        l_Errno = errno;
    // The owner first (a change of owner clears the set-user-ID bits that fchmod then restores).
    // Only root may give a file away, and a user only to a group of theirs: what this process may
    // not keep is left as a new file gets it, as any editor's save does.
    if (l_Errno == 0 && p_Target.existed && fchown(l_Fd, p_Target.owner, p_Target.group) != 0 &&
        fchown(l_Fd, static_cast<uid_t>(-1), p_Target.group) != 0) {
        // Neither owner nor group could be kept: the file stays this process's own.
    }
    if (l_Errno == 0 && p_Target.existed && fchmod(l_Fd, p_Target.mode) != 0)
        l_Errno = errno;
    if (l_Errno == 0 && fsync(l_Fd) != 0)
        l_Errno = errno;
    if (l_Fd >= 0 && close(l_Fd) != 0 && l_Errno == 0)
        l_Errno = errno;
    if (l_Errno == 0 && std::rename(p_Temporary.c_str(), p_Target.path.c_str()) != 0)
        l_Errno = errno;
    if (l_Errno != 0) {
        p_Error = Reason(l_Errno);
        unlink(p_Temporary.c_str());
        return false;
    }
    return true;
}

#endif

}  // namespace Org
