// Reading and writing Org-02 files: layout, round trips and the load message.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "FileSizeLimit.h"
#include "OrgFileBuilder.h"
#include "OrgSong.h"
#include "TempDir.h"

using OrgTest::Event;
using OrgTest::SongImage;

namespace {

SongImage ThreeNoteSong()
{
    SongImage l_Image;
    l_Image.tempo = 120;
    l_Image.steps_bar = 3;
    l_Image.beats_step = 4;
    l_Image.loopstart = 16;
    l_Image.loopstop = 0x01020304;
    l_Image.tracks[2].pitch = 1100;
    l_Image.tracks[2].id = 42;
    l_Image.tracks[2].noloop = 1;
    l_Image.tracks[2].events = {{0, 57, 4, 200, 6}, {8, 60, 2, 100, 255}, {0x80000001u, 255, 255, 255, 12}};
    return l_Image;
}

void ExpectSameSong(const Org::OrgSong& p_A, const Org::OrgSong& p_B)
{
    EXPECT_EQ(0, std::memcmp(&p_A.GetHeader(), &p_B.GetHeader(), sizeof(Org::Header)));
    EXPECT_EQ(0, std::memcmp(p_A.instruments, p_B.instruments, sizeof(p_A.instruments)));
    for (int t = 0; t < 16; ++t) {
        const auto l_A = p_A.GetEvents(t);
        const auto l_B = p_B.GetEvents(t);
        ASSERT_EQ(l_A.size(), l_B.size()) << "track " << t;
        for (std::size_t i = 0; i < l_A.size(); ++i)
            EXPECT_EQ(0, std::memcmp(&l_A[i], &l_B[i], sizeof(Org::NoteEvent)))
                << "track " << t << " event " << i;
    }
}

}  // namespace

TEST(SongFile, BlankSongIsTempo140FourFourWithNoEvents)
{
    Org::OrgSong l_Song;
    EXPECT_EQ(140, l_Song.GetTempo());
    EXPECT_EQ(140u, l_Song.msPerBeat);
    EXPECT_EQ(Org::_4_4, l_Song.GetSPBABPS());
    EXPECT_EQ(0u, l_Song.GetLoopStart());
    EXPECT_EQ(0u, l_Song.GetLoopStop());
    EXPECT_FALSE(l_Song.IsPlaying());
    EXPECT_TRUE(l_Song.cursorUpdated);
    for (int t = 0; t < 16; ++t) {
        EXPECT_EQ(0, l_Song.instruments[t].pitch | l_Song.instruments[t].id | l_Song.instruments[t].noloop |
                         l_Song.instruments[t].numnotes);
        EXPECT_TRUE(l_Song.GetEvents(t).empty());
    }
}

TEST(SongFile, BlankSongSavesAsExactly114Bytes)
{
    OrgTest::TempDir l_Dir;
    Org::OrgSong l_Song;
    ASSERT_TRUE(l_Song.SaveToFile(l_Dir.Path("blank.org")));
    const auto l_Bytes = OrgTest::ReadFile(l_Dir.Path("blank.org"));
    std::vector<std::uint8_t> l_Expected = {'O', 'r', 'g', '-', '0', '2', 0x8C, 0x00, 4, 4};
    l_Expected.resize(114, 0);
    EXPECT_EQ(l_Expected, l_Bytes);
}

