// Raw 16-bit PCM in memory, decoded without any library: each sample scaled by 1/32768, which is
// exactly what libsndfile's normalised float reading gives for the same samples in a WAV file.
#include "SoundLayout.h"
#include "SoundLoader.h"

#include <cstdint>
#include <cstring>

namespace SoundEngine {
FMOD_RESULT LoadSound(const RawPcm16& p_Raw, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data)
{
    if (p_Raw.data == nullptr || p_Raw.channels < 1 || p_Raw.channels > 2 || p_Raw.rate <= 0)
        return FMOD_ERR_FORMAT;
    const std::size_t l_Samples = p_Raw.bytes / sizeof(std::int16_t);
    const std::size_t l_Frames = l_Samples / std::size_t(p_Raw.channels);
    if (l_Frames < 1 || l_Frames > kMaxSampleFrames)
        return FMOD_ERR_FORMAT;
    const SampleFormat l_Format = {unsigned(l_Frames), p_Raw.channels, p_Raw.rate, 2};
    const unsigned char* l_Bytes = static_cast<const unsigned char*>(p_Raw.data);
    return LayOutSound(
        l_Format, p_Loop, p_Octaves,
        [&](float* p_Out) {
            // Little-endian samples at any alignment.
            for (std::size_t l_Index = 0; l_Index < l_Frames * p_Raw.channels; ++l_Index) {
                const unsigned l_Low = l_Bytes[2 * l_Index];
                const unsigned l_High = l_Bytes[2 * l_Index + 1];
                const auto l_Sample = std::int16_t(std::uint16_t(l_Low | (l_High << 8)));
                p_Out[l_Index] = float(l_Sample) * (1.0f / 32768.0f);
            }
            return true;
        },
        p_Data);
}

}  // namespace SoundEngine
