#ifndef TUNEWRIGHT_BANKSOUNDS_H
#define TUNEWRIGHT_BANKSOUNDS_H

// The built-in bank's samples as engine sounds.
#include "BuiltinBank.h"
#include "fmod.h"

namespace Org {

// p_Sample as a sound of p_System (melody waveforms loop, drums play once), or null after logging
// why not. Every song's engine shares one decoded copy of each sample, held for the rest of the
// process once a song has used it, so that opening a song decodes nothing the process has seen.
FMOD_SOUND* MakeBankSound(FMOD_SYSTEM* p_System, const BuiltinBank::Sample& p_Sample, bool p_Loop);

}  // namespace Org

#endif
