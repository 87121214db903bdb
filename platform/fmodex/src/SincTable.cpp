#include "SincTable.h"

#include "PortableMath.h"

#include <cmath>
#include <memory>

namespace SoundEngine {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Kaiser window's shape. beta = 8 puts the side lobes near -80 dB: deep enough that what folds
// back lies far under the 70 dB a held note needs, and for its length the narrowest transition band
// that depth allows (a Kaiser window is the near-optimal trade between the two, set by one number).
constexpr double kKaiserBeta = 8.0;
// The transition band of that window over p_Taps taps, in cycles per frame (Kaiser's estimate
// (A - 7.95) / (14.36 (N - 1)) for A = 80 dB).
constexpr double Transition(int p_Taps) { return (80.0 - 7.95) / (14.36 * (p_Taps - 1)); }

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
double Windowed(double p_X, double p_Cutoff, int p_Taps)
{
    const double l_Half = p_Taps / 2.0;
    if (std::fabs(p_X) >= l_Half)
        return 0.0;
    const double l_Ratio = p_X / l_Half;
    const double l_Window =
        BesselI0(kKaiserBeta * std::sqrt(1.0 - l_Ratio * l_Ratio)) / BesselI0(kKaiserBeta);
    const double l_Arg = 2.0 * kPi * p_Cutoff * p_X;
    const double l_Sinc = p_X == 0.0 ? 2.0 * p_Cutoff : PortableMath::Sin(l_Arg) / (kPi * p_X);
    return l_Sinc * l_Window;
}

// 2^(b / 4) for the bands b = 0 to 4, each rounded to the nearest double.
constexpr double kQuarterOctaves[kSincBands] = {1.0, 0x1.306fe0a31b715p+0, 0x1.6a09e667f3bcdp+0,
                                                0x1.ae89f995ad3adp+0, 2.0};

// Each band's stop band starts at half the output rate for the fastest step of the band (half the
// sound's own rate for band 0, which only ever reads slower than the output), so that nothing
// above half the output rate is made; the cut-off lies half a transition band below.
void FillBand(float (&p_Rows)[kSincPhases][2 * kSincTaps], int p_Band)
{
    const double l_Stop = 0.5 / kQuarterOctaves[p_Band];
    const double l_Cutoff = l_Stop - Transition(kSincTaps) / 2.0;
    double l_Coefficients[kSincPhases + 1][kSincTaps];
    for (unsigned l_Phase = 0; l_Phase <= kSincPhases; ++l_Phase) {
        double l_Sum = 0.0;
        for (int l_Tap = 0; l_Tap < kSincTaps; ++l_Tap) {
            const double l_X = double(l_Tap + kSincFirstTap) - double(l_Phase) / kSincPhases;
            l_Coefficients[l_Phase][l_Tap] = Windowed(l_X, l_Cutoff, kSincTaps);
            l_Sum += l_Coefficients[l_Phase][l_Tap];
        }
        // Unity gain at 0 Hz at every phase, so that a steady level stays steady.
        for (double& l_Coefficient : l_Coefficients[l_Phase])
            l_Coefficient /= l_Sum;
    }
    for (unsigned l_Phase = 0; l_Phase < kSincPhases; ++l_Phase)
        for (int l_Tap = 0; l_Tap < kSincTaps; ++l_Tap) {
            const float l_Here = float(l_Coefficients[l_Phase][l_Tap]);
            p_Rows[l_Phase][SincCoefficient(l_Tap)] = l_Here;
            p_Rows[l_Phase][SincChange(l_Tap)] = float(l_Coefficients[l_Phase + 1][l_Tap]) - l_Here;
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
    return l_Table;
}

}  // namespace

const SincTable& TheSincTable()
{
    static const std::unique_ptr<SincTable> l_Table = MakeTable();
    return *l_Table;
}

}  // namespace SoundEngine
