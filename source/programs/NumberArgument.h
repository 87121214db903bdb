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

#endif
