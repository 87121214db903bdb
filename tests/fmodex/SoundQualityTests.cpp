// What the resamplers and the gain ramps sound like, measured on the engine's own test tones:
// signal to noise of each resampler, what the band-limited one keeps out of high and low notes, and
// the energy a note change, a stop or a volume step leaves above the tone.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>

using namespace EngineTest;

namespace {

constexpr double kPi = 3.14159265358979323846;

FMOD_SOUND* LoadLoop(OfflineSystem& p_Engine, const std::string& p_Name, const std::vector<float>& p_Samples)
{
    WriteSound(p_Engine.dir.Path(p_Name), p_Samples, 1, kRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    return p_Engine.Load(p_Engine.dir.Path(p_Name), FMOD_SOFTWARE | FMOD_LOOP_NORMAL);
}

FMOD_CHANNEL* PlayLeft(OfflineSystem& p_Engine, FMOD_SOUND* p_Sound, float p_Frequency)
{
    FMOD_CHANNEL* l_Channel = p_Engine.Play(p_Sound);
    EXPECT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_SetFrequency(l_Channel, p_Frequency), FMOD_OK);
    return l_Channel;
}

// dB of the samples' least-squares fit to a sine of p_Hz (with any constant) over what is left.
double ToneToRest(const std::vector<float>& p_Samples, double p_Hz)
{
    double l_M[3][3] = {};
    double l_V[3] = {};
    for (std::size_t l_Index = 0; l_Index < p_Samples.size(); ++l_Index) {
        const double l_Angle = 2.0 * kPi * p_Hz * double(l_Index) / kRate;
        const double l_Basis[3] = {std::cos(l_Angle), std::sin(l_Angle), 1.0};
        for (int l_Row = 0; l_Row < 3; ++l_Row) {
            l_V[l_Row] += l_Basis[l_Row] * p_Samples[l_Index];
            for (int l_Column = 0; l_Column < 3; ++l_Column)
                l_M[l_Row][l_Column] += l_Basis[l_Row] * l_Basis[l_Column];
        }
    }
    // Cramer's rule for the three weights.
    auto l_Det = [](const double p_A[3][3]) {
        return p_A[0][0] * (p_A[1][1] * p_A[2][2] - p_A[1][2] * p_A[2][1]) -
               p_A[0][1] * (p_A[1][0] * p_A[2][2] - p_A[1][2] * p_A[2][0]) +
               p_A[0][2] * (p_A[1][0] * p_A[2][1] - p_A[1][1] * p_A[2][0]);
    };
    double l_Weights[3];
    for (int l_Column = 0; l_Column < 3; ++l_Column) {
        double l_A[3][3];
        for (int l_Row = 0; l_Row < 3; ++l_Row)
            for (int l_Other = 0; l_Other < 3; ++l_Other)
                l_A[l_Row][l_Other] = l_Other == l_Column ? l_V[l_Row] : l_M[l_Row][l_Other];
        l_Weights[l_Column] = l_Det(l_A) / l_Det(l_M);
    }
    double l_Tone = 0.0;
    double l_Rest = 0.0;
    for (std::size_t l_Index = 0; l_Index < p_Samples.size(); ++l_Index) {
        const double l_Angle = 2.0 * kPi * p_Hz * double(l_Index) / kRate;
        const double l_Fit = l_Weights[0] * std::cos(l_Angle) + l_Weights[1] * std::sin(l_Angle);
        l_Tone += l_Fit * l_Fit;
        const double l_Left = p_Samples[l_Index] - l_Fit - l_Weights[2];
        l_Rest += l_Left * l_Left;
    }
    return 10.0 * std::log10(l_Tone / std::max(l_Rest, 1e-30));
}

TEST(SoundQuality, ResamplersRankNearestLinearCubicSplineBySignalToNoise)
{
    // A 32-frame sine cycle at its own rate and up to more than three octaves above it.
    const unsigned kCycle = 32;
    const double kPitches[] = {0.73, 1.37, 2.9, 5.3, 8.6};
    const char* const kNames[] = {"nearest", "linear", "cubic", "spline"};
    double l_Snr[4][5];
    for (int l_Resampler = 0; l_Resampler < 4; ++l_Resampler) {
        OfflineSystem l_Engine(4800, 32, FMOD_DSP_RESAMPLER(l_Resampler));
        FMOD_SOUND* l_Sine = LoadLoop(l_Engine, "sine.wav", Sine(kCycle, kCycle, 0.9f));
        for (double l_Pitch : kPitches) {
            FMOD_CHANNEL* l_Channel = PlayLeft(l_Engine, l_Sine, float(kRate * l_Pitch));
            l_Engine.Render(2);
            ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
        }
        const Stereo l_Mix = l_Engine.Mixed();
        for (int l_Case = 0; l_Case < 5; ++l_Case)
            l_Snr[l_Resampler][l_Case] =
                ToneToRest(l_Mix.Channel(0, l_Case * 9600 + 2400, 4800), kRate * kPitches[l_Case] / kCycle);
    }
    std::printf("signal to noise (dB), 32-frame sine cycle, by pitch over its own rate:\n%-8s", "");
    for (double l_Pitch : kPitches)
        std::printf(" %7.2fx", l_Pitch);
    for (int l_Resampler = 0; l_Resampler < 4; ++l_Resampler) {
        std::printf("\n%-8s", kNames[l_Resampler]);
        for (int l_Case = 0; l_Case < 5; ++l_Case)
            std::printf(" %8.1f", l_Snr[l_Resampler][l_Case]);
    }
    std::printf("\n");
    for (int l_Case = 0; l_Case < 5; ++l_Case) {
        EXPECT_LT(l_Snr[0][l_Case], l_Snr[1][l_Case]) << "pitch " << kPitches[l_Case];
        EXPECT_LT(l_Snr[1][l_Case] + 10.0, l_Snr[2][l_Case]) << "pitch " << kPitches[l_Case];
        // Both may reach the 16-bit output's own floor.
        EXPECT_LE(l_Snr[2][l_Case], l_Snr[3][l_Case] + 0.5) << "pitch " << kPitches[l_Case];
    }
}

// Power per bin (0 .. half the rate) of the Blackman-Harris-windowed samples, whose count is a
// power of two. The window's side lobes lie 92 dB down, so a tone's power stays within 4 bins.
std::vector<double> PowerSpectrum(const std::vector<float>& p_Samples)
{
    const std::size_t l_Count = p_Samples.size();
    std::vector<std::complex<double>> l_Bins(l_Count);
    for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
        const double l_Phase = 2.0 * kPi * double(l_Index) / double(l_Count);
        l_Bins[l_Index] =
            p_Samples[l_Index] * (0.35875 - 0.48829 * std::cos(l_Phase) + 0.14128 * std::cos(2 * l_Phase) -
                                  0.01168 * std::cos(3 * l_Phase));
    }
    // Iterative radix-2 FFT: bit-reversed order, then butterflies.
    for (std::size_t l_Index = 1, l_Reversed = 0; l_Index < l_Count; ++l_Index) {
        std::size_t l_Bit = l_Count >> 1;
        for (; l_Reversed & l_Bit; l_Bit >>= 1)
            l_Reversed ^= l_Bit;
        l_Reversed ^= l_Bit;
        if (l_Index < l_Reversed)
            std::swap(l_Bins[l_Index], l_Bins[l_Reversed]);
    }
    for (std::size_t l_Length = 2; l_Length <= l_Count; l_Length <<= 1) {
        const std::complex<double> l_Turn = std::polar(1.0, -2.0 * kPi / double(l_Length));
        for (std::size_t l_Start = 0; l_Start < l_Count; l_Start += l_Length) {
            std::complex<double> l_Twiddle = 1.0;
            for (std::size_t l_Index = 0; l_Index < l_Length / 2; ++l_Index) {
                const std::complex<double> l_Odd = l_Twiddle * l_Bins[l_Start + l_Index + l_Length / 2];
                l_Bins[l_Start + l_Index + l_Length / 2] = l_Bins[l_Start + l_Index] - l_Odd;
                l_Bins[l_Start + l_Index] += l_Odd;
                l_Twiddle *= l_Turn;
            }
        }
    }
    std::vector<double> l_Power(l_Count / 2 + 1);
    for (std::size_t l_Bin = 0; l_Bin < l_Power.size(); ++l_Bin)
        l_Power[l_Bin] = std::norm(l_Bins[l_Bin]);
    return l_Power;
}

