// Reads a song's bytes. Regular files are read plainly; anything else (a FIFO, a device) could
// block forever, in open() as in read(), so it is opened non-blocking and waited on with poll()
// for a bounded time until its first bytes arrive.
#include "SongInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "FileOpen.h"
#include "OrgSongTypes.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace Org {

namespace {

constexpr std::size_t CHUNK_BYTES = 64 * 1024;

#if !defined(_WIN32)

long long NowMs()
{
    timespec l_Now = {};
    clock_gettime(CLOCK_MONOTONIC, &l_Now);
    return static_cast<long long>(l_Now.tv_sec) * 1000 + l_Now.tv_nsec / 1000000;
}

std::string SystemReason(int p_Errno) { return std::strerror(p_Errno); }

const std::string& NothingArrived()
{
    static const std::string l_Text = "nothing arrived within " + std::to_string(SONG_INPUT_WAIT_MS / 1000) +
                                      " s (a FIFO with no writer, or a device with no data)";
    return l_Text;
}

// Reads a descriptor that is set non-blocking and is not a regular file. Before the first byte
// the wait is bounded; a FIFO whose writer is there (read says "try again" rather than "end")
// is then waited on without limit, as a pipe is read to its end.
bool ReadNonBlocking(int p_Fd, bool p_IsFifo, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                     std::string& p_Error)
{
    const long long l_Deadline = NowMs() + SONG_INPUT_WAIT_MS;
    bool l_Started = false;
    while (p_Bytes.size() < p_Limit) {
        const std::size_t l_Old = p_Bytes.size();
        p_Bytes.resize(l_Old + std::min(CHUNK_BYTES, p_Limit - l_Old));
        const ssize_t l_Read = read(p_Fd, p_Bytes.data() + l_Old, p_Bytes.size() - l_Old);
        p_Bytes.resize(l_Old + (l_Read > 0 ? static_cast<std::size_t>(l_Read) : 0));
        if (l_Read > 0) {
            l_Started = true;
            continue;
        }
        const int l_Errno = errno;
        if (l_Read < 0 && l_Errno == EINTR)
            continue;
        if (l_Read < 0 && l_Errno != EAGAIN && l_Errno != EWOULDBLOCK) {
            p_Error = SystemReason(l_Errno);
            return false;
        }
        // The end of the data; for a FIFO before any data it only means no writer yet.
        if (l_Read == 0 && (l_Started || !p_IsFifo))
            return true;
        // Nothing yet: read gave "end" (a FIFO with no writer at present) or "try again".
        const bool l_WriterPresent = l_Read < 0 && p_IsFifo;
        const long long l_Left = l_Deadline - NowMs();
        if (!l_WriterPresent && !l_Started && l_Left <= 0) {
            p_Error = NothingArrived();
            return false;
        }
        if (!l_WriterPresent && l_Started && l_Left <= 0)
            return true;  // a device that went quiet after its data
        pollfd l_Poll = {p_Fd, POLLIN, 0};
        const int l_Ready = poll(&l_Poll, 1, l_WriterPresent ? -1 : static_cast<int>(l_Left));
        if (l_Ready < 0 && errno != EINTR) {
            p_Error = SystemReason(errno);
            return false;
        }
        // A writer that came and went without writing: an empty input.
        if (l_Ready > 0 && (l_Poll.revents & POLLHUP) && !(l_Poll.revents & POLLIN))
            return true;
    }
    return true;
}

// Reads a regular file of p_Size bytes (as it stood when opened) to its end.
bool ReadBlocking(int p_Fd, std::size_t p_Size, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                  std::string& p_Error)
{
    // One read of the whole file into storage of its size, then one that finds the end in the
    // byte kept spare; a file that grew meanwhile is read on in chunks.
    p_Bytes.reserve(std::min(p_Size + 1, p_Limit));
    while (p_Bytes.size() < p_Limit) {
        const std::size_t l_Old = p_Bytes.size();
        const std::size_t l_Room = p_Bytes.capacity() > l_Old ? p_Bytes.capacity() - l_Old : CHUNK_BYTES;
        p_Bytes.resize(l_Old + std::min(l_Room, p_Limit - l_Old));
        const ssize_t l_Read = read(p_Fd, p_Bytes.data() + l_Old, p_Bytes.size() - l_Old);
        p_Bytes.resize(l_Old + (l_Read > 0 ? static_cast<std::size_t>(l_Read) : 0));
        if (l_Read == 0)
            break;
        if (l_Read < 0 && errno != EINTR) {
            p_Error = SystemReason(errno);
            return false;
        }
    }
    return true;
}

// Reads from a descriptor whose non-blocking flag is p_NonBlocking.
bool ReadDescriptor(int p_Fd, bool p_NonBlocking, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                    std::string& p_Error)
{
    p_Bytes.clear();
    struct stat l_Stat = {};
    if (fstat(p_Fd, &l_Stat) != 0) {
        p_Error = SystemReason(errno);
        return false;
    }
    if (S_ISDIR(l_Stat.st_mode)) {
        p_Error = SystemReason(EISDIR);
        return false;
    }
    if (S_ISREG(l_Stat.st_mode)) {
        if (p_NonBlocking)
            fcntl(p_Fd, F_SETFL, fcntl(p_Fd, F_GETFL) & ~O_NONBLOCK);
        return ReadBlocking(p_Fd, static_cast<std::size_t>(l_Stat.st_size), p_Limit, p_Bytes, p_Error);
    }
    return ReadNonBlocking(p_Fd, S_ISFIFO(l_Stat.st_mode), p_Limit, p_Bytes, p_Error);
}

#endif

}  // namespace

