// The band-limited resampler's polyphase filter table: a windowed sinc of kSincTaps taps, in
// kSincBands cut-off bands chosen by the read step, each sampled at kSincPhases fractions of a
// frame (plus the change to the next phase, for interpolating between phases).
#ifndef TUNEWRIGHT_SOUND_SINCTABLE_H
#define TUNEWRIGHT_SOUND_SINCTABLE_H

#include <cstdint>

namespace SoundEngine {

// Taps of the filter: frames -15 .. +16 around the frame at or before the read position. 32 keep
// the transition band narrow enough that a sound read near the output rate passes up to 19.4 kHz
// (-3 dB at 48 kHz); 24 cost a quarter less but lost the top of the treble (17.8 kHz). (A sound read
// at or below its own rate comes from its oversampled copy, whose longer filter passes 21 kHz.)
constexpr int kSincTaps = 32;
// A filter's first tap, from the frame at or before the read position.
constexpr int SincFirstTap(int p_Taps) { return 1 - p_Taps / 2; }
constexpr int kSincFirstTap = SincFirstTap(kSincTaps);
// Phases per frame: the top 6 bits of the position's fraction pick one, the next 16 bits
// interpolate linearly towards the next (so the coefficients follow the fraction to 2^-22 frame).
// 64 phases measure as clean as 128 did (the interpolation's error lies far under the window's
// side lobes) in half the table, which then stays nearer the processor.
constexpr int kSincPhaseBits = 6;
constexpr unsigned kSincPhases = 1u << kSincPhaseBits;
// The part of a position's fraction p_Fraction (its low 32 bits) between two phases, from the 16
// bits below the phase's: exact in a float.
constexpr int kSincBetweenShift = 16 - kSincPhaseBits;
inline float SincPhaseFraction(std::uint32_t p_Fraction)
{
    return float((p_Fraction >> kSincBetweenShift) & 0xFFFFu) * (1.0f / 65536.0f);
}
// Taps of the filter that makes the octave copies (SincHalfBand).
constexpr int kSincHalfBandTaps = 32;
constexpr int kSincHalfBandFirstTap = SincFirstTap(kSincHalfBandTaps);
// A read may take an oversampled copy (SincOversampled.h): the sound, or an octave copy of it, at
// 2^kSincOversampleShift times its rate, made at load through the read's band's filter, of
// kSincUpsampleTaps taps at each of as many phases. Such a copy holds nothing above an eighth of its
// rate: what a read of it must remove begins at seven eighths, and kSincShortTaps taps do that where
// the sound itself needs kSincTaps.
constexpr int kSincOversampleShift = 2;
constexpr int kSincOversampling = 1 << kSincOversampleShift;
constexpr int kSincUpsampleTaps = 64;
constexpr int kSincShortTaps = 8;
// Band 0 reads at most one frame per output frame; bands 1 to 4 read 2^((b - 1) / 4) up to 2^(b / 4)
// frames per output frame (the mixer reads band-limited octave copies so that no step goes beyond 2).
constexpr int kSincBands = 5;

// Row [band][phase]: the kSincTaps coefficients and their changes to the next phase's, in blocks of
// eight taps: eight coefficients then their eight changes (SincCoefficient, SincChange), so that one
// 64-byte load holds both for a block. Rows are 64-byte aligned: each block is one cache line.
struct SincTable
{
    alignas(64) float rows[kSincBands][kSincPhases][2 * kSincTaps];
    // The same for reads of an oversampled copy.
    alignas(64) float shortrows[kSincPhases][2 * kSincShortTaps];
    float halfband[kSincHalfBandTaps];
    // The filters that make the oversampled copies: [band][tap][phase], frame k of the copy from
    // taps SincFirstTap(kSincUpsampleTaps) on around frame k / kSincOversampling of the level.
    float upsample[kSincBands][kSincUpsampleTaps][kSincOversampling];
};
constexpr int SincCoefficient(int p_Tap) { return p_Tap / 8 * 16 + p_Tap % 8; }
constexpr int SincChange(int p_Tap) { return SincCoefficient(p_Tap) + 8; }

const SincTable& TheSincTable();

// The band for a read step (32.32 frames per output frame).
inline int SincBand(std::uint64_t p_Step)
{
    // 2^(b / 4) in 32.32, b = 1 .. 3.
    constexpr std::uint64_t kBounds[] = {5107605667ull, 6074001000ull, 7223245206ull};
    if (p_Step <= (std::uint64_t(1) << 32))
        return 0;
    return p_Step < kBounds[0] ? 1 : p_Step < kBounds[1] ? 2 : p_Step < kBounds[2] ? 3 : 4;
}

// The filter that makes each octave copy from the one below: band 4's (stop band from a quarter of
// the rate) at phase 0, but of kSincHalfBandTaps taps (taps kSincHalfBandFirstTap on): the copies
// are made once, at load, so they keep the narrower transition band of the longer filter.
inline const float* SincHalfBand() { return TheSincTable().halfband; }

}  // namespace SoundEngine

#endif