TEST(SongFile, ReadsEveryFieldAtItsOffset)
{
    OrgTest::TempDir l_Dir;
    const SongImage l_Image = ThreeNoteSong();
    const auto l_Bytes = l_Image.Bytes();
    ASSERT_EQ(138u, l_Bytes.size());
    OrgTest::WriteFile(l_Dir.Path("s.org"), l_Bytes);

    testing::internal::CaptureStderr();
    Org::OrgSong l_Song(l_Dir.Path("s.org"));
    EXPECT_EQ("Read in 138 bytes.\n", testing::internal::GetCapturedStderr());

    const Org::Header& l_Header = l_Song.GetHeader();
    EXPECT_EQ(120, l_Header.tempo);
    EXPECT_EQ(120u, l_Song.msPerBeat);
    EXPECT_EQ(3, l_Header.steps_bar);
    EXPECT_EQ(4, l_Header.beats_step);
    EXPECT_EQ(Org::_3_4, l_Song.GetSPBABPS());
    EXPECT_EQ(16u, l_Header.loopstart);
    EXPECT_EQ(0x01020304u, l_Header.loopstop);
    EXPECT_EQ(1100, l_Song.instruments[2].pitch);
    EXPECT_EQ(42, l_Song.instruments[2].id);
    EXPECT_EQ(1, l_Song.instruments[2].noloop);
    EXPECT_EQ(3, l_Song.instruments[2].numnotes);

    const auto l_Events = l_Song.GetEvents(2);
    ASSERT_EQ(3u, l_Events.size());
    EXPECT_EQ(0x80000001u, l_Events[2].pos);
    EXPECT_EQ(8u, l_Events[1].pos);
    EXPECT_EQ(60, l_Events[1].note);
    EXPECT_EQ(2, l_Events[1].length);
    EXPECT_EQ(100, l_Events[1].volume);
    EXPECT_EQ(255, l_Events[1].pan);
    EXPECT_EQ(12, l_Events[2].pan);
}

TEST(SongFile, SaveThenLoadGivesTheSameSongAndSameBytes)
{
    OrgTest::TempDir l_Dir;
    SongImage l_Image = ThreeNoteSong();
    l_Image.tracks[0].events = {{1, 2, 3, 4, 5}};
    l_Image.tracks[15].id = 11;
    l_Image.tracks[15].events = {{3, 40, 1, 80, 0}, {7, 40, 1, 90, 12}};
    const auto l_Bytes = l_Image.Bytes();
    OrgTest::WriteFile(l_Dir.Path("in.org"), l_Bytes);

    testing::internal::CaptureStderr();
    Org::OrgSong l_Original(l_Dir.Path("in.org"));
    ASSERT_TRUE(l_Original.SaveToFile(l_Dir.Path("out.org")));
    Org::OrgSong l_Copy(l_Dir.Path("out.org"));
    testing::internal::GetCapturedStderr();

    EXPECT_EQ(l_Bytes, OrgTest::ReadFile(l_Dir.Path("out.org")));
    EXPECT_EQ(l_Bytes, l_Original.SaveToMemory());
    ExpectSameSong(l_Original, l_Copy);
    // Saving changes nothing in the song that was saved.
    Org::OrgSong l_Reloaded(l_Dir.Path("in.org"));
    ExpectSameSong(l_Original, l_Reloaded);
}

TEST(SongFile, OtherMagicLoadsTheSameSong)
{
    OrgTest::TempDir l_Dir;
    SongImage l_Image = ThreeNoteSong();
    OrgTest::WriteFile(l_Dir.Path("a.org"), l_Image.Bytes());
    l_Image.magic = "Org-03";
    OrgTest::WriteFile(l_Dir.Path("b.org"), l_Image.Bytes());
    testing::internal::CaptureStderr();
    Org::OrgSong l_A(l_Dir.Path("a.org"));
    Org::OrgSong l_B;
    EXPECT_TRUE(l_B.LoadFromFile(l_Dir.Path("b.org")));
    testing::internal::GetCapturedStderr();
    ExpectSameSong(l_A, l_B);
}

TEST(SongFile, LoadingResetsTheClockOfAPlayingSong)
{
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("s.org"), ThreeNoteSong().Bytes());
    Org::OrgSong l_Song;
    l_Song.SetLoopStop(64);
    l_Song.Play();
    l_Song.Update(1000);
    l_Song.Update(2000);
    ASSERT_NE(0u, l_Song.GetCursor());
    testing::internal::CaptureStderr();
    EXPECT_TRUE(l_Song.LoadFromFile(l_Dir.Path("s.org")));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(l_Song.IsPlaying());
    EXPECT_EQ(0.0L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.cursorUpdated);
    // The first update after a reset only records the time.
    l_Song.Play();
    EXPECT_EQ(5000, l_Song.Update(5000));
    EXPECT_EQ(0u, l_Song.GetCursor());
}

