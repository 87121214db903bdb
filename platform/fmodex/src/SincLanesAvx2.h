// The sinc kernel's lanes on AVX2 (see SincKernel.h): eight frames at a time, each frame's eight
// running sums in one vector.
#ifndef TUNEWRIGHT_SOUND_SINCLANESAVX2_H
#define TUNEWRIGHT_SOUND_SINCLANESAVX2_H

#include "SimdAvx2.h"

namespace SoundEngine {
namespace Avx2 {

using Eight = Floats;

TW_AVX2_INLINE Eight LoadEight(const float* p_From) { return _mm256_loadu_ps(p_From); }
TW_AVX2_INLINE Eight SplatEight(float p_Value) { return _mm256_set1_ps(p_Value); }
TW_AVX2_INLINE void StoreEight(float* p_To, Eight p_Eight) { _mm256_storeu_ps(p_To, p_Eight.v); }
TW_AVX2_INLINE Eight DupLow(Eight p_A)
{
    return _mm256_permutevar8x32_ps(p_A.v, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
}
TW_AVX2_INLINE Eight DupHigh(Eight p_A)
{
    return _mm256_permutevar8x32_ps(p_A.v, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
}

struct SincLanes : Lanes
{
    using Floats = Avx2::Floats;

    // Two rounds of pairwise sums give ((0+1)+(2+3)) and ((4+5)+(6+7)) of four frames in each
    // half; the halves are then swapped into place and added.
    TW_AVX2_INLINE static Floats SumEach(const Eight (&p_Sums)[8])
    {
        const __m256 l_First = _mm256_hadd_ps(_mm256_hadd_ps(p_Sums[0].v, p_Sums[1].v),
                                              _mm256_hadd_ps(p_Sums[2].v, p_Sums[3].v));
        const __m256 l_Second = _mm256_hadd_ps(_mm256_hadd_ps(p_Sums[4].v, p_Sums[5].v),
                                               _mm256_hadd_ps(p_Sums[6].v, p_Sums[7].v));
        return _mm256_add_ps(_mm256_permute2f128_ps(l_First, l_Second, 0x20),
                             _mm256_permute2f128_ps(l_First, l_Second, 0x31));
    }
    TW_AVX2_INLINE static Floats LoadFloats(const float* p_From) { return _mm256_loadu_ps(p_From); }
};

}  // namespace Avx2
}  // namespace SoundEngine

#endif
