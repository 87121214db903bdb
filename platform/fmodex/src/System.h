// Starting and stopping a system's output and voices.
#ifndef TUNEWRIGHT_SOUND_SYSTEM_H
#define TUNEWRIGHT_SOUND_SYSTEM_H

#include "Engine.h"

namespace SoundEngine {

// Makes p_MaxChannels voices and opens the configured output; a real-time output gets the engine's
// thread. An output that cannot open is replaced by the no-sound output of the same kind and
// FMOD_ERR_OUTPUT_INIT returned (errno set to the reason), with the system initialised all the same.
FMOD_RESULT InitSystem(System& p_System, int p_MaxChannels, void* p_DriverData);

// FMOD_ERR_FILE_BAD with errno set to the reason once the output has failed to write; else FMOD_OK.
FMOD_RESULT OutputResult(const System& p_System);

// Stops the thread and the output and drops every voice; every channel handle goes stale.
// FMOD_ERR_FILE_BAD (errno set) when the output failed at any time, its close included.
FMOD_RESULT CloseSystem(System& p_System);

// Frees a sound after stopping the voices that play it.
void DestroySound(Sound* p_Sound);

}  // namespace SoundEngine

#endif
