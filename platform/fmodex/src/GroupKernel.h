// The groups' kernel (GroupKernel in Kernels.h) written once over a lane type, as MixKernelSimd.h
// is: each instruction set's source defines TW_KERNEL_NS, TW_KERNEL_TARGET and TW_KERNEL_INLINE,
// includes its lane header and then this file.
// No include guard: each kernel source includes it once.

namespace SoundEngine {
namespace TW_KERNEL_NS {

// One vector of frames from p_Frame: measured into p_Peak and p_Sum, written and added as asked.
template <bool Frames, bool Mix>
TW_KERNEL_INLINE void GroupVector(const GroupSpan& p_Span, unsigned p_Frame, Floats& p_Peak, Floats& p_Sum)
{
    const Floats l_Left = Lanes::Load(p_Span.left + p_Frame), l_Right = Lanes::Load(p_Span.right + p_Frame);
    Lanes::Store(p_Span.left + p_Frame, 0.0f);
    Lanes::Store(p_Span.right + p_Frame, 0.0f);
    p_Peak = Lanes::Max(p_Peak, Lanes::Max(Lanes::Abs(l_Left), Lanes::Abs(l_Right)));
    p_Sum = p_Sum + (l_Left * l_Left + l_Right * l_Right);
    if constexpr (Frames)
        Lanes::StoreFrames(p_Span.frames + 2 * p_Frame, l_Left, l_Right);
    if constexpr (Mix) {
        Lanes::Store(p_Span.mixleft + p_Frame, Lanes::Load(p_Span.mixleft + p_Frame) + l_Left);
        Lanes::Store(p_Span.mixright + p_Frame, Lanes::Load(p_Span.mixright + p_Frame) + l_Right);
    }
}

template <bool Frames, bool Mix>
TW_KERNEL_TARGET unsigned GroupSpanSimd(const GroupSpan& p_Span, float& p_Peak, float& p_Squares)
{
    constexpr unsigned kWidth = Lanes::kWidth;
    // Two chains of each measure, so that no addition waits for the one before.
    Floats l_Peak0 = 0.0f, l_Peak1 = 0.0f, l_Sum0 = 0.0f, l_Sum1 = 0.0f;
    unsigned l_Frame = 0;
    for (; l_Frame + 2 * kWidth <= p_Span.count; l_Frame += 2 * kWidth) {
        GroupVector<Frames, Mix>(p_Span, l_Frame, l_Peak0, l_Sum0);
        GroupVector<Frames, Mix>(p_Span, l_Frame + kWidth, l_Peak1, l_Sum1);
    }
    if (l_Frame + kWidth <= p_Span.count) {
        GroupVector<Frames, Mix>(p_Span, l_Frame, l_Peak0, l_Sum0);
        l_Frame += kWidth;
    }
    float l_Peak[kWidth], l_Sum[kWidth];  // stored unaligned: no stack realignment
    Lanes::Store(l_Peak, Lanes::Max(l_Peak0, l_Peak1));
    Lanes::Store(l_Sum, l_Sum0 + l_Sum1);
    float l_Squares = 0.0f;
    for (unsigned l_Lane = 0; l_Lane < kWidth; ++l_Lane) {
        p_Peak = l_Peak[l_Lane] > p_Peak ? l_Peak[l_Lane] : p_Peak;
        l_Squares += l_Sum[l_Lane];
    }
    p_Squares += l_Squares;
    return l_Frame;
}

// The set with its groups' kernels.
inline KernelSet WithGroups(KernelSet p_Set)
{
    p_Set.group[0][0] = &GroupSpanSimd<false, false>;
    p_Set.group[0][1] = &GroupSpanSimd<false, true>;
    p_Set.group[1][0] = &GroupSpanSimd<true, false>;
    p_Set.group[1][1] = &GroupSpanSimd<true, true>;
    return p_Set;
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
