// "Greensleeves", the traditional English ballad (public domain), in A minor and 3/4: the oboe
// sings the verse, an alto voice the chorus, over strings, cello and a plucked accompaniment.
#include "Composer.h"
#include "Songs.h"

namespace SongGen {

namespace {

constexpr int BAR = 12;  // three quarter notes of four beats

const char* const VERSE = "C5:8 D5:4 | E5:6 F5:2 E5:4 | D5:8 B4:4 | G4:6 A4:2 B4:4 | C5:8 A4:4 | A4:6 G#4:2 "
                          "A4:4 | B4:8 G#4:4 | E4:8 A4:4 |"
                          "C5:8 D5:4 | E5:6 F5:2 E5:4 | D5:8 B4:4 | G4:6 A4:2 B4:4 | C5:6 B4:2 A4:4 | G#4:6 "
                          "F#4:2 G#4:4 | A4:12 | A4:12";
const char* const CHORUS = "G5:12 | G5:6 F#5:2 E5:4 | D5:8 B4:4 | G4:6 A4:2 B4:4 | C5:8 A4:4 | A4:6 G#4:2 "
                           "A4:4 | B4:8 G#4:4 | E4:12 |"
                           "G5:12 | G5:6 F#5:2 E5:4 | D5:8 B4:4 | G4:6 A4:2 B4:4 | C5:6 B4:2 A4:4 | G#4:6 "
                           "F#4:2 G#4:4 | A4:12 | A4:8";
// The verse begins on the last quarter of the bar before it.
const char* const PICKUP = "A4:4";

// The sections, in beats: an intro of two bars, the verse, the chorus, the end.
constexpr std::uint32_t VERSE_AT = 2 * BAR;
constexpr std::uint32_t CHORUS_AT = 18 * BAR;
constexpr std::uint32_t END_AT = 34 * BAR;

// Melody. The pickup sounds at the end of the intro and again at the end of the loop, so the verse
// is always led into.
void WriteTune(Song& p_Song, const std::vector<Harmony>& p_Harmony)
{
    Part l_Oboe(p_Song, 0, 55);
    Part l_Voice(p_Song, 1, 79);  // alto voice "ah"
    const std::vector<Step> l_Pickup = ParsePhrase(PICKUP);
    const std::vector<Step> l_ChorusSteps = ParsePhrase(CHORUS);
    l_Oboe.Phrase(VERSE_AT - 4, l_Pickup, 170, 6, Envelope::Decay);
    l_Oboe.Phrase(VERSE_AT, ParsePhrase(VERSE), 170, 6, Envelope::Decay);
    l_Oboe.Phrase(END_AT - 4, l_Pickup, 170, 6, Envelope::Decay);
    l_Voice.Phrase(CHORUS_AT, l_ChorusSteps, 175, 7, Envelope::Hairpin);
    // Under the chorus the oboe softly takes the chord tone below the tune.
    std::uint32_t l_Pos = CHORUS_AT;
    for (const Step& l_Step : l_ChorusSteps) {
        const int l_Note = ChordToneBelow(ChordAt(p_Harmony, l_Pos), l_Step.note);
        l_Oboe.Shaped(l_Pos, l_Note, l_Step.length, 105, 4, Envelope::Decay);
        l_Pos += l_Step.length;
    }
}

// Strings, cello, guitar and, in the chorus, vibraphone, chord by chord.
void WriteAccompaniment(Song& p_Song, const std::vector<Harmony>& p_Harmony)
{
    Part l_Strings[3] = {Part(p_Song, 2, 51), Part(p_Song, 3, 51), Part(p_Song, 4, 51)};
    Part l_Cello(p_Song, 5, 49);
    Part l_Guitar(p_Song, 6, 53);  // nylon guitar
    Part l_Vibes(p_Song, 7, 59);
    const std::vector<std::array<int, 3>> l_Voicings = VoiceLead(p_Harmony, 50);  // under the tune
    const int l_StringPans[3] = {3, 6, 9};
    const int l_Arp[6] = {0, 2, 3, 4, 5, 4};  // indexes into the guitar's chord tones
    for (std::size_t l_I = 0; l_I < p_Harmony.size(); ++l_I) {
        const Harmony& l_H = p_Harmony[l_I];
        const bool l_InChorus = l_H.pos >= CHORUS_AT;
        // Strings breathe in and out over every bar; they enter in the second intro bar.
        if (l_H.pos >= BAR) {
            for (int l_V = 0; l_V < 3; ++l_V) {
                l_Strings[l_V].Shaped(l_H.pos, l_Voicings[l_I][l_V], BAR, l_InChorus ? 95 : 80,
                                      l_StringPans[l_V],
                                      l_H.pos < VERSE_AT ? Envelope::Swell : Envelope::Hairpin);
            }
        }
        // Cello: root and fifth in the verse, a long swelling root in the chorus.
        const int l_Root = RootAbove(l_H.chord, 33);  // A2 to G#3
        if (l_H.pos >= VERSE_AT) {
            if (l_InChorus) {
                l_Cello.Shaped(l_H.pos, l_Root, BAR, 150, 5, Envelope::Hairpin);
            } else {
                l_Cello.Shaped(l_H.pos, l_Root, 8, 150, 5, Envelope::Decay);
                l_Cello.Shaped(l_H.pos + 8, l_Root + 7, 4, 135, 5, Envelope::Decay);
            }
        }
        // Guitar: a rising and falling broken chord in eighths, from the first bar on.
        const int l_Low = RootAbove(l_H.chord, 45);  // A3 to G#4
        const std::array<int, 3> l_Pcs = l_H.chord.PitchClasses();
        const int l_Third = (l_Pcs[1] - l_Pcs[0] + 12) % 12;
        const int l_Fifth = (l_Pcs[2] - l_Pcs[0] + 12) % 12;
        const int l_Tones[6] = {l_Low - 12,      l_Low - 12 + l_Fifth, l_Low,
                                l_Low + l_Third, l_Low + l_Fifth,      l_Low + 12};
        for (int l_K = 0; l_K < 6; ++l_K) {
            l_Guitar.Shaped(l_H.pos + 2 * l_K, l_Tones[l_Arp[l_K]], 2, l_K == 0 ? 115 : 95, l_K % 2 ? 8 : 4,
                            Envelope::Pluck);
        }
        // Vibraphone: one ringing chord tone at the top of each chorus bar.
        if (l_InChorus) {
            l_Vibes.Shaped(l_H.pos, NoteAbove(l_Pcs[2], 74), BAR, 85, 10, Envelope::Pluck);
        }
    }
}

// Drums: a soft waltz pulse, fuller in the chorus.
void WriteDrums(Song& p_Song)
{
    Part l_Kick(p_Song, 8, 1);  // the deep bass drum
    Part l_Snare(p_Song, 9, 3);
    Part l_Hat(p_Song, 10, 5);
    Part l_OpenHat(p_Song, 11, 6);
    Part l_Crash(p_Song, 12, 7);
    Part l_Tom(p_Song, 13, 4);
    Part l_LowTom(p_Song, 15, 11);
    for (int l_Bar = 2; l_Bar < 34; ++l_Bar) {
        const std::uint32_t l_At = l_Bar * BAR;
        const bool l_InChorus = l_At >= CHORUS_AT;
        if (l_At == VERSE_AT || l_At == CHORUS_AT) {
            l_Crash.Note(l_At, 40, 1, l_InChorus ? 120 : 100, 9);
        }
        l_Kick.Pattern(l_At, "X...........", 40, 150);
        l_Hat.Pattern(l_At, l_InChorus ? "x.o.x.o.x.o." : "....x...x...", 43, 90, 7);
        if (l_InChorus) {
            l_Snare.Pattern(l_At, "........o...", 42, 150);
        }
        if (l_Bar % 4 == 1) {
            l_OpenHat.Pattern(l_At, "..........x.", 42, 80, 8);
        }
        if (l_Bar == 17 || l_Bar == 33) {
            l_Tom.Pattern(l_At, "........Xx..", {46, 44}, 140, 4);
            l_LowTom.Pattern(l_At, "..........Xx", {41, 38}, 150, 8);
        }
    }
}

}  // namespace

Song Greensleeves()
{
    Song l_Song;
    l_Song.fileName = "greensleeves.org";
    l_Song.title = "Greensleeves";
    l_Song.tempo = 125;
    l_Song.layout = Org::_3_4;
    l_Song.loopStart = VERSE_AT;
    l_Song.loopStop = END_AT;
    const std::vector<Harmony> l_Harmony = Progression(
        0, "Am E | Am C G Em Am F E E Am C G Em Am E Am Am | C Em G Em Am F E E C Em G Em Am E Am Am", BAR);
    WriteTune(l_Song, l_Harmony);
    WriteAccompaniment(l_Song, l_Harmony);
    WriteDrums(l_Song);
    SortEvents(l_Song);
    return l_Song;
}

}  // namespace SongGen
