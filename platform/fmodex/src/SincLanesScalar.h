// The sinc kernel's lanes for the scalar reference (see SincKernel.h): one frame at a time, its
// sixteen running sums in an array. This file defines the order every variant sums in.
#ifndef TUNEWRIGHT_SOUND_SINCLANESSCALAR_H
#define TUNEWRIGHT_SOUND_SINCLANESSCALAR_H

#include "SincTable.h"

#include <cstdint>

// Forced inline (here and, through TW_SINC_INLINE, in SincKernel.h): the reference is the sinc
// kernel wherever there is no SIMD set, and its 16-float values cost copies through memory at
// every step when left as calls.
#if defined(__GNUC__)
#define TW_SINC_SCALAR_INLINE __attribute__((always_inline)) inline
#else
#define TW_SINC_SCALAR_INLINE inline
#endif
#define TW_SINC_INLINE TW_SINC_SCALAR_INLINE

namespace SoundEngine {
namespace Reference {

struct Sixteen
{
    float v[16];
};

TW_SINC_SCALAR_INLINE Sixteen LoadSixteen(const float* p_From)
{
    Sixteen l_Sixteen;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        l_Sixteen.v[l_Index] = p_From[l_Index];
    return l_Sixteen;
}

TW_SINC_SCALAR_INLINE Sixteen LoadEightTwice(const float* p_From)
{
    Sixteen l_Sixteen;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 8; ++l_Index) {
        l_Sixteen.v[l_Index] = p_From[l_Index];
        l_Sixteen.v[l_Index + 8] = p_From[l_Index];
    }
    return l_Sixteen;
}

TW_SINC_SCALAR_INLINE void StoreSixteen(float* p_To, const Sixteen& p_Sixteen)
{
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        p_To[l_Index] = p_Sixteen.v[l_Index];
}

TW_SINC_SCALAR_INLINE Sixteen operator+(const Sixteen& p_A, const Sixteen& p_B)
{
    Sixteen l_Sum;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        l_Sum.v[l_Index] = p_A.v[l_Index] + p_B.v[l_Index];
    return l_Sum;
}

TW_SINC_SCALAR_INLINE Sixteen operator*(const Sixteen& p_A, const Sixteen& p_B)
{
    Sixteen l_Product;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        l_Product.v[l_Index] = p_A.v[l_Index] * p_B.v[l_Index];
    return l_Product;
}

TW_SINC_SCALAR_INLINE Sixteen DupLow(const Sixteen& p_A)
{
    Sixteen l_Dup;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        l_Dup.v[l_Index] = p_A.v[l_Index / 2];
    return l_Dup;
}

TW_SINC_SCALAR_INLINE Sixteen DupHigh(const Sixteen& p_A)
{
    Sixteen l_Dup;
#pragma GCC unroll 16
    for (int l_Index = 0; l_Index < 16; ++l_Index)
        l_Dup.v[l_Index] = p_A.v[8 + l_Index / 2];
    return l_Dup;
}

TW_SINC_SCALAR_INLINE Sixteen MulAddSixteen(const Sixteen& p_A, const Sixteen& p_B, const Sixteen& p_C)
{
    return p_A * p_B + p_C;
}

struct SincLanes
{
    static constexpr unsigned kWidth = 1;
    using Floats = float;
    using Pending = float;

    template <class Lane> TW_SINC_SCALAR_INLINE static float SumWeighted(Lane& p_Lane, float p_Between)
    {
        const Sixteen l_Sums = p_Lane();
        float l_W[8];
#pragma GCC unroll 8
        for (int l_Index = 0; l_Index < 8; ++l_Index)
            l_W[l_Index] = l_Sums.v[l_Index] + p_Between * l_Sums.v[8 + l_Index];
        return ((l_W[0] + l_W[1]) + (l_W[2] + l_W[3])) + ((l_W[4] + l_W[5]) + (l_W[6] + l_W[7]));
    }
    TW_SINC_SCALAR_INLINE static float Finish(float p_Sum) { return p_Sum; }
    TW_SINC_SCALAR_INLINE static float Between(std::uint32_t p_Fraction, const std::uint32_t (&)[1])
    {
        return SincPhaseFraction(p_Fraction);
    }
    TW_SINC_SCALAR_INLINE static float LoadFloats(const float* p_From) { return *p_From; }
    TW_SINC_SCALAR_INLINE static float FrameOffsets() { return 0.0f; }
    TW_SINC_SCALAR_INLINE static void Add(float* p_Out, float p_Value) { *p_Out += p_Value; }
    TW_SINC_SCALAR_INLINE static void Store(float* p_Out, float p_Value) { *p_Out = p_Value; }
};

}  // namespace Reference
}  // namespace SoundEngine

#endif
