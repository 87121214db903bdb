// What the mixer puts out, rendered offline and read back from the WAV writer's file.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace EngineTest;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kFullScale = 32768.0f;

class Mixing : public ::testing::Test
{
protected:
    FMOD_SOUND* Make(const std::string& p_Name, const std::vector<float>& p_Samples, int p_Channels,
                     bool p_Loop)
    {
        WriteSound(engine.dir.Path(p_Name), p_Samples, p_Channels, kRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        return engine.Load(engine.dir.Path(p_Name),
                           p_Loop ? FMOD_SOFTWARE | FMOD_LOOP_NORMAL : FMOD_SOFTWARE | FMOD_LOOP_OFF);
    }

    // One cycle of a sine, p_Period frames long, looping.
    FMOD_SOUND* Cycle(unsigned p_Period, float p_Amplitude)
    {
        return Make("cycle" + std::to_string(p_Period) + ".wav", Sine(p_Period, p_Period, p_Amplitude), 1,
                    true);
    }

    FMOD_SOUND* Constant(float p_Level, unsigned p_Frames, bool p_Loop)
    {
        return Make("dc" + std::to_string(p_Frames) + (p_Loop ? "l" : "s") + ".wav",
                    std::vector<float>(p_Frames, p_Level), 1, p_Loop);
    }

    OfflineSystem engine;
};

TEST_F(Mixing, SineComesOutAtThePitchItsFrequencySetsAndAtCentrePanLevel)
{
    FMOD_CHANNEL* l_Channel = engine.Play(Cycle(100, 0.5f));
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, 44100.0f), FMOD_OK);  // 441 cycles per second
    engine.Render(100);
    const Stereo l_Mix = engine.Mixed();
    ASSERT_EQ(l_Mix.Frames(), 48000u);
    for (int l_Side = 0; l_Side < 2; ++l_Side) {
        const std::vector<float> l_Samples = l_Mix.Channel(l_Side);
        EXPECT_NEAR(MeasureFrequency(l_Samples, kRate), 441.0, 0.2);
        EXPECT_NEAR(Peak(l_Samples), 0.5f * 0.70710678f * kFullScale, 40.0f);
    }
}

TEST_F(Mixing, LoopPlaysSeamlesslyWithInterpolatedSamples)
{
    // A 100-frame cycle at a rate that never lands on whole frames: every output frame after the
    // start's ramp must match the interpolated cycle, across every loop point, within the 16-bit rounding.
    const unsigned kPeriod = 100;
    const double kStep = 37000.0 / kRate;
    FMOD_CHANNEL* l_Channel = engine.Play(Cycle(kPeriod, 0.9f));
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, 37000.0f), FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
    engine.Render(20);
    const std::vector<float> l_Left = engine.Mixed().Channel(0);
    ASSERT_EQ(l_Left.size(), 9600u);
    const std::vector<float> l_Cycle = Sine(kPeriod + 1, kPeriod, 0.9f);
    float l_WorstError = 0.0f;
    for (std::size_t l_Frame = kRampFrames; l_Frame < l_Left.size(); ++l_Frame) {
        const double l_Position = std::fmod(l_Frame * kStep, double(kPeriod));
        const std::size_t l_Index = std::size_t(l_Position);
        const double l_Fraction = l_Position - double(l_Index);
        const double l_Next = l_Index + 1 < kPeriod ? l_Cycle[l_Index + 1] : l_Cycle[0];
        const double l_Expected = (l_Cycle[l_Index] + (l_Next - l_Cycle[l_Index]) * l_Fraction) * kFullScale;
        l_WorstError = std::max(l_WorstError, float(std::fabs(l_Left[l_Frame] - l_Expected)));
    }
    EXPECT_LE(l_WorstError, 2.0f);
}

TEST_F(Mixing, StepsFarAboveTheOutputRateWrapShortLoopsCorrectly)
{
    // 256-frame waveform at 1 MHz: 20.8 frames per output frame, a 3906.25 Hz tone.
    FMOD_CHANNEL* l_Wide = engine.Play(Cycle(256, 0.5f));
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Wide, 1000000.0f), FMOD_OK);
    engine.Render(50);
    EXPECT_NEAR(MeasureFrequency(engine.Mixed().Channel(0), kRate), 1000000.0 / 256, 1.0);
    ASSERT_EQ(FMOD_Channel_Stop(l_Wide), FMOD_OK);

    // A 16-frame loop stepped 17.5 frames at a time: more than a whole loop per output frame, so the
    // tone aliases to 0.09375 cycles per frame (4500 Hz).
    FMOD_CHANNEL* l_Short = engine.Play(Cycle(16, 0.5f));
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Short, 17.5f * kRate), FMOD_OK);
    engine.Render(50);
    EXPECT_NEAR(MeasureFrequency(engine.Mixed().Channel(0, 24000 + kRampFrames), kRate), 4500.0, 1.0);
}

