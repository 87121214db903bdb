// Files that are missing, cut short or not songs at all load without harm: what is there is
// read, the rest keeps blank values, every column matches its count, and the load says false.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "OrgFileBuilder.h"
#include "OrgSong.h"
#include "SongInput.h"
#include "TempDir.h"

namespace {

struct LoadResult
{
    bool complete;
    std::string message;
};

LoadResult Load(Org::OrgSong& p_Song, const std::string& p_Path)
{
    testing::internal::CaptureStderr();
    const bool l_Complete = p_Song.LoadFromFile(p_Path);
    return {l_Complete, testing::internal::GetCapturedStderr()};
}

// Every track's columns hold exactly numnotes events.
void ExpectConsistent(const Org::OrgSong& p_Song)
{
    for (int t = 0; t < 16; ++t)
        EXPECT_EQ(p_Song.instruments[t].numnotes, p_Song.GetEvents(t).size()) << "track " << t;
}

void ExpectBlank(Org::OrgSong& p_Song)
{
    EXPECT_EQ(140, p_Song.GetTempo());
    EXPECT_EQ(Org::_4_4, p_Song.GetSPBABPS());
    EXPECT_EQ(0u, p_Song.GetLoopStart());
    EXPECT_EQ(0u, p_Song.GetLoopStop());
    for (int t = 0; t < 16; ++t)
        EXPECT_EQ(0, p_Song.instruments[t].numnotes);
}

OrgTest::SongImage SongWithNotes()
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 100;
    l_Image.loopstart = 2;
    l_Image.loopstop = 8;
    l_Image.tracks[0].events = {{0, 50, 1, 1, 1}, {1, 51, 2, 2, 2}, {2, 52, 3, 3, 3}};
    l_Image.tracks[3].events = {{5, 60, 4, 70, 6}, {9, 61, 4, 80, 7}};
    return l_Image;
}

}  // namespace

TEST(SongBadInput, MissingPathGivesTheBlankSong)
{
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, "/nonexistent/song.org");
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in 114 bytes.\n", l_Result.message);
    ExpectBlank(l_Song);
}

TEST(SongBadInput, DirectoryAsPathGivesTheBlankSong)
{
    OrgTest::TempDir l_Dir;
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path());
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in 114 bytes.\n", l_Result.message);
    ExpectBlank(l_Song);
}

TEST(SongBadInput, ZeroLengthFileGivesTheBlankSong)
{
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("empty.org"), {});
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("empty.org"));
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in 114 bytes.\n", l_Result.message);
    ExpectBlank(l_Song);
}

TEST(SongBadInput, CutInTheHeaderKeepsBlankValuesForTheRest)
{
    OrgTest::TempDir l_Dir;
    auto l_Bytes = SongWithNotes().Bytes();
    l_Bytes.resize(9);  // magic, tempo and steps_bar only
    OrgTest::WriteFile(l_Dir.Path("cut.org"), l_Bytes);
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("cut.org"));
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ(100, l_Song.GetTempo());
    EXPECT_EQ(100u, l_Song.msPerBeat);
    EXPECT_EQ(4, l_Song.GetHeader().steps_bar);
    EXPECT_EQ(4, l_Song.GetHeader().beats_step);  // not in the file: blank value
    EXPECT_EQ(0u, l_Song.GetLoopStop());
    ExpectConsistent(l_Song);
}

TEST(SongBadInput, CutInTheInstrumentsKeepsTheirCounts)
{
    OrgTest::TempDir l_Dir;
    auto l_Bytes = SongWithNotes().Bytes();
    l_Bytes.resize(18 + 6 * 3 + 5);  // the fourth record loses its numnotes' high byte
    OrgTest::WriteFile(l_Dir.Path("cut.org"), l_Bytes);
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("cut.org"));
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ(3, l_Song.instruments[0].numnotes);
    EXPECT_EQ(2, l_Song.instruments[3].numnotes);
    EXPECT_EQ("Read in 154 bytes.\n", l_Result.message);  // counted, not delivered
    ExpectConsistent(l_Song);
    for (const Org::NoteEvent& l_Event : l_Song.GetEvents(0))
        EXPECT_EQ(0u, l_Event.pos);
}

