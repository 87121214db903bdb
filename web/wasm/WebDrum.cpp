// The module's drums as it holds them (made on demand, source/decoder/DrumsOnDemand.cpp), for the
// tests to check against the sample files.
#include "BuiltinBank.h"

// The drum p_Index (p_Frames set to its length).
extern "C" const std::int16_t* tw_web_drum(int p_Index, unsigned* p_Frames)
{
    if (p_Index < 0 || p_Index >= Org::BuiltinBank::PERCUSSION_COUNT)
        return nullptr;
    const Org::BuiltinBank::Sample& l_Sample = Org::BuiltinBank::Percussion(p_Index);
    *p_Frames = l_Sample.frames;
    return l_Sample.pcm;
}
