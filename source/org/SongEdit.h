#ifndef TUNEWRIGHT_SONGEDIT_H
#define TUNEWRIGHT_SONGEDIT_H

// Changing a song as a composer does: every value is checked against what the format and the
// sampler can play, and a value out of range changes nothing. The C interface, and through it
// Python and JavaScript, edit songs only through these; so does the MIDI import.
#include <cstdint>
#include <vector>

#include "InstrumentNames.h"
#include "OrgSong.h"

namespace Org {

enum class EditResult {
    OK,
    BAD_TRACK,        // a track outside 0 to TRACK_COUNT - 1
    BAD_TEMPO,        // outside MIN_TEMPO_MS to MAX_TEMPO_MS
    BAD_BAR_LAYOUT,   // a number outside 1 to 255
    BAD_LOOP,         // a loop that ends before it starts
    BAD_INSTRUMENT,   // no such waveform (melody track) or drum (drum track)
    BAD_FINE_TUNE,    // outside 0 to 65535
    BAD_KEY,          // outside 0 to KEYS - 1
    BAD_LENGTH,       // outside 1 to 255 beats
    BAD_VOLUME,       // outside 0 to MAX_VOLUME
    BAD_PAN,          // outside 0 to MAX_PAN
    NO_EVENT,         // nothing stands at that beat
    EVENT_EXISTS,     // an event already stands at that beat
    TOO_MANY_EVENTS,  // the track holds the most events a file can
};

namespace SongEdit {

constexpr int MIN_TEMPO_MS = 1;
constexpr int MAX_TEMPO_MS = 65535;
constexpr int KEYS = KEY_COUNT;  // the keys the sampler sounds
constexpr int WAVEFORMS = WAVEFORM_COUNT;
constexpr int MIN_LENGTH = 1;
constexpr int MAX_LENGTH = 255;
constexpr int MAX_VOLUME = 254;  // 255 is left to files that mean "unchanged" by it
constexpr int MAX_PAN = 12;      // 0 left, 6 centre, 12 right
constexpr int MAX_FINE_TUNE = 65535;
constexpr int UNTUNED = 1000;  // the fine tune that leaves a track's notes at their keys
constexpr int MAX_EVENTS = 65535;

// The instruments a track can take: WAVEFORMS on a melody track, DRUM_COUNT on a drum track.
int InstrumentsOfTrack(int p_Track);

EditResult SetTempo(OrgSong& p_Song, int p_MsPerBeat);
// The two numbers of the bar layout as an editor shows them: ruler beats in a bar, and song beats
// (clock beats, the unit of positions) in a ruler beat. Stored in steps_bar and beats_step; playback
// never reads them.
EditResult SetBarLayout(OrgSong& p_Song, int p_PerBar, int p_PerBeat);
// The loop from p_Start to p_End (p_Start == p_End: no loop).
EditResult SetLoop(OrgSong& p_Song, std::uint32_t p_Start, std::uint32_t p_End);
EditResult SetInstrument(OrgSong& p_Song, int p_Track, int p_Instrument);
EditResult SetFineTune(OrgSong& p_Song, int p_Track, int p_FineTune);
EditResult SetNoLoop(OrgSong& p_Song, int p_Track, bool p_NoLoop);

// What the event edits below know of one song's tracks between calls: whether each track's events
// stand in beat order, so that finding a beat bisects the track instead of reading all of it. A
// track is looked at once, on its first edit; the edits keep what they learnt true. Whoever changes
// a track's events by other means must Forget it.
class TrackOrder
{
public:
    bool InOrder(const OrgSong& p_Song, int p_Track);
    void Forget(int p_Track) { order[p_Track] = UNKNOWN; }

private:
    enum Order : std::uint8_t { UNKNOWN, IN_ORDER, OUT_OF_ORDER };
    Order order[TRACK_COUNT] = {};
};

// Whether an event may be written by an editor: a key the sampler sounds, a length of at least one
// beat, a volume and a pan of its own.
EditResult CheckEvent(const NoteEvent& p_Event);
// Puts p_Event in at its beat, keeping the track in beat order.
EditResult InsertEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, const NoteEvent& p_Event);
// Puts p_Event in place of the (first) event at its beat.
EditResult ReplaceEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, const NoteEvent& p_Event);
EditResult RemoveEvent(OrgSong& p_Song, TrackOrder& p_Order, int p_Track, std::uint32_t p_Beat);

}  // namespace SongEdit
}  // namespace Org

#endif
