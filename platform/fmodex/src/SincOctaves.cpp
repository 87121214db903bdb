#include "SincOctaves.h"

#include "SincTable.h"

#include <algorithm>
#include <cstddef>

namespace SoundEngine {
namespace {

// Sample p_Frame of p_Channel of a level laid out as SoundData::samples (guards around frames
// 0 .. p_Frames - 1), silence beyond the guards.
float At(const std::vector<float>& p_Level, long p_Frames, int p_Channels, long p_Frame, int p_Channel)
{
    const long l_Guard = long(kGuardFrames);
    if (p_Frame < -l_Guard || p_Frame >= p_Frames + l_Guard)
        return 0.0f;
    return p_Level[std::size_t(p_Frame + l_Guard) * p_Channels + p_Channel];
}

// Frame p_Frame of the next octave down: the half-band filter centred on frame 2 * p_Frame.
// p_Period > 0 reads the level as a loop of that many frames.
float Halved(const std::vector<float>& p_Level, long p_Frames, long p_Period, int p_Channels, long p_Frame,
             int p_Channel)
{
    const float* l_Filter = SincHalfBand();
    double l_Sum = 0.0;
    for (int l_Tap = 0; l_Tap < kSincHalfBandTaps; ++l_Tap) {
        long l_Source = 2 * p_Frame + kSincHalfBandFirstTap + l_Tap;
        if (p_Period > 0)
            l_Source = ((l_Source % p_Period) + p_Period) % p_Period;
        l_Sum += double(l_Filter[l_Tap]) * At(p_Level, p_Frames, p_Channels, l_Source, p_Channel);
    }
    return float(l_Sum);
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
        const long l_Filtered = p_Sound.loop ? l_NextPeriod : l_Next + l_Guard;
        for (long l_Frame = p_Sound.loop ? 0 : -l_Guard; l_Frame < l_Filtered; ++l_Frame)
            for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel)
                l_Copy[std::size_t(l_Frame + l_Guard) * l_Channels + l_Channel] =
                    Halved(*l_Level, l_Frames, l_Period, l_Channels, l_Frame, l_Channel);
        if (p_Sound.loop)
            for (long l_Frame = -l_Guard; l_Frame < l_Next + l_Guard; ++l_Frame) {
                const long l_Source = ((l_Frame % l_NextPeriod) + l_NextPeriod) % l_NextPeriod;
                for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel)
                    l_Copy[std::size_t(l_Frame + l_Guard) * l_Channels + l_Channel] =
                        l_Copy[std::size_t(l_Source + l_Guard) * l_Channels + l_Channel];
            }
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
