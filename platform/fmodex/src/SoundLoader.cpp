#include "SoundLoader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace SoundEngine {
namespace {

// Whole samples live in memory; anything longer than this is not a sample.
constexpr sf_count_t kMaxFrames = sf_count_t(1) << 28;

// Bytes per sample of the file's encoding, or 0 for an encoding the engine does not take.
int BytesPerSample(int p_Format)
{
    switch (p_Format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8: return 1;
        case SF_FORMAT_PCM_16: return 2;
        case SF_FORMAT_PCM_24: return 3;
        case SF_FORMAT_PCM_32: return 4;
        case SF_FORMAT_FLOAT: return 4;
        default: return 0;
    }
}

FMOD_RESULT OpenFailure(const char* p_Path)
{
    struct stat l_Status;
    if (stat(p_Path, &l_Status) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD;
    if (!S_ISREG(l_Status.st_mode))
        return FMOD_ERR_FILE_BAD;
    return sf_error(nullptr) == SF_ERR_SYSTEM ? FMOD_ERR_FILE_BAD : FMOD_ERR_FORMAT;
}

class SndFile
{
public:
    explicit SndFile(SNDFILE* p_File) : file(p_File) {}
    ~SndFile() { if (file != nullptr) sf_close(file); }
    SndFile(const SndFile&) = delete;
    SndFile& operator=(const SndFile&) = delete;
    SNDFILE* file;
};

// Adds the guard frame after the last (frame 0 for a loop, the last frame for a one-shot) and
// hands the samples to the sound.
void Finish(std::vector<float>&& p_Data, unsigned p_Frames, int p_Channels, int p_Rate, int p_Bytes, bool p_Loop,
            Sound& p_Sound)
{
    const std::size_t l_Guard = std::size_t(p_Frames) * p_Channels;
    const std::size_t l_Source = p_Loop ? 0 : l_Guard - p_Channels;
    for (int l_Channel = 0; l_Channel < p_Channels; ++l_Channel)
        p_Data[l_Guard + l_Channel] = p_Data[l_Source + l_Channel];
    p_Sound.data = std::move(p_Data);
    p_Sound.frames = p_Frames;
    p_Sound.channels = p_Channels;
    p_Sound.rate = p_Rate;
    p_Sound.bytespersample = p_Bytes;
    p_Sound.loop = p_Loop;
}

}

FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, Sound& p_Sound)
{
    SF_INFO l_Info = {};
    SndFile l_File(sf_open(p_Path, SFM_READ, &l_Info));
    if (l_File.file == nullptr)
        return OpenFailure(p_Path);

    const int l_Major = l_Info.format & SF_FORMAT_TYPEMASK;
    const int l_Bytes = BytesPerSample(l_Info.format);
    if ((l_Major != SF_FORMAT_WAV && l_Major != SF_FORMAT_WAVEX) || l_Bytes == 0
        || l_Info.channels < 1 || l_Info.channels > 2 || l_Info.samplerate <= 0
        || l_Info.frames < 1 || l_Info.frames > kMaxFrames)
        return FMOD_ERR_FORMAT;

    const unsigned l_Frames = unsigned(l_Info.frames);
    const int l_Channels = l_Info.channels;
    std::vector<float> l_Data;
    try {
        l_Data.resize((std::size_t(l_Frames) + 1) * l_Channels);
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    // Integer encodings come out scaled to -1 .. 1 (full negative scale is exactly -1).
    sf_command(l_File.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    if (sf_readf_float(l_File.file, l_Data.data(), l_Info.frames) != l_Info.frames)
        return FMOD_ERR_FORMAT;

    // A float file may hold anything; keep the mixer's arithmetic finite.
    for (float& l_Sample : l_Data)
        if (!std::isfinite(l_Sample))
            l_Sample = 0.0f;
    Finish(std::move(l_Data), l_Frames, l_Channels, l_Info.samplerate, l_Bytes, p_Loop, p_Sound);
    return FMOD_OK;
}

FMOD_RESULT LoadRawPcm16(const void* p_Data, unsigned p_Bytes, int p_Channels, int p_Rate, bool p_Loop,
                         Sound& p_Sound)
{
    if (p_Data == nullptr || p_Channels < 1 || p_Channels > 2 || p_Rate <= 0)
        return FMOD_ERR_INVALID_PARAM;
    const unsigned l_Frames = p_Bytes / (2u * unsigned(p_Channels));
    if (l_Frames < 1 || l_Frames > kMaxFrames)
        return FMOD_ERR_INVALID_PARAM;
    std::vector<float> l_Data;
    try {
        l_Data.resize((std::size_t(l_Frames) + 1) * p_Channels);
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    // The same scaling as a 16-bit WAV file read with normalisation: full negative scale is -1.
    const unsigned char* l_Bytes = static_cast<const unsigned char*>(p_Data);
    for (std::size_t l_Index = 0; l_Index < std::size_t(l_Frames) * p_Channels; ++l_Index) {
        std::int16_t l_Sample;
        std::memcpy(&l_Sample, l_Bytes + 2 * l_Index, sizeof l_Sample);
        l_Data[l_Index] = float(l_Sample) * (1.0f / 32768.0f);
    }
    Finish(std::move(l_Data), l_Frames, p_Channels, p_Rate, 2, p_Loop, p_Sound);
    return FMOD_OK;
}

}
