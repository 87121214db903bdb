// One block of the mix: every sounding voice, scaled by the master volume, into 16-bit stereo.
#ifndef TUNEWRIGHT_SOUND_MIXER_H
#define TUNEWRIGHT_SOUND_MIXER_H

#include "Engine.h"

#include <cstdint>

namespace SoundEngine {

// Mixes p_Frames frames (at most the system's block length) into p_Out, interleaved stereo (with a
// null p_Out, only into the float mix), and
// ends the one-shot voices that played their last frame. The float mix is left in
// System::mixbuffer, its left side in the first half, its right side in the second. Expects System::mixlock
// held; allocates nothing.
void MixBlock(System& p_System, std::int16_t* p_Out, unsigned p_Frames);

// The most groups one read keeps apart.
constexpr int kMostApartGroups = 64;

// What a read that keeps groups apart gives of each group i of p_Count, where the array is not
// null: frames[i] (when not null) its own frames, interleaved stereo, silence when none of its
// voices sounded; sounded[i] whether one did; peaks[i] and squares[i] (both or neither) the largest
// absolute sample and the sum of the squared samples of both sides.
struct GroupReads
{
    float* const* frames = nullptr;
    int* sounded = nullptr;
    float* peaks = nullptr;
    double* squares = nullptr;
};

// Makes the room MixBlockApart mixes in (false when there is no memory for it); call it, under
// System::mixlock, before each MixBlockApart: it allocates only the first time.
bool MakeApartRoom(System& p_System);

// MixBlock with the voices of p_Groups (p_Count groups of the system, at most kMostApartGroups,
// each once) mixed apart, group by group, into what p_Reads asks, and added into the mix after
// the other voices, in the order given, when p_Sum: the mix is then their sum and the other
// voices'.
void MixBlockApart(System& p_System, std::int16_t* p_Out, unsigned p_Frames, ChannelGroup* const* p_Groups,
                   int p_Count, bool p_Sum, const GroupReads& p_Reads);

// The first p_Frames frames of the float mix MixBlock left, interleaved stereo into p_Out.
void InterleavedMix(const System& p_System, float* p_Out, unsigned p_Frames);

}  // namespace SoundEngine

#endif