TEST(SongBadInput, CutInsideAColumnFillsTheRestWithZeros)
{
    OrgTest::TempDir l_Dir;
    auto l_Bytes = SongWithNotes().Bytes();
    l_Bytes.resize(114 + 12 + 3 + 2);  // track 0: positions, notes, two of three lengths
    OrgTest::WriteFile(l_Dir.Path("cut.org"), l_Bytes);
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("cut.org"));
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in 154 bytes.\n", l_Result.message);
    ExpectConsistent(l_Song);
    const auto l_Events = l_Song.GetEvents(0);
    EXPECT_EQ(2u, l_Events[2].pos);
    EXPECT_EQ(52, l_Events[2].note);
    EXPECT_EQ(2, l_Events[1].length);
    EXPECT_EQ(0, l_Events[2].length);
    EXPECT_EQ(0, l_Events[0].volume);
    const auto l_Track3 = l_Song.GetEvents(3);
    EXPECT_EQ(0u, l_Track3[1].pos);
    // The song still plays safely.
    l_Song.Play();
    l_Song.Update(1);
    l_Song.Update(5000);
    for (int t = 0; t < 16; ++t)
        l_Song.GetNoteHit(t);
}

TEST(SongBadInput, AllFFBytesLoadAsTheLargestSong)
{
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("ff.org"), std::vector<std::uint8_t>(4096, 0xFF));
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("ff.org"));
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in " + std::to_string(114 + 8 * 16 * 65535) + " bytes.\n", l_Result.message);
    EXPECT_EQ(65535, l_Song.GetTempo());
    ExpectConsistent(l_Song);
    EXPECT_EQ(0xFFFFFFFFu, l_Song.GetEvents(0)[0].pos);
    // A loop at the very last beat and a note at the very last position are handled.
    l_Song.Play();
    l_Song.Update(1);
    l_Song.Update(100000);
    // Beyond the first 4096 bytes the columns were zero-filled: lengths of 0 sound nothing.
    EXPECT_EQ(0, l_Song.GetNoteHit(0, -1).playing);
}

TEST(SongBadInput, ForeignFileLoadsByTheSameLayout)
{
    OrgTest::TempDir l_Dir;
    std::vector<std::uint8_t> l_Text;
    const std::string l_Words = "#!/bin/sh\necho this is a shell script and not a song at all\n";
    for (int i = 0; i < 20; ++i)
        l_Text.insert(l_Text.end(), l_Words.begin(), l_Words.end());
    OrgTest::WriteFile(l_Dir.Path("script.sh"), l_Text);
    Org::OrgSong l_Song;
    const LoadResult l_Result = Load(l_Song, l_Dir.Path("script.sh"));
    EXPECT_FALSE(l_Result.complete);  // its counts ask for far more than it holds
    ExpectConsistent(l_Song);
    OrgTest::TempDir l_Out;
    EXPECT_TRUE(l_Song.SaveToFile(l_Out.Path("copy.org")));
}

// A path that is not a regular file never hangs a load: a FIFO with no writer is given up after a
// short wait (the blank song, false), while one whose writer takes its time is read to its end.
TEST(SongBadInput, AFifoWithNoWriterIsGivenUpInsteadOfHanging)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs";
#else
    OrgTest::TempDir l_Dir;
    const std::string l_Fifo = l_Dir.Path("fifo.org");
    ASSERT_EQ(0, mkfifo(l_Fifo.c_str(), 0600));
    Org::OrgSong l_Song;
    std::future<LoadResult> l_Load = std::async(std::launch::async, [&] { return Load(l_Song, l_Fifo); });
    const bool l_Returned = l_Load.wait_for(std::chrono::milliseconds(Org::SONG_INPUT_WAIT_MS + 5000)) ==
                            std::future_status::ready;
    if (!l_Returned)
        close(open(l_Fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets a load stuck in open() go
    EXPECT_TRUE(l_Returned);
    const LoadResult l_Result = l_Load.get();
    EXPECT_FALSE(l_Result.complete);
    EXPECT_EQ("Read in 114 bytes.\n", l_Result.message);
    ExpectBlank(l_Song);

    const auto l_Bytes = SongWithNotes().Bytes();
    std::thread l_Writer([&] {
        const int l_Fd = open(l_Fifo.c_str(), O_WRONLY);  // waits for the reader
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(static_cast<ssize_t>(l_Bytes.size()), write(l_Fd, l_Bytes.data(), l_Bytes.size()));
        close(l_Fd);
    });
    const LoadResult l_Slow = Load(l_Song, l_Fifo);
    l_Writer.join();
    EXPECT_TRUE(l_Slow.complete);
    EXPECT_EQ(2u, l_Song.GetEvents(3).size());
#endif
}
