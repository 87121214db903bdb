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

constexpr int kFraction = 112;            // fraction bits below the hidden one
constexpr int kBias = 16383;              // exponent bias
constexpr int kDropped = kFraction - 63;  // fraction bits below a 64-bit significand
constexpr std::uint64_t kTop = std::uint64_t{1} << 63;

// The top 64 bits of a quadruple's significand, the hidden bit at 63 (0 for zero).
inline std::uint64_t Significand(Bits p_Value)
{
    return (p_Value >> kFraction) != 0 ? kTop | static_cast<std::uint64_t>(p_Value >> kDropped) : 0;
}

// p_Cursor + p_Step, rounded to a 64-bit significand, to nearest, ties to even: what x87's
// fldt/faddl/fstpt give at 64-bit precision. p_Cursor is 0 or a normal quadruple with a 64-bit
// significand (every cursor the clock makes: whole beats and these sums), p_Step a finite double,
// both non-negative, their sum far below overflow (the clock's cursors stay below 2^34). All in
// 64-bit words: a shift of a 128-bit integer by a variable count is a library call in WebAssembly.
inline Bits AddStep(Bits p_Cursor, double p_Step)
{
    // Each operand as an exponent and a significand with its top bit at 63 (0 and 0 for zero); a
    // subnormal double is a normal quadruple.
    int l_Exponent = static_cast<int>(p_Cursor >> kFraction);
    std::uint64_t l_Larger = Significand(p_Cursor);
    std::uint64_t l_Double;
    std::memcpy(&l_Double, &p_Step, sizeof l_Double);
    int l_SmallerExponent = static_cast<int>(l_Double >> 52);
    std::uint64_t l_Smaller = (l_Double << 11) & (kTop - 1);
    if (l_SmallerExponent != 0) {
        l_Smaller |= kTop;
    } else if (l_Smaller != 0) {
        const int l_Shift = __builtin_clzll(l_Smaller);
        l_Smaller <<= l_Shift;
        l_SmallerExponent = 1 - l_Shift;
    }
    if (l_Smaller != 0)
        l_SmallerExponent += kBias - 1023;
    if (l_SmallerExponent > l_Exponent) {
        std::swap(l_Exponent, l_SmallerExponent);
        std::swap(l_Larger, l_Smaller);
    }

    // The smaller operand shifted to the larger one's places, and the bits that fall below them
    // (l_Below, its top bit worth half the last place). Both have 64 significant bits at most: more
    // than 64 places down the smaller one is under half the last place and rounds nothing.
    const int l_Gap = l_Exponent - l_SmallerExponent;
    std::uint64_t l_Below = 0;
    if (l_Gap >= 64) {
        l_Below = l_Gap == 64 ? l_Smaller : 0;
        l_Smaller = 0;
    } else if (l_Gap > 0) {
        l_Below = l_Smaller << (64 - l_Gap);
        l_Smaller >>= l_Gap;
    }
    std::uint64_t l_Sum = l_Larger + l_Smaller;
    if (l_Sum < l_Larger) {
        // A carry out of the top: one place to the right (the bit shifted out of l_Below is 0 here).
        l_Below = (l_Below >> 1) | (l_Sum << 63);
        l_Sum = (l_Sum >> 1) | kTop;
        ++l_Exponent;
    }
    if (l_Below > kTop || (l_Below == kTop && (l_Sum & 1) != 0)) {
        if (++l_Sum == 0)
            ++l_Exponent;  // all ones carried into the next power of two: the fraction is 0
    }
    return (static_cast<Bits>(l_Exponent) << kFraction) | (static_cast<Bits>(l_Sum & (kTop - 1)) << kDropped);
}

// The whole beats of a non-negative quadruple (its floor); cursors stay far below 2^63.
inline std::int64_t BeatOf(Bits p_Cursor)
{
    const int l_Whole = static_cast<int>(p_Cursor >> kFraction) - kBias;  // the top bit's place
    if (l_Whole < 0)
        return 0;
    if (l_Whole > 62)
        return INT64_MAX;
    return static_cast<std::int64_t>(Significand(p_Cursor) >> (63 - l_Whole));
}

}  // namespace ClockQuad
}  // namespace Org

#endif
