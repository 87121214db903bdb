// Reading a sample file into a Sound.
#ifndef TUNEWRIGHT_SOUND_SOUNDLOADER_H
#define TUNEWRIGHT_SOUND_SOUNDLOADER_H

#include "Engine.h"

#include <memory>

namespace SoundEngine {

// Decodes a whole WAV file (PCM 8, 16, 24 or 32 bit, or float; mono or stereo; any rate) into
// p_Data. FMOD_ERR_FILE_NOTFOUND when there is no such file, FMOD_ERR_FILE_BAD when it cannot be
// read, FMOD_ERR_FORMAT when it is not such a WAV file or is damaged, FMOD_ERR_MEMORY when it does
// not fit; p_Data is then untouched.
// p_Octaves also makes the band-limited octave and oversampled copies the sinc resampler reads
// (SincOctaves.h, SincOversampled.h).
FMOD_RESULT LoadSound(const char* p_Path, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data);

// Raw 16-bit PCM in memory, as FMOD_OPENMEMORY | FMOD_OPENRAW describe it.
struct RawPcm16
{
    const void* data;
    unsigned bytes;
    int channels;
    int rate;
};

// Decodes raw PCM exactly as LoadSound decodes the same samples from a 16-bit WAV file.
// FMOD_ERR_FORMAT when the layout holds no whole frame or is not mono or stereo at a positive rate.
FMOD_RESULT LoadSound(const RawPcm16& p_Raw, bool p_Loop, bool p_Octaves,
                      std::shared_ptr<const SoundData>& p_Data);
}  // namespace SoundEngine

#endif
