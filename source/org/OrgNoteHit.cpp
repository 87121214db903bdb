// Note lookup: what a track plays at one beat.
#include "OrgSong.h"

#include <cstdint>

namespace Org {

namespace {

constexpr std::uint8_t NO_PAN = 255;

float PanOf(std::uint8_t p_Byte) { return static_cast<float>(p_Byte / 6.0 - 1.0); }

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
        if (l_Pos[i] == l_Beat && l_Length != 0) {
            l_Hit.note = notenote[instrument][i];
            l_Hit.length = l_Length;
            l_Hit.volume = l_Vol[i];
            l_Hit.pan = l_Pan[i] == NO_PAN ? 0.0f : PanOf(l_Pan[i]);
            l_Hit.playing = 1;
        } else if (l_Pos[i] < l_Beat && static_cast<std::uint32_t>(l_Pos[i] + l_Length) > l_Beat) {
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
        } else {
            continue;
        }
        l_Hit.pitch = instruments[instrument].pitch;
        l_Hit.sample = instruments[instrument].id;
        l_Hit.loop = instruments[instrument].noloop == 0 ? 1 : 0;
        return l_Hit;
    }
    return l_Hit;
}

}  // namespace Org
