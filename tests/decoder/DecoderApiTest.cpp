// The C interface's contract: strict opening with its own error codes, the argument checks, the
// song's length by its loop setting, seeking onto beats with held notes sounding, the log function,
// and the built-in bank being the sample files' very samples.
#include <gtest/gtest.h>

#include <tunewright/fmod.h>
#include <tunewright/tunewright.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "BuiltinBank.h"
#include "OrgFileBuilder.h"
#include "TempDir.h"
#include "WavData.h"

namespace {

// Tempo 100, loop 4..12: intro 0.4 s, loop 0.8 s; one long melody note from beat 0 to beat 10.
OrgTest::SongImage HeldNoteSong()
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 100;
    l_Image.loopstart = 4;
    l_Image.loopstop = 12;
    l_Image.tracks[0].events.push_back({0, 45, 10, 200, 6});
    return l_Image;
}

tw_song* Open(const std::vector<std::uint8_t>& p_Bytes, int* p_Error = nullptr)
{
    return tw_song_open_memory(p_Bytes.data(), p_Bytes.size(), p_Error);
}

double Rms(const std::vector<float>& p_Frames)
{
    double l_Sum = 0.0;
    for (float l_Value : p_Frames)
        l_Sum += double(l_Value) * l_Value;
    return p_Frames.empty() ? 0.0 : std::sqrt(l_Sum / p_Frames.size());
}

TEST(DecoderApi, RefusesWhatIsNotAWholeSongWithItsOwnCode)
{
    const std::vector<std::uint8_t> l_Good = HeldNoteSong().Bytes();
    int l_Error = 1;
    tw_song* l_Song = Open(l_Good, &l_Error);
    EXPECT_NE(nullptr, l_Song);
    EXPECT_EQ(TW_OK, l_Error);
    tw_song_close(l_Song);

    OrgTest::SongImage l_OtherMagic = HeldNoteSong();
    l_OtherMagic.magic = "Org-03";
    EXPECT_EQ(nullptr, Open(l_OtherMagic.Bytes(), &l_Error));
    EXPECT_EQ(TW_ERROR_NOT_A_SONG, l_Error);

    const std::vector<std::uint8_t> l_Short(l_Good.begin(), l_Good.end() - 1);
    EXPECT_EQ(nullptr, Open(l_Short, &l_Error));
    EXPECT_EQ(TW_ERROR_TRUNCATED, l_Error);
    EXPECT_EQ(nullptr, tw_song_open_memory(l_Good.data(), 50, &l_Error));
    EXPECT_EQ(TW_ERROR_TRUNCATED, l_Error);
    EXPECT_EQ(nullptr, tw_song_open_memory(nullptr, 0, &l_Error));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, l_Error);

    OrgTest::TempDir l_Dir;
    EXPECT_EQ(nullptr, tw_song_open_file(l_Dir.Path("missing.org").c_str(), &l_Error));
    EXPECT_EQ(TW_ERROR_FILE, l_Error);
    OrgTest::WriteFile(l_Dir.Path("empty.org"), {});
    EXPECT_EQ(nullptr, tw_song_open_file(l_Dir.Path("empty.org").c_str(), nullptr));

    // One distinct sentence per code; never null.
    std::set<std::string> l_Sentences;
    for (int l_Code = TW_OK; l_Code >= TW_ERROR_UNKNOWN; --l_Code)
        l_Sentences.insert(tw_error_string(l_Code));
    EXPECT_EQ(8u, l_Sentences.size());
    EXPECT_STREQ(tw_error_string(TW_ERROR_UNKNOWN), tw_error_string(12345));
    tw_song_close(nullptr);
}

