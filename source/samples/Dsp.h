#ifndef TUNEWRIGHT_SAMPLES_DSP_H
#define TUNEWRIGHT_SAMPLES_DSP_H

#include <cstdint>

namespace SampleGen {

constexpr double PI = 3.14159265358979323846;

// A small seeded generator (SplitMix64). Its sequence is fixed by the seed on every platform,
// unlike the standard library's distributions, so the samples come out the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t p_Seed) : State(p_Seed) {}
    std::uint64_t Next();
    double Uniform();   // in [0, 1)
    double Signed();    // in [-1, 1)

private:
    std::uint64_t State;
};

// Second-order filter with the usual audio-cookbook coefficients, run sample by sample.
class Biquad {
public:
    static Biquad LowPass(double p_Rate, double p_Hz, double p_Q);
    static Biquad HighPass(double p_Rate, double p_Hz, double p_Q);
    static Biquad BandPass(double p_Rate, double p_Hz, double p_Q);  // 0 dB at the centre
    double Run(double p_In);

private:
    Biquad(double p_B0, double p_B1, double p_B2, double p_A1, double p_A2);
    double B0, B1, B2, A1, A2;
    double X1 = 0.0, X2 = 0.0, Y1 = 0.0, Y2 = 0.0;
};

}  // namespace SampleGen

#endif
