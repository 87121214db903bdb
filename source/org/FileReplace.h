#ifndef TUNEWRIGHT_FILEREPLACE_H
#define TUNEWRIGHT_FILEREPLACE_H

// Replacing a file so that a failed or interrupted write leaves the old one whole: the new data
// goes to a temporary beside it, which is renamed over it only when complete. Only regular files
// (or nothing) are replaced that way; a symbolic link is followed, never replaced, and anything
// else (a device, a FIFO, a terminal, /dev/stdout) is written straight.
#include <cstdio>
#include <string>

namespace Org {

struct FileTarget
{
    std::string path;   // where to write: the regular file the links lead to, else the path given
    bool viaTemporary;  // write p_Path's temporary and CommitTemporary it; false: write path directly
    bool existed;       // a regular file is there now
    unsigned int mode;  // its permission bits, when it existed
};

// Decides how to write p_Path. False, with the system's reason in p_Error, when a link in the
// way cannot be read (or leads round in a loop).
bool FindFileTarget(const std::string& p_Path, FileTarget& p_Target, std::string& p_Error);

// Creates a new, empty temporary file beside p_Target.path (on the same filesystem, so the rename
// is atomic) and opens it for writing; its name goes to p_Temporary. Null with the reason in
// p_Error when it cannot.
std::FILE* CreateTemporary(const FileTarget& p_Target, std::string& p_Temporary, std::string& p_Error);

// Finishes a complete temporary: the old file's mode, its data on the disk, renamed over the
// target. False, with the system's reason in p_Error, when any step fails; the temporary is then
// removed and the old file left as it was.
bool CommitTemporary(const std::string& p_Temporary, const FileTarget& p_Target, std::string& p_Error);

}  // namespace Org

#endif
