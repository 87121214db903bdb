// The renderer as a command: its length rules, its output file, and its answers to bad input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "EngineTestKit.h"
#include "LoopLengths.h"
#include "OrgFileBuilder.h"
#include "RunTool.h"

namespace {

ToolResult Render(const std::string& p_WorkDir, const std::string& p_Arguments,
                  const std::string& p_Before = "")
{
    return RunProgram(TUNEWRIGHT_RENDER_PROGRAM, p_WorkDir, p_Arguments, p_Before);
}

long long Frames(const std::string& p_Path, int* p_Rate = nullptr, int* p_Channels = nullptr)
{
    SF_INFO l_Info = {};
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_READ, &l_Info);
    if (l_File == nullptr)
        return -1;
    sf_close(l_File);
    if (p_Rate)
        *p_Rate = l_Info.samplerate;
    if (p_Channels)
        *p_Channels = l_Info.channels;
    return l_Info.frames;
}

// The renderer's temporaries (NAME.tmp-PID-N) in p_Dir.
int Temporaries(const std::string& p_Dir)
{
    int l_Count = 0;
    for (const auto& l_Entry : std::filesystem::directory_iterator(p_Dir))
        l_Count += l_Entry.path().filename().string().find(".tmp-") != std::string::npos;
    return l_Count;
}

}  // namespace

TEST(RenderProgram, DefaultLengthIsTheIntroAndTwoLoopsFromAnyFolder)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    const ToolResult l_Run = Render(l_Dir.path, "-q song.org");
    ASSERT_EQ(0, l_Run.status) << l_Run.output;
    int l_Rate = 0, l_Channels = 0;
    // (4 + 2 x 8) beats of 50 ms = 1 s, in whole 1 ms blocks.
    EXPECT_EQ(48000, Frames(l_Dir.Path("song.wav"), &l_Rate, &l_Channels));
    EXPECT_EQ(48000, l_Rate);
    EXPECT_EQ(2, l_Channels);
}

// The samples of a sound file, read to its end (a FLAC stream written to a pipe does not know its
// length).
std::vector<short> Samples(const std::string& p_Path)
{
    SF_INFO l_Info = {};
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_READ, &l_Info);
    std::vector<short> l_Samples;
    short l_Chunk[4096];
    for (sf_count_t l_Got = 1; l_File != nullptr && l_Got > 0;) {
        l_Got = sf_read_short(l_File, l_Chunk, 4096 - 4096 % l_Info.channels);
        l_Samples.insert(l_Samples.end(), l_Chunk, l_Chunk + l_Got);
    }
    if (l_File != nullptr)
        sf_close(l_File);
    return l_Samples;
}

TEST(RenderProgram, LengthRateInterpolationAndOutputOptions)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    const ToolResult l_Run =
        Render(l_Dir.path, "-q --seconds 0.5 --rate 44100 --fade 0.1 -o out.wav song.org");
    ASSERT_EQ(0, l_Run.status) << l_Run.output;
    int l_Rate = 0;
    EXPECT_NEAR(22050, Frames(l_Dir.Path("out.wav"), &l_Rate), 44);
    EXPECT_EQ(44100, l_Rate);

    const ToolResult l_Loops = Render(l_Dir.path, "-q --loops 0 song.org three.wav");
    ASSERT_EQ(0, l_Loops.status) << l_Loops.output;
    EXPECT_EQ(12 * 50 * 48, Frames(l_Dir.Path("three.wav")));  // the intro and the loop once

    // The resampler reaches the engine: nearest, spline and sinc render the same notes differently.
    for (const char* l_Interp : {"nearest", "spline", "sinc"}) {
        const ToolResult l_Run = Render(l_Dir.path, std::string("-q --seconds 0.3 --interp ") + l_Interp +
                                                        " song.org " + l_Interp + ".wav");
        ASSERT_EQ(0, l_Run.status) << l_Run.output;
    }
    const std::vector<short> l_Nearest = Samples(l_Dir.Path("nearest.wav"));
    ASSERT_EQ(l_Nearest.size(), 2u * 300 * 48);
    EXPECT_NE(l_Nearest, Samples(l_Dir.Path("spline.wav")));
    EXPECT_NE(Samples(l_Dir.Path("spline.wav")), Samples(l_Dir.Path("sinc.wav")));
}

// The song is read once, so a pipe works as well as a file, named or as standard input ("-").
TEST(RenderProgram, ReadsTheSongFromAPipe)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell: a pipe into the program, /dev/stdin";
#endif
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    for (const char* l_Arguments : {"-q /dev/stdin piped.wav", "-q -o piped.wav -"}) {
        std::filesystem::remove(l_Dir.Path("piped.wav"));
        const ToolResult l_Run = Render(l_Dir.path, l_Arguments, "cat song.org | ");
        EXPECT_EQ(0, l_Run.status) << l_Arguments << ": " << l_Run.output;
        EXPECT_EQ(48000, Frames(l_Dir.Path("piped.wav"))) << l_Arguments;
    }
}

