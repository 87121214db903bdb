// The programs' shared command line: the number and track-list readers, and the option reader with
// its answers to a bad command line.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <functional>
#include <string>
#include <vector>

#include "NumberArgument.h"
#include "SongOptions.h"

namespace {

// What one reading of a command line gave: its exit status (-1: go on) and what it printed.
struct ReadResult
{
    int status;
    std::string out, err;
};

// Reads p_Words (the program's name first) with tunewright-play's usage; p_Own is the program's
// own options, asked first.
ReadResult ReadOptions(
    std::vector<std::string> p_Words, SongOptions& p_Options,
    const std::function<int(OptionReader&)>& p_Own = [](OptionReader&) { return 0; }, bool p_Playing = true)
{
    std::vector<char*> l_Argv;
    for (std::string& l_Word : p_Words)
        l_Argv.push_back(l_Word.data());
    l_Argv.push_back(nullptr);
    OptionReader l_Reader("tunewright-test", "usage: tunewright-test [--interp {resamplers}] SONG\n",
                          static_cast<int>(p_Words.size()), l_Argv.data());
    if (!p_Playing)
        l_Reader.WithoutPlayingOptions();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int l_Status = l_Reader.Read(p_Options, p_Own);
    std::string l_Err = testing::internal::GetCapturedStderr();
    return {l_Status, testing::internal::GetCapturedStdout(), l_Err};
}

}  // namespace

TEST(NumberArgument, AWholeWordInRangeIsANumberAndAnythingElseLeavesTheValue)
{
    double l_Value = 7;
    EXPECT_TRUE(ParseNumber("0.25", 0, 1, l_Value));
    EXPECT_EQ(0.25, l_Value);
    EXPECT_TRUE(ParseNumber("-24", -24, 24, l_Value));
    EXPECT_EQ(-24, l_Value);
    for (const char* l_Bad : {"", "1.5x", "2 ", "nan", "1.0001", "-0.1", "inf"}) {
        l_Value = 7;
        EXPECT_FALSE(ParseNumber(l_Bad, 0, 1, l_Value)) << l_Bad;
        EXPECT_EQ(7, l_Value) << l_Bad;
    }
}

TEST(NumberArgument, ACountTakesASignAndDigitsOnly)
{
    long l_Value = 7;
    EXPECT_TRUE(ParseInteger("+12", -1, 1000, l_Value));
    EXPECT_EQ(12, l_Value);
    EXPECT_TRUE(ParseInteger("-1", -1, 1000, l_Value));
    EXPECT_EQ(-1, l_Value);
    // strtol would take a part of these, or cut them to a number the user did not mean.
    for (const char* l_Bad :
         {"", "-", "+", "0.5", "0x10", "1e3", " 5", "5 ", "-2", "1001", "99999999999999999999999"}) {
        l_Value = 7;
        EXPECT_FALSE(ParseInteger(l_Bad, -1, 1000, l_Value)) << l_Bad;
        EXPECT_EQ(7, l_Value) << l_Bad;
    }
}

TEST(TrackList, NumbersAndRangesMarkTheirTracksOnTopOfThoseMarkedBefore)
{
    bool l_Tracks[Org::TRACK_COUNT] = {};
    l_Tracks[1] = true;
    std::string l_Error;
    ASSERT_TRUE(ParseTrackList("0,3,8-10,15", l_Tracks, l_Error)) << l_Error;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
        EXPECT_EQ(l_Track <= 1 || l_Track == 3 || (l_Track >= 8 && l_Track <= 10) || l_Track == 15,
                  l_Tracks[l_Track])
            << l_Track;
    EXPECT_EQ("", l_Error);
}

TEST(TrackList, AnythingButTracksIsRefusedWholeWithTheItemNamed)
{
    struct Case
    {
        const char* text;
        const char* item;
    };
    for (const Case& l_Case :
         {Case{"16", "16"}, Case{"3-", "3-"}, Case{"2,,3", ""}, Case{"9-8", "9-8"}, Case{"-1", "-1"},
          Case{"1,x", "x"}, Case{"", ""}, Case{"0-3-5", "0-3-5"}, Case{"1,", ""}}) {
        bool l_Tracks[Org::TRACK_COUNT] = {};
        std::string l_Error;
        EXPECT_FALSE(ParseTrackList(l_Case.text, l_Tracks, l_Error)) << l_Case.text;
        EXPECT_EQ(std::string("'") + l_Case.item + "' in '" + l_Case.text +
                      "' is no track: give tracks 0 to 15 and ranges, such as 0,3,8-15",
                  l_Error);
        for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
            EXPECT_FALSE(l_Tracks[l_Track]) << l_Case.text << ": track " << l_Track;
    }
}

