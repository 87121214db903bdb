#ifndef TUNEWRIGHT_BUILTINBANK_H
#define TUNEWRIGHT_BUILTINBANK_H

// The instrument bank compiled into the library (written at build time by samplegen --source):
// the same samples as the files under melody/ and percussion/, read-only and shared by every song.
#include <cstdint>

namespace Org {
namespace BuiltinBank {

// One mono 16-bit sample.
struct Sample
{
    const std::int16_t* pcm;
    unsigned frames;
    unsigned rate;
};

extern const Sample MELODY[100];     // melody/melody0.wav .. melody99.wav, looped
extern const Sample PERCUSSION[12];  // the drums in bank order, played once

}  // namespace BuiltinBank
}  // namespace Org

#endif
