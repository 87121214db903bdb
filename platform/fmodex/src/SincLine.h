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

}  // namespace SoundEngine

#endif
