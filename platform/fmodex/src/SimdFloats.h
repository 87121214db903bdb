// The float vector of a lane header (SimdSse2.h, SimdAvx2.h, SimdAvx512.h) and its arithmetic, made
// alike for each set: p_Inline is the set's function attributes, p_Vector its register type and
// p_Prefix its intrinsics' prefix (_mm, _mm256, _mm512). MulAdd is each set's own.
#ifndef TUNEWRIGHT_SOUND_SIMDFLOATS_H
#define TUNEWRIGHT_SOUND_SIMDFLOATS_H

#define TW_SIMD_FLOATS(p_Inline, p_Vector, p_Prefix)                                                         \
    struct Floats                                                                                            \
    {                                                                                                        \
        p_Vector v;                                                                                          \
        Floats() = default;                                                                                  \
        p_Inline Floats(p_Vector p_V) : v(p_V) {}                                                            \
        p_Inline Floats(float p_Value) : v(p_Prefix##_set1_ps(p_Value)) {}                                   \
    };                                                                                                       \
    p_Inline Floats operator+(Floats p_A, Floats p_B) { return p_Prefix##_add_ps(p_A.v, p_B.v); }            \
    p_Inline Floats operator-(Floats p_A, Floats p_B) { return p_Prefix##_sub_ps(p_A.v, p_B.v); }            \
    p_Inline Floats operator*(Floats p_A, Floats p_B) { return p_Prefix##_mul_ps(p_A.v, p_B.v); }

#endif
