#include "SincOversampled.h"

#include "SincLine.h"
#include "SincOctaves.h"
#include "SincTable.h"

#include <cstddef>

namespace SoundEngine {
namespace {

// Level p_Level of p_Sound (0: its samples, k: octave copy k) at kSincOversampling times its rate,
// through band p_Band's filter, laid out as the level is with kGuardFrames of the copy around it:
// frame k of the copy is the level at k / kSincOversampling. May throw std::bad_alloc.
std::vector<float> Oversample(const SoundData& p_Sound, unsigned p_Level, int p_Band)
{
    constexpr long kFirstTap = SincFirstTap(kSincUpsampleTaps);
    const long l_Guard = long(kGuardFrames);
    const int l_Channels = p_Sound.channels;
    const long l_Period = p_Sound.loop ? long(p_Sound.frames >> p_Level) : 0;
    const long l_Frames = long(OctaveFrames(p_Sound, p_Level));
    const float* const l_Level =
        p_Level == 0 ? p_Sound.Frame0() : p_Sound.octaves[p_Level - 1].data() + l_Guard * l_Channels;
    const long l_CopyFrames = l_Frames * kSincOversampling;
    std::vector<float> l_Made(std::size_t(l_CopyFrames + 2 * l_Guard) * l_Channels);
    float* const l_Copy = l_Made.data() + l_Guard * l_Channels;

    // The copy's frames kSincOversampling * n .. + kSincOversampling - 1 all read the level's frames
    // n + kFirstTap on, so they are made together. A loop's first pass is filtered and the rest,
    // guards included, repeats it; a one-shot's guards are filtered too (they ring on past its ends).
    static_assert(kGuardFrames % kSincOversampling == 0, "the guards hold whole groups of the copy's frames");
    const long l_FirstGroup = p_Sound.loop ? 0 : -l_Guard / kSincOversampling;
    const long l_EndGroup = p_Sound.loop ? l_Period : l_Frames + l_Guard / kSincOversampling;
    const auto& l_Filter = TheSincTable().upsample[p_Band];
    // Four groups at a time, for sixteen sums side by side (a last short run makes the rest from
    // the line's last frames, and drops them).
    constexpr long kTogether = 4;
    for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel) {
        const std::vector<float> l_Line =
            ChannelLine(l_Level, l_Frames, l_Period, l_Channels, l_Channel, l_FirstGroup + kFirstTap,
                        l_EndGroup - l_FirstGroup + kSincUpsampleTaps + kTogether - 1);
        for (long l_Group = l_FirstGroup; l_Group < l_EndGroup; l_Group += kTogether) {
            const float* const l_Taps = l_Line.data() + (l_Group - l_FirstGroup);
            float l_Sums[kTogether][kSincOversampling] = {};
            for (int l_Tap = 0; l_Tap < kSincUpsampleTaps; ++l_Tap)
#pragma GCC unroll 4
                for (int l_Which = 0; l_Which < kTogether; ++l_Which)
#pragma GCC unroll 4
                    for (int l_Phase = 0; l_Phase < kSincOversampling; ++l_Phase)
                        l_Sums[l_Which][l_Phase] += l_Filter[l_Tap][l_Phase] * l_Taps[l_Tap + l_Which];
            for (long l_Which = 0; l_Which < kTogether && l_Group + l_Which < l_EndGroup; ++l_Which)
                for (int l_Phase = 0; l_Phase < kSincOversampling; ++l_Phase)
                    l_Copy[((l_Group + l_Which) * kSincOversampling + l_Phase) * l_Channels + l_Channel] =
                        l_Sums[l_Which][l_Phase];
        }
    }
    if (p_Sound.loop)
        RepeatLoop(l_Copy, l_Period * kSincOversampling, l_CopyFrames, l_Channels);
    return l_Made;
}

}  // namespace

void BuildOversampled(SoundData& p_Sound)
{
    p_Sound.oversampled.clear();
    // Longer sounds (46 minutes at 48 kHz) get no copy: its frames, counted in samples, would
    // outgrow a 32-bit build's indices.
    constexpr unsigned kLongest = 1u << 27;
    if (p_Sound.frames == 0 || p_Sound.playable >= kLongest || p_Sound.frames >= kLongest)
        return;
    const bool l_Short = p_Sound.loop && p_Sound.frames <= kSincShortLoopFrames;
    const unsigned l_Levels = l_Short ? 1 + unsigned(p_Sound.octaves.size()) : 1;
    p_Sound.oversampled.resize(std::size_t(l_Levels) * kSincBands);
    for (unsigned l_Level = 0; l_Level < l_Levels; ++l_Level)
        for (int l_Band = 0; l_Band < kSincBands; ++l_Band)
            if (l_Band == 0 ? l_Level == 0 : l_Short)
                p_Sound.oversampled[l_Level * kSincBands + unsigned(l_Band)] =
                    Oversample(p_Sound, l_Level, l_Band);
}

}  // namespace SoundEngine