// A 256-frame cycle rich in harmonics (a ramp: harmonic k at 1/k), with no constant part.
std::vector<float> Ramp256()
{
    std::vector<float> l_Cycle(256);
    for (unsigned l_Frame = 0; l_Frame < 256; ++l_Frame)
        l_Cycle[l_Frame] = 0.5f * ((float(l_Frame) + 0.5f) / 128.0f - 1.0f);
    return l_Cycle;
}

// dB of the power within 8 bins of the cycle's harmonics (those below the cycle's own half rate
// and the output's) over all the rest from 20 Hz up.
double HarmonicsToRest(const std::vector<float>& p_Samples, double p_Fundamental)
{
    const std::vector<double> l_Power = PowerSpectrum(p_Samples);
    const double l_BinHz = double(kRate) / double(p_Samples.size());
    double l_Harmonics = 0.0;
    double l_Rest = 0.0;
    for (std::size_t l_Bin = std::size_t(20.0 / l_BinHz); l_Bin < l_Power.size(); ++l_Bin) {
        const double l_Hz = double(l_Bin) * l_BinHz;
        const double l_Nearest = std::max(1.0, std::round(l_Hz / p_Fundamental));
        const bool l_Harmonic = l_Nearest < 128 && std::fabs(l_Hz - l_Nearest * p_Fundamental) <= 8 * l_BinHz;
        (l_Harmonic ? l_Harmonics : l_Rest) += l_Power[l_Bin];
    }
    return 10.0 * std::log10(l_Harmonics / std::max(l_Rest, 1e-30));
}

