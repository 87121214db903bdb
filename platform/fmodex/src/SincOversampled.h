// Oversampled copies of a sound, for the sinc resampler: the sound (or one of its octave copies) at
// kSincOversampling times its rate, band-limited as one band of the sinc filter reads it. A voice
// that has such a copy for its level and band reads it instead, through a filter a quarter as long
// (SincTable.h): nothing in the copy lies above what the voice may make, so the filter only has to
// remove the copy's images, far above.
#ifndef TUNEWRIGHT_SOUND_SINCOVERSAMPLED_H
#define TUNEWRIGHT_SOUND_SINCOVERSAMPLED_H

#include "Engine.h"
#include "SincTable.h"

#include <cstddef>

namespace SoundEngine {

// Loops of at most this many frames (the song player's waveforms are 256) get copies for every
// level and band: at most about a megabyte of them a channel. Every other sound gets one for band 0
// of its samples (reads no faster than its own rate), four times its size.
constexpr unsigned kSincShortLoopFrames = 4096;

// Fills p_Sound.oversampled from its samples and octave copies (made first), each laid out as the
// level it is made from (kGuardFrames of the copy around it, a loop repeated to the same length).
// A sound too long for its copy's positions in 32.32 gets none. May throw std::bad_alloc.
void BuildOversampled(SoundData& p_Sound);

// The frame 0 of the oversampled copy a voice reading level p_Level (0: the samples, k: octave
// copy k) in sinc band p_Band reads, or null where p_Sound has none.
inline const float* OversampledFor(const SoundData& p_Sound, unsigned p_Level, int p_Band)
{
    const std::size_t l_Index = std::size_t(p_Level) * kSincBands + std::size_t(p_Band);
    if (l_Index >= p_Sound.oversampled.size() || p_Sound.oversampled[l_Index].empty())
        return nullptr;
    return p_Sound.oversampled[l_Index].data() + std::size_t(kGuardFrames) * p_Sound.channels;
}

}  // namespace SoundEngine

#endif
