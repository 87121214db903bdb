#ifndef TUNEWRIGHT_SONGGEN_SCORE_H
#define TUNEWRIGHT_SONGGEN_SCORE_H

#include <string>

#include "Song.h"

namespace SongGen {

// Checks that the song plays as written: a loop with loopStart < loopStop, samples inside their
// banks, pans 0..12 (or none), positions strictly ascending per track, notes that do not
// overlap, sound (0..95) and cross neither loop point, one-beat drum hits, and every length-0
// event inside a held note (where it changes the note's volume and pan). Returns "" when all
// hold, else what is wrong and where.
std::string Validate(const Song& p_Song);

// Writes the song to p_Path as an Org-02 file, through the library's own song and writer.
// False when the file cannot be written (nothing is left half-written).
bool SaveSong(const Song& p_Song, const std::string& p_Path);

}  // namespace SongGen

#endif
