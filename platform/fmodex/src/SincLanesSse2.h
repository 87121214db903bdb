// The sinc kernel's lanes on SSE2 (see SincKernel.h): four frames at a time; a stereo frame's
// sixteen running sums in four vectors, a mono frame's in two halves of two vectors each.
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

    // Floats p_Quarter and p_Quarter + 2 of a mono frame's sixteen sums (SincSums in SincKernel.h,
    // by the same additions), from its first sample p_At and table row p_Row (64-byte aligned):
    // both read the same four samples of a block, so a pair takes four running sums and one vector
    // of samples where the sixteen take eight and two: six registers, which even a 32-bit build's
    // eight hold.
    template <int Taps, int Quarter>
    TW_SSE2_INLINE static void QuarterSums(const float* p_At, const float* p_Row, __m128& p_Here,
                                           __m128& p_Change)
    {
        static_assert(Taps == 8 || Taps % 16 == 0,
                      "the even and the odd blocks make two chains of equal length");
        const float* l_At = p_At + 4 * Quarter;
        const float* l_Row = p_Row + 4 * Quarter;
        __m128 l_Samples = _mm_loadu_ps(l_At);
        __m128 l_EvenHere = _mm_mul_ps(_mm_load_ps(l_Row), l_Samples);
        __m128 l_EvenChange = _mm_mul_ps(_mm_load_ps(l_Row + 8), l_Samples);
        if constexpr (Taps == 8) {
            p_Here = l_EvenHere;
            p_Change = l_EvenChange;
            return;
        }
        l_Samples = _mm_loadu_ps(l_At + 8);
        __m128 l_OddHere = _mm_mul_ps(_mm_load_ps(l_Row + 16), l_Samples);
        __m128 l_OddChange = _mm_mul_ps(_mm_load_ps(l_Row + 24), l_Samples);
#pragma GCC unroll 4
        for (int l_Block = 2; l_Block < Taps / 8; l_Block += 2) {
            l_Samples = _mm_loadu_ps(l_At + 8 * l_Block);
            l_EvenHere = _mm_add_ps(_mm_mul_ps(_mm_load_ps(l_Row + 16 * l_Block), l_Samples), l_EvenHere);
            l_EvenChange =
                _mm_add_ps(_mm_mul_ps(_mm_load_ps(l_Row + 16 * l_Block + 8), l_Samples), l_EvenChange);
            l_Samples = _mm_loadu_ps(l_At + 8 * l_Block + 8);
            l_OddHere = _mm_add_ps(_mm_mul_ps(_mm_load_ps(l_Row + 16 * l_Block + 16), l_Samples), l_OddHere);
            l_OddChange =
                _mm_add_ps(_mm_mul_ps(_mm_load_ps(l_Row + 16 * l_Block + 24), l_Samples), l_OddChange);
        }
        p_Here = _mm_add_ps(l_EvenHere, l_OddHere);
        p_Change = _mm_add_ps(l_EvenChange, l_OddChange);
    }
    // Pairwise sums of two vectors' floats: [a0+a1, a2+a3, b0+b1, b2+b3].
    TW_SSE2_INLINE static __m128 AddPairs(__m128 p_A, __m128 p_B)
    {
        return _mm_add_ps(_mm_shuffle_ps(p_A, p_B, _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm_shuffle_ps(p_A, p_B, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    // A frame's [W0+W1, W2+W3, W4+W5, W6+W7], its fraction p_B in every float.
    template <class Lane> TW_SSE2_INLINE static __m128 WeightedPairs(Lane& p_Lane, __m128 p_B)
    {
        const auto l_Taps = p_Lane.Taps();
        __m128 l_Here, l_Change;
        QuarterSums<Lane::kTaps, 0>(l_Taps.at, l_Taps.row, l_Here, l_Change);
        const __m128 l_Low = _mm_add_ps(l_Here, _mm_mul_ps(p_B, l_Change));
        QuarterSums<Lane::kTaps, 1>(l_Taps.at, l_Taps.row, l_Here, l_Change);
        return AddPairs(l_Low, _mm_add_ps(l_Here, _mm_mul_ps(p_B, l_Change)));
    }
    // Four frames' [W0+W1, W2+W3, W4+W5, W6+W7], each reduced so far as soon as it is made.
    struct Pending
    {
        __m128 v[4];
    };
    template <class Lane> TW_SSE2_INLINE static Pending SumWeighted(Lane& p_Lane, Floats p_Between)
    {
        // pshufd rather than shufps: no copy of the fractions for each frame.
        const __m128i l_B = _mm_castps_si128(p_Between.v);
        return {{WeightedPairs(p_Lane, _mm_castsi128_ps(_mm_shuffle_epi32(l_B, _MM_SHUFFLE(0, 0, 0, 0)))),
                 WeightedPairs(p_Lane, _mm_castsi128_ps(_mm_shuffle_epi32(l_B, _MM_SHUFFLE(1, 1, 1, 1)))),
                 WeightedPairs(p_Lane, _mm_castsi128_ps(_mm_shuffle_epi32(l_B, _MM_SHUFFLE(2, 2, 2, 2)))),
                 WeightedPairs(p_Lane, _mm_castsi128_ps(_mm_shuffle_epi32(l_B, _MM_SHUFFLE(3, 3, 3, 3))))}};
    }
    // Pairing two frames' pairs gives [W0-W3, W4-W7] of each, and pairing two of those the four
    // frames' sums.
    TW_SSE2_INLINE static Floats Finish(const Pending& p_Pending)
    {
        return AddPairs(AddPairs(p_Pending.v[0], p_Pending.v[1]), AddPairs(p_Pending.v[2], p_Pending.v[3]));
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
