#ifndef TUNEWRIGHT_AUDIODEVICE_H
#define TUNEWRIGHT_AUDIODEVICE_H

// The audio device layer: a few free functions over the sound engine, and the process's one pair of
// engine handles. Each deliverable compiles its own copy of the functions (they are not exported);
// the handles live in the song library and are shared with the player.

#include <fmod.h>

#include <string>

#include "OrgDevice.h"

// Creates and starts the engine: 48 kHz 16-bit stereo, linear resampling, 32 voices, ALSA on Linux.
// Every step's failure is printed and the next step still runs.
void InitFMOD();

// Prints the "Audio error" block for any result but FMOD_OK; nothing else.
void FmodErrorCheck(FMOD_RESULT p_Result);

// FMOD_LoadSample and FMOD_PlaySound are this layer's own functions, not the engine's, whatever
// their prefix says; they reach the engine through Org::Device.

// Loads a sample file as one sound, looping when p_Loop is non-zero; null when it cannot.
FMOD_SOUND* FMOD_LoadSample(std::string p_Filename, int p_Loop);

// Starts p_Sound on a free voice, or with p_Reserve re-sets the live voice p_Channel; a voice that
// has ended or was taken is started afresh. Volume is on the song's 0-255 scale. Returns the voice.
FMOD_CHANNEL* FMOD_PlaySound(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Panning,
                             unsigned int p_Volume, FMOD_CHANNEL* p_Channel, bool p_Reserve);

// The same on any engine system, with every reported result handed to p_Check instead.
using ResultCheck = void (*)(FMOD_RESULT p_Result, void* p_User);
FMOD_CHANNEL* PlayVoiceOn(FMOD_SYSTEM* p_System, ResultCheck p_Check, void* p_User, FMOD_SOUND* p_Sound,
                          unsigned int p_Frequency, float p_Panning, unsigned int p_Volume,
                          FMOD_CHANNEL* p_Channel, bool p_Reserve);

// Stops the voice in the slot, whatever it holds, and empties the slot.
void FMOD_StopSound(FMOD_CHANNEL** p_Channel);

// Plain decimal form of a number. Part of the layer's interface; the sampler itself names its
// files through SamplerRules.
std::string toString(int p_Number);

#ifdef _WIN32
// Windows has no usleep; this one sleeps whole milliseconds.
void usleep(unsigned long long p_Microseconds);
#endif

#endif
