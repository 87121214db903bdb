#ifndef TUNEWRIGHT_TRACKMIX_H
#define TUNEWRIGHT_TRACKMIX_H

// A mixer's settings for each track, apart from the song: mute, solo and a gain. Solo wins over
// mute, as on a mixing desk: while any track is soloed, the soloed ones sound and no other.
#include <algorithm>
#include <iterator>

#include "OrgSongTypes.h"

namespace Org {

class TrackMix
{
public:
    static constexpr float MAX_GAIN = 1.0f;

    TrackMix() { std::fill(std::begin(gain), std::end(gain), MAX_GAIN); }

    void SetMute(int p_Track, bool p_Mute) { mute[p_Track] = p_Mute; }
    void SetSolo(int p_Track, bool p_Solo) { solo[p_Track] = p_Solo; }
    void SetGain(int p_Track, float p_Gain) { gain[p_Track] = p_Gain; }  // 0 to MAX_GAIN
    bool Mute(int p_Track) const { return mute[p_Track]; }
    bool Solo(int p_Track) const { return solo[p_Track]; }
    float Gain(int p_Track) const { return gain[p_Track]; }

    // The gain the track sounds at now.
    float Audible(int p_Track) const
    {
        bool l_AnySolo = false;
        for (const bool l_Solo : solo)
            l_AnySolo = l_AnySolo || l_Solo;
        const bool l_On = l_AnySolo ? solo[p_Track] : !mute[p_Track];
        return l_On ? gain[p_Track] : 0.0f;
    }

private:
    bool mute[TRACK_COUNT] = {};
    bool solo[TRACK_COUNT] = {};
    float gain[TRACK_COUNT];
};

}  // namespace Org

#endif
