// The sinc kernel's lanes on AVX-512 (see SincKernel.h): sixteen frames at a time, each frame's
// sixteen running sums in one vector.
#ifndef TUNEWRIGHT_SOUND_SINCLANESAVX512_H
#define TUNEWRIGHT_SOUND_SINCLANESAVX512_H

#include "SimdAvx512.h"
#include "SincTable.h"

#include <cstdint>

namespace SoundEngine {
namespace Avx512 {

using Sixteen = Floats;

TW_AVX512_INLINE Sixteen LoadSixteen(const float* p_From) { return _mm512_loadu_ps(p_From); }
// One 256-bit load broadcast to both halves (vbroadcastf64x4, of the foundation subset).
TW_AVX512_INLINE Sixteen LoadEightTwice(const float* p_From)
{
    return _mm512_castpd_ps(_mm512_broadcast_f64x4(_mm256_castps_pd(_mm256_loadu_ps(p_From))));
}
TW_AVX512_INLINE void StoreSixteen(float* p_To, Sixteen p_Sixteen) { _mm512_storeu_ps(p_To, p_Sixteen.v); }
TW_AVX512_INLINE Sixteen DupLow(Sixteen p_A)
{
    return _mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7), p_A.v);
}
TW_AVX512_INLINE Sixteen DupHigh(Sixteen p_A)
{
    return _mm512_permutexvar_ps(
        _mm512_setr_epi32(8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15), p_A.v);
}

TW_AVX512_INLINE Sixteen MulAddSixteen(Sixteen p_A, Sixteen p_B, Sixteen p_C) { return p_A * p_B + p_C; }

struct SincLanes : Lanes
{
    using Floats = Avx512::Floats;

    // Within each 128-bit quarter: p_A's floats 0+1 and 2+3, then p_B's (AVX2's hadd).
    TW_AVX512_INLINE static __m512 PairSums(__m512 p_A, __m512 p_B)
    {
        return _mm512_add_ps(_mm512_shuffle_ps(p_A, p_B, _MM_SHUFFLE(2, 0, 2, 0)),
                             _mm512_shuffle_ps(p_A, p_B, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    // Two rounds of pair sums leave, for each four frames f, one vector whose quarters hold
    // ((0+1)+(2+3)) and ((4+5)+(6+7)) of the first eight floats, then the same of the last eight,
    // for the four frames in turn. The quarters are then gathered and added into frame order.
    template <class Lane> TW_AVX512_INLINE static void SumEach(Lane& p_Lane, Floats& p_Here, Floats& p_Change)
    {
        __m512 l_Fours[4];
#pragma GCC unroll 4
        for (int l_Four = 0; l_Four < 4; ++l_Four) {
            const Sixteen l_A = p_Lane(), l_B = p_Lane(), l_C = p_Lane(), l_D = p_Lane();
            l_Fours[l_Four] = PairSums(PairSums(l_A.v, l_B.v), PairSums(l_C.v, l_D.v));
        }
        // [here 0-3, change 0-3, here 4-7, change 4-7] and the same for frames 8-15.
        const __m512 l_Low =
            _mm512_add_ps(_mm512_shuffle_f32x4(l_Fours[0], l_Fours[1], _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm512_shuffle_f32x4(l_Fours[0], l_Fours[1], _MM_SHUFFLE(3, 1, 3, 1)));
        const __m512 l_High =
            _mm512_add_ps(_mm512_shuffle_f32x4(l_Fours[2], l_Fours[3], _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm512_shuffle_f32x4(l_Fours[2], l_Fours[3], _MM_SHUFFLE(3, 1, 3, 1)));
        p_Here = _mm512_shuffle_f32x4(l_Low, l_High, _MM_SHUFFLE(2, 0, 2, 0));
        p_Change = _mm512_shuffle_f32x4(l_Low, l_High, _MM_SHUFFLE(3, 1, 3, 1));
    }
    // Here the fractions weight the two summed halves (one product for sixteen frames); the sums
    // come out as the other sets' within the rounding of that order.
    using Pending = Floats;
    template <class Lane> TW_AVX512_INLINE static Floats SumWeighted(Lane& p_Lane, Floats p_Between)
    {
        Floats l_Here, l_Change;
        SumEach(p_Lane, l_Here, l_Change);
        return l_Here + l_Change * p_Between;
    }
    TW_AVX512_INLINE static Floats Finish(Floats p_Sums) { return p_Sums; }
    TW_AVX512_INLINE static Floats Between(std::uint32_t p_Fraction, const std::uint32_t (&p_Offsets)[16])
    {
        const __m512i l_Fractions =
            _mm512_add_epi32(_mm512_loadu_si512(p_Offsets), _mm512_set1_epi32(std::int32_t(p_Fraction)));
        const __m512i l_Between =
            _mm512_and_si512(_mm512_srli_epi32(l_Fractions, kSincBetweenShift), _mm512_set1_epi32(0xFFFF));
        return _mm512_mul_ps(_mm512_cvtepi32_ps(l_Between), _mm512_set1_ps(1.0f / 65536.0f));
    }
    TW_AVX512_INLINE static Floats LoadFloats(const float* p_From) { return _mm512_loadu_ps(p_From); }
};

}  // namespace Avx512
}  // namespace SoundEngine

#endif
