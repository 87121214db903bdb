#ifndef TUNEWRIGHT_SAMPLES_PERCUSSION_H
#define TUNEWRIGHT_SAMPLES_PERCUSSION_H

#include <cstdint>
#include <string>
#include <vector>

#include "OrgSongTypes.h"

namespace SampleGen {

// Rate written into every drum file; the sampler plays them faster or slower by note
// (note 41 is about 1.0x, note 36 about 0.75x, note 48 about 1.5x).
constexpr std::uint32_t DRUM_RATE = 44100;

struct Drum
{
    std::string fileName;           // inside "percussion/"
    std::vector<std::int16_t> pcm;  // one shot, starting and ending at zero
};

constexpr int DRUM_COUNT = Org::DRUM_COUNT;

// The drums in bank order, each named as in Org::DRUM_NAMES.
std::vector<Drum> PercussionBank();
// Only drum p_Index (0 to DRUM_COUNT - 1) of that bank, for a program that makes the drums it
// needs as it needs them; an empty drum for any other index.
Drum PercussionDrum(int p_Index);

}  // namespace SampleGen

#endif
