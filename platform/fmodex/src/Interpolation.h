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
// powers only their differences, P1 = x1 - x0, P2 = x2 - x-1, P3 = x3 - x-2. With D2 = S2 - S1,
// D3 = S3 - S1 and v = u^2 it is
//   y = S1 / 2 + D2 a(v) + D3 b(v) + u (P1 c(v) + P2 d(v) + P3 e(v)),
//   a = -25/256 + v (13/32 - v / 16),     c = 281/192 + v (-19/8 + 25/12 v),
//   b = 3/256 + v (-5/96 + v / 48),       d = -27/128 + v (53/48 - 25/24 v),
//                                         e = 13/384 + v (-3/16 + 5/24 v).
// The weights a .. e depend on the position alone, so the channels of a frame share them, and
// each is two multiply-adds: 18 multiplies in all for a mono frame against 21 for the
// coefficients of the samples and Horner's rule. (u is exact: f has 24 bits below the point.)
template <class T>
TW_KERNEL_INLINE T InterpolateSpline(T p_Xm2, T p_Xm1, T p_X0, T p_X1, T p_X2, T p_X3, T p_F)
{
    const T l_U = p_F - T(0.5f);
    const T l_V = l_U * l_U;
    const T l_A = MulAdd(MulAdd(T(-1.0f / 16.0f), l_V, T(13.0f / 32.0f)), l_V, T(-25.0f / 256.0f));
    const T l_B = MulAdd(MulAdd(T(1.0f / 48.0f), l_V, T(-5.0f / 96.0f)), l_V, T(3.0f / 256.0f));
    const T l_C = MulAdd(MulAdd(T(25.0f / 12.0f), l_V, T(-19.0f / 8.0f)), l_V, T(281.0f / 192.0f));
    const T l_D = MulAdd(MulAdd(T(-25.0f / 24.0f), l_V, T(53.0f / 48.0f)), l_V, T(-27.0f / 128.0f));
    const T l_E = MulAdd(MulAdd(T(5.0f / 24.0f), l_V, T(-3.0f / 16.0f)), l_V, T(13.0f / 384.0f));
    const T l_S1 = p_X0 + p_X1;
    const T l_D2 = (p_Xm1 + p_X2) - l_S1;
    const T l_D3 = (p_Xm2 + p_X3) - l_S1;
    const T l_Even = MulAdd(l_D3, l_B, MulAdd(l_D2, l_A, T(0.5f) * l_S1));
    const T l_Odd = MulAdd(p_X3 - p_Xm2, l_E, MulAdd(p_X2 - p_Xm1, l_D, (p_X1 - p_X0) * l_C));
    return MulAdd(l_Odd, l_U, l_Even);
}

// The gain of a ramp at u in 0 .. 1: from + (to - from) * u^2 (3 - 2u).
template <class T> TW_KERNEL_INLINE T RampGain(T p_From, T p_To, T p_U)
{
    const T l_Shape = p_U * p_U * (T(3.0f) - T(2.0f) * p_U);
    return MulAdd(p_To - p_From, l_Shape, p_From);
}

}  // namespace TW_KERNEL_NS
}  // namespace SoundEngine
