#include "OrgSong.h"

#include "OrgLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Org {

namespace {

struct Preset
{
    SPBABPS id;
    std::uint8_t steps_bar;
    std::uint8_t beats_step;
};

constexpr Preset PRESETS[] = {
    {_2_4, 2, 4}, {_3_3, 3, 3}, {_3_4, 3, 4}, {_4_3, 4, 3},
    {_4_4, 4, 4}, {_6_3, 6, 3}, {_6_4, 6, 4}, {_8_4, 8, 4},
};

bool ValidTrack(int p_Track) { return p_Track >= 0 && p_Track < TRACK_COUNT; }

}  // namespace

OrgSong::OrgSong() { LoadBlank(); }

OrgSong::OrgSong(std::string filename) { LoadFromFile(filename); }

OrgSong::OrgSong(const void* p_Data, std::size_t p_Size) { LoadFromMemory(p_Data, p_Size); }

OrgSong::~OrgSong() = default;

bool OrgSong::LoadBlank()
{
    ResetToBlank(true);
    return true;
}

void OrgSong::ResetToBlank(bool p_ClearColumns)
{
    std::memset(&header, 0, sizeof(header));
    std::memset(instruments, 0, sizeof(instruments));
    for (int l_Track = 0; l_Track < TRACK_COUNT && p_ClearColumns; ++l_Track) {
        notepos[l_Track].clear();
        notenote[l_Track].clear();
        notelength[l_Track].clear();
        notevolume[l_Track].clear();
        notepan[l_Track].clear();
    }
    cursor = 0;
    isPlaying = false;
    useLoopPoints = false;
    msSinceBeat = 0;
    msLastUpdate = 0;
    updatedSinceReset = false;
    cursorUpdated = true;
    SetTempo(140);
    SetSPBABPS(_4_4);
    SetLoopStart(0);
    SetLoopStop(0);
}

const Header& OrgSong::GetHeader() const { return header; }

std::size_t OrgSong::UsableEvents(int p_Track) const
{
    return std::min({static_cast<std::size_t>(instruments[p_Track].numnotes), notepos[p_Track].size(),
                     notenote[p_Track].size(), notelength[p_Track].size(), notevolume[p_Track].size(),
                     notepan[p_Track].size()});
}

std::vector<NoteEvent> OrgSong::GetEvents(int p_Track) const
{
    std::vector<NoteEvent> l_Events;
    if (!ValidTrack(p_Track))
        return l_Events;
    const std::size_t l_Count = UsableEvents(p_Track);
    l_Events.reserve(l_Count);
    for (std::size_t i = 0; i < l_Count; ++i)
        l_Events.push_back({notepos[p_Track][i], notenote[p_Track][i], notelength[p_Track][i],
                            notevolume[p_Track][i], notepan[p_Track][i]});
    return l_Events;
}

bool OrgSong::SetEvents(int p_Track, const std::vector<NoteEvent>& p_Events)
{
    if (!ValidTrack(p_Track) || p_Events.size() > 0xFFFF)
        return false;
    const std::size_t l_Count = p_Events.size();
    notepos[p_Track].resize(l_Count);
    notenote[p_Track].resize(l_Count);
    notelength[p_Track].resize(l_Count);
    notevolume[p_Track].resize(l_Count);
    notepan[p_Track].resize(l_Count);
    for (std::size_t i = 0; i < l_Count; ++i) {
        notepos[p_Track][i] = p_Events[i].pos;
        notenote[p_Track][i] = p_Events[i].note;
        notelength[p_Track][i] = p_Events[i].length;
        notevolume[p_Track][i] = p_Events[i].volume;
        notepan[p_Track][i] = p_Events[i].pan;
    }
    instruments[p_Track].numnotes = static_cast<std::uint16_t>(l_Count);
    return true;
}

std::size_t OrgSong::EventCount(int p_Track) const { return ValidTrack(p_Track) ? UsableEvents(p_Track) : 0; }

NoteEvent OrgSong::GetEvent(int p_Track, std::size_t p_Index) const
{
    if (p_Index >= EventCount(p_Track))
        return {};
    return {notepos[p_Track][p_Index], notenote[p_Track][p_Index], notelength[p_Track][p_Index],
            notevolume[p_Track][p_Index], notepan[p_Track][p_Index]};
}

