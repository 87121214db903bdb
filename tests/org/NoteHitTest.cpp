// Note lookup: which event a track plays at a beat, and what it hands to the sampler.
#include <gtest/gtest.h>

#include "OrgSong.h"

namespace {

Org::OrgSong SongWithTrack(int p_Track, const std::vector<Org::NoteEvent>& p_Events)
{
    Org::OrgSong l_Song;
    l_Song.instruments[p_Track].pitch = 1234;
    l_Song.instruments[p_Track].id = 17;
    EXPECT_TRUE(l_Song.SetEvents(p_Track, p_Events));
    return l_Song;
}

void ExpectSilent(const Org::SampleData& p_Hit, int p_Track)
{
    EXPECT_EQ(0, p_Hit.playing);
    EXPECT_EQ(p_Track, p_Hit.instrument);
    EXPECT_EQ(0, p_Hit.note | p_Hit.length | p_Hit.volume | p_Hit.pitch | p_Hit.sample | p_Hit.loop);
    EXPECT_EQ(0.0f, p_Hit.pan);
}

}  // namespace

TEST(NoteHit, OneEventStartsThenContinuesThenEnds)
{
    Org::OrgSong l_Song = SongWithTrack(4, {{10, 57, 4, 100, 9}});
    ExpectSilent(l_Song.GetNoteHit(4, 9), 4);

    const Org::SampleData l_Start = l_Song.GetNoteHit(4, 10);
    EXPECT_EQ(1, l_Start.playing);
    EXPECT_EQ(57, l_Start.note);
    EXPECT_EQ(4, l_Start.length);
    EXPECT_EQ(100, l_Start.volume);
    EXPECT_FLOAT_EQ(0.5f, l_Start.pan);
    EXPECT_EQ(1234, l_Start.pitch);
    EXPECT_EQ(17, l_Start.sample);
    EXPECT_EQ(1, l_Start.loop);
    EXPECT_EQ(4, l_Start.instrument);

    for (int l_Beat = 11; l_Beat <= 13; ++l_Beat) {
        const Org::SampleData l_Held = l_Song.GetNoteHit(4, l_Beat);
        EXPECT_EQ(2, l_Held.playing) << l_Beat;
        EXPECT_EQ(1, l_Held.length) << l_Beat;
        EXPECT_EQ(100, l_Held.volume) << l_Beat;
        EXPECT_FLOAT_EQ(0.5f, l_Held.pan) << l_Beat;
        EXPECT_EQ(57, l_Held.note) << l_Beat;
    }
    ExpectSilent(l_Song.GetNoteHit(4, 14), 4);
}

TEST(NoteHit, ALaterEventInsideAHeldNoteChangesItsVolumeAndPan)
{
    Org::OrgSong l_Song = SongWithTrack(0, {{10, 60, 4, 100, 255}, {12, 61, 1, 50, 3}});
    EXPECT_EQ(1, l_Song.GetNoteHit(0, 10).playing);
    EXPECT_EQ(0.0f, l_Song.GetNoteHit(0, 10).pan);
    const Org::SampleData l_At12 = l_Song.GetNoteHit(0, 12);
    EXPECT_EQ(2, l_At12.playing);
    EXPECT_EQ(60, l_At12.note);
    EXPECT_EQ(2, l_At12.length);
    EXPECT_EQ(50, l_At12.volume);
    EXPECT_FLOAT_EQ(-0.5f, l_At12.pan);
    const Org::SampleData l_At13 = l_Song.GetNoteHit(0, 13);
    EXPECT_EQ(2, l_At13.playing);
    EXPECT_EQ(1, l_At13.length);
    EXPECT_EQ(50, l_At13.volume);
    ExpectSilent(l_Song.GetNoteHit(0, 14), 0);
}

TEST(NoteHit, AChangeWithoutItsOwnPanKeepsTheHeldNotesPan)
{
    Org::OrgSong l_Song = SongWithTrack(1, {{0, 60, 8, 100, 12}, {2, 0, 0, 255, 255}});
    const Org::SampleData l_Hit = l_Song.GetNoteHit(1, 3);
    EXPECT_EQ(2, l_Hit.playing);
    EXPECT_EQ(255, l_Hit.volume);  // taken as stored
    EXPECT_FLOAT_EQ(1.0f, l_Hit.pan);
    EXPECT_EQ(5, l_Hit.length);
    // A change with neither pan falls back to centre.
    Org::OrgSong l_NoPan = SongWithTrack(1, {{0, 60, 8, 100, 255}, {2, 0, 0, 90, 255}});
    EXPECT_EQ(0.0f, l_NoPan.GetNoteHit(1, 3).pan);
}

