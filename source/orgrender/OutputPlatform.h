#ifndef TUNEWRIGHT_OUTPUTPLATFORM_H
#define TUNEWRIGHT_OUTPUTPLATFORM_H

// The calls of the renderer's output that differ between POSIX systems and Windows, so that the
// rules that use them read the same on both.
#include <fcntl.h>

#include <string>

// What tells one file from another, whatever name it is reached by.
struct FileIdentity
{
    bool regular = false;  // a regular file; nothing else can be written over
    unsigned long long device = 0;
    unsigned long long inode = 0;  // on Windows, the file's index on its volume
};

bool SameFile(const FileIdentity& p_First, const FileIdentity& p_Second);
FileIdentity IdentifyPath(const std::string& p_Path);
FileIdentity IdentifyDescriptor(int p_Fd);

// The last part of p_Path: its file's name (on Windows a backslash also ends a folder's name).
std::string PathFileName(const std::string& p_Path);

// The flag that refuses to open a symbolic link; Windows' open has none.
#ifdef _WIN32
constexpr int OPEN_NO_FOLLOW = 0;
#else
constexpr int OPEN_NO_FOLLOW = O_NOFOLLOW;
#endif

// Opens p_Path to write with open(2)'s p_Flags (O_WRONLY added), binary and never inherited by a
// child; -1 with errno set when it cannot.
int OpenToWrite(const std::string& p_Path, int p_Flags);

// Standard output carries bytes as they are: Windows would otherwise translate line ends.
void BinaryStandardOutput();

// The size of the regular file open as p_Fd, or -1 when it is something else; and lseek(2). Both
// in 64 bits on every system (Windows' own off_t has 32).
long long RegularSize(int p_Fd);
long long SeekDescriptor(int p_Fd, long long p_Offset, int p_Whence);

// Whether p_Fd writes at its end whatever its position (a shell's >>); unknown on Windows: false.
bool AppendOnly(int p_Fd);

// Makes the folder p_Path and the folders above it that are missing; true when it is a folder then,
// else false with errno set (ENOTDIR when it is something else).
bool MakeFolders(const std::string& p_Path);

// Removes p_Path from a signal handler, with calls that are safe there.
void RemoveFromHandler(const char* p_Path);

#endif
