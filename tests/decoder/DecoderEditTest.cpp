// Making and changing songs through the C interface: the bytes an edited song saves (checked
// against an independent writer), a refused value changing nothing, and edits heard while reading.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "OrgFileBuilder.h"
#include "TempDir.h"

namespace {

constexpr int RATE = 44100;

std::vector<std::uint8_t> Saved(const tw_song* p_Song)
{
    std::vector<std::uint8_t> l_Bytes(static_cast<std::size_t>(tw_song_save_memory(p_Song, nullptr, 0)));
    EXPECT_EQ(static_cast<int>(l_Bytes.size()), tw_song_save_memory(p_Song, l_Bytes.data(), l_Bytes.size()));
    return l_Bytes;
}

std::vector<std::int16_t> Read(tw_song* p_Song, std::size_t p_Frames)
{
    std::vector<std::int16_t> l_Pcm(2 * p_Frames);
    l_Pcm.resize(2 * tw_song_read_s16(p_Song, RATE, p_Frames, l_Pcm.data()));
    return l_Pcm;
}

tw_event Note(std::uint32_t p_Beat, int p_Key, int p_Length, int p_Volume = 200, int p_Pan = 6)
{
    return {p_Beat,
            static_cast<std::uint8_t>(p_Key),
            static_cast<std::uint8_t>(p_Length),
            static_cast<std::uint8_t>(p_Volume),
            static_cast<std::uint8_t>(p_Pan),
            0,
            {0, 0, 0}};
}

TEST(SongEditing, AnEditedSongSavesTheFormatsBytesAndOpensAgain)
{
    tw_song* l_Song = tw_song_new(nullptr);
    ASSERT_NE(nullptr, l_Song);
    EXPECT_EQ(TW_OK, tw_song_set_tempo_ms(l_Song, 120));
    EXPECT_EQ(TW_OK, tw_song_set_bar_layout(l_Song, 3, 4));
    EXPECT_EQ(TW_OK, tw_song_set_loop(l_Song, 8, 32));
    EXPECT_EQ(TW_OK, tw_song_set_track_instrument(l_Song, 2, 99));
    EXPECT_EQ(TW_OK, tw_song_set_track_fine_tune(l_Song, 2, 1010));
    EXPECT_EQ(TW_OK, tw_song_set_track_no_loop(l_Song, 2, 7));
    EXPECT_EQ(TW_OK, tw_song_set_track_instrument(l_Song, 9, 11));
    // Inserted out of order; a replaced and a removed note.
    const tw_event l_Late = Note(20, 95, 255, 254, 12), l_Early = Note(0, 0, 1, 0, 0);
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 2, &l_Late));
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 2, &l_Early));
    const tw_event l_First = Note(4, 40, 2), l_Changed = Note(4, 41, 3, 100, 2), l_Gone = Note(6, 1, 1);
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 2, &l_First));
    EXPECT_EQ(TW_OK, tw_song_replace_event(l_Song, 2, &l_Changed));
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 2, &l_Gone));
    EXPECT_EQ(TW_OK, tw_song_remove_event(l_Song, 2, 6));
    const tw_event l_Drum = Note(16, 30, 1);
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 9, &l_Drum));

    OrgTest::SongImage l_Expected;
    l_Expected.tempo = 120;
    l_Expected.steps_bar = 3;
    l_Expected.beats_step = 4;
    l_Expected.loopstart = 8;
    l_Expected.loopstop = 32;
    for (OrgTest::Track& l_Track : l_Expected.tracks)
        l_Track.pitch = 0;
    // The drum tracks as a new song has them: a kit.
    const std::uint8_t l_Kit[8] = {0, 2, 5, 6, 4, 11, 7, 8};
    for (int l_Track = 8; l_Track < TW_TRACK_COUNT; ++l_Track)
        l_Expected.tracks[l_Track].id = l_Kit[l_Track - 8];
    l_Expected.tracks[2] = {1010, 99, 1, {{0, 0, 1, 0, 0}, {4, 41, 3, 100, 2}, {20, 95, 255, 254, 12}}};
    l_Expected.tracks[9] = {0, 11, 0, {{16, 30, 1, 200, 6}}};
    const std::vector<std::uint8_t> l_Bytes = Saved(l_Song);
    EXPECT_EQ(l_Expected.Bytes(), l_Bytes);

    OrgTest::TempDir l_Dir;
    const std::string l_Path = l_Dir.Path("made.org");
    EXPECT_EQ(TW_OK, tw_song_save_file(l_Song, l_Path.c_str()));
    tw_song* l_Again = tw_song_open_file(l_Path.c_str(), nullptr);
    ASSERT_NE(nullptr, l_Again);
    EXPECT_EQ(l_Bytes, Saved(l_Again));
    int l_PerBar = 0, l_PerBeat = 0;
    std::uint32_t l_Start = 0, l_End = 0;
    EXPECT_EQ(TW_OK, tw_song_get_bar_layout(l_Again, &l_PerBar, &l_PerBeat));
    EXPECT_EQ(TW_OK, tw_song_get_loop(l_Again, &l_Start, &l_End));
    EXPECT_EQ(std::vector<int>({3, 4, 8, 32, 1010, 1, 0}),
              std::vector<int>(
                  {l_PerBar, l_PerBeat, int(l_Start), int(l_End), tw_song_get_track_fine_tune(l_Again, 2),
                   tw_song_get_track_no_loop(l_Again, 2), tw_song_get_track_no_loop(l_Again, 3)}));
    EXPECT_EQ(TW_ERROR_FILE, tw_song_save_file(l_Song, l_Dir.Path("no/such/folder.org").c_str()));
