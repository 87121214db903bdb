#include "SongEdit.h"

namespace Org {
namespace SongEdit {

namespace {

bool ValidTrack(int p_Track) { return p_Track >= 0 && p_Track < TRACK_COUNT; }

// The first index whose event stands at p_Beat or later (p_After: later) in a track in beat order.
std::size_t Bisect(const OrgSong& p_Song, int p_Track, std::uint32_t p_Beat, bool p_After)
{
    std::size_t l_Low = 0, l_High = p_Song.EventCount(p_Track);
    while (l_Low < l_High) {
        const std::size_t l_Middle = l_Low + (l_High - l_Low) / 2;
        const std::uint32_t l_Pos = p_Song.GetEvent(p_Track, l_Middle).pos;
        if (l_Pos < p_Beat || (p_After && l_Pos == p_Beat))
            l_Low = l_Middle + 1;
        else
            l_High = l_Middle;
    }
    return l_Low;
}

// The first index whose event's beat passes p_Test, or the count; for a track out of order.
template <class Test> std::size_t FirstWhere(const OrgSong& p_Song, int p_Track, Test&& p_Test)
{
    const std::size_t l_Count = p_Song.EventCount(p_Track);
    std::size_t l_Index = 0;
    while (l_Index < l_Count && !p_Test(p_Song.GetEvent(p_Track, l_Index).pos))
        ++l_Index;
    return l_Index;
}

// The index of the first event of the track at p_Beat, or the count when none stands there.
std::size_t EventAt(const OrgSong& p_Song, TrackOrder& p_Order, int p_Track, std::uint32_t p_Beat)
{
    if (!p_Order.InOrder(p_Song, p_Track))
        return FirstWhere(p_Song, p_Track, [&](std::uint32_t p_Pos) { return p_Pos == p_Beat; });
    const std::size_t l_Index = Bisect(p_Song, p_Track, p_Beat, false);
    return p_Song.GetEvent(p_Track, l_Index).pos == p_Beat ? l_Index : p_Song.EventCount(p_Track);
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

namespace {

EditResult CheckTrackAndEvent(int p_Track, const NoteEvent& p_Event)
{
    return ValidTrack(p_Track) ? CheckEvent(p_Event) : EditResult::BAD_TRACK;
}

}  // namespace

EditResult InsertEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, const NoteEvent& p_Event)
{
    const EditResult l_Check = CheckTrackAndEvent(p_Track, p_Event);
    if (l_Check != EditResult::OK)
        return l_Check;
    const std::size_t l_Count = p_Song.EventCount(p_Track);
    if (EventAt(p_Song, p_Order, p_Track, p_Event.pos) != l_Count)
        return EditResult::EVENT_EXISTS;
    if (l_Count >= static_cast<std::size_t>(MAX_EVENTS))
        return EditResult::TOO_MANY_EVENTS;
    // Before the first event that stands later: a track in beat order stays in order.
    const std::size_t l_Later =
        p_Order.InOrder(p_Song, p_Track)
            ? Bisect(p_Song, p_Track, p_Event.pos, true)
            : FirstWhere(p_Song, p_Track, [&](std::uint32_t p_Pos) { return p_Pos > p_Event.pos; });
    p_Song.InsertEventAt(p_Track, l_Later, p_Event);
    return EditResult::OK;
}

EditResult ReplaceEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, const NoteEvent& p_Event)
{
    const EditResult l_Check = CheckTrackAndEvent(p_Track, p_Event);
    if (l_Check != EditResult::OK)
        return l_Check;
    // The beat stays the same: so does the track's order.
    return p_Song.SetEventAt(p_Track, EventAt(p_Song, p_Order, p_Track, p_Event.pos), p_Event)
               ? EditResult::OK
               : EditResult::NO_EVENT;
}

EditResult RemoveEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, std::uint32_t p_Beat)
{
    if (!ValidTrack(p_Track))
        return EditResult::BAD_TRACK;
    if (!p_Song.RemoveEventAt(p_Track, EventAt(p_Song, p_Order, p_Track, p_Beat)))
        return EditResult::NO_EVENT;
    // A track out of order may be in order without the event.
    if (!p_Order.InOrder(p_Song, p_Track))
        p_Order.Forget(p_Track);
    return EditResult::OK;
}

bool TrackOrder::InOrder(const OrgSong& p_Song, int p_Track)
{
    if (order[p_Track] == UNKNOWN) {
        const std::size_t l_Count = p_Song.EventCount(p_Track);
        std::size_t l_Index = 1;
        while (l_Index < l_Count &&
               p_Song.GetEvent(p_Track, l_Index - 1).pos <= p_Song.GetEvent(p_Track, l_Index).pos)
            ++l_Index;
        order[p_Track] = l_Index >= l_Count ? IN_ORDER : OUT_OF_ORDER;
    }
    return order[p_Track] == IN_ORDER;
}

}  // namespace SongEdit
}  // namespace Org
