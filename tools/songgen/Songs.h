#ifndef TUNEWRIGHT_SONGGEN_SONGS_H
#define TUNEWRIGHT_SONGGEN_SONGS_H

#include <vector>

#include "Song.h"

namespace SongGen {

// The bundled songs. Each is written note by note in its own file.
Song HarbourLights();   // our own tune, D major, 4/4
Song DrunkenSailor();   // traditional sea shanty, D dorian, 4/4
Song Greensleeves();    // traditional English ballad, A minor, 3/4

std::vector<Song> AllSongs();

}  // namespace SongGen

#endif
