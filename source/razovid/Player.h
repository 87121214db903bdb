#ifndef TUNEWRIGHT_PLAYER_H
#define TUNEWRIGHT_PLAYER_H

#include "Sampler.h"

// Opaque white, the tint that draws the background unchanged.
extern float g_White[4];
// The player's one sampler; null until start-up creates it.
extern Org::Sampler* sampler;

// The volume slider's callback: sets the master volume.
void VolumeRegister(float Current);

#endif
