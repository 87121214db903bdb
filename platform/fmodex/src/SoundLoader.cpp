#include "SoundLoader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <new>

namespace SoundEngine {
namespace {

// Whole samples live in memory; anything longer than this is not a sample.
constexpr sf_count_t kMaxFrames = sf_count_t(1) << 28;

// Bytes per sample of the file's encoding, or 0 for an encoding the engine does not take.
int BytesPerSample(int p_Format)
{
    switch (p_Format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
        return 4;
    case SF_FORMAT_FLOAT:
        return 4;
    default:
        return 0;
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
    ~SndFile()
    {
        if (file != nullptr)
            sf_close(file);
    }
    SndFile(const SndFile&) = delete;
    SndFile& operator=(const SndFile&) = delete;
    SNDFILE* file;
};

}  // namespace

FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, Sound& p_Sound)
{
    SF_INFO l_Info = {};
    SndFile l_File(sf_open(p_Path, SFM_READ, &l_Info));
    if (l_File.file == nullptr)
        return OpenFailure(p_Path);

    const int l_Major = l_Info.format & SF_FORMAT_TYPEMASK;
    const int l_Bytes = BytesPerSample(l_Info.format);
    if ((l_Major != SF_FORMAT_WAV && l_Major != SF_FORMAT_WAVEX) || l_Bytes == 0 || l_Info.channels < 1 ||
        l_Info.channels > 2 || l_Info.samplerate <= 0 || l_Info.frames < 1 || l_Info.frames > kMaxFrames)
        return FMOD_ERR_FORMAT;

    const unsigned l_Frames = unsigned(l_Info.frames);
    const int l_Channels = l_Info.channels;
    const std::size_t l_Guard = std::size_t(kGuardFrames) * l_Channels;
    const std::size_t l_Samples = std::size_t(l_Frames) * l_Channels;
    const unsigned l_Copies = p_Loop ? (kUnrolledLoopFrames + l_Frames - 1) / l_Frames : 1;
    const std::size_t l_Playable = std::size_t(l_Frames) * l_Copies * l_Channels;
    std::vector<float> l_Data;
    try {
        l_Data.resize(l_Playable + 2 * l_Guard);  // zeros: a one-shot's guards stay silent
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    // Integer encodings come out scaled to -1 .. 1 (full negative scale is exactly -1).
    sf_command(l_File.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    float* l_First = l_Data.data() + l_Guard;
    if (sf_readf_float(l_File.file, l_First, l_Info.frames) != l_Info.frames)
        return FMOD_ERR_FORMAT;

    // A float file may hold anything; keep the mixer's arithmetic finite.
    for (float& l_Sample : l_Data)
        if (!std::isfinite(l_Sample))
            l_Sample = 0.0f;
    // A loop goes on round its seam, however short it is: repeated, then guarded on both sides.
    if (p_Loop) {
        for (std::size_t l_Index = l_Samples; l_Index < l_Playable + l_Guard; ++l_Index)
            l_First[l_Index] = l_First[l_Index % l_Samples];
        for (std::size_t l_Index = 0; l_Index < l_Guard; ++l_Index)
            l_First[-1 - std::ptrdiff_t(l_Index)] = l_First[l_Samples - 1 - l_Index % l_Samples];
    }

    p_Sound.data = std::move(l_Data);
    p_Sound.frames = l_Frames;
    p_Sound.playable = l_Frames * l_Copies;
    p_Sound.channels = l_Channels;
    p_Sound.rate = l_Info.samplerate;
    p_Sound.bytespersample = l_Bytes;
    p_Sound.loop = p_Loop;
    return FMOD_OK;
}

}  // namespace SoundEngine
