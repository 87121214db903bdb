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

// MixBlock with the voices of p_Groups (p_Count groups of the system) each mixed into its group's
// own block instead (see GroupMix), and those added into the mix after all voices, in the order
// given, when p_Sum: the mix is then their sum and the other voices'.
void MixBlockApart(System& p_System, std::int16_t* p_Out, unsigned p_Frames, ChannelGroup* const* p_Groups,
                   int p_Count, bool p_Sum);

// The first p_Frames frames of a group's own block from the last MixBlockApart, interleaved stereo
// into p_Out: silence when no voice of the group sounded.
void GroupMix(const ChannelGroup& p_Group, float* p_Out, unsigned p_Frames);

// The largest absolute sample and the sum of the squared samples of both sides of a group's own
// block from the last MixBlockApart (0 when no voice of the group sounded).
void GroupLevel(const ChannelGroup& p_Group, unsigned p_Frames, float& p_Peak, double& p_Squares);

// The first p_Frames frames of the float mix MixBlock left, interleaved stereo into p_Out.
void InterleavedMix(const System& p_System, float* p_Out, unsigned p_Frames);

}  // namespace SoundEngine

#endif
