// The band-limited (windowed-sinc) span kernel, written once over a lane set: the scalar reference
// (one frame at a time) and each SIMD instruction set (kWidth frames at a time) include it after
// their Sinc lane header, which gives TW_KERNEL_NS:
//   Eight: eight floats, with LoadEight, SplatEight, +, *, MulAdd (a multiply and an add, never
//     fused), DupLow / DupHigh (floats 0-3 or 4-7, each twice) and StoreEight;
//   SincLanes: kWidth, Floats for kWidth frames, SumEach (the eight floats of each of kWidth Eights
//     summed as ((0+1)+(2+3))+((4+5)+(6+7)), one per lane), LoadFloats, FrameOffsets, Add and
//     Store as in MixKernelSimd.h.
// Every variant sums the taps in the same order, eight running sums of every eighth tap then that
// tree, so all of them give the same floats.
// No include guard: each kernel source includes it once.

#include "Kernels.h"
#include "SincTable.h"

#include <cstddef>
#include <cstdint>

namespace SoundEngine {
namespace TW_KERNEL_NS {

// The part of the fraction between two phases, from the 16 bits below the phase's.
TW_KERNEL_INLINE float SincPhaseFraction(std::uint32_t p_Fraction)
{
    return float((p_Fraction >> (16 - kSincPhaseBits)) & 0xFFFFu) * (1.0f / 65536.0f);
}

// The filter's taps around p_Position times the samples, as eight running sums (for a stereo sound
// the even ones are the left side's, the odd ones the right's).
template <int Channels>
TW_KERNEL_INLINE Eight SincSums(const float* p_Data, std::uint64_t p_Position, const float* p_Band)
{
    const float* l_At = p_Data + (std::int64_t(p_Position >> 32) + kSincFirstTap) * Channels;
    const std::uint32_t l_Fraction = std::uint32_t(p_Position);
    const float* l_Row = p_Band + std::size_t(l_Fraction >> (32 - kSincPhaseBits)) * (2 * kSincTaps);
    const Eight l_Between = SplatEight(SincPhaseFraction(l_Fraction));
    Eight l_Sum = SplatEight(0.0f);
#pragma GCC unroll 4
    for (int l_Block = 0; l_Block < kSincTaps / 8; ++l_Block) {
        const Eight l_Taps =
            MulAdd(LoadEight(l_Row + kSincTaps + 8 * l_Block), l_Between, LoadEight(l_Row + 8 * l_Block));
        if constexpr (Channels == 1) {
            l_Sum = l_Sum + l_Taps * LoadEight(l_At + 8 * l_Block);
        } else {
            l_Sum = l_Sum + DupLow(l_Taps) * LoadEight(l_At + 16 * l_Block);
            l_Sum = l_Sum + DupHigh(l_Taps) * LoadEight(l_At + 16 * l_Block + 8);
        }
    }
    return l_Sum;
}

// Both sides of kWidth frames whose first is at p_Position; lanes from p_Valid on repeat the last
// valid frame.
template <int Channels>
TW_KERNEL_INLINE void SincFrames(const float* p_Data, std::uint64_t p_Position, std::uint64_t p_Step,
                                 unsigned p_Valid, const float* p_Band, typename SincLanes::Floats& p_First,
                                 typename SincLanes::Floats& p_Second)
{
    constexpr unsigned kWidth = SincLanes::kWidth;
    Eight l_Sums[kWidth];
#pragma GCC unroll 8
    for (unsigned l_Lane = 0; l_Lane < kWidth; ++l_Lane)
        l_Sums[l_Lane] = SincSums<Channels>(
            p_Data, p_Position + (l_Lane < p_Valid ? l_Lane : p_Valid - 1) * p_Step, p_Band);
    if constexpr (Channels == 1) {
        p_First = SincLanes::SumEach(l_Sums);
        p_Second = p_First;
    } else {
        float l_Left[kWidth];
        float l_Right[kWidth];
        for (unsigned l_Lane = 0; l_Lane < kWidth; ++l_Lane) {
            float l_Each[8];
            StoreEight(l_Each, l_Sums[l_Lane]);
            l_Left[l_Lane] = (l_Each[0] + l_Each[2]) + (l_Each[4] + l_Each[6]);
            l_Right[l_Lane] = (l_Each[1] + l_Each[3]) + (l_Each[5] + l_Each[7]);
        }
        p_First = SincLanes::LoadFloats(l_Left);
        p_Second = SincLanes::LoadFloats(l_Right);
    }
}

// The span kernel (see Kernels.h). Reads taps kSincFirstTap .. kSincFirstTap + kSincTaps - 1
// around each position, so the sound needs kSincTaps / 2 guard frames on both sides. The cut-off
// follows the step (SincBand); the caller reads a band-limited octave copy when the step is 2 or more.
template <int Channels, bool Ramped>
TW_KERNEL_TARGET std::uint64_t MixSpanSinc(const float* p_Data, std::uint64_t p_Position,
                                           std::uint64_t p_Step, unsigned p_Count, float* p_Left,
                                           float* p_Right, const SpanGain& p_Gain)
{
    using Floats = typename SincLanes::Floats;
    constexpr unsigned kWidth = SincLanes::kWidth;
    const float* l_Band = TheSincTable().rows[SincBand(p_Step)][0];
    const Floats l_Left = p_Gain.left, l_Right = p_Gain.right, l_ToLeft = p_Gain.toleft,
                 l_ToRight = p_Gain.toright, l_X = p_Gain.x, l_Dx = p_Gain.dx;
    for (unsigned l_Frame = 0; l_Frame < p_Count; l_Frame += kWidth) {
        // The lanes past the end of a short tail are worked out and dropped.
        const unsigned l_Rest = p_Count - l_Frame;
        Floats l_First, l_Second;
        SincFrames<Channels>(p_Data, p_Position + std::uint64_t(l_Frame) * p_Step, p_Step,
                             l_Rest < kWidth ? l_Rest : kWidth, l_Band, l_First, l_Second);
        if constexpr (Ramped) {
            const Floats l_U = MulAdd(l_Dx, SincLanes::FrameOffsets() + Floats(float(l_Frame)), l_X);
            l_First = l_First * RampGain(l_Left, l_ToLeft, l_U);
            l_Second = l_Second * RampGain(l_Right, l_ToRight, l_U);
        } else {
            l_First = l_First * l_Left;
            l_Second = l_Second * l_Right;
        }
        if (l_Rest >= kWidth) {
            SincLanes::Add(p_Left + l_Frame, l_First);
            SincLanes::Add(p_Right + l_Frame, l_Second);
        } else {
            float l_MixedLeft[kWidth], l_MixedRight[kWidth];
            SincLanes::Store(l_MixedLeft, l_First);
            SincLanes::Store(l_MixedRight, l_Second);
            for (unsigned l_Index = 0; l_Index < l_Rest; ++l_Index) {
                p_Left[l_Frame + l_Index] += l_MixedLeft[l_Index];
                p_Right[l_Frame + l_Index] += l_MixedRight[l_Index];
            }
        }
    }
    return p_Position + std::uint64_t(p_Count) * p_Step;
}

// p_Set with its sinc kernels filled in.
inline KernelSet WithSinc(KernelSet p_Set)
{
    p_Set.span[RESAMPLE_SINC][0][0] = &MixSpanSinc<1, false>;
    p_Set.span[RESAMPLE_SINC][0][1] = &MixSpanSinc<1, true>;
    p_Set.span[RESAMPLE_SINC][1][0] = &MixSpanSinc<2, false>;
    p_Set.span[RESAMPLE_SINC][1][1] = &MixSpanSinc<2, true>;
    return p_Set;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
