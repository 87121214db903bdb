#ifndef TUNEWRIGHT_RESAMPLERS_H
#define TUNEWRIGHT_RESAMPLERS_H

#include <fmod.h>

#include <cstring>

// The engine's resamplers by the names the programs take: FMOD_DSP_RESAMPLER values 0 to 3, then
// our own band-limited sinc, which only this engine has.
struct ResamplerName
{
    const char* name;
    int resampler;
};
inline constexpr ResamplerName RESAMPLER_NAMES[] = {
    {"nearest", FMOD_DSP_RESAMPLER_NOINTERP},     {"linear", FMOD_DSP_RESAMPLER_LINEAR},
    {"cubic", FMOD_DSP_RESAMPLER_CUBIC},          {"spline", FMOD_DSP_RESAMPLER_SPLINE},
    {"sinc", FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC},
};
inline constexpr const char* RESAMPLER_CHOICES = "nearest, linear, cubic, spline or sinc";

// The resampler called p_Name, or -1 for a name that is none of them.
inline int ResamplerNamed(const char* p_Name)
{
    for (const ResamplerName& l_Entry : RESAMPLER_NAMES)
        if (std::strcmp(p_Name, l_Entry.name) == 0)
            return l_Entry.resampler;
    return -1;
}

#endif
