// Reading a sample file into a Sound.
#ifndef TUNEWRIGHT_SOUND_SOUNDLOADER_H
#define TUNEWRIGHT_SOUND_SOUNDLOADER_H

#include "Engine.h"

namespace SoundEngine {

// Decodes a whole WAV file (PCM 8, 16, 24 or 32 bit, or float; mono or stereo; any rate) into
// p_Sound. FMOD_ERR_FILE_NOTFOUND when there is no such file, FMOD_ERR_FILE_BAD when it cannot be
// read, FMOD_ERR_FORMAT when it is not such a WAV file or is damaged; p_Sound is then untouched.
FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, Sound& p_Sound);

// Decodes raw 16-bit PCM held in memory (p_Bytes bytes, p_Channels interleaved channels at p_Rate)
// exactly as the same samples read from a 16-bit WAV file. FMOD_ERR_INVALID_PARAM for a layout that
// holds no whole frame or is not mono or stereo; p_Sound is then untouched.
FMOD_RESULT LoadRawPcm16(const void* p_Data, unsigned p_Bytes, int p_Channels, int p_Rate, bool p_Loop,
                         Sound& p_Sound);

}

#endif
