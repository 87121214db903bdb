/*
 * fmod_readmix.h: one call beside the flat interface, for the song library's decoder and the renderer (it is
 * not installed). A system whose output is FMOD_OUTPUTTYPE_NOSOUND_NRT mixes a block here, into the
 * caller's memory, instead of on System_Update.
 */
#ifndef TUNEWRIGHT_FMOD_READMIX_H
#define TUNEWRIGHT_FMOD_READMIX_H

#include <fmod.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Mixes the next `frames` frames (1 to the DSP block length) of an initialised non-real-time system.
   `pcm16` gets them as interleaved 16-bit stereo, exactly as System_Update hands them to its output;
   `mix` gets the same frames before the conversion to 16 bits. Either may be null. Not to be called
   on one system from two threads at once. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_ReadMix(FMOD_SYSTEM *system, short *pcm16, float *mix, unsigned int frames);

/* As FMOD_System_ReadMix, with the voices of each of `count` (up to 64) groups of the system
   (FMOD_System_CreateChannelGroup) mixed apart: groupmix[i], when not null, gets group i's own
   frames, interleaved stereo, silence when none of its voices sounded, and sounded[i] (when not null)
   says whether one did, peaks[i] and squares[i] (when both are not null) get the largest absolute
   sample and the sum of the squared samples of both sides. The mix, when asked for, is then the
   groups' frames added after the other voices', group by group in the order given. */
FMOD_EXPORT FMOD_RESULT F_API FMOD_System_ReadMixGroups(FMOD_SYSTEM *system, short *pcm16, float *mix, unsigned int frames,
                                                        FMOD_CHANNELGROUP *const *groups, float *const *groupmix,
                                                        int *sounded, float *peaks, double *squares, int count);

#ifdef __cplusplus
}
#endif

#endif
