// Sixteen float lanes on AVX-512 (the F subset only), for MixKernelSimd.h. Each lane's neighbourhood
// of samples is read with 128-bit loads and transposed into one vector per tap, as on AVX2.
// MulAdd is a fused multiply-add, as on AVX2 (see SimdAvx2.h), and the source is likewise built with
// -ffp-contract=off.
#ifndef TUNEWRIGHT_SOUND_SIMDAVX512_H
#define TUNEWRIGHT_SOUND_SIMDAVX512_H

#include <immintrin.h>

#include <cstdint>

#include "SimdFloats.h"

#define TW_AVX512_TARGET __attribute__((target("avx512f")))
#define TW_AVX512_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace SoundEngine {
namespace Avx512 {

TW_SIMD_FLOATS(TW_AVX512_INLINE, __m512, _mm512)
TW_AVX512_INLINE Floats MulAdd(Floats p_A, Floats p_B, Floats p_C)
{
    return _mm512_fmadd_ps(p_A.v, p_B.v, p_C.v);
}

struct Lanes
{
    static constexpr unsigned kWidth = 16;
    // Window reads for lanes whose taps lie within 64 consecutive floats (Window below).
    static constexpr unsigned kWindowFloats = 64;

    // The fractions (low 32 bits) of sixteen consecutive frames' 32.32 positions: a position's
    // fraction advances as the position does, modulo 2^32.
    using Positions = __m512i;

    // Sample offsets (frame index times channels) of the sixteen lanes.
    struct Indices
    {
        alignas(64) std::int32_t at[16];
    };

    TW_AVX512_INLINE static Positions Start(const std::uint64_t (&p_Lane)[16])
    {
        return _mm512_setr_epi32(std::int32_t(p_Lane[0]), std::int32_t(p_Lane[1]), std::int32_t(p_Lane[2]),
                                 std::int32_t(p_Lane[3]), std::int32_t(p_Lane[4]), std::int32_t(p_Lane[5]),
                                 std::int32_t(p_Lane[6]), std::int32_t(p_Lane[7]), std::int32_t(p_Lane[8]),
                                 std::int32_t(p_Lane[9]), std::int32_t(p_Lane[10]), std::int32_t(p_Lane[11]),
                                 std::int32_t(p_Lane[12]), std::int32_t(p_Lane[13]), std::int32_t(p_Lane[14]),
                                 std::int32_t(p_Lane[15]));
    }

    TW_AVX512_INLINE static void Advance(Positions& p_Positions, std::uint64_t p_By)
    {
        p_Positions = _mm512_add_epi32(p_Positions, _mm512_set1_epi32(std::int32_t(std::uint32_t(p_By))));
    }

