// Laying a decoded sample out for the mixer, whatever it was decoded from (a file, raw memory).
#ifndef TUNEWRIGHT_SOUND_SOUNDLAYOUT_H
#define TUNEWRIGHT_SOUND_SOUNDLAYOUT_H

#include "Engine.h"

#include <functional>
#include <memory>

namespace SoundEngine {

// Whole samples live in memory; anything longer than this is not a sample.
constexpr unsigned kMaxSampleFrames = 1u << 28;

// What a decoder found: frames is at least 1, channels 1 or 2.
struct SampleFormat
{
    unsigned frames;
    int channels;
    int rate;
    int bytespersample;  // of the source's encoding
};

// Makes the SoundData of a sample: p_Read writes the sample's frames, interleaved and scaled to
// -1 .. 1, where it is pointed, and says whether it could. FMOD_ERR_FORMAT when it could not,
// FMOD_ERR_MEMORY when the sound does not fit; p_Data is then untouched. p_Octaves also makes the
// band-limited octave and oversampled copies the sinc resampler reads (SincOctaves.h,
// SincOversampled.h).
FMOD_RESULT LayOutSound(const SampleFormat& p_Format, bool p_Loop, bool p_Octaves,
                        const std::function<bool(float*)>& p_Read, std::shared_ptr<const SoundData>& p_Data);

}  // namespace SoundEngine

#endif
