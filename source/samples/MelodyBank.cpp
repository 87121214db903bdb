#include "MelodyBank.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "Dsp.h"
#include "InstrumentNames.h"

namespace SampleGen {

namespace {

// Harmonic content is capped so that the notes songs use most (up to about 1 kHz) keep their
// partials below half of a 44.1 kHz output rate; the "bass" shapes carry more partials because
// they are meant for low notes.
constexpr int TOP_SOFT = 8;
constexpr int TOP = 16;
constexpr int TOP_BRIGHT = 24;
constexpr int TOP_BASS = 40;

// A sparse set of harmonics with the given amplitudes.
Spectrum Partials(std::initializer_list<std::pair<int, double>> p_List)
{
    int l_Top = 1;
    for (const auto& l_Pair : p_List) {
        l_Top = std::max(l_Top, l_Pair.first);
    }
    Spectrum l_Spectrum;
    for (const auto& l_Pair : p_List) {
        l_Spectrum.Set(l_Pair.first, l_Pair.second, PI * l_Pair.first * l_Pair.first / (l_Top + 1.0));
    }
    return l_Spectrum;
}

// Tone-wheel organ: seven drawbars sounding harmonics 1, 2, 3, 4, 5, 6 and 8; each drawbar step
// is 3 dB, and 0 is off.
Spectrum Drawbars(const char* p_Levels)
{
    static const int l_Harmonics[7] = {1, 2, 3, 4, 5, 6, 8};
    Spectrum l_Spectrum;
    for (int l_I = 0; l_I < 7 && p_Levels[l_I] != '\0'; ++l_I) {
        const int l_Level = p_Levels[l_I] - '0';
        if (l_Level > 0) {
            // Tone wheels run free, so each has its own fixed phase.
            l_Spectrum.Set(l_Harmonics[l_I], std::pow(10.0, -(8 - l_Level) * 3.0 / 20.0), 0.9 * l_I * l_I);
        }
    }
    return l_Spectrum;
}

// Brass-like: partials rise as h^alpha and fall away as exp(-h/beta), peaking near alpha*beta.
Spectrum Brass(double p_Alpha, double p_Beta, int p_Top)
{
    return Shaped(p_Top, [=](int p_H) { return std::pow(p_H, p_Alpha) * std::exp(-p_H / p_Beta); });
}

// Multiplies the partials by a resonance of the given centre (a harmonic number) and width.
Spectrum Resonate(Spectrum p_Spectrum, double p_Centre, double p_Width, double p_Gain)
{
    for (int l_H = 1; l_H <= HARMONIC_LIMIT; ++l_H) {
        const double l_Distance = (l_H - p_Centre) / p_Width;
        p_Spectrum.amp[l_H] *= 1.0 + p_Gain / (1.0 + l_Distance * l_Distance);
    }
    return p_Spectrum;
}

// A string plucked (or struck) at a fraction p_Point of its length: the partials that have a
// node there are missing.
Spectrum Pluck(double p_Point, int p_Top, double p_Tilt)
{
    return Shaped(p_Top, [=](int p_H) { return std::sin(PI * p_H * p_Point) / std::pow(p_H, p_Tilt); });
}

struct Formants
{
    double f1, f2, f3;
};

// Sung vowels (adult male averages); the other voices scale them.
constexpr Formants VOWEL_A{730, 1090, 2440};
constexpr Formants VOWEL_E{530, 1840, 2480};
constexpr Formants VOWEL_I{270, 2290, 3010};
constexpr Formants VOWEL_O{570, 840, 2410};
constexpr Formants VOWEL_U{300, 870, 2240};

// A voice singing a vowel at the reference pitch p_Fundamental: a glottal source falling off as
// h^-p_Tilt shaped by three formant resonances. The cycle keeps that spectrum at every note, so
// the vowel sounds truest near its reference pitch.
Spectrum Vowel(double p_Fundamental, Formants p_Formants, double p_Scale, int p_Top, double p_Tilt)
{
    const double l_F[3] = {p_Formants.f1 * p_Scale, p_Formants.f2 * p_Scale, p_Formants.f3 * p_Scale};
    const double l_Width[3] = {130.0, 180.0, 250.0};
    const double l_Gain[3] = {1.0, 0.6, 0.35};
    return Shaped(p_Top, [=](int p_H) {
        const double l_Frequency = p_H * p_Fundamental;
        double l_Sum = 0.02;  // a little energy between the formants
        for (int l_K = 0; l_K < 3; ++l_K) {
            const double l_D = (l_Frequency - l_F[l_K]) / (l_Width[l_K] / 2.0);
            l_Sum += l_Gain[l_K] / std::sqrt(1.0 + l_D * l_D);
        }
        return l_Sum / std::pow(p_H, p_Tilt);
    });
}

// A saw with a second, quieter saw an octave above it, out of phase with the first.
Spectrum DoubleSaw(int p_Top)
{
    Spectrum l_Octave;
    for (int l_H = 1; 2 * l_H <= p_Top; ++l_H) {
        l_Octave.Set(2 * l_H, 0.5 / l_H, PI / 3.0);
    }
    return Saw(p_Top).Mix(l_Octave, 1.0);
}

Spectrum Plus(Spectrum p_A, const Spectrum& p_B, double p_Gain) { return p_A.Mix(p_B, p_Gain); }

// Shapes of a phase (0 to 1) for the few waveforms easier to describe in time than in partials.
double Fm(double p_Phase, double p_Ratio, double p_Index)
{
    return std::sin(2.0 * PI * p_Phase + p_Index * std::sin(2.0 * PI * p_Ratio * p_Phase));
}

double SyncedSaw(double p_Phase, double p_Ratio)
{
    const double l_Slave = p_Phase * p_Ratio;
    return 2.0 * (l_Slave - std::floor(l_Slave)) - 1.0;
}

// Appends p_Spectrum to p_Bank under the name of its place in Org::WAVEFORM_NAMES. (One too many
// is caught by the count check of RenderMelodyBank.)
void Add(std::vector<Timbre>& p_Bank, const Spectrum& p_Spectrum)
{
    const std::size_t l_Index = p_Bank.size();
    p_Bank.push_back(
        {l_Index < std::size(Org::WAVEFORM_NAMES) ? Org::WAVEFORM_NAMES[l_Index] : "unnamed", p_Spectrum});
}

// 0-9: basic shapes.
void AddBasicShapes(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Partials({{1, 1.0}}));
    Add(p_Bank, Triangle(15));
    Add(p_Bank, Saw(TOP));
    Add(p_Bank, Square(TOP - 1));
    Add(p_Bank, Saw(TOP_SOFT - 2));
    Add(p_Bank, Square(TOP_SOFT - 1));
    Add(p_Bank, Saw(TOP_BASS));
    Add(p_Bank, Square(TOP_BASS - 1));
    Add(p_Bank, Saw(12, 1.6));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.35}, {3, 0.12}}));
}

