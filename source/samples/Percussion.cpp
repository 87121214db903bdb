#include "Percussion.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "Dsp.h"

namespace SampleGen {

namespace {

constexpr double RATE = DRUM_RATE;
// Content is kept below this so that even at 1.5x playback it stays under 22 kHz.
constexpr double TOP_HZ = 13000.0;
constexpr int FADE_IN = 32;        // samples: the first ones rise from zero
constexpr double FADE_OUT = 0.25;  // last quarter of the file bends the tail down to zero

using Buffer = std::vector<double>;

Buffer Silence(double p_Seconds) { return Buffer(static_cast<std::size_t>(p_Seconds * RATE), 0.0); }

double Time(std::size_t p_Index) { return static_cast<double>(p_Index) / RATE; }

// A sine whose frequency glides exponentially from p_Start to p_End Hz with time constant
// p_Glide, under an exponential decay of time constant p_Decay; it starts at zero phase.
void AddSweptSine(Buffer& p_Out, double p_Amp, double p_Start, double p_End, double p_Glide, double p_Decay)
{
    double l_Phase = 0.0;
    for (std::size_t l_I = 0; l_I < p_Out.size(); ++l_I) {
        const double l_T = Time(l_I);
        p_Out[l_I] += p_Amp * std::exp(-l_T / p_Decay) * std::sin(l_Phase);
        const double l_Hz = p_End + (p_Start - p_End) * std::exp(-l_T / p_Glide);
        l_Phase += 2.0 * PI * l_Hz / RATE;
    }
}

// Noise through a chain of filters under an exponential decay (p_Delay seconds late).
void AddNoise(Buffer& p_Out, std::uint64_t p_Seed, double p_Amp, double p_Decay,
              std::vector<Biquad> p_Filters, double p_Delay = 0.0)
{
    Random l_Random(p_Seed);
    for (std::size_t l_I = 0; l_I < p_Out.size(); ++l_I) {
        double l_X = l_Random.Signed();
        for (Biquad& l_Filter : p_Filters) {
            l_X = l_Filter.Run(l_X);
        }
        const double l_T = Time(l_I) - p_Delay;
        if (l_T >= 0.0) {
            p_Out[l_I] += p_Amp * std::exp(-l_T / p_Decay) * l_X;
        }
    }
}

// Inharmonic partials at fixed frequencies with seeded phases: the ring of metal.
void AddMetal(Buffer& p_Out, std::uint64_t p_Seed, const std::vector<double>& p_Hz, double p_Amp,
              double p_Decay)
{
    // One decay for every partial, worked out once.
    Buffer l_Decay(p_Out.size());
    for (std::size_t l_I = 0; l_I < p_Out.size(); ++l_I) {
        l_Decay[l_I] = std::exp(-Time(l_I) / p_Decay);
    }
    Random l_Random(p_Seed);
    for (double l_Hz : p_Hz) {
        const double l_Phase = 2.0 * PI * l_Random.Uniform();
        const double l_Level = 0.5 + 0.5 * l_Random.Uniform();
        for (std::size_t l_I = 0; l_I < p_Out.size(); ++l_I) {
            const double l_T = Time(l_I);
            p_Out[l_I] += p_Amp * l_Level * l_Decay[l_I] * std::sin(2.0 * PI * l_Hz * l_T + l_Phase);
        }
    }
}

void Filter(Buffer& p_Buffer, Biquad p_Filter)
{
    for (double& l_X : p_Buffer) {
        l_X = p_Filter.Run(l_X);
    }
}

// Soft clipping for a little extra weight on the deep drum.
void Saturate(Buffer& p_Buffer, double p_Drive)
{
    for (double& l_X : p_Buffer) {
        l_X = std::tanh(p_Drive * l_X) / std::tanh(p_Drive);
    }
}

// Rounds off both ends (so the shot starts and ends at exactly zero), scales it to the peak
// p_Peak of full scale and converts to 16 bits.
std::vector<std::int16_t> Finish(Buffer p_Buffer, double p_Peak)
{
    const std::size_t l_Size = p_Buffer.size();
    for (std::size_t l_I = 0; l_I < std::min<std::size_t>(FADE_IN, l_Size); ++l_I) {
        const double l_Ramp = std::sin(0.5 * PI * l_I / FADE_IN);
        p_Buffer[l_I] *= l_Ramp * l_Ramp;
    }
    const std::size_t l_Tail = static_cast<std::size_t>(l_Size * FADE_OUT);
    for (std::size_t l_I = 0; l_I < l_Tail; ++l_I) {
        const double l_Ramp = std::cos(0.5 * PI * (l_I + 1.0) / l_Tail);  // reaches 0 at the last sample
        p_Buffer[l_Size - l_Tail + l_I] *= l_Ramp * l_Ramp;
    }
    double l_Max = 0.0;
    for (double l_X : p_Buffer) {
        l_Max = std::max(l_Max, std::fabs(l_X));
    }
    std::vector<std::int16_t> l_Pcm(l_Size);
    for (std::size_t l_I = 0; l_I < l_Size; ++l_I) {
        l_Pcm[l_I] = static_cast<std::int16_t>(std::lround(p_Buffer[l_I] / l_Max * p_Peak * 32767.0));
    }
    return l_Pcm;
}

Biquad Lp(double p_Hz, double p_Q = 0.707) { return Biquad::LowPass(RATE, p_Hz, p_Q); }
Biquad Hp(double p_Hz, double p_Q = 0.707) { return Biquad::HighPass(RATE, p_Hz, p_Q); }
Biquad Bp(double p_Hz, double p_Q) { return Biquad::BandPass(RATE, p_Hz, p_Q); }

// Bass drums: a sine that drops quickly in pitch, with a short click of noise for the beater.
std::vector<std::int16_t> Kick(double p_Seconds, double p_Start, double p_End, double p_Glide, double p_Decay,
                               double p_Click, double p_Drive, std::uint64_t p_Seed)
{
    Buffer l_Out = Silence(p_Seconds);
    AddSweptSine(l_Out, 1.0, p_Start, p_End, p_Glide, p_Decay);
    AddNoise(l_Out, p_Seed, p_Click, 0.003, {Lp(4000.0), Hp(300.0)});
    if (p_Drive > 0.0) {
        Saturate(l_Out, p_Drive);
    }
    return Finish(l_Out, 0.9);
}

// Snares: a short two-mode drum tone plus the rattle of the wires (band-limited noise).
std::vector<std::int16_t> Snare(double p_Seconds, double p_Body, double p_BodyDecay, double p_Low,
                                double p_High, double p_WireDecay, double p_WireAmp, std::uint64_t p_Seed)
{
    Buffer l_Out = Silence(p_Seconds);
    AddSweptSine(l_Out, 0.6, p_Body * 1.15, p_Body, 0.01, p_BodyDecay);
    AddSweptSine(l_Out, 0.3, p_Body * 1.85, p_Body * 1.75, 0.01, p_BodyDecay * 0.7);
    AddNoise(l_Out, p_Seed, p_WireAmp, p_WireDecay, {Hp(p_Low), Hp(p_Low), Lp(p_High), Lp(p_High)});
    return Finish(l_Out, 0.8);
}

std::vector<std::int16_t> Tom(double p_Seconds, double p_Start, double p_End, double p_Decay,
                              std::uint64_t p_Seed)
{
    Buffer l_Out = Silence(p_Seconds);
    AddSweptSine(l_Out, 1.0, p_Start, p_End, 0.08, p_Decay);
    AddSweptSine(l_Out, 0.25, p_Start * 1.6, p_End * 1.6, 0.08, p_Decay * 0.5);
    AddNoise(l_Out, p_Seed, 0.25, 0.02, {Bp(1200.0, 0.8)});
    return Finish(l_Out, 0.85);
}

// Cymbal frequencies: six inharmonic partials in the ratios of a classic metallic cluster.
const std::vector<double> CYMBAL_HZ = {3150.0, 4270.0, 5480.0, 6930.0, 8120.0, 9870.0};

std::vector<std::int16_t> HiHat(double p_Seconds, double p_Decay, std::uint64_t p_Seed)
{
    Buffer l_Out = Silence(p_Seconds);
    AddMetal(l_Out, p_Seed, CYMBAL_HZ, 0.12, p_Decay);
    AddNoise(l_Out, p_Seed + 1, 1.0, p_Decay, {Hp(6500.0), Hp(6500.0), Lp(TOP_HZ)});
    Filter(l_Out, Lp(TOP_HZ));
    return Finish(l_Out, 0.55);
}

std::vector<std::int16_t> Crash()
{
    Buffer l_Out = Silence(2.4);
    Random l_Random(7);
    std::vector<double> l_Hz;
    for (int l_I = 0; l_I < 24; ++l_I) {
        l_Hz.push_back(2500.0 + 7500.0 * l_Random.Uniform());
    }
    AddMetal(l_Out, 8, l_Hz, 0.05, 0.5);
    AddNoise(l_Out, 9, 1.0, 0.55, {Hp(2500.0), Hp(2500.0), Lp(TOP_HZ)});
    AddNoise(l_Out, 10, 0.8, 0.08, {Hp(5000.0), Lp(TOP_HZ)});  // the bright splash of the hit
    Filter(l_Out, Lp(TOP_HZ));
    return Finish(l_Out, 0.6);
}

// Hand clap: a few quick bursts of band-passed noise, then a short reverberant tail.
std::vector<std::int16_t> Clap()
{
    Buffer l_Out = Silence(0.4);
    const double l_Bursts[4] = {0.0, 0.009, 0.019, 0.031};
    for (int l_B = 0; l_B < 4; ++l_B) {
        Buffer l_Burst = Silence(0.4);
        AddNoise(l_Burst, 20 + l_B, 1.0, 0.004, {Bp(1100.0, 1.2), Hp(500.0)}, l_Bursts[l_B]);
        for (std::size_t l_I = 0; l_I < l_Out.size(); ++l_I) {
            l_Out[l_I] += l_Burst[l_I];
        }
    }
    AddNoise(l_Out, 30, 0.55, 0.08, {Bp(1300.0, 0.9), Lp(6000.0)}, 0.031);
    return Finish(l_Out, 0.75);
}

// Cowbell: two band-limited square tones a little over a fifth apart, band-passed, with a sharp
// first strike and a shorter ring.
std::vector<std::int16_t> Cowbell()
{
    Buffer l_Out = Silence(0.45);
    // One envelope for every partial, worked out once.
    Buffer l_Env(l_Out.size());
    for (std::size_t l_I = 0; l_I < l_Out.size(); ++l_I) {
        l_Env[l_I] = 0.6 * std::exp(-Time(l_I) / 0.012) + 0.4 * std::exp(-Time(l_I) / 0.11);
    }
    for (double l_Hz : {545.0, 815.0}) {
        for (int l_H = 1; l_H * l_Hz < 9000.0; l_H += 2) {
            for (std::size_t l_I = 0; l_I < l_Out.size(); ++l_I) {
                l_Out[l_I] += l_Env[l_I] * std::sin(2.0 * PI * l_H * l_Hz * Time(l_I)) / l_H;
            }
        }
    }
    Filter(l_Out, Bp(800.0, 1.4));
    return Finish(l_Out, 0.6);
}

// The sound of drum p_Index of the bank (Org::DRUM_NAMES names them in the same order).
std::vector<std::int16_t> DrumSound(int p_Index)
{
    switch (p_Index) {
    case 0:
        return Kick(0.5, 150.0, 48.0, 0.035, 0.14, 0.35, 0.0, 1);
    case 1:
        return Kick(1.0, 100.0, 42.0, 0.06, 0.3, 0.2, 1.6, 2);
    case 2:
        return Snare(0.45, 180.0, 0.05, 1200.0, 9000.0, 0.11, 0.9, 3);
    case 3:
        return Snare(0.3, 230.0, 0.03, 2500.0, 11000.0, 0.07, 1.0, 4);
    case 4:
        return Tom(0.7, 200.0, 140.0, 0.2, 5);
    case 5:
        return HiHat(0.15, 0.022, 6);
    case 6:
        return HiHat(0.8, 0.2, 11);
    case 7:
        return Crash();
    case 8:
        return Clap();
    case 9:
        return Cowbell();
    case 10:
        return Kick(0.3, 220.0, 58.0, 0.02, 0.07, 0.5, 0.0, 12);
    case 11:
        return Tom(0.9, 130.0, 90.0, 0.28, 13);
    default:
        return {};
    }
}

}  // namespace

Drum PercussionDrum(int p_Index)
{
    if (p_Index < 0 || p_Index >= DRUM_COUNT)
        return {};
    return {std::string(Org::DRUM_NAMES[p_Index]) + ".wav", DrumSound(p_Index)};
}

std::vector<Drum> PercussionBank()
{
    std::vector<Drum> l_Bank;
    for (int l_I = 0; l_I < DRUM_COUNT; ++l_I)
        l_Bank.push_back(PercussionDrum(l_I));
    return l_Bank;
}

}  // namespace SampleGen
