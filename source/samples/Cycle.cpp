#include "Cycle.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "Dsp.h"

namespace SampleGen {

namespace {

// Lanczos sigma factor: tapers the top harmonics of a truncated series to tame its overshoot.
double Sigma(int p_Harmonic, int p_Top)
{
    const double l_X = PI * p_Harmonic / (p_Top + 1.0);
    return std::sin(l_X) / l_X;
}

}  // namespace

Spectrum& Spectrum::Set(int p_Harmonic, double p_Amp, double p_Phase)
{
    if (p_Harmonic >= 1 && p_Harmonic <= HARMONIC_LIMIT) {
        amp[p_Harmonic] = p_Amp;
        phase[p_Harmonic] = p_Phase;
    }
    return *this;
}

Spectrum& Spectrum::Mix(const Spectrum& p_Other, double p_Gain)
{
    for (int l_H = 1; l_H <= HARMONIC_LIMIT; ++l_H) {
        // Amplitudes may be negative, so the partials are built by hand rather than with polar().
        const std::complex<double> l_Sum =
            amp[l_H] * std::complex<double>(std::cos(phase[l_H]), std::sin(phase[l_H])) +
            p_Other.amp[l_H] * p_Gain *
                std::complex<double>(std::cos(p_Other.phase[l_H]), std::sin(p_Other.phase[l_H]));
        amp[l_H] = std::abs(l_Sum);
        phase[l_H] = amp[l_H] > 0.0 ? std::arg(l_Sum) : 0.0;
    }
    return *this;
}

double Spectrum::Value(double p_Time) const
{
    double l_Sum = 0.0;
    for (int l_H = 1; l_H <= HARMONIC_LIMIT; ++l_H) {
        if (amp[l_H] != 0.0) {
            l_Sum += amp[l_H] * std::sin(2.0 * PI * l_H * p_Time / CYCLE_LENGTH + phase[l_H]);
        }
    }
    return l_Sum;
}

int Spectrum::Highest() const
{
    for (int l_H = HARMONIC_LIMIT; l_H >= 1; --l_H) {
        if (amp[l_H] != 0.0) {
            return l_H;
        }
    }
    return 0;
}

Spectrum Saw(int p_Top, double p_Tilt)
{
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; ++l_H) {
        l_Spectrum.Set(l_H, Sigma(l_H, p_Top) / std::pow(l_H, p_Tilt));
    }
    return l_Spectrum;
}

Spectrum Square(int p_Top, double p_Tilt)
{
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; l_H += 2) {
        l_Spectrum.Set(l_H, Sigma(l_H, p_Top) / std::pow(l_H, p_Tilt));
    }
    return l_Spectrum;
}

Spectrum Triangle(int p_Top)
{
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; l_H += 2) {
        const double l_Sign = ((l_H - 1) / 2) % 2 == 0 ? 1.0 : -1.0;
        l_Spectrum.Set(l_H, l_Sign / (static_cast<double>(l_H) * l_H));
    }
    return l_Spectrum;
}

Spectrum Pulse(double p_Duty, int p_Top)
{
    // A pulse of width d is d + sum 2 sin(pi h d) / (pi h) cos(2 pi h t); the constant d is dropped.
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; ++l_H) {
        const double l_Amp = 2.0 * std::sin(PI * l_H * p_Duty) / (PI * l_H);
        l_Spectrum.Set(l_H, l_Amp * Sigma(l_H, p_Top), PI / 2.0);
    }
    return l_Spectrum;
}

Spectrum Shaped(int p_Top, const std::function<double(int)>& p_Shape)
{
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; ++l_H) {
        l_Spectrum.Set(l_H, p_Shape(l_H), PI * l_H * l_H / p_Top);
    }
    return l_Spectrum;
}