TEST(NoteHit, LengthZeroNeverSoundsByItself)
{
    Org::OrgSong l_Song = SongWithTrack(2, {{5, 60, 0, 100, 6}});
    ExpectSilent(l_Song.GetNoteHit(2, 5), 2);
    ExpectSilent(l_Song.GetNoteHit(2, 6), 2);
}

TEST(NoteHit, TheChangeSearchLooksOnlyLengthManyEventsAhead)
{
    // Event 0 lasts 2 beats, so only events 1 and 2 may change it; event 3 is too far.
    Org::OrgSong l_Song =
        SongWithTrack(3, {{0, 60, 2, 100, 6}, {0, 0, 0, 10, 6}, {0, 0, 0, 20, 6}, {1, 0, 0, 30, 0}});
    const Org::SampleData l_Hit = l_Song.GetNoteHit(3, 1);
    EXPECT_EQ(2, l_Hit.playing);
    EXPECT_EQ(20, l_Hit.volume);
}

TEST(NoteHit, NoteMarkedNotLoopingAndPanBytesConvert)
{
    Org::OrgSong l_Song =
        SongWithTrack(9, {{0, 36, 1, 1, 0}, {1, 36, 1, 1, 6}, {2, 36, 1, 1, 12}, {3, 36, 1, 1, 18}});
    l_Song.instruments[9].noloop = 3;
    EXPECT_EQ(0, l_Song.GetNoteHit(9, 0).loop);
    EXPECT_FLOAT_EQ(-1.0f, l_Song.GetNoteHit(9, 0).pan);
    EXPECT_FLOAT_EQ(0.0f, l_Song.GetNoteHit(9, 1).pan);
    EXPECT_FLOAT_EQ(1.0f, l_Song.GetNoteHit(9, 2).pan);
    EXPECT_FLOAT_EQ(2.0f, l_Song.GetNoteHit(9, 3).pan);
}

TEST(NoteHit, TracksOutsideTheSongGiveTheEmptyRecord)
{
    Org::OrgSong l_Song = SongWithTrack(0, {{0, 60, 4, 100, 6}});
    ExpectSilent(l_Song.GetNoteHit(16, 0), 16);
    ExpectSilent(l_Song.GetNoteHit(-1, 0), -1);
    ExpectSilent(l_Song.GetNoteHit(1000000), 1000000);
}

TEST(NoteHit, CurrentBeatLookupFollowsTheClock)
{
    Org::OrgSong l_Song = SongWithTrack(6, {{2, 70, 1, 100, 6}});
    l_Song.SetTempo(100);
    l_Song.SetLoopStop(8);
    l_Song.Play();
    l_Song.Update(1);
    l_Song.Update(250);
    EXPECT_EQ(2u, l_Song.GetCursor());
    EXPECT_EQ(1, l_Song.GetNoteHit(6).playing);
}

TEST(NoteHit, PositionsNearTheTopOfTheRangeCompareUnsigned)
{
    Org::OrgSong l_Song = SongWithTrack(7, {{0xFFFFFFF0u, 40, 200, 77, 6}});
    EXPECT_EQ(1, l_Song.GetNoteHit(7, static_cast<int>(0xFFFFFFF0u)).playing);
    // The end of this note wraps past 2^32 in 32-bit arithmetic, so it is never held.
    EXPECT_EQ(0, l_Song.GetNoteHit(7, static_cast<int>(0xFFFFFFF5u)).playing);
}

TEST(NoteHit, NoteStartsMarksExactlyTheEventsTheLookupStarts)
{
    // Length 0, a start inside a held note, two starts on one beat, a note out of order that an
    // earlier one covers, and a note whose end would wrap past the last beat.
    const std::vector<Org::NoteEvent> l_Events = {
        {4, 60, 0, 90, 6},  {10, 61, 4, 90, 6},          {12, 62, 2, 90, 6},
        {14, 63, 1, 90, 6}, {14, 64, 3, 90, 6},          {20, 65, 1, 90, 6},
        {11, 66, 2, 90, 6}, {0xFFFFFFFEu, 67, 9, 90, 6}, {0xFFFFFFFFu, 68, 1, 90, 6}};
    Org::OrgSong l_Song = SongWithTrack(3, l_Events);
    const std::vector<bool> l_Starts = l_Song.NoteStarts(3);
    EXPECT_EQ((std::vector<bool>{false, true, false, true, false, true, false, true, true}), l_Starts);
    for (std::size_t i = 0; i < l_Events.size(); ++i) {
        const Org::SampleData l_Hit = l_Song.GetNoteHit(3, static_cast<int>(l_Events[i].pos));
        EXPECT_EQ(l_Starts[i], l_Hit.playing == 1 && l_Hit.note == l_Events[i].note) << i;
    }
    EXPECT_TRUE(l_Song.NoteStarts(16).empty());
}

