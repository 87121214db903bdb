// The scalar reference of the span kernel (see Kernels.h), one frame at a time: the definition
// the SIMD kernels are tested against. Included once, by KernelsReference.cpp, after Interpolation.h.
#ifndef TUNEWRIGHT_SOUND_MIXKERNEL_H
#define TUNEWRIGHT_SOUND_MIXKERNEL_H

#include "Kernels.h"

#include <cstdint>

namespace SoundEngine {
namespace TW_KERNEL_NS {

// The position's fraction, from its top 24 bits (all a float holds): exactly what the SIMD
// kernels compute from the same bits.
inline float PositionFraction(std::uint64_t p_Position)
{
    return float(std::uint32_t(p_Position) >> 8) * (1.0f / 16777216.0f);
}

// One channel of the sound at p_Position; p_Frame0 is that channel's sample of frame 0.
template <int Channels, int Interp> inline float ReadSample(const float* p_Frame0, std::uint64_t p_Position)
{
    if constexpr (Interp == RESAMPLE_NEAREST) {
        return p_Frame0[std::int64_t((p_Position + 0x80000000u) >> 32) * Channels];
    } else {
        const float* l_At = p_Frame0 + std::int64_t(p_Position >> 32) * Channels;
        const float l_F = PositionFraction(p_Position);
        if constexpr (Interp == RESAMPLE_LINEAR)
            return InterpolateLinear(l_At[0], l_At[Channels], l_F);
        else if constexpr (Interp == RESAMPLE_CUBIC)
            return InterpolateCubic(l_At[-Channels], l_At[0], l_At[Channels], l_At[2 * Channels], l_F);
        else
            return InterpolateSpline(l_At[-2 * Channels], l_At[-Channels], l_At[0], l_At[Channels],
                                     l_At[2 * Channels], l_At[3 * Channels], l_F);
    }
}

template <int Channels, int Interp, bool Ramped>
std::uint64_t MixSpanReference(const float* p_Data, std::uint64_t p_Position, std::uint64_t p_Step,
                               unsigned p_Count, float* p_Left, float* p_Right, const SpanGain& p_Gain)
{
    for (unsigned l_Frame = 0; l_Frame < p_Count; ++l_Frame) {
        float l_Left = p_Gain.left;
        float l_Right = p_Gain.right;
        if constexpr (Ramped) {
            const float l_U = MulAdd(p_Gain.dx, float(l_Frame), p_Gain.x);
            l_Left = RampGain(p_Gain.left, p_Gain.toleft, l_U);
            l_Right = RampGain(p_Gain.right, p_Gain.toright, l_U);
        }
        const float l_First = ReadSample<Channels, Interp>(p_Data, p_Position);
        // A mono sound goes to both sides; a stereo one keeps its own.
        const float l_Second = Channels == 1 ? l_First : ReadSample<Channels, Interp>(p_Data + 1, p_Position);
        p_Left[l_Frame] += l_First * l_Left;
        p_Right[l_Frame] += l_Second * l_Right;
        p_Position += p_Step;
    }
    return p_Position;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine

#endif
