// The sinc kernel's lanes for the scalar reference (see SincKernel.h): one frame at a time, its
// eight running sums in an array.
#ifndef TUNEWRIGHT_SOUND_SINCLANESSCALAR_H
#define TUNEWRIGHT_SOUND_SINCLANESSCALAR_H

namespace SoundEngine {
namespace Reference {

struct Eight
{
    float v[8];
};

inline Eight LoadEight(const float* p_From)
{
    Eight l_Eight;
    for (int l_Index = 0; l_Index < 8; ++l_Index)
        l_Eight.v[l_Index] = p_From[l_Index];
    return l_Eight;
}

inline Eight SplatEight(float p_Value)
{
    return {{p_Value, p_Value, p_Value, p_Value, p_Value, p_Value, p_Value, p_Value}};
}

inline void StoreEight(float* p_To, const Eight& p_Eight)
{
    for (int l_Index = 0; l_Index < 8; ++l_Index)
        p_To[l_Index] = p_Eight.v[l_Index];
}

inline Eight operator+(const Eight& p_A, const Eight& p_B)
{
    Eight l_Sum;
    for (int l_Index = 0; l_Index < 8; ++l_Index)
        l_Sum.v[l_Index] = p_A.v[l_Index] + p_B.v[l_Index];
    return l_Sum;
}

inline Eight operator*(const Eight& p_A, const Eight& p_B)
{
    Eight l_Product;
    for (int l_Index = 0; l_Index < 8; ++l_Index)
        l_Product.v[l_Index] = p_A.v[l_Index] * p_B.v[l_Index];
    return l_Product;
}

inline Eight MulAdd(const Eight& p_A, const Eight& p_B, const Eight& p_C) { return p_A * p_B + p_C; }

inline Eight DupLow(const Eight& p_A)
{
    return {{p_A.v[0], p_A.v[0], p_A.v[1], p_A.v[1], p_A.v[2], p_A.v[2], p_A.v[3], p_A.v[3]}};
}

inline Eight DupHigh(const Eight& p_A)
{
    return {{p_A.v[4], p_A.v[4], p_A.v[5], p_A.v[5], p_A.v[6], p_A.v[6], p_A.v[7], p_A.v[7]}};
}

struct SincLanes
{
    static constexpr unsigned kWidth = 1;
    using Floats = float;

    static float SumEach(const Eight (&p_Sums)[1])
    {
        const float* l_V = p_Sums[0].v;
        return ((l_V[0] + l_V[1]) + (l_V[2] + l_V[3])) + ((l_V[4] + l_V[5]) + (l_V[6] + l_V[7]));
    }
    static float LoadFloats(const float* p_From) { return *p_From; }
    static float FrameOffsets() { return 0.0f; }
    static void Add(float* p_Out, float p_Value) { *p_Out += p_Value; }
    static void Store(float* p_Out, float p_Value) { *p_Out = p_Value; }
};

}  // namespace Reference
}  // namespace SoundEngine

#endif