#ifndef _WIN32
    // A FIFO is written straight: refused at once while nobody reads it, given the bytes once
    // someone does.
    const std::string l_Fifo = l_Dir.Path("fifo.org");
    ASSERT_EQ(0, mkfifo(l_Fifo.c_str(), 0600));
    alarm(20);  // a save that waits for a reader ends here, by SIGALRM
    EXPECT_EQ(TW_ERROR_FILE, tw_song_save_file(l_Song, l_Fifo.c_str()));
    alarm(0);
    const int l_Reader = open(l_Fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(l_Reader, 0);
    EXPECT_EQ(TW_OK, tw_song_save_file(l_Song, l_Fifo.c_str()));
    std::vector<std::uint8_t> l_Piped(l_Bytes.size() + 1);
    l_Piped.resize(std::size_t(std::max<ssize_t>(0, read(l_Reader, l_Piped.data(), l_Piped.size()))));
    EXPECT_EQ(l_Bytes, l_Piped);
    close(l_Reader);
#endif
    tw_song_close(l_Again);
    tw_song_close(l_Song);
}

TEST(SongEditing, EveryValueOutOfRangeHasItsOwnCodeAndChangesNothing)
{
    tw_song* l_Song = tw_song_new(nullptr);
    const tw_event l_Held = Note(4, 40, 2);
    ASSERT_EQ(TW_OK, tw_song_insert_event(l_Song, 0, &l_Held));
    const std::vector<std::uint8_t> l_Before = Saved(l_Song);

    const tw_event l_Key = Note(8, 96, 1), l_Length = Note(8, 1, 0), l_Volume = Note(8, 1, 1, 255),
                   l_Pan = Note(8, 1, 1, 0, 13), l_Twice = Note(4, 1, 1), l_Nowhere = Note(5, 1, 1);
    const std::vector<std::pair<int, int>> l_Calls = {
        {TW_ERROR_BAD_TEMPO, tw_song_set_tempo_ms(l_Song, 0)},
        {TW_ERROR_BAD_TEMPO, tw_song_set_tempo_ms(l_Song, 65536)},
        {TW_ERROR_BAD_BAR_LAYOUT, tw_song_set_bar_layout(l_Song, 0, 4)},
        {TW_ERROR_BAD_BAR_LAYOUT, tw_song_set_bar_layout(l_Song, 4, 256)},
        {TW_ERROR_BAD_LOOP, tw_song_set_loop(l_Song, 9, 8)},
        {TW_ERROR_BAD_TRACK, tw_song_set_track_instrument(l_Song, 16, 0)},
        {TW_ERROR_BAD_TRACK, tw_song_insert_event(l_Song, -1, &l_Held)},
        {TW_ERROR_BAD_INSTRUMENT, tw_song_set_track_instrument(l_Song, 7, 100)},
        {TW_ERROR_BAD_INSTRUMENT, tw_song_set_track_instrument(l_Song, 8, 12)},
        {TW_ERROR_BAD_INSTRUMENT, tw_song_set_track_instrument(l_Song, 0, -1)},
        {TW_ERROR_BAD_FINE_TUNE, tw_song_set_track_fine_tune(l_Song, 0, 65536)},
        {TW_ERROR_BAD_KEY, tw_song_insert_event(l_Song, 0, &l_Key)},
        {TW_ERROR_BAD_LENGTH, tw_song_insert_event(l_Song, 0, &l_Length)},
        {TW_ERROR_BAD_VOLUME, tw_song_insert_event(l_Song, 0, &l_Volume)},
        {TW_ERROR_BAD_PAN, tw_song_replace_event(l_Song, 0, &l_Pan)},
        {TW_ERROR_EVENT_EXISTS, tw_song_insert_event(l_Song, 0, &l_Twice)},
        {TW_ERROR_NO_EVENT, tw_song_replace_event(l_Song, 0, &l_Nowhere)},
        {TW_ERROR_NO_EVENT, tw_song_remove_event(l_Song, 1, 4)},
        {TW_ERROR_INVALID_ARGUMENT, tw_song_insert_event(l_Song, 0, nullptr)},
        {TW_ERROR_INVALID_ARGUMENT, tw_song_set_tempo_ms(nullptr, 100)},
        {TW_ERROR_INVALID_ARGUMENT, tw_song_save_memory(nullptr, nullptr, 0)},
        {TW_ERROR_INVALID_ARGUMENT, tw_song_save_file(l_Song, nullptr)},
    };
    for (std::size_t i = 0; i < l_Calls.size(); ++i)
        EXPECT_EQ(l_Calls[i].first, l_Calls[i].second) << "call " << i;
    EXPECT_EQ(l_Before, Saved(l_Song));

    // The range the library gives editors is the one it checks: its ends are taken.
    tw_event l_Lowest, l_Highest;
    tw_get_event_range(&l_Lowest, &l_Highest);
    l_Lowest.beat = 100;
    l_Highest.beat = 101;
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 0, &l_Lowest));
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 0, &l_Highest));
    EXPECT_EQ(std::vector<int>({100, 12}), std::vector<int>({tw_get_instrument_count(TW_TRACK_MELODY),
                                                             tw_get_instrument_count(TW_TRACK_DRUMS)}));

    // A full track takes no more.
    std::vector<tw_event> l_Full;
    for (std::uint32_t l_Beat = 0; l_Beat < 65535; ++l_Beat)
        l_Full.push_back(Note(l_Beat, 1, 1));
    OrgTest::SongImage l_Image;
    for (const tw_event& l_Event : l_Full)
        l_Image.tracks[3].events.push_back({l_Event.beat, 1, 1, 200, 6});
    const std::vector<std::uint8_t> l_FullBytes = l_Image.Bytes();
    tw_song* l_FullSong = tw_song_open_memory(l_FullBytes.data(), l_FullBytes.size(), nullptr);
    const tw_event l_OneMore = Note(70000, 1, 1);
    EXPECT_EQ(TW_ERROR_TOO_MANY_EVENTS, tw_song_insert_event(l_FullSong, 3, &l_OneMore));
    EXPECT_EQ(65535, tw_song_get_track_event_count(l_FullSong, 3));
    tw_song_close(l_FullSong);
    tw_song_close(l_Song);
}

