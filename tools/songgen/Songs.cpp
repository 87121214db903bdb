#include "Songs.h"

namespace SongGen {

std::vector<Song> AllSongs()
{
    return {HarbourLights(), DrunkenSailor(), Greensleeves()};
}

}  // namespace SongGen
