#ifndef TUNEWRIGHT_SOUNDCARD_H
#define TUNEWRIGHT_SOUNDCARD_H

// The sound card, through the engine's real-time output: whatever output the engine picks for this
// system (ALSA on Linux), set up in the process's engine handles that the sampler plays on.
#include <string>

// Starts the engine at 48 kHz with the resampler p_Resampler (an FMOD_DSP_RESAMPLER number) on the
// device p_Device (empty: the system's default; on Linux an ALSA PCM name). False, with one line
// saying why in p_Error, when there is no device to play on.
bool OpenSoundCard(const std::string& p_Device, int p_Resampler, std::string& p_Error);

// Stops the output and releases the engine with every sound loaded on it.
void CloseSoundCard();

#endif