// Two songs read side by side; the second gets its notes while it is read. From the edit on, it must
// sound exactly as the song that held them from the start.
TEST(SongEditing, AnEditWhileReadingIsHeardFromTheNextRead)
{
    const auto Make = [](bool p_WithLaterNotes) {
        tw_song* l_Song = tw_song_new(nullptr);
        tw_song_set_tempo_ms(l_Song, 100);
        tw_song_set_loop(l_Song, 0, 16);
        tw_song_set_track_instrument(l_Song, 1, p_WithLaterNotes ? 30 : 0);
        const tw_event l_Held = Note(0, 45, 8);
        tw_song_insert_event(l_Song, 0, &l_Held);
        if (p_WithLaterNotes) {
            const tw_event l_Later = Note(4, 57, 2), l_Drum = Note(5, 40, 1);
            tw_song_insert_event(l_Song, 1, &l_Later);
            tw_song_insert_event(l_Song, 8, &l_Drum);
        }
        return l_Song;
    };
    tw_song* l_FromStart = Make(true);
    tw_song* l_Edited = Make(false);
    EXPECT_EQ(Read(l_FromStart, RATE / 4), Read(l_Edited, RATE / 4));
    const tw_event l_Later = Note(4, 57, 2), l_Drum = Note(5, 40, 1);
    ASSERT_EQ(TW_OK, tw_song_set_track_instrument(l_Edited, 1, 30));  // a waveform not made yet
    ASSERT_EQ(TW_OK, tw_song_insert_event(l_Edited, 1, &l_Later));
    ASSERT_EQ(TW_OK, tw_song_insert_event(l_Edited, 8, &l_Drum));
    EXPECT_EQ(Read(l_FromStart, RATE), Read(l_Edited, RATE));

    // A new tempo keeps the song on its beat: it ends where its beats end at that tempo.
    ASSERT_EQ(TW_OK, tw_song_set_tempo_ms(l_Edited, 50));
    EXPECT_NEAR(0.625, tw_song_get_position_seconds(l_Edited), 1.0 / RATE);
    // The rest of 16 beats of 50 ms, to within the mix block the end is rounded up to.
    EXPECT_NEAR(RATE * 0.175, double(Read(l_Edited, RATE).size() / 2), RATE / 1000.0);
    tw_song_close(l_Edited);
    tw_song_close(l_FromStart);
}

}  // namespace

