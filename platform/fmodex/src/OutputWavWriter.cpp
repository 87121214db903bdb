// The WAV writer output: the mix goes into a 16-bit PCM WAV file (a plain 44-byte header and
// little-endian frames, written here rather than through a library that every program linking the
// engine would then load at start-up). Blocks are
// gathered and written out DSP-buffer-count blocks at a time (SetDSPBufferSize's second number),
// each time with the header brought up to date, so the file is always a valid WAV of what has
// been written out so far; Close writes the rest. Writing every 1 ms block on its own would cost
// a write and a header rewrite per block, far more than mixing it. Every write, header update and
// close is checked: the first failure is kept (with its errno) and ends the writing, so a full
// disk or a file-size limit is reported instead of leaving a cut file behind as a success.
#include "Output.h"
#include "WavHeader.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace SoundEngine {
namespace {

constexpr const char* kDefaultFileName = "fmodoutput.wav";
constexpr unsigned kHeaderBytes = WavHeader::BYTES;

class WavWriterOutput final : public Output
{
public:
    ~WavWriterOutput() override { Close(); }

    bool Open(const OutputFormat& p_Format, void* p_DriverData) override
    {
        const char* l_Path =
            p_DriverData != nullptr ? static_cast<const char*>(p_DriverData) : kDefaultFileName;
        // A pipe cannot take the header written back at the end (and opening one with no reader
        // would wait for ever).
        struct stat l_Stat = {};
        if (stat(l_Path, &l_Stat) == 0 && S_ISFIFO(l_Stat.st_mode)) {
            errno = ESPIPE;
            Fail();
            return false;
        }
        errno = 0;
        file = std::fopen(l_Path, "wb");
        if (file == nullptr) {
            Fail();
            return false;
        }
        rate = unsigned(p_Format.rate);
        channels = unsigned(p_Format.channels);
        capacity = p_Format.blockframes * (p_Format.blockcount > 0 ? p_Format.blockcount : 1);
        pending.assign(std::size_t(capacity) * channels, 0);  // allocated here, never while mixing
        held = 0;
        written = 0;
        WriteHeader();
        return failure.load() == 0;
    }

    void Write(const std::int16_t* p_Frames, unsigned p_Count) override
    {
        while (file != nullptr && failure.load() == 0 && p_Count > 0) {
            const unsigned l_Take = p_Count < capacity - held ? p_Count : capacity - held;
            std::memcpy(pending.data() + std::size_t(held) * channels, p_Frames,
                        std::size_t(l_Take) * channels * sizeof(std::int16_t));
            held += l_Take;
            p_Frames += std::size_t(l_Take) * channels;
            p_Count -= l_Take;
            if (held == capacity)
                Flush();
        }
    }

    void Close() override
    {
        if (file == nullptr)
            return;
        Flush();
        errno = 0;
        if (std::fclose(file) != 0)
            Fail();
        file = nullptr;
    }

    int Failure() const override { return failure.load(); }

private:
    void Flush()
    {
        if (held == 0 || failure.load() != 0)
            return;
        errno = 0;
        const std::size_t l_Samples = std::size_t(held) * channels;
        bool l_Done = true;
        if (IsLittleEndian()) {
            l_Done = std::fwrite(pending.data(), sizeof(std::int16_t), l_Samples, file) == l_Samples;
        } else {
            for (std::size_t l_Index = 0; l_Index < l_Samples && l_Done; ++l_Index) {
                unsigned char l_Bytes[2];
                WavHeader::PutLittle(l_Bytes, std::uint16_t(pending[l_Index]), 2);
                l_Done = std::fwrite(l_Bytes, 1, 2, file) == 2;
            }
        }
        if (!l_Done) {
            Fail();
            return;
        }
        written += std::uint64_t(held) * channels * 2;
        held = 0;
        WriteHeader();
    }

    static bool IsLittleEndian()
    {
        const std::uint16_t l_One = 1;
        unsigned char l_First = 0;
        std::memcpy(&l_First, &l_One, 1);
        return l_First == 1;
    }

    // The header for what has been written so far, then back to the end; flushed, so that a
    // full disk or a file-size limit shows now. Sizes past 4 GiB are held at the format's limit.
    void WriteHeader()
    {
        const std::uint32_t l_Data =
            written > 0xFFFFFFFFu - kHeaderBytes ? 0xFFFFFFFFu - kHeaderBytes : std::uint32_t(written);
        unsigned char l_Header[kHeaderBytes];
        WavHeader::Write(l_Header, rate, channels, l_Data);
        errno = 0;
        if (std::fseek(file, 0, SEEK_SET) != 0 ||
            std::fwrite(l_Header, 1, kHeaderBytes, file) != kHeaderBytes ||
            std::fseek(file, 0, SEEK_END) != 0 || std::fflush(file) != 0)
            Fail();
    }

    // Keeps the first failure; errno is the system's reason, EIO when the library gave none.
    void Fail()
    {
        int l_Expected = 0;
        failure.compare_exchange_strong(l_Expected, errno != 0 ? errno : EIO);
    }

    std::FILE* file = nullptr;
    unsigned channels = 2;
    unsigned rate = 48000;
    std::uint64_t written = 0;  // bytes of frames in the file
    unsigned capacity = 1;
    unsigned held = 0;
    std::vector<std::int16_t> pending;
    std::atomic<int> failure{0};
};

}  // namespace

std::unique_ptr<Output> CreateWavWriterOutput() { return std::make_unique<WavWriterOutput>(); }

}  // namespace SoundEngine
