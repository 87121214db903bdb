#include "Metal.h"

#include <cmath>

Colour Grey(float p_Level, float p_Alpha)
{
    return {p_Level * 0.96f, p_Level * 0.98f, p_Level * 1.02f, p_Alpha};
}

std::vector<float> Streaks(int p_Width, int p_Height, bool p_Vertical, std::uint32_t p_Seed)
{
    Noise l_Noise(p_Seed);
    const int l_Lines = p_Vertical ? p_Width : p_Height;
    const int l_Length = p_Vertical ? p_Height : p_Width;
    const int l_Box = 31;
    std::vector<float> l_Out(static_cast<std::size_t>(p_Width) * p_Height);
    std::vector<float> l_Raw(static_cast<std::size_t>(l_Length + l_Box));
    for (int l_Line = 0; l_Line < l_Lines; ++l_Line) {
        float l_Offset = l_Noise.Next();
        for (float& l_Value : l_Raw)
            l_Value = l_Noise.Next();
        float l_Sum = 0.0f;
        for (int l_I = 0; l_I < l_Box; ++l_I)
            l_Sum += l_Raw[l_I];
        for (int l_I = 0; l_I < l_Length; ++l_I) {
            float l_Drift = l_Sum / std::sqrt(static_cast<float>(l_Box));
            l_Sum += l_Raw[l_I + l_Box] - l_Raw[l_I];
            int l_X = p_Vertical ? l_Line : l_I;
            int l_Y = p_Vertical ? l_I : l_Line;
            l_Out[static_cast<std::size_t>(l_Y) * p_Width + l_X] = 0.6f * l_Offset + 0.4f * l_Drift;
        }
    }
    return l_Out;
}