// A song path that is not a regular file never hangs the renderer: a FIFO with no writer is refused
// after a short wait with a clear message (timeout only guards the test against a hang).
TEST(RenderProgram, AFifoWithNoWriterIsRefused)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs";
#else
    EngineTest::TempDir l_Dir;
    ASSERT_EQ(0, mkfifo(l_Dir.Path("fifo.org").c_str(), 0600));
    const ToolResult l_Run = Render(l_Dir.path, "fifo.org", "timeout 30 ");
    EXPECT_EQ(1, l_Run.status) << l_Run.output;
    EXPECT_NE(std::string::npos, l_Run.output.find("nothing arrived within")) << l_Run.output;
#endif
}

// The render of a loop count is the C interface's length to the frame; -1 wants a length, whatever
// the song's loop.
TEST(RenderProgram, ALoopCountRendersTheLengthTheCInterfaceReads)
{
    EngineTest::TempDir l_Dir;
    OrgTest::ForEachLoopLength(l_Dir.path, [&](const OrgTest::LoopLengthCase& p_Case) {
        const ToolResult l_Render =
            Render(l_Dir.path, "-q --force --loops " + std::to_string(p_Case.loops) +
                                   " --fade 0 --rate 44100 -o out.raw " + p_Case.name);
        if (p_Case.loops < 0) {
            EXPECT_EQ(2, l_Render.status) << l_Render.output;
            return;
        }
        ASSERT_EQ(0, l_Render.status) << l_Render.output;
        EXPECT_EQ(4 * p_Case.frames, std::filesystem::file_size(l_Dir.Path("out.raw")));
    });
}

TEST(RenderProgram, TellsItsVersion)
{
    const ToolResult l_Run = Render("/", "--version");
    EXPECT_EQ(0, l_Run.status);
    EXPECT_EQ(std::string("tunewright-render ") + TUNEWRIGHT_VERSION + "\n", l_Run.output);
}

TEST(RenderProgram, BadInputGivesAClearMessageAndNoFile)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("empty.org"), {});
    auto l_Cut = OrgTest::LoopingSong().Bytes();
    l_Cut.resize(120);
    OrgTest::WriteFile(l_Dir.Path("cut.org"), l_Cut);
    OrgTest::SongImage l_NoLoop;
    l_NoLoop.loopstop = 0;
    OrgTest::WriteFile(l_Dir.Path("noloop.org"), l_NoLoop.Bytes());
    OrgTest::SongImage l_NoTempo;
    l_NoTempo.tempo = 0;
    OrgTest::WriteFile(l_Dir.Path("notempo.org"), l_NoTempo.Bytes());
    OrgTest::WriteFile(l_Dir.Path("nointro.org"), OrgTest::SongImage().Bytes());
    OrgTest::WriteFile(l_Dir.Path("good.org"), OrgTest::LoopingSong().Bytes());

    struct Case
    {
        const char* arguments;
        int status;
        const char* message;
        const char* output;
    };
    const Case l_Cases[] = {
        {"missing.org", 1, "cannot open the song", "missing.wav"},
        {"empty.org", 1, "empty", "empty.wav"},
        {"cut.org", 1, "damaged or not an Org-02 song", "cut.wav"},
        {"noloop.org", 1, "loop is empty", "noloop.wav"},
        {"notempo.org", 1, "tempo is 0", "notempo.wav"},
        {"--loops -1 nointro.org", 2, "--loops -1 repeats the loop for ever", "nointro.wav"},
        {"-o '' cut.org", 2, "-o needs a path", "cut.wav"},
        {"''", 2, "empty argument", "song.wav"},
        {"", 2, "no song given", "song.wav"},
        {"--rate 7 cut.org", 2, "--rate takes a whole number", "cut.wav"},
        {"--rate 0x10 cut.org", 2, "--rate takes a whole number", "cut.wav"},
        {"--loops 0.5 cut.org", 2, "--loops takes a whole number", "cut.wav"},
        {"--bogus cut.org", 2, "unknown or incomplete option", "cut.wav"},
        {"--interp cosine cut.org", 2, "--interp takes nearest, linear, cubic, spline or sinc", "cut.wav"},
        {"--data /nonexistent cut.org", 1, "no instrument samples", "cut.wav"},
        {"-o cut.mp3 cut.org", 2, "cannot tell a format from the name cut.mp3", "cut.mp3"},
        {"--format mp3 cut.org", 2, "--format takes wav, flac, ogg or raw", "cut.wav"},
        {"--channels 3 cut.org", 2, "--channels takes 1 or 2", "cut.wav"},
        {"-o cut.wav cut.org empty.org", 2, "several songs go into a folder", "cut.wav"},
        {"--mute 16 good.org", 2, "--mute: '16' in '16' is no track: give tracks 0 to 15", "good.wav"},
        {"--solo 3- good.org", 2, "--solo: '3-' in '3-' is no track", "good.wav"},
        {"--mute 2,,3 good.org", 2, "'' in '2,,3' is no track", "good.wav"},
        {"--solo 9-8 good.org", 2, "'9-8' in '9-8' is no track", "good.wav"},
        {"--tempo 0.2 good.org", 2, "--tempo takes a number from 0.25 to 4", "good.wav"},
        {"--transpose up good.org", 2, "--transpose takes a number from -24 to 24", "good.wav"},
        {"--stems empty.org/stems good.org", 1, "cannot make the stems' folder empty.org/stems", "good.wav"},
        {"--stems stems good.org cut.org", 2, "--stems takes one song at a time", "good.wav"},
    };
    for (const Case& l_Case : l_Cases) {
        const ToolResult l_Run = Render(l_Dir.path, l_Case.arguments);
        EXPECT_EQ(l_Case.status, l_Run.status) << l_Case.arguments;
        EXPECT_NE(std::string::npos, l_Run.output.find(l_Case.message))
            << l_Case.arguments << ": " << l_Run.output;
        EXPECT_FALSE(std::filesystem::exists(l_Dir.Path(l_Case.output))) << l_Case.arguments;
    }
    // Nothing but the inputs is left behind, not even a partial file.
    EXPECT_EQ(6, std::distance(std::filesystem::directory_iterator(l_Dir.path),
                               std::filesystem::directory_iterator()));
}