// What other languages take from the C interface (the Python package by these calls): a name for
// every code, resampler and report field, in order and with nothing after the last; every resampler
// named is one a song takes, and the next number is none.
TEST(DecoderApi, NamesItsCodesResamplersAndReportFields)
{
    EXPECT_STREQ("TW_OK", tw_error_name(TW_OK));
    EXPECT_STREQ("TW_ERROR_BAD_QUANTIZE", tw_error_name(TW_ERROR_BAD_QUANTIZE));
    EXPECT_EQ(nullptr, tw_error_name(TW_ERROR_BAD_QUANTIZE - 1));
    EXPECT_EQ(nullptr, tw_error_name(1));

    tw_song* l_Song = tw_song_new(nullptr);
    int l_Method = 0;
    for (; tw_interpolation_name(l_Method) != nullptr; ++l_Method)
        EXPECT_EQ(TW_OK, tw_song_set_interpolation(l_Song, l_Method)) << tw_interpolation_name(l_Method);
    EXPECT_EQ(TW_INTERPOLATION_SINC + 1, l_Method);
    EXPECT_STREQ("sinc", tw_interpolation_name(TW_INTERPOLATION_SINC));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_interpolation(l_Song, l_Method));
    EXPECT_EQ(nullptr, tw_interpolation_name(-1));
    tw_song_close(l_Song);

    int l_Field = 0;
    while (tw_midi_report_field_name(l_Field) != nullptr)
        ++l_Field;
    EXPECT_EQ(sizeof(tw_midi_report), l_Field * sizeof(uint32_t));
    EXPECT_STREQ("retimed", tw_midi_report_field_name(l_Field - 1));
}

// The header the web composer puts before its render: a WAV file an independent reader takes, of
// the frames it counts; one no WAV file could hold is refused.
TEST(DecoderApi, WavHeaderMakesAFileOfItsFrames)
{
    const std::vector<std::int16_t> l_Frames = {1, -1, 2, -2, 3, -3};
    std::vector<std::uint8_t> l_Bytes(TW_WAV_HEADER_BYTES);
    ASSERT_EQ(TW_OK, tw_wav_header(44100, 2, 3, l_Bytes.data()));
    for (std::int16_t l_Sample : l_Frames)
        l_Bytes.insert(l_Bytes.end(), {std::uint8_t(l_Sample & 0xFF), std::uint8_t((l_Sample >> 8) & 0xFF)});
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("header.wav"), l_Bytes);
    const WavData l_Wav = ReadWav(l_Dir.Path("header.wav"));
    ASSERT_TRUE(l_Wav.ok) << l_Wav.error;
    EXPECT_EQ(44100, l_Wav.rate);
    EXPECT_EQ(2, l_Wav.channels);
    EXPECT_EQ(l_Frames, l_Wav.samples);

    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_wav_header(44100, 2, 0x40000000u, l_Bytes.data()));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_wav_header(44100, 3, 3, l_Bytes.data()));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_wav_header(44100, 2, 3, nullptr));
}

// Opening a file is bounded as the tools' reading is: no more than the largest possible song is
// ever read (a larger input gets its own code), and an input that never delivers is given up
// (the test's timeout guards against a hang).
TEST(DecoderApi, OpeningAFileReadsNoMoreThanASongAndNeverWaitsForEver)
{
    const std::size_t l_Largest = 114 + 16 * 65535 * 8;  // every track holding 65535 notes
    OrgTest::TempDir l_Dir;
    std::vector<std::uint8_t> l_Bytes = HeldNoteSong().Bytes();
    l_Bytes.resize(l_Largest);  // trailing bytes of a song are ignored
    OrgTest::WriteFile(l_Dir.Path("largest.org"), l_Bytes);
    l_Bytes.push_back(0);
    OrgTest::WriteFile(l_Dir.Path("larger.org"), l_Bytes);
    int l_Error = 1;
    tw_song* l_Song = tw_song_open_file(l_Dir.Path("largest.org").c_str(), &l_Error);
    EXPECT_NE(nullptr, l_Song);
    EXPECT_EQ(TW_OK, l_Error);
    tw_song_close(l_Song);
    EXPECT_EQ(nullptr, tw_song_open_file(l_Dir.Path("larger.org").c_str(), &l_Error));
    EXPECT_EQ(TW_ERROR_TOO_LARGE, l_Error);
    EXPECT_STRNE(tw_error_string(TW_ERROR_UNKNOWN), tw_error_string(TW_ERROR_TOO_LARGE));
#ifndef _WIN32
    EXPECT_EQ(nullptr, tw_song_open_file("/dev/zero", &l_Error));
    EXPECT_EQ(TW_ERROR_TOO_LARGE, l_Error);
    ASSERT_EQ(0, mkfifo(l_Dir.Path("fifo.org").c_str(), 0600));
    EXPECT_EQ(nullptr, tw_song_open_file(l_Dir.Path("fifo.org").c_str(), &l_Error));
    EXPECT_EQ(TW_ERROR_FILE, l_Error);
#endif
}

