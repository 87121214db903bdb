#include "Composer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace SongGen {

namespace {

int PitchClass(char p_Letter)
{
    switch (p_Letter) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: throw std::invalid_argument(std::string("not a note letter: ") + p_Letter);
    }
}

// Bar lines only help the reader: they become spaces.
std::string WithoutBars(std::string p_Text)
{
    std::replace(p_Text.begin(), p_Text.end(), '|', ' ');
    return p_Text;
}

int Modulo12(int p_Value)
{
    return ((p_Value % 12) + 12) % 12;
}

std::uint8_t Clamp(int p_Value, int p_Low, int p_High)
{
    return static_cast<std::uint8_t>(std::min(std::max(p_Value, p_Low), p_High));
}

// The level (a fraction of the loudest) at beat p_Beat of a note of p_Length beats, or -1
// where the envelope leaves the level as it is.
double EnvelopeLevel(Envelope p_Envelope, int p_Beat, int p_Length)
{
    switch (p_Envelope) {
    case Envelope::Flat:
        return p_Beat == 0 ? 1.0 : -1.0;
    case Envelope::Pluck:
        return p_Beat == 0 ? 1.0 : 0.75 * std::pow(0.88, p_Beat - 1);
    case Envelope::Decay:
        return p_Beat % 2 == 0 ? std::max(0.6, std::pow(0.93, p_Beat / 2)) : -1.0;
    case Envelope::Swell:
        return p_Beat % 2 == 0 ? 0.55 + 0.45 * p_Beat / std::max(1, p_Length - 1) : -1.0;
    case Envelope::Hairpin: {
        if (p_Beat % 2 != 0) {
            return -1.0;
        }
        const double l_Half = p_Length / 2.0;
        return 0.7 + 0.3 * (1.0 - std::fabs(p_Beat - l_Half) / l_Half);
    }
    }
    return -1.0;
}

}  // namespace

int NoteNumber(const std::string& p_Name)
{
    if (p_Name.size() < 2) {
        throw std::invalid_argument("not a note: " + p_Name);
    }
    int l_Pc = PitchClass(p_Name[0]);
    std::size_t l_At = 1;
    if (p_Name[l_At] == '#') {
        ++l_Pc;
        ++l_At;
    } else if (p_Name[l_At] == 'b') {
        --l_Pc;
        ++l_At;
    }
    if (l_At + 1 != p_Name.size() || p_Name[l_At] < '0' || p_Name[l_At] > '7') {
        throw std::invalid_argument("not a note: " + p_Name);
    }
    return 12 * (p_Name[l_At] - '0') + l_Pc;
}

std::array<int, 3> Chord::PitchClasses() const
{
    return {Modulo12(root), Modulo12(root + (minor ? 3 : 4)), Modulo12(root + 7)};
}

bool Chord::Contains(int p_Note) const
{
    const std::array<int, 3> l_Pcs = PitchClasses();
    return std::find(l_Pcs.begin(), l_Pcs.end(), Modulo12(p_Note)) != l_Pcs.end();
}

Chord ParseChord(const std::string& p_Name)
{
    if (p_Name.empty()) {
        throw std::invalid_argument("empty chord name");
    }
    Chord l_Chord;
    l_Chord.root = PitchClass(p_Name[0]);
    std::size_t l_At = 1;
    if (l_At < p_Name.size() && (p_Name[l_At] == '#' || p_Name[l_At] == 'b')) {
        l_Chord.root = Modulo12(l_Chord.root + (p_Name[l_At] == '#' ? 1 : -1));
        ++l_At;
    }
    if (l_At < p_Name.size() && p_Name[l_At] == 'm') {
        l_Chord.minor = true;
        ++l_At;
    }
    if (l_At != p_Name.size()) {
        throw std::invalid_argument("not a chord: " + p_Name);
    }
    return l_Chord;
}

std::vector<Harmony> Progression(std::uint32_t p_Start, const std::string& p_Text, int p_BarLength)
{
    std::istringstream l_In(WithoutBars(p_Text));
    std::vector<Harmony> l_Harmony;
    std::string l_Bar;
    std::uint32_t l_Pos = p_Start;
    while (l_In >> l_Bar) {
        std::vector<std::string> l_Names;
        std::istringstream l_Split(l_Bar);
        std::string l_Name;
        while (std::getline(l_Split, l_Name, ',')) {
            l_Names.push_back(l_Name);
        }
        const int l_Each = p_BarLength / static_cast<int>(l_Names.size());
        for (const std::string& l_Chord : l_Names) {
            l_Harmony.push_back({l_Pos, l_Each, ParseChord(l_Chord)});
            l_Pos += static_cast<std::uint32_t>(l_Each);
        }
    }
    return l_Harmony;
}