TEST(RenderProgram, AFailedRenderKeepsAnOlderResult)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.wav"), {'o', 'l', 'd'});
    const ToolResult l_Run = Render(l_Dir.path, "--force missing.org song.wav");
    EXPECT_EQ(1, l_Run.status);
    EXPECT_EQ(3u, std::filesystem::file_size(l_Dir.Path("song.wav")));
}

// An output that cannot be written to its end fails with the system's reason and keeps the older
// file: a file-size limit with SIGXFSZ ignored (as a full disk), and a link to a full device.
TEST(RenderProgram, AWriteFailureIsReportedAndKeepsTheOlderFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file-size limits or /dev/full";
#endif
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("song.wav"), {'o', 'l', 'd'});
    const ToolResult l_Limited =
        Render(l_Dir.path, "-q --force --seconds 5 song.org", "ulimit -f 100; trap '' XFSZ; ");
    EXPECT_EQ(1, l_Limited.status) << l_Limited.output;
    EXPECT_NE(std::string::npos, l_Limited.output.find("File too large")) << l_Limited.output;
    EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("song.wav")));

    std::filesystem::create_symlink("/dev/full", l_Dir.Path("full.wav"));
    const ToolResult l_Full = Render(l_Dir.path, "-q -o full.wav song.org");
    EXPECT_EQ(1, l_Full.status) << l_Full.output;
    EXPECT_NE(std::string::npos, l_Full.output.find("No space left on device")) << l_Full.output;
    EXPECT_TRUE(std::filesystem::is_symlink(l_Dir.Path("full.wav")));
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(l_Dir.path),
                               std::filesystem::directory_iterator()));
}

// A link is written through (the file it names is replaced, keeping its mode), never replaced
// itself; a device behind a link is written straight.
TEST(RenderProgram, LinksAreWrittenThroughAndDevicesStraight)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links and /dev/null";
#endif
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("real.wav"), {'o', 'l', 'd'});
    std::filesystem::permissions(l_Dir.Path("real.wav"), std::filesystem::perms(0604));
    std::filesystem::create_symlink("real.wav", l_Dir.Path("link.wav"));
    std::filesystem::create_symlink("/dev/null", l_Dir.Path("null.wav"));

    const ToolResult l_Link = Render(l_Dir.path, "-q --force -o link.wav song.org");
    EXPECT_EQ(0, l_Link.status) << l_Link.output;
    EXPECT_TRUE(std::filesystem::is_symlink(l_Dir.Path("link.wav")));
    EXPECT_EQ(48000, Frames(l_Dir.Path("real.wav")));
    EXPECT_EQ(std::filesystem::perms(0604), std::filesystem::status(l_Dir.Path("real.wav")).permissions());

    const ToolResult l_Null = Render(l_Dir.path, "-q -o null.wav song.org");
    EXPECT_EQ(0, l_Null.status) << l_Null.output;
    EXPECT_TRUE(std::filesystem::is_symlink(l_Dir.Path("null.wav")));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(l_Dir.path),
                               std::filesystem::directory_iterator()));
}

// A hangup or a file-size signal ends a render like an interrupt: no partial file is left.
TEST(RenderProgram, HangupAndFileSizeSignalsRemoveThePartialFile)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no hangup or file-size signals";
#endif
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("out.wav"), {'o', 'l', 'd'});
    for (const auto& [l_Signal, l_Status] :
         {std::pair{"HUP", "status=129"}, std::pair{"XFSZ", "status=153"}}) {
        const ToolResult l_Run =
            Render(l_Dir.path,
                   std::string("-q --force --seconds 600 song.org out.wav & p=$!; ") +
                       "while ! ls out.wav.tmp-* >/dev/null 2>&1 && kill -0 $p 2>/dev/null; " +
                       "do sleep 0.01; done; kill -" + l_Signal + " $p; wait $p; echo status=$?; }",
                   "{ ");
        EXPECT_NE(std::string::npos, l_Run.output.find(l_Status)) << l_Signal << ": " << l_Run.output;
        EXPECT_EQ(0, Temporaries(l_Dir.path)) << l_Signal;
        EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("out.wav")));
    }
}