TEST(DecoderApi, ChecksEveryArgument)
{
    tw_song* l_Song = Open(HeldNoteSong().Bytes());
    ASSERT_NE(nullptr, l_Song);
    std::int16_t l_Pcm[64];
    float l_Float[64];
    EXPECT_EQ(0u, tw_song_read_s16(l_Song, 7999, 32, l_Pcm));
    EXPECT_EQ(0u, tw_song_read_s16(l_Song, 192001, 32, l_Pcm));
    EXPECT_EQ(0u, tw_song_read_float(l_Song, 48000, 32, nullptr));
    EXPECT_EQ(0u, tw_song_read_float(nullptr, 48000, 32, l_Float));
    EXPECT_EQ(32u, tw_song_read_s16(l_Song, 8000, 32, l_Pcm));
    EXPECT_EQ(32u, tw_song_read_float(l_Song, 192000, 32, l_Float));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_interpolation(l_Song, 5));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_interpolation(l_Song, -1));
    for (int l_Method = TW_INTERPOLATION_NEAREST; l_Method <= TW_INTERPOLATION_SINC; ++l_Method)
        EXPECT_EQ(TW_OK, tw_song_set_interpolation(l_Song, l_Method));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_volume(l_Song, -0.5f));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_volume(l_Song, NAN));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_loops(l_Song, -2));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_seek_seconds(l_Song, -1.0));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_seek_seconds(l_Song, INFINITY));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_volume(nullptr, 1.0f));
    EXPECT_EQ(-1, tw_song_get_track_notes(l_Song, 16));
    EXPECT_EQ(1, tw_song_get_track_notes(l_Song, 0));
    EXPECT_EQ(0, tw_song_get_tempo_ms(nullptr));
    EXPECT_EQ(100, tw_song_get_tempo_ms(l_Song));
    EXPECT_EQ(0x000100u, tw_version());

    // The mixing desk: a clear code for every bad value, and the settings left as they were.
    EXPECT_EQ(TW_ERROR_BAD_TRACK, tw_song_set_track_mute(l_Song, 16, 1));
    EXPECT_EQ(TW_ERROR_BAD_TRACK, tw_song_set_track_solo(l_Song, -1, 1));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_track_mute(nullptr, 0, 1));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_track_solo(l_Song, 16));
    for (float l_Gain : {-0.1f, 1.01f, NAN})
        EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_track_gain(l_Song, 3, l_Gain));
    EXPECT_EQ(TW_ERROR_BAD_TRACK, tw_song_set_track_gain(l_Song, 16, 0.5f));
    EXPECT_EQ(-1.0f, tw_song_get_track_gain(l_Song, 16));
    for (double l_Factor : {0.24, 4.01, double(NAN), double(INFINITY)})
        EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_tempo_factor(l_Song, l_Factor));
    for (double l_Shift : {-24.01, 24.01, double(NAN)})
        EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_pitch_shift(l_Song, l_Shift));
    EXPECT_EQ(TW_OK, tw_song_set_track_mute(l_Song, 15, 1));
    EXPECT_EQ(TW_OK, tw_song_set_track_solo(l_Song, 2, 1));
    EXPECT_EQ(TW_OK, tw_song_set_track_gain(l_Song, 3, 0.25f));
    EXPECT_EQ(TW_OK, tw_song_set_tempo_factor(l_Song, 0.25));
    EXPECT_EQ(TW_OK, tw_song_set_pitch_shift(l_Song, -23.5));
    EXPECT_EQ(1, tw_song_get_track_mute(l_Song, 15));
    EXPECT_EQ(1, tw_song_get_track_solo(l_Song, 2));
    EXPECT_EQ(0, tw_song_get_track_solo(l_Song, 3));
    EXPECT_EQ(0.25f, tw_song_get_track_gain(l_Song, 3));
    EXPECT_EQ(0.25, tw_song_get_tempo_factor(l_Song));
    EXPECT_EQ(-23.5, tw_song_get_pitch_shift(l_Song));
    EXPECT_EQ(0.0, tw_song_get_tempo_factor(nullptr));
    float* l_Tracks[16] = {};
    EXPECT_EQ(0u, tw_song_read_tracks_float(l_Song, 48000, 32, l_Tracks));
    EXPECT_EQ(0u, tw_song_read_tracks_float(l_Song, 48000, 32, nullptr));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_track_levels(nullptr, nullptr, nullptr));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_level_metering(nullptr, 1));
    EXPECT_EQ(0, tw_song_get_level_metering(l_Song));
    tw_song_close(l_Song);
}

