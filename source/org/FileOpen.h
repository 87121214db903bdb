#ifndef TUNEWRIGHT_FILEOPEN_H
#define TUNEWRIGHT_FILEOPEN_H

// File calls on the library's char paths. On Windows a path that is valid UTF-8 is taken as
// UTF-8 and used through its wide form, so that names outside the ANSI code page work; any other
// path goes to the C library as it is. Elsewhere these are the C library's calls.

#include <cstdio>
#include <string>

namespace Org {

std::FILE* OpenFile(const std::string& p_Path, const char* p_Mode);
int RemoveFile(const std::string& p_Path);
// open(2) on p_Path, in binary mode on Windows; -1 with errno set when it fails.
int OpenDescriptor(const std::string& p_Path, int p_Flags, int p_Mode);
// fopen(p_Path, "wb") that never waits to open: a FIFO that nobody reads is refused (null, errno
// ENXIO) rather than waited on. Writing to what it opened waits as usual.
std::FILE* OpenForWritingNow(const std::string& p_Path);

#ifdef _WIN32
// p_Path as UTF-16; false when it is not valid UTF-8.
bool WidePath(const std::string& p_Path, std::wstring& p_Wide);
#endif

}  // namespace Org

#endif