TEST(RenderProgram, HelpDescribesTheOptions)
{
    const ToolResult l_Run = Render("/", "--help");
    EXPECT_EQ(0, l_Run.status);
    for (const char* l_Option : {"--loops", "--seconds", "--rate", "--fade", "--interp", "--data", "--output",
                                 "--force", "--format", "--channels"})
        EXPECT_NE(std::string::npos, l_Run.output.find(l_Option)) << l_Option;
}

// An existing file is replaced only with --force; the song itself never, by any name, and a song of
// another magic only with --force. -q prints nothing; without it the library's messages stay.
TEST(RenderProgram, WritesOverNoFileUnlessForcedAndNeverOverItsSong)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs symbolic links, /dev/stdout and a POSIX shell";
#endif
    EngineTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_Song = OrgTest::LoopingSong().Bytes();
    OrgTest::WriteFile(l_Dir.Path("song.org"), l_Song);
    OrgTest::WriteFile(l_Dir.Path("out.wav"), {'o', 'l', 'd'});
    std::filesystem::create_symlink("song.org", l_Dir.Path("link.wav"));
    std::filesystem::create_hard_link(l_Dir.Path("song.org"), l_Dir.Path("hard.wav"));
    const std::string l_Never = " is the song being rendered; it is never written over";
    struct Refusal
    {
        std::string before, arguments, message;
    };
    const Refusal l_Refusals[] = {
        {"", "song.org out.wav", "out.wav exists; give --force to replace it"},
        {"", "--force --format wav -o song.org song.org", "song.org" + l_Never},
        {"", "--force -o link.wav song.org", "link.wav" + l_Never},
        {"", "--force -o hard.wav song.org", "hard.wav" + l_Never},
        // Standard output, and /dev/stdout, sent to the song (read from standard input, or named);
        // the messages go out through descriptor 3.
        {"{ ", "--force -o - - <song.org 1<>song.org 2>&3; } 3>&1", "standard output" + l_Never},
        {"{ ", "--force -o /dev/stdout song.org >>song.org 2>&3; } 3>&1", "/dev/stdout" + l_Never},
    };
    for (const Refusal& l_Case : l_Refusals) {
        const ToolResult l_Run = Render(l_Dir.path, l_Case.arguments, l_Case.before);
        EXPECT_EQ(1, l_Run.status) << l_Case.arguments;
        EXPECT_EQ("tunewright-render: " + l_Case.message + "\n", l_Run.output) << l_Case.arguments;
    }
    EXPECT_EQ(l_Song, OrgTest::ReadFile(l_Dir.Path("song.org")));
    EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("out.wav")));
    EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(l_Dir.path),
                               std::filesystem::directory_iterator()));

    std::vector<std::uint8_t> l_Foreign = l_Song;
    l_Foreign[5] = '3';
    OrgTest::WriteFile(l_Dir.Path("foreign.org"), l_Foreign);
    const ToolResult l_Refused = Render(l_Dir.path, "-q foreign.org");
    EXPECT_EQ(1, l_Refused.status);
    EXPECT_NE(std::string::npos, l_Refused.output.find("'foreign.org' is not an Org-02 song (it begins with "
                                                       "\"Org-03\"); give --force"))
        << l_Refused.output;
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("foreign.wav")));
    const ToolResult l_Forced = Render(l_Dir.path, "-q --force foreign.org");
    EXPECT_EQ(0, l_Forced.status) << l_Forced.output;
    EXPECT_EQ("", l_Forced.output);
    EXPECT_EQ(48000, Frames(l_Dir.Path("foreign.wav")));

    const ToolResult l_Loud = Render(l_Dir.path, "--force song.org out.wav");
    EXPECT_EQ(0, l_Loud.status) << l_Loud.output;
    EXPECT_EQ("Read in " + std::to_string(l_Song.size()) + " bytes.\nWrote out.wav\n", l_Loud.output);
    EXPECT_EQ(48000, Frames(l_Dir.Path("out.wav")));
}

// The format follows the name or --format, through a file or a pipe alike: standard output gets the
// very bytes of the WAV file, FLAC holds the same samples, raw is the WAV's data without its
// header, one channel is the mean of the two, and several songs go into a folder.
namespace {

std::vector<std::string> FileNames(const std::string& p_Folder)
{
    std::vector<std::string> l_Names;
    for (const auto& l_Entry : std::filesystem::directory_iterator(p_Folder))
        l_Names.push_back(l_Entry.path().filename().string());
    std::sort(l_Names.begin(), l_Names.end());
    return l_Names;
}

// The largest difference, over every sample, between the files p_Parts added up and p_Whole; -1
// when they differ in length.
long WorstDifference(const std::vector<std::string>& p_Parts, const std::string& p_Whole)
{
    const std::vector<short> l_Whole = Samples(p_Whole);
    std::vector<long> l_Sum(l_Whole.size(), 0);
    for (const std::string& l_Part : p_Parts) {
        const std::vector<short> l_Samples = Samples(l_Part);
        if (l_Samples.size() != l_Sum.size())
            return -1;
        for (std::size_t i = 0; i < l_Sum.size(); ++i)
            l_Sum[i] += l_Samples[i];
    }
    long l_Worst = 0;
    for (std::size_t i = 0; i < l_Sum.size(); ++i)
        l_Worst = std::max(l_Worst, std::labs(l_Sum[i] - l_Whole[i]));
    return l_Whole.empty() ? -1 : l_Worst;
}

}  // namespace

