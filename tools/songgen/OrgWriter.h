#ifndef TUNEWRIGHT_SONGGEN_ORGWRITER_H
#define TUNEWRIGHT_SONGGEN_ORGWRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include "Song.h"

namespace SongGen {

// Checks that the song plays as written: a loop with loopStart < loopStop, samples inside their
// banks, pans 0..12 (or none), positions strictly ascending per track, notes that do not
// overlap, sound (0..95) and cross neither loop point, one-beat drum hits, and every length-0
// event inside a held note (where it changes the note's volume and pan). Returns "" when all
// hold, else what is wrong and where.
std::string Validate(const Song& p_Song);

// The bytes of the song as an Org-02 file: "Org-02", the 12-byte header, sixteen 6-byte
// instrument records, then per track its positions (4 bytes each), notes, lengths, volumes and
// pans, all little-endian. Expects a song that passes Validate.
std::vector<std::uint8_t> Encode(const Song& p_Song);

}  // namespace SongGen

#endif
