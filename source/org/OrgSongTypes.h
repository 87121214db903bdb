#ifndef TUNEWRIGHT_ORGSONGTYPES_H
#define TUNEWRIGHT_ORGSONGTYPES_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Org {

// The six bytes an Org-02 file begins with. The song loads a file of any magic by the same layout;
// the C interface and the tools refuse another unless told otherwise.
constexpr char SONG_MAGIC[6] = {'O', 'r', 'g', '-', '0', '2'};

// True when the p_Size bytes at p_Data begin with SONG_MAGIC.
inline bool HasSongMagic(const void* p_Data, std::size_t p_Size)
{
    return p_Data != nullptr && p_Size >= sizeof(SONG_MAGIC) &&
           std::memcmp(p_Data, SONG_MAGIC, sizeof(SONG_MAGIC)) == 0;
}

// The records below are also the bytes of an Org-02 file (little-endian). Their fields are
// laid out so that natural alignment leaves no padding, so they need no packing.

// 12 bytes at file offset 6.
struct Header
{
    std::uint16_t tempo;      // milliseconds per beat
    std::uint8_t steps_bar;   // bar layout, first number
    std::uint8_t beats_step;  // bar layout, second number
    std::uint32_t loopstart;  // beat playback continues at after the loop end
    std::uint32_t loopstop;   // beat at which playback wraps to loopstart
};

// 6 bytes per track; the sixteen of them follow the header in the file.
struct Instrument
{
    std::uint16_t pitch;     // fine tuning, 1000 is untuned
    std::uint8_t id;         // sample number in the track's bank
    std::uint8_t noloop;     // nonzero: notes marked as not looping
    std::uint16_t numnotes;  // events in each of the track's five columns
};

static_assert(sizeof(Header) == 12, "Header must match the file layout");
static_assert(sizeof(Instrument) == 6, "Instrument must match the file layout");

// Bar layout presets (steps per bar, beats per step).
enum SPBABPS : std::int32_t {
    _2_4 = 0,
    _3_3 = 1,
    _3_4 = 2,
    _4_3 = 3,
    _4_4 = 4,
    _6_3 = 5,
    _6_4 = 6,
    _8_4 = 7,
    _ARB = 8
};

// One event of a track, as a row across the track's five columns.
struct NoteEvent
{
    std::uint32_t pos;    // beat the event stands at
    std::uint8_t note;    // note number
    std::uint8_t length;  // beats; 0 starts nothing
    std::uint8_t volume;  // 0 to 255
    std::uint8_t pan;     // 0 to 12, 6 centre; NO_PAN for none of its own
};

// The pan of an event that has none of its own: it keeps the pan of the note it changes, and a
// note that starts with it sounds in the centre.
constexpr std::uint8_t NO_PAN = 255;

constexpr int TRACK_COUNT = 16;
constexpr int MELODY_TRACKS = 8;  // tracks 0 to 7 play melody waveforms, the rest drums

// The drums in bank order: an instrument id on a drum track names one of these; its sample file
// is "percussion/" + name + ".wav".
constexpr const char* DRUM_NAMES[] = {"Bass01", "Bass02", "Snare01", "Snare02", "Tom01",  "HiClose",
                                      "HiOpen", "Crash",  "Per01",   "Per02",   "Bass03", "Tom02"};
constexpr int DRUM_COUNT = sizeof(DRUM_NAMES) / sizeof(DRUM_NAMES[0]);
// The melody waveforms a melody track chooses from, and the keys a note plays (12 to an octave).
constexpr int WAVEFORM_COUNT = 100;
constexpr int KEY_COUNT = 96;

// The magic, the header and the instrument records: where the note data begins.
constexpr std::size_t SONG_HEAD_BYTES = 6 + sizeof(Header) + TRACK_COUNT * sizeof(Instrument);
// The most a song can use: every track with 65535 events of 8 bytes. Bytes after it are never read.
constexpr std::size_t MAX_SONG_BYTES = SONG_HEAD_BYTES + 8u * TRACK_COUNT * 65535u;

}  // namespace Org

#endif
