// The sinc kernel's lanes on SSE2 (see SincKernel.h): four frames at a time, each frame's sixteen
// running sums in four vectors.
#ifndef TUNEWRIGHT_SOUND_SINCLANESSSE2_H
#define TUNEWRIGHT_SOUND_SINCLANESSSE2_H

#include "SimdSse2.h"
#include "SincTable.h"

#include <cstdint>

namespace SoundEngine {
namespace Sse2 {

struct Sixteen
{
    __m128 v[4];
};

TW_SSE2_INLINE Sixteen LoadSixteen(const float* p_From)
{
    return {{_mm_loadu_ps(p_From), _mm_loadu_ps(p_From + 4), _mm_loadu_ps(p_From + 8),
             _mm_loadu_ps(p_From + 12)}};
}
TW_SSE2_INLINE Sixteen LoadEightTwice(const float* p_From)
{
    const __m128 l_Low = _mm_loadu_ps(p_From), l_High = _mm_loadu_ps(p_From + 4);
    return {{l_Low, l_High, l_Low, l_High}};
}
TW_SSE2_INLINE void StoreSixteen(float* p_To, const Sixteen& p_Sixteen)
{
    for (int l_Quarter = 0; l_Quarter < 4; ++l_Quarter)
        _mm_storeu_ps(p_To + 4 * l_Quarter, p_Sixteen.v[l_Quarter]);
}
TW_SSE2_INLINE Sixteen operator+(const Sixteen& p_A, const Sixteen& p_B)
{
    return {{_mm_add_ps(p_A.v[0], p_B.v[0]), _mm_add_ps(p_A.v[1], p_B.v[1]), _mm_add_ps(p_A.v[2], p_B.v[2]),
             _mm_add_ps(p_A.v[3], p_B.v[3])}};
}
TW_SSE2_INLINE Sixteen operator*(const Sixteen& p_A, const Sixteen& p_B)
{
    return {{_mm_mul_ps(p_A.v[0], p_B.v[0]), _mm_mul_ps(p_A.v[1], p_B.v[1]), _mm_mul_ps(p_A.v[2], p_B.v[2]),
             _mm_mul_ps(p_A.v[3], p_B.v[3])}};
}
TW_SSE2_INLINE Sixteen DupLow(const Sixteen& p_A)
{
    return {{_mm_unpacklo_ps(p_A.v[0], p_A.v[0]), _mm_unpackhi_ps(p_A.v[0], p_A.v[0]),
             _mm_unpacklo_ps(p_A.v[1], p_A.v[1]), _mm_unpackhi_ps(p_A.v[1], p_A.v[1])}};
}
TW_SSE2_INLINE Sixteen DupHigh(const Sixteen& p_A)
{
    return {{_mm_unpacklo_ps(p_A.v[2], p_A.v[2]), _mm_unpackhi_ps(p_A.v[2], p_A.v[2]),
             _mm_unpacklo_ps(p_A.v[3], p_A.v[3]), _mm_unpackhi_ps(p_A.v[3], p_A.v[3])}};
}

struct SincLanes : Lanes
{
    using Floats = Sse2::Floats;

    // ((0+1)+(2+3)) of four frames' floats p_First .. p_First + 3, plus the same of the next four, by
    // transposing each.
    TW_SSE2_INLINE static __m128 SumEight(const Sixteen (&p_Sums)[4], int p_First)
    {
        __m128 l_Halves[2];
        for (int l_Half = 0; l_Half < 2; ++l_Half) {
            __m128 l_A = p_Sums[0].v[p_First + l_Half], l_B = p_Sums[1].v[p_First + l_Half],
                   l_C = p_Sums[2].v[p_First + l_Half], l_D = p_Sums[3].v[p_First + l_Half];
            _MM_TRANSPOSE4_PS(l_A, l_B, l_C, l_D);
            l_Halves[l_Half] = _mm_add_ps(_mm_add_ps(l_A, l_B), _mm_add_ps(l_C, l_D));
        }
        return _mm_add_ps(l_Halves[0], l_Halves[1]);
    }
    template <class Lane> TW_SSE2_INLINE static void SumEach(Lane& p_Lane, Floats& p_Here, Floats& p_Change)
    {
        Sixteen l_Sums[4];
#pragma GCC unroll 4
        for (Sixteen& l_Frame : l_Sums)
            l_Frame = p_Lane();
        p_Here = SumEight(l_Sums, 0);
        p_Change = SumEight(l_Sums, 2);
    }
    TW_SSE2_INLINE static Floats Between(std::uint32_t p_Fraction, const std::uint32_t (&p_Offsets)[4])
    {
        const __m128i l_Fractions =
            _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p_Offsets)),
                          _mm_set1_epi32(std::int32_t(p_Fraction)));
        const __m128i l_Between =
            _mm_and_si128(_mm_srli_epi32(l_Fractions, kSincBetweenShift), _mm_set1_epi32(0xFFFF));
        return _mm_mul_ps(_mm_cvtepi32_ps(l_Between), _mm_set1_ps(1.0f / 65536.0f));
    }
    TW_SSE2_INLINE static Floats LoadFloats(const float* p_From) { return _mm_loadu_ps(p_From); }
};

}  // namespace Sse2
}  // namespace SoundEngine

#endif
