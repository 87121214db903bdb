#include "Expand.h"

#include <cstring>
#include <cwchar>

namespace {

// Length and value of the UTF-8 sequence at p_Text (at most p_Left bytes), or 0 when the bytes
// there are not a valid, shortest-form sequence of a Unicode scalar value.
int DecodeUtf8(const unsigned char* p_Text, std::size_t p_Left, char32_t& p_Value)
{
    const unsigned char l_Lead = p_Text[0];
    int l_Length = 0;
    char32_t l_Min = 0;
    if (l_Lead < 0x80) {
        p_Value = l_Lead;
        return 1;
    } else if ((l_Lead & 0xE0) == 0xC0) {
        l_Length = 2, l_Min = 0x80, p_Value = l_Lead & 0x1F;
    } else if ((l_Lead & 0xF0) == 0xE0) {
        l_Length = 3, l_Min = 0x800, p_Value = l_Lead & 0x0F;
    } else if ((l_Lead & 0xF8) == 0xF0) {
        l_Length = 4, l_Min = 0x10000, p_Value = l_Lead & 0x07;
    } else {
        return 0;
    }
    if (static_cast<std::size_t>(l_Length) > p_Left)
        return 0;
    for (int i = 1; i < l_Length; ++i) {
        if ((p_Text[i] & 0xC0) != 0x80)
            return 0;
        p_Value = (p_Value << 6) | (p_Text[i] & 0x3F);
    }
    if (p_Value < l_Min || p_Value > 0x10FFFF || (p_Value >= 0xD800 && p_Value <= 0xDFFF))
        return 0;
    return l_Length;
}

}  // namespace

wchar_t* Expand(char* p_String)
{
    const std::size_t l_Length = std::strlen(p_String);
    // Never more wide characters than bytes, even with surrogate pairs (4 bytes make 2).
    wchar_t* l_Wide = new wchar_t[l_Length + 1];
    const unsigned char* l_Bytes = reinterpret_cast<const unsigned char*>(p_String);
    std::size_t l_Out = 0;
    for (std::size_t i = 0; i < l_Length;) {
        char32_t l_Value = 0;
        const int l_Used = DecodeUtf8(l_Bytes + i, l_Length - i, l_Value);
        if (l_Used == 0) {
            l_Wide[l_Out++] = static_cast<wchar_t>(l_Bytes[i]);
            ++i;
            continue;
        }
#if WCHAR_MAX <= 0xFFFF
        if (l_Value > 0xFFFF) {  // UTF-16 wide strings take two units for these
            l_Value -= 0x10000;
            l_Wide[l_Out++] = static_cast<wchar_t>(0xD800 + (l_Value >> 10));
            l_Wide[l_Out++] = static_cast<wchar_t>(0xDC00 + (l_Value & 0x3FF));
            i += static_cast<std::size_t>(l_Used);
            continue;
        }
#endif
        l_Wide[l_Out++] = static_cast<wchar_t>(l_Value);
        i += static_cast<std::size_t>(l_Used);
    }
    l_Wide[l_Out] = 0;
    return l_Wide;
}
