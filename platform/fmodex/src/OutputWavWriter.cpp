// The WAV writer output: the mix goes into a 16-bit PCM WAV file through libsndfile. Blocks are
// gathered and written out DSP-buffer-count blocks at a time (SetDSPBufferSize's second number),
// each time with the header brought up to date, so the file is always a valid WAV of what has
// been written out so far; Close writes the rest. Writing every 1 ms block on its own would cost
// a write and a header rewrite per block, far more than mixing it.
#include "Output.h"

#include <sndfile.h>

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
        const char* l_Path = p_DriverData != nullptr ? static_cast<const char*>(p_DriverData) : kDefaultFileName;
        SF_INFO l_Info = {};
        l_Info.samplerate = p_Format.rate;
        l_Info.channels = p_Format.channels;
        l_Info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        file = sf_open(l_Path, SFM_WRITE, &l_Info);
        if (file == nullptr)
            return false;
        channels = unsigned(p_Format.channels);
        capacity = p_Format.blockframes * (p_Format.blockcount > 0 ? p_Format.blockcount : 1);
        pending.assign(std::size_t(capacity) * channels, 0);  // allocated here, never while mixing
        held = 0;
        return true;
    }

    void Write(const std::int16_t* p_Frames, unsigned p_Count) override
    {
        while (file != nullptr && p_Count > 0) {
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
        sf_close(file);
        file = nullptr;
    }

private:
    void Flush()
    {
        if (held == 0)
            return;
        sf_writef_short(file, pending.data(), held);
        sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        held = 0;
    }

    SNDFILE* file = nullptr;
    unsigned channels = 2;
    unsigned capacity = 1;
    unsigned held = 0;
    std::vector<std::int16_t> pending;
};

}

std::unique_ptr<Output> CreateWavWriterOutput()
{
    return std::make_unique<WavWriterOutput>();
}

}
