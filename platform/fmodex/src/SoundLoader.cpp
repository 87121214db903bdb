#include "SoundLoader.h"

#include "SincOctaves.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
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

// libsndfile reading raw PCM from memory, so that it decodes exactly as it decodes a file.
class MemoryReader
{
public:
    explicit MemoryReader(const RawPcm16& p_Raw) : raw(p_Raw) {}

    SNDFILE* Open(SF_INFO& p_Info)
    {
        if (raw.data == nullptr || raw.channels < 1 || raw.channels > 2 || raw.rate <= 0)
            return nullptr;
        p_Info.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
        p_Info.channels = raw.channels;
        p_Info.samplerate = raw.rate;
        SF_VIRTUAL_IO l_Io = {&Length, &Seek, &Read, &Write, &Tell};
        return sf_open_virtual(&l_Io, SFM_READ, &p_Info, this);
    }

private:
    static sf_count_t Length(void* p_Self) { return static_cast<MemoryReader*>(p_Self)->raw.bytes; }
    static sf_count_t Seek(sf_count_t p_Offset, int p_Whence, void* p_Self)
    {
        MemoryReader& l_Self = *static_cast<MemoryReader*>(p_Self);
        const sf_count_t l_Base = p_Whence == SEEK_CUR   ? l_Self.at
                                  : p_Whence == SEEK_END ? l_Self.raw.bytes
                                                         : 0;
        l_Self.at = std::max<sf_count_t>(0, std::min<sf_count_t>(l_Base + p_Offset, l_Self.raw.bytes));
        return l_Self.at;
    }
    static sf_count_t Read(void* p_Out, sf_count_t p_Count, void* p_Self)
    {
        MemoryReader& l_Self = *static_cast<MemoryReader*>(p_Self);
        const sf_count_t l_Take = std::min<sf_count_t>(p_Count, l_Self.raw.bytes - l_Self.at);
        std::memcpy(p_Out, static_cast<const char*>(l_Self.raw.data) + l_Self.at, std::size_t(l_Take));
        l_Self.at += l_Take;
        return l_Take;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* p_Self) { return static_cast<MemoryReader*>(p_Self)->at; }

    RawPcm16 raw;
    sf_count_t at = 0;
};

FMOD_RESULT LoadSound(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop, bool p_Octaves,
                      SoundData& p_Sound);

FMOD_RESULT Decode(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop, bool p_Octaves,
                   std::shared_ptr<const SoundData>& p_Data)
{
    std::shared_ptr<SoundData> l_Data;
    try {
        l_Data = std::make_shared<SoundData>();
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    const FMOD_RESULT l_Result = LoadSound(p_Path, p_Raw, p_Loop, p_Octaves, *l_Data);
    if (l_Result == FMOD_OK)
        p_Data = std::move(l_Data);
    return l_Result;
}
}  // namespace

FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data)
{
    return Decode(p_Path, nullptr, p_Loop, p_Octaves, p_Data);
}

FMOD_RESULT LoadSound(const RawPcm16& p_Raw, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data)
{
    return Decode(nullptr, &p_Raw, p_Loop, p_Octaves, p_Data);
}

namespace {

// One decoder for both: a file named p_Path, or raw PCM in memory.
FMOD_RESULT LoadSound(const char* p_Path, const RawPcm16* p_Raw, bool p_Loop, bool p_Octaves,
                      SoundData& p_Sound)
{
    SF_INFO l_Info = {};
    MemoryReader l_Memory(p_Raw != nullptr ? *p_Raw : RawPcm16{});
    SndFile l_File(p_Raw != nullptr ? l_Memory.Open(l_Info) : sf_open(p_Path, SFM_READ, &l_Info));
    if (l_File.file == nullptr)
        return p_Raw != nullptr ? FMOD_ERR_FORMAT : OpenFailure(p_Path);

    const int l_Major = l_Info.format & SF_FORMAT_TYPEMASK;
    const int l_Bytes = BytesPerSample(l_Info.format);
    if ((l_Major != SF_FORMAT_WAV && l_Major != SF_FORMAT_WAVEX &&
         (p_Raw == nullptr || l_Major != SF_FORMAT_RAW)) ||
        l_Bytes == 0 || l_Info.channels < 1 || l_Info.channels > 2 || l_Info.samplerate <= 0 ||
        l_Info.frames < 1 || l_Info.frames > kMaxFrames)
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

    p_Sound.samples = std::move(l_Data);
    p_Sound.frames = l_Frames;
    p_Sound.playable = l_Frames * l_Copies;
    p_Sound.channels = l_Channels;
    p_Sound.rate = l_Info.samplerate;
    p_Sound.bytespersample = l_Bytes;
    p_Sound.loop = p_Loop;
    if (p_Octaves) {
        try {
            BuildOctaves(p_Sound);
        } catch (const std::bad_alloc&) {
            return FMOD_ERR_MEMORY;
        }
    }
    return FMOD_OK;
}

}  // namespace

}  // namespace SoundEngine