TEST(SongFile, TrailingBytesAreIgnored)
{
    OrgTest::TempDir l_Dir;
    auto l_Bytes = ThreeNoteSong().Bytes();
    l_Bytes.insert(l_Bytes.end(), 50, 0xAB);
    OrgTest::WriteFile(l_Dir.Path("s.org"), l_Bytes);
    testing::internal::CaptureStderr();
    Org::OrgSong l_Song;
    EXPECT_TRUE(l_Song.LoadFromFile(l_Dir.Path("s.org")));
    EXPECT_EQ("Read in 138 bytes.\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(3u, l_Song.GetEvents(2).size());
}

// Bytes in memory load exactly as the same bytes in a file: at every length, whole, cut short
// anywhere or followed by more, the same song, the same result and the same message.
TEST(SongFile, MemoryLoadsAsTheSameBytesInAFile)
{
    OrgTest::TempDir l_Dir;
    auto l_Bytes = ThreeNoteSong().Bytes();
    l_Bytes.insert(l_Bytes.end(), 3, 0xAB);
    for (std::size_t l_Size = 0; l_Size <= l_Bytes.size(); ++l_Size) {
        const std::vector<std::uint8_t> l_Prefix(l_Bytes.begin(), l_Bytes.begin() + l_Size);
        OrgTest::WriteFile(l_Dir.Path("s.org"), l_Prefix);
        Org::OrgSong l_FromFile, l_FromMemory;
        testing::internal::CaptureStderr();
        const bool l_FileComplete = l_FromFile.LoadFromFile(l_Dir.Path("s.org"));
        const std::string l_FileMessage = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        const bool l_MemoryComplete = l_FromMemory.LoadFromMemory(l_Prefix.data(), l_Prefix.size());
        EXPECT_EQ(l_FileMessage, testing::internal::GetCapturedStderr()) << l_Size;
        EXPECT_EQ(l_FileComplete, l_MemoryComplete) << l_Size;
        EXPECT_EQ(l_Size >= 138, l_MemoryComplete) << l_Size;
        ExpectSameSong(l_FromFile, l_FromMemory);
    }
    testing::internal::CaptureStderr();
    const Org::OrgSong l_Constructed(l_Bytes.data(), l_Bytes.size());
    const Org::OrgSong l_Empty(nullptr, 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(3u, l_Constructed.GetEvents(2).size());
    EXPECT_EQ(140, l_Empty.GetHeader().tempo);
}

TEST(SongFile, SetEventsKeepsColumnsAndCountsTogether)
{
    OrgTest::TempDir l_Dir;
    Org::OrgSong l_Song;
    std::vector<Org::NoteEvent> l_Events = {{4, 50, 2, 99, 3}, {9, 51, 1, 98, 9}};
    ASSERT_TRUE(l_Song.SetEvents(5, l_Events));
    EXPECT_EQ(2, l_Song.instruments[5].numnotes);
    EXPECT_FALSE(l_Song.SetEvents(16, l_Events));
    EXPECT_FALSE(l_Song.SetEvents(-1, l_Events));
    EXPECT_FALSE(l_Song.SetEvents(0, std::vector<Org::NoteEvent>(65536)));
    EXPECT_EQ(0, l_Song.instruments[0].numnotes);
    ASSERT_TRUE(l_Song.SaveToFile(l_Dir.Path("s.org")));
    EXPECT_EQ(114u + 16u, OrgTest::ReadFile(l_Dir.Path("s.org")).size());
}

TEST(SongFile, SavingToAnUnopenablePathFails)
{
    Org::OrgSong l_Song;
    EXPECT_FALSE(l_Song.SaveToFile("/nonexistent-dir/x.org"));
    EXPECT_FALSE(l_Song.SaveToFile("/"));
}

TEST(SongFile, SavingToAFullDeviceFails)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no /dev/full";
#else
    Org::OrgSong l_Song;
    std::vector<Org::NoteEvent> l_Many(60000, Org::NoteEvent{1, 2, 3, 4, 5});
    ASSERT_TRUE(l_Song.SetEvents(0, l_Many));
    EXPECT_FALSE(l_Song.SaveToFile("/dev/full"));
#endif
}

// A save that fails part way (here a file-size limit with SIGXFSZ ignored, in a child process)
// leaves the old file whole, with its mode, and no temporary behind; one that succeeds keeps the
// mode. A link is written through, never replaced, and a device is written straight.
TEST(SongFile, AFailedSaveLeavesTheOldFileWhole)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no fork, file-size limits, modes or /dev/null";
#else
    OrgTest::TempDir l_Dir;
    const std::string l_Path = l_Dir.Path("song.org");
    Org::OrgSong l_Big;
    ASSERT_TRUE(l_Big.SetEvents(0, std::vector<Org::NoteEvent>(60000, Org::NoteEvent{1, 2, 3, 4, 5})));
    ASSERT_TRUE(l_Big.SaveToFile(l_Path));
    ASSERT_EQ(0, chmod(l_Path.c_str(), 0640));
    const auto l_Old = OrgTest::ReadFile(l_Path);

    EXPECT_EQ(0, OrgTest::ExitStatusUnderFileSizeLimit(64 * 1024,
                                                       [&] {
                                                           l_Big.SetEvents(1, {{7, 7, 7, 7, 7}});
                                                           return l_Big.SaveToFile(l_Path) ? 1 : 0;
                                                       }))
        << "the save did not fail";
    EXPECT_EQ(l_Old, OrgTest::ReadFile(l_Path));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(l_Dir.Path()),
                               std::filesystem::directory_iterator()));

    Org::OrgSong l_Blank;
    ASSERT_TRUE(l_Blank.SaveToFile(l_Path));
    EXPECT_EQ(114u, std::filesystem::file_size(l_Path));
    EXPECT_EQ(std::filesystem::perms(0640), std::filesystem::status(l_Path).permissions());

    std::filesystem::create_symlink("song.org", l_Dir.Path("link.org"));
    ASSERT_TRUE(l_Big.SaveToFile(l_Dir.Path("link.org")));
    EXPECT_TRUE(std::filesystem::is_symlink(l_Dir.Path("link.org")));
    EXPECT_EQ(l_Old, OrgTest::ReadFile(l_Path));
    EXPECT_EQ(std::filesystem::perms(0640), std::filesystem::status(l_Path).permissions());

    EXPECT_TRUE(l_Blank.SaveToFile("/dev/null"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
#endif
}

// A caller may change a public numnotes without resizing the columns: nothing reads or
// writes past them, and the written file still agrees with its own counts.
TEST(SongFile, NumnotesChangedByCallerStaysSafe)
{
    OrgTest::TempDir l_Dir;
    Org::OrgSong l_Song;
    ASSERT_TRUE(l_Song.SetEvents(1, {{10, 60, 4, 100, 6}}));
    l_Song.instruments[1].numnotes = 3;
    const Org::SampleData l_Hit = l_Song.GetNoteHit(1, 12);
    EXPECT_EQ(2, l_Hit.playing);
    EXPECT_EQ(0, l_Song.GetNoteHit(1, 20).playing);
    EXPECT_EQ(1u, l_Song.GetEvents(1).size());

    ASSERT_TRUE(l_Song.SaveToFile(l_Dir.Path("grown.org")));
    EXPECT_EQ(114u + 8u * 3u, OrgTest::ReadFile(l_Dir.Path("grown.org")).size());
    testing::internal::CaptureStderr();
    Org::OrgSong l_Copy;
    EXPECT_TRUE(l_Copy.LoadFromFile(l_Dir.Path("grown.org")));
    testing::internal::GetCapturedStderr();
    const auto l_Events = l_Copy.GetEvents(1);
    ASSERT_EQ(3u, l_Events.size());
    EXPECT_EQ(10u, l_Events[0].pos);
    EXPECT_EQ(0u, l_Events[2].pos);
    EXPECT_EQ(0, l_Events[2].length);

    l_Song.instruments[1].numnotes = 0;
    EXPECT_EQ(0, l_Song.GetNoteHit(1, 10).playing);
    ASSERT_TRUE(l_Song.SaveToFile(l_Dir.Path("shrunk.org")));
    EXPECT_EQ(114u, OrgTest::ReadFile(l_Dir.Path("shrunk.org")).size());
}
