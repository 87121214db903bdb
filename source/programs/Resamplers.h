#ifndef TUNEWRIGHT_RESAMPLERS_H
#define TUNEWRIGHT_RESAMPLERS_H

// The resamplers by the names the programs take, as the C interface lists them (TW_RESAMPLERS in
// <tunewright/tunewright.h>); a resampler's number there is the engine's FMOD_DSP_RESAMPLER too.
#include <string>

// The resampler called p_Name, or -1 for a name that is none of them.
int ResamplerNamed(const std::string& p_Name);

// Their names as a choice: "nearest, linear, cubic, spline or sinc".
std::string ResamplerChoices();

// p_Usage with "{resamplers}" replaced by ResamplerChoices(), so that a program's help lists them
// from the one table.
std::string UsageText(const char* p_Usage);

#endif