#if defined(_WIN32)

bool ReadBoundedInput(const std::string& p_Path, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                      std::string& p_Error)
{
    p_Bytes.clear();
    std::FILE* l_File = OpenFile(p_Path, "rb");
    if (l_File == nullptr) {
        p_Error = std::strerror(errno);
        return false;
    }
    p_Bytes.resize(p_Limit);
    p_Bytes.resize(std::fread(p_Bytes.data(), 1, p_Bytes.size(), l_File));
    const bool l_Ok = !std::ferror(l_File);
    if (!l_Ok)
        p_Error = "read error";
    std::fclose(l_File);
    return l_Ok;
}

bool ReadBoundedInput(int p_Fd, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    // In binary mode (standard input starts in text mode there), read to the end.
    p_Bytes.clear();
    _setmode(p_Fd, _O_BINARY);
    for (;;) {
        const std::size_t l_Old = p_Bytes.size();
        if (l_Old >= p_Limit)
            return true;
        p_Bytes.resize(std::min(l_Old + CHUNK_BYTES, p_Limit));
        const int l_Read = _read(p_Fd, p_Bytes.data() + l_Old, static_cast<unsigned>(p_Bytes.size() - l_Old));
        p_Bytes.resize(l_Old + static_cast<std::size_t>(std::max(l_Read, 0)));
        if (l_Read == 0)
            return true;
        if (l_Read < 0) {
            p_Error = std::strerror(errno);
            return false;
        }
    }
}

#else

bool ReadBoundedInput(const std::string& p_Path, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                      std::string& p_Error)
{
    p_Bytes.clear();
    const int l_Fd = open(p_Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (l_Fd < 0) {
        p_Error = SystemReason(errno);
        return false;
    }
    const bool l_Ok = ReadDescriptor(l_Fd, true, p_Limit, p_Bytes, p_Error);
    close(l_Fd);
    return l_Ok;
}

bool ReadBoundedInput(int p_Fd, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    // Non-blocking for the read, so that "no writer" and "nothing yet" can be told apart;
    // the descriptor's flags are put back afterwards.
    const int l_Flags = fcntl(p_Fd, F_GETFL);
    if (l_Flags < 0) {
        p_Bytes.clear();
        p_Error = SystemReason(errno);
        return false;
    }
    fcntl(p_Fd, F_SETFL, l_Flags | O_NONBLOCK);
    const bool l_Ok = ReadDescriptor(p_Fd, true, p_Limit, p_Bytes, p_Error);
    fcntl(p_Fd, F_SETFL, l_Flags);
    return l_Ok;
}

#endif

bool ReadSongInput(int p_Fd, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    return ReadBoundedInput(p_Fd, MAX_SONG_BYTES, p_Bytes, p_Error);
}

bool ReadSongInput(const std::string& p_Path, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    return ReadBoundedInput(p_Path, MAX_SONG_BYTES, p_Bytes, p_Error);
}

}  // namespace Org