// Stems are the tracks that sound, named by track and instrument, and add up to the mix within a
// unit per stem; mute, solo and the tempo change the render as the stems say.
TEST(RenderProgram, StemsAreTheSoundingTracksAndAddUpToTheMix)
{
    EngineTest::TempDir l_Dir;
    OrgTest::SongImage l_Song;
    l_Song.tempo = 50;
    l_Song.loopstop = 40;
    l_Song.tracks[0].id = 5;
    l_Song.tracks[0].events = {{0, 57, 8, 200, 6}, {16, 62, 8, 200, 3}};
    l_Song.tracks[3].id = 42;
    l_Song.tracks[3].events = {{4, 60, 8, 200, 2}};
    l_Song.tracks[9].id = 2;  // Snare01
    l_Song.tracks[9].events = {{0, 40, 1, 200, 6}, {8, 40, 1, 200, 10}};
    // Silent: track 4's note comes after a render of 1.5 s, track 6's event starts none (length 0),
    // track 10 is muted.
    l_Song.tracks[4].id = 1;
    l_Song.tracks[4].events = {{35, 57, 4, 200, 6}};
    l_Song.tracks[6].events = {{0, 57, 0, 200, 6}};
    l_Song.tracks[10].events = {{0, 40, 1, 200, 6}};
    OrgTest::WriteFile(l_Dir.Path("song.org"), l_Song.Bytes());
    const std::string l_Short = "-q --rate 8000 --seconds 1.5 ";
    const auto l_RenderOk = [&](const std::string& p_Arguments) {
        const ToolResult l_Run = Render(l_Dir.path, l_Short + p_Arguments + " song.org");
        EXPECT_EQ(0, l_Run.status) << p_Arguments << ": " << l_Run.output;
    };

    l_RenderOk("--mute 10 --stems stems -o mix.wav");
    l_RenderOk("--mute 10 -o plain.wav");
    const std::vector<std::string> l_Names = {"00-melody-05.wav", "03-melody-42.wav", "09-drum-Snare01.wav"};
    ASSERT_EQ(l_Names, FileNames(l_Dir.Path("stems")));
    std::vector<std::string> l_Stems;
    for (const std::string& l_Name : l_Names)
        l_Stems.push_back(l_Dir.Path("stems/" + l_Name));
    // Both mixes: the one written beside the stems, and the render's own.
    for (const char* l_Mix : {"mix.wav", "plain.wav"}) {
        const long l_Worst = WorstDifference(l_Stems, l_Dir.Path(l_Mix));
        EXPECT_GE(l_Worst, 0) << l_Mix;
        EXPECT_LE(l_Worst, long(l_Stems.size())) << l_Mix;
    }

    // Every track muted but one is that track's stem; two soloed are the sum of theirs.
    l_RenderOk("--mute 1-15 -o only0.wav");
    l_RenderOk("--solo 3,9 -o duo.wav");
    l_RenderOk("--transpose 12 -o high.wav");
    for (const auto& [l_Render, l_Parts] :
         {std::pair{"only0.wav", std::vector<std::string>{l_Stems[0]}},
          std::pair{"duo.wav", std::vector<std::string>{l_Stems[1], l_Stems[2]}}}) {
        const long l_Worst = WorstDifference(l_Parts, l_Dir.Path(l_Render));
        EXPECT_GE(l_Worst, 0) << l_Render;
        EXPECT_LE(l_Worst, long(l_Parts.size())) << l_Render;
    }
    EXPECT_NE(Samples(l_Dir.Path("plain.wav")), Samples(l_Dir.Path("high.wav")));

    // The render's format is the stems' (FLAC where the build writes it: the Windows one does not);
    // with no output named, the stems are all that is written.
#ifdef _WIN32
    const std::vector<std::string> l_Formats = {"raw"};
#else
    const std::vector<std::string> l_Formats = {"raw", "flac"};
#endif
    for (const std::string& l_Format : l_Formats) {
        ASSERT_EQ(0,
                  Render(l_Dir.path, l_Short + "--format " + l_Format + " --stems " + l_Format + " song.org")
                      .status);
        std::vector<std::string> l_Names;
        for (const char* l_Stem : {"00-melody-05", "03-melody-42", "09-drum-Snare01", "10-drum-Bass01"})
            l_Names.push_back(std::string(l_Stem) + "." + l_Format);
        EXPECT_EQ(l_Names, FileNames(l_Dir.Path(l_Format)));
        EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("song." + l_Format)));
    }

    // Twice the tempo: half the length the loops take (two 40-beat loops of 50 ms, 4 s).
    ASSERT_EQ(0, Render(l_Dir.path, "-q --rate 8000 --tempo 2 -o fast.wav song.org").status);
    EXPECT_EQ(16000, Frames(l_Dir.Path("fast.wav")));
}

