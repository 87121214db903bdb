// The sound engine as the WebAssembly decoder has it reads no sample files (the built-in bank comes
// from memory): a sample file asked for is not found. (Its outputs are the web's rows of
// platform/fmodex/src/Outputs.txt.)
#include "SoundLoader.h"

namespace SoundEngine {

FMOD_RESULT LoadSound(const char*, bool, bool, std::shared_ptr<const SoundData>&)
{
    return FMOD_ERR_FILE_NOTFOUND;
}

}  // namespace SoundEngine
