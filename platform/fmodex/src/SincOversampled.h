// A sound's oversampled copy, for the sinc resampler: the sound at kSincOversampling times its rate,
// band-limited as band 0 reads it. A voice that reads no faster than the sound's own rate reads the
// copy instead, through a filter a quarter as long (SincTable.h).
#ifndef TUNEWRIGHT_SOUND_SINCOVERSAMPLED_H
#define TUNEWRIGHT_SOUND_SINCOVERSAMPLED_H

#include "Engine.h"

#include <cstdint>

namespace SoundEngine {

// Fills p_Sound.oversampled from its samples, laid out as they are (kGuardFrames of the copy
// around it, a loop repeated to the same length): frame k of the copy is the sound at
// k / kSincOversampling. A sound too long for its copy's positions in 32.32 gets none. May throw
// std::bad_alloc.
void BuildOversampled(SoundData& p_Sound);

// Whether a voice reading p_Step (32.32) frames per output frame reads p_Sound's oversampled copy.
inline bool ReadsOversampled(const SoundData& p_Sound, std::uint64_t p_Step)
{
    return p_Step <= (std::uint64_t(1) << 32) && !p_Sound.oversampled.empty();
}

// The copy's frame 0.
inline const float* OversampledFrame0(const SoundData& p_Sound)
{
    return p_Sound.oversampled.data() + std::size_t(kGuardFrames) * p_Sound.channels;
}

}  // namespace SoundEngine

#endif