namespace {

// The event edits as a composer sees them, kept on a plain list: the first event at a beat is the
// one changed, and an insert goes before the first event that stands later.
struct EditModel
{
    std::vector<tw_event> events;

    std::vector<tw_event>::iterator At(std::uint32_t p_Beat)
    {
        return std::find_if(events.begin(), events.end(),
                            [&](const tw_event& e) { return e.beat == p_Beat; });
    }
    int Insert(const tw_event& p_Event)
    {
        if (At(p_Event.beat) != events.end())
            return TW_ERROR_EVENT_EXISTS;
        events.insert(std::find_if(events.begin(), events.end(),
                                   [&](const tw_event& e) { return e.beat > p_Event.beat; }),
                      p_Event);
        return TW_OK;
    }
    int Replace(const tw_event& p_Event)
    {
        const auto l_At = At(p_Event.beat);
        if (l_At == events.end())
            return TW_ERROR_NO_EVENT;
        *l_At = p_Event;
        return TW_OK;
    }
    int Remove(std::uint32_t p_Beat)
    {
        const auto l_At = At(p_Beat);
        if (l_At == events.end())
            return TW_ERROR_NO_EVENT;
        events.erase(l_At);
        return TW_OK;
    }
};

std::vector<std::pair<std::uint32_t, int>> BeatsAndKeys(const std::vector<tw_event>& p_Events)
{
    std::vector<std::pair<std::uint32_t, int>> l_Out;
    for (const tw_event& l_Event : p_Events)
        l_Out.emplace_back(l_Event.beat, l_Event.key);
    return l_Out;
}

}  // namespace