    // The fractions from their top 24 bits.
    TW_AVX512_INLINE static Floats Fraction(const Positions& p_Positions)
    {
        return _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_srli_epi32(p_Positions, 8)),
                             _mm512_set1_ps(1.0f / 16777216.0f));
    }

    // p_Rows[j] holds p_Base[index + j] of every lane, for j below Count rounded up to a multiple
    // of 4: each lane's run of floats is read with 128-bit loads, lanes k, k + 4, k + 8 and k + 12
    // in the four quarters of one vector, and turned on its side by a 4 x 4 transpose within
    // each quarter.
    template <int Count>
    TW_AVX512_INLINE static void Rows(const float* p_Base, const Indices& p_Indices,
                                      Floats (&p_Rows)[(Count + 3) / 4 * 4])
    {
#pragma GCC unroll 4
        for (int l_Block = 0; l_Block < (Count + 3) / 4; ++l_Block) {
            const float* l_At = p_Base + 4 * l_Block;
            __m512 l_Lane[4];
#pragma GCC unroll 4
            for (int l_Index = 0; l_Index < 4; ++l_Index) {
                __m512 l_Four = _mm512_castps128_ps512(_mm_loadu_ps(l_At + p_Indices.at[l_Index]));
                l_Four = _mm512_insertf32x4(l_Four, _mm_loadu_ps(l_At + p_Indices.at[l_Index + 4]), 1);
                l_Four = _mm512_insertf32x4(l_Four, _mm_loadu_ps(l_At + p_Indices.at[l_Index + 8]), 2);
                l_Lane[l_Index] =
                    _mm512_insertf32x4(l_Four, _mm_loadu_ps(l_At + p_Indices.at[l_Index + 12]), 3);
            }
            const __m512 l_T0 = _mm512_unpacklo_ps(l_Lane[0], l_Lane[1]);
            const __m512 l_T1 = _mm512_unpackhi_ps(l_Lane[0], l_Lane[1]);
            const __m512 l_T2 = _mm512_unpacklo_ps(l_Lane[2], l_Lane[3]);
            const __m512 l_T3 = _mm512_unpackhi_ps(l_Lane[2], l_Lane[3]);
            p_Rows[4 * l_Block] = _mm512_shuffle_ps(l_T0, l_T2, _MM_SHUFFLE(1, 0, 1, 0));
            p_Rows[4 * l_Block + 1] = _mm512_shuffle_ps(l_T0, l_T2, _MM_SHUFFLE(3, 2, 3, 2));
            p_Rows[4 * l_Block + 2] = _mm512_shuffle_ps(l_T1, l_T3, _MM_SHUFFLE(1, 0, 1, 0));
            p_Rows[4 * l_Block + 3] = _mm512_shuffle_ps(l_T1, l_T3, _MM_SHUFFLE(3, 2, 3, 2));
        }
    }

    // The lanes' samples when all their taps lie within p_Floats (at most Span, 32 or 64)
    // consecutive floats from the first lane's first: the window is read with two or four loads (all but the
    // first masked to the floats the lanes read, so nothing past the sound's guard frames is touched) and
    // each tap row is picked out of it by one two-register permute, or for a window of more than
    // 32 floats two permutes and a blend. Each lane's offset in the window comes from its position
    // relative to the first lane's whole frame, (fraction + lane * step) >> 32, in 64-bit lanes.
    // For whole vectors of lanes only.
    template <int Channels, bool Nearest, unsigned Span> struct Window
    {
        __m512i lanesteps[2];  // lane * step for lanes 0-7 and 8-15
        __mmask16 upper[3];    // the floats of the window's second to fourth sixteen that the lanes read
        static constexpr bool wide = Span > 32;  // four loads

        TW_AVX512_INLINE Window(std::uint64_t p_Step, unsigned p_Floats)
        {
            for (unsigned l_Part = 0; l_Part < 3; ++l_Part) {
                const unsigned l_Past = p_Floats > 16 * (l_Part + 1) ? p_Floats - 16 * (l_Part + 1) : 0;
                upper[l_Part] = __mmask16(l_Past >= 16 ? 0xFFFFu : (1u << l_Past) - 1);
            }
            const __m512i l_Step = _mm512_set1_epi64(std::int64_t(p_Step));
            const __m512i l_Four =
                _mm512_add_epi64(_mm512_add_epi64(l_Step, l_Step), _mm512_add_epi64(l_Step, l_Step));
            __m512i l_Lanes = _mm512_setr_epi64(0, 0, 0, 0, 0, 0, 0, 0);
            for (int l_Lane = 1; l_Lane < 8; ++l_Lane)
                l_Lanes = _mm512_mask_add_epi64(l_Lanes, __mmask8(0xFF << l_Lane), l_Lanes, l_Step);
            lanesteps[0] = l_Lanes;
            lanesteps[1] = _mm512_add_epi64(l_Lanes, _mm512_add_epi64(l_Four, l_Four));
        }

        template <int Count>
        TW_AVX512_INLINE void Rows(const float* p_Base, std::uint64_t p_Position, unsigned,
                                   Floats (&p_Rows)[(Count + 3) / 4 * 4]) const
        {
            if constexpr (Nearest)
                p_Position += 0x80000000u;
            const __m512i l_Fraction = _mm512_set1_epi64(std::int64_t(std::uint32_t(p_Position)));
            // The high halves of the 64-bit sums: each lane's whole frames past the first lane's.
            __m512i l_Offsets = _mm512_permutex2var_epi32(
                _mm512_add_epi64(l_Fraction, lanesteps[0]),
                _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31),
                _mm512_add_epi64(l_Fraction, lanesteps[1]));
            if constexpr (Channels == 2)
                l_Offsets = _mm512_add_epi32(l_Offsets, l_Offsets);
            const float* l_At = p_Base + std::int64_t(std::int32_t(p_Position >> 32)) * Channels;
            const __m512 l_First = _mm512_loadu_ps(l_At);
            const __m512 l_Second = _mm512_maskz_loadu_ps(upper[0], l_At + 16);
            if constexpr (!wide) {
#pragma GCC unroll 12
                for (int l_Row = 0; l_Row < Count; ++l_Row)
                    p_Rows[l_Row] = _mm512_permutex2var_ps(
                        l_First, _mm512_add_epi32(l_Offsets, _mm512_set1_epi32(l_Row)), l_Second);
                return;
            }
            // The permutes read an offset's low five bits: the third and fourth sixteen are picked
            // with the offset itself, and taken where it is 32 or more.
            const __m512 l_Third = _mm512_maskz_loadu_ps(upper[1], l_At + 32);
            const __m512 l_Fourth = _mm512_maskz_loadu_ps(upper[2], l_At + 48);
#pragma GCC unroll 12
            for (int l_Row = 0; l_Row < Count; ++l_Row) {
                const __m512i l_Index = _mm512_add_epi32(l_Offsets, _mm512_set1_epi32(l_Row));
                p_Rows[l_Row] = _mm512_mask_blend_ps(_mm512_cmpgt_epi32_mask(l_Index, _mm512_set1_epi32(31)),
                                                     _mm512_permutex2var_ps(l_First, l_Index, l_Second),
                                                     _mm512_permutex2var_ps(l_Third, l_Index, l_Fourth));
            }
        }
    };

    TW_AVX512_INLINE static Floats FrameOffsets()
    {
        return _mm512_setr_ps(0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f,
                              13.0f, 14.0f, 15.0f);
    }

    // Adds the lanes to sixteen floats at p_Out.
    TW_AVX512_INLINE static void Add(float* p_Out, Floats p_Value)
    {
        _mm512_storeu_ps(p_Out, _mm512_add_ps(_mm512_loadu_ps(p_Out), p_Value.v));
    }

    // Adds the first p_Count lanes to p_Out, touching no float past them.
    TW_AVX512_INLINE static void AddFirst(float* p_Out, Floats p_Value, unsigned p_Count)
    {
        const __mmask16 l_First = __mmask16((1u << p_Count) - 1);
        _mm512_mask_storeu_ps(p_Out, l_First,
                              _mm512_add_ps(_mm512_maskz_loadu_ps(l_First, p_Out), p_Value.v));
    }

    TW_AVX512_INLINE static void Store(float* p_Out, Floats p_Value) { _mm512_storeu_ps(p_Out, p_Value.v); }

    // For the groups' kernel (GroupKernel.h).
    TW_AVX512_INLINE static Floats Load(const float* p_From) { return _mm512_loadu_ps(p_From); }
    TW_AVX512_INLINE static Floats Max(Floats p_A, Floats p_B) { return _mm512_max_ps(p_A.v, p_B.v); }
    TW_AVX512_INLINE static Floats Abs(Floats p_Value) { return _mm512_abs_ps(p_Value.v); }
    // p_Left's and p_Right's lanes as interleaved stereo frames at p_Out.
    TW_AVX512_INLINE static void StoreFrames(float* p_Out, Floats p_Left, Floats p_Right)
    {
        const __m512i l_First = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
        const __m512i l_Second =
            _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
        _mm512_storeu_ps(p_Out, _mm512_permutex2var_ps(p_Left.v, l_First, p_Right.v));
        _mm512_storeu_ps(p_Out + 16, _mm512_permutex2var_ps(p_Left.v, l_Second, p_Right.v));
    }
};

}  // namespace Avx512
}  // namespace SoundEngine

#endif
