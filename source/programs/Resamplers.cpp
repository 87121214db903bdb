#include "Resamplers.h"

#include <tunewright/tunewright.h>

#include <iterator>

namespace {

constexpr const char* NAMES[] = {
#define TW_RESAMPLER_NAME_(p_Number, p_Name, p_Taps, p_Label) p_Name,
    TW_RESAMPLERS(TW_RESAMPLER_NAME_)
#undef TW_RESAMPLER_NAME_
};
constexpr int NUMBERS[] = {
#define TW_RESAMPLER_NUMBER_(p_Number, p_Name, p_Taps, p_Label) p_Number,
    TW_RESAMPLERS(TW_RESAMPLER_NUMBER_)
#undef TW_RESAMPLER_NUMBER_
};

}  // namespace

int ResamplerNamed(const std::string& p_Name)
{
    for (std::size_t l_Index = 0; l_Index < std::size(NAMES); ++l_Index)
        if (p_Name == NAMES[l_Index])
            return NUMBERS[l_Index];
    return -1;
}

std::string ResamplerChoices()
{
    std::string l_Choices;
    for (std::size_t l_Index = 0; l_Index < std::size(NAMES); ++l_Index)
        l_Choices += (l_Index == 0                      ? ""
                      : l_Index + 1 == std::size(NAMES) ? " or "
                                                        : ", ") +
                     std::string(NAMES[l_Index]);
    return l_Choices;
}

std::string UsageText(const char* p_Usage)
{
    static const std::string TOKEN = "{resamplers}";
    std::string l_Text = p_Usage;
    for (std::size_t l_At = l_Text.find(TOKEN); l_At != std::string::npos; l_At = l_Text.find(TOKEN, l_At))
        l_Text.replace(l_At, TOKEN.size(), ResamplerChoices());
    return l_Text;
}