TEST_F(Mixing, MonoPanKeepsConstantPowerAndClampsBeyondTheEnds)
{
    FMOD_SOUND* l_Sound = Constant(0.5f, 480, true);
    const float l_Pans[] = {-1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 7.0f};
    for (float l_Pan : l_Pans) {
        FMOD_CHANNEL* l_Channel = engine.Play(l_Sound);
        ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, l_Pan), FMOD_OK);
        engine.Render(1);
        ASSERT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
    }
    const Stereo l_Mix = engine.Mixed();
    for (std::size_t l_Case = 0; l_Case < 6; ++l_Case) {
        const double l_Angle = (std::min(l_Pans[l_Case], 1.0f) + 1.0) * kPi / 4.0;
        const std::size_t l_Frame = l_Case * 480 + kRampFrames + 4;
        EXPECT_NEAR(l_Mix.Left(l_Frame), 0.5 * std::cos(l_Angle) * kFullScale, 1.0)
            << "pan " << l_Pans[l_Case];
        EXPECT_NEAR(l_Mix.Right(l_Frame), 0.5 * std::sin(l_Angle) * kFullScale, 1.0)
            << "pan " << l_Pans[l_Case];
    }
}

TEST_F(Mixing, StereoSoundKeepsItsSidesAndPanTurnsOneSideDown)
{
    std::vector<float> l_Samples;
    for (int l_Frame = 0; l_Frame < 480; ++l_Frame) {
        l_Samples.push_back(0.25f);
        l_Samples.push_back(-0.5f);
    }
    FMOD_CHANNEL* l_Channel = engine.Play(Make("stereo.wav", l_Samples, 2, true));
    engine.Render(1);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, 0.5f), FMOD_OK);
    engine.Render(1);
    const Stereo l_Mix = engine.Mixed();
    EXPECT_EQ(l_Mix.Left(kRampFrames + 10), 8192);
    EXPECT_EQ(l_Mix.Right(kRampFrames + 10), -16384);
    EXPECT_EQ(l_Mix.Left(480 + kRampFrames + 10), 4096);
    EXPECT_EQ(l_Mix.Right(480 + kRampFrames + 10), -16384);
}

TEST_F(Mixing, VolumeAndMasterVolumeScaleFromTheNextBlockOnAfterARamp)
{
    FMOD_CHANNEL* l_Channel = engine.Play(Constant(0.25f, 480, true));
    ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
    FMOD_CHANNELGROUP* l_Master = nullptr;
    ASSERT_EQ(FMOD_System_GetMasterChannelGroup(engine.system, &l_Master), FMOD_OK);
    engine.Render(1);
    ASSERT_EQ(FMOD_Channel_SetVolume(l_Channel, 2.0f), FMOD_OK);  // above 1 amplifies
    engine.Render(1);
    ASSERT_EQ(FMOD_ChannelGroup_SetVolume(l_Master, 0.5f), FMOD_OK);
    engine.Render(1);
    ASSERT_EQ(FMOD_ChannelGroup_SetVolume(l_Master, 0.0f), FMOD_OK);
    engine.Render(1);
    float l_Volume = -1.0f;
    EXPECT_EQ(FMOD_ChannelGroup_GetVolume(l_Master, &l_Volume), FMOD_OK);
    EXPECT_EQ(l_Volume, 0.0f);
    const Stereo l_Mix = engine.Mixed();
    const int l_Expected[] = {8192, 16384, 8192, 0};
    for (std::size_t l_Block = 0; l_Block < 4; ++l_Block) {
        // Each change starts on the block's first frame and has its full effect once the ramp is over.
        const int l_Before = l_Block == 0 ? 0 : l_Expected[l_Block - 1];
        EXPECT_NE(l_Mix.Left(l_Block * 480), l_Before) << "first frame of block " << l_Block;
        EXPECT_EQ(l_Mix.Left(l_Block * 480 + kRampFrames), l_Expected[l_Block])
            << "after the ramp of block " << l_Block;
        EXPECT_EQ(l_Mix.Left(l_Block * 480 + 479), l_Expected[l_Block]) << "last frame of block " << l_Block;
    }
}

