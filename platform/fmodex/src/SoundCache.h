// Decoded raw PCM shared by every sound made from the same memory.
#ifndef TUNEWRIGHT_SOUND_SOUNDCACHE_H
#define TUNEWRIGHT_SOUND_SOUNDCACHE_H

#include "SoundLoader.h"

#include <memory>

namespace SoundEngine {

// As LoadSound for raw PCM, but sounds of any system made from the same memory with the same
// layout and loop share one decoded copy, decoded by the first of them. The memory must stay as
// it is for as long as any such sound lives (FMOD_OPENMEMORY_POINT); once the last one is gone
// the copy is freed and the next sound decodes the memory afresh. Safe from any thread.
// Sounds with and without octave copies are decoded apart.
FMOD_RESULT LoadSharedSound(const RawPcm16& p_Raw, bool p_Loop, bool p_Octaves,
                            std::shared_ptr<const SoundData>& p_Data);
}  // namespace SoundEngine

#endif
