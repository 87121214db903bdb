#ifndef TUNEWRIGHT_SAMPLEGEN_BANKSOURCE_H
#define TUNEWRIGHT_SAMPLEGEN_BANKSOURCE_H

#include <string>

namespace SampleGen {

// Writes the whole instrument bank (the melody cycles and the drums, the same samples as the
// files) as a C++ source defining Org::BuiltinBank's tables (source/org/BuiltinBank.h), so the
// song library carries the bank in itself. False with a message when the file cannot be written.
bool WriteBankSource(const std::string& p_Path, std::string& p_Error);

}  // namespace SampleGen

#endif
