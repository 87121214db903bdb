// The decoder, read through the C interface in uneven pieces with its built-in instruments, sounds
// exactly as the renderer writes it in whole runs from the sample files, song by song and sample by
// sample; and two songs decoded at once in two threads sound exactly as each does alone. Each
// track's own frames add up to the mix, and the mixing desk's settings act on them alone.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestKit.h"
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

// The sixteen tracks' frames of one read, and their levels.
struct TrackFrames
{
    std::array<std::vector<float>, 16> tracks;
    std::array<float, 16> peaks{}, rms{};
};

using Pieces = std::vector<std::size_t>;
const Pieces UNEVEN = {1, 4099, 47, 960, 150000, 3, 2000, 12345};

// Reads p_Pieces through one song, mixed or (p_Tracks) apart; the frames of every piece end to end,
// and the levels of the last.
std::vector<float> ReadMixed(tw_song* p_Song, const Pieces& p_Pieces, int p_Rate = 48000)
{
    std::vector<float> l_Out;
    for (std::size_t l_Piece : p_Pieces) {
        std::vector<float> l_Buffer(2 * l_Piece);
        const std::size_t l_Got = tw_song_read_float(p_Song, p_Rate, l_Piece, l_Buffer.data());
        l_Out.insert(l_Out.end(), l_Buffer.begin(), l_Buffer.begin() + 2 * std::ptrdiff_t(l_Got));
    }
    return l_Out;
}

TrackFrames ReadApart(tw_song* p_Song, const Pieces& p_Pieces, int p_Rate = 48000)
{
    TrackFrames l_Out;
    for (std::size_t l_Piece : p_Pieces) {
        std::array<std::vector<float>, 16> l_Buffers;
        float* l_Pointers[16];
        for (int l_Track = 0; l_Track < 16; ++l_Track) {
            l_Buffers[l_Track].assign(2 * l_Piece, NAN);
            l_Pointers[l_Track] = l_Buffers[l_Track].data();
        }
        const std::size_t l_Got = tw_song_read_tracks_float(p_Song, p_Rate, l_Piece, l_Pointers);
        for (int l_Track = 0; l_Track < 16; ++l_Track)
            l_Out.tracks[l_Track].insert(l_Out.tracks[l_Track].end(), l_Buffers[l_Track].begin(),
                                         l_Buffers[l_Track].begin() + 2 * std::ptrdiff_t(l_Got));
    }
    EXPECT_EQ(TW_OK, tw_song_get_track_levels(p_Song, l_Out.peaks.data(), l_Out.rms.data()));
    return l_Out;
}

std::vector<float> Sum(const TrackFrames& p_Frames, const std::vector<int>& p_Tracks)
{
    std::vector<float> l_Sum(p_Frames.tracks[0].size(), 0.0f);
    for (int l_Track : p_Tracks)
        for (std::size_t i = 0; i < l_Sum.size(); ++i)
            l_Sum[i] += p_Frames.tracks[l_Track][i];
    return l_Sum;
}

double Rms(const std::vector<float>& p_Frames)
{
    double l_Sum = 0.0;
    for (float l_Value : p_Frames)
        l_Sum += double(l_Value) * l_Value;
    return p_Frames.empty() ? 0.0 : std::sqrt(l_Sum / p_Frames.size());
}

const std::vector<int> ALL = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

double LargestDifference(const std::vector<float>& p_A, const std::vector<float>& p_B)
{
    EXPECT_EQ(p_A.size(), p_B.size());
    double l_Largest = p_A.size() == p_B.size() ? 0.0 : INFINITY;
    for (std::size_t i = 0; i < std::min(p_A.size(), p_B.size()); ++i)
        l_Largest = std::max(l_Largest, std::fabs(double(p_A[i]) - p_B[i]));
    return l_Largest;
}

tw_song* OpenSong(const char* p_Name)
{
    tw_song* l_Song = tw_song_open_file(SongPath(p_Name).c_str(), nullptr);
    EXPECT_NE(nullptr, l_Song);
    return l_Song;
}

