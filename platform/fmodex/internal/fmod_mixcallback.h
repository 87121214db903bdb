/*
 * fmod_mixcallback.h: one call beside the flat interface, for tunewright-play (it is not installed).
 */
#ifndef TUNEWRIGHT_FMOD_MIXCALLBACK_H
#define TUNEWRIGHT_FMOD_MIXCALLBACK_H

#include <fmod.h>

#ifdef __cplusplus
extern "C" {
#endif

/* `frame` is the block's first, counted from the output's first frame, at `rate` frames a second. */
typedef void(F_API *FMOD_MIX_CALLBACK)(void *userdata, unsigned long long frame, int rate);

/* Has `callback` called on a real-time output's mixing thread before each block it mixes, with none
   of the engine's locks held, so that the voices it starts or changes are heard from that block on:
   a program's clock kept by the sound it is heard in, with no thread of its own to wake. A null
   callback takes it away. Setting it waits for a call under way to return, unless set from inside
   that call; Close and Release take it away first. Outputs that mix on System_Update never call it. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_SetMixCallback(FMOD_SYSTEM *system, FMOD_MIX_CALLBACK callback, void *userdata);

#ifdef __cplusplus
}
#endif

#endif
