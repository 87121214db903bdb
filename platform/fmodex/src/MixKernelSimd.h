// The span kernel (see Kernels.h) written once over a lane type: each instruction set's source
// defines TW_KERNEL_NS (its namespace, holding Floats, MulAdd and Lanes), TW_KERNEL_TARGET and
// TW_KERNEL_INLINE (its function attributes), includes its lane header and Interpolation.h, then
// this file. It computes kWidth frames at a time exactly as MixSpanReference does one; the last
// frames of a span that do not fill the lanes repeat the span's last position and are dropped.
// A lane header whose kWindowFloats is not 0 also gives Window<Channels, Nearest, Span>: a faster
// read of the lanes' samples for spans whose lanes' taps all lie within Span (at most
// kWindowFloats) consecutive floats.
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

// How the lanes find their samples: Rows<Count>(p_Base, p_Position, p_Valid, p_Rows) gives p_Rows[j]
// = p_Base[offset + j] of every lane, the first lane's position p_Position (its nearest frame's
// for NOINTERP), lanes from p_Valid on repeating the last valid one's. LaneReads takes each lane's
// offset from LaneOffsets and its samples from Lanes::Rows, for any step.
template <int Channels, int Interp> struct LaneReads
{
    std::uint64_t step;

    template <int Count>
    TW_KERNEL_INLINE void Rows(const float* p_Base, std::uint64_t p_Position, unsigned p_Valid,
                               Floats (&p_Rows)[(Count + 3) / 4 * 4]) const
    {
        Lanes::template Rows<Count>(p_Base, LaneOffsets<Channels, Interp>(p_Position, step, p_Valid), p_Rows);
    }
};

// The floats from the first lane's first tap to the last lane's last that a vector of lanes can
// span at this step, whatever the first lane's fraction; 0 when the step is too large for any window.
template <int Channels, int Interp> constexpr unsigned WindowFloats(std::uint64_t p_Step)
{
    constexpr std::uint64_t kOne = std::uint64_t(1) << 32;
    if (p_Step >= 64 * kOne)
        return 0;
    const std::uint64_t l_LastLane = (kOne - 1 + (Lanes::kWidth - 1) * p_Step) >> 32;
    return unsigned(l_LastLane + (Interp == RESAMPLE_NEAREST ? 1 : kTaps<Interp>)) * Channels;
}

// The lane header's window reads for windows of up to Floats floats, named through a template so
// that headers without them compile.
template <class LaneSet, int Channels, int Interp, unsigned Floats> struct WindowReads
{
    using Type = typename LaneSet::template Window<Channels, Interp == RESAMPLE_NEAREST, Floats>;
};

