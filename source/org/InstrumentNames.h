#ifndef TUNEWRIGHT_INSTRUMENTNAMES_H
#define TUNEWRIGHT_INSTRUMENTNAMES_H

// What each instrument is, in a few words a person picks it by: the melody waveforms as
// source/samples synthesises them (MelodyBank names each of its waveforms from here), and the drums
// by their kind (their sample files are named by DRUM_NAMES). Header only, so that the synthesis,
// built apart from the library, shares the one table.
#include "OrgSongTypes.h"

namespace Org {

constexpr const char* WAVEFORM_NAMES[] = {
    // 0-9: basic shapes.
    "Sine",
    "Triangle",
    "Saw",
    "Square",
    "Soft saw",
    "Soft square",
    "Bass saw",
    "Bass square",
    "Mellow saw",
    "Round sine",
    // 10-19: pulse widths.
    "Pulse 12%",
    "Pulse 17%",
    "Pulse 25%",
    "Pulse 33%",
    "Pulse 38%",
    "Soft pulse 12%",
    "Soft pulse 25%",
    "Thin pulse 6%",
    "Bass pulse 25%",
    "Bass pulse 12%",
    // 20-34: organs and pipes.
    "Organ flute",
    "Organ principal",
    "Organ full",
    "Organ jazz",
    "Organ gospel",
    "Organ reedy",
    "Organ bright",
    "Organ mellow",
    "Organ tibia",
    "Organ mixture",
    "Pipe diapason",
    "Pipe trumpet stop",
    "Pipe stopped flute",
    "Organ 8+2",
    "Organ cathedral",
    // 35-46: brass.
    "Trumpet",
    "Bright trumpet",
    "Muted trumpet",
    "French horn",
    "Trombone",
    "Tuba",
    "Synth brass",
    "Soft synth brass",
    "Brass section",
    "Flugelhorn",
    "Cornet",
    "Brassy reed",
    // 47-58: strings and reeds.
    "Violin",
    "Viola",
    "Cello",
    "Contrabass",
    "Soft strings",
    "Plucked string",
    "Nylon guitar",
    "Clarinet",
    "Oboe",
    "Bassoon",
    "Saxophone",
    "Accordion",
    // 59-70: bells, mallets and keys.
    "Vibraphone",
    "Marimba",
    "Glockenspiel",
    "Celesta",
    "Music box",
    "Tubular bell",
    "Church bell",
    "Electric piano",
    "FM piano",
    "Clavinet",
    "Harpsichord",
    "Steel drum",
    // 71-84: voices.
    "Bass voice ah",
    "Bass voice oh",
    "Bass voice oo",
    "Tenor voice ah",
    "Tenor voice eh",
    "Tenor voice ee",
    "Tenor voice oh",
    "Tenor voice oo",
    "Alto voice ah",
    "Soprano voice ee",
    "Soprano voice oh",
    "Choir aah",
    "Nasal voice",
    "Talking saw",
    // 85-89: synthesiser tones.
    "FM bass",
    "FM bell",
    "Sync lead",
    "Resonant saw",
    "Double saw",
    // 90-99: noisy cycles.
    "Noise full",
    "Noise low",
    "Noise mid",
    "Noise high",
    "Noise pink",
    "Breathy flute",
    "Breathy voice",
    "Growl",
    "Noise bass",
    "Wind",
};
static_assert(sizeof(WAVEFORM_NAMES) / sizeof(WAVEFORM_NAMES[0]) == WAVEFORM_COUNT, "a name for every waveform");

// In DRUM_NAMES order: two bass drums (the second deeper, longer and driven), two snares (the second
// higher and shorter), the higher tom, the hi-hats, the crash, a clap, a cowbell, a short high kick
// and the lower tom.
constexpr const char* DRUM_TITLES[] = {"Bass drum", "Deep bass drum", "Snare",       "Tight snare",
                                       "High tom",  "Closed hi-hat",  "Open hi-hat", "Crash cymbal",
                                       "Hand clap", "Cowbell",        "Short kick",  "Low tom"};
static_assert(sizeof(DRUM_TITLES) / sizeof(DRUM_TITLES[0]) == DRUM_COUNT, "a title for every drum");

// The drum kit a new song starts with, one drum a drum track (tracks MELODY_TRACKS and on): bass
// drum, snare, closed and open hi-hat, the two toms, crash and clap.
constexpr int NEW_SONG_DRUMS[TRACK_COUNT - MELODY_TRACKS] = {0, 2, 5, 6, 4, 11, 7, 8};

// The name of instrument p_Instrument of a drum track (p_Drums) or a melody track; null when there
// is no such instrument.
inline const char* InstrumentName(bool p_Drums, int p_Instrument)
{
    if (p_Instrument < 0 || p_Instrument >= (p_Drums ? DRUM_COUNT : WAVEFORM_COUNT))
        return nullptr;
    return p_Drums ? DRUM_TITLES[p_Instrument] : WAVEFORM_NAMES[p_Instrument];
}

}  // namespace Org

#endif