// Thousands of random edits agree with the plain list, on a track in beat order (with two events
// on one beat) and on one a file left out of order, whichever way each edit finds its beat.
TEST(SongEditing, EditsFindTheirBeatInTracksInOrderAndOutOfOrderAlike)
{
    OrgTest::SongImage l_Image;
    l_Image.tracks[0].events = {{2, 10, 1, 200, 6}, {2, 11, 1, 200, 6}, {5, 12, 1, 200, 6}};
    l_Image.tracks[1].events = {
        {30, 20, 1, 200, 6}, {3, 21, 1, 200, 6}, {3, 22, 1, 200, 6}, {17, 23, 1, 200, 6}};
    const std::vector<std::uint8_t> l_Bytes = l_Image.Bytes();
    tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
    ASSERT_NE(nullptr, l_Song);
    EditModel l_Models[2];
    for (int l_Track = 0; l_Track < 2; ++l_Track)
        for (const OrgTest::Event& l_Event : l_Image.tracks[l_Track].events)
            l_Models[l_Track].events.push_back(Note(l_Event.pos, l_Event.note, 1));

    std::uint32_t l_Random = 12345;
    const auto Next = [&](std::uint32_t p_Below) {
        l_Random = l_Random * 1103515245u + 12345u;
        return (l_Random >> 8) % p_Below;
    };
    for (int l_Step = 0; l_Step < 4000; ++l_Step) {
        const int l_Track = int(Next(2));
        const tw_event l_Event = Note(Next(40), int(Next(96)), 1);
        EditModel& l_Model = l_Models[l_Track];
        int l_Expected = 0, l_Got = 0;
        switch (Next(3)) {
        case 0:
            l_Expected = l_Model.Insert(l_Event);
            l_Got = tw_song_insert_event(l_Song, l_Track, &l_Event);
            break;
        case 1:
            l_Expected = l_Model.Replace(l_Event);
            l_Got = tw_song_replace_event(l_Song, l_Track, &l_Event);
            break;
        default:
            l_Expected = l_Model.Remove(l_Event.beat);
            l_Got = tw_song_remove_event(l_Song, l_Track, l_Event.beat);
        }
        ASSERT_EQ(l_Expected, l_Got) << "step " << l_Step;
        std::vector<tw_event> l_Events(std::size_t(tw_song_get_track_event_count(l_Song, l_Track)));
        tw_song_get_track_events(l_Song, l_Track, l_Events.data(), l_Events.size());
        ASSERT_EQ(BeatsAndKeys(l_Model.events), BeatsAndKeys(l_Events)) << "step " << l_Step;
    }
    tw_song_close(l_Song);
}

TEST(SongEditing, InstrumentsHaveNamesAndANewSongStartsWithADrumKitWhoseKeysChange)
{
    // A name for every instrument of each kind, none twice, and none beyond.
    for (int l_Kind : {TW_TRACK_MELODY, TW_TRACK_DRUMS}) {
        std::vector<std::string> l_Names;
        for (int i = 0; i < tw_get_instrument_count(l_Kind); ++i) {
            ASSERT_NE(nullptr, tw_instrument_name(l_Kind, i)) << l_Kind << " " << i;
            l_Names.push_back(tw_instrument_name(l_Kind, i));
            EXPECT_FALSE(l_Names.back().empty());
        }
        std::sort(l_Names.begin(), l_Names.end());
        EXPECT_EQ(l_Names.end(), std::adjacent_find(l_Names.begin(), l_Names.end()));
        EXPECT_EQ(nullptr, tw_instrument_name(l_Kind, -1));
        EXPECT_EQ(nullptr, tw_instrument_name(l_Kind, tw_get_instrument_count(l_Kind)));
    }
    EXPECT_EQ(nullptr, tw_instrument_name(2, 0));
    EXPECT_STREQ("Square", tw_instrument_name(TW_TRACK_MELODY, 3));

    // The drum tracks of a new song: a kit of eight drums, the bass drum, snare and hi-hats first.
    tw_song* l_Song = tw_song_new(nullptr);
    std::vector<std::string> l_Kit;
    for (int l_Track = 8; l_Track < TW_TRACK_COUNT; ++l_Track)
        l_Kit.push_back(tw_instrument_name(TW_TRACK_DRUMS, tw_song_get_track_instrument(l_Song, l_Track)));
    EXPECT_EQ(std::vector<std::string>({"Bass drum", "Snare", "Closed hi-hat", "Open hi-hat"}),
              std::vector<std::string>(l_Kit.begin(), l_Kit.begin() + 4));
    std::sort(l_Kit.begin(), l_Kit.end());
    EXPECT_EQ(l_Kit.end(), std::unique(l_Kit.begin(), l_Kit.end()));
    EXPECT_EQ(0, tw_song_get_track_instrument(l_Song, 0));
    // A drum note takes any key a melody note does, and changes it.
    tw_event l_Hit = Note(0, 0, 1);
    EXPECT_EQ(TW_OK, tw_song_insert_event(l_Song, 8, &l_Hit));
    l_Hit.key = 95;
    EXPECT_EQ(TW_OK, tw_song_replace_event(l_Song, 8, &l_Hit));
    tw_event l_Back = {};
    EXPECT_EQ(1, tw_song_get_track_events(l_Song, 8, &l_Back, 1));
    EXPECT_EQ(95, l_Back.key);
    tw_song_close(l_Song);
}
