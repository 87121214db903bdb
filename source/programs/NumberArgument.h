#ifndef TUNEWRIGHT_NUMBERARGUMENT_H
#define TUNEWRIGHT_NUMBERARGUMENT_H

#include <cstdlib>

// Reads a whole command-line word as a number from p_Min to p_Max into p_Value; false, with
// p_Value untouched, for anything else (trailing text, NaN, out of range).
inline bool ParseNumber(const char* p_Text, double p_Min, double p_Max, double& p_Value)
{
    char* l_End = nullptr;
    const double l_Value = std::strtod(p_Text, &l_End);
    if (l_End == p_Text || *l_End != '\0' || !(l_Value >= p_Min && l_Value <= p_Max))
        return false;
    p_Value = l_Value;
    return true;
}

// The same for a count or a rate, where only a whole decimal number is meant: strtod would take
// "0.5" (then cut to 0), "0x10" (16) or "1e3", so only an optional sign and digits are let through.
// (strtol, whose overflow gives LONG_MIN or LONG_MAX, outside any range asked for; a program that
// reads only whole numbers then carries no floating-point reader.)
inline bool ParseInteger(const char* p_Text, long p_Min, long p_Max, long& p_Value)
{
    const char* l_Digits = p_Text + (*p_Text == '+' || *p_Text == '-' ? 1 : 0);
    if (*l_Digits == '\0')
        return false;
    for (const char* l_Char = l_Digits; *l_Char != '\0'; ++l_Char)
        if (*l_Char < '0' || *l_Char > '9')
            return false;
    const long l_Value = std::strtol(p_Text, nullptr, 10);
    if (l_Value < p_Min || l_Value > p_Max)
        return false;
    p_Value = l_Value;
    return true;
}

#endif
