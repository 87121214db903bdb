// The renderer as a command: its length rules, its output file, and its answers to bad input.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "EngineTestKit.h"
#include "OrgFileBuilder.h"

namespace {

struct CommandRun
{
    int status;
    std::string output;  // standard output and standard error together
};

// Runs the renderer from p_WorkDir with the given arguments (already shell-quoted), its standard
// input piped from the shell command p_Input when one is given.
CommandRun Render(const std::string& p_WorkDir, const std::string& p_Arguments,
                  const std::string& p_Input = "")
{
    const std::string l_Command = "cd '" + p_WorkDir + "' && " + (p_Input.empty() ? "" : p_Input + " | ") +
                                  "'" + std::string(TUNEWRIGHT_RENDER_PROGRAM) + "' " + p_Arguments + " 2>&1";
    CommandRun l_Run = {-1, ""};
    std::FILE* l_Pipe = popen(l_Command.c_str(), "r");
    char l_Buffer[512];
    while (std::fgets(l_Buffer, sizeof(l_Buffer), l_Pipe) != nullptr)
        l_Run.output += l_Buffer;
    const int l_Status = pclose(l_Pipe);
    l_Run.status = WIFEXITED(l_Status) ? WEXITSTATUS(l_Status) : -1;
    return l_Run;
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

OrgTest::SongImage LoopingSong()
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 50;
    l_Song.loopstart = 4;
    l_Song.loopstop = 12;
    l_Song.tracks[0].events = {{0, 57, 4, 200, 6}, {4, 60, 8, 200, 6}};
    return l_Song;
}

}  // namespace

TEST(RenderProgram, DefaultLengthIsTheIntroAndTwoLoopsFromAnyFolder)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), LoopingSong().Bytes());
    const CommandRun l_Run = Render(l_Dir.path, "-q song.org");
    ASSERT_EQ(0, l_Run.status) << l_Run.output;
    int l_Rate = 0, l_Channels = 0;
    // (4 + 2 x 8) beats of 50 ms = 1 s, in whole 1 ms blocks.
    EXPECT_EQ(48000, Frames(l_Dir.Path("song.wav"), &l_Rate, &l_Channels));
    EXPECT_EQ(48000, l_Rate);
    EXPECT_EQ(2, l_Channels);
}

TEST(RenderProgram, LengthRateAndOutputOptions)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), LoopingSong().Bytes());
    const CommandRun l_Run =
        Render(l_Dir.path, "-q --seconds 0.5 --rate 44100 --fade 0.1 -o out.wav song.org");
    ASSERT_EQ(0, l_Run.status) << l_Run.output;
    int l_Rate = 0;
    EXPECT_NEAR(22050, Frames(l_Dir.Path("out.wav"), &l_Rate), 44);
    EXPECT_EQ(44100, l_Rate);

    const CommandRun l_Loops = Render(l_Dir.path, "-q --loops 0 song.org three.wav");
    ASSERT_EQ(0, l_Loops.status) << l_Loops.output;
    EXPECT_EQ(4 * 50 * 48, Frames(l_Dir.Path("three.wav")));
}

// The song is read once, so a pipe works as well as a file, named or as standard input ("-").
TEST(RenderProgram, ReadsTheSongFromAPipe)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.org"), LoopingSong().Bytes());
    for (const char* l_Arguments : {"-q /dev/stdin piped.wav", "-q -o piped.wav -"}) {
        std::filesystem::remove(l_Dir.Path("piped.wav"));
        const CommandRun l_Run = Render(l_Dir.path, l_Arguments, "cat song.org");
        EXPECT_EQ(0, l_Run.status) << l_Arguments << ": " << l_Run.output;
        EXPECT_EQ(48000, Frames(l_Dir.Path("piped.wav"))) << l_Arguments;
    }
}

TEST(RenderProgram, BadInputGivesAClearMessageAndNoFile)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("empty.org"), {});
    auto l_Cut = LoopingSong().Bytes();
    l_Cut.resize(120);
    OrgTest::WriteFile(l_Dir.Path("cut.org"), l_Cut);
    OrgTest::SongImage l_NoLoop;
    l_NoLoop.loopstop = 0;
    OrgTest::WriteFile(l_Dir.Path("noloop.org"), l_NoLoop.Bytes());

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
        {"noloop.org", 1, "--seconds", "noloop.wav"},
        {"''", 2, "empty argument", "song.wav"},
        {"", 2, "no song given", "song.wav"},
        {"--rate 7 cut.org", 2, "--rate takes a number", "cut.wav"},
        {"--bogus cut.org", 2, "unknown or incomplete option", "cut.wav"},
        {"--data /nonexistent cut.org", 1, "no instrument samples", "cut.wav"},
    };
    for (const Case& l_Case : l_Cases) {
        const CommandRun l_Run = Render(l_Dir.path, l_Case.arguments);
        EXPECT_EQ(l_Case.status, l_Run.status) << l_Case.arguments;
        EXPECT_NE(std::string::npos, l_Run.output.find(l_Case.message))
            << l_Case.arguments << ": " << l_Run.output;
        EXPECT_FALSE(std::filesystem::exists(l_Dir.Path(l_Case.output))) << l_Case.arguments;
    }
    // Nothing but the inputs is left behind, not even a partial file.
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(l_Dir.path),
                               std::filesystem::directory_iterator()));
}

TEST(RenderProgram, AFailedRenderKeepsAnOlderResult)
{
    EngineTest::TempDir l_Dir;
    OrgTest::WriteFile(l_Dir.Path("song.wav"), {'o', 'l', 'd'});
    const CommandRun l_Run = Render(l_Dir.path, "missing.org song.wav");
    EXPECT_EQ(1, l_Run.status);
    EXPECT_EQ(3u, std::filesystem::file_size(l_Dir.Path("song.wav")));
}

TEST(RenderProgram, HelpDescribesTheOptions)
{
    const CommandRun l_Run = Render("/", "--help");
    EXPECT_EQ(0, l_Run.status);
    for (const char* l_Option : {"--loops", "--seconds", "--rate", "--fade", "--data", "--output"})
        EXPECT_NE(std::string::npos, l_Run.output.find(l_Option)) << l_Option;
}