// A bundled song's stems add up to its mix.
TEST(RenderProgram, ABundledSongsStemsAddUpToItsMix)
{
    EngineTest::TempDir l_Dir;
    const std::string l_Song = std::string(" '") + TUNEWRIGHT_SONGS_DIR + "/harbour-lights.org'";
    ASSERT_EQ(0, Render(l_Dir.path, "-q --rate 8000 --seconds 8 --stems stems" + l_Song).status);
    ASSERT_EQ(0, Render(l_Dir.path, "-q --rate 8000 --seconds 8 -o mix.wav" + l_Song).status);
    std::vector<std::string> l_Stems;
    for (const std::string& l_Name : FileNames(l_Dir.Path("stems"))) {
        const int l_Track = std::stoi(l_Name.substr(0, 2));
        EXPECT_EQ(l_Name.find(l_Track < 8 ? "-melody-" : "-drum-"), 2u) << l_Name;
        l_Stems.push_back(l_Dir.Path("stems/" + l_Name));
    }
    ASSERT_GT(l_Stems.size(), 2u);
    const long l_Worst = WorstDifference(l_Stems, l_Dir.Path("mix.wav"));
    EXPECT_GE(l_Worst, 0);
    EXPECT_LE(l_Worst, long(l_Stems.size()));
}

TEST(RenderProgram, FormatsChannelsStandardOutputAndSeveralSongs)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell (a pipe through cat), and FLAC and Ogg, which the Windows "
                    "build of libsndfile leaves out";
#endif
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    for (const char* l_Arguments : {"song.org", "-o - song.org | cat >piped.wav", "song.org song.flac",
                                    "--format flac -o - song.org | cat >piped.flac", "-o song.raw song.org",
                                    "-o song.ogg song.org", "--channels 1 -o mono.wav song.org"}) {
        const ToolResult l_Run = Render(l_Dir.path, std::string("-q ") + l_Arguments);
        EXPECT_EQ(0, l_Run.status) << l_Arguments << ": " << l_Run.output;
        EXPECT_EQ("", l_Run.output) << l_Arguments;
    }
    const std::vector<std::uint8_t> l_Wav = OrgTest::ReadFile(l_Dir.Path("song.wav"));
    ASSERT_EQ(44u + 48000u * 4u, l_Wav.size());
    EXPECT_EQ(l_Wav, OrgTest::ReadFile(l_Dir.Path("piped.wav")));
    const std::vector<short> l_Stereo = Samples(l_Dir.Path("song.wav"));
    EXPECT_EQ(l_Stereo, Samples(l_Dir.Path("song.flac")));
    EXPECT_EQ(l_Stereo, Samples(l_Dir.Path("piped.flac")));
    EXPECT_EQ(std::vector<std::uint8_t>(l_Wav.begin() + 44, l_Wav.end()),
              OrgTest::ReadFile(l_Dir.Path("song.raw")));
    int l_Rate = 0, l_Channels = 0;
    EXPECT_EQ(48000, Frames(l_Dir.Path("song.ogg"), &l_Rate, &l_Channels));
    EXPECT_EQ(2, l_Channels);
    const std::vector<short> l_Mono = Samples(l_Dir.Path("mono.wav"));
    ASSERT_EQ(l_Stereo.size() / 2, l_Mono.size());
    std::size_t l_Wrong = 0;
    for (std::size_t i = 0; i < l_Mono.size(); ++i)
        l_Wrong += l_Mono[i] != (l_Stereo[2 * i] + l_Stereo[2 * i + 1]) / 2;
    EXPECT_EQ(0u, l_Wrong);
    EXPECT_GT(*std::max_element(l_Mono.begin(), l_Mono.end()), 1000);

    std::filesystem::copy_file(l_Dir.Path("song.org"), l_Dir.Path("other.org"));
    std::filesystem::create_directory(l_Dir.Path("out"));
    const ToolResult l_Several = Render(l_Dir.path, "-q --format raw -o out/ song.org other.org");
    EXPECT_EQ(0, l_Several.status) << l_Several.output;
    for (const char* l_Name : {"out/song.raw", "out/other.raw"})
        EXPECT_EQ(OrgTest::ReadFile(l_Dir.Path("song.raw")), OrgTest::ReadFile(l_Dir.Path(l_Name))) << l_Name;
}

#ifndef _WIN32
namespace {

// Starts the renderer in p_Dir, sends it p_Signal once its temporary output exists, and returns
// its wait status (a core file is not wanted from SIGQUIT).
int RenderStoppedBy(const std::string& p_Dir, int p_Signal)
{
    const pid_t l_Pid = fork();
    if (l_Pid == 0) {
        const rlimit l_NoCore = {0, 0};
        setrlimit(RLIMIT_CORE, &l_NoCore);
        if (chdir(p_Dir.c_str()) == 0)
            execl(TUNEWRIGHT_RENDER_PROGRAM, TUNEWRIGHT_RENDER_PROGRAM, "-q", "--force", "--seconds", "600",
                  "-o", "out.wav", "song.org", static_cast<char*>(nullptr));
        _exit(127);
    }
    int l_Status = 0;
    for (int i = 0; i < 3000 && Temporaries(p_Dir) == 0 && waitpid(l_Pid, &l_Status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(l_Pid, p_Signal);
    waitpid(l_Pid, &l_Status, 0);
    return l_Status;
}

}  // namespace
#endif

// Every signal whose default action ends a process removes the temporary, and the render then
// dies of that signal (not an exit status), so that a shell loop over renders stops too.
TEST(RenderProgram, AnEndingSignalRemovesTheTemporaryAndEndsTheRenderByThatSignal)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX signals";
#else
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("out.wav"), {'o', 'l', 'd'});
    for (int l_Signal : {SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM}) {
        const int l_Status = RenderStoppedBy(l_Dir.path, l_Signal);
        EXPECT_TRUE(WIFSIGNALED(l_Status) && WTERMSIG(l_Status) == l_Signal)
            << strsignal(l_Signal) << ": wait status " << l_Status;
        EXPECT_EQ(0, Temporaries(l_Dir.path)) << strsignal(l_Signal);
        EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("out.wav")));
    }
