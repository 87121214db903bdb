// The sinc kernel's lanes on AVX-512 (see SincKernel.h): sixteen frames at a time, each frame's
// eight running sums in one 256-bit vector, summed as on AVX2 and the two halves joined.
#ifndef TUNEWRIGHT_SOUND_SINCLANESAVX512_H
#define TUNEWRIGHT_SOUND_SINCLANESAVX512_H

#include "SimdAvx512.h"

namespace SoundEngine {
namespace Avx512 {

struct Eight
{
    __m256 v;
    Eight() = default;
    TW_AVX512_INLINE Eight(__m256 p_V) : v(p_V) {}
};

TW_AVX512_INLINE Eight operator+(Eight p_A, Eight p_B) { return _mm256_add_ps(p_A.v, p_B.v); }
TW_AVX512_INLINE Eight operator*(Eight p_A, Eight p_B) { return _mm256_mul_ps(p_A.v, p_B.v); }
TW_AVX512_INLINE Eight MulAdd(Eight p_A, Eight p_B, Eight p_C)
{
    return _mm256_add_ps(_mm256_mul_ps(p_A.v, p_B.v), p_C.v);
}
TW_AVX512_INLINE Eight LoadEight(const float* p_From) { return _mm256_loadu_ps(p_From); }
TW_AVX512_INLINE Eight SplatEight(float p_Value) { return _mm256_set1_ps(p_Value); }
TW_AVX512_INLINE void StoreEight(float* p_To, Eight p_Eight) { _mm256_storeu_ps(p_To, p_Eight.v); }
TW_AVX512_INLINE Eight DupLow(Eight p_A)
{
    return _mm256_permutevar8x32_ps(p_A.v, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
}
TW_AVX512_INLINE Eight DupHigh(Eight p_A)
{
    return _mm256_permutevar8x32_ps(p_A.v, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
}

struct SincLanes : Lanes
{
    using Floats = Avx512::Floats;

    // Each eight frames as on AVX2: two rounds of pairwise sums give ((0+1)+(2+3)) and
    // ((4+5)+(6+7)) of four frames in each 128-bit half, which are then swapped into place and added.
    TW_AVX512_INLINE static __m256 SumEight(const Eight* p_Sums)
    {
        const __m256 l_First = _mm256_hadd_ps(_mm256_hadd_ps(p_Sums[0].v, p_Sums[1].v),
                                              _mm256_hadd_ps(p_Sums[2].v, p_Sums[3].v));
        const __m256 l_Second = _mm256_hadd_ps(_mm256_hadd_ps(p_Sums[4].v, p_Sums[5].v),
                                               _mm256_hadd_ps(p_Sums[6].v, p_Sums[7].v));
        return _mm256_add_ps(_mm256_permute2f128_ps(l_First, l_Second, 0x20),
                             _mm256_permute2f128_ps(l_First, l_Second, 0x31));
    }
    TW_AVX512_INLINE static Floats SumEach(const Eight (&p_Sums)[16])
    {
        const __m512d l_Low = _mm512_castpd256_pd512(_mm256_castps_pd(SumEight(p_Sums)));
        return _mm512_castpd_ps(_mm512_insertf64x4(l_Low, _mm256_castps_pd(SumEight(p_Sums + 8)), 1));
    }
    TW_AVX512_INLINE static Floats LoadFloats(const float* p_From) { return _mm512_loadu_ps(p_From); }
};

}  // namespace Avx512
}  // namespace SoundEngine

#endif
