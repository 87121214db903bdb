#include "PlainWav.h"

#include <cstring>

namespace SoundEngine {
namespace {

std::uint32_t Le16(const unsigned char* p_At) { return std::uint32_t(p_At[0]) | std::uint32_t(p_At[1]) << 8; }
std::uint32_t Le32(const unsigned char* p_At) { return Le16(p_At) | Le16(p_At + 2) << 16; }

constexpr std::uint32_t kPcm = 1, kFloat = 3, kExtensible = 0xFFFE;
// The tail of the extensible format's sub-format GUID that every standard tag shares.
constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The encoding of a format chunk, or false when it is not a plain one.
bool ReadFormat(const unsigned char* p_Chunk, std::uint32_t p_Size, PlainWav& p_Wav)
{
    if (p_Size < 16)
        return false;
    std::uint32_t l_Tag = Le16(p_Chunk);
    const std::uint32_t l_Channels = Le16(p_Chunk + 2), l_Rate = Le32(p_Chunk + 4);
    const std::uint32_t l_Align = Le16(p_Chunk + 12), l_Bits = Le16(p_Chunk + 14);
    if (l_Tag == kExtensible) {
        if (p_Size < 40 || Le16(p_Chunk + 18) != l_Bits || std::memcmp(p_Chunk + 26, kGuidTail, 14) != 0)
            return false;
        l_Tag = Le16(p_Chunk + 24);
    }
    const bool l_Plain = (l_Tag == kPcm && (l_Bits == 8 || l_Bits == 16 || l_Bits == 24 || l_Bits == 32)) ||
                         (l_Tag == kFloat && l_Bits == 32);
    if (!l_Plain || l_Channels < 1 || l_Channels > 2 || l_Rate < 1 || l_Rate > 0x7FFFFFFF ||
        l_Align != l_Channels * l_Bits / 8)
        return false;
    p_Wav.isfloat = l_Tag == kFloat;
    p_Wav.format.channels = int(l_Channels);
    p_Wav.format.rate = int(l_Rate);
    p_Wav.format.bytespersample = int(l_Bits / 8);
    return true;
}

}  // namespace

bool ParsePlainWav(const std::vector<unsigned char>& p_Bytes, PlainWav& p_Wav)
{
    const std::size_t l_Size = p_Bytes.size();
    if (l_Size < 12 || std::memcmp(p_Bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(p_Bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    bool l_HasFormat = false;
    for (std::size_t l_At = 12; l_At + 8 <= l_Size;) {
        const unsigned char* l_Chunk = p_Bytes.data() + l_At;
        const std::uint32_t l_ChunkSize = Le32(l_Chunk + 4);
        if (l_ChunkSize > l_Size - l_At - 8)
            return false;  // a chunk cut short
        if (std::memcmp(l_Chunk, "fmt ", 4) == 0) {
            if (l_HasFormat || !ReadFormat(l_Chunk + 8, l_ChunkSize, p_Wav))
                return false;
            l_HasFormat = true;
        } else if (std::memcmp(l_Chunk, "data", 4) == 0) {
            const std::uint32_t l_FrameBytes =
                std::uint32_t(p_Wav.format.channels * p_Wav.format.bytespersample);
            if (!l_HasFormat || l_ChunkSize == 0 || l_ChunkSize % l_FrameBytes != 0 ||
                l_ChunkSize / l_FrameBytes > kMaxSampleFrames)
                return false;
            p_Wav.format.frames = l_ChunkSize / l_FrameBytes;
            p_Wav.offset = l_At + 8;
            return true;
        }
        l_At += 8 + std::size_t(l_ChunkSize) + (l_ChunkSize & 1);  // chunks are padded to even sizes
    }
    return false;
}

void DecodePlainWav(const std::vector<unsigned char>& p_Bytes, const PlainWav& p_Wav, float* p_Out)
{
    const unsigned char* l_In = p_Bytes.data() + p_Wav.offset;
    const std::size_t l_Count = std::size_t(p_Wav.format.frames) * std::size_t(p_Wav.format.channels);
    switch (p_Wav.format.bytespersample) {
    case 1:
        for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index)
            p_Out[l_Index] = float(int(l_In[l_Index]) - 128) * (1.0f / 128.0f);
        break;
    case 2:
        for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index)
            p_Out[l_Index] = float(std::int16_t(Le16(l_In + 2 * l_Index))) * (1.0f / 32768.0f);
        break;
    case 3:
        for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
            const unsigned char* l_At = l_In + 3 * l_Index;
            const std::uint32_t l_Word =
                std::uint32_t(l_At[0]) << 8 | std::uint32_t(l_At[1]) << 16 | std::uint32_t(l_At[2]) << 24;
            p_Out[l_Index] = float(std::int32_t(l_Word)) * (1.0f / 2147483648.0f);
        }
        break;
    default:
        for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
            const std::uint32_t l_Word = Le32(l_In + 4 * l_Index);
            if (p_Wav.isfloat)
                std::memcpy(&p_Out[l_Index], &l_Word, 4);
            else
                p_Out[l_Index] = float(std::int32_t(l_Word)) * (1.0f / 2147483648.0f);
        }
        break;
    }
}

}  // namespace SoundEngine
