#ifndef TUNEWRIGHT_BUILTINBANK_H
#define TUNEWRIGHT_BUILTINBANK_H

// The instrument bank built into the library (written at build time by samplegen --source, or
// for the melody alone by --melody-source, the drums then made by source/samples at run
// time): the same samples as the files under melody/ and percussion/, read-only and shared by
// every song.
#include <cstdint>

#include "OrgSongTypes.h"

namespace Org {
namespace BuiltinBank {

// One mono 16-bit sample.
struct Sample
{
    const std::int16_t* pcm;
    unsigned frames;
    unsigned rate;
};

constexpr int MELODY_COUNT = Org::WAVEFORM_COUNT;
constexpr int PERCUSSION_COUNT = Org::DRUM_COUNT;

// melody/melodyN.wav (p_Index 0 to 99), looped.
const Sample& Melody(int p_Index);
// The drums in bank order (p_Index 0 to 11), played once. A program may make a drum only when
// first asked for it; its sample stays put from then on.
const Sample& Percussion(int p_Index);

}  // namespace BuiltinBank
}  // namespace Org

#endif
