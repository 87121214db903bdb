#ifndef TUNEWRIGHT_SONGGEN_SONG_H
#define TUNEWRIGHT_SONGGEN_SONG_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "OrgSongTypes.h"

namespace SongGen {

constexpr int TRACKS = Org::TRACK_COUNT;
constexpr int MELODY_TRACKS = Org::MELODY_TRACKS;  // tracks 0..7 use the melody bank, 8..15 the drums
constexpr int MELODY_SAMPLES = Org::WAVEFORM_COUNT;
constexpr int PERCUSSION_SAMPLES = Org::DRUM_COUNT;
constexpr int HIGHEST_NOTE = Org::KEY_COUNT - 1;  // notes above this do not sound
constexpr std::uint8_t PAN_CENTRE = 6;  // pans run 0 (left) to 12 (right)
constexpr std::uint8_t PAN_NONE = 255;  // an event that keeps the pan it continues
constexpr std::uint16_t UNTUNED = 1000;

// One event of a track. A length of 0 starts nothing: placed inside a held note it changes
// that note's volume (and pan, unless PAN_NONE).
struct Event
{
    std::uint32_t pos = 0;
    std::uint8_t note = 0;
    std::uint8_t length = 0;
    std::uint8_t volume = 0;
    std::uint8_t pan = PAN_CENTRE;
};

struct Track
{
    std::uint16_t pitch = UNTUNED;
    std::uint8_t id = 0;  // waveform (tracks 0..7) or drum (8..15)
    std::uint8_t noloop = 0;
    std::vector<Event> events;  // kept in ascending position
};

struct Song
{
    std::string fileName;  // e.g. "harbour-lights.org"
    std::string title;
    std::uint16_t tempo = 120;        // milliseconds per beat
    Org::SPBABPS layout = Org::_4_4;  // stored in the header; nothing derives timing from it
    std::uint32_t loopStart = 0;
    std::uint32_t loopStop = 0;
    std::array<Track, TRACKS> tracks;
};

}  // namespace SongGen

#endif
