#ifndef TUNEWRIGHT_TRACKMETERS_H
#define TUNEWRIGHT_TRACKMETERS_H

// Each track's level as a song plays, for the meters on the terminal. The sound card's voices are
// mixed in the engine's own thread, unmeasured, so the library's decoder reads the same song
// alongside, at a low rate and with the same mixing desk, and measures each track over the time
// that passed since the last look.
#include <cstdint>
#include <string>
#include <vector>

#include <tunewright/tunewright.h>

#include "OrgSongTypes.h"
#include "TrackMix.h"

namespace Org {
class OrgSong;
}

class TrackMeters
{
public:
    // Meters for the song of p_Bytes; none (Lines gives nothing) when the library cannot read it.
    explicit TrackMeters(const std::vector<std::uint8_t>& p_Bytes);
    ~TrackMeters();
    TrackMeters(const TrackMeters&) = delete;
    TrackMeters& operator=(const TrackMeters&) = delete;

    // Measures the song up to p_SongMs of its own time as played (intro, loop, loop...), with the
    // tracks, tempo factor and pitch shift the sound card plays. Paused, every level is 0.
    void Follow(unsigned long p_SongMs, bool p_Paused, const Org::TrackMix& p_Tracks, double p_Tempo,
                double p_Transpose);
    // A line for each track with events: its number, kind and instrument, a bar of its peak, and
    // whether it is muted or soloed.
    std::vector<std::string> Lines(const Org::OrgSong& p_Song, const Org::TrackMix& p_Tracks) const;

private:
    // The song of the meters' own decoder, opened from bytes at the first look (false when the
    // library cannot read it).
    bool Opened() const;

    mutable std::vector<std::uint8_t> bytes;
    mutable tw_song* song = nullptr;
    mutable std::vector<float> frames;
    float peaks[Org::TRACK_COUNT] = {};
};

#endif