#endif
}

// Whatever lies under the name of a temporary (a hard link to another file, a FIFO, a link, a
// folder) is left alone, and two forced renders to one output each leave a whole file: the
// output always holds one song's render, never a mix of both.
TEST(RenderProgram, TheTemporaryIsNeverAnotherFileAndRacingRendersNeverMix)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs hard links, FIFOs and a POSIX shell";
#else
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("a.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::SongImage l_Other = OrgTest::LoopingSong();
    l_Other.tracks[0].events = {{0, 40, 20, 250, 6}};
    OrgTest::WriteFile(l_Dir.Path("b.org"), l_Other.Bytes());
    const std::vector<std::uint8_t> l_Important = {'k', 'e', 'e', 'p'};
    OrgTest::WriteFile(l_Dir.Path("important"), l_Important);

    const auto Plant = [&](int p_Kind) {
        const std::string l_Name = l_Dir.Path("out.wav.partial");
        std::filesystem::remove_all(l_Name);
        if (p_Kind == 0)
            std::filesystem::create_hard_link(l_Dir.Path("important"), l_Name);
        else if (p_Kind == 1)
            mkfifo(l_Name.c_str(), 0600);
        else if (p_Kind == 2)
            std::filesystem::create_symlink("important", l_Name);
        else
            std::filesystem::create_directory(l_Name);
        return std::filesystem::symlink_status(l_Name).type();
    };
    for (int l_Kind = 0; l_Kind < 4; ++l_Kind) {
        const std::filesystem::file_type l_Type = Plant(l_Kind);
        const ToolResult l_Run = Render(l_Dir.path, "-q --force --seconds 1 -o out.wav a.org", "timeout 60 ");
        EXPECT_EQ(0, l_Run.status) << l_Kind << ": " << l_Run.output;
        EXPECT_EQ(48000, Frames(l_Dir.Path("out.wav"))) << l_Kind;
        EXPECT_EQ(l_Type, std::filesystem::symlink_status(l_Dir.Path("out.wav.partial")).type()) << l_Kind;
        EXPECT_EQ(l_Important, OrgTest::ReadFile(l_Dir.Path("important"))) << l_Kind;
    }

    for (const char* l_Song : {"a", "b"})
        ASSERT_EQ(0,
                  Render(l_Dir.path, std::string("-q --seconds 30 -o ") + l_Song + ".wav " + l_Song + ".org")
                      .status);
    const std::vector<std::uint8_t> l_A = OrgTest::ReadFile(l_Dir.Path("a.wav"));
    const std::vector<std::uint8_t> l_B = OrgTest::ReadFile(l_Dir.Path("b.wav"));
    ASSERT_NE(l_A, l_B);
    const std::string l_Second = std::string("'") + TUNEWRIGHT_RENDER_PROGRAM + "' ";
    for (int l_Try = 0; l_Try < 10; ++l_Try) {
        const ToolResult l_Race = Render(l_Dir.path,
                                         "-q --force --seconds 30 -o out.wav a.org & " + l_Second +
                                             "-q --force --seconds 30 -o out.wav b.org; wait; }",
                                         "{ ");
        // Both may succeed (the later rename wins); one that fails says so.
        const std::vector<std::uint8_t> l_Out = OrgTest::ReadFile(l_Dir.Path("out.wav"));
        EXPECT_TRUE(l_Out == l_A || l_Out == l_B) << "try " << l_Try << ": a mix of both renders";
        EXPECT_EQ(0, Temporaries(l_Dir.path)) << l_Try;
    }
#endif
}