TEST_F(Mixing, AGroupScalesItsOwnVoicesRampedAndANewPlaybackLeavesIt)
{
    FMOD_CHANNEL* l_Grouped = engine.Play(Constant(0.25f, 480, true));
    FMOD_CHANNEL* l_Other = engine.Play(Constant(0.125f, 480, true));
    ASSERT_EQ(FMOD_Channel_SetPan(l_Grouped, -1.0f), FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Other, -1.0f), FMOD_OK);
    FMOD_CHANNELGROUP* l_Group = nullptr;
    EXPECT_EQ(FMOD_System_CreateChannelGroup(engine.system, "track", nullptr), FMOD_ERR_INVALID_PARAM);
    ASSERT_EQ(FMOD_System_CreateChannelGroup(engine.system, "track", &l_Group), FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetChannelGroup(l_Grouped, l_Group), FMOD_OK);
    ASSERT_EQ(FMOD_ChannelGroup_SetVolume(l_Group, 0.5f), FMOD_OK);
    engine.Render(1);
    ASSERT_EQ(FMOD_ChannelGroup_SetVolume(l_Group, 0.0f), FMOD_OK);
    engine.Render(1);
    // Restarted on its slot, the voice is in no group but the master.
    ASSERT_EQ(
        FMOD_System_PlaySound(engine.system, FMOD_CHANNEL_REUSE, Constant(0.25f, 480, true), 0, &l_Grouped),
        FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Grouped, -1.0f), FMOD_OK);
    engine.Render(1);
    const Stereo l_Mix = engine.Mixed();
    const int l_Expected[] = {4096 + 4096, 4096, 8192 + 4096};
    for (std::size_t l_Block = 0; l_Block < 3; ++l_Block)
        EXPECT_EQ(l_Mix.Left(l_Block * 480 + kRampFrames), l_Expected[l_Block]) << "block " << l_Block;
    EXPECT_NE(l_Mix.Left(480 + kRampFrames / 2), 4096);  // the group's change ramps

    // A group of another system is refused.
    OfflineSystem l_Another;
    FMOD_CHANNELGROUP* l_Foreign = nullptr;
    ASSERT_EQ(FMOD_System_CreateChannelGroup(l_Another.system, nullptr, &l_Foreign), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_SetChannelGroup(l_Other, l_Foreign), FMOD_ERR_INVALID_HANDLE);
}

TEST_F(Mixing, LoudMixSaturatesInsteadOfWrapping)
{
    FMOD_SOUND* l_Up = Constant(0.9f, 480, true);
    FMOD_SOUND* l_Down = Constant(-0.9f, 480, true);
    FMOD_CHANNEL* l_Loud = engine.Play(l_Up);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Loud, -1.0f), FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetVolume(l_Loud, 3.0f), FMOD_OK);
    FMOD_CHANNEL* l_Low = engine.Play(l_Down);
    ASSERT_EQ(FMOD_Channel_SetPan(l_Low, 1.0f), FMOD_OK);
    engine.Play(l_Down);  // and one more at centre, pushing the right side further down
    ASSERT_EQ(FMOD_Channel_SetVolume(l_Low, 1000.0f), FMOD_OK);
    engine.Render(1);
    const Stereo l_Mix = engine.Mixed();
    for (std::size_t l_Frame = kRampFrames; l_Frame < 480; ++l_Frame) {
        ASSERT_EQ(l_Mix.Left(l_Frame), 32767) << l_Frame;
        ASSERT_EQ(l_Mix.Right(l_Frame), -32768) << l_Frame;
    }
}

TEST_F(Mixing, OneShotEndsOnItsLastFrame)
{
    // A rising ramp of 1000 frames at the output rate: frame 999 carries the last sample and
    // frame 1000 is silence, though the block goes on to 1440.
    std::vector<float> l_Ramp;
    for (int l_Frame = 0; l_Frame < 1000; ++l_Frame)
        l_Ramp.push_back(0.1f + 0.0005f * l_Frame);
    FMOD_CHANNEL* l_Channel = engine.Play(Make("ramp.wav", l_Ramp, 1, false));
    ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
    engine.Render(3);
    const Stereo l_Mix = engine.Mixed();
    EXPECT_EQ(l_Mix.Left(kRampFrames), int(std::lround((0.1f + 0.0005f * kRampFrames) * kFullScale)));
    EXPECT_EQ(l_Mix.Left(999), int(std::lround((0.1f + 0.0005f * 999) * kFullScale)));
    for (std::size_t l_Frame = 1000; l_Frame < 1440; ++l_Frame)
        ASSERT_EQ(l_Mix.Left(l_Frame), 0) << l_Frame;
    FMOD_BOOL l_Playing = 1;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Channel, &l_Playing), FMOD_ERR_INVALID_HANDLE);

    // At half speed the last frame is reached at output frame 1998; nothing is played past it.
    FMOD_CHANNEL* l_Slow = engine.Play(Make("ramp2.wav", l_Ramp, 1, false));
    ASSERT_EQ(FMOD_Channel_SetPan(l_Slow, -1.0f), FMOD_OK);
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Slow, kRate / 2.0f), FMOD_OK);
    engine.Render(5);
    const Stereo l_Half = engine.Mixed();
    EXPECT_EQ(l_Half.Left(1440 + 1998), l_Mix.Left(999));
    for (std::size_t l_Frame = 1440 + 1999; l_Frame < 1440 + 2400; ++l_Frame)
        ASSERT_EQ(l_Half.Left(l_Frame), 0) << l_Frame;
}

