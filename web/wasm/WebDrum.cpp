// The module's drums as it holds them (made on demand, source/decoder/DrumsOnDemand.cpp), for the
// tests to check against the sample files, and their names, for the pages to show.
#include "BuiltinBank.h"
#include "OrgSongTypes.h"

// The drum p_Index (p_Frames set to its length).
extern "C" const std::int16_t* tw_web_drum(int p_Index, unsigned* p_Frames)
{
    if (p_Index < 0 || p_Index >= Org::BuiltinBank::PERCUSSION_COUNT)
        return nullptr;
    const Org::BuiltinBank::Sample& l_Sample = Org::BuiltinBank::Percussion(p_Index);
    *p_Frames = l_Sample.frames;
    return l_Sample.pcm;
}

// The name of drum p_Index, as its sample file is named; null past the last drum.
extern "C" const char* tw_web_drum_name(int p_Index)
{
    if (p_Index < 0 || p_Index >= Org::DRUM_COUNT)
        return nullptr;
    return Org::DRUM_NAMES[p_Index];
}