// A replaced file keeps its owner and group as well as its mode; and when its folder may not be
// written, the message blames the folder, not the (writable) file. Run as root, the second part
// runs the renderer as the user nobody.
TEST(RenderProgram, AReplacedFileKeepsItsOwnerAndAnUnwritableFolderIsBlamed)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX owners";
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    EngineTest::TempDir l_Dir;
    std::filesystem::permissions(l_Dir.path, std::filesystem::perms(0755));
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    OrgTest::WriteFile(l_Dir.Path("out.wav"), {'o', 'l', 'd'});
    ASSERT_EQ(0, chown(l_Dir.Path("out.wav").c_str(), 65534, 65534));
    ASSERT_EQ(0, chmod(l_Dir.Path("out.wav").c_str(), 0646));
    const ToolResult l_Run = Render(l_Dir.path, "-q --force -o out.wav song.org");
    EXPECT_EQ(0, l_Run.status) << l_Run.output;
    struct stat l_Stat = {};
    ASSERT_EQ(0, stat(l_Dir.Path("out.wav").c_str(), &l_Stat));
    EXPECT_EQ(65534u, l_Stat.st_uid);
    EXPECT_EQ(65534u, l_Stat.st_gid);
    EXPECT_EQ(0646u, l_Stat.st_mode & 07777);
    EXPECT_EQ(48000, Frames(l_Dir.Path("out.wav")));

    // nobody may write out.wav (0646) but not the folder (root's, 0755).
    OrgTest::WriteFile(l_Dir.Path("out.wav"), {'o', 'l', 'd'});
    const ToolResult l_Nobody = Render(l_Dir.path, "-q --force -o out.wav song.org",
                                       "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    EXPECT_EQ(1, l_Nobody.status) << l_Nobody.output;
    EXPECT_EQ("tunewright-render: cannot write out.wav: its folder . cannot be written (Permission denied)\n",
              l_Nobody.output);
    EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("out.wav")));
#endif
}

// Sound data is not written onto a terminal (standard output or a named one) unless forced.
TEST(RenderProgram, SoundGoesOntoATerminalOnlyWhenForced)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal";
#else
    int l_Master = -1, l_Slave = -1;
    ASSERT_EQ(0, openpty(&l_Master, &l_Slave, nullptr, nullptr, nullptr));
    const std::string l_Terminal = ttyname(l_Slave);
    // What reaches the terminal is read off, so that a render that does write there never blocks.
    std::atomic<bool> l_Done{false};
    std::thread l_Reader([&] {
        char l_Buffer[4096];
        while (!l_Done) {
            pollfd l_Poll = {l_Master, POLLIN, 0};
            if (poll(&l_Poll, 1, 50) > 0 && read(l_Master, l_Buffer, sizeof l_Buffer) <= 0)
                break;
        }
    });
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), OrgTest::LoopingSong().Bytes());
    const std::string l_Refusal =
        " is a terminal; sound data is not written to one (redirect it, or give --force)";
    const ToolResult l_Stdout = Render(l_Dir.path, "-q -o - song.org >" + l_Terminal + " 2>&3; } 3>&1", "{ ");
    EXPECT_EQ(1, l_Stdout.status);
    EXPECT_EQ("tunewright-render: standard output" + l_Refusal + "\n", l_Stdout.output);
    const ToolResult l_Named = Render(l_Dir.path, "-q -o " + l_Terminal + " song.org");
    EXPECT_EQ(1, l_Named.status);
    EXPECT_EQ("tunewright-render: " + l_Terminal + l_Refusal + "\n", l_Named.output);
    // Forced: a few hundred bytes of raw data, which the terminal's buffer holds.
    const ToolResult l_Forced = Render(
        l_Dir.path, "-q --force --format raw --seconds 0.002 -o - song.org >" + l_Terminal + " 2>&3; } 3>&1",
        "{ ");
    EXPECT_EQ(0, l_Forced.status) << l_Forced.output;
    l_Done = true;
    l_Reader.join();
    close(l_Slave);
    close(l_Master);
#endif
}

// Names from the command line are shown with what would act on a terminal escaped; -- ends the
// options; an unreadable sample file under --data fails the render, -q or not.
TEST(RenderProgram, NamesAreShownSafelyDashDashEndsOptionsAndABadSampleFails)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs a POSIX shell and file names with control characters";
#else
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("-x.org"), OrgTest::LoopingSong().Bytes());
    const ToolResult l_Run = Render(l_Dir.path, ESCAPING_NAME);
    EXPECT_EQ(1, l_Run.status);
    EXPECT_NE(std::string::npos, l_Run.output.find(ESCAPED_NAME)) << l_Run.output;
    EXPECT_EQ(std::string::npos, l_Run.output.find_first_of("\033\007\233"));
    const ToolResult l_Dashed = Render(l_Dir.path, "-q -- -x.org");
    EXPECT_EQ(0, l_Dashed.status) << l_Dashed.output;
    EXPECT_EQ(48000, Frames(l_Dir.Path("-x.wav")));

    // A data folder whose melody files are not sound files.
    std::filesystem::create_directories(l_Dir.Path("data/melody"));
    std::filesystem::create_directory_symlink(TUNEWRIGHT_DATA_DIR "/percussion",
                                              l_Dir.Path("data/percussion"));
    for (const auto& l_Entry : std::filesystem::directory_iterator(TUNEWRIGHT_DATA_DIR "/melody"))
        OrgTest::WriteFile(l_Dir.Path("data/melody/" + l_Entry.path().filename().string()), {'b', 'a', 'd'});
    const ToolResult l_Bad = Render(l_Dir.path, "-q --data data -o bad.wav -- -x.org");
    EXPECT_EQ(1, l_Bad.status) << l_Bad.output;
    EXPECT_NE(std::string::npos, l_Bad.output.find("the sample file data/melody/melody0.wav cannot be read"))
        << l_Bad.output;
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("bad.wav")));
#endif
}
