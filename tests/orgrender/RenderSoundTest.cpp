// Songs rendered through the library's whole playback path (song clock, sampler, engine), and
// the sound that comes out: pitch, onset time, level, pan, silence and the loop.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>

#include "EngineTestKit.h"
#include "OrgFileBuilder.h"
#include "SongRenderer.h"

namespace {

constexpr int RATE = 48000;

// Hz of note n on a track tuned to 1000, for a melody waveform of 256 samples per cycle.
double MelodyHz(int p_Note)
{
    const unsigned l_Table = static_cast<unsigned>(441.0 * std::pow(2.0, (p_Note - 19.0) / 12.0));
    return static_cast<unsigned>(l_Table * 44100.0 / 1550.0) / 256.0;
}

// Full scale of the 16-bit output.
constexpr float FULL = 32768.0f;

EngineTest::Stereo Render(const OrgTest::SongImage& p_Song, double p_Seconds)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), p_Song.Bytes());
    RenderOptions l_Options;
    l_Options.dataDir = TUNEWRIGHT_DATA_DIR;
    l_Options.seconds = p_Seconds;
    l_Options.fadeSeconds = 0;
    l_Options.sampleRate = RATE;
    std::string l_Error;
    EXPECT_TRUE(
        RenderSong(l_Dir.Path("song.org"), l_Dir.Path("out.wav"), l_Options, RenderProgress(), l_Error))
        << l_Error;
    return EngineTest::ReadStereo(l_Dir.Path("out.wav"));
}

OrgTest::SongImage OneNote(int p_Track, int p_Id, int p_Note, int p_Volume, int p_Pan)
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstart = 0;
    l_Song.loopstop = 64;
    l_Song.tracks[p_Track].id = static_cast<std::uint8_t>(p_Id);
    l_Song.tracks[p_Track].events = {{2, static_cast<std::uint8_t>(p_Note), 10,
                                      static_cast<std::uint8_t>(p_Volume), static_cast<std::uint8_t>(p_Pan)}};
    return l_Song;
}

float RmsOfFile(const std::string& p_Path)
{
    SF_INFO l_Info = {};
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_READ, &l_Info);
    std::vector<float> l_Samples(static_cast<std::size_t>(l_Info.frames));
    sf_readf_float(l_File, l_Samples.data(), l_Info.frames);
    sf_close(l_File);
    return EngineTest::Rms(l_Samples);
}

// Index of the first frame whose left or right sample is audible, or the frame count.
std::size_t FirstSound(const EngineTest::Stereo& p_Mix)
{
    for (std::size_t i = 0; i < p_Mix.Frames(); ++i)
        if (std::abs(p_Mix.Left(i)) > 1 || std::abs(p_Mix.Right(i)) > 1)
            return i;
    return p_Mix.Frames();
}

}  // namespace

TEST(RenderSound, AMelodyNote57IsA440AtItsBeatAndPredictedLevel)
{
    const EngineTest::Stereo l_Mix = Render(OneNote(0, 0, 57, 200, 6), 1.0);
    ASSERT_GE(l_Mix.Frames(), static_cast<std::size_t>(RATE));

    const std::size_t l_Beat2 = 2 * 100 * RATE / 1000;  // beat 2 at 100 ms per beat
    // The note ramps in from its first frame, so it is audible within 1 ms of its beat.
    const std::size_t l_Onset = FirstSound(l_Mix);
    EXPECT_GE(l_Onset, l_Beat2);
    EXPECT_LE(l_Onset, l_Beat2 + RATE / 1000) << "starts late";

    const auto l_Left = l_Mix.Channel(0, RATE / 2, RATE / 4);
    EXPECT_NEAR(440.0, EngineTest::MeasureFrequency(l_Left, RATE), 440.0 * 0.005);

    // Waveform level x note volume ((200 + 25) / 255) x master 0.5 x centre pan (constant power).
    const float l_Expected = RmsOfFile(std::string(TUNEWRIGHT_DATA_DIR) + "/melody/melody0.wav") * 225.0f /
                             255.0f * 0.5f * std::sqrt(0.5f);
    EXPECT_NEAR(l_Expected, EngineTest::Rms(l_Left) / FULL, l_Expected * 0.03f);
    EXPECT_NEAR(EngineTest::Rms(l_Left), EngineTest::Rms(l_Mix.Channel(1, RATE / 2, RATE / 4)),
                l_Expected * FULL * 0.01f);
}

