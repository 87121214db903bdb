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
#include "GroupKernel.h"
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
        KernelSet l_Made = Avx512::WithGroups(Avx512::WithSinc(Avx512::MakeKernelSet("avx512")));
        l_Made.pcm16 = &Avx512::ToPcm16Stereo;
        return l_Made;
    }();
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