TEST(NoteHit, SoundRunsAreWhatTheLookupGivesAtEveryBeat)
{
    // Random tracks of overlapping events: lengths 0 to 6, several on one beat, some without a pan.
    std::uint32_t l_Seed = 7;
    const auto Random = [&](std::uint32_t p_Below) {
        l_Seed = l_Seed * 1664525u + 1013904223u;
        return (l_Seed >> 8) % p_Below;
    };
    for (int l_Round = 0; l_Round < 300; ++l_Round) {
        std::vector<Org::NoteEvent> l_Events(1 + Random(12));
        for (Org::NoteEvent& l_Event : l_Events)
            l_Event = {Random(16), static_cast<std::uint8_t>(Random(96)),
                       static_cast<std::uint8_t>(Random(7)), static_cast<std::uint8_t>(Random(3) * 100),
                       static_cast<std::uint8_t>(Random(4) == 0 ? Org::NO_PAN : Random(13))};
        Org::OrgSong l_Song = SongWithTrack(2, l_Events);
        const std::vector<Org::OrgSong::SoundRun> l_Runs = l_Song.SoundRuns(2);
        std::size_t r = 0;
        for (std::uint32_t l_Beat = 0; l_Beat < 24; ++l_Beat) {
            const Org::SampleData l_Hit = l_Song.GetNoteHit(2, static_cast<int>(l_Beat));
            while (r < l_Runs.size() && l_Runs[r].end <= l_Beat)
                ++r;
            const bool l_InRun = r < l_Runs.size() && l_Runs[r].pos <= l_Beat;
            ASSERT_EQ(l_Hit.playing != 0, l_InRun) << "round " << l_Round << " beat " << l_Beat;
            if (!l_InRun)
                continue;
            const Org::OrgSong::SoundRun& l_Run = l_Runs[r];
            EXPECT_EQ(l_Hit.playing == 1, l_Run.struck && l_Run.pos == l_Beat) << l_Round << " " << l_Beat;
            EXPECT_EQ(l_Hit.note, l_Run.note) << l_Round << " " << l_Beat;
            EXPECT_EQ(l_Hit.volume, l_Run.volume) << l_Round << " " << l_Beat;
            EXPECT_FLOAT_EQ(l_Hit.pan, l_Run.pan == Org::NO_PAN ? 0.0f : l_Run.pan / 6.0f - 1.0f);
        }
        // None empty, in order, and none that merely goes on with the run before it.
        for (std::size_t i = 0; i < l_Runs.size(); ++i) {
            EXPECT_LT(l_Runs[i].pos, l_Runs[i].end);
            if (i == 0)
                continue;
            const Org::OrgSong::SoundRun& l_Before = l_Runs[i - 1];
            EXPECT_LE(l_Before.end, l_Runs[i].pos);
            EXPECT_FALSE(l_Before.end == l_Runs[i].pos && !l_Runs[i].struck &&
                         l_Before.note == l_Runs[i].note && l_Before.volume == l_Runs[i].volume &&
                         l_Before.pan == l_Runs[i].pan);
        }
    }
    // A note whose end would wrap past the last beat sounds its own beat alone, as the lookup has it.
    const Org::OrgSong l_Top = SongWithTrack(7, {{0xFFFFFFF0u, 40, 200, 77, 6}});
    const std::vector<Org::OrgSong::SoundRun> l_TopRuns = l_Top.SoundRuns(7);
    ASSERT_EQ(1u, l_TopRuns.size());
    EXPECT_EQ(0xFFFFFFF0u, l_TopRuns[0].pos);
    EXPECT_EQ(0xFFFFFFF1u, l_TopRuns[0].end);
    EXPECT_TRUE(l_Top.SoundRuns(16).empty());
}
