// The WAV writer output: the mix goes into a 16-bit PCM WAV file through libsndfile. Blocks are
// gathered and written out DSP-buffer-count blocks at a time (SetDSPBufferSize's second number),
// each time with the header brought up to date, so the file is always a valid WAV of what has
// been written out so far; Close writes the rest. Writing every 1 ms block on its own would cost
// a write and a header rewrite per block, far more than mixing it. Every write, header update and
// close is checked: the first failure is kept (with its errno) and ends the writing, so a full
// disk or a file-size limit is reported instead of leaving a cut file behind as a success.
#include "Output.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace SoundEngine {
namespace {

constexpr const char* kDefaultFileName = "fmodoutput.wav";

class WavWriterOutput final : public Output
{
public:
    ~WavWriterOutput() override { Close(); }

    bool Open(const OutputFormat& p_Format, void* p_DriverData) override
    {
        const char* l_Path =
            p_DriverData != nullptr ? static_cast<const char*>(p_DriverData) : kDefaultFileName;
        SF_INFO l_Info = {};
        l_Info.samplerate = p_Format.rate;
        l_Info.channels = p_Format.channels;
        l_Info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        errno = 0;
        file = sf_open(l_Path, SFM_WRITE, &l_Info);
        if (file == nullptr) {
            // libsndfile refuses a pipe without a system error: a WAV header must be written back.
            struct stat l_Stat = {};
            if (errno == 0 && stat(l_Path, &l_Stat) == 0 && S_ISFIFO(l_Stat.st_mode))
                errno = ESPIPE;
            Fail();
            return false;
        }
        channels = unsigned(p_Format.channels);
        capacity = p_Format.blockframes * (p_Format.blockcount > 0 ? p_Format.blockcount : 1);
        pending.assign(std::size_t(capacity) * channels, 0);  // allocated here, never while mixing
        held = 0;
        return true;
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
        if (sf_close(file) != 0)
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
        if (sf_writef_short(file, pending.data(), held) != sf_count_t(held))
            Fail();
        held = 0;
        // The header is brought up to date by a seek and a write; libsndfile reports neither, so
        // its error state tells.
        errno = 0;
        sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        if (failure.load() == 0 && sf_error(file) != SF_ERR_NO_ERROR)
            Fail();
    }

    // Keeps the first failure; errno is the system's reason, EIO when the library gave none.
    void Fail()
    {
        int l_Expected = 0;
        failure.compare_exchange_strong(l_Expected, errno != 0 ? errno : EIO);
    }

    SNDFILE* file = nullptr;
    unsigned channels = 2;
    unsigned capacity = 1;
    unsigned held = 0;
    std::vector<std::int16_t> pending;
    std::atomic<int> failure{0};
};

}  // namespace

std::unique_ptr<Output> CreateWavWriterOutput() { return std::make_unique<WavWriterOutput>(); }

}  // namespace SoundEngine
