// The bank's drums made by source/samples the first time a song asks for each (the same samples as
// the files), rather than carried as data, where they would be most of the bank's size: the
// WebAssembly module and the Windows bank DLL are built so. A drum stays made for the rest of the
// process's life.
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