TEST(DecoderTracks, TheTracksAddUpToTheMixForEveryResamplerAndTheirLevelsAreTheirOwn)
{
    for (int l_Method = TW_INTERPOLATION_NEAREST; l_Method <= TW_INTERPOLATION_SINC; ++l_Method) {
        SCOPED_TRACE("interpolation " + std::to_string(l_Method));
        tw_song* l_Mixed = OpenSong("greensleeves.org");
        tw_song* l_Apart = OpenSong("greensleeves.org");
        tw_song* l_Metered = OpenSong("greensleeves.org");
        for (tw_song* l_Song : {l_Mixed, l_Apart, l_Metered}) {
            ASSERT_EQ(TW_OK, tw_song_set_interpolation(l_Song, l_Method));
            ASSERT_EQ(TW_OK, tw_song_set_volume(l_Song, 0.8f));
        }
        ASSERT_EQ(TW_OK, tw_song_set_level_metering(l_Metered, 1));
        const std::vector<float> l_Mix = ReadMixed(l_Mixed, UNEVEN);
        const TrackFrames l_Tracks = ReadApart(l_Apart, UNEVEN);
        const std::vector<float> l_Sum = Sum(l_Tracks, ALL);
        const double l_Largest = LargestDifference(l_Mix, l_Sum);
        EXPECT_LE(l_Largest, 1e-6);
        std::printf("interpolation %d: the tracks' sum is within %.3g of the mix\n", l_Method, l_Largest);
        // Mixed and apart reads taken in turn give every frame once, each piece of a block cut by the
        // one before included.
        tw_song* l_Switched = OpenSong("greensleeves.org");
        ASSERT_EQ(TW_OK, tw_song_set_interpolation(l_Switched, l_Method));
        ASSERT_EQ(TW_OK, tw_song_set_volume(l_Switched, 0.8f));
        std::vector<float> l_InTurn;
        for (std::size_t l_Piece = 0; l_Piece < UNEVEN.size(); ++l_Piece) {
            const std::vector<float> l_Frames = l_Piece % 2 == 0
                                                    ? ReadMixed(l_Switched, {UNEVEN[l_Piece]})
                                                    : Sum(ReadApart(l_Switched, {UNEVEN[l_Piece]}), ALL);
            l_InTurn.insert(l_InTurn.end(), l_Frames.begin(), l_Frames.end());
        }
        EXPECT_LE(LargestDifference(l_Mix, l_InTurn), 1e-6);
        tw_song_close(l_Switched);
        // A metered mixed read is that very sum, and measures as the tracks' read does.
        EXPECT_LE(LargestDifference(l_Sum, ReadMixed(l_Metered, UNEVEN)), 1e-6);
        std::array<float, 16> l_Peaks{}, l_Rms{};
        ASSERT_EQ(TW_OK, tw_song_get_track_levels(l_Metered, l_Peaks.data(), l_Rms.data()));
        EXPECT_EQ(l_Tracks.peaks, l_Peaks);
        EXPECT_EQ(l_Tracks.rms, l_Rms);

        // The levels are those of the last read's own frames.
        const std::size_t l_Last = 2 * UNEVEN.back();
        int l_Sounding = 0;
        for (int l_Track = 0; l_Track < 16; ++l_Track) {
            const std::vector<float>& l_Frames = l_Tracks.tracks[l_Track];
            float l_Peak = 0.0f;
            double l_Squares = 0.0;
            for (std::size_t i = l_Frames.size() - l_Last; i < l_Frames.size(); ++i) {
                l_Peak = std::max(l_Peak, std::fabs(l_Frames[i]));
                l_Squares += double(l_Frames[i]) * l_Frames[i];
            }
            EXPECT_EQ(l_Peak, l_Tracks.peaks[l_Track]) << "track " << l_Track;
            EXPECT_NEAR(std::sqrt(l_Squares / l_Last), l_Tracks.rms[l_Track], 1e-5 * l_Peak)
                << "track " << l_Track;
            l_Sounding += l_Peak > 0.0f ? 1 : 0;
        }
        EXPECT_GE(l_Sounding, 3);
        for (tw_song* l_Song : {l_Mixed, l_Apart, l_Metered})
            tw_song_close(l_Song);
    }
}