TEST(DecoderApi, ListsATracksEventsAndTheBeatPlayingAtATime)
{
    OrgTest::SongImage l_Image = HeldNoteSong();
    l_Image.tracks[0].events.push_back({5, 50, 0, 90, 255});  // changes the held note's volume
    tw_song* l_Song = Open(l_Image.Bytes());
    ASSERT_NE(nullptr, l_Song);
    EXPECT_EQ(16, tw_song_get_track_count(l_Song));
    EXPECT_EQ(TW_TRACK_MELODY, tw_song_get_track_kind(l_Song, 7));
    EXPECT_EQ(TW_TRACK_DRUMS, tw_song_get_track_kind(l_Song, 8));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_track_kind(l_Song, 16));
    EXPECT_EQ(2, tw_song_get_track_event_count(l_Song, 0));
    EXPECT_EQ(2, tw_song_get_track_notes(l_Song, 0));  // the old name counts the same

    tw_event l_Events[3] = {};
    l_Events[1].beat = 77;
    EXPECT_EQ(2, tw_song_get_track_events(l_Song, 0, nullptr, 3));   // a count alone
    EXPECT_EQ(2, tw_song_get_track_events(l_Song, 0, l_Events, 1));  // what fits, and the count
    EXPECT_EQ(77u, l_Events[1].beat);
    EXPECT_EQ(2, tw_song_get_track_events(l_Song, 0, l_Events, 3));
    using Row = std::tuple<unsigned, int, int, int, int, int>;
    const auto l_Row = [](const tw_event& p_Event) {
        return Row(p_Event.beat, p_Event.key, p_Event.length, p_Event.volume, p_Event.pan,
                   p_Event.starts_note);
    };
    EXPECT_EQ(Row(0, 45, 10, 200, 6, 1), l_Row(l_Events[0]));
    EXPECT_EQ(Row(5, 50, 0, 90, 255, 0), l_Row(l_Events[1]));
    EXPECT_EQ(0, tw_song_get_track_events(l_Song, 15, l_Events, 3));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_track_events(l_Song, -1, l_Events, 3));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_track_events(nullptr, 0, l_Events, 3));

    // Tempo 100, loop 4..12: the loop's second pass plays its beats again.
    for (const auto& [l_Seconds, l_Beat] : {std::pair{0.45, 4u}, {1.15, 11u}, {1.3, 5u}}) {
        std::uint32_t l_Got = 0;
        EXPECT_EQ(TW_OK, tw_song_get_beat_at_seconds(l_Song, l_Seconds, &l_Got));
        EXPECT_EQ(l_Beat, l_Got) << l_Seconds;
    }
    std::uint32_t l_Beat = 0;
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_beat_at_seconds(l_Song, -0.1, &l_Beat));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_beat_at_seconds(l_Song, 1.0, nullptr));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_get_beat_at_seconds(nullptr, 1.0, &l_Beat));
    tw_song_close(l_Song);
}

