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
// Catmull-Rom's falls with the 3rd. With A = x1 - x0 - d0 - s0/2, B = d1 - d0 - s0, C = s1 - s0:
//   y = x0 + d0 f + s0/2 f^2 + (10A - 4B + C/2) f^3 + (-15A + 7B - C) f^4 + (6A - 3B + C/2) f^5.
template <class T>
TW_KERNEL_INLINE T InterpolateSpline(T p_Xm2, T p_Xm1, T p_X0, T p_X1, T p_X2, T p_X3, T p_F)
{
    const T l_Twelfth = T(1.0f / 12.0f);
    const T l_D0 = l_Twelfth * (p_Xm2 - p_X2 + T(8.0f) * (p_X1 - p_Xm1));
    const T l_D1 = l_Twelfth * (p_Xm1 - p_X3 + T(8.0f) * (p_X2 - p_X0));
    const T l_S0 = l_Twelfth * (T(16.0f) * (p_Xm1 + p_X1) - p_Xm2 - p_X2 - T(30.0f) * p_X0);
    const T l_S1 = l_Twelfth * (T(16.0f) * (p_X0 + p_X2) - p_Xm1 - p_X3 - T(30.0f) * p_X1);
    const T l_HalfS0 = T(0.5f) * l_S0;
    const T l_A = p_X1 - p_X0 - l_D0 - l_HalfS0;
    const T l_B = l_D1 - l_D0 - l_S0;
    const T l_HalfC = T(0.5f) * (l_S1 - l_S0);
    const T l_C3 = T(10.0f) * l_A - T(4.0f) * l_B + l_HalfC;
    const T l_C4 = T(7.0f) * l_B - T(15.0f) * l_A - (l_S1 - l_S0);
    const T l_C5 = T(6.0f) * l_A - T(3.0f) * l_B + l_HalfC;
    T l_Y = MulAdd(l_C5, p_F, l_C4);
    l_Y = MulAdd(l_Y, p_F, l_C3);
    l_Y = MulAdd(l_Y, p_F, l_HalfS0);
    l_Y = MulAdd(l_Y, p_F, l_D0);
    return MulAdd(l_Y, p_F, p_X0);
}

// The gain of a ramp at u in 0 .. 1: from + (to - from) * u^2 (3 - 2u).
template <class T> TW_KERNEL_INLINE T RampGain(T p_From, T p_To, T p_U)
{
    const T l_Shape = p_U * p_U * (T(3.0f) - T(2.0f) * p_U);
    return MulAdd(p_To - p_From, l_Shape, p_From);
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
