// The WebAssembly decoder's drums: made by source/samples the first time a song asks for each
// (the same samples as the files), rather than carried in the module, where they would be most of
// its size. A drum stays made for the rest of the module's life.
#include "BuiltinBank.h"
#include "Percussion.h"

#include <mutex>
#include <vector>

namespace Org {
namespace BuiltinBank {

const Sample& Percussion(int p_Index)
{
    static std::mutex l_Lock;
    static std::vector<std::int16_t> l_Pcm[PERCUSSION_COUNT];
    static Sample l_Samples[PERCUSSION_COUNT];
    std::lock_guard<std::mutex> l_Guard(l_Lock);
    Sample& l_Sample = l_Samples[p_Index];
    if (l_Sample.pcm == nullptr) {
        l_Pcm[p_Index] = SampleGen::PercussionDrum(p_Index).pcm;
        l_Sample = {l_Pcm[p_Index].data(), static_cast<unsigned>(l_Pcm[p_Index].size()),
                    SampleGen::DRUM_RATE};
    }
    return l_Sample;
}

}  // namespace BuiltinBank
}  // namespace Org

// The drum p_Index as the module holds it (p_Frames set to its length), for checking it against the
// sample files.
extern "C" const std::int16_t* tw_web_drum(int p_Index, unsigned* p_Frames)
{
    if (p_Index < 0 || p_Index >= Org::BuiltinBank::PERCUSSION_COUNT)
        return nullptr;
    const Org::BuiltinBank::Sample& l_Sample = Org::BuiltinBank::Percussion(p_Index);
    *p_Frames = l_Sample.frames;
    return l_Sample.pcm;
}