TEST(DecoderApi, LastsItsIntroAndItsLoopsAndEndsThere)
{
    tw_song* l_Song = Open(HeldNoteSong().Bytes());
    ASSERT_NE(nullptr, l_Song);
    EXPECT_DOUBLE_EQ(1.2, tw_song_get_duration_seconds(l_Song));
    ASSERT_EQ(TW_OK, tw_song_set_loops(l_Song, 2));
    EXPECT_DOUBLE_EQ(2.8, tw_song_get_duration_seconds(l_Song));
    std::vector<std::int16_t> l_Buffer(2 * 48000 * 3);
    EXPECT_EQ(std::size_t(2.8 * 48000), tw_song_read_s16(l_Song, 48000, 48000 * 3, l_Buffer.data()));
    EXPECT_EQ(0u, tw_song_read_s16(l_Song, 48000, 10, l_Buffer.data()));
    EXPECT_DOUBLE_EQ(2.8, tw_song_get_position_seconds(l_Song));

    // Another rate goes on from the beat reached: 0.5 s is beat 5, and 0.7 s remain, to the end of
    // the last whole 44-frame block (1.2 s is 52920 frames, 1203 blocks 52932).
    ASSERT_EQ(TW_OK, tw_song_set_loops(l_Song, 0));
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, 0.0));
    EXPECT_EQ(24000u, tw_song_read_s16(l_Song, 48000, 24000, l_Buffer.data()));
    EXPECT_EQ(52932u - 22050u, tw_song_read_s16(l_Song, 44100, 48000, l_Buffer.data()));

    ASSERT_EQ(TW_OK, tw_song_set_loops(l_Song, -1));
    EXPECT_TRUE(std::isinf(tw_song_get_duration_seconds(l_Song)));
    EXPECT_EQ(1000u, tw_song_read_s16(l_Song, 48000, 1000, l_Buffer.data()));
    tw_song_close(l_Song);
}

TEST(DecoderApi, SeekLandsOnABeatAndAHeldNoteSoundsFromIt)
{
    OrgTest::SongImage l_Image = HeldNoteSong();
    l_Image.tracks[1].events.push_back({7, 45, 1, 200, 6});  // a short note later on
    tw_song* l_Song = Open(l_Image.Bytes());
    ASSERT_NE(nullptr, l_Song);
    std::vector<float> l_Block(2 * 480);

    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, 0.555));  // inside beat 5
    EXPECT_DOUBLE_EQ(0.5, tw_song_get_position_seconds(l_Song));
    ASSERT_EQ(480u, tw_song_read_float(l_Song, 48000, 480, l_Block.data()));
    EXPECT_GT(Rms(l_Block), 0.01);  // the note begun at beat 0 sounds at once
    // Levels are compared past the seeked voice's start ramp (a few ms): over the block's second half.
    const auto l_SecondHalf = [&] { return std::vector<float>(l_Block.begin() + 480, l_Block.end()); };
    const double l_Held = Rms(l_SecondHalf());

    // The same beat reached by playing gives the same level.
    tw_song* l_Played = Open(l_Image.Bytes());
    std::vector<float> l_Skip(2 * 24000);
    ASSERT_EQ(24000u, tw_song_read_float(l_Played, 48000, 24000, l_Skip.data()));
    ASSERT_EQ(480u, tw_song_read_float(l_Played, 48000, 480, l_Block.data()));
    EXPECT_NEAR(l_Held, Rms(l_SecondHalf()), 0.1 * l_Held);
    tw_song_close(l_Played);

    // Past the loop's end, a seek lands in the loop: 1.3 s is beat 13, the loop's beat 5.
    ASSERT_EQ(TW_OK, tw_song_set_loops(l_Song, 1));
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, 1.3));
    EXPECT_DOUBLE_EQ(1.3, tw_song_get_position_seconds(l_Song));
    ASSERT_EQ(480u, tw_song_read_float(l_Song, 48000, 480, l_Block.data()));
    EXPECT_GT(Rms(l_Block), 0.01);

    // Beyond the end: nothing more to read.
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, 99.0));
    EXPECT_EQ(0u, tw_song_read_float(l_Song, 48000, 480, l_Block.data()));
    tw_song_close(l_Song);
}

