// The mixer's inner loop, written once for mono and stereo sounds.
#ifndef TUNEWRIGHT_SOUND_MIXKERNEL_H
#define TUNEWRIGHT_SOUND_MIXKERNEL_H

#include <cstdint>

namespace SoundEngine {

// Adds p_Count frames of one voice into p_Out (interleaved stereo float): the sound is read at
// p_Position (frames, 32.32 fixed point), which advances by p_Step per output frame, and neighbouring
// frames are interpolated linearly. Mono is spread with p_Left/p_Right; stereo scales each side.
// The caller keeps every frame read, and the one after it, inside p_Data. Returns the new position.
template <int Channels>
inline std::uint64_t MixSpan(const float* __restrict p_Data, std::uint64_t p_Position,
                             std::uint64_t p_Step, unsigned p_Count, float* __restrict p_Out,
                             float p_Left, float p_Right)
{
    static_assert(Channels == 1 || Channels == 2, "mono or stereo sounds only");
    constexpr float kFractionScale = 1.0f / 4294967296.0f;
    for (unsigned l_Frame = 0; l_Frame < p_Count; ++l_Frame) {
        const float* l_At = p_Data + (p_Position >> 32) * Channels;
        const float l_Fraction = float(std::uint32_t(p_Position)) * kFractionScale;
        if constexpr (Channels == 1) {
            const float l_Sample = l_At[0] + (l_At[1] - l_At[0]) * l_Fraction;
            p_Out[0] += l_Sample * p_Left;
            p_Out[1] += l_Sample * p_Right;
        } else {
            p_Out[0] += (l_At[0] + (l_At[2] - l_At[0]) * l_Fraction) * p_Left;
            p_Out[1] += (l_At[1] + (l_At[3] - l_At[1]) * l_Fraction) * p_Right;
        }
        p_Out += 2;
        p_Position += p_Step;
    }
    return p_Position;
}

}

#endif
