#ifndef TUNEWRIGHT_SAMPLEGEN_MELODYBANK_H
#define TUNEWRIGHT_SAMPLEGEN_MELODYBANK_H

#include <string>
#include <vector>

#include "Cycle.h"

namespace SampleGen {

constexpr int MELODY_COUNT = 100;
// Every waveform is scaled to this RMS (of full scale) so the bank sounds evenly loud.
constexpr double MELODY_RMS = 0.2;

struct Timbre {
    std::string name;
    Spectrum spectrum;
};

// The hundred melody waveforms, in bank order (index N becomes "melody/melodyN.wav").
std::vector<Timbre> MelodyBank();

}  // namespace SampleGen

#endif