// A song that lasts longer than a thousand million seconds is seeked as far as it lasts.
TEST(DecoderApi, AFarSeekInsideTheSongLandsWhereAsked)
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 1000;
    l_Image.loopstart = 0;
    l_Image.loopstop = 1000;  // a loop of 1000 s, played 10^7 times: 10^10 s
    tw_song* l_Song = Open(l_Image.Bytes());
    ASSERT_NE(nullptr, l_Song);
    ASSERT_EQ(TW_OK, tw_song_set_loops(l_Song, 10000000));
    ASSERT_GT(tw_song_get_duration_seconds(l_Song), 9e9);
    for (double l_Seconds : {5e9, 9e9}) {
        ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, l_Seconds));
        EXPECT_DOUBLE_EQ(l_Seconds, tw_song_get_position_seconds(l_Song));
        std::vector<float> l_Block(2 * 480);
        EXPECT_EQ(480u, tw_song_read_float(l_Song, 48000, 480, l_Block.data()));
    }
    tw_song_close(l_Song);
}

// Found by fuzzing: 140 ms beats over some 3.9e9 beats make a duration whose seconds, back in
// milliseconds, fall short of the last beat.
TEST(DecoderApi, ASeekToTheReportedDurationReadsNothingMore)
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 140;
    l_Image.loopstart = 38144;
    l_Image.loopstop = 3892314112u;
    tw_song* l_Song = Open(l_Image.Bytes());
    ASSERT_NE(nullptr, l_Song);
    ASSERT_EQ(TW_OK, tw_song_seek_seconds(l_Song, tw_song_get_duration_seconds(l_Song)));
    std::vector<float> l_Block(2 * 64);
    // Rates whose mix blocks are not whole milliseconds; the second restarts the engine at the end.
    for (int l_Rate : {44100, 22050})
        EXPECT_EQ(0u, tw_song_read_float(l_Song, l_Rate, 64, l_Block.data())) << l_Rate;
    tw_song_close(l_Song);
}

TEST(DecoderApi, MessagesGoToTheLogFunction)
{
    std::vector<std::string> l_Lines;
    tw_set_log_function(
        [](const char* p_Line, void* p_User) {
            static_cast<std::vector<std::string>*>(p_User)->push_back(p_Line);
        },
        &l_Lines);
    tw_song* l_Song = Open(HeldNoteSong().Bytes());
    tw_set_log_function(nullptr, nullptr);
    tw_song_close(l_Song);
    ASSERT_EQ(1u, l_Lines.size());
    EXPECT_EQ("Read in 122 bytes.\n", l_Lines[0]);
}

TEST(DecoderApi, TheBuiltInBankHoldsTheSampleFilesSamples)
{
    for (int i = 0; i < 100; ++i) {
        const WavData l_Wav =
            ReadWav(std::string(TUNEWRIGHT_DATA_DIR) + "/melody/melody" + std::to_string(i) + ".wav");
        const Org::BuiltinBank::Sample& l_Sample = Org::BuiltinBank::Melody(i);
        ASSERT_TRUE(l_Wav.ok) << i;
        EXPECT_EQ(l_Wav.rate, int(l_Sample.rate));
        EXPECT_TRUE(l_Wav.samples == std::vector<std::int16_t>(l_Sample.pcm, l_Sample.pcm + l_Sample.frames))
            << i;
    }
    const char* const l_Drums[12] = {"Bass01", "Bass02", "Snare01", "Snare02", "Tom01",  "HiClose",
                                     "HiOpen", "Crash",  "Per01",   "Per02",   "Bass03", "Tom02"};
    for (int i = 0; i < 12; ++i) {
        const WavData l_Wav =
            ReadWav(std::string(TUNEWRIGHT_DATA_DIR) + "/percussion/" + l_Drums[i] + ".wav");
        const Org::BuiltinBank::Sample& l_Sample = Org::BuiltinBank::Percussion(i);
        ASSERT_TRUE(l_Wav.ok) << l_Drums[i];
        EXPECT_TRUE(l_Wav.samples == std::vector<std::int16_t>(l_Sample.pcm, l_Sample.pcm + l_Sample.frames))
            << l_Drums[i];
    }
}

}  // namespace

