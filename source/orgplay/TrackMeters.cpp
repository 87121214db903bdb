#include "TrackMeters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "OrgSong.h"
#include "SamplerRules.h"

namespace {

// Low, as a level needs no high notes; a second of it at most is read at a look.
constexpr int METER_RATE = 8000;
// The bar's width, and the range of peaks it spans, in decibels below full scale.
constexpr int BAR_WIDTH = 30;
constexpr double BAR_DECIBELS = 48.0;

}  // namespace

TrackMeters::TrackMeters(const std::vector<std::uint8_t>& p_Bytes) : bytes(p_Bytes) {}

bool TrackMeters::Opened() const
{
    if (song != nullptr || bytes.empty())
        return song != nullptr;
    // Opened at the first look, so that a player with no meters to show (no terminal, a short
    // one) never reads the song twice.
    int l_Error = TW_OK;
    song = tw_song_open_memory(bytes.data(), bytes.size(), &l_Error);
    std::vector<std::uint8_t>().swap(bytes);
    if (song == nullptr)
        return false;
    frames.assign(2 * METER_RATE, 0.0f);
    // For ever: the player decides the end. Full volume: a track's level, whatever the master volume.
    tw_song_set_loops(song, -1);
    tw_song_set_interpolation(song, 0);
    tw_song_set_volume(song, 1.0f);
    tw_song_set_level_metering(song, 1);
    return true;
}

TrackMeters::~TrackMeters() { tw_song_close(song); }

void TrackMeters::Follow(unsigned long p_SongMs, bool p_Paused, const Org::TrackMix& p_Tracks, double p_Tempo,
                         double p_Transpose)
{
    std::fill(std::begin(peaks), std::end(peaks), 0.0f);
    if (!Opened())
        return;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        tw_song_set_track_mute(song, l_Track, p_Tracks.Mute(l_Track));
        tw_song_set_track_solo(song, l_Track, p_Tracks.Solo(l_Track));
    }
    tw_song_set_tempo_factor(song, p_Tempo);
    tw_song_set_pitch_shift(song, p_Transpose);
    // The decoder's positions are the time heard: the song's own time over the tempo factor.
    const double l_Target = p_SongMs / 1000.0 / p_Tempo;
    double l_At = tw_song_get_position_seconds(song);
    const std::size_t l_Most = frames.size() / 2;
    // A seek, or a wait longer than a look, starts the reading again just before where the song is.
    if (l_Target < l_At || l_Target > l_At + static_cast<double>(l_Most) / METER_RATE) {
        tw_song_seek_seconds(song, std::max(0.0, l_Target - 0.1));
        l_At = tw_song_get_position_seconds(song);
    }
    const std::size_t l_Frames =
        std::min(l_Most, static_cast<std::size_t>(std::max(0.0, (l_Target - l_At) * METER_RATE)));
    if (l_Frames == 0 || tw_song_read_float(song, METER_RATE, l_Frames, frames.data()) == 0 || p_Paused)
        return;
    tw_song_get_track_levels(song, peaks, nullptr);
}

std::vector<std::string> TrackMeters::Lines(const Org::OrgSong& p_Song, const Org::TrackMix& p_Tracks) const
{
    std::vector<std::string> l_Lines;
    if (!Opened())
        return l_Lines;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const Org::Instrument& l_Instrument = p_Song.instruments[l_Track];
        if (l_Instrument.numnotes == 0)
            continue;
        char l_Sound[16];
        if (l_Track <= Org::SamplerRules::LAST_MELODY_TRACK)
            std::snprintf(l_Sound, sizeof l_Sound, "melody %02d", l_Instrument.id);
        else
            std::snprintf(l_Sound, sizeof l_Sound, "drum %s",
                          l_Instrument.id < Org::DRUM_COUNT ? Org::DRUM_NAMES[l_Instrument.id] : "?");
        const double l_Decibels = peaks[l_Track] > 0.0f ? 20.0 * std::log10(peaks[l_Track]) : -BAR_DECIBELS;
        const int l_Filled =
            static_cast<int>(std::lround(std::clamp(1.0 + l_Decibels / BAR_DECIBELS, 0.0, 1.0) * BAR_WIDTH));
        const char* l_Mark = p_Tracks.Solo(l_Track) ? " solo" : p_Tracks.Mute(l_Track) ? " muted" : "";
        char l_Head[32];
        std::snprintf(l_Head, sizeof l_Head, "%2d %-14s [", l_Track, l_Sound);
        l_Lines.push_back(l_Head + std::string(l_Filled, '#') + std::string(BAR_WIDTH - l_Filled, ' ') + "]" +
                          l_Mark);
    }
    return l_Lines;
}
