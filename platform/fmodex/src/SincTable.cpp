#include "SincTable.h"

#include "PortableMath.h"

#include <cmath>
#include <memory>

namespace SoundEngine {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A Kaiser window's shape, beta, and the depth of the side lobes it gives, A dB (beta is about
// 0.1102 (A - 8.7)). For its length the window has the narrowest transition band that depth allows
// (it is the near-optimal trade between the two, set by one number).
struct KaiserShape
{
    double beta;
    double decibels;
};
// The filters read at every output frame: side lobes near -80 dB, deep enough that what folds back
// lies far under the 70 dB a held note needs.
constexpr KaiserShape kReadShape = {8.0, 80.0};
// The filters that make the oversampled copies, once, at load, where length costs little: -100 dB,
// since the short filter that reads a copy lets through what they leave of the level's images.
constexpr KaiserShape kLoadShape = {10.0, 100.0};
// The transition band of a window over p_Taps taps, in cycles per frame (Kaiser's estimate
// (A - 7.95) / (14.36 (N - 1))).
constexpr double Transition(int p_Taps, KaiserShape p_Shape = kReadShape)
{
    return (p_Shape.decibels - 7.95) / (14.36 * (p_Taps - 1));
}

// The modified Bessel function I0, by its power series.
double BesselI0(double p_X)
{
    double l_Sum = 1.0;
    double l_Term = 1.0;
    for (int l_K = 1; l_K < 50; ++l_K) {
        l_Term *= (p_X / (2.0 * l_K)) * (p_X / (2.0 * l_K));
        l_Sum += l_Term;
        if (l_Term < 1e-17 * l_Sum)
            break;
    }
    return l_Sum;
}

// The filter of p_Taps taps at p_X frames from the read position, with its cut-off at p_Cutoff
// cycles per frame.
double Windowed(double p_X, double p_Cutoff, int p_Taps, KaiserShape p_Shape = kReadShape)
{
    const double l_Half = p_Taps / 2.0;
    if (std::fabs(p_X) >= l_Half)
        return 0.0;
    const double l_Ratio = p_X / l_Half;
    const double l_Window =
        BesselI0(p_Shape.beta * std::sqrt(1.0 - l_Ratio * l_Ratio)) / BesselI0(p_Shape.beta);
    const double l_Arg = 2.0 * kPi * p_Cutoff * p_X;
    const double l_Sinc = p_X == 0.0 ? 2.0 * p_Cutoff : PortableMath::Sin(l_Arg) / (kPi * p_X);
    return l_Sinc * l_Window;
}

// 2^(b / 4) for the bands b = 0 to 4, each rounded to the nearest double.
constexpr double kQuarterOctaves[kSincBands] = {1.0, 0x1.306fe0a31b715p+0, 0x1.6a09e667f3bcdp+0,
                                                0x1.ae89f995ad3adp+0, 2.0};

// The coefficients of a filter of Taps taps with its cut-off at p_Cutoff cycles per frame, at
// p_Phases fractions of a frame and the next frame's (phase p_Phases), each scaled to unity gain at
// 0 Hz so that a steady level stays steady.
template <int Taps>
std::unique_ptr<double[][Taps]> PhaseCoefficients(double p_Cutoff, unsigned p_Phases,
                                                  KaiserShape p_Shape = kReadShape)
{
    std::unique_ptr<double[][Taps]> l_Coefficients(new double[p_Phases + 1][Taps]);
    for (unsigned l_Phase = 0; l_Phase <= p_Phases; ++l_Phase) {
        double l_Sum = 0.0;
        for (int l_Tap = 0; l_Tap < Taps; ++l_Tap) {
            const double l_X = double(l_Tap + SincFirstTap(Taps)) - double(l_Phase) / p_Phases;
            l_Coefficients[l_Phase][l_Tap] = Windowed(l_X, p_Cutoff, Taps, p_Shape);
            l_Sum += l_Coefficients[l_Phase][l_Tap];
        }
        for (int l_Tap = 0; l_Tap < Taps; ++l_Tap)
            l_Coefficients[l_Phase][l_Tap] /= l_Sum;
    }
    return l_Coefficients;
}

// The kernel's rows of a filter: each phase's coefficients and their changes to the next's.
template <int Taps> void FillRows(float (&p_Rows)[kSincPhases][2 * Taps], double p_Cutoff)
{
    const auto l_Coefficients = PhaseCoefficients<Taps>(p_Cutoff, kSincPhases);
    for (unsigned l_Phase = 0; l_Phase < kSincPhases; ++l_Phase)
        for (int l_Tap = 0; l_Tap < Taps; ++l_Tap) {
            const float l_Here = float(l_Coefficients[l_Phase][l_Tap]);
            p_Rows[l_Phase][SincCoefficient(l_Tap)] = l_Here;
            p_Rows[l_Phase][SincChange(l_Tap)] = float(l_Coefficients[l_Phase + 1][l_Tap]) - l_Here;
        }
}

// Each band's stop band starts at half the output rate for the fastest step of the band (half the
// sound's own rate for band 0, which only ever reads slower than the output), so that nothing
// above half the output rate is made; the cut-off lies half a transition band below.
void FillBand(float (&p_Rows)[kSincPhases][2 * kSincTaps], int p_Band)
{
    FillRows<kSincTaps>(p_Rows, 0.5 / kQuarterOctaves[p_Band] - Transition(kSincTaps) / 2.0);
}

// An oversampled copy holds a level band-limited as a band would read it, by a longer filter (made
// once, at load) with the band's stop band. A read of the copy then passes its lowest eighth and
// removes its images from seven eighths on: a cut-off at half the copy's rate keeps both clear of
// the short filter's transition band.
void FillOversampling(SincTable& p_Table)
{
    static_assert(Transition(kSincShortTaps) / 2.0 < 0.5 - 0.5 / kSincOversampling,
                  "the short filter's transition band stays clear of the copy's content and images");
    FillRows<kSincShortTaps>(p_Table.shortrows, 0.5);
    for (int l_Band = 0; l_Band < kSincBands; ++l_Band) {
        const auto l_Up = PhaseCoefficients<kSincUpsampleTaps>(
            0.5 / kQuarterOctaves[l_Band] - Transition(kSincUpsampleTaps, kLoadShape) / 2.0,
            kSincOversampling, kLoadShape);
        for (int l_Phase = 0; l_Phase < kSincOversampling; ++l_Phase)
            for (int l_Tap = 0; l_Tap < kSincUpsampleTaps; ++l_Tap)
                p_Table.upsample[l_Band][l_Tap][l_Phase] = float(l_Up[l_Phase][l_Tap]);
    }
}

// The octave copies' filter: the last band's stop band (a quarter of the rate), at phase 0.
void FillHalfBand(float (&p_Taps)[kSincHalfBandTaps])
{
    const double l_Cutoff = 0.5 / kQuarterOctaves[kSincBands - 1] - Transition(kSincHalfBandTaps) / 2.0;
    double l_Coefficients[kSincHalfBandTaps];
    double l_Sum = 0.0;
    for (int l_Tap = 0; l_Tap < kSincHalfBandTaps; ++l_Tap) {
        l_Coefficients[l_Tap] = Windowed(double(l_Tap + kSincHalfBandFirstTap), l_Cutoff, kSincHalfBandTaps);
        l_Sum += l_Coefficients[l_Tap];
    }
    for (int l_Tap = 0; l_Tap < kSincHalfBandTaps; ++l_Tap)
        p_Taps[l_Tap] = float(l_Coefficients[l_Tap] / l_Sum);
}

std::unique_ptr<SincTable> MakeTable()
{
    auto l_Table = std::make_unique<SincTable>();
    for (int l_Band = 0; l_Band < kSincBands; ++l_Band)
        FillBand(l_Table->rows[l_Band], l_Band);
    FillHalfBand(l_Table->halfband);
    FillOversampling(*l_Table);
    return l_Table;
}

}  // namespace

const SincTable& TheSincTable()
{
    static const std::unique_ptr<SincTable> l_Table = MakeTable();
    return *l_Table;
}

}  // namespace SoundEngine