// 10-19: pulse widths.
void AddPulses(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Pulse(0.125, TOP));
    Add(p_Bank, Pulse(1.0 / 6.0, TOP));
    Add(p_Bank, Pulse(0.25, TOP));
    Add(p_Bank, Pulse(1.0 / 3.0, TOP));
    Add(p_Bank, Pulse(0.375, TOP));
    Add(p_Bank, Pulse(0.125, TOP_SOFT));
    Add(p_Bank, Pulse(0.25, TOP_SOFT));
    Add(p_Bank, Pulse(0.0625, TOP_BRIGHT));
    Add(p_Bank, Pulse(0.25, TOP_BASS));
    Add(p_Bank, Pulse(0.125, TOP_BASS));
}

// 20-34: organs. Drawbars sound harmonics 1, 2, 3, 4, 5, 6, 8.
void AddOrgans(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Drawbars("8600000"));
    Add(p_Bank, Drawbars("8864000"));
    Add(p_Bank, Drawbars("8888888"));
    Add(p_Bank, Drawbars("8880000"));
    Add(p_Bank, Drawbars("8468006"));
    Add(p_Bank, Drawbars("8080800"));
    Add(p_Bank, Drawbars("6446668"));
    Add(p_Bank, Drawbars("8402000"));
    Add(p_Bank, Drawbars("8404000"));
    Add(p_Bank, Drawbars("5885446"));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.7}, {3, 0.4}, {4, 0.3}, {5, 0.15}, {6, 0.12}, {8, 0.06}}));
    Add(p_Bank, Shaped(20, [](int p_H) { return 1.0 / std::pow(p_H, 0.7); }));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.15}, {3, 0.18}, {4, 0.05}}));
    Add(p_Bank, Drawbars("8008000"));
    Add(p_Bank, Drawbars("8758328"));
}