TEST(RenderSound, TheSameNoteOnAPercussionTrackPlaysADrumOnce)
{
    const EngineTest::Stereo l_Mix = Render(OneNote(8, 0, 57, 200, 6), 3.0);
    const std::size_t l_Beat2 = 2 * 100 * RATE / 1000;
    const std::size_t l_Onset = FirstSound(l_Mix);
    EXPECT_GE(l_Onset, l_Beat2);
    EXPECT_LE(l_Onset, l_Beat2 + RATE / 1000);
    EXPECT_GT(EngineTest::Peak(l_Mix.Channel(0, l_Beat2, RATE / 10)) / FULL, 0.05f);
    // A one-shot: long before the note's ten beats are over, the drum has died away.
    EXPECT_LT(EngineTest::Peak(l_Mix.Channel(0, RATE * 5 / 2, RATE / 2)) / FULL, 0.0005f);
}

TEST(RenderSound, PansSendTracksToTheirSide)
{
    OrgTest::SongImage l_Song = OneNote(0, 0, 57, 200, 0);  // hard left
    l_Song.tracks[1].id = 0;
    l_Song.tracks[1].events = {{2, 64, 10, 200, 12}};  // hard right
    const EngineTest::Stereo l_Both = Render(l_Song, 1.0);
    EXPECT_NEAR(440.0, EngineTest::MeasureFrequency(l_Both.Channel(0, RATE / 2, RATE / 4), RATE), 2.2);
    EXPECT_NEAR(MelodyHz(64), EngineTest::MeasureFrequency(l_Both.Channel(1, RATE / 2, RATE / 4), RATE), 3.3);

    const EngineTest::Stereo l_Left = Render(OneNote(0, 0, 57, 200, 0), 1.0);
    const float l_LeftLevel = EngineTest::Rms(l_Left.Channel(0, RATE / 2, RATE / 4));
    EXPECT_GT(l_LeftLevel / FULL, 0.05f);
    EXPECT_LT(EngineTest::Rms(l_Left.Channel(1, RATE / 2, RATE / 4)), l_LeftLevel * 0.001f);
}

TEST(RenderSound, SilentTracksAndEndedMelodyNotesMakeNoSound)
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstop = 64;
    l_Song.tracks[0].id = 3;
    l_Song.tracks[0].events = {{1, 50, 2, 255, 6}};  // beats 1 and 2, silent from beat 3
    l_Song.tracks[9].id = 4;                         // a percussion track with no notes
    const EngineTest::Stereo l_Mix = Render(l_Song, 0.8);

    EXPECT_GE(FirstSound(l_Mix), static_cast<std::size_t>(RATE / 10));
    EXPECT_LE(FirstSound(l_Mix), static_cast<std::size_t>(RATE / 10 + 2));
    EXPECT_GT(EngineTest::Peak(l_Mix.Channel(0, RATE / 10, RATE / 5)) / FULL, 0.05f);
    // The note stops at beat 3 and is silent once its fade-out is over.
    const std::size_t l_Beat3 = 3 * RATE / 10;
    EXPECT_EQ(0.0f, EngineTest::Peak(l_Mix.Channel(0, l_Beat3 + EngineTest::kRampFrames)));
    EXPECT_EQ(0.0f, EngineTest::Peak(l_Mix.Channel(1, l_Beat3 + EngineTest::kRampFrames)));
}

TEST(RenderSound, TheLoopRepeatsItsBeatsAfterTheLoopEnd)
{
    const int l_Notes[6] = {45, 47, 48, 50, 52, 53};
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstart = 2;
    l_Song.loopstop = 6;
    l_Song.tracks[0].id = 0;
    for (int l_Beat = 0; l_Beat < 6; ++l_Beat)
        l_Song.tracks[0].events.push_back(
            {static_cast<std::uint32_t>(l_Beat), static_cast<std::uint8_t>(l_Notes[l_Beat]), 1, 200, 6});
    const EngineTest::Stereo l_Mix = Render(l_Song, 1.3);

    // Beats as heard: 0 1 2 3 4 5, then 2 3 4 5 2 3 ...
    const int l_Heard[12] = {0, 1, 2, 3, 4, 5, 2, 3, 4, 5, 2, 3};
    for (int l_Slot = 0; l_Slot < 12; ++l_Slot) {
        const std::size_t l_Start = static_cast<std::size_t>(l_Slot) * RATE / 10 + RATE / 50;
        const double l_Hz = EngineTest::MeasureFrequency(l_Mix.Channel(0, l_Start, RATE * 6 / 100), RATE);
        EXPECT_NEAR(MelodyHz(l_Notes[l_Heard[l_Slot]]), l_Hz, 1.5) << "beat slot " << l_Slot;
    }
}
