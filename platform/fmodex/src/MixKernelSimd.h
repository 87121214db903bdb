// The span kernel (see Kernels.h) written once over a lane type: each instruction set's source
// defines TW_KERNEL_NS (its namespace, holding Floats, MulAdd and Lanes), TW_KERNEL_TARGET and
// TW_KERNEL_INLINE (its function attributes), includes its lane header and Interpolation.h, then
// this file. It computes kWidth frames at a time exactly as MixSpanReference does one; the last
// frames of a span that do not fill the lanes repeat the span's last position and are dropped.
// No include guard: each kernel source includes it once.

namespace SoundEngine {
namespace TW_KERNEL_NS {

template <int Channels, int Interp>
TW_KERNEL_INLINE Floats ReadLanes(const float* p_Frame0, const typename Lanes::Indices& p_At, Floats p_F)
{
    if constexpr (Interp == RESAMPLE_LINEAR) {
        return InterpolateLinear(Lanes::Gather(p_Frame0, p_At), Lanes::Gather(p_Frame0 + Channels, p_At),
                                 p_F);
    } else if constexpr (Interp == RESAMPLE_CUBIC) {
        return InterpolateCubic(Lanes::Gather(p_Frame0 - Channels, p_At), Lanes::Gather(p_Frame0, p_At),
                                Lanes::Gather(p_Frame0 + Channels, p_At),
                                Lanes::Gather(p_Frame0 + 2 * Channels, p_At), p_F);
    } else {
        return InterpolateSpline(
            Lanes::Gather(p_Frame0 - 2 * Channels, p_At), Lanes::Gather(p_Frame0 - Channels, p_At),
            Lanes::Gather(p_Frame0, p_At), Lanes::Gather(p_Frame0 + Channels, p_At),
            Lanes::Gather(p_Frame0 + 2 * Channels, p_At), Lanes::Gather(p_Frame0 + 3 * Channels, p_At), p_F);
    }
}

// The gained left and right of the lanes whose first frame is p_Frame of the span.
template <int Channels, int Interp, bool Ramped>
TW_KERNEL_INLINE void MixLanes(const float* p_Data, const typename Lanes::Positions& p_Positions,
                               unsigned p_Frame, const SpanGain& p_Gain, Floats& p_Left, Floats& p_Right)
{
    Floats l_First, l_Second;
    if constexpr (Interp == RESAMPLE_NEAREST) {
        const typename Lanes::Indices l_At = Lanes::Nearest(p_Positions, Channels);
        l_First = Lanes::Gather(p_Data, l_At);
        l_Second = Channels == 1 ? l_First : Lanes::Gather(p_Data + 1, l_At);
    } else {
        const typename Lanes::Indices l_At = Lanes::Whole(p_Positions, Channels);
        const Floats l_F = Lanes::Fraction(p_Positions);
        l_First = ReadLanes<Channels, Interp>(p_Data, l_At, l_F);
        l_Second = Channels == 1 ? l_First : ReadLanes<Channels, Interp>(p_Data + 1, l_At, l_F);
    }
    if constexpr (Ramped) {
        const Floats l_U =
            MulAdd(Floats(p_Gain.dx), Lanes::FrameOffsets() + Floats(float(p_Frame)), Floats(p_Gain.x));
        p_Left = l_First * RampGain(Floats(p_Gain.left), Floats(p_Gain.toleft), l_U);
        p_Right = l_Second * RampGain(Floats(p_Gain.right), Floats(p_Gain.toright), l_U);
    } else {
        p_Left = l_First * Floats(p_Gain.left);
        p_Right = l_Second * Floats(p_Gain.right);
    }
}

template <int Channels, int Interp, bool Ramped>
TW_KERNEL_TARGET std::uint64_t MixSpanSimd(const float* p_Data, std::uint64_t p_Position,
                                           std::uint64_t p_Step, unsigned p_Count, float* p_Out,
                                           const SpanGain& p_Gain)
{
    constexpr unsigned kWidth = Lanes::kWidth;
    std::uint64_t l_Lane[kWidth];
    for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
        l_Lane[l_Index] = p_Position + l_Index * p_Step;
    typename Lanes::Positions l_Positions = Lanes::Start(l_Lane);
    unsigned l_Frame = 0;
    Floats l_Left, l_Right;
    for (; l_Frame + kWidth <= p_Count; l_Frame += kWidth) {
        MixLanes<Channels, Interp, Ramped>(p_Data, l_Positions, l_Frame, p_Gain, l_Left, l_Right);
        Lanes::AddStereo(p_Out + 2 * l_Frame, l_Left, l_Right);
        Lanes::Advance(l_Positions, kWidth * p_Step);
    }
    if (l_Frame < p_Count) {
        const unsigned l_Rest = p_Count - l_Frame;
        for (unsigned l_Index = 0; l_Index < kWidth; ++l_Index)
            l_Lane[l_Index] = p_Position + (l_Frame + (l_Index < l_Rest ? l_Index : l_Rest - 1)) * p_Step;
        MixLanes<Channels, Interp, Ramped>(p_Data, Lanes::Start(l_Lane), l_Frame, p_Gain, l_Left, l_Right);
        float l_Mixed[2 * kWidth];
        Lanes::StoreStereo(l_Mixed, l_Left, l_Right);
        for (unsigned l_Index = 0; l_Index < 2 * l_Rest; ++l_Index)
            p_Out[2 * l_Frame + l_Index] += l_Mixed[l_Index];
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
