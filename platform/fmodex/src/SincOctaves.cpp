#include "SincOctaves.h"

#include "SincLine.h"
#include "SincTable.h"

#include <algorithm>
#include <cstddef>

namespace SoundEngine {
namespace {

// Frames p_Begin .. p_End - 1 of one channel of the next octave down into p_To (p_Channels apart):
// frame f is the half-band filter centred on frame 2 f of the level, whose frames from
// 2 p_Begin + kSincHalfBandFirstTap on p_Line holds. Four frames at a time, each summed tap by tap
// as one would alone, so that they are worked out side by side.
void HalveLine(const std::vector<float>& p_Line, long p_Begin, long p_End, float* p_To, int p_Channels)
{
    const float* l_Filter = SincHalfBand();
    long l_Frame = p_Begin;
    for (; l_Frame + 4 <= p_End; l_Frame += 4) {
        const float* l_Taps = p_Line.data() + 2 * (l_Frame - p_Begin);
        double l_Sums[4] = {};
        for (int l_Tap = 0; l_Tap < kSincHalfBandTaps; ++l_Tap) {
            const double l_Weight = l_Filter[l_Tap];
#pragma GCC unroll 4
            for (int l_Lane = 0; l_Lane < 4; ++l_Lane)
                l_Sums[l_Lane] += l_Weight * l_Taps[2 * l_Lane + l_Tap];
        }
        for (int l_Lane = 0; l_Lane < 4; ++l_Lane)
            p_To[(l_Frame + l_Lane) * p_Channels] = float(l_Sums[l_Lane]);
    }
    for (; l_Frame < p_End; ++l_Frame) {
        const float* l_Taps = p_Line.data() + 2 * (l_Frame - p_Begin);
        double l_Sum = 0.0;
        for (int l_Tap = 0; l_Tap < kSincHalfBandTaps; ++l_Tap)
            l_Sum += double(l_Filter[l_Tap]) * l_Taps[l_Tap];
        p_To[l_Frame * p_Channels] = float(l_Sum);
    }
}

}  // namespace

void BuildOctaves(SoundData& p_Sound)
{
    const int l_Channels = p_Sound.channels;
    const long l_Guard = long(kGuardFrames);
    p_Sound.octaves.clear();
    // A loop: one pass of each level, then laid out repeated as the sound is.
    long l_Period = p_Sound.loop ? long(p_Sound.frames) : 0;
    long l_Frames = p_Sound.loop ? long(p_Sound.playable) : long(p_Sound.frames);
    const std::vector<float>* l_Level = &p_Sound.samples;
    while (p_Sound.octaves.size() < kMaxOctaves) {
        if (p_Sound.loop ? l_Period % 2 != 0 : l_Frames <= 1)
            break;
        const long l_NextPeriod = l_Period / 2;
        long l_Next = p_Sound.loop ? l_Frames / 2 : (l_Frames + 1) / 2;
        // A loop's copy stays at least kOctaveLoopFrames long (whole passes), so that a voice
        // reading it is not cut into short spans at its seam.
        if (p_Sound.loop && l_Next < long(kOctaveLoopFrames))
            l_Next =
                std::max(l_Next, (long(kOctaveLoopFrames) + l_NextPeriod - 1) / l_NextPeriod * l_NextPeriod);
        std::vector<float> l_Copy(std::size_t(l_Next + 2 * l_Guard) * l_Channels);
        // A loop's first pass is filtered round its seam and the rest, guards included, repeats it.
        const long l_Begin = p_Sound.loop ? 0 : -l_Guard;
        const long l_End = p_Sound.loop ? l_NextPeriod : l_Next + l_Guard;
        const float* l_From = l_Level->data() + std::size_t(l_Guard) * l_Channels;
        for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel)
            HalveLine(
                ChannelLine(l_From, l_Frames, l_Period, l_Channels, l_Channel,
                            2 * l_Begin + kSincHalfBandFirstTap, 2 * (l_End - l_Begin) + kSincHalfBandTaps),
                l_Begin, l_End, l_Copy.data() + std::size_t(l_Guard) * l_Channels + l_Channel, l_Channels);
        if (p_Sound.loop)
            RepeatLoop(l_Copy.data() + std::size_t(l_Guard) * l_Channels, l_NextPeriod, l_Next, l_Channels);
        p_Sound.octaves.push_back(std::move(l_Copy));
        l_Level = &p_Sound.octaves.back();
        l_Frames = l_Next;
        l_Period = l_NextPeriod;
    }
}

unsigned OctaveFrames(const SoundData& p_Sound, unsigned p_Shift)
{
    if (p_Shift == 0)
        return p_Sound.loop ? p_Sound.playable : p_Sound.frames;
    return unsigned(p_Sound.octaves[p_Shift - 1].size() / unsigned(p_Sound.channels)) - 2 * kGuardFrames;
}

const float* OctaveFor(const SoundData& p_Sound, std::uint64_t p_Step, unsigned& p_Shift)
{
    p_Shift = 0;
    // Reading copy k at a step from 1 to 2 means a step 2^k to 2^(k+1) at the sound's own rate.
    while (p_Shift < p_Sound.octaves.size() && (p_Step >> p_Shift) >= (std::uint64_t(2) << 32))
        ++p_Shift;
    if (p_Shift == 0)
        return p_Sound.Frame0();
    return p_Sound.octaves[p_Shift - 1].data() + std::size_t(kGuardFrames) * p_Sound.channels;
}

}  // namespace SoundEngine
