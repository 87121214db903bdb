// "Harbour Lights": our own tune. Pop-style verse (A), a bridge (B) and the verse again with a
// harmony voice (A'); 130 quarter notes a minute, sixteenth-note beats.
#include "Composer.h"
#include "Songs.h"

namespace SongGen {

namespace {

constexpr int BAR = 16;
const std::vector<int> D_MAJOR = {2, 4, 6, 7, 9, 11, 1};

const char* const VERSE =
    "F#5:3 E5:1 D5:4 A5:6 F#5:2 | E5:6 C#5:2 A4:8 | B4:3 C#5:1 D5:4 F#5:6 D5:2 | G5:6 F#5:2 E5:4 D5:4 |"
    "F#5:3 E5:1 D5:4 A5:6 B5:2 | C#6:6 B5:2 A5:8 | B5:4 A5:2 G5:2 F#5:4 E5:4 |";
const char* const VERSE_OPEN_END = "E5:8 r:4 A4:2 C#5:2";
const char* const VERSE_CLOSED_END = "D5:12 r:4";
const char* const BRIDGE =
    "D5:2 G5:4 B5:4 A5:2 G5:4 | C#5:2 E5:4 A5:4 G5:2 F#5:2 E5:2 | F#5:6 E5:2 C#5:8 | D5:2 F#5:4 B5:6 A5:4 |"
    "G5:6 F#5:2 G5:4 B5:4 | A5:6 G5:2 F#5:4 E5:4 | G5:4 F#5:4 E5:4 D5:4 | C#5:8 E5:4 A4:4";

// The sections, in beats: an intro of two bars, the verse, the bridge, the reprise, the end.
constexpr std::uint32_t VERSE_AT = 2 * BAR;
constexpr std::uint32_t BRIDGE_AT = 10 * BAR;
constexpr std::uint32_t REPRISE_AT = 18 * BAR;
constexpr std::uint32_t END_AT = 26 * BAR;

// Melody: the verse, the bridge (doubled an octave up by the bells), the verse again with a
// clarinet a diatonic third below it.
void WriteTune(Song& p_Song)
{
    Part l_Lead(p_Song, 0, 12);      // pulse 25%
    Part l_Clarinet(p_Song, 1, 54);  // clarinet
    Part l_Bells(p_Song, 7, 61);     // glockenspiel
    std::vector<Step> l_Verse1 = ParsePhrase(std::string(VERSE) + VERSE_OPEN_END);
    std::vector<Step> l_Verse2 = ParsePhrase(std::string(VERSE) + VERSE_CLOSED_END);
    const std::vector<Step> l_BridgeSteps = ParsePhrase(BRIDGE);
    l_Lead.Phrase(VERSE_AT, l_Verse1, 170, 7, Envelope::Decay);
    l_Lead.Phrase(BRIDGE_AT, l_BridgeSteps, 175, 7, Envelope::Decay);
    l_Lead.Phrase(REPRISE_AT, l_Verse2, 180, 7, Envelope::Decay);
    l_Bells.Phrase(BRIDGE_AT, l_BridgeSteps, 80, 10, Envelope::Pluck, 12);
    std::uint32_t l_Pos = REPRISE_AT;
    for (const Step& l_Step : l_Verse2) {
        if (l_Step.note >= 0) {
            l_Clarinet.Shaped(l_Pos, DiatonicShift(l_Step.note, D_MAJOR, -2), l_Step.length, 120, 3,
                              Envelope::Decay);
        }
        l_Pos += l_Step.length;
    }
}

// Pads: one voice per track, moving as little as possible between chords. In the intro they
// swell in, and the top voice drifts from the centre to the right.
void WritePads(Song& p_Song, const std::vector<Harmony>& p_Harmony)
{
    Part l_Pads[3] = {Part(p_Song, 2, 51), Part(p_Song, 3, 51), Part(p_Song, 4, 82)};  // strings, choir
    const std::vector<std::array<int, 3>> l_Voicings = VoiceLead(p_Harmony, 55);
    const int l_PadPans[3] = {3, 6, 9};
    for (std::size_t l_I = 0; l_I < p_Harmony.size(); ++l_I) {
        const Harmony& l_H = p_Harmony[l_I];
        for (int l_V = 0; l_V < 3; ++l_V) {
            const int l_Volume = l_V == 2 ? 85 : 95;
            if (l_H.pos < VERSE_AT) {
                l_Pads[l_V].Note(l_H.pos, l_Voicings[l_I][l_V], l_H.length, 30, 6);
                for (int l_Beat = 2; l_Beat < l_H.length; l_Beat += 2) {
                    const int l_Since = static_cast<int>(l_H.pos) + l_Beat;  // beats since the start
                    l_Pads[l_V].Change(l_H.pos + l_Beat, 30 + 2 * l_Since,
                                       l_V == 2 ? 6 + l_Since / 10 : PAN_NONE);
                }
            } else {
                l_Pads[l_V].Shaped(l_H.pos, l_Voicings[l_I][l_V], l_H.length, l_Volume, l_PadPans[l_V],
                                   Envelope::Hairpin);
            }
        }
    }
}

// Bass: driving eighths in the verses (root, octave, fifth), a dotted figure in the bridge.
void WriteBass(Song& p_Song, const std::vector<Harmony>& p_Harmony)
{
    Part l_Bass(p_Song, 5, 85);  // fm bass
    const int l_VerseFigure[8] = {0, 0, 12, 0, 0, 0, 12, 7};
    for (const Harmony& l_H : p_Harmony) {
        const int l_Root = RootAbove(l_H.chord, 26);  // D2 to C#3
        if (l_H.pos < BAR) {
            continue;  // the bass enters in the second intro bar
        }
        if (l_H.pos >= BRIDGE_AT && l_H.pos < REPRISE_AT) {
            const int l_Lengths[6] = {3, 3, 2, 3, 3, 2};
            const int l_Offsets[6] = {0, 0, 0, 0, 0, 12};
            std::uint32_t l_At = l_H.pos;
            for (int l_K = 0; l_K < 6; ++l_K) {
                l_Bass.Shaped(l_At, l_Root + l_Offsets[l_K], l_Lengths[l_K], 175, 6, Envelope::Pluck);
                l_At += l_Lengths[l_K];
            }
        } else {
            for (int l_K = 0; l_K < l_H.length / 2; ++l_K) {
                l_Bass.Shaped(l_H.pos + 2 * l_K, l_Root + l_VerseFigure[l_K], 2, 170, 6, Envelope::Pluck);
            }
        }
    }
}

// Electric piano arpeggios in the bridge and the reprise, bouncing between left and right.
void WriteKeys(Song& p_Song, const std::vector<Harmony>& p_Harmony)
{
    Part l_Keys(p_Song, 6, 66);  // electric piano
    const int l_ArpOrder[8] = {0, 1, 2, 3, 2, 1, 0, 1};
    for (const Harmony& l_H : p_Harmony) {
        if (l_H.pos < BRIDGE_AT) {
            continue;
        }
        const int l_Root = RootAbove(l_H.chord, 57);  // A4 to G#5: between the pads and the tune
        const std::array<int, 3> l_Pcs = l_H.chord.PitchClasses();
        const int l_Tones[4] = {l_Root, l_Root + ((l_Pcs[1] - l_Pcs[0] + 12) % 12),
                                l_Root + ((l_Pcs[2] - l_Pcs[0] + 12) % 12), l_Root + 12};
        for (int l_K = 0; l_K < l_H.length / 2; ++l_K) {
            l_Keys.Shaped(l_H.pos + 2 * l_K, l_Tones[l_ArpOrder[l_K]], 2, 85, l_K % 2 ? 9 : 3,
                          Envelope::Pluck);
        }
    }
}

// Drums. Intro: hats alone, then kick and a tom fill into the verse; then a bar at a time to the end.
void WriteDrums(Song& p_Song)
{
    Part l_Kick(p_Song, 8, 0);
    Part l_Snare(p_Song, 9, 2);
    Part l_Hat(p_Song, 10, 5);
    Part l_OpenHat(p_Song, 11, 6);
    Part l_Crash(p_Song, 12, 7);
    Part l_Tom(p_Song, 13, 4);
    Part l_Clap(p_Song, 14, 8);
    Part l_LowTom(p_Song, 15, 11);
    l_Hat.Pattern(0, "o.o.o.o.o.o.o.o.", 43, 110);
    l_Hat.Pattern(BAR, "x.x.x.x.x.x.....", 43, 110);
    l_Kick.Pattern(BAR, "X.......X.......", 40, 170);
    l_Tom.Pattern(BAR, "............Xx..", {47, 45}, 150, 4);
    l_LowTom.Pattern(BAR, "..............Xx", {42, 39}, 160, 8);
    for (int l_Bar = 2; l_Bar < 26; ++l_Bar) {
        const std::uint32_t l_At = l_Bar * BAR;
        const bool l_InBridge = l_At >= BRIDGE_AT && l_At < REPRISE_AT;
        const bool l_LastOfSection = l_Bar == 9 || l_Bar == 17 || l_Bar == 25;
        if (l_At == VERSE_AT || l_At == BRIDGE_AT || l_At == REPRISE_AT) {
            l_Crash.Note(l_At, 41, 1, 150, 9);
        }
        if (l_InBridge) {
            l_Kick.Pattern(l_At, "X...X...X...X...", 40, 170);
            l_Hat.Pattern(l_At, "x...x...x...x...", 43, 100);
            l_OpenHat.Pattern(l_At, "..x...x...x...x.", 42, 100, 8);
            l_Clap.Pattern(l_At, "....X.......X...", 41, 140, 5);
        } else {
            l_Kick.Pattern(l_At, "X.....x.X.......", 40, 170);
            l_Hat.Pattern(l_At, l_Bar >= 18 ? "xoxoxoxoxoxoxoxo" : "x.o.x.o.x.o.x.o.", 43, 110);
            if (l_Bar % 2 == 1) {
                l_OpenHat.Pattern(l_At, "..............x.", 42, 100, 8);
            }
            if (l_Bar >= 18) {
                l_Clap.Pattern(l_At, "....x.......x...", 41, 140, 5);
            }
        }
        if (!l_LastOfSection) {
            l_Snare.Pattern(l_At, "....X.......X...", 41, 150);
        } else if (l_Bar == 17) {
            l_Snare.Pattern(l_At, "....X.......XxXX", 41, 150);
        } else {
            l_Snare.Pattern(l_At, "....X...........", 41, 150);
            l_Tom.Pattern(l_At, "............Xx..", {47, 45}, 150, 4);
            l_LowTom.Pattern(l_At, "..............Xx", {42, 39}, 160, 8);
        }
    }
}

}  // namespace

Song HarbourLights()
{
    Song l_Song;
    l_Song.fileName = "harbour-lights.org";
    l_Song.title = "Harbour Lights";
    l_Song.tempo = 115;
    l_Song.layout = Org::_4_4;
    l_Song.loopStart = VERSE_AT;
    l_Song.loopStop = END_AT;
    const std::vector<Harmony> l_Harmony =
        Progression(0, "G A | D A Bm G D A G A | G A F#m Bm G A Em A | D A Bm G D A G,A D", BAR);
    WriteTune(l_Song);
    WritePads(l_Song, l_Harmony);
    WriteBass(l_Song, l_Harmony);
    WriteKeys(l_Song, l_Harmony);
    WriteDrums(l_Song);
    SortEvents(l_Song);
    return l_Song;
}

}  // namespace SongGen