namespace {

// The engine call that builds the songs' instruments: raw 16-bit PCM from memory, nothing looser.
TEST(DecoderEngine, TakesRawSixteenBitMemoryWithAWholeLayoutOnly)
{
    FMOD_SYSTEM* l_System = nullptr;
    ASSERT_EQ(FMOD_OK, FMOD_System_Create(&l_System));
    ASSERT_EQ(FMOD_OK, FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND_NRT));
    ASSERT_EQ(FMOD_OK, FMOD_System_Init(l_System, 4, FMOD_INIT_NORMAL, nullptr));
    const std::int16_t l_Pcm[6] = {0, 1000, -1000, 32767, -32768, 5};
    const char* l_Data = reinterpret_cast<const char*>(l_Pcm);
    const FMOD_MODE l_Raw = FMOD_SOFTWARE | FMOD_LOOP_OFF | FMOD_OPENMEMORY | FMOD_OPENRAW;
    auto Info = [](unsigned p_Bytes, int p_Channels, FMOD_SOUND_FORMAT p_Format) {
        FMOD_CREATESOUNDEXINFO l_Info = {};
        l_Info.cbsize = sizeof l_Info;
        l_Info.length = p_Bytes;
        l_Info.numchannels = p_Channels;
        l_Info.defaultfrequency = 44100;
        l_Info.format = p_Format;
        return l_Info;
    };
    FMOD_SOUND* l_Sound = nullptr;
    FMOD_CREATESOUNDEXINFO l_Info = Info(sizeof l_Pcm, 2, FMOD_SOUND_FORMAT_PCM16);
    ASSERT_EQ(FMOD_OK, FMOD_System_CreateSound(l_System, l_Data, l_Raw, &l_Info, &l_Sound));
    unsigned l_Frames = 0;
    EXPECT_EQ(FMOD_OK, FMOD_Sound_GetLength(l_Sound, &l_Frames, FMOD_TIMEUNIT_PCM));
    EXPECT_EQ(3u, l_Frames);

    EXPECT_EQ(FMOD_ERR_UNSUPPORTED,
              FMOD_System_CreateSound(l_System, l_Data, FMOD_SOFTWARE | FMOD_OPENMEMORY, &l_Info, &l_Sound));
    l_Info = Info(sizeof l_Pcm, 2, FMOD_SOUND_FORMAT_PCM8);
    EXPECT_EQ(FMOD_ERR_FORMAT, FMOD_System_CreateSound(l_System, l_Data, l_Raw, &l_Info, &l_Sound));
    l_Info = Info(3, 2, FMOD_SOUND_FORMAT_PCM16);  // not one whole frame
    EXPECT_EQ(FMOD_ERR_FORMAT, FMOD_System_CreateSound(l_System, l_Data, l_Raw, &l_Info, &l_Sound));
    l_Info = Info(sizeof l_Pcm, 3, FMOD_SOUND_FORMAT_PCM16);
    EXPECT_EQ(FMOD_ERR_FORMAT, FMOD_System_CreateSound(l_System, l_Data, l_Raw, &l_Info, &l_Sound));
    l_Info = Info(sizeof l_Pcm, 2, FMOD_SOUND_FORMAT_PCM16);
    l_Info.cbsize = 4;
    EXPECT_EQ(FMOD_ERR_INVALID_PARAM, FMOD_System_CreateSound(l_System, l_Data, l_Raw, &l_Info, &l_Sound));
    FMOD_System_Release(l_System);
}

}  // namespace
