#include "TextWidth.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace PlayerTest {

double InkWidth(const std::string& p_FontPath, int p_PixelSize, const std::u32string& p_Text)
{
    FT_Library l_Library = nullptr;
    FT_Face l_Face = nullptr;
    if (FT_Init_FreeType(&l_Library) != 0)
        return -1;
    double l_Result = -1;
    if (FT_New_Face(l_Library, p_FontPath.c_str(), 0, &l_Face) == 0
        && FT_Set_Pixel_Sizes(l_Face, 0, FT_UInt(p_PixelSize)) == 0) {
        double l_Pen = 0, l_Left = 1e9, l_Right = -1e9;
        FT_UInt l_Previous = 0;
        for (char32_t l_Char : p_Text) {
            const FT_UInt l_Glyph = FT_Get_Char_Index(l_Face, FT_ULong(l_Char));
            if (l_Previous != 0 && FT_HAS_KERNING(l_Face)) {
                FT_Vector l_Kern{};
                FT_Get_Kerning(l_Face, l_Previous, l_Glyph, FT_KERNING_UNFITTED, &l_Kern);
                l_Pen += l_Kern.x / 64.0;
            }
            if (FT_Load_Glyph(l_Face, l_Glyph, FT_LOAD_NO_HINTING) != 0)
                continue;
            FT_Glyph_Metrics& l_Metrics = l_Face->glyph->metrics;
            if (l_Metrics.width > 0) {
                l_Left = std::min(l_Left, l_Pen + l_Metrics.horiBearingX / 64.0);
                l_Right = std::max(l_Right, l_Pen + (l_Metrics.horiBearingX + l_Metrics.width) / 64.0);
            }
            l_Pen += l_Face->glyph->advance.x / 64.0;
            l_Previous = l_Glyph;
        }
        l_Result = l_Right > l_Left ? l_Right - l_Left : 0;
    }
    if (l_Face != nullptr)
        FT_Done_Face(l_Face);
    FT_Done_FreeType(l_Library);
    return l_Result;
}

}  // namespace PlayerTest