TEST(OptionReader, ReadsEveryPlayingOptionAndTheSongsAfterThem)
{
    SongOptions l_Options;
    const ReadResult l_Read = ReadOptions({"tunewright-test",
                                           "-l",
                                           "3",
                                           "--seconds",
                                           "2.5",
                                           "-v",
                                           "0.25",
                                           "--interp",
                                           "sinc",
                                           "--mute",
                                           "0,3-4",
                                           "--solo",
                                           "9",
                                           "--tempo",
                                           "2",
                                           "--transpose",
                                           "-12.5",
                                           "-d",
                                           "data",
                                           "a.org",
                                           "-",
                                           "--",
                                           "-b.org",
                                           "--loops"},
                                          l_Options);
    EXPECT_EQ(-1, l_Read.status) << l_Read.err;
    EXPECT_EQ("", l_Read.out + l_Read.err);
    EXPECT_EQ(std::vector<std::string>({"a.org", "-", "-b.org", "--loops"}), l_Options.songs);
    EXPECT_EQ(3, l_Options.loops);
    EXPECT_EQ(2.5, l_Options.seconds);
    EXPECT_EQ(0.25f, l_Options.volume);
    EXPECT_EQ(TW_INTERPOLATION_SINC, l_Options.resampler);
    EXPECT_EQ(2.0, l_Options.tempo);
    EXPECT_EQ(-12.5, l_Options.transpose);
    EXPECT_EQ("data", l_Options.dataDir);
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        EXPECT_EQ(l_Track == 0 || l_Track == 3 || l_Track == 4, l_Options.mute[l_Track]) << l_Track;
        EXPECT_EQ(l_Track == 9, l_Options.solo[l_Track]) << l_Track;
    }
}

TEST(OptionReader, TheDefaultsAreTwoPassesLinearAtHalfVolume)
{
    SongOptions l_Options;
    EXPECT_EQ(-1, ReadOptions({"tunewright-test", "song.org"}, l_Options).status);
    EXPECT_EQ(1, l_Options.loops);
    EXPECT_EQ(0.0, l_Options.seconds);
    EXPECT_EQ(0.5f, l_Options.volume);
    EXPECT_EQ(TW_INTERPOLATION_LINEAR, l_Options.resampler);
    EXPECT_EQ(1.0, l_Options.tempo);
    EXPECT_EQ(0.0, l_Options.transpose);
    EXPECT_EQ("", l_Options.dataDir);
}

// The program's own options are asked first, so they can take a word of their own or refuse one.
TEST(OptionReader, TheProgramsOwnOptionsComeFirst)
{
    std::string l_Output;
    const auto l_Own = [&](OptionReader& p_Reader) {
        if (p_Reader.Option() == "-o")
            return p_Reader.Path(l_Output) ? 1 : 2;
        if (p_Reader.Option() == "-v")  // taken from the shared options: a flag here
            return 1;
        return 0;
    };
    SongOptions l_Options;
    const ReadResult l_Read =
        ReadOptions({"tunewright-test", "-v", "-o", "out.wav", "song.org"}, l_Options, l_Own);
    EXPECT_EQ(-1, l_Read.status) << l_Read.err;
    EXPECT_EQ("out.wav", l_Output);
    EXPECT_EQ(0.5f, l_Options.volume);
    EXPECT_EQ(std::vector<std::string>({"song.org"}), l_Options.songs);

    const ReadResult l_Empty = ReadOptions({"tunewright-test", "-o", "", "song.org"}, l_Options, l_Own);
    EXPECT_EQ(2, l_Empty.status);
    EXPECT_EQ("tunewright-test: -o needs a path; an empty one is not a path\n", l_Empty.err);
}