const Chord& ChordAt(const std::vector<Harmony>& p_Harmony, std::uint32_t p_Pos)
{
    if (p_Harmony.empty()) {
        throw std::invalid_argument("no harmony");
    }
    const Harmony* l_Found = &p_Harmony.front();
    for (const Harmony& l_Harmony : p_Harmony) {
        if (l_Harmony.pos <= p_Pos) {
            l_Found = &l_Harmony;
        }
    }
    return l_Found->chord;
}

int NoteAbove(int p_PitchClass, int p_Low)
{
    return p_Low + Modulo12(p_PitchClass - p_Low);
}

int RootAbove(const Chord& p_Chord, int p_Low)
{
    return NoteAbove(p_Chord.root, p_Low);
}

std::vector<std::array<int, 3>> VoiceLead(const std::vector<Harmony>& p_Harmony, int p_Centre)
{
    std::vector<std::array<int, 3>> l_Voicings;
    std::array<int, 3> l_Previous = {p_Centre - 4, p_Centre, p_Centre + 4};
    for (const Harmony& l_Harmony : p_Harmony) {
        const std::array<int, 3> l_Pcs = l_Harmony.chord.PitchClasses();
        std::array<int, 3> l_Best{};
        int l_BestCost = -1;
        // Every close position (root, first and second inversion) whose bottom lies within an
        // octave around the previous bottom voice.
        for (int l_Bottom = l_Previous[0] - 6; l_Bottom <= l_Previous[0] + 6; ++l_Bottom) {
            for (int l_Inversion = 0; l_Inversion < 3; ++l_Inversion) {
                if (Modulo12(l_Bottom) != l_Pcs[l_Inversion]) {
                    continue;
                }
                std::array<int, 3> l_Voices{};
                l_Voices[0] = l_Bottom;
                for (int l_V = 1; l_V < 3; ++l_V) {
                    const int l_Pc = l_Pcs[(l_Inversion + l_V) % 3];
                    l_Voices[l_V] = l_Voices[l_V - 1] + 1 + Modulo12(l_Pc - l_Voices[l_V - 1] - 1);
                }
                int l_Cost = 0;
                for (int l_V = 0; l_V < 3; ++l_V) {
                    l_Cost += std::abs(l_Voices[l_V] - l_Previous[l_V]);
                }
                // Stay near the centre over a long progression.
                l_Cost += std::abs(l_Voices[1] - p_Centre) / 2;
                if (l_BestCost < 0 || l_Cost < l_BestCost) {
                    l_BestCost = l_Cost;
                    l_Best = l_Voices;
                }
            }
        }
        l_Voicings.push_back(l_Best);
        l_Previous = l_Best;
    }
    return l_Voicings;
}

int ChordToneBelow(const Chord& p_Chord, int p_Note)
{
    for (int l_Candidate = p_Note - 3; l_Candidate > p_Note - 15; --l_Candidate) {
        if (p_Chord.Contains(l_Candidate)) {
            return l_Candidate;
        }
    }
    return p_Note - 12;
}

int DiatonicShift(int p_Note, const std::vector<int>& p_Scale, int p_Steps)
{
    // Walk down to the nearest scale note, then step along the scale.
    int l_Note = p_Note;
    while (std::find(p_Scale.begin(), p_Scale.end(), Modulo12(l_Note)) == p_Scale.end()) {
        --l_Note;
    }
    const int l_Direction = p_Steps < 0 ? -1 : 1;
    for (int l_Step = 0; l_Step != p_Steps; l_Step += l_Direction) {
        do {
            l_Note += l_Direction;
        } while (std::find(p_Scale.begin(), p_Scale.end(), Modulo12(l_Note)) == p_Scale.end());
    }
    return l_Note;
}

std::vector<Step> ParsePhrase(const std::string& p_Text)
{
    std::istringstream l_In(WithoutBars(p_Text));
    std::vector<Step> l_Steps;
    std::string l_Token;
    while (l_In >> l_Token) {
        const std::size_t l_Colon = l_Token.find(':');
        if (l_Colon == std::string::npos) {
            throw std::invalid_argument("a phrase step needs a length: " + l_Token);
        }
        const std::string l_Name = l_Token.substr(0, l_Colon);
        const int l_Length = std::stoi(l_Token.substr(l_Colon + 1));
        if (l_Length <= 0 || l_Length > 255) {
            throw std::invalid_argument("bad length in " + l_Token);
        }
        l_Steps.push_back({l_Name == "r" ? -1 : NoteNumber(l_Name), l_Length});
    }
    return l_Steps;
}