const char* const kResamplerNames[] = {"nearest", "linear", "cubic", "spline", "sinc"};
const FMOD_DSP_RESAMPLER kResamplers[] = {FMOD_DSP_RESAMPLER_NOINTERP, FMOD_DSP_RESAMPLER_LINEAR,
                                          FMOD_DSP_RESAMPLER_CUBIC, FMOD_DSP_RESAMPLER_SPLINE,
                                          FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC};

TEST(SoundQuality, SincKeepsHighAndLowNotesClearOfFoldedAndImagedEnergy)
{
    // A held note near 3.5 kHz, read about 19 frames per output frame (its harmonics above 24 kHz
    // fold back), and one near 55 Hz, read slower than the output (its images must go).
    const double kNotes[] = {3520.0, 55.0};
    double l_Clear[5][2];
    for (int l_Resampler = 0; l_Resampler < 5; ++l_Resampler) {
        OfflineSystem l_Engine(4096, 32, kResamplers[l_Resampler]);
        FMOD_SOUND* l_Ramp = LoadLoop(l_Engine, "ramp.wav", Ramp256());
        for (int l_Note = 0; l_Note < 2; ++l_Note) {
            FMOD_CHANNEL* l_Channel = PlayLeft(l_Engine, l_Ramp, float(kNotes[l_Note] * 256));
            l_Engine.Render(10);
            ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
            l_Clear[l_Resampler][l_Note] =
                HarmonicsToRest(l_Engine.Mixed().Channel(0, l_Note * 40960 + 4096, 32768), kNotes[l_Note]);
        }
    }
    std::printf("harmonics over all other energy (dB), 256-frame ramp cycle:\n%-8s %8s %8s\n", "", "3520 Hz",
                "55 Hz");
    for (int l_Resampler = 0; l_Resampler < 5; ++l_Resampler)
        std::printf("%-8s %8.1f %8.1f   (%+.1f, %+.1f against 70)\n", kResamplerNames[l_Resampler],
                    l_Clear[l_Resampler][0], l_Clear[l_Resampler][1], l_Clear[l_Resampler][0] - 70.0,
                    l_Clear[l_Resampler][1] - 70.0);
    for (int l_Note = 0; l_Note < 2; ++l_Note) {
        // 70 dB is what a held note needs; the filters measure 84 to 88.
        EXPECT_GE(l_Clear[4][l_Note], 80.0) << kNotes[l_Note] << " Hz";
        EXPECT_GT(l_Clear[4][l_Note], l_Clear[1][l_Note] + 10.0) << kNotes[l_Note] << " Hz";
    }
}