TEST(OptionReader, ABadCommandLineIsSaidOnStandardErrorWithStatusTwo)
{
    const std::string l_Usage =
        "usage: tunewright-test [--interp nearest, linear, cubic, spline or sinc] SONG\n";
    struct Case
    {
        std::vector<std::string> words;
        std::string message;
        bool usage;  // followed by the usage
    };
    const Case l_Cases[] = {
        {{"--loops", "0.5", "a.org"}, "--loops takes a whole number from -1 to 1000", false},
        {{"a.org", "-l"}, "-l takes a whole number from -1 to 1000", false},
        {{"--seconds", "0", "a.org"}, "--seconds takes a number from 0.001 to 21600", false},
        {{"-v", "1.5", "a.org"}, "-v takes a number from 0 to 1", false},
        {{"--interp", "cosine", "a.org"}, "--interp takes nearest, linear, cubic, spline or sinc", false},
        {{"a.org", "-i"}, "-i takes nearest, linear, cubic, spline or sinc", false},
        {{"--mute", "16", "a.org"},
         "--mute: '16' in '16' is no track: give tracks 0 to 15 and ranges, such as 0,3,8-15",
         false},
        {{"a.org", "--solo"}, "unknown or incomplete option '--solo'", true},
        {{"--tempo", "5", "a.org"}, "--tempo takes a number from 0.25 to 4", false},
        {{"--transpose", "-25", "a.org"}, "--transpose takes a number from -24 to 24", false},
        {{"--data", "", "a.org"}, "--data needs a path; an empty one is not a path", false},
        {{"--bogus", "a.org"}, "unknown or incomplete option '--bogus'", true},
        {{"a.org", ""}, "an empty argument is not a path", true},
        {{"-l", "2"}, "no song given", true},
        {{"--", "--"}, "", false},  // after --, "--" is a song: nothing to say
    };
    for (const Case& l_Case : l_Cases) {
        std::vector<std::string> l_Words = {"tunewright-test"};
        l_Words.insert(l_Words.end(), l_Case.words.begin(), l_Case.words.end());
        SongOptions l_Options;
        const ReadResult l_Read = ReadOptions(l_Words, l_Options);
        SCOPED_TRACE(l_Case.message);
        if (l_Case.message.empty()) {
            EXPECT_EQ(-1, l_Read.status);
            EXPECT_EQ("", l_Read.err);
            continue;
        }
        EXPECT_EQ(2, l_Read.status);
        EXPECT_EQ("tunewright-test: " + l_Case.message + "\n" + (l_Case.usage ? l_Usage : ""), l_Read.err);
        EXPECT_EQ("", l_Read.out);
    }
}

TEST(OptionReader, HelpAndVersionGoToStandardOutputWithStatusZero)
{
    SongOptions l_Options;
    const ReadResult l_Help = ReadOptions({"tunewright-test", "a.org", "--help", "--bogus"}, l_Options);
    EXPECT_EQ(0, l_Help.status);
    EXPECT_EQ("usage: tunewright-test [--interp nearest, linear, cubic, spline or sinc] SONG\n", l_Help.out);
    EXPECT_EQ("", l_Help.err);
    const ReadResult l_Version = ReadOptions({"tunewright-test", "--version"}, l_Options);
    EXPECT_EQ(0, l_Version.status);
    EXPECT_EQ(std::string("tunewright-test ") + TUNEWRIGHT_VERSION + "\n", l_Version.out);
}

// A program that plays nothing takes only --help, --version, -- and its own options.
TEST(OptionReader, WithoutPlayingOptionsTheyAreUnknown)
{
    for (const char* l_Option : {"-l", "--seconds", "-v", "--interp", "--mute", "--tempo", "-d"}) {
        SongOptions l_Options;
        const ReadResult l_Read = ReadOptions(
            {"tunewright-test", l_Option, "1", "a.org"}, l_Options, [](OptionReader&) { return 0; }, false);
        EXPECT_EQ(2, l_Read.status) << l_Option;
        EXPECT_EQ(0u, l_Read.err.find(std::string("tunewright-test: unknown or incomplete option '") +
                                      l_Option + "'\n"))
            << l_Read.err;
    }
    SongOptions l_Options;
    EXPECT_EQ(0, ReadOptions(
                     {"tunewright-test", "--version"}, l_Options, [](OptionReader&) { return 0; }, false)
                     .status);
}
