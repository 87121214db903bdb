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
    std::string path;        // where to write: the regular file the links lead to, else the path given
    bool viaTemporary;       // write p_Path's temporary and CommitTemporary it; false: write path directly
    bool existed;            // a regular file is there now
    unsigned int mode;       // its permission bits, when it existed
    unsigned int owner = 0;  // its user and group, when it existed (POSIX systems only)
    unsigned int group = 0;
};

// Decides how to write p_Path. False, with the system's reason in p_Error, when a link in the
// way cannot be read (or leads round in a loop).
bool FindFileTarget(const std::string& p_Path, FileTarget& p_Target, std::string& p_Error);

// Creates a new, empty temporary file beside p_Target.path (on the same filesystem, so the rename
// is atomic) and opens it for writing; its name goes to p_Temporary. The name is this process's
// own and the file is created exclusively, so whatever already lies there under any name (a
// link, a FIFO, another process's temporary) is never opened or changed. -1 with the reason in
// p_Error when it cannot; a folder that may not be written is named as the culprit.
//
// The temporary lives until CommitTemporary renames it or the caller removes it. A library
// cannot catch signals, so a process killed meanwhile (by a file-size limit's SIGXFSZ at its
// default action, say) leaves NAME.tmp-PID-N behind; programs that save remove theirs from their
// own signal handlers.
int CreateTemporaryDescriptor(const FileTarget& p_Target, std::string& p_Temporary, std::string& p_Error);
// The same as a stream to write.
std::FILE* CreateTemporary(const FileTarget& p_Target, std::string& p_Temporary, std::string& p_Error);

// Finishes a complete temporary: the old file's owner and group (as far as this process may give
// them) and mode, its data on the disk, renamed over the target. False, with the system's reason in p_Error,
// when any step fails; the temporary is then removed and the old file left as it was.
bool CommitTemporary(const std::string& p_Temporary, const FileTarget& p_Target, std::string& p_Error);

}  // namespace Org

#endif
