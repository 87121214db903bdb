// The hundred melody waveforms the build synthesises: format, seamless loop, loudness, variety.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "WavData.h"

namespace {

constexpr int MELODY_COUNT = 100;
constexpr std::size_t CYCLE = 256;

class MelodyBank : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Cycles.clear();
        s_Errors.clear();
        for (int l_I = 0; l_I < MELODY_COUNT; ++l_I) {
            const WavData l_Wav = ReadWav(std::string(TW_DATA_DIR) + "/melody/melody" + std::to_string(l_I) + ".wav");
            if (!l_Wav.ok) {
                s_Errors += l_Wav.error + "\n";
            } else if (l_Wav.format != (SF_FORMAT_WAV | SF_FORMAT_PCM_16) || l_Wav.channels != 1 ||
                       l_Wav.samples.size() != CYCLE) {
                s_Errors += "melody" + std::to_string(l_I) + ": format " + std::to_string(l_Wav.format) + ", " +
                            std::to_string(l_Wav.channels) + " channels, " + std::to_string(l_Wav.samples.size()) +
                            " samples\n";
            }
            s_Cycles.push_back(l_Wav.samples);
        }
    }

    void SetUp() override
    {
        // Every other check needs well-formed cycles.
        ASSERT_EQ(s_Errors, "");
    }

    static std::vector<std::vector<std::int16_t>> s_Cycles;
    static std::string s_Errors;
};

std::vector<std::vector<std::int16_t>> MelodyBank::s_Cycles;
std::string MelodyBank::s_Errors;

int Step(const std::vector<std::int16_t>& p_Cycle, std::size_t p_From)
{
    return std::abs(p_Cycle[(p_From + 1) % CYCLE] - p_Cycle[p_From]);
}

double Energy(const std::vector<double>& p_Magnitudes, std::size_t p_From, std::size_t p_To)
{
    double l_Sum = 0.0;
    for (std::size_t l_H = p_From; l_H <= p_To && l_H <= p_Magnitudes.size(); ++l_H) {
        l_Sum += p_Magnitudes[l_H - 1] * p_Magnitudes[l_H - 1];
    }
    return l_Sum;
}

TEST_F(MelodyBank, EveryFileIsOneCycleOf256SixteenBitMonoSamples)
{
    // The suite set-up checked format, channels and length; here: every file is there.
    EXPECT_EQ(s_Cycles.size(), static_cast<std::size_t>(MELODY_COUNT));
}

TEST_F(MelodyBank, LoopsWithoutAClickAndStartsAtZero)
{
    for (int l_I = 0; l_I < MELODY_COUNT; ++l_I) {
        const std::vector<std::int16_t>& l_Cycle = s_Cycles[l_I];
        int l_LargestInside = 0;
        for (std::size_t l_N = 0; l_N + 1 < CYCLE; ++l_N) {
            l_LargestInside = std::max(l_LargestInside, Step(l_Cycle, l_N));
        }
        // Sample 255 flows into sample 0 like any two neighbours inside the cycle.
        EXPECT_LE(Step(l_Cycle, CYCLE - 1), l_LargestInside) << "melody" << l_I << " jumps at the loop point";
        // A note begins at sample 0: it sits on a zero crossing, so the note starts without a step.
        EXPECT_LE(std::abs(l_Cycle[0]), 64) << "melody" << l_I << " starts away from zero";
    }
}

TEST_F(MelodyBank, HasNoDcAndAnEvenLoudnessWithoutClipping)
{
    std::vector<double> l_Levels;
    for (int l_I = 0; l_I < MELODY_COUNT; ++l_I) {
        const std::vector<std::int16_t>& l_Cycle = s_Cycles[l_I];
        double l_Mean = 0.0;
        for (std::int16_t l_X : l_Cycle) {
            l_Mean += l_X / 32768.0;
        }
        l_Mean /= CYCLE;
        const double l_Rms = Rms(l_Cycle, 0, CYCLE);
        EXPECT_LT(std::fabs(l_Mean), 0.01 * l_Rms) << "melody" << l_I << " has a DC offset";
        EXPECT_LT(Peak(l_Cycle), 32767.0 / 32768.0) << "melody" << l_I << " clips";
        l_Levels.push_back(l_Rms);
    }
    std::vector<double> l_Sorted = l_Levels;
    std::sort(l_Sorted.begin(), l_Sorted.end());
    const double l_Median = l_Sorted[MELODY_COUNT / 2];
    EXPECT_GT(l_Median, 0.1);  // loud enough to carry a tune
    // Every waveform's RMS lies within a factor of 1.1 of the bank's median.
    for (int l_I = 0; l_I < MELODY_COUNT; ++l_I) {
        EXPECT_LT(l_Levels[l_I], l_Median * 1.1) << "melody" << l_I;
        EXPECT_GT(l_Levels[l_I], l_Median / 1.1) << "melody" << l_I;
    }
}

