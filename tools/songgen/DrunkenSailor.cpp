// "Drunken Sailor", the traditional sea shanty (public domain), arranged as a lively reel:
// verse, chorus and an instrumental verse for the whistle; 150 quarter notes a minute.
#include "Composer.h"
#include "Songs.h"

namespace SongGen {

namespace {

constexpr int BAR = 16;
const std::vector<int> D_DORIAN = {2, 4, 5, 7, 9, 11, 0};

const char* const VERSE =
    "A4:4 A4:2 A4:2 A4:4 A4:2 A4:2 | A4:4 D4:4 F4:4 A4:4 | G4:4 G4:2 G4:2 G4:4 G4:2 G4:2 | G4:4 C4:4 E4:4 "
    "G4:4 |"
    "A4:4 A4:2 A4:2 A4:4 A4:2 A4:2 | A4:4 B4:4 C5:4 D5:4 | C5:4 A4:4 G4:4 E4:4 | D4:8 D4:8";
const char* const CHORUS = "A4:8 A4:8 | A4:4 D4:4 F4:4 A4:4 | G4:8 G4:8 | G4:4 C4:4 E4:4 G4:4 |"
                           "A4:8 A4:8 | A4:4 B4:4 C5:4 D5:4 | C5:4 A4:4 G4:4 E4:4 | D4:8 D4:8";

// The sections, in beats: an intro of two bars, the verse, the chorus, the instrumental, the end.
constexpr std::uint32_t VERSE_AT = 2 * BAR;
constexpr std::uint32_t CHORUS_AT = 10 * BAR;
constexpr std::uint32_t SOLO_AT = 18 * BAR;
constexpr std::uint32_t END_AT = 26 * BAR;

// Lays p_Steps on p_Part from p_Pos a diatonic third below the tune (an octave above the written
// notes, as the melody sounds).
void ThirdBelow(Part& p_Part, std::uint32_t p_Pos, const std::vector<Step>& p_Steps, int p_Volume, int p_Pan,
                Envelope p_Envelope)
{
    for (const Step& l_Step : p_Steps) {
        p_Part.Shaped(p_Pos, DiatonicShift(l_Step.note + 12, D_DORIAN, -2), l_Step.length, p_Volume, p_Pan,
                      p_Envelope);
        p_Pos += l_Step.length;
    }
}

// Melody, an octave above the written tune: the accordion sings verse and chorus, with the fiddle
// a third below it in the chorus; in the instrumental the whistle takes the tune over an accordion
// harmony a third below.
void WriteTune(Part& p_Lead, Part& p_Fiddle, Part& p_Whistle)
{
    const std::vector<Step> l_VerseSteps = ParsePhrase(VERSE);
    const std::vector<Step> l_ChorusSteps = ParsePhrase(CHORUS);
    p_Lead.Phrase(VERSE_AT, l_VerseSteps, 165, 6, Envelope::Decay, 12);
    p_Lead.Phrase(CHORUS_AT, l_ChorusSteps, 170, 6, Envelope::Decay, 12);
    p_Whistle.Phrase(SOLO_AT, l_VerseSteps, 165, 4, Envelope::Decay, 12);
    ThirdBelow(p_Fiddle, CHORUS_AT, l_ChorusSteps, 110, 9, Envelope::Hairpin);
    ThirdBelow(p_Lead, SOLO_AT, l_VerseSteps, 120, 8, Envelope::Decay);
}

// Oom-pah: tuba on the strong beats, organ chords after them; in the chorus the bass walks in
// quarters and the organ pushes every off-beat eighth. The steel drum and, in the instrumental,
// the fiddle join them.
void WriteAccompaniment(Song& p_Song, Part& p_Fiddle, const std::vector<Harmony>& p_Harmony)
{
    Part l_Chords[3] = {Part(p_Song, 2, 23), Part(p_Song, 3, 23), Part(p_Song, 4, 23)};  // organ
    Part l_Bass(p_Song, 5, 40);                                                          // tuba
    Part l_Steel(p_Song, 7, 70);                                                         // steel drum
    const std::vector<std::array<int, 3>> l_Voicings = VoiceLead(p_Harmony, 53);
    const int l_ChordPans[3] = {4, 6, 8};
    for (std::size_t l_I = 0; l_I < p_Harmony.size(); ++l_I) {
        const Harmony& l_H = p_Harmony[l_I];
        const bool l_InChorus = l_H.pos >= CHORUS_AT && l_H.pos < SOLO_AT;
        const int l_Root = RootAbove(l_H.chord, 24);  // C2 to B2
        if (l_InChorus) {
            const int l_Walk[4] = {0, 7, 12, 7};
            for (int l_K = 0; l_K < 4; ++l_K) {
                l_Bass.Shaped(l_H.pos + 4 * l_K, l_Root + l_Walk[l_K], 3, 175, 6, Envelope::Pluck);
            }
        } else {
            l_Bass.Shaped(l_H.pos, l_Root, 3, 180, 6, Envelope::Pluck);
            l_Bass.Shaped(l_H.pos + 8, l_Root + 7, 3, 165, 6, Envelope::Pluck);
        }
        for (int l_V = 0; l_V < 3; ++l_V) {
            const int l_Note = l_Voicings[l_I][l_V];
            if (l_InChorus) {
                for (int l_K = 0; l_K < 4; ++l_K) {
                    l_Chords[l_V].Shaped(l_H.pos + 4 * l_K + 2, l_Note, 2, 90, l_ChordPans[l_V],
                                         Envelope::Pluck);
                }
            } else {
                l_Chords[l_V].Shaped(l_H.pos + 4, l_Note, 3, 95, l_ChordPans[l_V], Envelope::Pluck);
                l_Chords[l_V].Shaped(l_H.pos + 12, l_Note, 3, 95, l_ChordPans[l_V], Envelope::Pluck);
            }
        }
        // The steel drum answers the long notes of the chorus with a run down the chord.
        if (l_InChorus && ((l_H.pos - CHORUS_AT) / BAR) % 2 == 0) {
            const int l_Top = RootAbove(l_H.chord, 69);
            const std::array<int, 3> l_Pcs = l_H.chord.PitchClasses();
            const int l_Third = l_Top - 12 + (l_Pcs[1] - l_Pcs[0] + 12) % 12;
            const int l_Fifth = l_Top - 12 + (l_Pcs[2] - l_Pcs[0] + 12) % 12;
            const int l_Run[8] = {l_Top, l_Fifth, l_Third, l_Fifth, l_Top, l_Fifth, l_Third, l_Top - 12};
            for (int l_K = 0; l_K < 8; ++l_K) {
                l_Steel.Shaped(l_H.pos + 2 * l_K, l_Run[l_K], 2, 100, l_K % 2 ? 11 : 9, Envelope::Pluck);
            }
        }
        // In the instrumental the fiddle holds a slow line of chord thirds, swelling each bar.
        if (l_H.pos >= SOLO_AT) {
            const int l_Third = NoteAbove(l_H.chord.PitchClasses()[1], 52);
            p_Fiddle.Shaped(l_H.pos, l_Third, BAR, 95, 10, Envelope::Swell);
        }
    }
}

// Drums. Intro: kick and hats, then a snare pickup into the verse; then a bar at a time to the end.
void WriteDrums(Song& p_Song)
{
    Part l_Kick(p_Song, 8, 10);
    Part l_Snare(p_Song, 9, 3);
    Part l_Hat(p_Song, 10, 5);
    Part l_Tambourine(p_Song, 11, 6);
    Part l_Crash(p_Song, 12, 7);
    Part l_Clap(p_Song, 13, 8);
    Part l_Cowbell(p_Song, 14, 9);
    Part l_Toms(p_Song, 15, 11);
    l_Kick.Pattern(0, "X.......X.......", 40, 170);
    l_Kick.Pattern(BAR, "X.......X.......", 40, 170);
    l_Hat.Pattern(0, "x.x.x.x.x.x.x.x.", 43, 110);
    l_Hat.Pattern(BAR, "x.x.x.x.x.x.x.x.", 43, 110);
    l_Snare.Pattern(BAR, "....X.......XxXX", 41, 150);
    for (int l_Bar = 2; l_Bar < 26; ++l_Bar) {
        const std::uint32_t l_At = l_Bar * BAR;
        const bool l_InChorus = l_At >= CHORUS_AT && l_At < SOLO_AT;
        const bool l_InSolo = l_At >= SOLO_AT;
        if (l_At == VERSE_AT || l_At == CHORUS_AT || l_At == SOLO_AT) {
            l_Crash.Note(l_At, 41, 1, 150, 3);
        }
        if (l_InChorus) {
            l_Kick.Pattern(l_At, "X...X...X...X...", 40, 170);
            l_Clap.Pattern(l_At, "....X.......X...", 41, 140, 7);
            l_Tambourine.Pattern(l_At, "..x...x...x...x.", 44, 100, 8);
        } else {
            l_Kick.Pattern(l_At, "X.......X.....x.", 40, 170);
            l_Hat.Pattern(l_At, l_InSolo ? "xoxoxoxoxoxoxoxo" : "x.x.x.x.x.x.x.x.", 43, 110);
        }
        if (l_InSolo) {
            l_Cowbell.Pattern(l_At, "..x...x...x...x.", 41, 90, 4);
        }
        if (l_Bar == 9 || l_Bar == 17 || l_Bar == 25) {
            l_Snare.Pattern(l_At, "....X...........", 41, 150);
            l_Toms.Pattern(l_At, "........X.X.XxXx", {46, 45, 43, 42, 40, 38}, 160);
        } else {
            l_Snare.Pattern(l_At, "....X.......X...", 41, 150);
        }
    }
}

}  // namespace

Song DrunkenSailor()
{
    Song l_Song;
    l_Song.fileName = "drunken-sailor.org";
    l_Song.title = "Drunken Sailor";
    l_Song.tempo = 100;
    l_Song.layout = Org::_4_4;
    l_Song.loopStart = VERSE_AT;
    l_Song.loopStop = END_AT;
    Part l_Lead(l_Song, 0, 58);     // accordion
    Part l_Fiddle(l_Song, 1, 47);   // violin
    Part l_Whistle(l_Song, 6, 95);  // breathy flute
    const char* const l_Round = "Dm Dm C C Dm Dm C Dm";
    const std::vector<Harmony> l_Harmony =
        Progression(0, std::string("Dm Dm ") + l_Round + " " + l_Round + " " + l_Round, BAR);
    WriteTune(l_Lead, l_Fiddle, l_Whistle);
    WriteAccompaniment(l_Song, l_Fiddle, l_Harmony);
    WriteDrums(l_Song);
    SortEvents(l_Song);
    return l_Song;
}

}  // namespace SongGen
