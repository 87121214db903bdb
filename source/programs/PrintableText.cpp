#include "PrintableText.h"

#include <cstdio>

std::size_t Utf8SequenceLength(const std::string& p_Text, std::size_t p_At)
{
    const auto l_Byte = [&](std::size_t p_Index) {
        return p_At + p_Index < p_Text.size() ? static_cast<unsigned char>(p_Text[p_At + p_Index]) : 0u;
    };
    const unsigned l_Lead = l_Byte(0);
    if (p_At >= p_Text.size())
        return 0;
    if (l_Lead < 0x80)
        return 1;
    // The allowed range of the second byte narrows for the lead bytes that would otherwise give
    // overlong forms (E0, F0), surrogates (ED) or code points beyond U+10FFFF (F4).
    std::size_t l_Length = 0;
    unsigned l_Low = 0x80, l_High = 0xbf;
    if (l_Lead >= 0xc2 && l_Lead <= 0xdf)
        l_Length = 2;
    else if (l_Lead >= 0xe0 && l_Lead <= 0xef)
        l_Length = 3;
    else if (l_Lead >= 0xf0 && l_Lead <= 0xf4)
        l_Length = 4;
    else
        return 0;
    if (l_Lead == 0xe0)
        l_Low = 0xa0;
    else if (l_Lead == 0xed)
        l_High = 0x9f;
    else if (l_Lead == 0xf0)
        l_Low = 0x90;
    else if (l_Lead == 0xf4)
        l_High = 0x8f;
    if (l_Byte(1) < l_Low || l_Byte(1) > l_High)
        return 0;
    for (std::size_t i = 2; i < l_Length; ++i)
        if (l_Byte(i) < 0x80 || l_Byte(i) > 0xbf)
            return 0;
    return l_Length;
}

std::string PrintableText(const std::string& p_Text)
{
    std::string l_Out;
    const auto Escape = [&](unsigned char p_Byte) {
        char l_Code[8];
        std::snprintf(l_Code, sizeof l_Code, "\\x%02x", p_Byte);
        l_Out += l_Code;
    };
    for (std::size_t i = 0; i < p_Text.size();) {
        const unsigned char l_Byte = static_cast<unsigned char>(p_Text[i]);
        const std::size_t l_Length = Utf8SequenceLength(p_Text, i);
        // U+0080 to U+009F, the second set of control characters, is C2 80 to C2 9F.
        const bool l_Control =
            l_Byte < 0x20 || l_Byte == 0x7f ||
            (l_Length == 2 && l_Byte == 0xc2 && static_cast<unsigned char>(p_Text[i + 1]) < 0xa0);
        if (l_Length == 0 || l_Control) {
            for (std::size_t j = 0; j < (l_Length == 0 ? 1 : l_Length); ++j)
                Escape(static_cast<unsigned char>(p_Text[i + j]));
            i += l_Length == 0 ? 1 : l_Length;
        } else {
            l_Out.append(p_Text, i, l_Length);
            i += l_Length;
        }
    }
    return l_Out;
}
