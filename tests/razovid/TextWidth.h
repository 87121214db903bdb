#ifndef TUNEWRIGHT_TESTS_PLAYER_TEXTWIDTH_H
#define TUNEWRIGHT_TESTS_PLAYER_TEXTWIDTH_H

#include <string>

namespace PlayerTest {

// Width in pixels of the ink of p_Text set in the font file at p_PixelSize, glyph by glyph
// with the font's kerning, as the player's text drawing lays it out; -1 when the font cannot
// be read.
double InkWidth(const std::string& p_FontPath, int p_PixelSize, const std::u32string& p_Text);

}  // namespace PlayerTest

#endif
