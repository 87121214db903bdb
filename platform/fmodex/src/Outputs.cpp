// The outputs the engine offers, one row each; the first is the sound device AUTODETECT picks.
#include "Output.h"

#include <algorithm>
#include <iterator>

namespace SoundEngine {
namespace {

const OutputKind OUTPUTS[] = {
#ifdef _WIN32
    {FMOD_OUTPUTTYPE_WINMM, true, CreateWinmmOutput},
#else
    {FMOD_OUTPUTTYPE_ALSA, true, CreateAlsaOutput},
#endif
    {FMOD_OUTPUTTYPE_NOSOUND, true, CreateNoSoundOutput},
    {FMOD_OUTPUTTYPE_WAVWRITER, true, CreateWavWriterOutput},
    {FMOD_OUTPUTTYPE_NOSOUND_NRT, false, CreateNoSoundOutput},
    {FMOD_OUTPUTTYPE_WAVWRITER_NRT, false, CreateWavWriterOutput},
};

const OutputKind* Find(FMOD_OUTPUTTYPE p_Type)
{
    const auto l_Found = std::find_if(std::begin(OUTPUTS), std::end(OUTPUTS),
                                      [p_Type](const OutputKind& p_Kind) { return p_Kind.type == p_Type; });
    return l_Found == std::end(OUTPUTS) ? nullptr : l_Found;
}

}  // namespace

const OutputKind& OutputOfType(FMOD_OUTPUTTYPE p_Type)
{
    const OutputKind* l_Kind = Find(p_Type);
    return l_Kind != nullptr ? *l_Kind : OUTPUTS[0];
}

bool IsOutput(FMOD_OUTPUTTYPE p_Type) { return Find(p_Type) != nullptr; }

}  // namespace SoundEngine