TEST(DecoderTracks, MuteSoloAndGainActOnTheirTracksFramesAlone)
{
    tw_song* l_Reference = OpenSong("harbour-lights.org");
    const TrackFrames l_Tracks = ReadApart(l_Reference, UNEVEN);
    std::vector<int> l_Loud;  // the tracks that sound, loudest first
    for (int l_Track = 0; l_Track < 16; ++l_Track)
        if (Rms(l_Tracks.tracks[l_Track]) > 1e-3)
            l_Loud.push_back(l_Track);
    ASSERT_GE(l_Loud.size(), 3u);
    const int l_First = l_Loud[0], l_Second = l_Loud[1], l_Third = l_Loud[2];

    // Muted: the mix without the track, and the track's own frames silent.
    tw_song* l_Muted = OpenSong("harbour-lights.org");
    ASSERT_EQ(TW_OK, tw_song_set_track_mute(l_Muted, l_First, 1));
    std::vector<int> l_Others = ALL;
    l_Others.erase(std::find(l_Others.begin(), l_Others.end(), l_First));
    EXPECT_LE(LargestDifference(Sum(l_Tracks, l_Others), ReadMixed(l_Muted, UNEVEN)), 1e-6);
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Muted, 0.0));
    EXPECT_EQ(0.0, Rms(ReadApart(l_Muted, UNEVEN).tracks[l_First]));

    // Two soloed, one of them muted too: those two and nothing else.
    tw_song* l_Soloed = OpenSong("harbour-lights.org");
    ASSERT_EQ(TW_OK, tw_song_set_track_solo(l_Soloed, l_Second, 1));
    ASSERT_EQ(TW_OK, tw_song_set_track_solo(l_Soloed, l_Third, 1));
    ASSERT_EQ(TW_OK, tw_song_set_track_mute(l_Soloed, l_Third, 1));
    EXPECT_LE(LargestDifference(Sum(l_Tracks, {l_Second, l_Third}), ReadMixed(l_Soloed, UNEVEN)), 1e-6);

    // Half the gain: exactly half the track's frames, the others as they were.
    tw_song* l_Halved = OpenSong("harbour-lights.org");
    ASSERT_EQ(TW_OK, tw_song_set_track_gain(l_Halved, l_First, 0.5f));
    const TrackFrames l_HalvedTracks = ReadApart(l_Halved, UNEVEN);
    std::vector<float> l_Half = l_Tracks.tracks[l_First];
    for (float& l_Sample : l_Half)
        l_Sample *= 0.5f;
    EXPECT_EQ(l_Half, l_HalvedTracks.tracks[l_First]);
    EXPECT_EQ(l_Tracks.tracks[l_Second], l_HalvedTracks.tracks[l_Second]);

    // Changed while reading, a gain ramps from the next read on instead of stepping.
    ASSERT_EQ(TW_OK, tw_song_set_track_gain(l_Halved, l_First, 0.0f));
    const std::vector<float> l_Fading = ReadApart(l_Halved, {960}).tracks[l_First];
    EXPECT_GT(std::fabs(l_Fading[0]), 0.0f);
    EXPECT_EQ(0.0, Rms(std::vector<float>(l_Fading.begin() + 2 * 480, l_Fading.end())));
    for (tw_song* l_Song : {l_Reference, l_Muted, l_Soloed, l_Halved})
        tw_song_close(l_Song);
}

// Tempo 100, one 2-beat note on track 0 every 4 beats, 16 beats looped.
std::vector<std::uint8_t> PulseSong()
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 100;
    l_Image.loopstart = 0;
    l_Image.loopstop = 16;
    for (std::uint32_t l_Beat = 0; l_Beat < 16; l_Beat += 4)
        l_Image.tracks[0].events.push_back({l_Beat, 45, 2, 200, 6});
    return l_Image.Bytes();
}

// The frames where sound begins after at least a block of silence.
std::vector<std::size_t> Onsets(const std::vector<float>& p_Frames)
{
    std::vector<std::size_t> l_Out;
    std::size_t l_Quiet = 48;
    for (std::size_t l_Frame = 0; 2 * l_Frame < p_Frames.size(); ++l_Frame) {
        const bool l_Sound = std::fabs(p_Frames[2 * l_Frame]) > 1e-4f;
        if (l_Sound && l_Quiet >= 48)
            l_Out.push_back(l_Frame);
        l_Quiet = l_Sound ? 0 : l_Quiet + 1;
    }
    return l_Out;
}

