// tunewright-info as a command: what it says of songs, as text and as JSON lines, its lengths,
// and its answers to input that is no song or no regular file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "LoopLengths.h"
#include "OrgFileBuilder.h"
#include "RunTool.h"
#include "TempDir.h"

namespace {

ToolResult Info(const std::string& p_WorkDir, const std::string& p_Arguments,
                const std::string& p_Before = "")
{
    return RunProgram(TUNEWRIGHT_INFO_PROGRAM, p_WorkDir, p_Arguments, p_Before);
}

}  // namespace

TEST(InfoProgram, TellsItsVersion)
{
    const ToolResult l_Run = Info("/", "--version");
    EXPECT_EQ(0, l_Run.status);
    EXPECT_EQ(std::string("tunewright-info ") + TUNEWRIGHT_VERSION + "\n", l_Run.output);
}

// A song path that is not a regular file never hangs tunewright-info: a FIFO with no writer is
// refused after a short wait with a clear message (timeout only guards the test against a hang).
TEST(InfoProgram, AFifoWithNoWriterIsRefusedAndASlowWriterIsWaitedFor)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs";
#else
    OrgTest::TempDir l_Dir;
    ASSERT_EQ(0, mkfifo(l_Dir.Path("fifo.org").c_str(), 0600));
    const ToolResult l_Run = Info(l_Dir.Path(), "fifo.org", "timeout 30 ");
    EXPECT_EQ(1, l_Run.status) << l_Run.output;
    EXPECT_NE(std::string::npos, l_Run.output.find("nothing arrived within")) << l_Run.output;
    // A writer that takes its time is waited for, and standard input ("-") reads the same way.
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    std::thread l_Writer([&] {
        int l_Fd = -1;  // open for writing once the tool has the FIFO open for reading
        for (int i = 0; i < 3000 && l_Fd < 0; ++i) {
            l_Fd = open(l_Dir.Path("fifo.org").c_str(), O_WRONLY | O_NONBLOCK);
            if (l_Fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto l_Bytes = OrgTest::LoopingSong().Bytes();
        EXPECT_EQ(static_cast<ssize_t>(l_Bytes.size()), write(l_Fd, l_Bytes.data(), l_Bytes.size()));
        close(l_Fd);
    });
    const ToolResult l_Slow = Info(l_Dir.Path(), "fifo.org", "timeout 30 ");
    l_Writer.join();
    EXPECT_EQ(0, l_Slow.status) << l_Slow.output;
    EXPECT_NE(std::string::npos, l_Slow.output.find("Notes in all: 2")) << l_Slow.output;
    const ToolResult l_Stdin = Info(l_Dir.Path(), "-", "cat song.org | ");
    EXPECT_EQ(0, l_Stdin.status) << l_Stdin.output;
    EXPECT_NE(std::string::npos, l_Stdin.output.find("Tempo: 50 ms per beat")) << l_Stdin.output;
#endif
}

// Several songs in one run as JSON lines: a missing song and a file of another magic each get
// their own line and exit status 1, the next song is still described, and its lengths are the renderer's
// (beats x tempo).
TEST(InfoProgram, DescribesSeveralSongsAsJson)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell and python3";
#endif
    OrgTest::TempDir l_Dir;
    const OrgTest::SongImage l_Song = OrgTest::LoopingSong();
    OrgTest::WriteFile(l_Dir.Path("song.org"), l_Song.Bytes());
    std::vector<std::uint8_t> l_Foreign = l_Song.Bytes();
    l_Foreign[5] = '3';
    OrgTest::WriteFile(l_Dir.Path("foreign.org"), l_Foreign);
    const std::string l_Parse = "import json, sys\n"
                                "for l in sys.stdin:\n"
                                "  if not l.startswith('{'): print(l, end=''); continue\n"
                                "  o = json.loads(l); t = o['tracks'][0]\n"
                                "  print('intro', o['intro_beats'], round(o['intro_seconds'] * 1000),\n"
                                "        'loop', o['loop_beats'], round(o['loop_seconds'] * 1000),\n"
                                "        'bpm', o['bpm'], 'bar', o['beats_per_bar'],\n"
                                "        'track0', t['notes'], t['lowest'], t['highest'])\n";
    const ToolResult l_Run = Info(
        l_Dir.Path(),
        "--json missing.org foreign.org song.org 2>&1; echo status=$?; } | python3 -c \"" + l_Parse + "\"",
        "{ ");
    EXPECT_NE(std::string::npos, l_Run.output.find("missing.org: cannot be read")) << l_Run.output;
    EXPECT_NE(std::string::npos,
              l_Run.output.find("'foreign.org' is not an Org-02 song (it begins with \"Org-03\")"))
        << l_Run.output;
    EXPECT_NE(std::string::npos, l_Run.output.find("status=1")) << l_Run.output;
    const unsigned l_LoopBeats = l_Song.loopstop - l_Song.loopstart;
    const std::string l_Expected =
        "intro " + std::to_string(l_Song.loopstart) + " " + std::to_string(l_Song.loopstart * l_Song.tempo) +
        " loop " + std::to_string(l_LoopBeats) + " " + std::to_string(l_LoopBeats * l_Song.tempo) + " bpm " +
        std::to_string(60000 / l_Song.tempo) + " bar " +
        std::to_string(l_Song.steps_bar * l_Song.beats_step) + " track0 2 57 60";
    EXPECT_NE(std::string::npos, l_Run.output.find(l_Expected)) << l_Run.output;
}

