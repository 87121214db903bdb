// Expand: the song path as wide characters for the window's title.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Expand.h"

namespace {

std::wstring Expanded(std::string p_Text)
{
    std::unique_ptr<wchar_t[]> l_Wide(Expand(p_Text.data()));
    return std::wstring(l_Wide.get());
}

// What a byte becomes when it is not part of valid UTF-8: its Latin-1 character.
wchar_t Raw(unsigned char p_Byte) { return static_cast<wchar_t>(p_Byte); }

TEST(Expand, AsciiAndEmptyStringsAreCopiedCharacterForCharacter)
{
    EXPECT_EQ(Expanded("songs/harbour-lights.org"), L"songs/harbour-lights.org");
    EXPECT_EQ(Expanded("abc"), L"abc");
    EXPECT_EQ(Expanded(std::string("\x01 \x7F", 3)), std::wstring(L"\x01 \x7F"));

    std::string l_Empty;
    std::unique_ptr<wchar_t[]> l_Wide(Expand(l_Empty.data()));
    EXPECT_EQ(l_Wide[0], L'\0');
}

TEST(Expand, Utf8SequencesOfTwoThreeAndFourBytesBecomeOneCharacterEach)
{
    EXPECT_EQ(Expanded("s\xC3\xA5ng.org"), L"s\u00E5ng.org");        // 2 bytes
    EXPECT_EQ(Expanded("\xE2\x82\xAC"), L"\u20AC");                  // 3 bytes
    EXPECT_EQ(Expanded("\xF0\x9F\x8E\xB5.org"), L"\U0001F3B5.org");  // 4 bytes
    EXPECT_EQ(Expanded("\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"),
              L"\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF");  // each length at both ends
}

TEST(Expand, BytesThatAreNotUtf8BecomeTheirLatin1CharacterEach)
{
    // A byte that cannot start a sequence, and stray continuation bytes.
    EXPECT_EQ(Expanded("a\xFF"
                       "b\x80\xBF"),
              (std::wstring{L'a', Raw(0xFF), L'b', Raw(0x80), Raw(0xBF)}));
    // Latin-1 text: each accented byte on its own.
    EXPECT_EQ(Expanded("caf\xE9.org"), (std::wstring{L'c', L'a', L'f', Raw(0xE9), L'.', L'o', L'r', L'g'}));
    // Sequences cut short, by the end of the string or by a byte that does not continue them.
    EXPECT_EQ(Expanded("\xE2\x82"), (std::wstring{Raw(0xE2), Raw(0x82)}));
    EXPECT_EQ(Expanded("\xF0\x9F\x8E"
                       "x"),
              (std::wstring{Raw(0xF0), Raw(0x9F), Raw(0x8E), L'x'}));
    EXPECT_EQ(Expanded("\xC3"
                       "a"),
              (std::wstring{Raw(0xC3), L'a'}));
}

TEST(Expand, EveryByteValueGivesCharactersTheFontCanLookUp)
{
    // Each byte alone and between ASCII letters: the bytes below 0x80 are themselves, the rest
    // cannot be UTF-8 alone and come out as their Latin-1 character, never negative. The byte
    // 0x00 ends the path.
    for (int l_Byte = 0; l_Byte <= 0xFF; ++l_Byte) {
        const char l_Char = static_cast<char>(l_Byte);
        const std::wstring l_Alone = Expanded(std::string(1, l_Char));
        const std::wstring l_Between = Expanded(std::string("a") + l_Char + "b");
        if (l_Byte == 0) {
            EXPECT_EQ(l_Alone, L"");
            EXPECT_EQ(l_Between, L"a");
            continue;
        }
        EXPECT_EQ(l_Alone, std::wstring(1, static_cast<wchar_t>(l_Byte))) << "byte " << l_Byte;
        EXPECT_EQ(l_Between, (std::wstring{L'a', static_cast<wchar_t>(l_Byte), L'b'})) << "byte " << l_Byte;
    }
    // All of them in one name, in order: whatever decodes, no character is outside 0 .. U+10FFFF.
    std::string l_All;
    for (int l_Byte = 1; l_Byte <= 0xFF; ++l_Byte)
        l_All += static_cast<char>(l_Byte);
    for (wchar_t l_Wide : Expanded(l_All)) {
        EXPECT_GE(l_Wide, 0);
        EXPECT_LE(static_cast<long>(l_Wide), 0x10FFFF);
    }
}

TEST(Expand, OverlongFormsSurrogatesAndValuesBeyondUnicodeAreNotDecoded)
{
    // Overlong "/" in two, three and four bytes.
    EXPECT_EQ(Expanded("\xC0\xAF"), (std::wstring{Raw(0xC0), Raw(0xAF)}));
    EXPECT_EQ(Expanded("\xE0\x80\xAF"), (std::wstring{Raw(0xE0), Raw(0x80), Raw(0xAF)}));
    EXPECT_EQ(Expanded("\xF0\x80\x80\xAF"), (std::wstring{Raw(0xF0), Raw(0x80), Raw(0x80), Raw(0xAF)}));
    // The surrogates U+D800 and U+DFFF, written as if they were characters.
    EXPECT_EQ(Expanded("\xED\xA0\x80"), (std::wstring{Raw(0xED), Raw(0xA0), Raw(0x80)}));
    EXPECT_EQ(Expanded("\xED\xBF\xBF"), (std::wstring{Raw(0xED), Raw(0xBF), Raw(0xBF)}));
    // U+110000, past the last code point.
    EXPECT_EQ(Expanded("\xF4\x90\x80\x80"), (std::wstring{Raw(0xF4), Raw(0x90), Raw(0x80), Raw(0x80)}));
    // Valid text right after a rejected sequence is still decoded.
    EXPECT_EQ(Expanded("\xC0\xAF\xC3\xA5"), (std::wstring{Raw(0xC0), Raw(0xAF), L'\u00E5'}));
}

}  // namespace
