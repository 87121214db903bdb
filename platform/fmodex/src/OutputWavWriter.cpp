// The WAV writer output: the mix goes into a 16-bit PCM WAV file through libsndfile. The header is
// rewritten after every block, so the file stays valid while it grows, and completed on Close.
#include "Output.h"

#include <sndfile.h>

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
        sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        return true;
    }

    void Write(const std::int16_t* p_Frames, unsigned p_Count) override
    {
        if (file != nullptr)
            sf_writef_short(file, p_Frames, p_Count);
    }

    void Close() override
    {
        if (file != nullptr)
            sf_close(file);
        file = nullptr;
    }

private:
    SNDFILE* file = nullptr;
};

}

std::unique_ptr<Output> CreateWavWriterOutput()
{
    return std::make_unique<WavWriterOutput>();
}

}
