#ifndef TUNEWRIGHT_SONGMIDI_H
#define TUNEWRIGHT_SONGMIDI_H

// Songs as Standard MIDI Files, both ways, for every interface and program alike.
//
// Export (SongToMidi) writes a type 1 file. Its first track holds the tempo, the time signature
// steps_bar/4 and the loop points as the markers "loop start" and "loop end". One MIDI quarter note
// is a step, the song's beats per step (beats_step, or 4 when that is 0); a step longer than the
// longest quarter note a MIDI tempo holds (2^24 - 1 us) is the fewest quarter notes that hold it in
// whole ticks, N, and the marker "step of N quarters" says so, so that the tempo is exact. Then
// comes one track per song track that sounds: melody tracks 0 to 7 on channels 0 to 7 (1 to 8 as
// people count them) with the program of their waveform (MIDI_PROGRAMS), drums on channel 9 (10)
// with their drum's key (MIDI_DRUM_KEYS). The notes are what the track sounds (OrgSong::SoundRuns),
// one at a time: a note for each event that starts one, and a further note wherever a held note
// takes another key, as it does once the event that started it has ended while a later one still
// covers the beat (that event gives it its key and lasts it on). Key k is MIDI note k + 12, volume
// 0-254 the velocity (1-127) at the note's start, pan 0-12 controller 10 (6 is 64), sent before a
// note whose pan differs from the track's last. Left out, since MIDI cannot hold them or a player
// makes no sound of them: the volume and pan a held note changes to (a MIDI note keeps its
// velocity), notes of keys 96 and up and tracks whose instrument is outside its bank. What General
// MIDI cannot say goes where other programs look past it: each note track begins with the
// sequencer-specific meta event FF 7F 05 7D 'T' 'W' track instrument (7D is the id MIDI keeps for
// non-commercial use), and a drum note's note-off velocity is its song key (its note-on's key being
// its drum's), so that the import gives the song back with its own waveforms, drums, places and
// drum keys.
//
// Import (SongFromMidi) reads types 0 and 1, quantises every time to the step grid and reports
// whatever it drops or changes (MidiImportReport); see SongFromMidi.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "OrgSongTypes.h"
#include "SongEdit.h"

