// Sine, cosine and powers of two worked out by this code alone, from additions and multiplications
// of doubles, each rounded to a double: the same bits on every platform we build for (SSE2 on
// x86-64 and on 32-bit x86, WebAssembly). The C libraries' versions differ in the last bit between
// platforms (an x87 library, or Wine's, against glibc), and the sinc filter table, the pan gains
// and the pitch table are built from these values: one song must give the same samples everywhere.
// Accurate to about one unit in the last place for the arguments the engine uses (|x| < 10^5).
// Written for a compiler that does not fuse a multiply and an add into one rounding (GCC and clang
// on x86 without FMA, WebAssembly).
#ifndef TUNEWRIGHT_SOUND_PORTABLEMATH_H
#define TUNEWRIGHT_SOUND_PORTABLEMATH_H

#include <cmath>

namespace PortableMath {

// sin and cos of p_X, |p_X| <= pi/4, by their Taylor series: the first term left out is below
// 10^-19 there.
inline double SinNear0(double p_X)
{
    const double l_X2 = p_X * p_X;
    const double l_Tail =
        -1.0 / 6 +
        l_X2 * (1.0 / 120 +
                l_X2 * (-1.0 / 5040 +
                        l_X2 * (1.0 / 362880 + l_X2 * (-1.0 / 39916800 +
                                                       l_X2 * (1.0 / 6227020800 +
                                                               l_X2 * (-1.0 / 1307674368000 +
                                                                       l_X2 * (1.0 / 355687428096000)))))));
    return p_X + p_X * l_X2 * l_Tail;
}

inline double CosNear0(double p_X)
{
    const double l_X2 = p_X * p_X;
    const double l_Tail =
        1.0 / 24 +
        l_X2 * (-1.0 / 720 +
                l_X2 * (1.0 / 40320 + l_X2 * (-1.0 / 3628800 +
                                              l_X2 * (1.0 / 479001600 +
                                                      l_X2 * (-1.0 / 87178291200 +
                                                              l_X2 * (1.0 / 20922789888000 +
                                                                      l_X2 * (-1.0 / 6402373705728000)))))));
    return 1.0 - 0.5 * l_X2 + l_X2 * l_X2 * l_Tail;
}

// p_X = p_Quadrant * pi/2 + the returned remainder (|remainder| <= pi/4). pi/2 is split in three
// parts, the first two with their low bits zero, so that their products with the quadrant are exact.
inline double ReduceQuarterTurns(double p_X, long long& p_Quadrant)
{
    const double l_Quadrant = std::nearbyint(p_X * 0.63661977236758134308);  // 2/pi
    p_Quadrant = static_cast<long long>(l_Quadrant);
    return ((p_X - l_Quadrant * 1.57079632673412561417e+00) - l_Quadrant * 6.07710050630396597660e-11) -
           l_Quadrant * 2.02226624879595063154e-21;
}

// sin(p_Rest + p_Quadrant * pi/2), p_Rest reduced to |p_Rest| <= pi/4.
inline double SinOfQuadrant(double p_Rest, long long p_Quadrant)
{
    switch (p_Quadrant & 3) {
    case 0:
        return SinNear0(p_Rest);
    case 1:
        return CosNear0(p_Rest);
    case 2:
        return -SinNear0(p_Rest);
    default:
        return -CosNear0(p_Rest);
    }
}

inline double Sin(double p_X)
{
    long long l_Quadrant = 0;
    const double l_Rest = ReduceQuarterTurns(p_X, l_Quadrant);
    return SinOfQuadrant(l_Rest, l_Quadrant);
}

// cos x = sin(x + pi/2): one quadrant on.
inline double Cos(double p_X)
{
    long long l_Quadrant = 0;
    const double l_Rest = ReduceQuarterTurns(p_X, l_Quadrant);
    return SinOfQuadrant(l_Rest, l_Quadrant + 1);
}

// 2 to the power p_X: 2^n exactly times e^(f ln 2) for the fraction |f| <= 1/2, whose series'
// first term left out (the 15th) is below 10^-18.
inline double Exp2(double p_X)
{
    const double l_Whole = std::nearbyint(p_X);
    const double l_Fraction = (p_X - l_Whole) * 0.69314718055994530942;  // ln 2
    double l_Sum = 1.0;
    for (int l_Term = 14; l_Term >= 1; --l_Term)
        l_Sum = 1.0 + l_Sum * l_Fraction / l_Term;
    return std::ldexp(l_Sum, static_cast<int>(l_Whole));
}

}  // namespace PortableMath

#endif