TEST(SoundQuality, SincKeepsTheTrebleOfASoundReadAtTheOutputRate)
{
    // Loops of 381 and 20 cycles in 960 frames (19.05 and 1 kHz at the output rate), read a little
    // under one frame per output frame, so that the tones pass through every phase of the filter.
    const double kCycles[] = {381.0, 20.0};
    const double kRead = 1.0 - 1.0 / 1024;
    OfflineSystem l_Engine(4800, 32, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC);
    double l_Level[2];
    for (int l_Tone = 0; l_Tone < 2; ++l_Tone) {
        FMOD_SOUND* l_Sound = LoadLoop(l_Engine, "tone" + std::to_string(l_Tone) + ".wav",
                                       Sine(960, 960.0 / kCycles[l_Tone], 0.5f));
        FMOD_CHANNEL* l_Channel = PlayLeft(l_Engine, l_Sound, float(kRate * kRead));
        l_Engine.Render(2);
        ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
        l_Level[l_Tone] = Rms(l_Engine.Mixed().Channel(0, std::size_t(l_Tone) * 9600 + 2400, 4800));
    }
    const double l_Db = 20.0 * std::log10(l_Level[0] / l_Level[1]);
    std::printf("sinc at %.0f Hz: %+.2f dB against 1 kHz\n", kCycles[0] * 50.0 * kRead, l_Db);
    EXPECT_GT(l_Db, -3.0);
}

TEST(SoundQuality, SincReadsEachSideOfAStereoLoopAsTheSameMonoLoop)
{
    // A ramp cycle on the left and five sine cycles on the right, read at steps that take every band
    // of the sound and of its octave copies, against the two as mono loops panned hard apart, each
    // case started on a block's first frame after a block for the stopped voices' fades.
    const std::vector<float> l_Left = Ramp256(), l_Right = Sine(256, 256.0 / 5, 0.5f);
    std::vector<float> l_Both;
    for (unsigned l_Frame = 0; l_Frame < 256; ++l_Frame) {
        l_Both.push_back(l_Left[l_Frame]);
        l_Both.push_back(l_Right[l_Frame]);
    }
    constexpr unsigned kBlock = 4096;
    OfflineSystem l_Engine(kBlock, 32, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC);
    WriteSound(l_Engine.dir.Path("both.wav"), l_Both, 2, kRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    FMOD_SOUND* l_Stereo = l_Engine.Load(l_Engine.dir.Path("both.wav"), FMOD_SOFTWARE | FMOD_LOOP_NORMAL);
    FMOD_SOUND* l_Monos[] = {LoadLoop(l_Engine, "left.wav", l_Left),
                             LoadLoop(l_Engine, "right.wav", l_Right)};
    const double kSteps[] = {0.7, 1.1, 1.3, 1.6, 1.9, 2.5, 5.3, 11.0};
    for (double l_Step : kSteps) {
        const float l_Frequency = float(kRate * l_Step);
        FMOD_CHANNEL* l_Channel = l_Engine.Play(l_Stereo);
        ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, l_Frequency), FMOD_OK);
        l_Engine.Render(1);
        ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
        l_Engine.Render(1);
        FMOD_CHANNEL* l_Apart[] = {PlayLeft(l_Engine, l_Monos[0], l_Frequency),
                                   PlayLeft(l_Engine, l_Monos[1], l_Frequency)};
        ASSERT_EQ(FMOD_Channel_SetPan(l_Apart[1], 1.0f), FMOD_OK);
        l_Engine.Render(1);
        for (FMOD_CHANNEL* l_Mono : l_Apart)
            ASSERT_EQ(FMOD_Channel_Stop(l_Mono), FMOD_OK);
        l_Engine.Render(1);
    }
    const Stereo l_Mix = l_Engine.Mixed();
    for (std::size_t l_Case = 0; l_Case < std::size(kSteps); ++l_Case) {
        const std::size_t l_Stereo = 4 * l_Case * kBlock, l_Mono = l_Stereo + 2 * kBlock;
        for (std::size_t l_Frame = 0; l_Frame < kBlock; ++l_Frame) {
            ASSERT_NEAR(l_Mix.Left(l_Stereo + l_Frame), l_Mix.Left(l_Mono + l_Frame), 1)
                << "step " << kSteps[l_Case] << " frame " << l_Frame;
            ASSERT_NEAR(l_Mix.Right(l_Stereo + l_Frame), l_Mix.Right(l_Mono + l_Frame), 1)
                << "step " << kSteps[l_Case] << " frame " << l_Frame;
        }
    }
}

