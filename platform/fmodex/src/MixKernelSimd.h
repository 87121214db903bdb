// The span kernel (see Kernels.h) written once over a lane type: each instruction set's source
// defines TW_KERNEL_NS (its namespace, holding Floats, MulAdd and Lanes), TW_KERNEL_TARGET and
// TW_KERNEL_INLINE (its function attributes), includes its lane header and Interpolation.h, then
// this file. It computes kWidth frames at a time exactly as MixSpanReference does one; the last
// frames of a span that do not fill the lanes repeat the span's last position and are dropped.
// No include guard: each kernel source includes it once.

namespace SoundEngine {
namespace TW_KERNEL_NS {

// The first tap of each resampler, relative to the frame at or before the position, and the
// number of taps.
template <int Interp>
constexpr int kFirstTap = Interp == RESAMPLE_SPLINE  ? -2
                          : Interp == RESAMPLE_CUBIC ? -1
                                                     : 0;
template <int Interp> constexpr int kTaps = Interp == RESAMPLE_SPLINE ? 6 : Interp == RESAMPLE_CUBIC ? 4 : 2;

// Both sides of the lanes at their positions (for a mono sound both are the one channel).
template <int Channels, int Interp>
TW_KERNEL_INLINE void ReadLanes(const float* p_Data, const typename Lanes::Indices& p_At, Floats p_F,
                                Floats& p_First, Floats& p_Second)
{
    constexpr int kRows = kTaps<Interp> * Channels;
    Floats l_Row[(kRows + 3) / 4 * 4];
    Lanes::template Rows<kRows>(p_Data + kFirstTap<Interp> * Channels, p_At, l_Row);
#pragma GCC unroll 2
    for (int l_Side = 0; l_Side < Channels; ++l_Side) {
        Floats l_Sample;
        if constexpr (Interp == RESAMPLE_LINEAR)
            l_Sample = InterpolateLinear(l_Row[l_Side], l_Row[Channels + l_Side], p_F);
        else if constexpr (Interp == RESAMPLE_CUBIC)
            l_Sample = InterpolateCubic(l_Row[l_Side], l_Row[Channels + l_Side], l_Row[2 * Channels + l_Side],
                                        l_Row[3 * Channels + l_Side], p_F);
        else
            l_Sample = InterpolateSpline(l_Row[l_Side], l_Row[Channels + l_Side],
                                         l_Row[2 * Channels + l_Side], l_Row[3 * Channels + l_Side],
                                         l_Row[4 * Channels + l_Side], l_Row[5 * Channels + l_Side], p_F);
        (l_Side == 0 ? p_First : p_Second) = l_Sample;
    }
    if (Channels == 1)
        p_Second = p_First;
}

// A span's gains in every lane, read once (as far as the compiler knows, the output could alias them).
struct LaneGain
{
    Floats left, right, toleft, toright, x, dx;
};

// The sample offsets (whole frame times channels) of the lanes, the first at p_Position, the
// nearest frames for NOINTERP: worked out in scalar registers, which is cheaper than taking them out
// of the vector lanes one by one. Lanes from p_Valid on repeat the last valid lane's frame.
template <int Channels, int Interp>
TW_KERNEL_INLINE typename Lanes::Indices LaneOffsets(std::uint64_t p_Position, std::uint64_t p_Step,
                                                     unsigned p_Valid)
{
    if constexpr (Interp == RESAMPLE_NEAREST)
        p_Position += 0x80000000u;
    typename Lanes::Indices l_Indices;
#pragma GCC unroll 16
    for (unsigned l_Lane = 0; l_Lane < Lanes::kWidth; ++l_Lane) {
        l_Indices.at[l_Lane] = std::int32_t(p_Position >> 32) * Channels;
        if (l_Lane + 1 < p_Valid)
            p_Position += p_Step;
    }
    return l_Indices;
}

// The gained left and right of the lanes whose first frame is p_Frame of the span; p_Positions
// hold the lanes' fractions and p_At their offsets (LaneOffsets).
template <int Channels, int Interp, bool Ramped>
TW_KERNEL_INLINE void MixLanes(const float* p_Data, const typename Lanes::Positions& p_Positions,
                               const typename Lanes::Indices& p_At, unsigned p_Frame, const LaneGain& p_Gain,
                               Floats& p_Left, Floats& p_Right)
{
    Floats l_First, l_Second;
    if constexpr (Interp == RESAMPLE_NEAREST) {
        Floats l_Row[4];
        Lanes::template Rows<Channels>(p_Data, p_At, l_Row);
        l_First = l_Row[0];
        l_Second = Channels == 1 ? l_First : l_Row[1];
    } else {
        ReadLanes<Channels, Interp>(p_Data, p_At, Lanes::Fraction(p_Positions), l_First, l_Second);
    }
    if constexpr (Ramped) {
        const Floats l_U = MulAdd(p_Gain.dx, Lanes::FrameOffsets() + Floats(float(p_Frame)), p_Gain.x);
        p_Left = l_First * RampGain(p_Gain.left, p_Gain.toleft, l_U);
        p_Right = l_Second * RampGain(p_Gain.right, p_Gain.toright, l_U);
    } else {
        p_Left = l_First * p_Gain.left;
        p_Right = l_Second * p_Gain.right;
    }
}

template <int Channels, int Interp, bool Ramped>
TW_KERNEL_TARGET std::uint64_t MixSpanSimd(const float* p_Data, std::uint64_t p_Position,
                                           std::uint64_t p_Step, unsigned p_Count, float* p_Left,
                                           float* p_Right, const SpanGain& p_Gain)
{
    constexpr unsigned kWidth = Lanes::kWidth;
    std::uint64_t l_Lane[kWidth];
    for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
        l_Lane[l_Index] = p_Position + l_Index * p_Step;
    typename Lanes::Positions l_Positions = Lanes::Start(l_Lane);
    const LaneGain l_Gain = {p_Gain.left, p_Gain.right, p_Gain.toleft, p_Gain.toright, p_Gain.x, p_Gain.dx};
    unsigned l_Frame = 0;
    Floats l_Left, l_Right;
    std::uint64_t l_Position = p_Position;
    for (; l_Frame + kWidth <= p_Count; l_Frame += kWidth) {
        MixLanes<Channels, Interp, Ramped>(p_Data, l_Positions,
                                           LaneOffsets<Channels, Interp>(l_Position, p_Step, kWidth), l_Frame,
                                           l_Gain, l_Left, l_Right);
        Lanes::Add(p_Left + l_Frame, l_Left);
        Lanes::Add(p_Right + l_Frame, l_Right);
        Lanes::Advance(l_Positions, kWidth * p_Step);
        l_Position += kWidth * p_Step;
    }
    if (l_Frame < p_Count) {
        const unsigned l_Rest = p_Count - l_Frame;
        for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
            l_Lane[l_Index] = p_Position + (l_Frame + (l_Index < l_Rest ? l_Index : l_Rest - 1)) * p_Step;
        MixLanes<Channels, Interp, Ramped>(p_Data, Lanes::Start(l_Lane),
                                           LaneOffsets<Channels, Interp>(l_Position, p_Step, l_Rest), l_Frame,
                                           l_Gain, l_Left, l_Right);
        float l_MixedLeft[kWidth], l_MixedRight[kWidth];
        Lanes::Store(l_MixedLeft, l_Left);
        Lanes::Store(l_MixedRight, l_Right);
        for (unsigned l_Index = 0; l_Index < l_Rest; ++l_Index) {
            p_Left[l_Frame + l_Index] += l_MixedLeft[l_Index];
            p_Right[l_Frame + l_Index] += l_MixedRight[l_Index];
        }
    }
    return p_Position + std::uint64_t(p_Count) * p_Step;
}

template <int Interp> inline void FillRow(KernelSet& p_Set)
{
    p_Set.span[Interp][0][0] = &MixSpanSimd<1, Interp, false>;
    p_Set.span[Interp][0][1] = &MixSpanSimd<1, Interp, true>;
    p_Set.span[Interp][1][0] = &MixSpanSimd<2, Interp, false>;
    p_Set.span[Interp][1][1] = &MixSpanSimd<2, Interp, true>;
}

inline KernelSet MakeKernelSet(const char* p_Name)
{
    KernelSet l_Set = {p_Name, {}};
    FillRow<RESAMPLE_NEAREST>(l_Set);
    FillRow<RESAMPLE_LINEAR>(l_Set);
    FillRow<RESAMPLE_CUBIC>(l_Set);
    FillRow<RESAMPLE_SPLINE>(l_Set);
    return l_Set;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