// 35-46: brass.
void AddBrass(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Brass(1.0, 2.5, 20));
    Add(p_Bank, Brass(1.2, 3.5, TOP_BRIGHT));
    Add(p_Bank, Resonate(Brass(0.5, 6.0, TOP_BRIGHT), 9.0, 2.0, 3.0));
    Add(p_Bank, Brass(0.3, 1.4, 12));
    Add(p_Bank, Brass(2.0, 1.2, 20));
    Add(p_Bank, Brass(0.6, 3.0, 32));
    Add(p_Bank, Resonate(Saw(TOP_BRIGHT), 5.0, 1.5, 2.0));
    Add(p_Bank, Resonate(Saw(12, 1.3), 3.0, 1.0, 1.5));
    Add(p_Bank, Resonate(Brass(0.6, 5.0, TOP_BRIGHT), 8.0, 3.0, 1.5));
    Add(p_Bank, Brass(0.4, 2.2, 12));
    Add(p_Bank, Brass(0.9, 2.2, TOP));
    Add(p_Bank, Shaped(20, [](int p_H) {
            return std::pow(p_H, 1.0) * std::exp(-p_H / 3.0) * (p_H % 2 ? 1.0 : 0.5);
        }));
}

// 47-58: strings and reeds.
void AddStringsAndReeds(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Resonate(Resonate(Saw(TOP_BRIGHT, 0.9), 3.0, 1.0, 1.2), 5.5, 1.5, 0.8));
    Add(p_Bank, Resonate(Resonate(Saw(20), 2.5, 1.0, 1.0), 4.0, 1.0, 0.6));
    Add(p_Bank, Resonate(Resonate(Saw(32), 2.0, 0.8, 0.8), 6.0, 2.0, 0.6));
    Add(p_Bank, Saw(TOP_BASS, 1.2));
    Add(p_Bank, Resonate(Saw(TOP, 1.4), 4.0, 2.0, 0.7));
    Add(p_Bank, Pluck(0.2, 20, 2.0));
    Add(p_Bank, Pluck(0.12, TOP, 1.5));
    Add(p_Bank, Partials({{1, 1.0},
                          {2, 0.04},
                          {3, 0.75},
                          {4, 0.05},
                          {5, 0.5},
                          {6, 0.04},
                          {7, 0.3},
                          {9, 0.18},
                          {11, 0.1},
                          {13, 0.05}}));
    Add(p_Bank, Partials({{1, 0.5},
                          {2, 0.9},
                          {3, 1.0},
                          {4, 0.8},
                          {5, 0.5},
                          {6, 0.4},
                          {7, 0.25},
                          {8, 0.15},
                          {9, 0.1},
                          {10, 0.06}}));
    Add(p_Bank, Partials({{1, 0.4},
                          {2, 0.6},
                          {3, 1.0},
                          {4, 0.9},
                          {5, 0.6},
                          {6, 0.45},
                          {7, 0.3},
                          {8, 0.25},
                          {9, 0.15},
                          {10, 0.1},
                          {12, 0.06},
                          {14, 0.04}}));
    Add(p_Bank, Resonate(Saw(18, 0.8), 4.0, 1.5, 1.5));
    Add(p_Bank, Resonate(Pulse(0.42, 20), 3.0, 1.0, 1.0));
}

// 59-70: bells, mallets and keys: static spectra with the strong upper partials of struck
// bars and bells (moved to the nearest harmonic, since a cycle holds only harmonics).
void AddBellsAndKeys(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.15}, {4, 0.25}, {6, 0.2}, {10, 0.1}}));
    Add(p_Bank, Partials({{1, 1.0}, {3, 0.1}, {4, 0.45}, {7, 0.05}}));
    Add(p_Bank, Partials({{1, 1.0}, {3, 0.5}, {5, 0.35}, {9, 0.25}}));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.2}, {4, 0.35}, {8, 0.15}}));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.4}, {5, 0.3}, {7, 0.25}, {12, 0.1}}));
    Add(p_Bank, Partials({{1, 0.5}, {2, 1.0}, {3, 0.7}, {4, 0.4}, {5, 0.6}, {8, 0.3}, {11, 0.2}}));
    Add(p_Bank,
        Partials({{1, 0.8}, {2, 1.0}, {3, 0.6}, {4, 0.7}, {6, 0.5}, {8, 0.4}, {10, 0.25}, {16, 0.1}}));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.3}, {3, 0.1}, {7, 0.15}, {14, 0.08}}));
    Add(p_Bank, FromFunction(TOP, [](double p_Phase) { return Fm(p_Phase, 1.0, 1.2); }));
    Add(p_Bank, Resonate(Pulse(0.22, TOP_BRIGHT), 8.0, 3.0, 1.0));
    Add(p_Bank, Resonate(Pluck(0.09, TOP_BRIGHT, 0.8), 12.0, 4.0, 1.0));
    Add(p_Bank, Partials({{1, 1.0}, {2, 0.8}, {3, 0.3}, {4, 0.5}, {6, 0.2}}));
}

