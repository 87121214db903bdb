#include "SoundLoader.h"

#include "LazyLibrary.h"
#include "PlainWav.h"
#include "SoundLayout.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace SoundEngine {
namespace {

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

TW_LAZY_TABLE(SndFileApi, TW_SNDFILE_FUNCTIONS)

// Null when the system has no libsndfile.
const SndFileApi* SndFile()
{
#ifdef _WIN32
    return LazyTable<SndFileApi>("libsndfile.dll");  // as the Windows build names it, beside the programs
#else
    return LazyTable<SndFileApi>("libsndfile.so.1");
#endif
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

// The bytes of a file no larger than a plain sample file can be; false when it cannot be read or
// is larger (libsndfile then reads it, or says why not).
bool ReadSmallFile(const char* p_Path, std::vector<unsigned char>& p_Bytes)
{
    constexpr long kLargest = 64L << 20;
    std::FILE* l_File = std::fopen(p_Path, "rb");
    if (l_File == nullptr)
        return false;
    bool l_Read = false;
    if (std::fseek(l_File, 0, SEEK_END) == 0) {
        const long l_Size = std::ftell(l_File);
        if (l_Size > 0 && l_Size <= kLargest && std::fseek(l_File, 0, SEEK_SET) == 0) {
            p_Bytes.resize(std::size_t(l_Size));
            l_Read = std::fread(p_Bytes.data(), 1, p_Bytes.size(), l_File) == p_Bytes.size();
        }
    }
    std::fclose(l_File);
    return l_Read;
}

}  // namespace

// A plain WAV file from its bytes; any other through libsndfile.
FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data)
{
    std::vector<unsigned char> l_FileBytes;
    PlainWav l_Wav;
    if (ReadSmallFile(p_Path, l_FileBytes) && ParsePlainWav(l_FileBytes, l_Wav))
        return LayOutSound(
            l_Wav.format, p_Loop, p_Octaves,
            [&](float* p_Out) {
                DecodePlainWav(l_FileBytes, l_Wav, p_Out);
                return true;
            },
            p_Data);
    const SndFileApi* l_Api = SndFile();
    if (l_Api == nullptr)
        return FMOD_ERR_FILE_BAD;
    SF_INFO l_Info = {};
    OpenFile l_File(l_Api->sf_open(p_Path, SFM_READ, &l_Info));
    if (l_File.file == nullptr)
        return OpenFailure(p_Path);

    const int l_Major = l_Info.format & SF_FORMAT_TYPEMASK;
    const int l_Bytes = BytesPerSample(l_Info.format);
    if ((l_Major != SF_FORMAT_WAV && l_Major != SF_FORMAT_WAVEX) || l_Bytes == 0 || l_Info.channels < 1 ||
        l_Info.channels > 2 || l_Info.samplerate <= 0 || l_Info.frames < 1 ||
        l_Info.frames > sf_count_t(kMaxSampleFrames))
        return FMOD_ERR_FORMAT;

    // Integer encodings come out scaled to -1 .. 1 (full negative scale is exactly -1).
    l_Api->sf_command(l_File.file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    const SampleFormat l_Format = {unsigned(l_Info.frames), l_Info.channels, l_Info.samplerate, l_Bytes};
    return LayOutSound(
        l_Format, p_Loop, p_Octaves,
        [&](float* p_Out) {
            return l_Api->sf_readf_float(l_File.file, p_Out, l_Info.frames) == l_Info.frames;
        },
        p_Data);
}

}  // namespace SoundEngine
