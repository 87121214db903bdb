// What the programs show of text from outside: names made safe for a terminal, the complaint line,
// a file that is no song, and the resamplers by name.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Complaint.h"
#include "PrintableText.h"
#include "Resamplers.h"
#include "SongMagic.h"

TEST(PrintableText, WhatATerminalWouldActOnIsWrittenAsHex)
{
    struct Case
    {
        std::string text, shown;
    };
    const Case l_Cases[] = {
        {"song ü € 😀.org", "song ü € 😀.org"},    // UTF-8 is shown as it is
        {"a\033]0;x\007b", "a\\x1b]0;x\\x07b"},  // an escape sequence that retitles the terminal
        {"tab\tnew\nline\r\x7f", "tab\\x09new\\x0aline\\x0d\\x7f"},
        {"\xc2\x9b"
         "31m",
         "\\xc2\\x9b31m"},                             // U+009B, a control sequence's one-character start
        {"\xc2\xa0", "\xc2\xa0"},                      // U+00A0 is no control character
        {"\xff\xfe", "\\xff\\xfe"},                    // not UTF-8
        {"\xc0\xaf", "\\xc0\\xaf"},                    // an overlong '/'
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // beyond U+10FFFF
        {"cut \xe2\x82", "cut \\xe2\\x82"},            // a sequence cut short
        {std::string("nul\0end", 7), "nul\\x00end"},
    };
    for (const Case& l_Case : l_Cases)
        EXPECT_EQ(l_Case.shown, PrintableText(l_Case.text)) << l_Case.shown;
}

TEST(PrintableText, Utf8SequencesAreMeasuredAndMalformedOnesAreNone)
{
    const std::string l_Text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    EXPECT_EQ(1u, Utf8SequenceLength(l_Text, 0));
    EXPECT_EQ(2u, Utf8SequenceLength(l_Text, 1));
    EXPECT_EQ(0u, Utf8SequenceLength(l_Text, 2));  // a continuation byte alone
    EXPECT_EQ(3u, Utf8SequenceLength(l_Text, 3));
    EXPECT_EQ(4u, Utf8SequenceLength(l_Text, 6));
    EXPECT_EQ(0u, Utf8SequenceLength(l_Text, l_Text.size()));
    for (const char* l_Bad :
         {"\xe0\x80\x80", "\xf0\x80\x80\x80", "\xc1\xbf", "\xed\xbf\xbf", "\xf5\x80\x80\x80", "\xf0\x9f\x98"})
        EXPECT_EQ(0u, Utf8SequenceLength(l_Bad, 0)) << PrintableText(l_Bad);
}

namespace {

int g_HookCalls = 0;

}  // namespace

TEST(Complaint, OneLineAfterTheProgramsNameShownSafelyAfterTheHook)
{
    SetProgramName("tunewright-test");
    SetBeforeComplaint([] { ++g_HookCalls; });
    testing::internal::CaptureStderr();
    Complain("cannot open 'a\033[2Jb.org'");
    const std::string l_Said = testing::internal::GetCapturedStderr();
    SetBeforeComplaint(nullptr);
    EXPECT_EQ("tunewright-test: cannot open 'a\\x1b[2Jb.org'\n", l_Said);
    EXPECT_EQ(1, g_HookCalls);
    testing::internal::CaptureStderr();
    Complain("again");
    EXPECT_EQ("tunewright-test: again\n", testing::internal::GetCapturedStderr());
    EXPECT_EQ(1, g_HookCalls);
}

TEST(SongMagic, OnlyAFileOfAnotherMagicIsTurnedDownWithItsFirstBytesShown)
{
    const auto Bytes = [](const std::string& p_Text) {
        return std::vector<std::uint8_t>(p_Text.begin(), p_Text.end());
    };
    EXPECT_EQ("", ForeignSongProblem("song.org", Bytes("Org-02 and the rest")));
    EXPECT_EQ("'x.org' is not an Org-02 song (it begins with \"Org-03\")",
              ForeignSongProblem("x.org", Bytes("Org-03 and the rest")));
    EXPECT_EQ("'x.org' is not an Org-02 song (it begins with \"?RIFF?\")",
              ForeignSongProblem("x.org", Bytes("\x01RIFF\x80tail")));
    EXPECT_EQ("'x.org' is not an Org-02 song (it begins with \"Or\")",
              ForeignSongProblem("x.org", Bytes("Or")));
    EXPECT_EQ("'x.org' is not an Org-02 song (it begins with \"\")", ForeignSongProblem("x.org", {}));
}

TEST(Resamplers, NamedAsTheCInterfaceListsThem)
{
    EXPECT_EQ(TW_INTERPOLATION_NEAREST, ResamplerNamed("nearest"));
    EXPECT_EQ(TW_INTERPOLATION_LINEAR, ResamplerNamed("linear"));
    EXPECT_EQ(TW_INTERPOLATION_CUBIC, ResamplerNamed("cubic"));
    EXPECT_EQ(TW_INTERPOLATION_SPLINE, ResamplerNamed("spline"));
    EXPECT_EQ(TW_INTERPOLATION_SINC, ResamplerNamed("sinc"));
    for (const char* l_None : {"", "Linear", "sinc ", "cosine"})
        EXPECT_EQ(-1, ResamplerNamed(l_None)) << l_None;
    EXPECT_EQ("nearest, linear, cubic, spline or sinc", ResamplerChoices());
    EXPECT_EQ("-i {nearest, linear, cubic, spline or sinc}, default linear of nearest, linear, cubic, spline "
              "or sinc\n",
              UsageText("-i {{resamplers}}, default linear of {resamplers}\n"));
}