TEST(SoundQuality, ASincSweepFromLowestToHighestPitchFoldsNothingBelowItsFundamental)
{
    // One voice glides up in sixth-octave steps from 32 Hz to 4.1 kHz (the song player's range for a
    // 256-frame cycle), each held for 20480 frames of which the last 16384 are measured.
    double l_Worst[2] = {-1000.0, -1000.0};
    double l_WorstAt[2] = {0.0, 0.0};
    const FMOD_DSP_RESAMPLER kCompared[] = {FMOD_DSP_RESAMPLER_LINEAR, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC};
    for (int l_Which = 0; l_Which < 2; ++l_Which) {
        OfflineSystem l_Engine(4096, 32, kCompared[l_Which]);
        FMOD_CHANNEL* l_Channel = PlayLeft(l_Engine, LoadLoop(l_Engine, "ramp.wav", Ramp256()), 32.0f * 256);
        const int kSteps = 43;
        for (int l_Step = 0; l_Step < kSteps; ++l_Step) {
            const double l_Fundamental = 32.0 * std::pow(2.0, l_Step / 6.0);
            ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, float(l_Fundamental * 256)), FMOD_OK);
            l_Engine.Render(5);
        }
        const Stereo l_Mix = l_Engine.Mixed();
        for (int l_Step = 0; l_Step < kSteps; ++l_Step) {
            const double l_Fundamental = 32.0 * std::pow(2.0, l_Step / 6.0);
            const std::vector<double> l_Power = PowerSpectrum(l_Mix.Channel(0, l_Step * 20480 + 4096, 16384));
            const double l_BinHz = double(kRate) / 16384;
            double l_Below = 0.0;
            double l_All = 0.0;
            for (std::size_t l_Bin = std::size_t(20.0 / l_BinHz); l_Bin < l_Power.size(); ++l_Bin) {
                l_All += l_Power[l_Bin];
                if (double(l_Bin) * l_BinHz < l_Fundamental - 10 * l_BinHz)
                    l_Below += l_Power[l_Bin];
            }
            const double l_Db = 10.0 * std::log10(std::max(l_Below, 1e-30) / l_All);
            if (l_Db > l_Worst[l_Which]) {
                l_Worst[l_Which] = l_Db;
                l_WorstAt[l_Which] = l_Fundamental;
            }
        }
    }
    std::printf("sweep 32 Hz - 4.1 kHz, worst energy below the fundamental: linear %.1f dB (at %.0f Hz), "
                "sinc %.1f dB (at %.0f Hz)\n",
                l_Worst[0], l_WorstAt[0], l_Worst[1], l_WorstAt[1]);
    EXPECT_LT(l_Worst[1], -85.0) << "at " << l_WorstAt[1] << " Hz";
}

