#include "Score.h"

#include "OrgSong.h"

namespace SongGen {

namespace {

std::string Where(int p_Track, std::size_t p_Index, const Event& p_Event)
{
    return "track " + std::to_string(p_Track) + ", event " + std::to_string(p_Index) + " at beat " +
           std::to_string(p_Event.pos) + ": ";
}

std::string ValidateTrack(const Song& p_Song, int p_Track)
{
    const Track& l_Track = p_Song.tracks[p_Track];
    const bool l_Drums = p_Track >= MELODY_TRACKS;
    const int l_Bank = l_Drums ? PERCUSSION_SAMPLES : MELODY_SAMPLES;
    if (l_Track.id >= l_Bank) {
        return "track " + std::to_string(p_Track) + ": sample " + std::to_string(l_Track.id) +
               " is outside its bank";
    }
    if (l_Track.events.size() > 65535) {
        return "track " + std::to_string(p_Track) + ": more than 65535 events";
    }

    // The note that is held: its start, its end (exclusive), and its index.
    bool l_Held = false;
    std::uint32_t l_HeldStart = 0;
    std::uint32_t l_HeldEnd = 0;
    for (std::size_t l_I = 0; l_I < l_Track.events.size(); ++l_I) {
        const Event& l_Event = l_Track.events[l_I];
        if (l_I > 0 && l_Event.pos <= l_Track.events[l_I - 1].pos) {
            return Where(p_Track, l_I, l_Event) + "positions must ascend strictly";
        }
        if (l_Event.pan > 12 && l_Event.pan != PAN_NONE) {
            return Where(p_Track, l_I, l_Event) + "pan outside 0..12";
        }
        if (l_Event.pos >= p_Song.loopStop) {
            return Where(p_Track, l_I, l_Event) + "after the loop end, never reached";
        }
        const bool l_Inside = l_Held && l_Event.pos > l_HeldStart && l_Event.pos < l_HeldEnd;
        if (l_Event.length == 0) {
            // The lookup finds such a change only while the note before it is still held.
            if (!l_Inside) {
                return Where(p_Track, l_I, l_Event) + "a volume change outside any held note";
            }
            continue;
        }
        if (l_Inside) {
            return Where(p_Track, l_I, l_Event) + "a note starts inside the held note before it";
        }
        if (l_Event.note > HIGHEST_NOTE) {
            return Where(p_Track, l_I, l_Event) + "note above " + std::to_string(HIGHEST_NOTE);
        }
        if (l_Event.pan == PAN_NONE) {
            return Where(p_Track, l_I, l_Event) + "a note needs a pan of its own";
        }
        const std::uint32_t l_End = l_Event.pos + l_Event.length;
        if ((l_Event.pos < p_Song.loopStart && l_End > p_Song.loopStart) || l_End > p_Song.loopStop) {
            return Where(p_Track, l_I, l_Event) + "the note crosses a loop point";
        }
        if (l_Drums && l_Event.length != 1) {
            // A longer drum hit would restart the one-shot on every beat it is held.
            return Where(p_Track, l_I, l_Event) + "drum hits last one beat";
        }
        l_Held = true;
        l_HeldStart = l_Event.pos;
        l_HeldEnd = l_End;
    }
    return "";
}

}  // namespace

std::string Validate(const Song& p_Song)
{
    if (p_Song.tempo == 0) {
        return "tempo 0";
    }
    if (p_Song.loopStart >= p_Song.loopStop) {
        return "the loop must start before it stops";
    }
    for (int l_Track = 0; l_Track < TRACKS; ++l_Track) {
        const std::string l_Error = ValidateTrack(p_Song, l_Track);
        if (!l_Error.empty()) {
            return l_Error;
        }
    }
    return "";
}

bool SaveSong(const Song& p_Song, const std::string& p_Path)
{
    Org::OrgSong l_Song;
    l_Song.SetTempo(p_Song.tempo);
    l_Song.SetSPBABPS(p_Song.layout);
    l_Song.SetLoopStart(p_Song.loopStart);
    l_Song.SetLoopStop(p_Song.loopStop);
    for (int l_Track = 0; l_Track < TRACKS; ++l_Track) {
        const Track& l_Score = p_Song.tracks[l_Track];
        std::vector<Org::NoteEvent> l_Events;
        for (const Event& l_Event : l_Score.events)
            l_Events.push_back({l_Event.pos, l_Event.note, l_Event.length, l_Event.volume, l_Event.pan});
        l_Song.SetEvents(l_Track, l_Events);
        l_Song.instruments[l_Track].pitch = l_Score.pitch;
        l_Song.instruments[l_Track].id = l_Score.id;
        l_Song.instruments[l_Track].noloop = l_Score.noloop;
    }
    return l_Song.SaveToFile(p_Path);
}

}  // namespace SongGen
