// The band-limited (windowed-sinc) span kernel, written once over a lane set: the scalar reference
// (one frame at a time) and each SIMD instruction set (kWidth frames at a time) include it after
// their Sinc lane header, which gives TW_KERNEL_NS:
//   Sixteen: sixteen floats, with LoadSixteen, LoadEightTwice (eight floats into both halves), +,
//     * (never fused), MulAddSixteen (a * b + c, fused where the set's MulAdd is), DupLow / DupHigh
//     (floats 0-7 or 8-15, each twice) and StoreSixteen;
//   SincLanes: kWidth, Floats for kWidth frames, SumWeighted (of the Sixteen S of each of kWidth
//     frames, given by a functor called once per frame in turn, and the frames' fractions b:
//     W = S[0..7] + b * S[8..15], summed as ((W0+W1)+(W2+W3))+((W4+W5)+(W6+W7)); a set that works
//     out S itself, in the same order, takes the frame's SincTaps from the functor's Taps() instead)
//     into a Pending that Finish turns into Floats (Pending is Floats where a set finishes at once),
//     Between (the fractions between phases of kWidth frames), LoadFloats, FrameOffsets, Add and
//     Store as in MixKernelSimd.h.
// The phases are interpolated on the sums rather than on the taps: with R the phase's row of
// coefficients, D their changes to the next phase's and b the fraction between the two,
// sum(x * (R + b * D)) = sum(x * R) + b * sum(x * D). Each block of eight taps is then one
// 16-float product of the table's [R | D] for the block and the block's eight samples twice, added
// into sixteen running sums (eight of every eighth tap's x * R, eight of x * D), the even blocks
// into one set and the odd ones into another (two short chains rather than one long one), the
// two added at the end. Each frame then weights its eight x * D sums by its b, adds them to its
// x * R sums, and sums those eight by the tree above: one reduction of eight floats a frame rather
// than two, which is most of what the kernel spends outside its multiply-adds. Every variant sums
// in this order, so they differ only where a set fuses a multiply-add (well under 1e-6).
// No include guard: each kernel source includes it once. A lane header may give TW_SINC_INLINE
// for the kernel's own helpers (TW_KERNEL_INLINE otherwise).

#include "Kernels.h"
#include "SincTable.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

#ifndef TW_SINC_INLINE
#define TW_SINC_INLINE TW_KERNEL_INLINE
#endif