TEST(SoundQuality, SincStartsNotesAsSoonAndAsLoudAsLinear)
{
    // A looping sine cycle at its own rate, a long sine one-shot three octaves and a bit up (read
    // from an octave copy) until it runs out, and the one-shot below its own rate (read from the
    // oversampled copy), each started on a block's first frame.
    const double kPitches[] = {1.0, 9.3, 0.6};
    constexpr int kCases = 3;
    double l_Level[2][kCases];
    long l_Onset[2][kCases];
    const FMOD_DSP_RESAMPLER kCompared[] = {FMOD_DSP_RESAMPLER_LINEAR, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC};
    for (int l_Which = 0; l_Which < 2; ++l_Which) {
        OfflineSystem l_Engine(4800, 32, kCompared[l_Which]);
        WriteSound(l_Engine.dir.Path("long.wav"), Sine(96000, 480, 0.8f), 1, kRate,
                   SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        FMOD_SOUND* const l_Sines[] = {
            LoadLoop(l_Engine, "sine.wav", Sine(480, 480, 0.8f)),
            l_Engine.Load(l_Engine.dir.Path("long.wav"), FMOD_SOFTWARE | FMOD_LOOP_OFF)};
        for (int l_Case = 0; l_Case < kCases; ++l_Case) {
            l_Engine.Render(1);
            FMOD_CHANNEL* l_Channel =
                PlayLeft(l_Engine, l_Sines[l_Case % 2], float(kRate * kPitches[l_Case]));
            l_Engine.Render(2);
            if (l_Case != 1) {
                ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
            }
        }
        l_Engine.Render(1);  // the one-shot (10,323 frames) ends
        const Stereo l_Mix = l_Engine.Mixed();
        for (int l_Case = 0; l_Case < kCases; ++l_Case) {
            const std::size_t l_Start = std::size_t(l_Case * 3 + 1) * 4800;
            l_Level[l_Which][l_Case] =
                20.0 * std::log10(Rms(l_Mix.Channel(0, l_Start + 2400, 4800)) / 32768.0);
            l_Onset[l_Which][l_Case] = -1;
            for (std::size_t l_Frame = l_Start - 100;
                 l_Frame < l_Start + 4800 && l_Onset[l_Which][l_Case] < 0; ++l_Frame)
                if (std::abs(l_Mix.Left(l_Frame)) > 1000)
                    l_Onset[l_Which][l_Case] = long(l_Frame) - long(l_Start);
        }
    }
    for (int l_Case = 0; l_Case < kCases; ++l_Case) {
        std::printf("pitch %.1fx: onset linear %ld, sinc %ld frames; level linear %.2f, sinc %.2f dBFS\n",
                    kPitches[l_Case], l_Onset[0][l_Case], l_Onset[1][l_Case], l_Level[0][l_Case],
                    l_Level[1][l_Case]);
        EXPECT_GE(l_Onset[1][l_Case], 0);
        EXPECT_LE(l_Onset[1][l_Case], kRate / 1000) << "pitch " << kPitches[l_Case];
        EXPECT_NEAR(l_Level[1][l_Case], l_Level[0][l_Case], 0.5) << "pitch " << kPitches[l_Case];
    }
}

// Energy above 5 kHz in the 1024 frames around p_Frame of the left side.
double HighEnergyAround(const Stereo& p_Mix, std::size_t p_Frame)
{
    return BandEnergy(p_Mix.Channel(0, p_Frame - 512, 1024), kRate, 5000.0, kRate / 2.0);
}

TEST(SoundQuality, NoteChangesAndStopsInMidCycleLeaveNoClick)
{
    // 504-frame blocks are 5.25 cycles of a 96-frame sine at its own rate: the change after three
    // blocks falls on a trough, and the stop three blocks later halfway up a 64-frame cycle.
    OfflineSystem l_Engine(504);
    FMOD_SOUND* l_Sine = LoadLoop(l_Engine, "sine.wav", Sine(96, 96, 0.5f));
    FMOD_CHANNEL* l_First = PlayLeft(l_Engine, l_Sine, float(kRate));
    l_Engine.Render(3);
    ASSERT_EQ(FMOD_Channel_Stop(l_First), FMOD_OK);
    FMOD_CHANNEL* l_Second = PlayLeft(l_Engine, l_Sine, 1.5f * kRate);
    l_Engine.Render(3);
    ASSERT_EQ(FMOD_Channel_Stop(l_Second), FMOD_OK);
    l_Engine.Render(2);
    const Stereo l_Mix = l_Engine.Mixed();
    ASSERT_GT(std::abs(l_Mix.Left(1511)), 16000);  // the first note at its trough ...
    ASSERT_GT(std::abs(l_Mix.Left(3023)), 10000);  // ... the second well off its zero crossing
    // The floor: what the held notes themselves put above 5 kHz.
    const double l_Floor = std::max(HighEnergyAround(l_Mix, 800), HighEnergyAround(l_Mix, 2300));
    const double l_Change = HighEnergyAround(l_Mix, 1512);
    const double l_Stop = HighEnergyAround(l_Mix, 3024);
    std::printf("above 5 kHz: held %.1f dB, note change %+.1f dB, stop %+.1f dB over it\n",
                10 * std::log10(l_Floor), 10 * std::log10(l_Change / l_Floor),
                10 * std::log10(l_Stop / l_Floor));
    EXPECT_LT(10 * std::log10(l_Change / l_Floor), 4.0);
    EXPECT_LT(10 * std::log10(l_Stop / l_Floor), 4.0);
}

TEST(SoundQuality, AVolumeStepFromOneToAFifthIsASmoothRamp)
{
    OfflineSystem l_Engine;
    FMOD_CHANNEL* l_Channel =
        PlayLeft(l_Engine, LoadLoop(l_Engine, "dc.wav", std::vector<float>(480, 0.5f)), float(kRate));
    l_Engine.Render(1);
    ASSERT_EQ(FMOD_Channel_SetVolume(l_Channel, 0.2f), FMOD_OK);
    l_Engine.Render(1);
    const Stereo l_Mix = l_Engine.Mixed();
    ASSERT_EQ(l_Mix.Left(479), 16384);
    EXPECT_LT(l_Mix.Left(480), 16384) << "the change starts on the block's first frame";
    EXPECT_EQ(l_Mix.Left(480 + kRampFrames), 3277);
    // A smoothstep's steepest slope is 1.5 times its mean.
    const double l_Steepest = 1.5 * (16384 - 3277) / double(kRampFrames) + 1.0;
    for (std::size_t l_Frame = 479; l_Frame < 480 + kRampFrames; ++l_Frame) {
        ASSERT_LE(l_Mix.Left(l_Frame + 1), l_Mix.Left(l_Frame)) << l_Frame;
        ASSERT_LE(l_Mix.Left(l_Frame) - l_Mix.Left(l_Frame + 1), l_Steepest) << l_Frame;
    }
}

TEST(SoundQuality, StoppedAndStolenVoicesFadeOutWhileTheirHandlesAreAlreadyStale)
{
    OfflineSystem l_Engine(480, 1);  // one voice: every new sound steals it
    FMOD_SOUND* l_Level = LoadLoop(l_Engine, "dc.wav", std::vector<float>(480, 0.5f));
    FMOD_CHANNEL* l_First = PlayLeft(l_Engine, l_Level, float(kRate));
    l_Engine.Render(1);
    FMOD_CHANNEL* l_Second = l_Engine.Play(l_Level);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Second, 1.0f), FMOD_OK);
    FMOD_BOOL l_Playing = 1;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_First, &l_Playing), FMOD_ERR_CHANNEL_STOLEN);
    l_Engine.Render(1);
    ASSERT_EQ(FMOD_Channel_Stop(l_Second), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Second, &l_Playing), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(l_Playing, 0);
    int l_Count = -1;
    EXPECT_EQ(FMOD_System_GetChannelsPlaying(l_Engine.system, &l_Count), FMOD_OK);
    EXPECT_EQ(l_Count, 0);
    l_Engine.Render(1);
    const Stereo l_Mix = l_Engine.Mixed();
    // The stolen voice fades on the left while the new one starts on the right at once.
    EXPECT_GT(l_Mix.Left(480 + kRampFrames / 2), 1000);
    EXPECT_EQ(l_Mix.Left(480 + kRampFrames), 0);
    EXPECT_GT(l_Mix.Right(480), 0);
    // The stopped one fades after its handle went stale.
    EXPECT_GT(l_Mix.Right(960 + kRampFrames / 2), 1000);
    EXPECT_EQ(l_Mix.Right(960 + kRampFrames), 0);
}

}  // namespace
