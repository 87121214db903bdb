// The resamplers' formulas, written once over a number type T: float for the scalar reference,
// a vector of lanes for the SIMD kernels. The includer defines TW_KERNEL_NS (the namespace the
// copy lives in, one per instruction set so that copies built for different processors never
// merge) and TW_KERNEL_INLINE (the function attributes of that instruction set).
// T needs +, -, *, construction from a float, and MulAdd(a, b, c) = a * b + c.
// No include guard: each kernel source includes it once.

namespace SoundEngine {
namespace TW_KERNEL_NS {

TW_KERNEL_INLINE float MulAdd(float p_A, float p_B, float p_C) { return p_A * p_B + p_C; }

// Linear: x0 + (x1 - x0) f.
template <class T> TW_KERNEL_INLINE T InterpolateLinear(T p_X0, T p_X1, T p_F)
{
    return MulAdd(p_X1 - p_X0, p_F, p_X0);
}

// Cubic: the 4-point Catmull-Rom spline (a cubic Hermite whose slopes are the central differences
// (x[k+1] - x[k-1]) / 2), in Horner form:
//   y = x0 + f (c1 + f (c2 + f c3)),  c1 = (x1 - x-1) / 2,
//   c2 = x-1 - 5/2 x0 + 2 x1 - x2 / 2 = (x-1 - x0) + c1 - c3,  c3 = (x2 - x-1) / 2 + 3/2 (x0 - x1).
template <class T> TW_KERNEL_INLINE T InterpolateCubic(T p_Xm1, T p_X0, T p_X1, T p_X2, T p_F)
{
    const T l_C1 = T(0.5f) * (p_X1 - p_Xm1);
    const T l_C3 = T(0.5f) * (p_X2 - p_Xm1) + T(1.5f) * (p_X0 - p_X1);
    const T l_C2 = (p_Xm1 - p_X0) + l_C1 - l_C3;
    return MulAdd(MulAdd(MulAdd(l_C3, p_F, l_C2), p_F, l_C1), p_F, p_X0);
}

// Spline: a 6-point quintic Hermite spline. Each segment is the quintic through x0 and x1 whose
// first and second derivatives at both ends are the 4th-order central differences of the six
// points x-2 .. x3:
//   d0 = (x-2 - 8 x-1 + 8 x1 - x2) / 12,          d1 = (x-1 - 8 x0 + 8 x2 - x3) / 12,
//   s0 = (-x-2 + 16 x-1 - 30 x0 + 16 x1 - x2) / 12, s1 = (-x-1 + 16 x0 - 30 x1 + 16 x2 - x3) / 12.
// Neighbouring segments share value, slope and curvature at their common point (C2, a true
// spline), and the error on smooth signals falls with the 5th power of the sample spacing where
// Catmull-Rom's falls with the 3rd.
// It is evaluated about the segment's middle, u = f - 1/2, where the quintic's even powers of u
// take only the sums of the mirrored pairs, S1 = x0 + x1, S2 = x-1 + x2, S3 = x-2 + x3, and its odd
// powers only their differences, P1 = x1 - x0, P2 = x2 - x-1, P3 = x3 - x-2 (which halves the work
// of the coefficients); with D2 = S2 - S1 and D3 = S3 - S1:
//   y = e0 + u (o1 + u (e2 + u (o3 + u (e4 + u o5)))),
//   e0 = S1 / 2 - 25/256 D2 + 3/256 D3,       o1 = 281/192 P1 - 27/128 P2 + 13/384 P3,
//   e2 = 13/32 D2 - 5/96 D3,                  o3 = -19/8 P1 + 53/48 P2 - 3/16 P3,
//   e4 = -1/16 D2 + 1/48 D3,                  o5 = 25/12 P1 - 25/24 P2 + 5/24 P3.
// (u is exact: f has 24 bits below the point.)
template <class T>
TW_KERNEL_INLINE T InterpolateSpline(T p_Xm2, T p_Xm1, T p_X0, T p_X1, T p_X2, T p_X3, T p_F)
{
    const T l_S1 = p_X0 + p_X1;
    const T l_D2 = (p_Xm1 + p_X2) - l_S1;
    const T l_D3 = (p_Xm2 + p_X3) - l_S1;
    const T l_P1 = p_X1 - p_X0;
    const T l_P2 = p_X2 - p_Xm1;
    const T l_P3 = p_X3 - p_Xm2;
    const T l_E0 = MulAdd(T(3.0f / 256.0f), l_D3, MulAdd(T(-25.0f / 256.0f), l_D2, T(0.5f) * l_S1));
    const T l_O1 =
        MulAdd(T(13.0f / 384.0f), l_P3, MulAdd(T(-27.0f / 128.0f), l_P2, T(281.0f / 192.0f) * l_P1));
    const T l_E2 = MulAdd(T(-5.0f / 96.0f), l_D3, T(13.0f / 32.0f) * l_D2);
    const T l_O3 = MulAdd(T(-3.0f / 16.0f), l_P3, MulAdd(T(53.0f / 48.0f), l_P2, T(-19.0f / 8.0f) * l_P1));
    const T l_E4 = MulAdd(T(1.0f / 48.0f), l_D3, T(-1.0f / 16.0f) * l_D2);
    const T l_O5 = MulAdd(T(5.0f / 24.0f), l_P3, MulAdd(T(-25.0f / 24.0f), l_P2, T(25.0f / 12.0f) * l_P1));
    const T l_U = p_F - T(0.5f);
    T l_Y = MulAdd(l_O5, l_U, l_E4);
    l_Y = MulAdd(l_Y, l_U, l_O3);
    l_Y = MulAdd(l_Y, l_U, l_E2);
    l_Y = MulAdd(l_Y, l_U, l_O1);
    return MulAdd(l_Y, l_U, l_E0);
}

// The gain of a ramp at u in 0 .. 1: from + (to - from) * u^2 (3 - 2u).
template <class T> TW_KERNEL_INLINE T RampGain(T p_From, T p_To, T p_U)
{
    const T l_Shape = p_U * p_U * (T(3.0f) - T(2.0f) * p_U);
    return MulAdd(p_To - p_From, l_Shape, p_From);
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
