// Band-limited octave copies of a sound, for the sinc resampler: copy k holds the sound at 1/2^k
// of its rate with everything above the copy's half rate removed, so that a voice reading 2^k or
// more frames per output frame reads copy k at a step below 2, where the sinc kernel still
// removes all that would fold back.
#ifndef TUNEWRIGHT_SOUND_SINCOCTAVES_H
#define TUNEWRIGHT_SOUND_SINCOCTAVES_H

#include "Engine.h"

#include <cstdint>

namespace SoundEngine {

// Copies of at most this many octaves down: steps up to 2^11 frames per output frame.
constexpr unsigned kMaxOctaves = 10;

// Fills p_Sound.octaves from its samples. A one-shot halves down to a frame; a loop halves while
// its length stays a whole number of frames (a 256-frame cycle has 8 copies, an odd-length loop
// none), each copy looping as the sound does, repeated to kOctaveLoopFrames or more. May throw
// std::bad_alloc.
void BuildOctaves(SoundData& p_Sound);

// A looping sound's copies are laid out repeated to at least this many frames.
constexpr unsigned kOctaveLoopFrames = 1024;

// The frames laid out in copy p_Shift (0: the sound itself), a loop's repeats included.
unsigned OctaveFrames(const SoundData& p_Sound, unsigned p_Shift);

// The frame 0 of the copy a voice reading p_Step (32.32) frames per output frame reads, and the
// number of octaves it lies down: positions and steps in it are those of the sound shifted right
// by p_Shift.
const float* OctaveFor(const SoundData& p_Sound, std::uint64_t p_Step, unsigned& p_Shift);

}  // namespace SoundEngine

#endif
