// The song clock on SDL's millisecond counter. In a file of its own, so that a program linking the
// library statically and stepping the clock itself (the renderer) does not pull in SDL.
#include "OrgSong.h"

#include <SDL.h>

namespace Org {

int OrgSong::Update() { return Update(SDL_GetTicks()); }

}  // namespace Org