TEST_F(MelodyBank, IsBandLimited)
{
    // No partial above harmonic 48 (at least 99.9% of the energy below it): high notes would
    // otherwise fold back into audible noise. Most of the bank stops far lower, at harmonic 24.
    int l_Narrow = 0;
    for (int l_I = 0; l_I < MELODY_COUNT; ++l_I) {
        const std::vector<double> l_Magnitudes = HarmonicMagnitudes(s_Cycles[l_I]);
        const double l_Total = Energy(l_Magnitudes, 1, l_Magnitudes.size());
        EXPECT_LT(Energy(l_Magnitudes, 49, l_Magnitudes.size()), 0.001 * l_Total) << "melody" << l_I;
        if (Energy(l_Magnitudes, 25, l_Magnitudes.size()) < 0.01 * l_Total) {
            ++l_Narrow;
        }
    }
    EXPECT_GE(l_Narrow, 80);
}

TEST_F(MelodyBank, HoldsAHundredDistinctTimbres)
{
    // Compare spectra, not samples, so a mere shift or rescaling of one waveform would not count
    // as a new timbre: the normalised magnitude spectra of any two differ by at least 8%.
    std::vector<std::vector<double>> l_Spectra;
    for (const std::vector<std::int16_t>& l_Cycle : s_Cycles) {
        std::vector<double> l_Magnitudes = HarmonicMagnitudes(l_Cycle);
        const double l_Norm = std::sqrt(Energy(l_Magnitudes, 1, l_Magnitudes.size()));
        for (double& l_M : l_Magnitudes) {
            l_M /= l_Norm;
        }
        l_Spectra.push_back(l_Magnitudes);
    }
    for (int l_A = 0; l_A < MELODY_COUNT; ++l_A) {
        for (int l_B = l_A + 1; l_B < MELODY_COUNT; ++l_B) {
            EXPECT_FALSE(s_Cycles[l_A] == s_Cycles[l_B]) << "melody" << l_A << " and melody" << l_B << " are identical";
            double l_Distance = 0.0;
            for (std::size_t l_H = 0; l_H < l_Spectra[l_A].size(); ++l_H) {
                const double l_D = l_Spectra[l_A][l_H] - l_Spectra[l_B][l_H];
                l_Distance += l_D * l_D;
            }
            EXPECT_GT(std::sqrt(l_Distance), 0.08) << "melody" << l_A << " and melody" << l_B << " sound alike";
        }
    }
}

TEST_F(MelodyBank, BasicShapesSitInTheirSlots)
{
    // Songs pick waveforms by number; the first slots are the pure shapes.
    const std::vector<double> l_Sine = HarmonicMagnitudes(s_Cycles[0]);
    EXPECT_GT(Energy(l_Sine, 1, 1), 0.999 * Energy(l_Sine, 1, l_Sine.size()));

    const std::vector<double> l_Triangle = HarmonicMagnitudes(s_Cycles[1]);
    EXPECT_NEAR(l_Triangle[2] / l_Triangle[0], 1.0 / 9.0, 0.02);  // odd partials falling as 1/h^2
    EXPECT_LT(l_Triangle[1], 0.01 * l_Triangle[0]);

    const std::vector<double> l_Saw = HarmonicMagnitudes(s_Cycles[2]);
    EXPECT_NEAR(l_Saw[1] / l_Saw[0], 0.5, 0.05);  // every partial, falling as 1/h
    EXPECT_NEAR(l_Saw[3] / l_Saw[0], 0.25, 0.05);

    const std::vector<double> l_Square = HarmonicMagnitudes(s_Cycles[3]);
    EXPECT_NEAR(l_Square[2] / l_Square[0], 1.0 / 3.0, 0.05);  // odd partials falling as 1/h
    double l_Even = 0.0;
    for (std::size_t l_H = 2; l_H <= l_Square.size(); l_H += 2) {
        l_Even += l_Square[l_H - 1] * l_Square[l_H - 1];
    }
    EXPECT_LT(l_Even, 0.001 * Energy(l_Square, 1, l_Square.size()));

    // Slot 12 is a pulse of a quarter width: every fourth partial is missing.
    const std::vector<double> l_Pulse = HarmonicMagnitudes(s_Cycles[12]);
    EXPECT_LT(l_Pulse[3], 0.01 * l_Pulse[0]);
    EXPECT_LT(l_Pulse[7], 0.01 * l_Pulse[0]);
    EXPECT_GT(l_Pulse[1], 0.5 * l_Pulse[0]);
}

}  // namespace
