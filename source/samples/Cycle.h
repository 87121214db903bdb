#ifndef TUNEWRIGHT_SAMPLES_CYCLE_H
#define TUNEWRIGHT_SAMPLES_CYCLE_H

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace SampleGen {

// One melody waveform is one period of this many samples; the sampler loops it.
constexpr int CYCLE_LENGTH = 256;
// The highest harmonic a cycle of that length can hold below its own Nyquist limit.
constexpr int HARMONIC_LIMIT = CYCLE_LENGTH / 2 - 1;

// Partials of one periodic cycle, indexed by harmonic number (index 0, the DC term, stays 0).
// Each partial is amp * sin(2 pi h t / CYCLE_LENGTH + phase).
struct Spectrum {
    std::array<double, HARMONIC_LIMIT + 1> amp{};
    std::array<double, HARMONIC_LIMIT + 1> phase{};

    Spectrum& Set(int p_Harmonic, double p_Amp, double p_Phase = 0.0);  // ignores harmonics out of range
    Spectrum& Mix(const Spectrum& p_Other, double p_Gain);                // adds as complex partials
    double Value(double p_Time) const;                                    // p_Time in samples
    int Highest() const;                                                  // 0 for an empty spectrum
};

// Band-limited shapes. p_Top is the highest harmonic kept; the Lanczos factor applied to
// the shapes with steep edges keeps their ringing small.
Spectrum Saw(int p_Top, double p_Tilt = 1.0);
Spectrum Square(int p_Top, double p_Tilt = 1.0);
Spectrum Triangle(int p_Top);
Spectrum Pulse(double p_Duty, int p_Top);
// Harmonic h gets p_Shape(h); phases follow a quadratic rule so that dense spectra keep a
// low peak-to-RMS ratio.
Spectrum Shaped(int p_Top, const std::function<double(int)>& p_Shape);
// The first p_Top harmonics of any periodic function of the phase (0 to 1).
Spectrum FromFunction(int p_Top, const std::function<double(double)>& p_Wave);
// Gaussian-like noise partials in harmonics p_Low..p_High, amplitude tilted by h^-p_Tilt.
Spectrum Noise(std::uint64_t p_Seed, int p_Low, int p_High, double p_Tilt);

// Renders one cycle that starts exactly on a rising zero crossing (so a note starts without a
// step), scaled to an RMS of p_Rms of full scale, rounded to 16 bits. Fails if the peak would
// not fit (the caller asked for too much loudness for this shape) or the spectrum is empty.
bool RenderCycle(const Spectrum& p_Spectrum, double p_Rms, std::vector<std::int16_t>& p_Cycle,
                 std::string& p_Error);

}  // namespace SampleGen

#endif
