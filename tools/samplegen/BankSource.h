#ifndef TUNEWRIGHT_SAMPLEGEN_BANKSOURCE_H
#define TUNEWRIGHT_SAMPLEGEN_BANKSOURCE_H

#include <string>

namespace SampleGen {

// Writes the instrument bank (the melody cycles and, p_WithDrums, the drums: the same samples as
// the files) as a C++ source defining Org::BuiltinBank's samples (source/decoder/BuiltinBank.h), so
// the song library carries the bank in itself. Without the drums, the program defines
// Org::BuiltinBank::Percussion itself. False with a message when the file cannot be written.
bool WriteBankSource(const std::string& p_Path, bool p_WithDrums, std::string& p_Error);

}  // namespace SampleGen

#endif