Part::Part(Song& p_Song, int p_Track, std::uint8_t p_Sample) : Target(p_Song.tracks.at(p_Track))
{
    Target.id = p_Sample;
}

void Part::Note(std::uint32_t p_Pos, int p_Note, int p_Length, int p_Volume, int p_Pan)
{
    Event l_Event;
    l_Event.pos = p_Pos;
    l_Event.note = Clamp(p_Note, 0, 255);
    l_Event.length = Clamp(p_Length, 1, 255);
    l_Event.volume = Clamp(p_Volume, 0, 254);
    l_Event.pan = static_cast<std::uint8_t>(p_Pan);
    Target.events.push_back(l_Event);
}

void Part::Change(std::uint32_t p_Pos, int p_Volume, int p_Pan)
{
    Event l_Event;
    l_Event.pos = p_Pos;
    // The note column of a change is not read; it repeats the held note for readability.
    l_Event.note = Target.events.empty() ? 0 : Target.events.back().note;
    l_Event.length = 0;
    l_Event.volume = Clamp(p_Volume, 0, 254);
    l_Event.pan = static_cast<std::uint8_t>(p_Pan);
    Target.events.push_back(l_Event);
}

void Part::Shaped(std::uint32_t p_Pos, int p_Note, int p_Length, int p_Volume, int p_Pan, Envelope p_Envelope)
{
    int l_Last = static_cast<int>(std::lround(p_Volume * EnvelopeLevel(p_Envelope, 0, p_Length)));
    Note(p_Pos, p_Note, p_Length, l_Last, p_Pan);
    for (int l_Beat = 1; l_Beat < p_Length; ++l_Beat) {
        const double l_Level = EnvelopeLevel(p_Envelope, l_Beat, p_Length);
        if (l_Level < 0.0) {
            continue;
        }
        const int l_Volume = static_cast<int>(std::lround(p_Volume * l_Level));
        if (l_Volume != l_Last) {
            Change(p_Pos + l_Beat, l_Volume);
            l_Last = l_Volume;
        }
    }
}

std::uint32_t Part::Phrase(std::uint32_t p_Pos, const std::vector<Step>& p_Steps, int p_Volume, int p_Pan,
                           Envelope p_Envelope, int p_Transpose)
{
    for (const Step& l_Step : p_Steps) {
        if (l_Step.note >= 0) {
            Shaped(p_Pos, l_Step.note + p_Transpose, l_Step.length, p_Volume, p_Pan, p_Envelope);
        }
        p_Pos += l_Step.length;
    }
    return p_Pos;
}

void Part::Pattern(std::uint32_t p_Pos, const std::string& p_Pattern, int p_Note, int p_Loud, int p_Pan)
{
    Pattern(p_Pos, p_Pattern, std::vector<int>{p_Note}, p_Loud, p_Pan);
}

void Part::Pattern(std::uint32_t p_Pos, const std::string& p_Pattern, const std::vector<int>& p_Notes, int p_Loud,
                   int p_Pan)
{
    std::size_t l_Hits = 0;
    for (std::size_t l_Beat = 0; l_Beat < p_Pattern.size(); ++l_Beat) {
        const char l_Hit = p_Pattern[l_Beat];
        const double l_Level = l_Hit == 'X' ? 1.0 : l_Hit == 'x' ? 0.75 : l_Hit == 'o' ? 0.5 : 0.0;
        if (l_Level > 0.0) {
            const int l_Note = p_Notes.at(std::min(l_Hits, p_Notes.size() - 1));
            Note(p_Pos + static_cast<std::uint32_t>(l_Beat), l_Note, 1, static_cast<int>(std::lround(p_Loud * l_Level)),
                 p_Pan);
            ++l_Hits;
        }
    }
}

void SortEvents(Song& p_Song)
{
    for (Track& l_Track : p_Song.tracks) {
        std::stable_sort(l_Track.events.begin(), l_Track.events.end(),
                         [](const Event& p_A, const Event& p_B) { return p_A.pos < p_B.pos; });
    }
}

}  // namespace SongGen
