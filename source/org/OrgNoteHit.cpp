// Note lookup: what a track plays at one beat.
#include "OrgSong.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <utility>

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

// Appends a run, unless it only goes on with the last one, which then lasts on.
void AddRun(std::vector<OrgSong::SoundRun>& p_Runs, const OrgSong::SoundRun& p_Run)
{
    const OrgSong::SoundRun* l_Last = p_Runs.empty() ? nullptr : &p_Runs.back();
    if (p_Run.struck || l_Last == nullptr || l_Last->end != p_Run.pos || l_Last->note != p_Run.note ||
        l_Last->volume != p_Run.volume || l_Last->pan != p_Run.pan)
        p_Runs.push_back(p_Run);
}

}  // namespace

SampleData OrgSong::GetNoteHit(int instrument)
{
    // Beats past 2^31 wrap to negative ints here and back to the same 32-bit beat below.
    return GetNoteHit(instrument, static_cast<int>(static_cast<std::uint32_t>(GetCursor())));
}

OrgSong::Heard OrgSong::HeardAt(int p_Track, std::size_t p_Event, std::size_t p_Count,
                                std::uint32_t p_Beat) const
{
    const std::vector<std::uint32_t>& l_Pos = notepos[p_Track];
    const std::uint8_t l_Length = notelength[p_Track][p_Event];
    Heard l_Heard = {1, l_Length, notenote[p_Track][p_Event], notevolume[p_Track][p_Event],
                     notepan[p_Track][p_Event]};
    if (l_Pos[p_Event] == p_Beat)
        return l_Heard;
    // Still sounding. The latest later event that has begun (within the next l_Length events)
    // changes the held note's volume and pan.
    l_Heard.playing = 2;
    l_Heard.length = 1;
    for (std::size_t j = p_Event + l_Length; j > p_Event; --j) {
        if (j < p_Count && l_Pos[j] <= p_Beat) {
            l_Heard.length = static_cast<int>(l_Pos[p_Event] + l_Length - p_Beat);
            l_Heard.volume = notevolume[p_Track][j];
            if (notepan[p_Track][j] != NO_PAN)
                l_Heard.pan = notepan[p_Track][j];
            break;
        }
    }
    return l_Heard;
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
    const std::size_t l_Count = UsableEvents(instrument);

    // The first event, in index order, that starts at the beat or still covers it wins.
    for (std::size_t i = 0; i < l_Count; ++i) {
        if (l_Pos[i] > l_Beat || l_Beat >= SoundingEnd(l_Pos[i], l_Len[i]))
            continue;
        const Heard l_Heard = HeardAt(instrument, i, l_Count, l_Beat);
        l_Hit.note = l_Heard.note;
        l_Hit.length = l_Heard.length;
        l_Hit.volume = l_Heard.volume;
        l_Hit.pan = l_Heard.pan == NO_PAN ? 0.0f : PanOf(l_Heard.pan);
        l_Hit.playing = l_Heard.playing;
        l_Hit.pitch = instruments[instrument].pitch;
        l_Hit.sample = instruments[instrument].id;
        l_Hit.loop = instruments[instrument].noloop == 0 ? 1 : 0;
        return l_Hit;
    }
    return l_Hit;
}

std::vector<OrgSong::SoundRun> OrgSong::SoundRuns(int p_Track) const
{
    if (p_Track < 0 || p_Track >= TRACK_COUNT)
        return {};
    const std::size_t l_Count = UsableEvents(p_Track);
    // What sounds changes only on the beat of an event (of any length: one of length 0 can still
    // change a held note), at the end of one, and on the beat after a note is struck (a later event
    // may change its volume from there): a sweep over those beats keeps the events covering each,
    // in index order.
    std::vector<std::pair<std::uint64_t, std::size_t>> l_Starts, l_Ends;
    for (std::size_t i = 0; i < l_Count; ++i) {
        l_Starts.push_back({notepos[p_Track][i], i});
        const std::uint64_t l_End = SoundingEnd(notepos[p_Track][i], notelength[p_Track][i]);
        if (l_End != notepos[p_Track][i])
            l_Ends.push_back({l_End, i});
    }
    std::sort(l_Starts.begin(), l_Starts.end());
    std::sort(l_Ends.begin(), l_Ends.end());
    std::vector<SoundRun> l_Runs;
    if (l_Ends.empty())
        return l_Runs;
    std::set<std::size_t> l_Covering;
    bool l_Open = false;  // the last run lasts at least to the beat at hand
    std::size_t l_NextStart = 0, l_NextEnd = 0;
    for (std::uint64_t l_Beat = l_Starts.front().first;;) {
        for (; l_NextEnd < l_Ends.size() && l_Ends[l_NextEnd].first == l_Beat; ++l_NextEnd)
            l_Covering.erase(l_Ends[l_NextEnd].second);
        for (; l_NextStart < l_Starts.size() && l_Starts[l_NextStart].first == l_Beat; ++l_NextStart)
            if (notelength[p_Track][l_Starts[l_NextStart].second] != 0)
                l_Covering.insert(l_Starts[l_NextStart].second);
        if (l_Open)
            l_Runs.back().end = l_Beat;
        l_Open = !l_Covering.empty();
        if (l_Open) {
            const Heard l_Heard =
                HeardAt(p_Track, *l_Covering.begin(), l_Count, static_cast<std::uint32_t>(l_Beat));
            AddRun(l_Runs, {static_cast<std::uint32_t>(l_Beat), l_Beat, l_Heard.playing == 1, l_Heard.note,
                            l_Heard.volume, l_Heard.pan});
        }
        if (l_NextEnd == l_Ends.size())
            break;
        std::uint64_t l_Next = l_Ends[l_NextEnd].first;
        if (l_NextStart < l_Starts.size())
            l_Next = std::min(l_Next, l_Starts[l_NextStart].first);
        if (l_Open && l_Runs.back().struck && l_Runs.back().pos == l_Beat)
            l_Next = std::min(l_Next, l_Beat + 1);
        l_Beat = l_Next;
    }
    return l_Runs;
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