TEST_F(Mixing, PausedVoiceHoldsItsPlaceAndZeroFrequencyHoldsStill)
{
    FMOD_SOUND* l_Sound = Make("slow.wav", Sine(2000, 2000, 0.5f), 1, false);
    FMOD_CHANNEL* l_Channel = nullptr;
    ASSERT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNEL_FREE, l_Sound, 1, &l_Channel), FMOD_OK);
    engine.Render(2);
    unsigned l_Position = 99;
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Position, 0u);
    EXPECT_EQ(Peak(engine.Mixed().Channel(0)), 0.0f);
    ASSERT_EQ(FMOD_Channel_SetPaused(l_Channel, 0), FMOD_OK);
    engine.Render(1);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Position, 480u);
    ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, -5.0f), FMOD_OK);  // taken as 0
    engine.Render(1);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Position, 480u);
}

TEST_F(Mixing, VoicesAddUp)
{
    FMOD_SOUND* l_Sound = Constant(0.125f, 480, true);
    for (int l_Voice = 0; l_Voice < 3; ++l_Voice)
        ASSERT_EQ(FMOD_Channel_SetPan(engine.Play(l_Sound), 1.0f), FMOD_OK);
    engine.Render(1);
    EXPECT_EQ(engine.Mixed().Right(200), 3 * 4096);
    EXPECT_EQ(engine.Mixed().Left(200), 0);
}

// The mix is the same however it is cut into blocks: ramps, a loop's seams and a one-shot's end
// inside one long block give the samples that short blocks give, which lets the renderer and the
// decoder mix the stretches between notes in one piece.
TEST(MixingBlocks, OneLongBlockMixesWhatShortBlocksDo)
{
    for (FMOD_DSP_RESAMPLER l_Resampler :
         {FMOD_DSP_RESAMPLER_NOINTERP, FMOD_DSP_RESAMPLER_LINEAR, FMOD_DSP_RESAMPLER_CUBIC,
          FMOD_DSP_RESAMPLER_SPLINE, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC}) {
        constexpr unsigned kLong = 960, kShort = 48;  // a ramp spans three short blocks
        Stereo l_Mixes[2];
        for (unsigned l_Block : {kShort, kLong}) {
            OfflineSystem l_Engine(l_Block, 32, l_Resampler);
            const unsigned l_PerLong = kLong / l_Block;
            WriteSound(l_Engine.dir.Path("cycle.wav"), Sine(100, 100, 0.4f), 1, kRate,
                       SF_FORMAT_WAV | SF_FORMAT_FLOAT);
            WriteSound(l_Engine.dir.Path("hit.wav"), Sine(700, 37.3, 0.5f), 1, kRate,
                       SF_FORMAT_WAV | SF_FORMAT_FLOAT);
            FMOD_SOUND* l_Hit = l_Engine.Load(l_Engine.dir.Path("hit.wav"), FMOD_SOFTWARE | FMOD_LOOP_OFF);
            FMOD_CHANNEL* l_Tone = l_Engine.Play(
                l_Engine.Load(l_Engine.dir.Path("cycle.wav"), FMOD_SOFTWARE | FMOD_LOOP_NORMAL));
            EXPECT_EQ(FMOD_Channel_SetFrequency(l_Tone, 213111.0f), FMOD_OK);
            EXPECT_EQ(FMOD_Channel_SetFrequency(l_Engine.Play(l_Hit), 161000.0f), FMOD_OK);
            l_Engine.Render(2 * l_PerLong);
            EXPECT_EQ(FMOD_Channel_SetVolume(l_Tone, 0.3f), FMOD_OK);
            EXPECT_EQ(FMOD_Channel_SetPan(l_Engine.Play(l_Hit), -0.6f), FMOD_OK);
            l_Engine.Render(l_PerLong);
            EXPECT_EQ(FMOD_Channel_Stop(l_Tone), FMOD_OK);
            l_Engine.Render(l_PerLong);
            l_Mixes[l_Block == kLong] = l_Engine.Mixed();
        }
        ASSERT_EQ(l_Mixes[0].Frames(), 4 * kLong);
        EXPECT_GT(Peak(l_Mixes[0].Channel(0)), 1000.0f);
        EXPECT_TRUE(l_Mixes[0].samples == l_Mixes[1].samples) << "resampler " << l_Resampler;
    }
}

}  // namespace
