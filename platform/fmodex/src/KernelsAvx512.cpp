// The AVX-512 kernels, for the processors that have its foundation subset (the only one they use).
// Built with -ffp-contract=off (see SimdAvx512.h).
#include "Kernels.h"

#if TW_SIMD_AVX512
// GCC 12's AVX-512 intrinsics fill the lanes they leave undefined from a self-initialised local,
// which its own uninitialised-use warnings then report in every kernel.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include "SimdAvx512.h"
#include "SincLanesAvx512.h"
#define TW_KERNEL_NS Avx512
#define TW_KERNEL_TARGET TW_AVX512_TARGET
#define TW_KERNEL_INLINE TW_AVX512_INLINE
#include "Interpolation.h"
#include "MixKernelSimd.h"
#include "SincKernel.h"
#endif

namespace SoundEngine {

#if TW_SIMD_AVX512
namespace Avx512 {
namespace {

// Sixteen frames at a time, the steps of ToPcm16 (Kernels.h): scale, offset by 32768.5, clamp to
// 0 .. 65535.5 (a NaN to 0: min and max take their operands in the order that keeps std::min and
// std::max's answer) and truncate; each frame's left and right then go into the low and high
// halves of one 32-bit word, and flipping the top bit of each half takes 32768 away.
TW_AVX512_TARGET unsigned ToPcm16Stereo(const float* p_Left, const float* p_Right, std::int16_t* p_Out,
                                        unsigned p_Frames)
{
    const __m512 l_Scale = _mm512_set1_ps(32768.0f), l_Offset = _mm512_set1_ps(32768.5f);
    const __m512 l_Top = _mm512_set1_ps(65535.5f), l_Zero = _mm512_setzero_ps();
    unsigned l_Frame = 0;
    for (; l_Frame + 16 <= p_Frames; l_Frame += 16) {
        __m512i l_Sides[2];
        for (int l_Side = 0; l_Side < 2; ++l_Side) {
            const __m512 l_Value = _mm512_add_ps(
                _mm512_mul_ps(_mm512_loadu_ps((l_Side == 0 ? p_Left : p_Right) + l_Frame), l_Scale),
                l_Offset);
            l_Sides[l_Side] = _mm512_cvttps_epi32(_mm512_max_ps(_mm512_min_ps(l_Top, l_Value), l_Zero));
        }
        const __m512i l_Words = _mm512_or_si512(_mm512_and_si512(l_Sides[0], _mm512_set1_epi32(0xFFFF)),
                                                _mm512_slli_epi32(l_Sides[1], 16));
        _mm512_storeu_si512(p_Out + 2 * l_Frame,
                            _mm512_xor_si512(l_Words, _mm512_set1_epi32(std::int32_t(0x80008000u))));
    }
    return l_Frame;
}

// A vector at a time; the measure in four chains of each, so that no addition waits for the last.
TW_AVX512_TARGET unsigned AddSamples(float* p_Into, const float* p_From, unsigned p_Count)
{
    unsigned l_Index = 0;
    for (; l_Index + 16 <= p_Count; l_Index += 16)
        _mm512_storeu_ps(p_Into + l_Index,
                         _mm512_add_ps(_mm512_loadu_ps(p_Into + l_Index), _mm512_loadu_ps(p_From + l_Index)));
    return l_Index;
}

TW_AVX512_INLINE void MeasureVector(const float* p_From, __m512& p_Peak, __m512& p_Sum)
{
    const __m512 l_Value = _mm512_loadu_ps(p_From);
    p_Peak = _mm512_max_ps(p_Peak, _mm512_abs_ps(l_Value));
    p_Sum = _mm512_add_ps(p_Sum, _mm512_mul_ps(l_Value, l_Value));
}

TW_AVX512_TARGET unsigned MeasureSamples(const float* p_Samples, unsigned p_Count, float& p_Peak,
                                         float& p_Squares)
{
    __m512 l_Peak0 = _mm512_setzero_ps(), l_Peak1 = l_Peak0, l_Peak2 = l_Peak0, l_Peak3 = l_Peak0;
    __m512 l_Sum0 = l_Peak0, l_Sum1 = l_Peak0, l_Sum2 = l_Peak0, l_Sum3 = l_Peak0;
    unsigned l_Index = 0;
    for (; l_Index + 64 <= p_Count; l_Index += 64) {
        MeasureVector(p_Samples + l_Index, l_Peak0, l_Sum0);
        MeasureVector(p_Samples + l_Index + 16, l_Peak1, l_Sum1);
        MeasureVector(p_Samples + l_Index + 32, l_Peak2, l_Sum2);
        MeasureVector(p_Samples + l_Index + 48, l_Peak3, l_Sum3);
    }
    float l_Lanes[16], l_SumLanes[16];
    _mm512_storeu_ps(l_Lanes,
                     _mm512_max_ps(_mm512_max_ps(l_Peak0, l_Peak1), _mm512_max_ps(l_Peak2, l_Peak3)));
    _mm512_storeu_ps(l_SumLanes, _mm512_add_ps(_mm512_add_ps(l_Sum0, l_Sum1), _mm512_add_ps(l_Sum2, l_Sum3)));
    float l_Peak = p_Peak, l_Squares = 0.0f;
    for (unsigned l_Lane = 0; l_Lane < 16; ++l_Lane) {
        l_Peak = l_Lanes[l_Lane] > l_Peak ? l_Lanes[l_Lane] : l_Peak;
        l_Squares += l_SumLanes[l_Lane];
    }
    p_Peak = l_Peak;
    p_Squares += l_Squares;
    return l_Index;
}
}  // namespace
}  // namespace Avx512
#endif

const KernelSet* Avx512Kernels()
{
#if TW_SIMD_AVX512
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx512f"))
        return nullptr;
    static const KernelSet l_Set = [] {
        KernelSet l_Made = Avx512::WithSinc(Avx512::MakeKernelSet("avx512"));
        l_Made.pcm16 = &Avx512::ToPcm16Stereo;
        l_Made.add = &Avx512::AddSamples;
        l_Made.level = &Avx512::MeasureSamples;
        return l_Made;
    }();
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
