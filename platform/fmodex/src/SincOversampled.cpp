#include "SincOversampled.h"

#include "SincLine.h"
#include "SincTable.h"

#include <cstddef>

namespace SoundEngine {

void BuildOversampled(SoundData& p_Sound)
{
    p_Sound.oversampled.clear();
    // Longer sounds (46 minutes at 48 kHz) get no copy: its frames, counted in samples, would
    // outgrow a 32-bit build's indices.
    constexpr unsigned kLongest = 1u << 27;
    if (p_Sound.frames == 0 || p_Sound.playable >= kLongest || p_Sound.frames >= kLongest)
        return;
    constexpr long kFirstTap = SincFirstTap(kSincUpsampleTaps);
    const long l_Guard = long(kGuardFrames);
    const int l_Channels = p_Sound.channels;
    const long l_Period = long(p_Sound.frames);
    const long l_Frames = long(p_Sound.loop ? p_Sound.playable : p_Sound.frames);
    const long l_CopyFrames = l_Frames << kSincOversampleShift;
    p_Sound.oversampled.resize(std::size_t(l_CopyFrames + 2 * l_Guard) * l_Channels);
    float* const l_Copy = p_Sound.oversampled.data() + l_Guard * l_Channels;

    // The copy's frames kSincOversampling * n .. + kSincOversampling - 1 all read the sound's frames
    // n + kFirstTap on, so they are made together. A loop's first pass is filtered and the rest,
    // guards included, repeats it; a one-shot's guards are filtered too (they ring on past its ends).
    static_assert(kGuardFrames % kSincOversampling == 0, "the guards hold whole groups of the copy's frames");
    const long l_FirstGroup = p_Sound.loop ? 0 : -l_Guard / kSincOversampling;
    const long l_EndGroup = p_Sound.loop ? l_Period : l_Frames + l_Guard / kSincOversampling;
    const auto& l_Filter = TheSincTable().upsample;
    for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel) {
        const std::vector<float> l_Line =
            ChannelLine(p_Sound.Frame0(), l_Frames, p_Sound.loop ? l_Period : 0, l_Channels, l_Channel,
                        l_FirstGroup + kFirstTap, l_EndGroup - l_FirstGroup + kSincUpsampleTaps);
        // Two groups at a time, for eight sums side by side (a last odd group makes one more, from
        // the line's last frame, and drops it).
        for (long l_Group = l_FirstGroup; l_Group < l_EndGroup; l_Group += 2) {
            const long l_Groups = l_Group + 1 < l_EndGroup ? 2 : 1;
            const float* const l_Taps = l_Line.data() + (l_Group - l_FirstGroup);
            float l_Sums[2][kSincOversampling] = {};
            for (int l_Tap = 0; l_Tap < kSincUpsampleTaps; ++l_Tap)
#pragma GCC unroll 2
                for (int l_Which = 0; l_Which < 2; ++l_Which)
#pragma GCC unroll 4
                    for (int l_Phase = 0; l_Phase < kSincOversampling; ++l_Phase)
                        l_Sums[l_Which][l_Phase] += l_Filter[l_Tap][l_Phase] * l_Taps[l_Tap + l_Which];
            for (long l_Which = 0; l_Which < l_Groups; ++l_Which)
                for (int l_Phase = 0; l_Phase < kSincOversampling; ++l_Phase)
                    l_Copy[(((l_Group + l_Which) << kSincOversampleShift) + l_Phase) * l_Channels +
                           l_Channel] = l_Sums[l_Which][l_Phase];
        }
    }
    if (p_Sound.loop) {
        const long l_CopyPeriod = l_Period << kSincOversampleShift;
        for (long l_Frame = -l_Guard; l_Frame < l_CopyFrames + l_Guard; ++l_Frame) {
            const long l_From = ((l_Frame % l_CopyPeriod) + l_CopyPeriod) % l_CopyPeriod;
            if (l_From != l_Frame)
                for (int l_Channel = 0; l_Channel < l_Channels; ++l_Channel)
                    l_Copy[l_Frame * l_Channels + l_Channel] = l_Copy[l_From * l_Channels + l_Channel];
        }
    }
}

}  // namespace SoundEngine