Spectrum FromFunction(int p_Top, const std::function<double(double)>& p_Wave)
{
    // A plain DFT of a finely sampled period; only the low harmonics are kept.
    constexpr int l_Points = 4096;
    std::vector<double> l_Wave(l_Points);
    for (int l_I = 0; l_I < l_Points; ++l_I) {
        l_Wave[l_I] = p_Wave(static_cast<double>(l_I) / l_Points);
    }
    Spectrum l_Spectrum;
    for (int l_H = 1; l_H <= p_Top; ++l_H) {
        double l_Sin = 0.0;
        double l_Cos = 0.0;
        for (int l_I = 0; l_I < l_Points; ++l_I) {
            const double l_Angle = 2.0 * PI * l_H * l_I / l_Points;
            l_Sin += l_Wave[l_I] * std::sin(l_Angle);
            l_Cos += l_Wave[l_I] * std::cos(l_Angle);
        }
        // sin(x + phi) = sin x cos phi + cos x sin phi
        l_Spectrum.Set(l_H, 2.0 / l_Points * std::hypot(l_Sin, l_Cos), std::atan2(l_Cos, l_Sin));
    }
    return l_Spectrum;
}

Spectrum Noise(std::uint64_t p_Seed, int p_Low, int p_High, double p_Tilt)
{
    Random l_Random(p_Seed);
    Spectrum l_Spectrum;
    for (int l_H = p_Low; l_H <= p_High; ++l_H) {
        // Rayleigh magnitude and uniform phase: the partials of Gaussian noise.
        const double l_Magnitude = std::sqrt(-2.0 * std::log(1.0 - l_Random.Uniform()));
        const double l_Phase = 2.0 * PI * l_Random.Uniform();
        l_Spectrum.Set(l_H, l_Magnitude / std::pow(l_H, p_Tilt), l_Phase);
    }
    return l_Spectrum;
}

bool RenderCycle(const Spectrum& p_Spectrum, double p_Rms, std::vector<std::int16_t>& p_Cycle,
                 std::string& p_Error)
{
    if (p_Spectrum.Highest() == 0) {
        p_Error = "empty spectrum";
        return false;
    }

    // Find the first rising zero crossing on a fine grid, then refine it by bisection.
    constexpr int l_Steps = CYCLE_LENGTH * 16;
    const double l_Step = static_cast<double>(CYCLE_LENGTH) / l_Steps;
    double l_Start = 0.0;
    bool l_Found = false;
    double l_Previous = p_Spectrum.Value(-l_Step);
    for (int l_I = 0; l_I < l_Steps && !l_Found; ++l_I) {
        const double l_Now = p_Spectrum.Value(l_I * l_Step);
        if (l_Previous < 0.0 && l_Now >= 0.0) {
            double l_Low = (l_I - 1) * l_Step;
            double l_High = l_I * l_Step;
            for (int l_Round = 0; l_Round < 60; ++l_Round) {
                const double l_Mid = 0.5 * (l_Low + l_High);
                (p_Spectrum.Value(l_Mid) < 0.0 ? l_Low : l_High) = l_Mid;
            }
            l_Start = l_High;
            l_Found = true;
        }
        l_Previous = l_Now;
    }
    if (!l_Found) {
        p_Error = "no rising zero crossing";
        return false;
    }

    std::vector<double> l_Wave(CYCLE_LENGTH);
    double l_Energy = 0.0;
    double l_Peak = 0.0;
    for (int l_N = 0; l_N < CYCLE_LENGTH; ++l_N) {
        l_Wave[l_N] = p_Spectrum.Value(l_Start + l_N);
        l_Energy += l_Wave[l_N] * l_Wave[l_N];
        l_Peak = std::max(l_Peak, std::fabs(l_Wave[l_N]));
    }
    const double l_Gain = p_Rms / std::sqrt(l_Energy / CYCLE_LENGTH);
    if (l_Peak * l_Gain > 0.999) {
        p_Error = "peak-to-RMS ratio " + std::to_string(l_Peak * l_Gain / p_Rms) + " too high for the RMS target";
        return false;
    }
    p_Cycle.resize(CYCLE_LENGTH);
    for (int l_N = 0; l_N < CYCLE_LENGTH; ++l_N) {
        p_Cycle[l_N] = static_cast<std::int16_t>(std::lround(l_Wave[l_N] * l_Gain * 32767.0));
    }
    return true;
}

}  // namespace SampleGen
