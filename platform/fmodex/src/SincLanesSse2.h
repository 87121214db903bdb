// The sinc kernel's lanes on SSE2 (see SincKernel.h): four frames at a time, each frame's eight
// running sums in two vectors.
#ifndef TUNEWRIGHT_SOUND_SINCLANESSSE2_H
#define TUNEWRIGHT_SOUND_SINCLANESSSE2_H

#include "SimdSse2.h"

namespace SoundEngine {
namespace Sse2 {

struct Eight
{
    __m128 low;
    __m128 high;
};

TW_SSE2_INLINE Eight LoadEight(const float* p_From)
{
    return {_mm_loadu_ps(p_From), _mm_loadu_ps(p_From + 4)};
}
TW_SSE2_INLINE Eight SplatEight(float p_Value) { return {_mm_set1_ps(p_Value), _mm_set1_ps(p_Value)}; }
TW_SSE2_INLINE void StoreEight(float* p_To, Eight p_Eight)
{
    _mm_storeu_ps(p_To, p_Eight.low);
    _mm_storeu_ps(p_To + 4, p_Eight.high);
}
TW_SSE2_INLINE Eight operator+(Eight p_A, Eight p_B)
{
    return {_mm_add_ps(p_A.low, p_B.low), _mm_add_ps(p_A.high, p_B.high)};
}
TW_SSE2_INLINE Eight operator*(Eight p_A, Eight p_B)
{
    return {_mm_mul_ps(p_A.low, p_B.low), _mm_mul_ps(p_A.high, p_B.high)};
}
TW_SSE2_INLINE Eight MulAdd(Eight p_A, Eight p_B, Eight p_C) { return p_A * p_B + p_C; }
TW_SSE2_INLINE Eight DupLow(Eight p_A)
{
    return {_mm_unpacklo_ps(p_A.low, p_A.low), _mm_unpackhi_ps(p_A.low, p_A.low)};
}
TW_SSE2_INLINE Eight DupHigh(Eight p_A)
{
    return {_mm_unpacklo_ps(p_A.high, p_A.high), _mm_unpackhi_ps(p_A.high, p_A.high)};
}

struct SincLanes : Lanes
{
    using Floats = Sse2::Floats;

    // ((0+1)+(2+3)) of the low halves plus the same of the high halves, by transposing each.
    TW_SSE2_INLINE static Floats SumEach(const Eight (&p_Sums)[4])
    {
        __m128 l_A = p_Sums[0].low, l_B = p_Sums[1].low, l_C = p_Sums[2].low, l_D = p_Sums[3].low;
        _MM_TRANSPOSE4_PS(l_A, l_B, l_C, l_D);
        const __m128 l_Low = _mm_add_ps(_mm_add_ps(l_A, l_B), _mm_add_ps(l_C, l_D));
        l_A = p_Sums[0].high, l_B = p_Sums[1].high, l_C = p_Sums[2].high, l_D = p_Sums[3].high;
        _MM_TRANSPOSE4_PS(l_A, l_B, l_C, l_D);
        const __m128 l_High = _mm_add_ps(_mm_add_ps(l_A, l_B), _mm_add_ps(l_C, l_D));
        return _mm_add_ps(l_Low, l_High);
    }
    TW_SSE2_INLINE static Floats LoadFloats(const float* p_From) { return _mm_loadu_ps(p_From); }
};

}  // namespace Sse2
}  // namespace SoundEngine

#endif