std::size_t OrgSong::TrimToUsable(int p_Track)
{
    const std::size_t l_Count = UsableEvents(p_Track);
    notepos[p_Track].resize(l_Count);
    notenote[p_Track].resize(l_Count);
    notelength[p_Track].resize(l_Count);
    notevolume[p_Track].resize(l_Count);
    notepan[p_Track].resize(l_Count);
    return l_Count;
}

bool OrgSong::InsertEventAt(int p_Track, std::size_t p_Index, const NoteEvent& p_Event)
{
    if (!ValidTrack(p_Track))
        return false;
    const std::size_t l_Count = TrimToUsable(p_Track);
    if (p_Index > l_Count || l_Count >= 0xFFFF)
        return false;
    // Every column has room before any takes the event, so that running out of memory midway leaves
    // the columns of one length; room grows by doubling, so that filling a track costs linear time.
    for (auto* l_Column : {&notenote[p_Track], &notelength[p_Track], &notevolume[p_Track], &notepan[p_Track]})
        if (l_Column->capacity() <= l_Count)
            l_Column->reserve(2 * l_Count + 1);
    notepos[p_Track].insert(notepos[p_Track].begin() + p_Index, p_Event.pos);
    notenote[p_Track].insert(notenote[p_Track].begin() + p_Index, p_Event.note);
    notelength[p_Track].insert(notelength[p_Track].begin() + p_Index, p_Event.length);
    notevolume[p_Track].insert(notevolume[p_Track].begin() + p_Index, p_Event.volume);
    notepan[p_Track].insert(notepan[p_Track].begin() + p_Index, p_Event.pan);
    instruments[p_Track].numnotes = static_cast<std::uint16_t>(l_Count + 1);
    return true;
}

bool OrgSong::SetEventAt(int p_Track, std::size_t p_Index, const NoteEvent& p_Event)
{
    if (p_Index >= EventCount(p_Track))
        return false;
    notepos[p_Track][p_Index] = p_Event.pos;
    notenote[p_Track][p_Index] = p_Event.note;
    notelength[p_Track][p_Index] = p_Event.length;
    notevolume[p_Track][p_Index] = p_Event.volume;
    notepan[p_Track][p_Index] = p_Event.pan;
    return true;
}

bool OrgSong::RemoveEventAt(int p_Track, std::size_t p_Index)
{
    if (p_Index >= EventCount(p_Track))
        return false;
    const std::size_t l_Count = TrimToUsable(p_Track);
    notepos[p_Track].erase(notepos[p_Track].begin() + p_Index);
    notenote[p_Track].erase(notenote[p_Track].begin() + p_Index);
    notelength[p_Track].erase(notelength[p_Track].begin() + p_Index);
    notevolume[p_Track].erase(notevolume[p_Track].begin() + p_Index);
    notepan[p_Track].erase(notepan[p_Track].begin() + p_Index);
    instruments[p_Track].numnotes = static_cast<std::uint16_t>(l_Count - 1);
    return true;
}

bool OrgSong::SetTempo(unsigned short to)
{
    header.tempo = to;
    msPerBeat = to;
    return true;
}

bool OrgSong::SetSPBABPS(SPBABPS to)
{
    for (const Preset& l_Preset : PRESETS) {
        if (l_Preset.id == to) {
            header.steps_bar = l_Preset.steps_bar;
            header.beats_step = l_Preset.beats_step;
            return true;
        }
    }
    Log("Error: Unknown SPBABPS value.\n", stderr);
    return false;
}

bool OrgSong::SetBarLayout(std::uint8_t p_StepsBar, std::uint8_t p_BeatsStep)
{
    header.steps_bar = p_StepsBar;
    header.beats_step = p_BeatsStep;
    return true;
}

bool OrgSong::SetLoopStart(unsigned int to)
{
    header.loopstart = to;
    return true;
}

bool OrgSong::SetLoopStop(unsigned int to)
{
    header.loopstop = to;
    return true;
}

unsigned short OrgSong::GetTempo() { return header.tempo; }

SPBABPS OrgSong::GetSPBABPS()
{
    for (const Preset& l_Preset : PRESETS)
        if (l_Preset.steps_bar == header.steps_bar && l_Preset.beats_step == header.beats_step)
            return l_Preset.id;
    return _ARB;
}

unsigned int OrgSong::GetLoopStart() { return header.loopstart; }

unsigned int OrgSong::GetLoopStop() { return header.loopstop; }

}  // namespace Org
