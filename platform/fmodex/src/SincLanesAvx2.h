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
    const __m256 l_Eight = _mm256_loadu_ps(p_From);
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

    // Each frame's two halves are summed pairwise at once (one register per frame from then on):
    // [here 0+1, 2+3, change 0+1, 2+3 | the same of 4-7]. Two frames' of those summed pairwise give
    // ((0+1)+(2+3)) and ((4+5)+(6+7)) of both halves of both frames; the 128-bit halves of two such
    // pairs are then swapped into place and added, and here and change taken apart.
    TW_AVX2_INLINE static __m256 PairOf(Sixteen p_A, Sixteen p_B)
    {
        return _mm256_hadd_ps(_mm256_hadd_ps(p_A.low, p_A.high), _mm256_hadd_ps(p_B.low, p_B.high));
    }
    // Frames a, b (first pair) and e, f (second): [a here, a change, b here, b change | e..., f...].
    TW_AVX2_INLINE static __m256 Join(__m256 p_First, __m256 p_Second)
    {
        return _mm256_add_ps(_mm256_permute2f128_ps(p_First, p_Second, 0x20),
                             _mm256_permute2f128_ps(p_First, p_Second, 0x31));
    }
    template <class Lane> TW_AVX2_INLINE static void SumEach(Lane& p_Lane, Floats& p_Here, Floats& p_Change)
    {
        const Sixteen l_A = p_Lane(), l_B = p_Lane();
        const __m256 l_AB = PairOf(l_A, l_B);
        const Sixteen l_C = p_Lane(), l_D = p_Lane();
        const __m256 l_CD = PairOf(l_C, l_D);
        const Sixteen l_E = p_Lane(), l_F = p_Lane();
        const __m256 l_ABEF = Join(l_AB, PairOf(l_E, l_F));
        const Sixteen l_G = p_Lane(), l_H = p_Lane();
        const __m256 l_CDGH = Join(l_CD, PairOf(l_G, l_H));
        p_Here = _mm256_shuffle_ps(l_ABEF, l_CDGH, _MM_SHUFFLE(2, 0, 2, 0));
        p_Change = _mm256_shuffle_ps(l_ABEF, l_CDGH, _MM_SHUFFLE(3, 1, 3, 1));
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
