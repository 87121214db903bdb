#include "OrgWriter.h"

namespace SongGen {

namespace {

void PutU8(std::vector<std::uint8_t>& p_Bytes, std::uint8_t p_Value)
{
    p_Bytes.push_back(p_Value);
}

void PutU16(std::vector<std::uint8_t>& p_Bytes, std::uint16_t p_Value)
{
    p_Bytes.push_back(static_cast<std::uint8_t>(p_Value & 0xFF));
    p_Bytes.push_back(static_cast<std::uint8_t>(p_Value >> 8));
}

void PutU32(std::vector<std::uint8_t>& p_Bytes, std::uint32_t p_Value)
{
    PutU16(p_Bytes, static_cast<std::uint16_t>(p_Value & 0xFFFF));
    PutU16(p_Bytes, static_cast<std::uint16_t>(p_Value >> 16));
}

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
        return "track " + std::to_string(p_Track) + ": sample " + std::to_string(l_Track.id) + " is outside its bank";
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

std::vector<std::uint8_t> Encode(const Song& p_Song)
{
    std::vector<std::uint8_t> l_Bytes = {'O', 'r', 'g', '-', '0', '2'};
    PutU16(l_Bytes, p_Song.tempo);
    PutU8(l_Bytes, p_Song.layout.stepsBar);
    PutU8(l_Bytes, p_Song.layout.beatsStep);
    PutU32(l_Bytes, p_Song.loopStart);
    PutU32(l_Bytes, p_Song.loopStop);
    for (const Track& l_Track : p_Song.tracks) {
        PutU16(l_Bytes, l_Track.pitch);
        PutU8(l_Bytes, l_Track.id);
        PutU8(l_Bytes, l_Track.noloop);
        PutU16(l_Bytes, static_cast<std::uint16_t>(l_Track.events.size()));
    }
    for (const Track& l_Track : p_Song.tracks) {
        for (const Event& l_Event : l_Track.events) {
            PutU32(l_Bytes, l_Event.pos);
        }
        for (const Event& l_Event : l_Track.events) {
            PutU8(l_Bytes, l_Event.note);
        }
        for (const Event& l_Event : l_Track.events) {
            PutU8(l_Bytes, l_Event.length);
        }
        for (const Event& l_Event : l_Track.events) {
            PutU8(l_Bytes, l_Event.volume);
        }
        for (const Event& l_Event : l_Track.events) {
            PutU8(l_Bytes, l_Event.pan);
        }
    }
    return l_Bytes;
}

}  // namespace SongGen
