// Four float lanes on SSE2, for MixKernelSimd.h. Each lane's neighbourhood of samples is read with
// one unaligned load per four floats and transposed into one vector per tap.
#ifndef TUNEWRIGHT_SOUND_SIMDSSE2_H
#define TUNEWRIGHT_SOUND_SIMDSSE2_H

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

#include "SimdFloats.h"

#if TW_SIMD_WASM_SSE2
#define TW_SSE2_TARGET
#define TW_SSE2_INLINE __attribute__((always_inline)) inline
#else
#define TW_SSE2_TARGET __attribute__((target("sse2")))
#define TW_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline
#endif

namespace SoundEngine {
namespace Sse2 {

TW_SIMD_FLOATS(TW_SSE2_INLINE, __m128, _mm)
TW_SSE2_INLINE Floats MulAdd(Floats p_A, Floats p_B, Floats p_C)
{
    return _mm_add_ps(_mm_mul_ps(p_A.v, p_B.v), p_C.v);
}

struct Lanes
{
    static constexpr unsigned kWidth = 4;
    // No window reads (see MixKernelSimd.h).
    static constexpr unsigned kWindowFloats = 0;

    // The fractions (low 32 bits) of four consecutive frames' 32.32 positions: a position's
    // fraction advances as the position does, modulo 2^32.
    using Positions = __m128i;

    // The sample offsets (frame index times channels) of the four lanes.
    struct Indices
    {
        alignas(16) std::int32_t at[4];
    };

    TW_SSE2_INLINE static Positions Start(const std::uint64_t (&p_Lane)[4])
    {
        return _mm_setr_epi32(std::int32_t(p_Lane[0]), std::int32_t(p_Lane[1]), std::int32_t(p_Lane[2]),
                              std::int32_t(p_Lane[3]));
    }

    TW_SSE2_INLINE static void Advance(Positions& p_Positions, std::uint64_t p_By)
    {
        p_Positions = _mm_add_epi32(p_Positions, _mm_set1_epi32(std::int32_t(std::uint32_t(p_By))));
    }

    // The fractions from their top 24 bits.
    TW_SSE2_INLINE static Floats Fraction(const Positions& p_Positions)
    {
        return _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(p_Positions, 8)), _mm_set1_ps(1.0f / 16777216.0f));
    }

    // p_Rows[j] holds p_Base[index + j] of every lane, for j below Count rounded up to a multiple
    // of 4: each lane's run of floats is read with whole-vector loads and turned on its side.
    template <int Count>
    TW_SSE2_INLINE static void Rows(const float* p_Base, const Indices& p_Indices,
                                    Floats (&p_Rows)[(Count + 3) / 4 * 4])
    {
#pragma GCC unroll 4
        for (int l_Block = 0; l_Block < (Count + 3) / 4; ++l_Block) {
            __m128 l_A = _mm_loadu_ps(p_Base + p_Indices.at[0] + 4 * l_Block);
            __m128 l_B = _mm_loadu_ps(p_Base + p_Indices.at[1] + 4 * l_Block);
            __m128 l_C = _mm_loadu_ps(p_Base + p_Indices.at[2] + 4 * l_Block);
            __m128 l_D = _mm_loadu_ps(p_Base + p_Indices.at[3] + 4 * l_Block);
            _MM_TRANSPOSE4_PS(l_A, l_B, l_C, l_D);
            p_Rows[4 * l_Block] = l_A;
            p_Rows[4 * l_Block + 1] = l_B;
            p_Rows[4 * l_Block + 2] = l_C;
            p_Rows[4 * l_Block + 3] = l_D;
        }
    }

    TW_SSE2_INLINE static Floats FrameOffsets() { return _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f); }

    // Adds the lanes to four floats at p_Out.
    TW_SSE2_INLINE static void Add(float* p_Out, Floats p_Value)
    {
        _mm_storeu_ps(p_Out, _mm_add_ps(_mm_loadu_ps(p_Out), p_Value.v));
    }

    // Adds the first p_Count lanes to p_Out.
    TW_SSE2_INLINE static void AddFirst(float* p_Out, Floats p_Value, unsigned p_Count)
    {
        alignas(16) float l_Lanes[4];
        _mm_store_ps(l_Lanes, p_Value.v);
        for (unsigned l_Index = 0; l_Index < p_Count; ++l_Index)
            p_Out[l_Index] += l_Lanes[l_Index];
    }

    TW_SSE2_INLINE static void Store(float* p_Out, Floats p_Value) { _mm_storeu_ps(p_Out, p_Value.v); }

    // For the groups' kernel (GroupKernel.h).
    TW_SSE2_INLINE static Floats Load(const float* p_From) { return _mm_loadu_ps(p_From); }
    TW_SSE2_INLINE static Floats Max(Floats p_A, Floats p_B) { return _mm_max_ps(p_A.v, p_B.v); }
    TW_SSE2_INLINE static Floats Abs(Floats p_Value)
    {
        return _mm_and_ps(p_Value.v, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff)));
    }
    // p_Left's and p_Right's lanes as interleaved stereo frames at p_Out.
    TW_SSE2_INLINE static void StoreFrames(float* p_Out, Floats p_Left, Floats p_Right)
    {
        _mm_storeu_ps(p_Out, _mm_unpacklo_ps(p_Left.v, p_Right.v));
        _mm_storeu_ps(p_Out + 4, _mm_unpackhi_ps(p_Left.v, p_Right.v));
    }
};

}  // namespace Sse2
}  // namespace SoundEngine

#endif
