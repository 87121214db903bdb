// Voice slots: choosing one for a new sound, naming it by handle, and setting its playback rate.
// Every function here expects System::mixlock to be held.
#ifndef TUNEWRIGHT_SOUND_VOICES_H
#define TUNEWRIGHT_SOUND_VOICES_H

#include "ChannelHandle.h"
#include "Engine.h"

namespace SoundEngine {

// A free slot (the lowest), else the slot whose sound started longest ago.
unsigned ChooseFreeVoice(const System& p_System);

// Starts p_Sound from its beginning in slot p_Slot, at volume 1, centre pan and the sound's own
// rate, and returns the voice's handle. A sound still playing there is stolen, unless p_SameHandle
// asks to restart the slot's live voice under its current handle.
FMOD_CHANNEL* StartVoice(System& p_System, unsigned p_Slot, const Sound& p_Sound, bool p_Paused,
                         bool p_SameHandle);

// The live voice a handle names, or why there is none: FMOD_ERR_INVALID_HANDLE for a voice that
// stopped or ended (or a slot that never was), FMOD_ERR_CHANNEL_STOLEN for one taken by another sound.
FMOD_RESULT ResolveVoice(System& p_System, const ChannelHandle::Parts& p_Handle, Voice*& p_Voice);

// Stops a voice at once as far as its handle goes; what it was sounding fades out (see Fade).
void StopVoice(System& p_System, Voice& p_Voice);

// Pauses or resumes a voice: pausing fades its sound out, resuming ramps it back in.
void PauseVoice(System& p_System, Voice& p_Voice, bool p_Paused);

// Ends a one-shot voice that has played its last frame: there is nothing left to fade.
void EndVoice(Voice& p_Voice);

// Stops every voice and fade that plays p_Sound, without a fade: the sound is going away.
void DropSound(System& p_System, const Sound* p_Sound);

// Frequency in Hz, clamped to 0 .. 4096 times the output rate (0 holds the voice still), so that a
// block's worth of steps never overflows a position.
void SetVoiceFrequency(const System& p_System, Voice& p_Voice, float p_Frequency);

}  // namespace SoundEngine

#endif