TEST(DecoderTracks, ATempoFactorOfTwoHalvesTheFramesTheTimesOfTheNotesAndTheSeeks)
{
    const std::vector<std::uint8_t> l_Bytes = PulseSong();
    tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
    tw_song* l_Faster = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
    for (tw_song* l_Each : {l_Song, l_Faster})
        ASSERT_EQ(TW_OK, tw_song_set_loops(l_Each, 1));
    ASSERT_EQ(TW_OK, tw_song_set_tempo_factor(l_Faster, 2.0));
    EXPECT_DOUBLE_EQ(3.2, tw_song_get_duration_seconds(l_Song));
    EXPECT_DOUBLE_EQ(1.6, tw_song_get_duration_seconds(l_Faster));
    const std::vector<float> l_Normal = ReadMixed(l_Song, {1000000});
    const std::vector<float> l_Fast = ReadMixed(l_Faster, {1000000});
    EXPECT_EQ(3.2 * 48000 * 2, double(l_Normal.size()));
    EXPECT_EQ(l_Normal.size() / 2, l_Fast.size());
    const std::vector<std::size_t> l_NormalOnsets = Onsets(l_Normal), l_FastOnsets = Onsets(l_Fast);
    ASSERT_EQ(8u, l_NormalOnsets.size());
    ASSERT_EQ(l_NormalOnsets.size(), l_FastOnsets.size());
    for (std::size_t i = 0; i < l_NormalOnsets.size(); ++i)
        EXPECT_NEAR(l_NormalOnsets[i] / 2.0, double(l_FastOnsets[i]), 48.0) << "note " << i;
    // A note keeps its pitch.
    const std::vector<float> l_NormalNote(l_Normal.begin(), l_Normal.begin() + 2 * 4800);
    const std::vector<float> l_FastNote(l_Fast.begin(), l_Fast.begin() + 2 * 4800);
    EXPECT_NEAR(EngineTest::MeasureFrequency(l_NormalNote, 2 * 48000),
                EngineTest::MeasureFrequency(l_FastNote, 2 * 48000), 0.5);

    // Seconds count at the new speed: 0.2 s in is beat 4, whose note starts there.
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Faster, 0.2));
    EXPECT_DOUBLE_EQ(0.2, tw_song_get_position_seconds(l_Faster));
    uint32_t l_Beat = 0;
    ASSERT_EQ(TW_OK, tw_song_get_beat_at_seconds(l_Faster, 0.2, &l_Beat));
    EXPECT_EQ(4u, l_Beat);
    EXPECT_LT(Onsets(ReadMixed(l_Faster, {4800})).at(0), 48u);
    // Changed in mid-song, the factor keeps the song on its beat.
    ASSERT_EQ(TW_OK, tw_song_set_tempo_factor(l_Faster, 1.0));
    EXPECT_NEAR(0.6, tw_song_get_position_seconds(l_Faster), 1e-3);
    tw_song_close(l_Song);
    tw_song_close(l_Faster);
}

TEST(DecoderTracks, APitchShiftOfTwelveDoublesEveryMelodyNoteAndReachesHeldOnes)
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 500;
    l_Image.loopstop = 8;
    for (int l_Track = 0; l_Track < 8; ++l_Track) {
        l_Image.tracks[l_Track].id = std::uint8_t(l_Track * 13);
        l_Image.tracks[l_Track].events.push_back({0, std::uint8_t(20 + 6 * l_Track), 8, 200, 6});
    }
    const std::vector<std::uint8_t> l_Bytes = l_Image.Bytes();
    const auto Pitches = [&](double p_Shift, double p_ShiftLater) {
        tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
        EXPECT_EQ(TW_OK, tw_song_set_pitch_shift(l_Song, p_Shift));
        ReadApart(l_Song, {4800});
        EXPECT_EQ(TW_OK, tw_song_set_pitch_shift(l_Song, p_ShiftLater));
        ReadApart(l_Song, {480});  // the ramps of the change
        const TrackFrames l_Tracks = ReadApart(l_Song, {48000});
        std::vector<double> l_Out;
        for (int l_Track = 0; l_Track < 8; ++l_Track) {
            std::vector<float> l_Left(l_Tracks.tracks[l_Track].size() / 2);
            for (std::size_t i = 0; i < l_Left.size(); ++i)
                l_Left[i] = l_Tracks.tracks[l_Track][2 * i];
            l_Out.push_back(EngineTest::MeasureFrequency(l_Left, 48000));
        }
        tw_song_close(l_Song);
        return l_Out;
    };
    const std::vector<double> l_Plain = Pitches(0.0, 0.0);
    const std::vector<double> l_Octave = Pitches(12.0, 12.0);
    const std::vector<double> l_Later = Pitches(0.0, 12.0);
    const std::vector<double> l_Fifth = Pitches(0.0, 7.0);
    for (int l_Track = 0; l_Track < 8; ++l_Track) {
        SCOPED_TRACE("track " + std::to_string(l_Track));
        ASSERT_GT(l_Plain[l_Track], 20.0);
        EXPECT_NEAR(2.0, l_Octave[l_Track] / l_Plain[l_Track], 2e-3);
        EXPECT_NEAR(2.0, l_Later[l_Track] / l_Plain[l_Track], 2e-3);
        EXPECT_NEAR(std::exp2(7.0 / 12.0), l_Fifth[l_Track] / l_Plain[l_Track], 2e-3);
    }
}

}  // namespace
