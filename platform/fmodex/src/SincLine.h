// One channel of a sound's samples (or of a copy laid out as they are), gathered into a line of its
// own for the filters that make the sinc resampler's copies at load: they then read it without a
// bound check or a wrap at every tap.
#ifndef TUNEWRIGHT_SOUND_SINCLINE_H
#define TUNEWRIGHT_SOUND_SINCLINE_H

#include "Kernels.h"

#include <cstddef>
#include <vector>

namespace SoundEngine {

// Frames p_First .. p_First + p_Count - 1 of channel p_Channel of the level whose frame 0 is at
// p_Frame0 (kGuardFrames around its p_Frames frames): read round a loop of p_Period frames when
// p_Period > 0, else as silence beyond the guards. May throw std::bad_alloc.
inline std::vector<float> ChannelLine(const float* p_Frame0, long p_Frames, long p_Period, int p_Channels,
                                      int p_Channel, long p_First, long p_Count)
{
    const long l_Guard = long(kGuardFrames);
    std::vector<float> l_Line(std::size_t(p_Count), 0.0f);
    for (long l_Index = 0; l_Index < p_Count; ++l_Index) {
        long l_Frame = p_First + l_Index;
        if (p_Period > 0)
            l_Frame = ((l_Frame % p_Period) + p_Period) % p_Period;
        if (l_Frame >= -l_Guard && l_Frame < p_Frames + l_Guard)
            l_Line[std::size_t(l_Index)] = p_Frame0[l_Frame * p_Channels + p_Channel];
    }
    return l_Line;
}

// Lays a loop's first pass, frames 0 .. p_Period - 1 from p_Frame0 on (p_Channels samples each),
// out again over frames p_Period .. p_Frames - 1 and the kGuardFrames around them.
inline void RepeatLoop(float* p_Frame0, long p_Period, long p_Frames, int p_Channels)
{
    const long l_Guard = long(kGuardFrames);
    for (long l_Index = p_Period * p_Channels; l_Index < (p_Frames + l_Guard) * p_Channels; ++l_Index)
        p_Frame0[l_Index] = p_Frame0[l_Index - p_Period * p_Channels];
    for (long l_Frame = -l_Guard; l_Frame < 0; ++l_Frame) {
        const long l_From = ((l_Frame % p_Period) + p_Period) % p_Period;
        for (int l_Channel = 0; l_Channel < p_Channels; ++l_Channel)
            p_Frame0[l_Frame * p_Channels + l_Channel] = p_Frame0[l_From * p_Channels + l_Channel];
    }
}

}  // namespace SoundEngine

#endif
