// The decoder, read through the C interface in uneven pieces with its built-in instruments, sounds
// exactly as the renderer writes it in whole runs from the sample files, song by song and sample by
// sample; and two songs decoded at once in two threads sound exactly as each does alone.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "OrgFileBuilder.h"
#include "SongRenderer.h"
#include "TempDir.h"
#include "WavData.h"

namespace {

const char* const SONGS[] = {"drunken-sailor.org", "greensleeves.org", "harbour-lights.org"};

std::string SongPath(const std::string& p_Name) { return std::string(TUNEWRIGHT_SONGS_DIR) + "/" + p_Name; }

// The whole song at p_Rate through the C interface, read in uneven pieces.
std::vector<std::int16_t> Decode(const std::string& p_Path, int p_Rate, int p_Repeats)
{
    int l_Error = TW_OK;
    tw_song* l_Song = tw_song_open_file(p_Path.c_str(), &l_Error);
    EXPECT_NE(nullptr, l_Song) << tw_error_string(l_Error);
    std::vector<std::int16_t> l_Out;
    if (l_Song == nullptr)
        return l_Out;
    EXPECT_EQ(TW_OK, tw_song_set_loops(l_Song, p_Repeats));
    std::vector<std::int16_t> l_Buffer(2 * 4099);
    std::size_t l_Piece = 1;
    for (;;) {
        const std::size_t l_Got = tw_song_read_s16(l_Song, p_Rate, l_Piece, l_Buffer.data());
        l_Out.insert(l_Out.end(), l_Buffer.begin(), l_Buffer.begin() + 2 * std::ptrdiff_t(l_Got));
        if (l_Got < l_Piece)
            break;
        l_Piece = (l_Piece * 7 + 997) % 4099 + 1;  // pieces that straddle the 1 ms blocks every which way
    }
    tw_song_close(l_Song);
    return l_Out;
}

std::vector<std::int16_t> Render(const std::string& p_Path, int p_Rate, int p_Loops,
                                 const OrgTest::TempDir& p_Dir)
{
    RenderOptions l_Options;
    l_Options.dataDir = TUNEWRIGHT_DATA_DIR;
    l_Options.loops = p_Loops;
    l_Options.sampleRate = p_Rate;
    l_Options.fadeSeconds = 0.0;
    std::string l_Error;
    const std::string l_Wav = p_Dir.Path("render.wav");
    EXPECT_TRUE(RenderSong(p_Path, l_Wav, l_Options, RenderProgress(), l_Error)) << l_Error;
    return ReadWav(l_Wav).samples;
}

TEST(DecoderRender, EveryBundledSongDecodesToTheRenderersSamples)
{
    OrgTest::TempDir l_Dir;
    for (const char* l_Name : SONGS) {
        for (int l_Rate : {48000, 44100}) {
            SCOPED_TRACE(std::string(l_Name) + " at " + std::to_string(l_Rate));
            const std::vector<std::int16_t> l_Decoded = Decode(SongPath(l_Name), l_Rate, 0);
            const std::vector<std::int16_t> l_Rendered = Render(SongPath(l_Name), l_Rate, 0, l_Dir);
            // Both end with the last whole 1 ms block.
            ASSERT_FALSE(l_Decoded.empty());
            ASSERT_EQ(l_Rendered.size(), l_Decoded.size());
            std::size_t l_First = 0;
            while (l_First < l_Decoded.size() && l_Decoded[l_First] == l_Rendered[l_First])
                ++l_First;
            EXPECT_EQ(l_Decoded.size(), l_First) << "first difference at sample " << l_First;
        }
    }
}

TEST(DecoderRender, FloatFramesAreTheSixteenBitFramesBeforeRounding)
{
    int l_Error = TW_OK;
    tw_song* l_A = tw_song_open_file(SongPath("greensleeves.org").c_str(), &l_Error);
    tw_song* l_B = tw_song_open_file(SongPath("greensleeves.org").c_str(), &l_Error);
    ASSERT_NE(nullptr, l_A);
    ASSERT_NE(nullptr, l_B);
    const std::size_t l_Frames = 3 * 48000;
    std::vector<float> l_Float(2 * l_Frames);
    std::vector<std::int16_t> l_Pcm(2 * l_Frames);
    ASSERT_EQ(l_Frames, tw_song_read_float(l_A, 48000, l_Frames, l_Float.data()));
    ASSERT_EQ(l_Frames, tw_song_read_s16(l_B, 48000, l_Frames, l_Pcm.data()));
    double l_Energy = 0.0;
    for (std::size_t i = 0; i < l_Float.size(); ++i) {
        ASSERT_NEAR(l_Float[i] * 32768.0, l_Pcm[i], 0.51) << "sample " << i;
        l_Energy += double(l_Float[i]) * l_Float[i];
    }
    EXPECT_GT(l_Energy, 1.0);  // the song sounds
    tw_song_close(l_A);
    tw_song_close(l_B);
}

TEST(DecoderRender, TwoSongsInTwoThreadsSoundAsEachAlone)
{
    const std::string l_First = SongPath("harbour-lights.org");
    const std::string l_Second = SongPath("drunken-sailor.org");
    const std::vector<std::int16_t> l_FirstAlone = Decode(l_First, 32000, 0);
    const std::vector<std::int16_t> l_SecondAlone = Decode(l_Second, 22050, 0);
    std::vector<std::int16_t> l_FirstTogether;
    std::vector<std::int16_t> l_SecondTogether;
    std::thread l_Thread([&] { l_FirstTogether = Decode(l_First, 32000, 0); });
    l_SecondTogether = Decode(l_Second, 22050, 0);
    l_Thread.join();
    EXPECT_FALSE(l_FirstAlone.empty());
    EXPECT_TRUE(l_FirstAlone == l_FirstTogether);
    EXPECT_TRUE(l_SecondAlone == l_SecondTogether);
}

}  // namespace
