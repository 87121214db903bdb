// The bundled songs: regenerated exactly by songgen, copied into the data folder, and written
// as well-formed Org-02 files that use what the format offers.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "RunTool.h"
#include "SongBytes.h"

namespace {

const std::string SOURCE_SONGS = TW_SONGS_SOURCE_DIR;

std::vector<SongBytes> LoadAll()
{
    std::vector<SongBytes> l_Songs;
    for (const std::string& l_Name : SongFiles(SOURCE_SONGS)) {
        SongBytes l_Song = DecodeSong(ReadBytes(SOURCE_SONGS + "/" + l_Name));
        l_Song.error = l_Name + (l_Song.error.empty() ? "" : ": " + l_Song.error);
        l_Songs.push_back(l_Song);
    }
    return l_Songs;
}

TEST(BundledSongs, AtLeastThreeAreCommitted)
{
    EXPECT_GE(SongFiles(SOURCE_SONGS).size(), 3u);
}

TEST(BundledSongs, SonggenRegeneratesTheCommittedFilesByteForByte)
{
    ScratchFolder l_Folder("songgen");
    const ToolResult l_Run = RunTool(Quoted(TW_SONGGEN) + " " + Quoted(l_Folder.Path()));
    ASSERT_EQ(l_Run.status, 0) << l_Run.output;
    const std::vector<std::string> l_Names = SongFiles(l_Folder.Path());
    EXPECT_EQ(l_Names, SongFiles(SOURCE_SONGS)) << "songs/ holds other songs than songgen writes";
    for (const std::string& l_Name : l_Names) {
        EXPECT_TRUE(ReadBytes(l_Folder.Path() + "/" + l_Name) == ReadBytes(SOURCE_SONGS + "/" + l_Name))
            << l_Name << " differs from its score; rebuild it with the target update_songs";
    }
}

TEST(BundledSongs, TheDataFolderHoldsTheCommittedSongs)
{
    for (const std::string& l_Name : SongFiles(SOURCE_SONGS)) {
        const std::vector<std::uint8_t> l_Copy = ReadBytes(std::string(TW_DATA_DIR) + "/songs/" + l_Name);
        EXPECT_FALSE(l_Copy.empty()) << l_Name;
        EXPECT_TRUE(l_Copy == ReadBytes(SOURCE_SONGS + "/" + l_Name)) << l_Name;
    }
}

TEST(BundledSongs, AreWellFormedAndLoopAfterAnIntro)
{
    for (const SongBytes& l_Song : LoadAll()) {
        ASSERT_TRUE(l_Song.ok) << l_Song.error;  // file size = 114 + 8 x the notes counted
        EXPECT_EQ(l_Song.magic, "Org-02") << l_Song.error;
        EXPECT_GE(l_Song.tempo, 100) << l_Song.error;
        EXPECT_LE(l_Song.tempo, 150) << l_Song.error;
        EXPECT_GT(l_Song.loopStart, 0u) << l_Song.error;
        EXPECT_LT(l_Song.loopStart, l_Song.loopStop) << l_Song.error;
        const double l_LoopSeconds = (l_Song.loopStop - l_Song.loopStart) * l_Song.tempo / 1000.0;
        EXPECT_GE(l_LoopSeconds, 20.0) << l_Song.error;
        EXPECT_LE(l_LoopSeconds, 60.0) << l_Song.error;
        for (int l_T = 0; l_T < 16; ++l_T) {
            const SongTrack& l_Track = l_Song.tracks[l_T];
            EXPECT_NEAR(l_Track.pitch, 1000, 10) << l_Song.error << " track " << l_T;
            EXPECT_LT(l_Track.id, l_T < 8 ? 100 : 12) << l_Song.error << " track " << l_T;
            for (std::size_t l_I = 0; l_I < l_Track.events.size(); ++l_I) {
                const SongEvent& l_Event = l_Track.events[l_I];
                if (l_I > 0) {
                    EXPECT_GT(l_Event.pos, l_Track.events[l_I - 1].pos) << l_Song.error << " track " << l_T;
                }
                EXPECT_LT(l_Event.pos, l_Song.loopStop) << l_Song.error << " track " << l_T;
                EXPECT_TRUE(l_Event.pan <= 12 || l_Event.pan == 255) << l_Song.error << " track " << l_T;
                if (l_Event.length > 0) {
                    EXPECT_LE(l_Event.note, 95) << l_Song.error << " track " << l_T << " beat " << l_Event.pos;
                }
            }
        }
    }
}

TEST(BundledSongs, UseSeveralInstrumentsPercussionAndPans)
{
    for (const SongBytes& l_Song : LoadAll()) {
        ASSERT_TRUE(l_Song.ok) << l_Song.error;
        std::set<int> l_MelodyIds;
        int l_MelodyTracks = 0;
        int l_DrumTracks = 0;
        std::set<int> l_Pans;
        for (int l_T = 0; l_T < 16; ++l_T) {
            const SongTrack& l_Track = l_Song.tracks[l_T];
            if (l_Track.events.empty()) {
                continue;
            }
            if (l_T < 8) {
                ++l_MelodyTracks;
                l_MelodyIds.insert(l_Track.id);
            } else {
                ++l_DrumTracks;
            }
            for (const SongEvent& l_Event : l_Track.events) {
                if (l_Event.length > 0) {
                    l_Pans.insert(l_Event.pan);
                }
            }
        }
        EXPECT_GE(l_MelodyTracks, 6) << l_Song.error;
        EXPECT_GE(l_MelodyIds.size(), 5u) << l_Song.error;
        EXPECT_GE(l_DrumTracks, 5) << l_Song.error;
        EXPECT_GE(l_Pans.size(), 4u) << l_Song.error << ": notes placed across the stereo field";
    }
}

TEST(BundledSongs, ChangeVolumeWithinHeldNotes)
{
    int l_PanChanges = 0;
    for (const SongBytes& l_Song : LoadAll()) {
        ASSERT_TRUE(l_Song.ok) << l_Song.error;
        int l_VolumeChanges = 0;
        for (int l_T = 0; l_T < 8; ++l_T) {
            const std::vector<SongEvent>& l_Events = l_Song.tracks[l_T].events;
            for (std::size_t l_I = 0; l_I < l_Events.size(); ++l_I) {
                const SongEvent& l_Held = l_Events[l_I];
                if (l_Held.length == 0) {
                    continue;
                }
                // Events that begin while this note is held, no further than its length in
                // events ahead, change its volume and pan instead of starting notes.
                for (std::size_t l_J = l_I + 1; l_J < l_Events.size() && l_J <= l_I + l_Held.length; ++l_J) {
                    const SongEvent& l_Change = l_Events[l_J];
                    if (l_Change.pos >= l_Held.pos + l_Held.length) {
                        break;
                    }
                    l_VolumeChanges += l_Change.volume != l_Held.volume;
                    l_PanChanges += l_Change.pan != 255 && l_Change.pan != l_Held.pan;
                }
            }
        }
        EXPECT_GE(l_VolumeChanges, 20) << l_Song.error;
    }
    EXPECT_GT(l_PanChanges, 0) << "no song moves a held note across the stereo field";
}

}  // namespace
