// The AVX2 kernels, for the processors that have it and FMA. Built with -ffp-contract=off (see
// SimdAvx2.h).
#include "Kernels.h"

#if TW_SIMD_X86
#include "SimdAvx2.h"
#include "SincLanesAvx2.h"
#define TW_KERNEL_NS Avx2
#define TW_KERNEL_TARGET TW_AVX2_TARGET
#define TW_KERNEL_INLINE TW_AVX2_INLINE
#include "Interpolation.h"
#include "MixKernelSimd.h"
#include "SincKernel.h"
#endif

namespace SoundEngine {

#if TW_SIMD_X86
namespace Avx2 {
namespace {

TW_AVX2_INLINE __m256 Abs(__m256 p_Value)
{
    return _mm256_and_ps(p_Value, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
}

// A vector at a time; the measure in four chains of each, so that no addition waits for the last.
TW_AVX2_TARGET unsigned AddSamples(float* p_Into, const float* p_From, unsigned p_Count)
{
    unsigned l_Index = 0;
    for (; l_Index + 8 <= p_Count; l_Index += 8)
        _mm256_storeu_ps(p_Into + l_Index,
                         _mm256_add_ps(_mm256_loadu_ps(p_Into + l_Index), _mm256_loadu_ps(p_From + l_Index)));
    return l_Index;
}

TW_AVX2_INLINE void MeasureVector(const float* p_From, __m256& p_Peak, __m256& p_Sum)
{
    const __m256 l_Value = _mm256_loadu_ps(p_From);
    p_Peak = _mm256_max_ps(p_Peak, Abs(l_Value));
    p_Sum = _mm256_add_ps(p_Sum, _mm256_mul_ps(l_Value, l_Value));
}

TW_AVX2_TARGET unsigned MeasureSamples(const float* p_Samples, unsigned p_Count, float& p_Peak,
                                       float& p_Squares)
{
    __m256 l_Peak0 = _mm256_setzero_ps(), l_Peak1 = l_Peak0, l_Peak2 = l_Peak0, l_Peak3 = l_Peak0;
    __m256 l_Sum0 = l_Peak0, l_Sum1 = l_Peak0, l_Sum2 = l_Peak0, l_Sum3 = l_Peak0;
    unsigned l_Index = 0;
    for (; l_Index + 32 <= p_Count; l_Index += 32) {
        MeasureVector(p_Samples + l_Index, l_Peak0, l_Sum0);
        MeasureVector(p_Samples + l_Index + 8, l_Peak1, l_Sum1);
        MeasureVector(p_Samples + l_Index + 16, l_Peak2, l_Sum2);
        MeasureVector(p_Samples + l_Index + 24, l_Peak3, l_Sum3);
    }
    float l_Lanes[8], l_SumLanes[8];
    _mm256_storeu_ps(l_Lanes,
                     _mm256_max_ps(_mm256_max_ps(l_Peak0, l_Peak1), _mm256_max_ps(l_Peak2, l_Peak3)));
    _mm256_storeu_ps(l_SumLanes, _mm256_add_ps(_mm256_add_ps(l_Sum0, l_Sum1), _mm256_add_ps(l_Sum2, l_Sum3)));
    float l_Peak = p_Peak, l_Squares = 0.0f;
    for (unsigned l_Lane = 0; l_Lane < 8; ++l_Lane) {
        l_Peak = l_Lanes[l_Lane] > l_Peak ? l_Lanes[l_Lane] : l_Peak;
        l_Squares += l_SumLanes[l_Lane];
    }
    p_Peak = l_Peak;
    p_Squares += l_Squares;
    return l_Index;
}

}  // namespace
}  // namespace Avx2
#endif

const KernelSet* Avx2Kernels()
{
#if TW_SIMD_X86
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
        return nullptr;
    static const KernelSet l_Set = [] {
        KernelSet l_Made = Avx2::WithSinc(Avx2::MakeKernelSet("avx2"));
        l_Made.add = &Avx2::AddSamples;
        l_Made.level = &Avx2::MeasureSamples;
        return l_Made;
    }();
    return &l_Set;
#else
    return nullptr;
#endif
}

}  // namespace SoundEngine