namespace SoundEngine {
namespace TW_KERNEL_NS {

static_assert(kSincTaps % 8 == 0 && kSincShortTaps % 8 == 0 && SincChange(0) == 8,
              "the kernel reads the table in blocks of eight taps");

// The first sample and the table row of a filter of Taps taps around p_Position.
template <int Channels, int Taps>
TW_SINC_INLINE const float* SincSamples(const float* p_Data, std::uint64_t p_Position)
{
    return p_Data + (std::int64_t(p_Position >> 32) + SincFirstTap(Taps)) * Channels;
}
template <int Taps> TW_SINC_INLINE const float* SincRow(const float* p_Band, std::uint64_t p_Position)
{
    return p_Band + std::size_t(std::uint32_t(p_Position) >> (32 - kSincPhaseBits)) * (2 * Taps);
}

// A mono frame's first sample and its table row.
struct SincTaps
{
    const float* at;
    const float* row;
};

// A mono frame's sums from its first sample p_At and its table row p_Row: sum(x * R) of every
// eighth tap in floats 0-7, sum(x * D) in 8-15.
template <int Taps> TW_SINC_INLINE Sixteen SincSums(const float* p_At, const float* p_Row)
{
    static_assert(Taps == 8 || Taps % 16 == 0, "the even and the odd blocks make two chains of equal length");
    Sixteen l_Even = LoadSixteen(p_Row) * LoadEightTwice(p_At);
    if constexpr (Taps == 8)
        return l_Even;
    Sixteen l_Odd = LoadSixteen(p_Row + 16) * LoadEightTwice(p_At + 8);
#pragma GCC unroll 4
    for (int l_Block = 2; l_Block < Taps / 8; l_Block += 2) {
        l_Even = MulAddSixteen(LoadSixteen(p_Row + 16 * l_Block), LoadEightTwice(p_At + 8 * l_Block), l_Even);
        l_Odd = MulAddSixteen(LoadSixteen(p_Row + 16 * l_Block + 16), LoadEightTwice(p_At + 8 * l_Block + 8),
                              l_Odd);
    }
    return l_Even + l_Odd;
}

// A stereo frame's sums: sum(x * R) of every eighth tap into p_Here and sum(x * D) into p_Change,
// the left side's in the even floats and the right's in the odd ones.
template <int Taps>
TW_SINC_INLINE void SincSumsStereo(const float* p_Data, std::uint64_t p_Position, const float* p_Band,
                                   float (&p_Here)[16], float (&p_Change)[16])
{
    const float* l_At = SincSamples<2, Taps>(p_Data, p_Position);
    const float* l_Row = SincRow<Taps>(p_Band, p_Position);
    Sixteen l_Table = LoadSixteen(l_Row);
    Sixteen l_Samples = LoadSixteen(l_At);
    Sixteen l_Here = DupLow(l_Table) * l_Samples;
    Sixteen l_Change = DupHigh(l_Table) * l_Samples;
#pragma GCC unroll 4
    for (int l_Block = 1; l_Block < Taps / 8; ++l_Block) {
        l_Table = LoadSixteen(l_Row + 16 * l_Block);
        l_Samples = LoadSixteen(l_At + 16 * l_Block);
        l_Here = l_Here + DupLow(l_Table) * l_Samples;
        l_Change = l_Change + DupHigh(l_Table) * l_Samples;
    }
    StoreSixteen(p_Here, l_Here);
    StoreSixteen(p_Change, l_Change);
}

// The mono taps or sums of one lane after another, for SincLanes::SumWeighted; unless Full, the
// lanes from valid on repeat the last valid frame. The position is kept as a frame and a fraction,
// so that a lane costs an add with carry and the phase's shift. Frames are pointer-sized: a sound
// is indexed by them, and a 32-bit build has few registers to hold two halves in.
template <bool Full, int FilterTaps> struct SincLanesOf
{
    static constexpr int kTaps = FilterTaps;
    const float* data;  // the first tap of frame 0
    const float* band;
    std::ptrdiff_t frame;
    std::uint32_t fraction;
    std::ptrdiff_t stepframes;
    std::uint32_t stepfraction;
    unsigned valid;
    unsigned lane;

    TW_SINC_INLINE SincLanesOf(const float* p_Data, std::uint64_t p_Position, std::uint64_t p_Step,
                               const float* p_Band, unsigned p_Valid)
        : data(p_Data + SincFirstTap(FilterTaps)), band(p_Band), frame(std::ptrdiff_t(p_Position >> 32)),
          fraction(std::uint32_t(p_Position)), stepframes(std::ptrdiff_t(p_Step >> 32)),
          stepfraction(std::uint32_t(p_Step)), valid(p_Valid), lane(0)
    {}

    TW_SINC_INLINE SincTaps Taps()
    {
        const SincTaps l_Taps = {data + frame,
                                 band + std::size_t(fraction >> (32 - kSincPhaseBits)) * (2 * FilterTaps)};
        if (Full || ++lane < valid) {
            const std::uint32_t l_Fraction = fraction + stepfraction;
            frame += stepframes + (l_Fraction < fraction ? 1 : 0);
            fraction = l_Fraction;
        }
        return l_Taps;
    }
    TW_SINC_INLINE Sixteen operator()()
    {
        const SincTaps l_Taps = Taps();
        return SincSums<FilterTaps>(l_Taps.at, l_Taps.row);
    }
};

// One side's sum of a stereo frame's sixteen (p_Side 0 left, 1 right), in the tree's order.
TW_SINC_INLINE float SincSide(const float (&p_Sums)[16], int p_Side)
{
    const float* l_S = p_Sums + p_Side;
    return ((l_S[0] + l_S[2]) + (l_S[4] + l_S[6])) + ((l_S[8] + l_S[10]) + (l_S[12] + l_S[14]));
}

// A group of kWidth frames summed but not yet finished: a mono group's SincLanes::Pending, a
// stereo group's two sides.
template <int Channels> struct SincGroup
{
    typename SincLanes::Pending mono;
};
template <> struct SincGroup<2>
{
    typename SincLanes::Floats first, second;
};

// The group of kWidth frames whose first is at p_Position; unless Full, lanes from p_Valid on
// repeat the last valid frame. p_Offsets: the lanes' steps from the first, modulo 2^32.
template <int Channels, int Taps, bool Full>
TW_SINC_INLINE SincGroup<Channels> SincFrames(const float* p_Data, std::uint64_t p_Position,
                                              std::uint64_t p_Step, unsigned p_Valid, const float* p_Band,
                                              const std::uint32_t (&p_Offsets)[SincLanes::kWidth])
{
    constexpr unsigned kWidth = SincLanes::kWidth;
    const typename SincLanes::Floats l_Between = SincLanes::Between(std::uint32_t(p_Position), p_Offsets);
    if constexpr (Channels == 1) {
        SincLanesOf<Full, Taps> l_Lanes(p_Data, p_Position, p_Step, p_Band, p_Valid);
        return {SincLanes::SumWeighted(l_Lanes, l_Between)};
    } else {
        float l_Here[2][kWidth];
        float l_Change[2][kWidth];
        std::uint64_t l_Position = p_Position;
        for (unsigned l_Lane = 0; l_Lane < kWidth; ++l_Lane) {
            float l_SumsHere[16], l_SumsChange[16];
            SincSumsStereo<Taps>(p_Data, l_Position, p_Band, l_SumsHere, l_SumsChange);
            if (Full || l_Lane + 1 < p_Valid)
                l_Position += p_Step;
            for (int l_Side = 0; l_Side < 2; ++l_Side) {
                l_Here[l_Side][l_Lane] = SincSide(l_SumsHere, l_Side);
                l_Change[l_Side][l_Lane] = SincSide(l_SumsChange, l_Side);
            }
        }
        return {SincLanes::LoadFloats(l_Here[0]) + SincLanes::LoadFloats(l_Change[0]) * l_Between,
                SincLanes::LoadFloats(l_Here[1]) + SincLanes::LoadFloats(l_Change[1]) * l_Between};
    }
}

// The group of frames at p_Position of which p_Rest are left in the span (fewer than kWidth at
// its end: the lanes past it are worked out and dropped).
template <int Channels, int Taps>
TW_SINC_INLINE SincGroup<Channels> SincGroupAt(const float* p_Data, std::uint64_t p_Position,
                                               std::uint64_t p_Step, unsigned p_Rest, const float* p_Band,
                                               const std::uint32_t (&p_Offsets)[SincLanes::kWidth])
{
    if (p_Rest >= SincLanes::kWidth)
        return SincFrames<Channels, Taps, true>(p_Data, p_Position, p_Step, SincLanes::kWidth, p_Band,
                                                p_Offsets);
    return SincFrames<Channels, Taps, false>(p_Data, p_Position, p_Step, p_Rest, p_Band, p_Offsets);
}

// A finished group's two sides.
TW_SINC_INLINE void SincSides(const SincGroup<1>& p_Group, typename SincLanes::Floats& p_First,
                              typename SincLanes::Floats& p_Second)
{
    p_First = SincLanes::Finish(p_Group.mono);
    p_Second = p_First;
}
TW_SINC_INLINE void SincSides(const SincGroup<2>& p_Group, typename SincLanes::Floats& p_First,
                              typename SincLanes::Floats& p_Second)
{
    p_First = p_Group.first;
    p_Second = p_Group.second;
}

// The span kernel (see Kernels.h), with a filter of Taps taps: kSincTaps for a sound or its octave
// copies, kSincShortTaps for an oversampled copy. Reads taps SincFirstTap(Taps) ..
// SincFirstTap(Taps) + Taps - 1 around each position, so the sound needs Taps / 2 guard frames on
// both sides. The long filter's cut-off follows the step (SincBand); the caller reads a band-limited
// octave copy when the step is 2 or more.
// Where a set leaves its mono sums pending, each group is finished and mixed after the next
// group's sums are under way: its last additions wait on its last frame, and at once they would
// fill the processor's window of pending work and hold back the next frames.
template <int Channels, bool Ramped, int Taps>
TW_KERNEL_TARGET std::uint64_t MixSpanSinc(const float* p_Data, std::uint64_t p_Position,
                                           std::uint64_t p_Step, unsigned p_Count, float* p_Left,
                                           float* p_Right, const SpanGain& p_Gain)
{
    using Floats = typename SincLanes::Floats;
    constexpr unsigned kWidth = SincLanes::kWidth;
    constexpr bool kAhead = Channels == 1 && !std::is_same_v<typename SincLanes::Pending, Floats>;
    const float* l_Band =
        Taps == kSincShortTaps ? TheSincTable().shortrows[0] : TheSincTable().rows[SincBand(p_Step)][0];
    std::uint32_t l_Offsets[kWidth];
    for (unsigned l_Lane = 0; l_Lane < kWidth; ++l_Lane)
        l_Offsets[l_Lane] = std::uint32_t(p_Step * l_Lane);
    const Floats l_Left = p_Gain.left, l_Right = p_Gain.right, l_ToLeft = p_Gain.toleft,
                 l_ToRight = p_Gain.toright, l_X = p_Gain.x, l_Dx = p_Gain.dx;
    const std::uint64_t l_Stride = p_Step * kWidth;
    // The position of the next group to sum.
    std::uint64_t l_Position = p_Position;
    SincGroup<Channels> l_Group;
    if (kAhead && p_Count > 0) {
        l_Group = SincGroupAt<Channels, Taps>(p_Data, l_Position, p_Step, p_Count, l_Band, l_Offsets);
        l_Position += l_Stride;
    }
    for (unsigned l_Frame = 0; l_Frame < p_Count; l_Frame += kWidth, l_Position += l_Stride) {
        const unsigned l_Rest = p_Count - l_Frame;
        SincGroup<Channels> l_Next;
        if constexpr (kAhead) {
            if (l_Rest > kWidth)
                l_Next = SincGroupAt<Channels, Taps>(p_Data, l_Position, p_Step, l_Rest - kWidth, l_Band,
                                                     l_Offsets);
        } else {
            l_Group = SincGroupAt<Channels, Taps>(p_Data, l_Position, p_Step, l_Rest, l_Band, l_Offsets);
        }
        Floats l_First, l_Second;
        SincSides(l_Group, l_First, l_Second);
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
        if (kAhead && l_Rest > kWidth)
            l_Group = l_Next;
    }
    return p_Position + std::uint64_t(p_Count) * p_Step;
}

// p_Set with its sinc kernels filled in.
inline KernelSet WithSinc(KernelSet p_Set)
{
    p_Set.span[RESAMPLE_SINC][0][0] = &MixSpanSinc<1, false, kSincTaps>;
    p_Set.span[RESAMPLE_SINC][0][1] = &MixSpanSinc<1, true, kSincTaps>;
    p_Set.span[RESAMPLE_SINC][1][0] = &MixSpanSinc<2, false, kSincTaps>;
    p_Set.span[RESAMPLE_SINC][1][1] = &MixSpanSinc<2, true, kSincTaps>;
    p_Set.span[RESAMPLE_SINC_OVERSAMPLED][0][0] = &MixSpanSinc<1, false, kSincShortTaps>;
    p_Set.span[RESAMPLE_SINC_OVERSAMPLED][0][1] = &MixSpanSinc<1, true, kSincShortTaps>;
    p_Set.span[RESAMPLE_SINC_OVERSAMPLED][1][0] = &MixSpanSinc<2, false, kSincShortTaps>;
    p_Set.span[RESAMPLE_SINC_OVERSAMPLED][1][1] = &MixSpanSinc<2, true, kSincShortTaps>;
    return p_Set;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
