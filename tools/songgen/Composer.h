#ifndef TUNEWRIGHT_SONGGEN_COMPOSER_H
#define TUNEWRIGHT_SONGGEN_COMPOSER_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Song.h"

namespace SongGen {

// Note numbers: 12 per octave, C0 = 0, so middle C ("C4") is 48 and "A4" (440 Hz) is 57.
// Accepts a letter, an optional '#' or 'b' and an octave digit; throws std::invalid_argument.
int NoteNumber(const std::string& p_Name);

// A triad: pitch class of the root (0 = C) and whether it is minor.
struct Chord {
    int root = 0;
    bool minor = false;
    std::array<int, 3> PitchClasses() const;  // root, third, fifth
    bool Contains(int p_Note) const;
};
// "D", "F#m", "Bb", "Em"; throws std::invalid_argument.
Chord ParseChord(const std::string& p_Name);

// A chord held from pos for length beats.
struct Harmony {
    std::uint32_t pos;
    int length;
    Chord chord;
};
// One bar per token from p_Start, each p_BarLength beats; "G,A" splits a bar evenly between
// two chords, and '|' is ignored.
std::vector<Harmony> Progression(std::uint32_t p_Start, const std::string& p_Text, int p_BarLength);
// The chord sounding at p_Pos (the last one that began at or before it).
const Chord& ChordAt(const std::vector<Harmony>& p_Harmony, std::uint32_t p_Pos);

// The lowest note of pitch class p_PitchClass (0 = C) at or above p_Low.
int NoteAbove(int p_PitchClass, int p_Low);
// The lowest note of the chord's root at or above p_Low.
int RootAbove(const Chord& p_Chord, int p_Low);
// Three close-position voices for each chord, each chord voiced to move as little as possible
// from the one before; the first is voiced nearest to p_Centre.
std::vector<std::array<int, 3>> VoiceLead(const std::vector<Harmony>& p_Harmony, int p_Centre);
// The highest chord tone at least a minor third below p_Note.
int ChordToneBelow(const Chord& p_Chord, int p_Note);
// Moves a note p_Steps degrees along the scale given by its pitch classes (notes outside the
// scale move from the scale note below them).
int DiatonicShift(int p_Note, const std::vector<int>& p_Scale, int p_Steps);

// One note of a phrase; note -1 is a rest.
struct Step {
    int note;
    int length;
};
// "F#5:3 E5:1 r:4 | A4:8": note (or r) and length in beats; '|' marks bars and is ignored.
std::vector<Step> ParsePhrase(const std::string& p_Text);

// How a held note's volume moves: the writer adds length-0 events inside the note.
enum class Envelope {
    Flat,     // no change
    Pluck,    // drops after the first beat, then fades on
    Decay,    // a gentle fade every two beats
    Swell,    // rises from soft to full over the note
    Hairpin,  // rises to the middle of the note, then falls back
};

// Writes the events of one track.
class Part {
public:
    Part(Song& p_Song, int p_Track, std::uint8_t p_Sample);

    void Note(std::uint32_t p_Pos, int p_Note, int p_Length, int p_Volume, int p_Pan = PAN_CENTRE);
    // Changes the volume (and the pan, unless PAN_NONE) of the note held at p_Pos.
    void Change(std::uint32_t p_Pos, int p_Volume, int p_Pan = PAN_NONE);
    // A note whose volume follows p_Envelope; p_Volume is its loudest level.
    void Shaped(std::uint32_t p_Pos, int p_Note, int p_Length, int p_Volume, int p_Pan, Envelope p_Envelope);
    // Lays the phrase's notes one after another from p_Pos, moved by p_Transpose semitones;
    // returns the position after the phrase.
    std::uint32_t Phrase(std::uint32_t p_Pos, const std::vector<Step>& p_Steps, int p_Volume, int p_Pan,
                         Envelope p_Envelope, int p_Transpose = 0);
    // One bar of drum hits from a pattern, one character per beat: 'X' loud, 'x' medium,
    // 'o' soft, '.' nothing.
    void Pattern(std::uint32_t p_Pos, const std::string& p_Pattern, int p_Note, int p_Loud, int p_Pan = PAN_CENTRE);
    // The same, with the k-th hit on p_Notes[k] (the last note repeats): tom runs.
    void Pattern(std::uint32_t p_Pos, const std::string& p_Pattern, const std::vector<int>& p_Notes, int p_Loud,
                 int p_Pan = PAN_CENTRE);

private:
    Track& Target;
};

// Sorts every track's events by position (stable), so parts may be written in any order.
void SortEvents(Song& p_Song);

}  // namespace SongGen

#endif
