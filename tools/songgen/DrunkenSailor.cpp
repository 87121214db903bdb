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

}  // namespace

Song DrunkenSailor()
{
    Song l_Song;
    l_Song.fileName = "drunken-sailor.org";
    l_Song.title = "Drunken Sailor";
    l_Song.tempo = 100;
    l_Song.layout = Org::_4_4;
    const std::uint32_t l_Verse = 2 * BAR;
    const std::uint32_t l_Chorus = 10 * BAR;
    const std::uint32_t l_Solo = 18 * BAR;
    const std::uint32_t l_End = 26 * BAR;
    l_Song.loopStart = l_Verse;
    l_Song.loopStop = l_End;

    Part l_Lead(l_Song, 0, 58);                                                          // accordion
    Part l_Fiddle(l_Song, 1, 47);                                                        // violin
    Part l_Chords[3] = {Part(l_Song, 2, 23), Part(l_Song, 3, 23), Part(l_Song, 4, 23)};  // organ
    Part l_Bass(l_Song, 5, 40);                                                          // tuba
    Part l_Whistle(l_Song, 6, 95);                                                       // breathy flute
    Part l_Steel(l_Song, 7, 70);                                                         // steel drum
    Part l_Kick(l_Song, 8, 10);
    Part l_Snare(l_Song, 9, 3);
    Part l_Hat(l_Song, 10, 5);
    Part l_Tambourine(l_Song, 11, 6);
    Part l_Crash(l_Song, 12, 7);
    Part l_Clap(l_Song, 13, 8);
    Part l_Cowbell(l_Song, 14, 9);
    Part l_Toms(l_Song, 15, 11);

    const char* const l_Round = "Dm Dm C C Dm Dm C Dm";
    const std::vector<Harmony> l_Harmony =
        Progression(0, std::string("Dm Dm ") + l_Round + " " + l_Round + " " + l_Round, BAR);

    // Melody, an octave above the written tune: the accordion sings verse and chorus, with the
    // fiddle a third below it in the chorus; in the instrumental the whistle takes the tune over
    // an accordion harmony a third below.
    const std::vector<Step> l_VerseSteps = ParsePhrase(VERSE);
    const std::vector<Step> l_ChorusSteps = ParsePhrase(CHORUS);
    l_Lead.Phrase(l_Verse, l_VerseSteps, 165, 6, Envelope::Decay, 12);
    l_Lead.Phrase(l_Chorus, l_ChorusSteps, 170, 6, Envelope::Decay, 12);
    l_Whistle.Phrase(l_Solo, l_VerseSteps, 165, 4, Envelope::Decay, 12);
    auto l_ThirdBelow = [&](Part& p_Part, std::uint32_t p_Pos, const std::vector<Step>& p_Steps, int p_Volume,
                            int p_Pan, Envelope p_Envelope) {
        for (const Step& l_Step : p_Steps) {
            p_Part.Shaped(p_Pos, DiatonicShift(l_Step.note + 12, D_DORIAN, -2), l_Step.length, p_Volume,
                          p_Pan, p_Envelope);
            p_Pos += l_Step.length;
        }
    };
    l_ThirdBelow(l_Fiddle, l_Chorus, l_ChorusSteps, 110, 9, Envelope::Hairpin);
    l_ThirdBelow(l_Lead, l_Solo, l_VerseSteps, 120, 8, Envelope::Decay);

    // Oom-pah: tuba on the strong beats, organ chords after them; in the chorus the bass walks
    // in quarters and the organ pushes every off-beat eighth.
    const std::vector<std::array<int, 3>> l_Voicings = VoiceLead(l_Harmony, 53);
    const int l_ChordPans[3] = {4, 6, 8};
    for (std::size_t l_I = 0; l_I < l_Harmony.size(); ++l_I) {
        const Harmony& l_H = l_Harmony[l_I];
        const bool l_InChorus = l_H.pos >= l_Chorus && l_H.pos < l_Solo;
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
        if (l_InChorus && ((l_H.pos - l_Chorus) / BAR) % 2 == 0) {
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
        if (l_H.pos >= l_Solo) {
            const int l_Third = NoteAbove(l_H.chord.PitchClasses()[1], 52);
            l_Fiddle.Shaped(l_H.pos, l_Third, BAR, 95, 10, Envelope::Swell);
        }
    }

    // Drums. Intro: kick and hats, then a snare pickup into the verse.
    l_Kick.Pattern(0, "X.......X.......", 40, 170);
    l_Kick.Pattern(BAR, "X.......X.......", 40, 170);
    l_Hat.Pattern(0, "x.x.x.x.x.x.x.x.", 43, 110);
    l_Hat.Pattern(BAR, "x.x.x.x.x.x.x.x.", 43, 110);
    l_Snare.Pattern(BAR, "....X.......XxXX", 41, 150);
    for (int l_Bar = 2; l_Bar < 26; ++l_Bar) {
        const std::uint32_t l_At = l_Bar * BAR;
        const bool l_InChorus = l_At >= l_Chorus && l_At < l_Solo;
        const bool l_InSolo = l_At >= l_Solo;
        if (l_At == l_Verse || l_At == l_Chorus || l_At == l_Solo) {
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

    SortEvents(l_Song);
    return l_Song;
}

}  // namespace SongGen
