// The measuring tools of the player's tests, on signals and pictures whose answers are known,
// so that a wrong reading cannot pass for the player's fault or hide one.
#include <cmath>
#include <cstdint>
#include <fstream>

#include <gtest/gtest.h>

#include "../common/TempDir.h"
#include "Picture.h"
#include "SoundCapture.h"

namespace PlayerTest {
namespace {

std::vector<float> Sine(double p_Frequency, double p_Amplitude, long p_Frames)
{
    std::vector<float> l_Samples;
    for (long i = 0; i < p_Frames; ++i)
        l_Samples.push_back(float(p_Amplitude * std::sin(2 * M_PI * p_Frequency * double(i) / g_CaptureRate)));
    return l_Samples;
}

TEST(PlayerTestTools, ToneFrequencyReadsSinesToAHundredthOfAHertz)
{
    EXPECT_NEAR(ToneFrequency(Sine(440.0, 0.2, g_CaptureRate), g_CaptureRate), 440.0, 0.01);
    EXPECT_NEAR(ToneFrequency(Sine(436.0, 0.2, g_CaptureRate), g_CaptureRate), 436.0, 0.01);
    EXPECT_EQ(ToneFrequency(std::vector<float>(1000, 0.0f), g_CaptureRate), 0.0);
}

TEST(PlayerTestTools, NotesRunFromTheFirstToTheLastSoundBetweenSilences)
{
    // Notes of 100 ms starting at 0.1 s, 0.35 s and 0.6 s; a faint blip at 0.5 s is no note.
    std::vector<float> l_Samples(48000, 0.0f);
    for (long l_Start : {4800L, 16800L, 28800L}) {
        const std::vector<float> l_Note = Sine(440.0, 0.2, 4800);
        std::copy(l_Note.begin(), l_Note.end(), l_Samples.begin() + l_Start);
    }
    l_Samples[24000] = 0.001f;
    // Each note: sin(0) is silent, its last sample is not.
    EXPECT_EQ(Notes(l_Samples, 2400), (std::vector<Note>{{4801, 9600}, {16801, 21600}, {28801, 33600}}));
    // A note needs the whole quiet run before it, so none starts at the beginning of the
    // recording, and a blip that breaks a silence joins the notes either side of it.
    EXPECT_EQ(Notes(l_Samples, 6000), (std::vector<Note>{{16801, 33600}}));
    // A note still sounding when the samples end has no end yet.
    const std::vector<float> l_Cut(l_Samples.begin(), l_Samples.begin() + 8000);
    EXPECT_EQ(Notes(l_Cut, 2400), (std::vector<Note>{{4801, -1}}));
    // Stretches take in sound the samples begin or end in, even a blip, and a tone with no gap
    // is one stretch.
    const std::vector<float> l_Middle(l_Samples.begin() + 6005, l_Samples.begin() + 30005);
    EXPECT_EQ(Stretches(l_Middle, 2400),
              (std::vector<Note>{{0, 3595}, {10796, 15595}, {17995, 17996}, {22796, 24000}}));
    EXPECT_EQ(Stretches(Sine(440.0, 0.2, 4800), 48), (std::vector<Note>{{1, 4800}}));
    EXPECT_NEAR(Rms(Sine(440.0, 0.2, 48000)), 0.2 / std::sqrt(2.0), 1e-4);
    EXPECT_NEAR(Peak(Sine(440.0, 0.2, 48000)), 0.2, 1e-3);
}

TEST(PlayerTestTools, CaptureFramesAverageLeftAndRight)
{
    OrgTest::TempDir l_Dir;
    const std::string l_Path = l_Dir.Path("capture.raw");
    const std::int16_t l_Frames[] = {16384, 0, -32768, -32768, 100, -100};
    std::ofstream(l_Path, std::ios::binary).write(reinterpret_cast<const char*>(l_Frames), sizeof l_Frames);
    EXPECT_EQ(CapturedFrames(l_Path), 3);
    EXPECT_EQ(ReadCapture(l_Path, 0, 3), (std::vector<float>{0.25f, -1.0f, 0.0f}));
    EXPECT_EQ(ReadCapture(l_Path, 2, 5), (std::vector<float>{0.0f}));
    EXPECT_EQ(CapturedFrames(l_Dir.Path("none.raw")), 0);
}

// A grey background with a dark groove, and on it a slider drawn as the player draws it:
// blue fill from x 45, a light knob 16 pixels wide centred on p_Centre.
Picture SliderOver(const Picture& p_Background, int p_Centre)
{
    Picture l_Shot = p_Background;
    for (int l_Y = 252; l_Y < 268; ++l_Y)
        for (int l_X = 46; l_X < p_Centre; ++l_X)
            l_Shot.Set(l_X, l_Y, {60, 130, 220});
    for (int l_Y = 237; l_Y < 283; ++l_Y)
        for (int l_X = p_Centre - 8; l_X < p_Centre + 8; ++l_X)
            l_Shot.Set(l_X, l_Y, {220, 220, 225});
    return l_Shot;
}

TEST(PlayerTestTools, SliderReadingFindsKnobAndFill)
{
    Picture l_Background(300, 350);
    for (int l_Y = 0; l_Y < 350; ++l_Y)
        for (int l_X = 0; l_X < 300; ++l_X)
            l_Background.Set(l_X, l_Y, l_Y > 250 && l_Y < 270 && l_X > 40 && l_X < 250 ? Rgb{70, 70, 75}
                                                                                       : Rgb{180, 180, 180});
    const SliderReading l_Reading = ReadSlider(SliderOver(l_Background, 195), l_Background);
    EXPECT_EQ(l_Reading.knob.left, 187);
    EXPECT_EQ(l_Reading.knob.right, 202);
    EXPECT_DOUBLE_EQ(l_Reading.knob.CentreX(), 195.0);
    EXPECT_EQ(l_Reading.knob.top, 237);
    EXPECT_EQ(l_Reading.knob.bottom, 282);
    EXPECT_EQ(l_Reading.fill.left, 46);
    EXPECT_EQ(l_Reading.fill.right, 186);
    EXPECT_TRUE(ReadSlider(l_Background, l_Background).knob.Empty());
    EXPECT_TRUE(ReadSlider(l_Background, l_Background).fill.Empty());
}

}  // namespace
}  // namespace PlayerTest
