#ifndef TUNEWRIGHT_SAMPLEGEN_WAVWRITER_H
#define TUNEWRIGHT_SAMPLEGEN_WAVWRITER_H

#include <cstdint>
#include <string>
#include <vector>

namespace SampleGen {

// Writes a canonical 44-byte-header RIFF/WAVE file: 16-bit signed PCM, one channel.
// The bytes depend only on the arguments, so repeated runs give identical files.
// Returns false (with the reason in p_Error) if the file cannot be written completely.
bool WriteWav16Mono(const std::string& p_Path, std::uint32_t p_SampleRate,
                    const std::vector<std::int16_t>& p_Samples, std::string& p_Error);

}  // namespace SampleGen

#endif
