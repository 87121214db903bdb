// What the resamplers and the gain ramps sound like, measured on the engine's own test tones:
// signal to noise of each resampler, and the energy a note change, a stop or a volume step leaves
// above the tone.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

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
