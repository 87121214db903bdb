// Eight float lanes on AVX2, for MixKernelSimd.h. Each lane's neighbourhood of samples is read with
// 128-bit loads and transposed into one vector per tap (faster than a gather per tap).
// MulAdd is a fused multiply-add (the set is picked only where the processor has FMA as well):
// one instruction where the reference has two, rounded once, so the kernels' floats differ from the
// reference's in the last bits (by well under 1e-6 of full scale). The source is built with
// -ffp-contract=off, so that MulAdd is the only place where a multiply and an add are fused.
#ifndef TUNEWRIGHT_SOUND_SIMDAVX2_H
#define TUNEWRIGHT_SOUND_SIMDAVX2_H

#include <immintrin.h>

#include <cstdint>

#include "SimdFloats.h"

#define TW_AVX2_TARGET __attribute__((target("avx2,fma")))
#define TW_AVX2_INLINE __attribute__((target("avx2,fma"), always_inline)) inline

namespace SoundEngine {
namespace Avx2 {

TW_SIMD_FLOATS(TW_AVX2_INLINE, __m256, _mm256)
TW_AVX2_INLINE Floats MulAdd(Floats p_A, Floats p_B, Floats p_C)
{
    return _mm256_fmadd_ps(p_A.v, p_B.v, p_C.v);
}

struct Lanes
{
    static constexpr unsigned kWidth = 8;
    // No window reads (see MixKernelSimd.h).
    static constexpr unsigned kWindowFloats = 0;

    // The fractions (low 32 bits) of eight consecutive frames' 32.32 positions: a position's
    // fraction advances as the position does, modulo 2^32.
    using Positions = __m256i;

    // Sample offsets (frame index times channels) of the eight lanes.
    struct Indices
    {
        alignas(32) std::int32_t at[8];
    };

    TW_AVX2_INLINE static Positions Start(const std::uint64_t (&p_Lane)[8])
    {
        return _mm256_setr_epi32(std::int32_t(p_Lane[0]), std::int32_t(p_Lane[1]), std::int32_t(p_Lane[2]),
                                 std::int32_t(p_Lane[3]), std::int32_t(p_Lane[4]), std::int32_t(p_Lane[5]),
                                 std::int32_t(p_Lane[6]), std::int32_t(p_Lane[7]));
    }

    TW_AVX2_INLINE static void Advance(Positions& p_Positions, std::uint64_t p_By)
    {
        p_Positions = _mm256_add_epi32(p_Positions, _mm256_set1_epi32(std::int32_t(std::uint32_t(p_By))));
    }

    // The fractions from their top 24 bits.
    TW_AVX2_INLINE static Floats Fraction(const Positions& p_Positions)
    {
        return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(p_Positions, 8)),
                             _mm256_set1_ps(1.0f / 16777216.0f));
    }

    // p_Rows[j] holds p_Base[index + j] of every lane, for j below Count rounded up to a multiple
    // of 4: each lane's run of floats is read with 128-bit loads, lanes 0-3 in the low halves and
    // 4-7 in the high halves, and turned on its side by a 4 x 4 transpose within each half.
    template <int Count>
    TW_AVX2_INLINE static void Rows(const float* p_Base, const Indices& p_Indices,
                                    Floats (&p_Rows)[(Count + 3) / 4 * 4])
    {
#pragma GCC unroll 4
        for (int l_Block = 0; l_Block < (Count + 3) / 4; ++l_Block) {
            const float* l_At = p_Base + 4 * l_Block;
            __m256 l_Lane[4];
#pragma GCC unroll 4
            for (int l_Index = 0; l_Index < 4; ++l_Index)
                l_Lane[l_Index] =
                    _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(l_At + p_Indices.at[l_Index])),
                                         _mm_loadu_ps(l_At + p_Indices.at[l_Index + 4]), 1);
            const __m256 l_T0 = _mm256_unpacklo_ps(l_Lane[0], l_Lane[1]);
            const __m256 l_T1 = _mm256_unpackhi_ps(l_Lane[0], l_Lane[1]);
            const __m256 l_T2 = _mm256_unpacklo_ps(l_Lane[2], l_Lane[3]);
            const __m256 l_T3 = _mm256_unpackhi_ps(l_Lane[2], l_Lane[3]);
            p_Rows[4 * l_Block] = _mm256_shuffle_ps(l_T0, l_T2, _MM_SHUFFLE(1, 0, 1, 0));
            p_Rows[4 * l_Block + 1] = _mm256_shuffle_ps(l_T0, l_T2, _MM_SHUFFLE(3, 2, 3, 2));
            p_Rows[4 * l_Block + 2] = _mm256_shuffle_ps(l_T1, l_T3, _MM_SHUFFLE(1, 0, 1, 0));
            p_Rows[4 * l_Block + 3] = _mm256_shuffle_ps(l_T1, l_T3, _MM_SHUFFLE(3, 2, 3, 2));
        }
    }

    TW_AVX2_INLINE static Floats FrameOffsets()
    {
        return _mm256_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f);
    }

    // Adds the lanes to eight floats at p_Out.
    TW_AVX2_INLINE static void Add(float* p_Out, Floats p_Value)
    {
        _mm256_storeu_ps(p_Out, _mm256_add_ps(_mm256_loadu_ps(p_Out), p_Value.v));
    }

    // Adds the first p_Count lanes to p_Out.
    TW_AVX2_INLINE static void AddFirst(float* p_Out, Floats p_Value, unsigned p_Count)
    {
        alignas(32) float l_Lanes[8];
        _mm256_store_ps(l_Lanes, p_Value.v);
        for (unsigned l_Index = 0; l_Index < p_Count; ++l_Index)
            p_Out[l_Index] += l_Lanes[l_Index];
    }

    TW_AVX2_INLINE static void Store(float* p_Out, Floats p_Value) { _mm256_storeu_ps(p_Out, p_Value.v); }

    // For the groups' kernel (GroupKernel.h).
    TW_AVX2_INLINE static Floats Load(const float* p_From) { return _mm256_loadu_ps(p_From); }
    TW_AVX2_INLINE static Floats Max(Floats p_A, Floats p_B) { return _mm256_max_ps(p_A.v, p_B.v); }
    TW_AVX2_INLINE static Floats Abs(Floats p_Value)
    {
        return _mm256_and_ps(p_Value.v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
    }
    // p_Left's and p_Right's lanes as interleaved stereo frames at p_Out: the unpacks work within
    // each 128-bit half, so the halves are then put in frame order.
    TW_AVX2_INLINE static void StoreFrames(float* p_Out, Floats p_Left, Floats p_Right)
    {
        const __m256 l_Low = _mm256_unpacklo_ps(p_Left.v, p_Right.v);
        const __m256 l_High = _mm256_unpackhi_ps(p_Left.v, p_Right.v);
        _mm256_storeu_ps(p_Out, _mm256_permute2f128_ps(l_Low, l_High, 0x20));
        _mm256_storeu_ps(p_Out + 8, _mm256_permute2f128_ps(l_Low, l_High, 0x31));
    }
};

}  // namespace Avx2
}  // namespace SoundEngine

#endif
