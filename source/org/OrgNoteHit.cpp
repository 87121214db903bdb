// Note lookup: what a track plays at one beat.
#include "OrgSong.h"

#include <cstdint>
#include <iterator>
#include <map>

namespace Org {

namespace {

float PanOf(std::uint8_t p_Byte) { return static_cast<float>(p_Byte / 6.0 - 1.0); }

// The beats an event sounds on run from its position up to this one, exclusive: none for
// length 0, and only its own beat for a note that would run past the last beat a 32-bit clock
// can reach (the 32-bit sum of its position and length wraps round below it).
std::uint64_t SoundingEnd(std::uint32_t p_Pos, std::uint8_t p_Length)
{
    const std::uint64_t l_End = std::uint64_t{p_Pos} + p_Length;
    return p_Length == 0 ? p_Pos : (l_End > UINT32_MAX ? std::uint64_t{p_Pos} + 1 : l_End);
}

}  // namespace

SampleData OrgSong::GetNoteHit(int instrument)
{
    // Beats past 2^31 wrap to negative ints here and back to the same 32-bit beat below.
    return GetNoteHit(instrument, static_cast<int>(static_cast<std::uint32_t>(GetCursor())));
}

SampleData OrgSong::GetNoteHit(int instrument, int pcursor)
{
    SampleData l_Hit = {};
    l_Hit.instrument = instrument;
    if (instrument < 0 || instrument >= TRACK_COUNT)
        return l_Hit;

    const std::uint32_t l_Beat = static_cast<std::uint32_t>(pcursor);
    const std::vector<std::uint32_t>& l_Pos = notepos[instrument];
    const std::vector<std::uint8_t>& l_Len = notelength[instrument];
    const std::vector<std::uint8_t>& l_Vol = notevolume[instrument];
    const std::vector<std::uint8_t>& l_Pan = notepan[instrument];
    const std::size_t l_Count = UsableEvents(instrument);

    // The first event, in index order, that starts at the beat or still covers it wins.
    for (std::size_t i = 0; i < l_Count; ++i) {
        const std::uint8_t l_Length = l_Len[i];
        if (l_Pos[i] > l_Beat || l_Beat >= SoundingEnd(l_Pos[i], l_Length))
            continue;
        if (l_Pos[i] == l_Beat) {
            l_Hit.note = notenote[instrument][i];
            l_Hit.length = l_Length;
            l_Hit.volume = l_Vol[i];
            l_Hit.pan = l_Pan[i] == NO_PAN ? 0.0f : PanOf(l_Pan[i]);
            l_Hit.playing = 1;
        } else {
            // Still sounding. The latest later event that has begun (within the next
            // l_Length events) changes the held note's volume and pan.
            std::size_t l_Change = 0;
            for (std::size_t j = i + l_Length; j > i; --j) {
                if (j < l_Count && l_Pos[j] <= l_Beat) {
                    l_Change = j;
                    break;
                }
            }
            l_Hit.note = notenote[instrument][i];
            if (l_Change != 0) {
                l_Hit.length = static_cast<int>(l_Pos[i] + l_Length - l_Beat);
                l_Hit.volume = l_Vol[l_Change];
                const std::uint8_t l_PanByte = l_Pan[l_Change] != NO_PAN ? l_Pan[l_Change] : l_Pan[i];
                l_Hit.pan = l_PanByte == NO_PAN ? 0.0f : PanOf(l_PanByte);
            } else {
                l_Hit.length = 1;
                l_Hit.volume = l_Vol[i];
                l_Hit.pan = l_Pan[i] == NO_PAN ? 0.0f : PanOf(l_Pan[i]);
            }
            l_Hit.playing = 2;
        }
        l_Hit.pitch = instruments[instrument].pitch;
        l_Hit.sample = instruments[instrument].id;
        l_Hit.loop = instruments[instrument].noloop == 0 ? 1 : 0;
        return l_Hit;
    }
    return l_Hit;
}

std::vector<bool> OrgSong::NoteStarts(int p_Track) const
{
    if (p_Track < 0 || p_Track >= TRACK_COUNT)
        return {};
    const std::size_t l_Count = UsableEvents(p_Track);
    std::vector<bool> l_Starts(l_Count, false);
    // The beats the events so far sound on, as disjoint runs [start, end) keyed by their start:
    // an event starts a note when no earlier event sounds on its beat.
    std::map<std::uint64_t, std::uint64_t> l_Sounding;
    for (std::size_t i = 0; i < l_Count; ++i) {
        const std::uint64_t l_Start = notepos[p_Track][i];
        std::uint64_t l_End = SoundingEnd(notepos[p_Track][i], notelength[p_Track][i]);
        if (l_End == l_Start)
            continue;
        auto l_After = l_Sounding.upper_bound(l_Start);
        const bool l_Covered = l_After != l_Sounding.begin() && std::prev(l_After)->second > l_Start;
        l_Starts[i] = !l_Covered;
        // Merges this event's run with those it touches.
        std::uint64_t l_From = l_Start;
        if (l_After != l_Sounding.begin() && std::prev(l_After)->second >= l_Start) {
            l_From = std::prev(l_After)->first;
            l_End = std::max(l_End, std::prev(l_After)->second);
            l_Sounding.erase(std::prev(l_After));
        }
        while (l_After != l_Sounding.end() && l_After->first <= l_End) {
            l_End = std::max(l_End, l_After->second);
            l_After = l_Sounding.erase(l_After);
        }
        l_Sounding[l_From] = l_End;
    }
    return l_Starts;
}

}  // namespace Org
