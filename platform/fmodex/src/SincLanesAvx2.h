// The sinc kernel's lanes on AVX2 (see SincKernel.h): eight frames at a time, each frame's sixteen
// running sums in two vectors.
#ifndef TUNEWRIGHT_SOUND_SINCLANESAVX2_H
#define TUNEWRIGHT_SOUND_SINCLANESAVX2_H

#include "SimdAvx2.h"
#include "SincTable.h"

#include <cstdint>

namespace SoundEngine {
namespace Avx2 {

struct Sixteen
{
    __m256 low;
    __m256 high;
};

TW_AVX2_INLINE Sixteen LoadSixteen(const float* p_From)
{
    return {_mm256_loadu_ps(p_From), _mm256_loadu_ps(p_From + 8)};
}
TW_AVX2_INLINE Sixteen LoadEightTwice(const float* p_From)
{
    __m256 l_Eight = _mm256_loadu_ps(p_From);
    // Kept in a register: left to itself, GCC folds the load into both multiplies, and loads are
    // what this kernel runs short of first.
    __asm__("" : "+x"(l_Eight));
    return {l_Eight, l_Eight};
}
TW_AVX2_INLINE void StoreSixteen(float* p_To, Sixteen p_Sixteen)
{
    _mm256_storeu_ps(p_To, p_Sixteen.low);
    _mm256_storeu_ps(p_To + 8, p_Sixteen.high);
}
TW_AVX2_INLINE Sixteen operator+(Sixteen p_A, Sixteen p_B)
{
    return {_mm256_add_ps(p_A.low, p_B.low), _mm256_add_ps(p_A.high, p_B.high)};
}
TW_AVX2_INLINE Sixteen operator*(Sixteen p_A, Sixteen p_B)
{
    return {_mm256_mul_ps(p_A.low, p_B.low), _mm256_mul_ps(p_A.high, p_B.high)};
}
// Fused, as the set's MulAdd (SimdAvx2.h).
TW_AVX2_INLINE Sixteen MulAddSixteen(Sixteen p_A, Sixteen p_B, Sixteen p_C)
{
    return {_mm256_fmadd_ps(p_A.low, p_B.low, p_C.low), _mm256_fmadd_ps(p_A.high, p_B.high, p_C.high)};
}
TW_AVX2_INLINE __m256 DupEach(__m256 p_A, int p_From)
{
    const __m256i l_Low = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    return _mm256_permutevar8x32_ps(p_A, p_From == 0 ? l_Low : _mm256_add_epi32(l_Low, _mm256_set1_epi32(4)));
}
TW_AVX2_INLINE Sixteen DupLow(Sixteen p_A) { return {DupEach(p_A.low, 0), DupEach(p_A.low, 4)}; }
TW_AVX2_INLINE Sixteen DupHigh(Sixteen p_A) { return {DupEach(p_A.high, 0), DupEach(p_A.high, 4)}; }

struct SincLanes : Lanes
{
    using Floats = Avx2::Floats;

    // Frame p_Lane's weighted sums W, its fraction taken from p_Low (frames 0-3 of the fractions, in
    // both halves) or p_High (4-7).
    template <int Lane>
    TW_AVX2_INLINE static __m256 Weighted(const Sixteen& p_Sums, __m256 p_Low, __m256 p_High)
    {
        const __m256 l_B = _mm256_permute_ps(Lane < 4 ? p_Low : p_High, (Lane % 4) * 0x55);
        return _mm256_fmadd_ps(l_B, p_Sums.high, p_Sums.low);
    }
    // hadd of two frames' W gives [a 0+1, 2+3, b 0+1, 2+3 | a 4+5, 6+7, b 4+5, 6+7]; hadd of two such
    // pairs gives ((0+1)+(2+3)) of four frames, then ((4+5)+(6+7)) of the same four, which the
    // 128-bit halves of two such quads, swapped into place, add into frame order. The pairs of
    // frames are left pending.
    struct Pending
    {
        __m256 v[4];
    };
    template <class Lane> TW_AVX2_INLINE static Pending SumWeighted(Lane& p_Lane, Floats p_Between)
    {
        const __m256 l_Low = _mm256_permute2f128_ps(p_Between.v, p_Between.v, 0x00);
        const __m256 l_High = _mm256_permute2f128_ps(p_Between.v, p_Between.v, 0x11);
        Pending l_Pending;
        const __m256 l_W0 = Weighted<0>(p_Lane(), l_Low, l_High);
        const __m256 l_W1 = Weighted<1>(p_Lane(), l_Low, l_High);
        l_Pending.v[0] = _mm256_hadd_ps(l_W0, l_W1);
        const __m256 l_W2 = Weighted<2>(p_Lane(), l_Low, l_High);
        const __m256 l_W3 = Weighted<3>(p_Lane(), l_Low, l_High);
        l_Pending.v[1] = _mm256_hadd_ps(l_W2, l_W3);
        const __m256 l_W4 = Weighted<4>(p_Lane(), l_Low, l_High);
        const __m256 l_W5 = Weighted<5>(p_Lane(), l_Low, l_High);
        l_Pending.v[2] = _mm256_hadd_ps(l_W4, l_W5);
        const __m256 l_W6 = Weighted<6>(p_Lane(), l_Low, l_High);
        const __m256 l_W7 = Weighted<7>(p_Lane(), l_Low, l_High);
        l_Pending.v[3] = _mm256_hadd_ps(l_W6, l_W7);
        return l_Pending;
    }
    TW_AVX2_INLINE static Floats Finish(const Pending& p_Pending)
    {
        const __m256 l_First = _mm256_hadd_ps(p_Pending.v[0], p_Pending.v[1]);
        const __m256 l_Second = _mm256_hadd_ps(p_Pending.v[2], p_Pending.v[3]);
        return _mm256_add_ps(_mm256_permute2f128_ps(l_First, l_Second, 0x20),
                             _mm256_permute2f128_ps(l_First, l_Second, 0x31));
    }
    TW_AVX2_INLINE static Floats Between(std::uint32_t p_Fraction, const std::uint32_t (&p_Offsets)[8])
    {
        const __m256i l_Fractions =
            _mm256_add_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p_Offsets)),
                             _mm256_set1_epi32(std::int32_t(p_Fraction)));
        const __m256i l_Between =
            _mm256_and_si256(_mm256_srli_epi32(l_Fractions, kSincBetweenShift), _mm256_set1_epi32(0xFFFF));
        return _mm256_mul_ps(_mm256_cvtepi32_ps(l_Between), _mm256_set1_ps(1.0f / 65536.0f));
    }
    TW_AVX2_INLINE static Floats LoadFloats(const float* p_From) { return _mm256_loadu_ps(p_From); }
};

}  // namespace Avx2
}  // namespace SoundEngine

#endif