// 71-84: voices. Vowels at a reference pitch: 110 Hz bass, 220 Hz tenor, 330 Hz alto,
// 440 Hz soprano (formants raised for the higher voices).
void AddVoices(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Vowel(110.0, VOWEL_A, 1.0, 32, 1.0));
    Add(p_Bank, Vowel(110.0, VOWEL_O, 1.0, 32, 1.0));
    Add(p_Bank, Vowel(110.0, VOWEL_U, 1.0, TOP_BRIGHT, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_A, 1.0, TOP, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_E, 1.0, TOP, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_I, 1.0, TOP, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_O, 1.0, 14, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_U, 1.0, 12, 1.0));
    Add(p_Bank, Vowel(330.0, VOWEL_A, 1.15, 12, 1.0));
    Add(p_Bank, Vowel(440.0, VOWEL_I, 1.2, 10, 1.0));
    Add(p_Bank, Vowel(440.0, VOWEL_O, 1.2, TOP_SOFT, 1.0));
    Add(p_Bank, Vowel(220.0, VOWEL_A, 1.05, TOP, 1.6));
    Add(p_Bank, Vowel(220.0, Formants{250, 2000, 2800}, 1.0, TOP, 0.8));
    Add(p_Bank, Vowel(220.0, Formants{660, 1700, 2400}, 1.0, TOP_BRIGHT, 0.6));
}

// 85-89: synthesiser tones.
void AddSynthTones(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, FromFunction(32, [](double p_Phase) { return Fm(p_Phase, 1.0, 2.5); }));
    Add(p_Bank, FromFunction(TOP_BRIGHT, [](double p_Phase) { return Fm(p_Phase, 3.0, 1.5); }));
    Add(p_Bank, FromFunction(20, [](double p_Phase) { return SyncedSaw(p_Phase, 2.5); }));
    Add(p_Bank, Resonate(Saw(TOP_BRIGHT), 6.0, 0.7, 4.0));
    Add(p_Bank, DoubleSaw(TOP));
}

// 90-99: noisy cycles (fixed seeds). Each repeats at the note's pitch, so it sounds as a
// buzzy, breathy tone rather than as pure noise.
void AddNoisyCycles(std::vector<Timbre>& p_Bank)
{
    Add(p_Bank, Noise(90, 1, TOP_BRIGHT, 0.0));
    Add(p_Bank, Noise(91, 1, TOP_SOFT, 0.0));
    Add(p_Bank, Noise(92, 4, TOP, 0.0));
    Add(p_Bank, Noise(93, 8, TOP_BRIGHT, 0.0));
    Add(p_Bank, Noise(94, 1, 32, 0.5));
    Add(p_Bank, Plus(Partials({{1, 1.0}, {2, 0.1}}), Noise(95, 2, TOP, 0.3), 0.08));
    Add(p_Bank, Plus(Vowel(220.0, VOWEL_A, 1.0, TOP, 1.0), Noise(96, 2, TOP_BRIGHT, 0.5), 0.12));
    Add(p_Bank, Plus(Saw(12), Noise(97, 1, 20, 0.5), 0.3));
    Add(p_Bank, Noise(98, 1, TOP_BASS, 1.0));
    Add(p_Bank, Noise(99, 2, 12, 0.2));
}

}  // namespace

std::vector<Timbre> MelodyBank()
{
    std::vector<Timbre> l_Bank;
    l_Bank.reserve(MELODY_COUNT);
    AddBasicShapes(l_Bank);
    AddPulses(l_Bank);
    AddOrgans(l_Bank);
    AddBrass(l_Bank);
    AddStringsAndReeds(l_Bank);
    AddBellsAndKeys(l_Bank);
    AddVoices(l_Bank);
    AddSynthTones(l_Bank);
    AddNoisyCycles(l_Bank);
    return l_Bank;
}

bool RenderMelodyBank(std::vector<std::vector<std::int16_t>>& p_Cycles, std::string& p_Error)
{
    const std::vector<Timbre> l_Bank = MelodyBank();
    if (l_Bank.size() != MELODY_COUNT) {
        p_Error = "internal error: the melody bank has " + std::to_string(l_Bank.size()) +
                  " waveforms, not " + std::to_string(MELODY_COUNT);
        return false;
    }
    p_Cycles.assign(l_Bank.size(), {});
    for (std::size_t l_I = 0; l_I < l_Bank.size(); ++l_I) {
        std::string l_Error;
        if (!RenderCycle(l_Bank[l_I].spectrum, MELODY_RMS, p_Cycles[l_I], l_Error)) {
            p_Error = "melody " + std::to_string(l_I) + " (" + l_Bank[l_I].name + "): " + l_Error;
            return false;
        }
    }
    return true;
}

}  // namespace SampleGen
