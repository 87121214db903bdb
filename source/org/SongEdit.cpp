#include "SongEdit.h"

#include <algorithm>

namespace Org {
namespace SongEdit {

namespace {

bool ValidTrack(int p_Track) { return p_Track >= 0 && p_Track < TRACK_COUNT; }

// The first event of the track at p_Beat, or the end. Files need not keep a track in beat order,
// so this looks at every event rather than bisecting.
std::vector<NoteEvent>::iterator EventAt(std::vector<NoteEvent>& p_Events, std::uint32_t p_Beat)
{
    return std::find_if(p_Events.begin(), p_Events.end(),
                        [&](const NoteEvent& p_Event) { return p_Event.pos == p_Beat; });
}

// Changes a track's events through p_Change(events) -> EditResult, writing them back on OK.
template <class Change> EditResult ChangeEvents(OrgSong& p_Song, int p_Track, Change&& p_Change)
{
    if (!ValidTrack(p_Track))
        return EditResult::BAD_TRACK;
    std::vector<NoteEvent> l_Events = p_Song.GetEvents(p_Track);
    const EditResult l_Result = p_Change(l_Events);
    if (l_Result == EditResult::OK)
        p_Song.SetEvents(p_Track, l_Events);
    return l_Result;
}

}  // namespace

int InstrumentsOfTrack(int p_Track)
{
    if (!ValidTrack(p_Track))
        return 0;
    return p_Track < MELODY_TRACKS ? WAVEFORMS : DRUM_COUNT;
}

EditResult SetTempo(OrgSong& p_Song, int p_MsPerBeat)
{
    if (p_MsPerBeat < MIN_TEMPO_MS || p_MsPerBeat > MAX_TEMPO_MS)
        return EditResult::BAD_TEMPO;
    p_Song.SetTempo(static_cast<unsigned short>(p_MsPerBeat));
    return EditResult::OK;
}

EditResult SetBarLayout(OrgSong& p_Song, int p_PerBar, int p_PerBeat)
{
    if (p_PerBar < 1 || p_PerBar > 255 || p_PerBeat < 1 || p_PerBeat > 255)
        return EditResult::BAD_BAR_LAYOUT;
    p_Song.SetBarLayout(static_cast<std::uint8_t>(p_PerBar), static_cast<std::uint8_t>(p_PerBeat));
    return EditResult::OK;
}

EditResult SetLoop(OrgSong& p_Song, std::uint32_t p_Start, std::uint32_t p_End)
{
    if (p_End < p_Start)
        return EditResult::BAD_LOOP;
    p_Song.SetLoopStart(p_Start);
    p_Song.SetLoopStop(p_End);
    return EditResult::OK;
}

EditResult SetInstrument(OrgSong& p_Song, int p_Track, int p_Instrument)
{
    if (!ValidTrack(p_Track))
        return EditResult::BAD_TRACK;
    if (p_Instrument < 0 || p_Instrument >= InstrumentsOfTrack(p_Track))
        return EditResult::BAD_INSTRUMENT;
    p_Song.instruments[p_Track].id = static_cast<std::uint8_t>(p_Instrument);
    return EditResult::OK;
}

EditResult SetFineTune(OrgSong& p_Song, int p_Track, int p_FineTune)
{
    if (!ValidTrack(p_Track))
        return EditResult::BAD_TRACK;
    if (p_FineTune < 0 || p_FineTune > MAX_FINE_TUNE)
        return EditResult::BAD_FINE_TUNE;
    p_Song.instruments[p_Track].pitch = static_cast<std::uint16_t>(p_FineTune);
    return EditResult::OK;
}

EditResult SetNoLoop(OrgSong& p_Song, int p_Track, bool p_NoLoop)
{
    if (!ValidTrack(p_Track))
        return EditResult::BAD_TRACK;
    p_Song.instruments[p_Track].noloop = p_NoLoop ? 1 : 0;
    return EditResult::OK;
}

EditResult CheckEvent(const NoteEvent& p_Event)
{
    if (p_Event.note >= KEYS)
        return EditResult::BAD_KEY;
    if (p_Event.length < MIN_LENGTH || p_Event.length > MAX_LENGTH)
        return EditResult::BAD_LENGTH;
    if (p_Event.volume > MAX_VOLUME)
        return EditResult::BAD_VOLUME;
    if (p_Event.pan > MAX_PAN)
        return EditResult::BAD_PAN;
    return EditResult::OK;
}

EditResult InsertEvent(OrgSong& p_Song, int p_Track, const NoteEvent& p_Event)
{
    return ChangeEvents(p_Song, p_Track, [&](std::vector<NoteEvent>& p_Events) {
        const EditResult l_Check = CheckEvent(p_Event);
        if (l_Check != EditResult::OK)
            return l_Check;
        if (EventAt(p_Events, p_Event.pos) != p_Events.end())
            return EditResult::EVENT_EXISTS;
        if (p_Events.size() >= static_cast<std::size_t>(MAX_EVENTS))
            return EditResult::TOO_MANY_EVENTS;
        // Before the first event that stands later: a track in beat order stays in order.
        const auto l_Later = std::find_if(p_Events.begin(), p_Events.end(), [&](const NoteEvent& p_Other) {
            return p_Other.pos > p_Event.pos;
        });
        p_Events.insert(l_Later, p_Event);
        return EditResult::OK;
    });
}

EditResult ReplaceEvent(OrgSong& p_Song, int p_Track, const NoteEvent& p_Event)
{
    return ChangeEvents(p_Song, p_Track, [&](std::vector<NoteEvent>& p_Events) {
        const EditResult l_Check = CheckEvent(p_Event);
        if (l_Check != EditResult::OK)
            return l_Check;
        const auto l_At = EventAt(p_Events, p_Event.pos);
        if (l_At == p_Events.end())
            return EditResult::NO_EVENT;
        *l_At = p_Event;
        return EditResult::OK;
    });
}

EditResult RemoveEvent(OrgSong& p_Song, int p_Track, std::uint32_t p_Beat)
{
    return ChangeEvents(p_Song, p_Track, [&](std::vector<NoteEvent>& p_Events) {
        const auto l_At = EventAt(p_Events, p_Beat);
        if (l_At == p_Events.end())
            return EditResult::NO_EVENT;
        p_Events.erase(l_At);
        return EditResult::OK;
    });
}

}  // namespace SongEdit
}  // namespace Org
