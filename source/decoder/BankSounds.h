#ifndef TUNEWRIGHT_BANKSOUNDS_H
#define TUNEWRIGHT_BANKSOUNDS_H

// The instruments as engine sounds: the built-in bank's samples, or sample files.
#include <string>

#include "BuiltinBank.h"
#include "fmod.h"

namespace Org {

// p_Sample as a sound of p_System, whose resampler is p_Resampler (melody waveforms loop, drums
// play once), or null after logging why not. Every song's engine shares one decoded copy of each
// sample as its resampler needs it, held for the rest of the process once a song has used it, so
// that opening a song decodes nothing the process has seen.
FMOD_SOUND* MakeBankSound(FMOD_SYSTEM* p_System, int p_Resampler, const BuiltinBank::Sample& p_Sample,
                          bool p_Loop);

// The sample file p_Path as a sound of p_System, looping or played once as the player loads it; null
// when it cannot be read (nothing is said: the caller names the file).
FMOD_SOUND* MakeFileSound(FMOD_SYSTEM* p_System, const std::string& p_Path, bool p_Loop);

}  // namespace Org

#endif
