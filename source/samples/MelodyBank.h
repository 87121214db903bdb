#ifndef TUNEWRIGHT_SAMPLES_MELODYBANK_H
#define TUNEWRIGHT_SAMPLES_MELODYBANK_H

#include <cstdint>
#include <string>
#include <vector>

#include "Cycle.h"
#include "InstrumentNames.h"

namespace SampleGen {

constexpr int MELODY_COUNT = Org::WAVEFORM_COUNT;
// Every waveform is scaled to this RMS (of full scale) so the bank sounds evenly loud.
constexpr double MELODY_RMS = 0.2;

struct Timbre
{
    std::string name;
    Spectrum spectrum;
};

// The melody files carry a nominal rate; the sampler sets the real playback rate per note.
constexpr std::uint32_t MELODY_RATE = 44100;

// The hundred melody waveforms, in bank order (index N becomes "melody/melodyN.wav").
std::vector<Timbre> MelodyBank();

// One rendered cycle per waveform, in bank order; false with a message if one cannot be made.
bool RenderMelodyBank(std::vector<std::vector<std::int16_t>>& p_Cycles, std::string& p_Error);

}  // namespace SampleGen

#endif
