// The song clock's arithmetic on the bits of an IEEE quadruple (WebAssembly's and AArch64's long
// double), in integers: where long double is emulated, its library calls cost more than the rest of
// the clock. The cursor keeps a 64-bit significand, as x87's extended precision does on x86, so that
// every build starts each beat on the same millisecond. Built on x86-64 too, where the tests check it
// against the x87 unit.
#pragma once

#if defined(__SIZEOF_INT128__)

#include <cstdint>
#include <cstring>
#include <utility>

namespace Org {
namespace ClockQuad {

using Bits = unsigned __int128;

constexpr int kFraction = 112;  // fraction bits below the hidden one
constexpr int kBias = 16383;    // exponent bias
constexpr int kHeadroom = 14;   // sums are aligned with their top bit at 126 or 127
constexpr Bits kHidden = static_cast<Bits>(1) << kFraction;

// p_Cursor + p_Step, rounded to a 64-bit significand, to nearest, ties to even: what x87's
// fldt/faddl/fstpt give at 64-bit precision. p_Cursor is 0 or a normal quadruple and p_Step a finite
// double, both non-negative, their sum far below overflow (the clock's cursors stay below 2^34).
inline Bits AddStep(Bits p_Cursor, double p_Step)
{
    // Each operand as an exponent and a significand with its hidden bit at 112 (0 and 0 for zero).
    int l_Exponent = static_cast<int>(p_Cursor >> kFraction);
    Bits l_Larger = l_Exponent != 0 ? (p_Cursor & (kHidden - 1)) | kHidden : 0;
    std::uint64_t l_Double;
    std::memcpy(&l_Double, &p_Step, sizeof l_Double);
    int l_SmallerExponent = static_cast<int>(l_Double >> 52);
    std::uint64_t l_Step = l_Double & ((std::uint64_t{1} << 52) - 1);
    if (l_SmallerExponent != 0) {
        l_Step |= std::uint64_t{1} << 52;
    } else if (l_Step != 0) {
        // A subnormal double is a normal quadruple.
        const int l_Shift = __builtin_clzll(l_Step) - 11;
        l_Step <<= l_Shift;
        l_SmallerExponent = 1 - l_Shift;
    }
    if (l_Step != 0)
        l_SmallerExponent += kBias - 1023;
    Bits l_Smaller = static_cast<Bits>(l_Step) << (kFraction - 52);
    if (l_SmallerExponent > l_Exponent) {
        std::swap(l_Exponent, l_SmallerExponent);
        std::swap(l_Larger, l_Smaller);
    }

    // The larger operand's top bit at 126, the smaller one shifted to match; what falls off it is
    // kept as a sticky bit 0, below the rounding point (64 bits down from bit 126 or 127).
    const int l_Gap = l_Exponent - l_SmallerExponent - kHeadroom;
    if (l_Gap <= 0)
        l_Smaller <<= -l_Gap;
    else if (l_Gap < 128)
        l_Smaller = (l_Smaller >> l_Gap) | ((l_Smaller << (128 - l_Gap)) != 0 ? 1 : 0);
    else
        l_Smaller = l_Smaller != 0 ? 1 : 0;
    Bits l_Sum = (l_Larger << kHeadroom) + l_Smaller;

    // The top 64 bits, rounded on the rest; a carry out of them steps the exponent.
    if ((l_Sum >> 127) != 0)
        ++l_Exponent;
    else
        l_Sum <<= 1;
    std::uint64_t l_Kept = static_cast<std::uint64_t>(l_Sum >> 64);
    const std::uint64_t l_Rest = static_cast<std::uint64_t>(l_Sum);
    constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
    if (l_Rest > kHalf || (l_Rest == kHalf && (l_Kept & 1) != 0)) {
        if (++l_Kept == 0)
            ++l_Exponent;  // all ones carried into the next power of two: the fraction is 0
    }
    return (static_cast<Bits>(l_Exponent) << kFraction) |
           (static_cast<Bits>(l_Kept & (kHalf - 1)) << (kFraction - 63));
}

// The whole beats of a non-negative quadruple (its floor); cursors stay far below 2^63.
inline std::int64_t BeatOf(Bits p_Cursor)
{
    const int l_Whole = static_cast<int>(p_Cursor >> kFraction) - kBias;  // the top bit's place
    if (l_Whole < 0)
        return 0;
    if (l_Whole > 62)
        return INT64_MAX;
    return static_cast<std::int64_t>(((p_Cursor & (kHidden - 1)) | kHidden) >> (kFraction - l_Whole));
}

}  // namespace ClockQuad
}  // namespace Org

#endif