namespace Org {

// The General MIDI drum key of each drum, in DRUM_NAMES order: Bass01 bass drum 1, Bass02 the
// acoustic bass drum, Snare01 acoustic snare, Snare02 electric snare, Tom01 (the higher tom)
// hi-mid tom, HiClose closed hi-hat, HiOpen open hi-hat, Crash crash cymbal 1, Per01 (a clap)
// hand clap, Per02 (a cowbell) cowbell, Bass03 (the short, high kick) side stick, Tom02 low tom.
constexpr std::uint8_t MIDI_DRUM_KEYS[DRUM_COUNT] = {36, 35, 38, 40, 48, 42, 46, 49, 39, 56, 37, 45};

// The key an imported drum note gets: near its sample's own rate (a drum's MIDI key names the drum).
constexpr std::uint8_t IMPORTED_DRUM_KEY = 41;

// The General MIDI program (0-127) of each melody waveform, by its family: basic shapes and pulses
// as square, saw and synth bass leads, organs, brass, strings, reeds and pipes, mallets, bells and
// keys, choir voices, synthesiser tones, and the noisy cycles as breath and sea noise.
extern const std::uint8_t MIDI_PROGRAMS[SongEdit::WAVEFORMS];

// The waveform an imported program gets: the first waveform whose program it is, else the
// waveform that stands for the program's family of eight (piano: electric piano, bass: FM bass...).
int WaveformOfProgram(int p_Program);

// The most notes the export writes of one track: a note begins only where an event of the track
// begins or ends (OrgSong::SoundRuns), and a track holds at most 65535 events.
constexpr std::size_t MIDI_TRACK_NOTES_MAX = 2 * std::size_t{SongEdit::MAX_EVENTS};

// The most notes the export writes of any song, and the most note starts, and again note ends, that
// the import holds of a file.
constexpr std::size_t MIDI_NOTES_MAX = TRACK_COUNT * MIDI_TRACK_NOTES_MAX;

// The most events of the kinds the import uses that it holds: as many of each kind as the export
// of any song has, MIDI_NOTES_MAX note starts and as many ends, and as many settings (a pan for
// each note) and 21 more (a program for each track, five in the first). Past them a file's events
// of that kind are dropped and counted (MidiImportReport::excessEvents), so that memory stays in
// proportion to what a song can keep.
constexpr std::size_t MIDI_SETTINGS_MAX = MIDI_NOTES_MAX + TRACK_COUNT + 5;
constexpr std::size_t MAX_MIDI_EVENTS = 2 * MIDI_NOTES_MAX + MIDI_SETTINGS_MAX;

// The largest Standard MIDI File the import reads (TW_MAX_MIDI_BYTES in the C interface): the most
// the export writes of any song. An event takes at most 7 bytes (a 4-byte time, 3 bytes), so a
// note at most 21; besides its notes each of the 17 chunks holds its 8-byte head, at most 1536
// empty text events of 7 bytes that bridge times longer than one time holds (2^32 beats of 96
// ticks), and under 100 bytes of program, own track tag (FF 7F), end, tempo, time signature and
// markers.
constexpr std::size_t MAX_MIDI_BYTES =
    14 + (TRACK_COUNT + 1) * (8 + 1536 * 7 + 100) + TRACK_COUNT * MIDI_TRACK_NOTES_MAX * 21;

// Quantise steps per quarter note an import takes: song beats per MIDI quarter note.
constexpr int MIDI_QUANTIZE_DEFAULT = 4;
constexpr int MIDI_QUANTIZE_MAX = 64;

// What an import dropped or changed, count by count. A dropped note is counted once, by the first
// rule that drops it, in this order; the changes are counted among the notes kept.
struct MidiImportReport
{
    unsigned long notes = 0;                 // notes in the song made
    unsigned long keysOutOfRange = 0;        // melody notes outside keys 0-95 (MIDI 12-107): dropped
    unsigned long unmappedDrums = 0;         // channel 10 notes of a key no drum has: dropped
    unsigned long beyondLastBeat = 0;        // notes starting after the song's last beat (2^32 - 1): dropped
    unsigned long extraVoices = 0;           // a ninth voice sounding at once on one channel: dropped
    unsigned long sharedTracks = 0;          // voices beyond the melody tracks their channel got: dropped
    unsigned long extraDrums = 0;            // hits of drums beyond the eight drum tracks: dropped
    unsigned long sameBeatHits = 0;          // drum hits on a beat the same drum already hits: dropped
    unsigned long overfullTracks = 0;        // notes beyond a track's 65535 events: dropped
    unsigned long lengthened = 0;            // notes of no length once quantised: given one beat
    unsigned long shortened = 0;             // notes over 255 beats: cut to 255
    unsigned long unfinished = 0;            // notes never ended: ended where the file ends
    unsigned long extraTempos = 0;           // tempo changes: followed at the song's one tempo
    unsigned long programChanges = 0;        // program changes after a channel's first note: ignored
    unsigned long ignoredEvents = 0;         // pitch bends, aftertouch, controllers but pan: ignored
    unsigned long excessEvents = 0;          // events past the MAX_MIDI_EVENTS an import holds: dropped
    unsigned long channelsWithoutTrack = 0;  // melody channels that got no track (more than eight)
    bool loopIgnored = false;                // "loop end" before "loop start": the loop is the whole song
    bool damaged = false;                    // the file ends early or holds a malformed event
    unsigned int tempoMs = 0;                // the song's milliseconds per beat
    bool tempoHeld = false;                  // the song's tempo gives under 1 or over 65535 ms: held there
    unsigned long retimed = 0;               // notes the tempo changes moved by more than a beat
};

// The report as English lines, each ending in a line break: the notes made, then one line per
// kind of loss or change that happened.
std::string DescribeMidiImport(const MidiImportReport& p_Report);

// The song as a type 1 Standard MIDI File, by the rules above.
std::vector<std::uint8_t> SongToMidi(const OrgSong& p_Song);

// Replaces p_Song by the Standard MIDI File in p_Data (types 0 and 1; running status; system
// exclusive and unknown meta events and chunks skipped) and fills p_Report. Times are quantised to
// p_Quantize song beats per step (1 to MIDI_QUANTIZE_MAX), a step being a quarter note, or N of
// them by the marker "step of N quarters": milliseconds per beat are the microseconds per quarter x
// N / 1000 / p_Quantize (rounded, held to 1 to 65535) of the tempo that holds longest in the file's
// time, and where the file changes tempo every time is placed by the time its tempo map gives it, at
// that one tempo (MidiImportReport::retimed counts the notes moved by more than a beat); the bar
// layout follows the first time signature (its quarter notes as steps). Melody channels share the eight melody tracks:
// each channel that plays gets one (by most notes first, then channel number), then channels that
// sound several notes at once get more in turn, up to their need; within its tracks a note goes to
// the first one free at its beat. A track's waveform follows its channel's program at its first
// note. Drums on channel 10 go to the drum tracks by MIDI_DRUM_KEYS, one track per drum as they
// first appear, each hit one beat long. Notes of a track the export wrote (its FF 7F event) keep
// its waveform or drum, its place where the tracks placed before leave it free, and a drum's key. Velocity becomes volume, controller 10 pan. The markers
// "loop start" and "loop end" give the loop, else it is the whole song. False, with a one-line
// reason in p_Error and p_Song unchanged, for bytes that are no MIDI file, a type 2 file, a
// division of 0 or a p_Quantize out of range. A file that ends early or holds a malformed event is
// read up to there and reported damaged. Bytes beyond MAX_MIDI_BYTES are refused, and no more than
// MAX_MIDI_EVENTS events are held: memory and time stay in proportion to what a song can keep.
bool SongFromMidi(const void* p_Data, std::size_t p_Size, int p_Quantize, OrgSong& p_Song,
                  MidiImportReport& p_Report, std::string& p_Error);

// True when the bytes begin as a Standard MIDI File does ("MThd").
bool HasMidiMagic(const void* p_Data, std::size_t p_Size);

}  // namespace Org

#endif