// Both sides of the lanes at their positions (for a mono sound both are the one channel).
template <int Channels, int Interp, class Reads>
TW_KERNEL_INLINE void ReadLanes(const Reads& p_Reads, const float* p_Data, std::uint64_t p_Position,
                                unsigned p_Valid, Floats p_F, Floats& p_First, Floats& p_Second)
{
    constexpr int kRows = kTaps<Interp> * Channels;
    Floats l_Row[(kRows + 3) / 4 * 4];
    p_Reads.template Rows<kRows>(p_Data + kFirstTap<Interp> * Channels, p_Position, p_Valid, l_Row);
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

// The gained left and right of the lanes whose first frame is p_Frame of the span, at p_Position;
// p_Positions hold the lanes' fractions.
template <int Channels, int Interp, bool Ramped, class Reads>
TW_KERNEL_INLINE void MixLanes(const Reads& p_Reads, const float* p_Data, std::uint64_t p_Position,
                               unsigned p_Valid, const typename Lanes::Positions& p_Positions,
                               unsigned p_Frame, const LaneGain& p_Gain, Floats& p_Left, Floats& p_Right)
{
    Floats l_First, l_Second;
    if constexpr (Interp == RESAMPLE_NEAREST) {
        Floats l_Row[4];
        p_Reads.template Rows<Channels>(p_Data, p_Position, p_Valid, l_Row);
        l_First = l_Row[0];
        l_Second = Channels == 1 ? l_First : l_Row[1];
    } else {
        ReadLanes<Channels, Interp>(p_Reads, p_Data, p_Position, p_Valid, Lanes::Fraction(p_Positions),
                                    l_First, l_Second);
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

// The span's whole vectors of lanes, read by p_Reads; returns the frames done.
template <int Channels, int Interp, bool Ramped, class Reads>
TW_KERNEL_INLINE unsigned MixWhole(const Reads& p_Reads, const float* p_Data, std::uint64_t p_Position,
                                   std::uint64_t p_Step, unsigned p_Count, float* p_Left, float* p_Right,
                                   const LaneGain& p_Gain)
{
    constexpr unsigned kWidth = Lanes::kWidth;
    std::uint64_t l_Lane[kWidth];
    for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
        l_Lane[l_Index] = p_Position + l_Index * p_Step;
    typename Lanes::Positions l_Positions = Lanes::Start(l_Lane);
    unsigned l_Frame = 0;
#if defined(__wasm__)
    // V8 checks for an interrupt and reloads what it spilled at every turn of a loop: two vectors a
    // turn save that for the resamplers with more than one tap (the nearest one's loop gains nothing).
#pragma clang loop unroll_count(Interp == RESAMPLE_NEAREST ? 1 : 2)
#endif
    for (; l_Frame + kWidth <= p_Count; l_Frame += kWidth) {
        Floats l_Left, l_Right;
        MixLanes<Channels, Interp, Ramped>(p_Reads, p_Data, p_Position, kWidth, l_Positions, l_Frame, p_Gain,
                                           l_Left, l_Right);
        Lanes::Add(p_Left + l_Frame, l_Left);
        Lanes::Add(p_Right + l_Frame, l_Right);
        Lanes::Advance(l_Positions, kWidth * p_Step);
        p_Position += kWidth * p_Step;
    }
    return l_Frame;
}

template <int Channels, int Interp, bool Ramped>
TW_KERNEL_TARGET std::uint64_t MixSpanSimd(const float* p_Data, std::uint64_t p_Position,
                                           std::uint64_t p_Step, unsigned p_Count, float* p_Left,
                                           float* p_Right, const SpanGain& p_Gain)
{
    constexpr unsigned kWidth = Lanes::kWidth;
    const LaneGain l_Gain = {p_Gain.left, p_Gain.right, p_Gain.toleft, p_Gain.toright, p_Gain.x, p_Gain.dx};
    const LaneReads<Channels, Interp> l_LaneReads = {p_Step};
    unsigned l_Frame = 0;
    if constexpr (Lanes::kWindowFloats != 0) {
        // Half-size windows have a loop of their own, which reads fewer floats per row.
        constexpr unsigned kHalf = Lanes::kWindowFloats / 2;
        const unsigned l_Floats = p_Count >= kWidth ? WindowFloats<Channels, Interp>(p_Step) : 0;
        if (l_Floats != 0 && l_Floats <= kHalf)
            l_Frame = MixWhole<Channels, Interp, Ramped>(
                typename WindowReads<Lanes, Channels, Interp, kHalf>::Type(p_Step, l_Floats), p_Data,
                p_Position, p_Step, p_Count, p_Left, p_Right, l_Gain);
        else if (l_Floats != 0 && l_Floats <= Lanes::kWindowFloats)
            l_Frame = MixWhole<Channels, Interp, Ramped>(
                typename WindowReads<Lanes, Channels, Interp, Lanes::kWindowFloats>::Type(p_Step, l_Floats),
                p_Data, p_Position, p_Step, p_Count, p_Left, p_Right, l_Gain);
        else
            l_Frame = MixWhole<Channels, Interp, Ramped>(l_LaneReads, p_Data, p_Position, p_Step, p_Count,
                                                         p_Left, p_Right, l_Gain);
    } else {
        l_Frame = MixWhole<Channels, Interp, Ramped>(l_LaneReads, p_Data, p_Position, p_Step, p_Count, p_Left,
                                                     p_Right, l_Gain);
    }
    if (l_Frame < p_Count) {
        std::uint64_t l_Lane[kWidth];
        const unsigned l_Rest = p_Count - l_Frame;
        for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
            l_Lane[l_Index] = p_Position + (l_Frame + (l_Index < l_Rest ? l_Index : l_Rest - 1)) * p_Step;
        Floats l_Left, l_Right;
        MixLanes<Channels, Interp, Ramped>(l_LaneReads, p_Data, p_Position + std::uint64_t(l_Frame) * p_Step,
                                           l_Rest, Lanes::Start(l_Lane), l_Frame, l_Gain, l_Left, l_Right);
        Lanes::AddFirst(p_Left + l_Frame, l_Left, l_Rest);
        Lanes::AddFirst(p_Right + l_Frame, l_Right, l_Rest);
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
    KernelSet l_Set = {p_Name, {}, nullptr, {}};
    FillRow<RESAMPLE_NEAREST>(l_Set);
    FillRow<RESAMPLE_LINEAR>(l_Set);
    FillRow<RESAMPLE_CUBIC>(l_Set);
    FillRow<RESAMPLE_SPLINE>(l_Set);
    return l_Set;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
