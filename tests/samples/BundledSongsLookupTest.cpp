// The bundled songs read through the song library: every note starts where it is written, every
// change inside a held note reaches that note, and no drum hit is held over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OrgSong.h"
#include "SongBytes.h"

namespace {

const std::string SOURCE_SONGS = TW_SONGS_SOURCE_DIR;

float PanOf(std::uint8_t p_Byte)
{
    return static_cast<float>(p_Byte / 6.0 - 1.0);
}

TEST(BundledSongsInTheLibrary, LoadCompletelyWithTheirHeaders)
{
    for (const std::string& l_Name : SongFiles(SOURCE_SONGS)) {
        const SongBytes l_Bytes = DecodeSong(ReadBytes(SOURCE_SONGS + "/" + l_Name));
        Org::OrgSong l_Song;
        ASSERT_TRUE(l_Song.LoadFromFile(SOURCE_SONGS + "/" + l_Name)) << l_Name;
        EXPECT_EQ(l_Song.GetHeader().tempo, l_Bytes.tempo) << l_Name;
        EXPECT_EQ(l_Song.GetHeader().loopstart, l_Bytes.loopStart) << l_Name;
        EXPECT_EQ(l_Song.GetHeader().loopstop, l_Bytes.loopStop) << l_Name;
        EXPECT_EQ(l_Song.msPerBeat, l_Bytes.tempo) << l_Name;
    }
}

TEST(BundledSongsInTheLibrary, NotesStartAndChangesReachTheHeldNote)
{
    for (const std::string& l_Name : SongFiles(SOURCE_SONGS)) {
        Org::OrgSong l_Song;
        ASSERT_TRUE(l_Song.LoadFromFile(SOURCE_SONGS + "/" + l_Name)) << l_Name;
        for (int l_T = 0; l_T < Org::TRACK_COUNT; ++l_T) {
            const std::vector<Org::NoteEvent> l_Events = l_Song.GetEvents(l_T);
            int l_HeldNote = -1;
            std::uint8_t l_HeldPan = 255;
            for (const Org::NoteEvent& l_Event : l_Events) {
                const Org::SampleData l_Hit = l_Song.GetNoteHit(l_T, static_cast<int>(l_Event.pos));
                if (l_Event.length > 0) {
                    EXPECT_EQ(l_Hit.playing, 1) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    EXPECT_EQ(l_Hit.note, l_Event.note) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    EXPECT_EQ(l_Hit.volume, l_Event.volume) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    l_HeldNote = l_Event.note;
                    l_HeldPan = l_Event.pan;
                } else {
                    // A change: the held note goes on at the new volume (and pan, if given).
                    EXPECT_EQ(l_Hit.playing, 2) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    EXPECT_EQ(l_Hit.note, l_HeldNote) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    EXPECT_EQ(l_Hit.volume, l_Event.volume) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                    const std::uint8_t l_Pan = l_Event.pan != 255 ? l_Event.pan : l_HeldPan;
                    EXPECT_FLOAT_EQ(l_Hit.pan, PanOf(l_Pan)) << l_Name << " track " << l_T << " beat " << l_Event.pos;
                }
            }
        }
    }
}

TEST(BundledSongsInTheLibrary, DrumHitsAreNeverHeldOver)
{
    // A drum "held" into the next beat would restart its one-shot there.
    for (const std::string& l_Name : SongFiles(SOURCE_SONGS)) {
        Org::OrgSong l_Song;
        ASSERT_TRUE(l_Song.LoadFromFile(SOURCE_SONGS + "/" + l_Name)) << l_Name;
        const unsigned int l_Stop = l_Song.GetHeader().loopstop;
        for (int l_T = Org::MELODY_TRACKS; l_T < Org::TRACK_COUNT; ++l_T) {
            for (unsigned int l_Beat = 0; l_Beat < l_Stop; ++l_Beat) {
                EXPECT_NE(l_Song.GetNoteHit(l_T, static_cast<int>(l_Beat)).playing, 2)
                    << l_Name << " track " << l_T << " beat " << l_Beat;
            }
        }
    }
}

}  // namespace
