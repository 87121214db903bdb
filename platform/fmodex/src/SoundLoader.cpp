#include "SoundLoader.h"

#include "LazyLibrary.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
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

// libsndfile, opened the first time a sample file is read: the built-in instruments, in memory,
// never need it.
#define TW_SNDFILE_FUNCTIONS(X) X(sf_open) X(sf_close) X(sf_error) X(sf_command) X(sf_readf_float)

struct SndFileApi
{
    TW_SNDFILE_FUNCTIONS(TW_LAZY_MEMBER)
};

bool FindSndFile(void* p_Library, SndFileApi& p_Table)
{
    bool l_Found = p_Library != nullptr;
    TW_SNDFILE_FUNCTIONS(TW_LAZY_FIND)
    return l_Found;
}

// Null when the system has no libsndfile.
const SndFileApi* SndFile()
{
#ifdef _WIN32
    constexpr const char* kName = "libsndfile-1.dll";
#else
    constexpr const char* kName = "libsndfile.so.1";
#endif
    static const SndFileApi* const s_Api = [] {
        static SndFileApi s_Table;
        return FindSndFile(OpenLibrary(kName), s_Table) ? &s_Table : nullptr;
    }();
    return s_Api;
}

FMOD_RESULT OpenFailure(const char* p_Path)
{
    struct stat l_Status;
    if (stat(p_Path, &l_Status) != 0)
        return (errno == ENOENT || errno == ENOTDIR) ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD;
    if (!S_ISREG(l_Status.st_mode))
        return FMOD_ERR_FILE_BAD;
    return SndFile()->sf_error(nullptr) == SF_ERR_SYSTEM ? FMOD_ERR_FILE_BAD : FMOD_ERR_FORMAT;
}

class OpenFile
{
public:
    explicit OpenFile(SNDFILE* p_File) : file(p_File) {}
    ~OpenFile()
    {
        if (file != nullptr)
            SndFile()->sf_close(file);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    SNDFILE* file;
};

FMOD_RESULT LoadSound(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop, SoundData& p_Sound);

FMOD_RESULT Decode(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop,
                   std::shared_ptr<const SoundData>& p_Data)
{
    std::shared_ptr<SoundData> l_Data;
    try {
        l_Data = std::make_shared<SoundData>();
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    const FMOD_RESULT l_Result = LoadSound(p_Path, p_Raw, p_Loop, *l_Data);
    if (l_Result == FMOD_OK)
        p_Data = std::move(l_Data);
    return l_Result;
}
}  // namespace

FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, std::shared_ptr<const SoundData>& p_Data)
{
    return Decode(p_Path, nullptr, p_Loop, p_Data);
}

FMOD_RESULT LoadSound(const RawPcm16& p_Raw, bool p_Loop, std::shared_ptr<const SoundData>& p_Data)
{
    return Decode(nullptr, &p_Raw, p_Loop, p_Data);
}

namespace {

// A sound's frames before they are laid out: how many, how, and the bytes per sample they had.
struct Layout
{
    sf_count_t frames;
    int channels;
    int rate;
    int bytes;
};

// Lays the frames that p_Read(float* p_First) writes out as p_Sound (see SoundData). p_Read
// returns false when the frames cannot be read.
template <class Read>
FMOD_RESULT LayOut(const Layout& p_Layout, bool p_Loop, Read&& p_Read, SoundData& p_Sound)
{
    if (p_Layout.channels < 1 || p_Layout.channels > 2 || p_Layout.rate <= 0 || p_Layout.frames < 1 ||
        p_Layout.frames > kMaxFrames)
        return FMOD_ERR_FORMAT;
    const unsigned l_Frames = unsigned(p_Layout.frames);
    const int l_Channels = p_Layout.channels;
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
    float* l_First = l_Data.data() + l_Guard;
    if (!p_Read(l_First))
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

    p_Sound.samples = std::move(l_Data);
    p_Sound.frames = l_Frames;
    p_Sound.playable = l_Frames * l_Copies;
    p_Sound.channels = l_Channels;
    p_Sound.rate = p_Layout.rate;
    p_Sound.bytespersample = p_Layout.bytes;
    p_Sound.loop = p_Loop;
    return FMOD_OK;
}

// Raw little-endian 16-bit PCM, scaled as libsndfile scales a 16-bit file: by exactly 1/32768.
FMOD_RESULT LoadRaw(const RawPcm16& p_Raw, bool p_Loop, SoundData& p_Sound)
{
    if (p_Raw.data == nullptr || p_Raw.channels < 1 || p_Raw.channels > 2)
        return FMOD_ERR_FORMAT;
    const Layout l_Layout = {sf_count_t(p_Raw.bytes / (2u * unsigned(p_Raw.channels))), p_Raw.channels,
                             p_Raw.rate, 2};
    const auto* l_Bytes = static_cast<const unsigned char*>(p_Raw.data);
    return LayOut(
        l_Layout, p_Loop,
        [&](float* p_First) {
            const std::size_t l_Samples = std::size_t(l_Layout.frames) * unsigned(l_Layout.channels);
            for (std::size_t l_Index = 0; l_Index < l_Samples; ++l_Index) {
                const auto l_Value = std::int16_t(l_Bytes[2 * l_Index] | (l_Bytes[2 * l_Index + 1] << 8));
                p_First[l_Index] = float(l_Value) * (1.0f / 32768.0f);
            }
            return true;
        },
        p_Sound);
}

// A WAV file, through libsndfile.
FMOD_RESULT LoadFile(const char* p_Path, bool p_Loop, SoundData& p_Sound)
{
    const SndFileApi* l_Api = SndFile();
    if (l_Api == nullptr)
        return FMOD_ERR_FILE_BAD;
    SF_INFO l_Info = {};
    OpenFile l_File(l_Api->sf_open(p_Path, SFM_READ, &l_Info));
    if (l_File.file == nullptr)
        return OpenFailure(p_Path);
    const int l_Major = l_Info.format & SF_FORMAT_TYPEMASK;
    const int l_Bytes = BytesPerSample(l_Info.format);
    if ((l_Major != SF_FORMAT_WAV && l_Major != SF_FORMAT_WAVEX) || l_Bytes == 0)
        return FMOD_ERR_FORMAT;
    // Integer encodings come out scaled to -1 .. 1 (full negative scale is exactly -1).
    l_Api->sf_command(l_File.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return LayOut(
        {l_Info.frames, l_Info.channels, l_Info.samplerate, l_Bytes}, p_Loop,
        [&](float* p_First) {
            return l_Api->sf_readf_float(l_File.file, p_First, l_Info.frames) == l_Info.frames;
        },
        p_Sound);
}

FMOD_RESULT LoadSound(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop, SoundData& p_Sound)
{
    return p_Raw != nullptr ? LoadRaw(*p_Raw, p_Loop, p_Sound) : LoadFile(p_Path, p_Loop, p_Sound);
}

}  // namespace

}  // namespace SoundEngine