// The length of a loop count is the C interface's to the frame; -1 over a loop is for ever.
TEST(InfoProgram, ALoopCountHasTheLengthTheCInterfaceReads)
{
    OrgTest::TempDir l_Dir;
    OrgTest::ForEachLoopLength(l_Dir.Path(), [&](const OrgTest::LoopLengthCase& p_Case) {
        const ToolResult l_Info =
            Info(l_Dir.Path(), "--loops " + std::to_string(p_Case.loops) + " --rate 44100 " + p_Case.name);
        const std::string l_Length = p_Case.forever
                                         ? "Length with --loops -1: for ever"
                                         : ", " + std::to_string(p_Case.frames) + " frames at 44100 Hz";
        EXPECT_NE(std::string::npos, l_Info.output.find(l_Length)) << l_Info.output;
    });
}

// Names from the command line are shown with what would act on a terminal escaped; -- ends the
// options.
TEST(InfoProgram, NamesAreShownSafelyAndDashDashEndsOptions)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell and file names with control characters";
#else
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("-x.org"), OrgTest::LoopingSong().Bytes());
    const ToolResult l_Run = Info(l_Dir.Path(), ESCAPING_NAME);
    EXPECT_EQ(1, l_Run.status);
    EXPECT_NE(std::string::npos, l_Run.output.find(ESCAPED_NAME)) << l_Run.output;
    EXPECT_EQ(std::string::npos, l_Run.output.find_first_of("\033\007\233"));
    const ToolResult l_Dashed = Info(l_Dir.Path(), "-- -x.org");
    EXPECT_EQ(0, l_Dashed.status) << l_Dashed.output;
#endif
}

// A file name that is not UTF-8 keeps the JSON line valid: U+FFFD in "file", and the name's own
// bytes in "file_bytes", so that a script can still open it.
TEST(InfoProgram, JsonStaysValidForANameThatIsNotUtf8)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell and python3";
#else
    OrgTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("s\xff\xfe.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("plain.org"), OrgTest::LoopingSong().Bytes());
    const std::string l_Parse =
        "import json, os, sys\n"
        "for l in sys.stdin:\n"
        "  o = json.loads(l); raw = o.get('file_bytes')\n"
        "  print(ascii(o['file']), raw, raw is not None and os.path.exists(bytes.fromhex(raw)))\n";
    const ToolResult l_Run = Info(
        l_Dir.Path(), "--json \"$(printf 's\\377\\376.org')\" plain.org | python3 -c \"" + l_Parse + "\"");
    EXPECT_EQ(0, l_Run.status) << l_Run.output;
    EXPECT_EQ("'s\\ufffd\\ufffd.org' 73fffe2e6f7267 True\n'plain.org' None False\n", l_Run.output);
#endif
}
