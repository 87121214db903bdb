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

TW_SSE2_INLINE Sixteen MulAddSixteen(const Sixteen& p_A, const Sixteen& p_B, const Sixteen& p_C)
{
    return p_A * p_B + p_C;
}

struct SincLanes : Lanes
{
    using Floats = Sse2::Floats;

    // One frame's weighted sums W (floats 0-3 and 4-7), its fraction p_B in every float.
    TW_SSE2_INLINE static void Weighted(const Sixteen& p_Sums, __m128 p_B, __m128& p_Low, __m128& p_High)
    {
        p_Low = _mm_add_ps(p_Sums.v[0], _mm_mul_ps(p_B, p_Sums.v[2]));
        p_High = _mm_add_ps(p_Sums.v[1], _mm_mul_ps(p_B, p_Sums.v[3]));
    }
    // ((W0+W1)+(W2+W3)) of four frames, then the same of W4-W7 added, by transposing each.
    template <class Lane> TW_SSE2_INLINE static Floats SumWeighted(Lane& p_Lane, Floats p_Between)
    {
        __m128 l_Low[4], l_High[4];
        Weighted(p_Lane(), _mm_shuffle_ps(p_Between.v, p_Between.v, _MM_SHUFFLE(0, 0, 0, 0)), l_Low[0],
                 l_High[0]);
        Weighted(p_Lane(), _mm_shuffle_ps(p_Between.v, p_Between.v, _MM_SHUFFLE(1, 1, 1, 1)), l_Low[1],
                 l_High[1]);
        Weighted(p_Lane(), _mm_shuffle_ps(p_Between.v, p_Between.v, _MM_SHUFFLE(2, 2, 2, 2)), l_Low[2],
                 l_High[2]);
        Weighted(p_Lane(), _mm_shuffle_ps(p_Between.v, p_Between.v, _MM_SHUFFLE(3, 3, 3, 3)), l_Low[3],
                 l_High[3]);
        _MM_TRANSPOSE4_PS(l_Low[0], l_Low[1], l_Low[2], l_Low[3]);
        _MM_TRANSPOSE4_PS(l_High[0], l_High[1], l_High[2], l_High[3]);
        return _mm_add_ps(_mm_add_ps(_mm_add_ps(l_Low[0], l_Low[1]), _mm_add_ps(l_Low[2], l_Low[3])),
                          _mm_add_ps(_mm_add_ps(l_High[0], l_High[1]), _mm_add_ps(l_High[2], l_High[3])));
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
