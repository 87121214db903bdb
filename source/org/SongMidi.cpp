// Standard MIDI Files to and from songs (SongMidi.h).
#include "SongMidi.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>

#include "OrgSong.h"
#include "SongEdit.h"

namespace Org {

const std::uint8_t MIDI_PROGRAMS[SongEdit::WAVEFORMS] = {
    // 0-9 basic shapes: ocarina, calliope, saw and square leads, synth basses, pads.
    79, 82, 81, 80, 81, 80, 38, 39, 90, 89,
    // 10-19 pulses: square lead, synth bass for the bass pulses.
    80, 80, 80, 80, 80, 80, 80, 80, 39, 39,
    // 20-34 organs: drawbar, percussive, rock, reed and church organs.
    16, 19, 16, 17, 18, 20, 18, 16, 16, 19, 19, 19, 19, 16, 19,
    // 35-46 brass: trumpet, muted trumpet, horn, trombone, tuba, synth brass, section, sax.
    56, 56, 59, 60, 57, 58, 62, 63, 61, 56, 56, 64,
    // 47-58 strings and reeds: violin to contrabass, ensemble, pizzicato, guitar, reeds, accordion.
    40, 41, 42, 43, 49, 45, 24, 71, 68, 70, 65, 21,
    // 59-70 mallets, bells and keys.
    11, 12, 9, 8, 10, 14, 14, 4, 5, 7, 6, 114,
    // 71-84 voices: choir aahs and voice oohs by vowel, the voice lead for the nasal and talking.
    52, 53, 53, 52, 52, 52, 53, 53, 52, 52, 53, 52, 85, 85,
    // 85-89 synthesiser tones: synth bass, crystal, charang, saw leads.
    38, 98, 84, 81, 81,
    // 90-99 noisy cycles: breath noise, flute, synth voice, distortion guitar, seashore for wind.
    121, 121, 121, 121, 121, 73, 54, 30, 38, 122};

namespace {

// The waveform standing for each family of eight General MIDI programs.
constexpr int FAMILY_WAVEFORMS[16] = {
    66,  // piano: electric piano
    59,  // chromatic percussion: vibraphone
    20,  // organ
    53,  // guitar: nylon guitar
    85,  // bass: FM bass
    47,  // strings: violin
    51,  // ensemble: soft strings
    35,  // brass: trumpet
    57,  // reed: saxophone
    95,  // pipe: breathy flute
    3,   // synth lead: square
    8,   // synth pad: mellow saw
    86,  // synth effects: FM bell
    52,  // ethnic: plucked string
    70,  // percussive: steel drum
    90,  // sound effects: noise
};

constexpr int DRUM_CHANNEL = 9;
constexpr int KEY_OFFSET = 12;  // song key k is MIDI note k + 12
constexpr std::uint32_t TICKS_PER_BEAT = 96;
constexpr std::uint32_t MAX_DELTA = 0x0FFFFFFF;  // the largest a variable-length delta holds
static_assert(((std::uint64_t{1} << 32) * TICKS_PER_BEAT + MAX_DELTA - 1) / MAX_DELTA - 1 <= 1536,
              "MAX_MIDI_BYTES counts 1536 bridges of long times a chunk at most");
constexpr std::uint32_t MAX_TEMPO_US = 0xFFFFFF;
constexpr std::uint32_t DEFAULT_TEMPO_US = 500000;
constexpr const char* LOOP_START_MARKER = "loop start";
constexpr const char* LOOP_END_MARKER = "loop end";
// The marker "step of N quarters": a step is N quarter notes, N from 2 to the most the export
// writes (a step's ticks).
constexpr const char* STEP_MARKER_START = "step of ";
constexpr const char* STEP_MARKER_END = " quarters";
constexpr std::uint32_t MAX_STEP_QUARTERS = TICKS_PER_BEAT * 255;
// The sequencer-specific meta event (FF 7F) that begins each note track of the export: the id 0x7D,
// which MIDI keeps for non-commercial use and so names no manufacturer, "TW", then the song track
// and its instrument. It tells the import what General MIDI cannot hold: the track's own waveform or
// drum, its place, and that its note-offs' velocities are the song keys of its drum notes.
constexpr std::uint8_t OWN_TRACK_TAG[] = {0x7D, 'T', 'W'};
constexpr std::size_t OWN_TRACK_BYTES = sizeof(OWN_TRACK_TAG) + 2;
// A note from no track of ours.
constexpr std::uint8_t NOT_OURS = 0xFF;

std::uint8_t VelocityOfVolume(int p_Volume)
{
    return static_cast<std::uint8_t>(std::clamp((p_Volume * 127 + 127) / SongEdit::MAX_VOLUME, 1, 127));
}

std::uint8_t VolumeOfVelocity(int p_Velocity)
{
    return static_cast<std::uint8_t>(std::min(SongEdit::MAX_VOLUME, p_Velocity * SongEdit::MAX_VOLUME / 127));
}

// Pan 0-12 onto controller 0-127 with the centre, 6, on 64; and back, exactly for every pan.
constexpr int PAN_CENTRE = SongEdit::MAX_PAN / 2;

std::uint8_t ControllerOfPan(int p_Pan)
{
    if (p_Pan == NO_PAN)
        return 64;
    p_Pan = std::min(p_Pan, SongEdit::MAX_PAN);
    return static_cast<std::uint8_t>(p_Pan <= PAN_CENTRE
                                         ? (p_Pan * 64 + PAN_CENTRE / 2) / PAN_CENTRE
                                         : 64 + ((p_Pan - PAN_CENTRE) * 63 + PAN_CENTRE / 2) / PAN_CENTRE);
}

std::uint8_t PanOfController(int p_Value)
{
    return static_cast<std::uint8_t>(p_Value < 64 ? (p_Value * PAN_CENTRE + 32) / 64
                                                  : PAN_CENTRE + ((p_Value - 64) * PAN_CENTRE + 31) / 63);
}

void PutBig(std::vector<std::uint8_t>& p_Out, std::uint32_t p_Value, int p_Bytes)
{
    for (int l_Shift = 8 * (p_Bytes - 1); l_Shift >= 0; l_Shift -= 8)
        p_Out.push_back(static_cast<std::uint8_t>(p_Value >> l_Shift));
}

void PutVariable(std::vector<std::uint8_t>& p_Out, std::uint32_t p_Value)
{
    std::uint8_t l_Bytes[4];
    int l_Count = 0;
    do {
        l_Bytes[l_Count++] = static_cast<std::uint8_t>(p_Value & 0x7F);
        p_Value >>= 7;
    } while (p_Value != 0 && l_Count < 4);
    while (l_Count > 1)
        p_Out.push_back(static_cast<std::uint8_t>(l_Bytes[--l_Count] | 0x80));
    p_Out.push_back(l_Bytes[0]);
}

// One MTrk chunk gathered out of order: events sorted by time, then by their kind's order (a
// note's end before the next note's controller and start), then as added. A channel event's bytes
// are kept in its item; longer ones (meta events) beside the items.
class TrackWriter
{
public:
    enum Order { NOTE_OFF = 0, SETTING = 1, NOTE_ON = 2 };

    void Add(std::uint64_t p_Tick, Order p_Order, std::initializer_list<std::uint8_t> p_Bytes)
    {
        Push(p_Tick, p_Order, p_Bytes.begin(), p_Bytes.size());
    }

    void AddMeta(std::uint64_t p_Tick, std::uint8_t p_Type, const std::vector<std::uint8_t>& p_Data)
    {
        std::vector<std::uint8_t> l_Bytes = {0xFF, p_Type};
        PutVariable(l_Bytes, static_cast<std::uint32_t>(p_Data.size()));
        l_Bytes.insert(l_Bytes.end(), p_Data.begin(), p_Data.end());
        Push(p_Tick, SETTING, l_Bytes.data(), l_Bytes.size());
    }

    // The chunk, ended at p_EndTick or at its last event, whichever is later.
    void AppendTo(std::vector<std::uint8_t>& p_File, std::uint64_t p_EndTick)
    {
        std::sort(items.begin(), items.end(), [](const Item& p_A, const Item& p_B) {
            return p_A.tick != p_B.tick
                       ? p_A.tick < p_B.tick
                       : (p_A.order != p_B.order ? p_A.order < p_B.order : p_A.seq < p_B.seq);
        });
        std::vector<std::uint8_t> l_Data;
        std::uint64_t l_Now = 0;
        const auto Delta = [&](std::uint64_t p_Tick) {
            // A gap longer than one delta holds is bridged with empty text events.
            while (p_Tick - l_Now > MAX_DELTA) {
                PutVariable(l_Data, MAX_DELTA);
                l_Data.insert(l_Data.end(), {0xFF, 0x01, 0x00});
                l_Now += MAX_DELTA;
            }
            PutVariable(l_Data, static_cast<std::uint32_t>(p_Tick - l_Now));
            l_Now = p_Tick;
        };
        for (const Item& l_Item : items) {
            Delta(l_Item.tick);
            const std::uint8_t* l_Bytes =
                l_Item.size <= sizeof l_Item.bytes ? l_Item.bytes : &longer[l_Item.at];
            l_Data.insert(l_Data.end(), l_Bytes, l_Bytes + l_Item.size);
        }
        Delta(std::max(l_Now, p_EndTick));
        l_Data.insert(l_Data.end(), {0xFF, 0x2F, 0x00});
        p_File.insert(p_File.end(), {'M', 'T', 'r', 'k'});
        PutBig(p_File, static_cast<std::uint32_t>(l_Data.size()), 4);
        p_File.insert(p_File.end(), l_Data.begin(), l_Data.end());
    }

private:
    struct Item
    {
        std::uint64_t tick;
        std::uint32_t seq;
        std::uint32_t at;  // where bytes too long for the item begin in `longer`
        std::uint8_t order;
        std::uint8_t size;
        std::uint8_t bytes[3];
    };

    void Push(std::uint64_t p_Tick, Order p_Order, const std::uint8_t* p_Bytes, std::size_t p_Size)
    {
        Item l_Item = {p_Tick,
                       static_cast<std::uint32_t>(items.size()),
                       0,
                       static_cast<std::uint8_t>(p_Order),
                       static_cast<std::uint8_t>(p_Size),
                       {}};
        if (p_Size <= sizeof l_Item.bytes) {
            std::copy(p_Bytes, p_Bytes + p_Size, l_Item.bytes);
        } else {
            l_Item.at = static_cast<std::uint32_t>(longer.size());
            longer.insert(longer.end(), p_Bytes, p_Bytes + p_Size);
        }
        items.push_back(l_Item);
    }

    std::vector<Item> items;
    std::vector<std::uint8_t> longer;
};

std::vector<std::uint8_t> TextBytes(const char* p_Text) { return {p_Text, p_Text + std::strlen(p_Text)}; }

// A note of the export, on the song's beats.
struct Planned
{
    std::uint64_t pos, end;
    std::uint8_t key, velocity, pan;
    bool setsPan;
    std::uint8_t release;  // the note-off's velocity: a drum note's song key
};

// One MIDI track: its channel, program (-1: none, for drums) and notes.
struct TrackPlan
{
    std::uint8_t channel;
    int program;
    std::uint8_t track, instrument;
    std::vector<Planned> notes;
};

// The notes a song track plays, as the song sounds them (OrgSong::SoundRuns): one for each run
// that strikes a note or takes a held note to a new key, lasting while the key sounds on. A key
// MIDI cannot hold (96 and up) sounds nothing when struck and leaves a held note as it was; a
// drum's key is its drum (p_DrumKey), so a held drum note goes on whatever key it takes.
std::vector<Planned> PlanNotes(const OrgSong& p_Song, int p_Track, std::uint8_t p_DrumKey)
{
    const bool l_Melody = p_Track < MELODY_TRACKS;
    std::vector<Planned> l_Notes;
    bool l_Sounding = false;
    for (const OrgSong::SoundRun& l_Run : p_Song.SoundRuns(p_Track)) {
        const bool l_Playable = l_Run.note < SongEdit::KEYS;
        const std::uint8_t l_Key = l_Melody ? static_cast<std::uint8_t>(l_Run.note + KEY_OFFSET) : p_DrumKey;
        const bool l_GoesOn = l_Sounding && !l_Run.struck && l_Notes.back().end == l_Run.pos &&
                              (!l_Playable || l_Notes.back().key == l_Key);
        if (l_GoesOn)
            l_Notes.back().end = l_Run.end;
        else if (l_Playable)
            l_Notes.push_back({l_Run.pos, l_Run.end, l_Key, VelocityOfVolume(l_Run.volume),
                               ControllerOfPan(l_Run.pan), false, l_Melody ? std::uint8_t{64} : l_Run.note});
        l_Sounding = l_GoesOn || l_Playable;
    }
    return l_Notes;
}

// The tracks that sound, with their notes; p_EndBeat is raised to the last note's end.
std::vector<TrackPlan> PlanTracks(const OrgSong& p_Song, std::uint64_t& p_EndBeat)
{
    std::vector<TrackPlan> l_Plans;
    for (int l_Track = 0; l_Track < TRACK_COUNT; ++l_Track) {
        const bool l_Melody = l_Track < MELODY_TRACKS;
        const int l_Id = p_Song.instruments[l_Track].id;
        if (l_Id >= SongEdit::InstrumentsOfTrack(l_Track))
            continue;
        TrackPlan l_Plan = {static_cast<std::uint8_t>(l_Melody ? l_Track : DRUM_CHANNEL),
                            l_Melody ? MIDI_PROGRAMS[l_Id] : -1, static_cast<std::uint8_t>(l_Track),
                            static_cast<std::uint8_t>(l_Id),
                            PlanNotes(p_Song, l_Track, l_Melody ? 0 : MIDI_DRUM_KEYS[l_Id])};
        for (const Planned& l_Note : l_Plan.notes)
            p_EndBeat = std::max(p_EndBeat, l_Note.end);
        if (!l_Plan.notes.empty())
            l_Plans.push_back(std::move(l_Plan));
    }
    return l_Plans;
}

// Pan is sent before a note whose pan differs from its channel's, taking the notes in the order a
// reader meets them (by time, then by track): the drum tracks share one channel.
void MarkPans(std::vector<TrackPlan>& p_Plans)
{
    std::vector<std::array<std::size_t, 2>> l_Order;
    for (std::size_t l_Plan = 0; l_Plan < p_Plans.size(); ++l_Plan)
        for (std::size_t i = 0; i < p_Plans[l_Plan].notes.size(); ++i)
            l_Order.push_back({l_Plan, i});
    std::stable_sort(l_Order.begin(), l_Order.end(), [&](const auto& p_A, const auto& p_B) {
        return p_Plans[p_A[0]].notes[p_A[1]].pos < p_Plans[p_B[0]].notes[p_B[1]].pos;
    });
    std::array<int, 16> l_ChannelPans;
    l_ChannelPans.fill(-1);
    for (const auto& l_Entry : l_Order) {
        Planned& l_Note = p_Plans[l_Entry[0]].notes[l_Entry[1]];
        int& l_Pan = l_ChannelPans[p_Plans[l_Entry[0]].channel];
        l_Note.setsPan = l_Pan != l_Note.pan;
        l_Pan = l_Note.pan;
    }
}

void WriteNotes(const TrackPlan& p_Plan, TrackWriter& p_Writer)
{
    const std::uint8_t l_Channel = p_Plan.channel;
    std::vector<std::uint8_t> l_Own(std::begin(OWN_TRACK_TAG), std::end(OWN_TRACK_TAG));
    l_Own.insert(l_Own.end(), {p_Plan.track, p_Plan.instrument});
    p_Writer.AddMeta(0, 0x7F, l_Own);
    if (p_Plan.program >= 0)
        p_Writer.Add(
            0, TrackWriter::SETTING,
            {static_cast<std::uint8_t>(0xC0 | l_Channel), static_cast<std::uint8_t>(p_Plan.program)});
    for (const Planned& l_Note : p_Plan.notes) {
        const std::uint64_t l_Tick = l_Note.pos * TICKS_PER_BEAT;
        if (l_Note.setsPan)
            p_Writer.Add(l_Tick, TrackWriter::SETTING,
                         {static_cast<std::uint8_t>(0xB0 | l_Channel), 10, l_Note.pan});
        p_Writer.Add(l_Tick, TrackWriter::NOTE_ON,
                     {static_cast<std::uint8_t>(0x90 | l_Channel), l_Note.key, l_Note.velocity});
        p_Writer.Add(l_Note.end * TICKS_PER_BEAT, TrackWriter::NOTE_OFF,
                     {static_cast<std::uint8_t>(0x80 | l_Channel), l_Note.key, l_Note.release});
    }
}

// How the export times a song. A step (beats_step beats, or 4 when that is 0) is one quarter note;
// a step longer than the longest quarter note a tempo holds is the fewest quarter notes that keep
// each within a tempo and a whole number of ticks, and the file says how many (STEP_MARKER_START).
struct MidiTiming
{
    std::uint32_t ticksPerQuarter;
    std::uint32_t tempoUs;  // per quarter note
    std::uint32_t stepQuarters;
};

MidiTiming TimingOf(const Header& p_Header)
{
    const std::uint32_t l_Beats = p_Header.beats_step != 0 ? p_Header.beats_step : 4;
    const std::uint64_t l_StepUs = std::uint64_t{p_Header.tempo} * l_Beats * 1000;
    const std::uint32_t l_StepTicks = TICKS_PER_BEAT * l_Beats;
    // A step of its own ticks as quarter notes always fits: a tick is at most 65535 ms / 96.
    std::uint32_t l_Quarters = 1;
    while (l_StepUs > std::uint64_t{l_Quarters} * MAX_TEMPO_US || l_StepTicks % l_Quarters != 0)
        ++l_Quarters;
    const std::uint64_t l_Us = (l_StepUs + l_Quarters / 2) / l_Quarters;
    return {l_StepTicks / l_Quarters, static_cast<std::uint32_t>(std::max<std::uint64_t>(l_Us, 1)),
            l_Quarters};
}

std::vector<std::uint8_t> StepMarker(std::uint32_t p_Quarters)
{
    const std::string l_Text = STEP_MARKER_START + std::to_string(p_Quarters) + STEP_MARKER_END;
    return {l_Text.begin(), l_Text.end()};
}

// The first track: time signature, tempo, the step when it is more than a quarter note, the loop.
void WriteConductor(const Header& p_Header, const MidiTiming& p_Timing, TrackWriter& p_Writer)
{
    const std::uint32_t l_Us = p_Timing.tempoUs;
    p_Writer.AddMeta(0, 0x58,
                     {static_cast<std::uint8_t>(p_Header.steps_bar != 0 ? p_Header.steps_bar : 4), 2, 24, 8});
    p_Writer.AddMeta(0, 0x51,
                     {static_cast<std::uint8_t>(l_Us >> 16), static_cast<std::uint8_t>(l_Us >> 8),
                      static_cast<std::uint8_t>(l_Us)});
    if (p_Timing.stepQuarters > 1)
        p_Writer.AddMeta(0, 0x06, StepMarker(p_Timing.stepQuarters));
    p_Writer.AddMeta(p_Header.loopstart * std::uint64_t{TICKS_PER_BEAT}, 0x06, TextBytes(LOOP_START_MARKER));
    p_Writer.AddMeta(p_Header.loopstop * std::uint64_t{TICKS_PER_BEAT}, 0x06, TextBytes(LOOP_END_MARKER));
}

}  // namespace

int WaveformOfProgram(int p_Program)
{
    p_Program &= 0x7F;
    for (int l_Waveform = 0; l_Waveform < SongEdit::WAVEFORMS; ++l_Waveform)
        if (MIDI_PROGRAMS[l_Waveform] == p_Program)
            return l_Waveform;
    return FAMILY_WAVEFORMS[p_Program / 8];
}

bool HasMidiMagic(const void* p_Data, std::size_t p_Size)
{
    return p_Data != nullptr && p_Size >= 4 && std::memcmp(p_Data, "MThd", 4) == 0;
}

std::vector<std::uint8_t> SongToMidi(const OrgSong& p_Song)
{
    const Header& l_Header = p_Song.GetHeader();
    std::uint64_t l_EndBeat = std::max(l_Header.loopstart, l_Header.loopstop);
    std::vector<TrackPlan> l_Plans = PlanTracks(p_Song, l_EndBeat);
    MarkPans(l_Plans);
    const MidiTiming l_Timing = TimingOf(l_Header);
    std::vector<std::uint8_t> l_File = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    PutBig(l_File, static_cast<std::uint32_t>(1 + l_Plans.size()), 2);
    PutBig(l_File, l_Timing.ticksPerQuarter, 2);
    TrackWriter l_Conductor;
    WriteConductor(l_Header, l_Timing, l_Conductor);
    l_Conductor.AppendTo(l_File, l_EndBeat * TICKS_PER_BEAT);
    // Each track is written as soon as it is made, so that only one is held in pieces at a time.
    for (TrackPlan& l_Plan : l_Plans) {
        TrackWriter l_Writer;
        WriteNotes(l_Plan, l_Writer);
        l_Writer.AppendTo(l_File, l_EndBeat * TICKS_PER_BEAT);
        std::vector<Planned>().swap(l_Plan.notes);
    }
    return l_File;
}

namespace {

// One event of the file that the import uses, with when it happens. The events are kept in the
// file's order, so that a stable sort by time orders them as the tracks play together: a tie goes
// to the earlier track, then to the earlier event.
struct MidiEvent
{
    enum Kind : std::uint8_t {
        NOTE_ON,
        NOTE_OFF,
        PAN,
        PROGRAM,
        TEMPO,
        TIME_SIGNATURE,
        LOOP_START,
        LOOP_END,
        STEP
    };
    std::uint64_t tick;
    std::uint32_t value;  // tempo in microseconds per quarter, quarter notes per step; a note's OwnTag
    Kind kind;
    std::uint8_t channel;
    std::uint8_t a;  // key, controller value, program, numerator
    std::uint8_t b;  // velocity (a note-off's with RELEASED), denominator's power of two
};

// Marks a note-off's velocity as one the file gave (0x80 with a velocity, not a note-on of none).
constexpr std::uint8_t RELEASED = 0x80;

// The track a note's chunk said it is of ours (OWN_TRACK_TAG), in MidiEvent::value: 0 for none.
constexpr std::uint32_t OwnTag(std::uint8_t p_Track, std::uint8_t p_Instrument)
{
    return 0x10000u | std::uint32_t{p_Track} << 8 | p_Instrument;
}

class ChunkReader
{
public:
    ChunkReader(const std::uint8_t* p_Data, std::size_t p_Size) : data(p_Data), size(p_Size) {}
    bool AtEnd() const { return at >= size; }
    bool Byte(std::uint8_t& p_Value)
    {
        if (at >= size)
            return false;
        p_Value = data[at++];
        return true;
    }
    std::uint8_t Peek() const { return data[at]; }
    // A variable-length number of at most four bytes.
    bool Variable(std::uint32_t& p_Value)
    {
        p_Value = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t l_Byte = 0;
            if (!Byte(l_Byte))
                return false;
            p_Value = (p_Value << 7) | (l_Byte & 0x7F);
            if ((l_Byte & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool Skip(std::uint32_t p_Count, const std::uint8_t** p_Start = nullptr)
    {
        if (p_Count > size - at)
            return false;
        if (p_Start != nullptr)
            *p_Start = data + at;
        at += p_Count;
        return true;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
};

std::uint32_t Big(const std::uint8_t* p_Bytes, int p_Count)
{
    std::uint32_t l_Value = 0;
    for (int i = 0; i < p_Count; ++i)
        l_Value = (l_Value << 8) | p_Bytes[i];
    return l_Value;
}

bool IsMarker(const std::uint8_t* p_Text, std::uint32_t p_Length, const char* p_Name)
{
    const std::size_t l_Length = std::strlen(p_Name);
    if (p_Length != l_Length)
        return false;
    for (std::size_t i = 0; i < l_Length; ++i)
        if (std::tolower(p_Text[i]) != p_Name[i])
            return false;
    return true;
}

// The N of the marker "step of N quarters" (2 to MAX_STEP_QUARTERS), else 0.
std::uint32_t StepMarkerQuarters(const std::uint8_t* p_Text, std::uint32_t p_Length)
{
    const std::size_t l_Start = std::strlen(STEP_MARKER_START), l_End = std::strlen(STEP_MARKER_END);
    if (p_Length <= l_Start + l_End ||
        !IsMarker(p_Text, static_cast<std::uint32_t>(l_Start), STEP_MARKER_START) ||
        !IsMarker(p_Text + p_Length - l_End, static_cast<std::uint32_t>(l_End), STEP_MARKER_END))
        return 0;
    std::uint32_t l_Quarters = 0;
    for (std::size_t i = l_Start; i < p_Length - l_End; ++i) {
        if (!std::isdigit(p_Text[i]))
            return 0;
        l_Quarters = l_Quarters * 10 + static_cast<std::uint32_t>(p_Text[i] - '0');
        if (l_Quarters > MAX_STEP_QUARTERS)
            return 0;
    }
    return l_Quarters >= 2 ? l_Quarters : 0;
}

// How many more events of each kind the import holds (MAX_MIDI_EVENTS).
struct EventRoom
{
    std::size_t starts = MIDI_NOTES_MAX, ends = MIDI_NOTES_MAX, settings = MIDI_SETTINGS_MAX;
};

// The events of one MTrk chunk as they are read, each at the chunk's time so far; those of a kind
// the import has no more room for are only counted. Without `events`, they are only made room for.
struct TrackEvents
{
    std::vector<MidiEvent>* events;
    EventRoom& room;
    std::uint64_t tick;
    MidiImportReport& report;
    std::uint32_t own = 0;  // the chunk's OwnTag, once it has said so

    void Push(MidiEvent::Kind p_Kind, std::uint8_t p_Channel, std::uint8_t p_A, std::uint8_t p_B,
              std::uint32_t p_Value)
    {
        std::size_t& l_Room = p_Kind == MidiEvent::NOTE_ON    ? room.starts
                              : p_Kind == MidiEvent::NOTE_OFF ? room.ends
                                                              : room.settings;
        if (l_Room == 0) {
            ++report.excessEvents;
            return;
        }
        --l_Room;
        if (events != nullptr)
            events->push_back({tick, p_Value, p_Kind, p_Channel, p_A, p_B});
    }
};

// The data bytes of a channel event of status p_Status; false for a malformed one.
bool ReadChannelEvent(ChunkReader& p_Reader, std::uint8_t p_Status, TrackEvents& p_Out)
{
    const std::uint8_t l_Type = p_Status & 0xF0;
    const std::uint8_t l_Channel = p_Status & 0x0F;
    std::uint8_t l_A = 0, l_B = 0;
    const bool l_TwoBytes = l_Type != 0xC0 && l_Type != 0xD0;
    if (!p_Reader.Byte(l_A) || (l_TwoBytes && !p_Reader.Byte(l_B)) || ((l_A | l_B) & 0x80))
        return false;
    if (l_Type == 0x90 && l_B != 0)
        p_Out.Push(MidiEvent::NOTE_ON, l_Channel, l_A, l_B, p_Out.own);
    else if (l_Type == 0x80 || l_Type == 0x90)
        p_Out.Push(MidiEvent::NOTE_OFF, l_Channel, l_A, l_Type == 0x80 ? RELEASED | l_B : 0, p_Out.own);
    else if (l_Type == 0xB0 && l_A == 10)
        p_Out.Push(MidiEvent::PAN, l_Channel, l_B, 0, 0);
    else if (l_Type == 0xC0)
        p_Out.Push(MidiEvent::PROGRAM, l_Channel, l_A, 0, 0);
    else
        ++p_Out.report.ignoredEvents;
    return true;
}

// A meta or system exclusive event of status p_Status; false for a malformed one. p_TrackEnds is
// set by the meta event that ends the track.
bool ReadOtherEvent(ChunkReader& p_Reader, std::uint8_t p_Status, TrackEvents& p_Out, bool& p_TrackEnds)
{
    std::uint8_t l_MetaType = 0;
    std::uint32_t l_Length = 0;
    const std::uint8_t* l_Body = nullptr;
    if ((p_Status == 0xFF && !p_Reader.Byte(l_MetaType)) ||
        (p_Status != 0xFF && p_Status != 0xF0 && p_Status != 0xF7) || !p_Reader.Variable(l_Length) ||
        !p_Reader.Skip(l_Length, &l_Body))
        return false;
    if (p_Status != 0xFF)
        return true;  // system exclusive
    p_TrackEnds = l_MetaType == 0x2F;
    if (l_MetaType == 0x7F && l_Length == OWN_TRACK_BYTES &&
        std::equal(std::begin(OWN_TRACK_TAG), std::end(OWN_TRACK_TAG), l_Body) &&
        l_Body[sizeof(OWN_TRACK_TAG)] < TRACK_COUNT)
        p_Out.own = OwnTag(l_Body[sizeof(OWN_TRACK_TAG)], l_Body[sizeof(OWN_TRACK_TAG) + 1]);
    if (l_MetaType == 0x51 && l_Length >= 3)
        p_Out.Push(MidiEvent::TEMPO, 0, 0, 0, Big(l_Body, 3));
    else if (l_MetaType == 0x58 && l_Length >= 2)
        p_Out.Push(MidiEvent::TIME_SIGNATURE, 0, l_Body[0], l_Body[1], 0);
    else if (l_MetaType == 0x06 && IsMarker(l_Body, l_Length, LOOP_START_MARKER))
        p_Out.Push(MidiEvent::LOOP_START, 0, 0, 0, 0);
    else if (l_MetaType == 0x06 && IsMarker(l_Body, l_Length, LOOP_END_MARKER))
        p_Out.Push(MidiEvent::LOOP_END, 0, 0, 0, 0);
    else if (l_MetaType == 0x06 && StepMarkerQuarters(l_Body, l_Length) != 0)
        p_Out.Push(MidiEvent::STEP, 0, 0, 0, StepMarkerQuarters(l_Body, l_Length));
    return true;
}

// Reads one MTrk chunk's events into p_Events; false when it ends early or holds a malformed event
// (what came before is kept). p_End receives the tick the chunk reached.
bool ReadTrack(const std::uint8_t* p_Data, std::size_t p_Size, std::vector<MidiEvent>* p_Events,
               EventRoom& p_Room, std::uint64_t& p_End, MidiImportReport& p_Report)
{
    ChunkReader l_Reader(p_Data, p_Size);
    TrackEvents l_Out = {p_Events, p_Room, 0, p_Report};
    std::uint8_t l_Running = 0;
    while (!l_Reader.AtEnd()) {
        std::uint32_t l_Delta = 0;
        if (!l_Reader.Variable(l_Delta) || l_Reader.AtEnd())
            return false;
        l_Out.tick += l_Delta;
        p_End = l_Out.tick;
        std::uint8_t l_Status = l_Reader.Peek();
        if (l_Status & 0x80) {
            l_Reader.Byte(l_Status);
            if (l_Status < 0xF0)
                l_Running = l_Status;
        } else if (l_Running != 0) {
            l_Status = l_Running;
        } else {
            return false;
        }
        bool l_TrackEnds = false;
        if (l_Status < 0xF0 ? !ReadChannelEvent(l_Reader, l_Status, l_Out)
                            : !ReadOtherEvent(l_Reader, l_Status, l_Out, l_TrackEnds))
            return false;
        if (l_TrackEnds)
            return true;
    }
    return true;
}

// What the header chunk says.
struct MidiHead
{
    // Ticks per quarter note, or for a division in frames (SMPTE) ticks per second, read as
    // quarter notes of one second at a tempo no event changes.
    std::uint64_t ticksPerQuarter;
    bool fixedTempo;
    std::size_t chunks;    // where the chunks after it begin
    std::uint32_t tracks;  // the MTrk chunks it says follow
};

bool ReadHead(const std::uint8_t* p_Bytes, std::size_t p_Size, MidiHead& p_Head, std::string& p_Error)
{
    if (!HasMidiMagic(p_Bytes, p_Size) || p_Size < 14 || Big(p_Bytes + 4, 4) < 6) {
        p_Error = "not a Standard MIDI File (it does not begin with an MThd header)";
        return false;
    }
    const std::uint32_t l_Format = Big(p_Bytes + 8, 2);
    const std::uint32_t l_Division = Big(p_Bytes + 12, 2);
    if (l_Format > 1) {
        p_Error = "a type " + std::to_string(l_Format) + " MIDI file; only types 0 and 1 can be read";
        return false;
    }
    p_Head.ticksPerQuarter = l_Division;
    p_Head.fixedTempo = (l_Division & 0x8000) != 0;
    if (p_Head.fixedTempo) {
        const int l_Frames = 256 - static_cast<int>(l_Division >> 8);
        p_Head.ticksPerQuarter = static_cast<std::uint64_t>(l_Frames) * (l_Division & 0xFF);
    }
    if (p_Head.ticksPerQuarter == 0) {
        p_Error = "the MIDI file's division is 0 ticks";
        return false;
    }
    p_Head.chunks = 8 + std::size_t{Big(p_Bytes + 4, 4)};
    p_Head.tracks = Big(p_Bytes + 10, 2);
    return true;
}

// Every chunk's events in turn (only counted, in p_Held, without p_Events); a chunk that claims
// more bytes than are left is read as far as it goes, and a file of fewer tracks than its header
// says is damaged too. Returns the last tick a track reached.
std::uint64_t ReadChunks(const std::uint8_t* p_Bytes, std::size_t p_Size, const MidiHead& p_Head,
                         std::vector<MidiEvent>* p_Events, MidiImportReport& p_Report, std::size_t& p_Held)
{
    std::uint64_t l_FileEnd = 0;
    std::uint32_t l_Tracks = 0;
    EventRoom l_Room;
    std::size_t l_At = p_Head.chunks;
    if (l_At > p_Size)
        p_Report.damaged = true;
    while (l_At < p_Size) {
        if (p_Size - l_At < 8) {
            p_Report.damaged = true;
            break;
        }
        const std::size_t l_Length = Big(p_Bytes + l_At + 4, 4);
        const std::size_t l_Start = l_At + 8;
        const std::size_t l_Available = std::min(l_Length, p_Size - l_Start);
        if (l_Available < l_Length)
            p_Report.damaged = true;
        if (std::memcmp(p_Bytes + l_At, "MTrk", 4) == 0) {
            ++l_Tracks;
            std::uint64_t l_End = 0;
            if (!ReadTrack(p_Bytes + l_Start, l_Available, p_Events, l_Room, l_End, p_Report))
                p_Report.damaged = true;
            l_FileEnd = std::max(l_FileEnd, l_End);
        }
        l_At = l_Start + l_Available;
    }
    if (l_Tracks < p_Head.tracks)
        p_Report.damaged = true;
    p_Held = MAX_MIDI_EVENTS - l_Room.starts - l_Room.ends - l_Room.settings;
    return l_FileEnd;
}

// The events the import holds of a file, in time order. The file is read twice, first to count
// them, so that they take no more room than they need. p_FileEnd: the last tick a track reached.
std::vector<MidiEvent> ReadEvents(const std::uint8_t* p_Bytes, std::size_t p_Size, const MidiHead& p_Head,
                                  std::uint64_t& p_FileEnd, MidiImportReport& p_Report)
{
    MidiImportReport l_Counting;
    std::size_t l_Held = 0;
    ReadChunks(p_Bytes, p_Size, p_Head, nullptr, l_Counting, l_Held);
    std::vector<MidiEvent> l_Events;
    l_Events.reserve(l_Held);
    p_FileEnd = ReadChunks(p_Bytes, p_Size, p_Head, &l_Events, p_Report, l_Held);
    // One track, or tracks one after another in time, are in order already.
    const auto ByTick = [](const MidiEvent& p_A, const MidiEvent& p_B) { return p_A.tick < p_B.tick; };
    if (!std::is_sorted(l_Events.begin(), l_Events.end(), ByTick))
        std::stable_sort(l_Events.begin(), l_Events.end(), ByTick);
    return l_Events;
}

// A note of the file, from its start to its end, with what its channel held at its start.
struct MidiNote
{
    std::uint64_t start, end;  // ticks
    std::uint8_t channel, key, velocity, pan;
    bool unfinished;
    // Of a track of ours (else NOT_OURS): the song track, its instrument, and a drum note's song key
    // from its note-off.
    std::uint8_t track, instrument, songKey;
};

// What the whole file sets, as the events in time order give it.
struct MidiSettings
{
    std::uint32_t tempoUs;
    int numerator = 4, power = 2;               // the time signature
    std::int64_t loopStart = -1, loopEnd = -1;  // ticks of the markers; -1: none
    std::uint32_t stepQuarters = 0;             // by the first step marker; 0: none, a step is a quarter
    std::array<int, 16> programs;               // each channel's program at its first note
    // Each channel's song track and waveform at its first note when that came from a track of
    // ours (OWN_TRACK_TAG); -1: none.
    std::array<int, 16> ownTracks, ownWaveforms;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> tempos;  // every tempo's tick and value
};

// Follows the events in time order: the channels' settings, and the notes from their start to
// their end.
class EventFollower
{
public:
    // p_Notes: how many notes the events start.
    EventFollower(bool p_FixedTempo, MidiImportReport& p_Report, std::size_t p_Notes)
        : fixedTempo(p_FixedTempo), report(p_Report)
    {
        notes.reserve(p_Notes);
        settings.tempoUs = p_FixedTempo ? 1000000 : DEFAULT_TEMPO_US;
        haveTempo = p_FixedTempo;
        pans.fill(64);
        programs.fill(0);
        settings.programs.fill(-1);
        settings.ownTracks.fill(-1);
        settings.ownWaveforms.fill(-1);
    }

    void Follow(const MidiEvent& p_Event)
    {
        switch (p_Event.kind) {
        case MidiEvent::NOTE_ON: {
            const bool l_Ours = p_Event.value != 0;
            const std::uint8_t l_Track = l_Ours ? static_cast<std::uint8_t>(p_Event.value >> 8) : NOT_OURS;
            const std::uint8_t l_Instrument = static_cast<std::uint8_t>(p_Event.value);
            if (!started[p_Event.channel]) {
                settings.programs[p_Event.channel] = programs[p_Event.channel];
                if (l_Ours && l_Track < MELODY_TRACKS && l_Instrument < SongEdit::WAVEFORMS) {
                    settings.ownTracks[p_Event.channel] = l_Track;
                    settings.ownWaveforms[p_Event.channel] = l_Instrument;
                }
            }
            started[p_Event.channel] = true;
            open[p_Event.channel * 128u + p_Event.a].notes.push_back(
                static_cast<std::uint32_t>(notes.size()));
            notes.push_back({p_Event.tick, p_Event.tick, p_Event.channel, p_Event.a, p_Event.b,
                             pans[p_Event.channel], false, l_Track, l_Instrument, NOT_OURS});
            break;
        }
        case MidiEvent::NOTE_OFF: {
            Sounding& l_Sounding = open[p_Event.channel * 128u + p_Event.a];
            if (l_Sounding.first < l_Sounding.notes.size()) {
                MidiNote& l_Note = notes[l_Sounding.notes[l_Sounding.first++]];
                l_Note.end = p_Event.tick;
                if (l_Note.track != NOT_OURS && (p_Event.b & RELEASED) != 0)
                    l_Note.songKey = static_cast<std::uint8_t>(p_Event.b & ~RELEASED);
            }
            break;
        }
        case MidiEvent::PAN:
            pans[p_Event.channel] = p_Event.a;
            break;
        case MidiEvent::PROGRAM:
            if (started[p_Event.channel] && p_Event.channel != DRUM_CHANNEL &&
                p_Event.a != programs[p_Event.channel])
                ++report.programChanges;
            programs[p_Event.channel] = p_Event.a;
            break;
        default:
            FollowSetting(p_Event);
            break;
        }
    }

    // The notes, those never ended ending at p_FileEnd, and the settings.
    std::vector<MidiNote> Finish(std::uint64_t p_FileEnd, MidiSettings& p_Settings)
    {
        for (const Sounding& l_Sounding : open) {
            for (std::size_t i = l_Sounding.first; i < l_Sounding.notes.size(); ++i) {
                notes[l_Sounding.notes[i]].end = p_FileEnd;
                notes[l_Sounding.notes[i]].unfinished = true;
            }
        }
        p_Settings = settings;
        return std::move(notes);
    }

private:
    // The notes sounding on one channel and key, oldest first: a note's end ends the oldest.
    struct Sounding
    {
        std::vector<std::uint32_t> notes;  // MIDI_NOTES_MAX of them at most
        std::size_t first = 0;
    };

    void FollowSetting(const MidiEvent& p_Event)
    {
        const auto Tick = [&] {
            return static_cast<std::int64_t>(std::min<std::uint64_t>(p_Event.tick, INT64_MAX));
        };
        switch (p_Event.kind) {
        case MidiEvent::TEMPO:
            // A division in frames keeps its time whatever the tempo says.
            if (fixedTempo)
                break;
            if (haveTempo && p_Event.value != tempoNow)
                ++report.extraTempos;
            tempoNow = p_Event.value;
            haveTempo = true;
            settings.tempos.push_back({p_Event.tick, p_Event.value});
            break;
        case MidiEvent::TIME_SIGNATURE:
            if (!haveSignature) {
                settings.numerator = p_Event.a;
                settings.power = p_Event.b;
            }
            haveSignature = true;
            break;
        case MidiEvent::LOOP_START:
            if (settings.loopStart < 0)
                settings.loopStart = Tick();
            break;
        case MidiEvent::LOOP_END:
            if (settings.loopEnd < 0)
                settings.loopEnd = Tick();
            break;
        case MidiEvent::STEP:
            if (settings.stepQuarters == 0)
                settings.stepQuarters = p_Event.value;
            break;
        default:
            break;
        }
    }

    const bool fixedTempo;
    MidiImportReport& report;
    MidiSettings settings;
    bool haveTempo = false, haveSignature = false;
    std::uint32_t tempoNow = 0;
    std::array<std::uint8_t, 16> pans, programs;
    std::array<bool, 16> started = {};
    std::vector<Sounding> open = std::vector<Sounding>(16 * 128);  // per channel and key
    std::vector<MidiNote> notes;
};

// Ticks to the song's beats, p_Steps beats to p_TicksPerStep ticks, to the nearest, without
// overflowing for any tick.
class BeatGrid
{
public:
    BeatGrid(std::uint64_t p_TicksPerStep, std::uint64_t p_Steps) : ticks(p_TicksPerStep), steps(p_Steps) {}
    std::uint64_t Beat(std::uint64_t p_Tick) const
    {
        return p_Tick / ticks * steps + (p_Tick % ticks * steps * 2 + ticks) / (ticks * 2);
    }

private:
    std::uint64_t ticks, steps;
};

// The last beat a song holds.
constexpr std::uint64_t LAST_BEAT = std::numeric_limits<std::uint32_t>::max();

// An unsigned number of 128 bits for the tempo map's exact times (ticks times microseconds go past
// 64 bits), with the few operations it needs, the same on every platform (32-bit ones have no
// 128-bit integer).
struct Wide
{
    std::uint64_t high = 0, low = 0;

    static Wide Of(std::uint64_t p_Value) { return {0, p_Value}; }
    // p_A times p_B.
    static Wide Product(std::uint64_t p_A, std::uint32_t p_B)
    {
        const std::uint64_t l_Low = (p_A & 0xFFFFFFFFu) * p_B, l_High = (p_A >> 32) * p_B;
        Wide l_Product;
        l_Product.low = l_Low + (l_High << 32);
        l_Product.high = (l_High >> 32) + (l_Product.low < l_Low ? 1 : 0);
        return l_Product;
    }
    Wide& operator+=(const Wide& p_Other)
    {
        const std::uint64_t l_Low = low + p_Other.low;
        high += p_Other.high + (l_Low < low ? 1 : 0);
        low = l_Low;
        return *this;
    }
    friend Wide operator+(Wide p_A, const Wide& p_B) { return p_A += p_B; }
    friend bool operator<(const Wide& p_A, const Wide& p_B)
    {
        return p_A.high != p_B.high ? p_A.high < p_B.high : p_A.low < p_B.low;
    }
    // This over p_Divisor (not 0), rounded down and held to p_Most: long division, 32 bits a step.
    std::uint64_t Over(std::uint32_t p_Divisor, std::uint64_t p_Most) const
    {
        const std::uint32_t l_Digits[4] = {std::uint32_t(high >> 32), std::uint32_t(high),
                                           std::uint32_t(low >> 32), std::uint32_t(low)};
        std::uint64_t l_Rest = 0, l_Quotient[4] = {};
        for (int l_Digit = 0; l_Digit < 4; ++l_Digit) {
            const std::uint64_t l_Part = l_Rest << 32 | l_Digits[l_Digit];
            l_Quotient[l_Digit] = l_Part / p_Divisor;
            l_Rest = l_Part % p_Divisor;
        }
        if (l_Quotient[0] != 0 || l_Quotient[1] != 0)
            return p_Most;
        return std::min(l_Quotient[2] << 32 | l_Quotient[3], p_Most);
    }
};

// The file's ticks as ticks of one tempo, the song's. Where the file changes tempo, a tick is
// placed by the time the tempo map gives it, counted in ticks of the tempo that holds longest (in
// time, up to the file's end; the earliest of equals), so that a note sounds when the file has it
// however its tempo went. With one tempo every tick stays as it is. Exact: times are kept as ticks
// times microseconds.
class TempoMap
{
public:
    // p_Changes in time order; p_Initial holds until the first; ticks are held to p_Limit.
    TempoMap(const std::vector<std::pair<std::uint64_t, std::uint32_t>>& p_Changes, std::uint32_t p_Initial,
             std::uint64_t p_FileEnd, std::uint64_t p_Limit)
        : limit(p_Limit)
    {
        segments.push_back({0, p_Initial, Wide()});
        for (const auto& l_Change : p_Changes) {
            if (l_Change.first == segments.back().tick)
                segments.back().us = l_Change.second;
            else if (l_Change.second != segments.back().us)
                segments.push_back({l_Change.first, l_Change.second, Wide()});
        }
        std::vector<std::pair<std::uint32_t, Wide>> l_Held;  // each tempo and how long it holds
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const std::uint64_t l_Next =
                i + 1 < segments.size() ? segments[i + 1].tick : std::max(p_FileEnd, segments[i].tick);
            const Wide l_Time = Wide::Product(l_Next - segments[i].tick, segments[i].us);
            if (i + 1 < segments.size())
                segments[i + 1].at = segments[i].at + l_Time;
            const auto l_Same = std::find_if(l_Held.begin(), l_Held.end(), [&](const auto& p_Held) {
                return p_Held.first == segments[i].us;
            });
            if (l_Same == l_Held.end())
                l_Held.push_back({segments[i].us, l_Time});
            else
                l_Same->second += l_Time;
        }
        tempo = std::max_element(l_Held.begin(), l_Held.end(), [](const auto& p_A, const auto& p_B) {
                    return p_A.second < p_B.second;
                })->first;
    }

    std::uint32_t Tempo() const { return tempo; }

    std::uint64_t Tick(std::uint64_t p_Tick) const
    {
        // Only a tempo of no time at all holds longest: then there is no time to go by.
        if (tempo == 0)
            return std::min(p_Tick, limit);
        const auto l_Segment = std::prev(std::upper_bound(
            segments.begin(), segments.end(), p_Tick,
            [](std::uint64_t p_Value, const Segment& p_Segment) { return p_Value < p_Segment.tick; }));
        const Wide l_Time = l_Segment->at + Wide::Product(p_Tick - l_Segment->tick, l_Segment->us);
        return (l_Time + Wide::Of(tempo / 2)).Over(tempo, limit);
    }

private:
    struct Segment
    {
        std::uint64_t tick;
        std::uint32_t us;  // per quarter note, from this tick on
        Wide at;           // the time the segment starts, in ticks times microseconds
    };
    std::vector<Segment> segments;
    std::uint32_t tempo = 0;
    std::uint64_t limit;
};

// A note on the song's beats, before it is given a track.
struct PlacedNote
{
    std::uint64_t beat;
    std::uint8_t key, length, volume, pan;
    int group;           // melody: channel; drums: drum
    bool lengthened;     // quantised to no length, given one beat
    bool shortened;      // cut to 255 beats
    bool unfinished;     // never ended in the file
    bool retimed;        // more than a beat from where its ticks alone put it
    std::uint8_t track;  // the song track a file of ours gives it, else NOT_OURS
};

// p_Note on the grid, in p_Placed; false (counted in p_Report) when no track can hold it.
bool PlaceNote(const MidiNote& p_Note, const BeatGrid& p_Grid, const TempoMap& p_Map, PlacedNote& p_Placed,
               MidiImportReport& p_Report)
{
    const bool l_IsDrum = p_Note.channel == DRUM_CHANNEL;
    const std::uint64_t l_ByTicks = p_Grid.Beat(p_Note.start), l_Beat = p_Grid.Beat(p_Map.Tick(p_Note.start));
    p_Placed = {l_Beat,
                0,
                1,
                VolumeOfVelocity(p_Note.velocity),
                PanOfController(p_Note.pan),
                p_Note.channel,
                false,
                false,
                p_Note.unfinished,
                std::max(l_Beat, l_ByTicks) - std::min(l_Beat, l_ByTicks) > 1,
                p_Note.track};
    if (l_IsDrum) {
        const std::uint8_t* l_Key =
            std::find(std::begin(MIDI_DRUM_KEYS), std::end(MIDI_DRUM_KEYS), p_Note.key);
        if (l_Key == std::end(MIDI_DRUM_KEYS)) {
            ++p_Report.unmappedDrums;
            return false;
        }
        p_Placed.group = static_cast<int>(l_Key - MIDI_DRUM_KEYS);
        // A track of ours says its drum and, in each note-off, the note's key.
        if (p_Note.track != NOT_OURS && p_Note.instrument < DRUM_COUNT)
            p_Placed.group = p_Note.instrument;
        p_Placed.key = p_Note.songKey < SongEdit::KEYS ? p_Note.songKey : IMPORTED_DRUM_KEY;
    } else {
        if (p_Note.key < KEY_OFFSET || p_Note.key >= KEY_OFFSET + SongEdit::KEYS) {
            ++p_Report.keysOutOfRange;
            return false;
        }
        p_Placed.key = static_cast<std::uint8_t>(p_Note.key - KEY_OFFSET);
    }
    if (p_Placed.beat > LAST_BEAT) {
        ++p_Report.beyondLastBeat;
        return false;
    }
    if (!l_IsDrum) {
        const std::uint64_t l_Length = p_Grid.Beat(p_Map.Tick(p_Note.end)) - p_Placed.beat;
        p_Placed.lengthened = l_Length == 0;
        p_Placed.shortened = l_Length > SongEdit::MAX_LENGTH;
        p_Placed.length =
            static_cast<std::uint8_t>(std::clamp<std::uint64_t>(l_Length, 1, SongEdit::MAX_LENGTH));
    }
    return true;
}

// Places notes on up to p_Tracks monophonic tracks, each note on the first one free at its beat;
// gives each note's track (or -1 when none is free) and how many tracks were used.
int FirstFit(const PlacedNote* p_Notes, std::size_t p_Count, int p_Tracks, std::vector<int>& p_Slots)
{
    std::vector<std::uint64_t> l_FreeAt(static_cast<std::size_t>(p_Tracks), 0);
    int l_Used = 0;
    p_Slots.assign(p_Count, -1);
    for (std::size_t i = 0; i < p_Count; ++i) {
        for (int l_Slot = 0; l_Slot < p_Tracks; ++l_Slot) {
            if (l_FreeAt[l_Slot] <= p_Notes[i].beat) {
                l_FreeAt[l_Slot] = p_Notes[i].beat + p_Notes[i].length;
                p_Slots[i] = l_Slot;
                l_Used = std::max(l_Used, l_Slot + 1);
                break;
            }
        }
    }
    return l_Used;
}

// The song's tracks as they fill, each in beat order, and their instruments.
struct SongTracks
{
    std::vector<std::vector<NoteEvent>> events = std::vector<std::vector<NoteEvent>>(TRACK_COUNT);
    std::array<int, TRACK_COUNT> ids = {};

    void Keep(int p_Track, const PlacedNote& p_Note, MidiImportReport& p_Report)
    {
        if (events[p_Track].size() >= SongEdit::MAX_EVENTS) {
            ++p_Report.overfullTracks;
            return;
        }
        events[p_Track].push_back(
            {static_cast<std::uint32_t>(p_Note.beat), p_Note.key, p_Note.length, p_Note.volume, p_Note.pan});
        ++p_Report.notes;
        p_Report.lengthened += p_Note.lengthened;
        p_Report.shortened += p_Note.shortened;
        p_Report.unfinished += p_Note.unfinished;
        p_Report.retimed += p_Note.retimed;
    }
};

// Melody: each channel's voices on as many tracks as it needs, up to eight; then the eight tracks
// shared out, one to each channel first. p_Melody, in the order the notes start, is reordered by
// channel in place.
void ShareMelodyTracks(std::vector<PlacedNote>& p_Melody, const MidiSettings& p_Settings,
                       SongTracks& p_Tracks, MidiImportReport& p_Report)
{
    std::stable_sort(p_Melody.begin(), p_Melody.end(),
                     [](const PlacedNote& p_A, const PlacedNote& p_B) { return p_A.group < p_B.group; });
    std::array<std::size_t, 17> l_From = {};  // each channel's notes, from l_From[c] to l_From[c + 1]
    for (const PlacedNote& l_Note : p_Melody)
        ++l_From[l_Note.group + 1];
    for (int l_Channel = 0; l_Channel < 16; ++l_Channel)
        l_From[l_Channel + 1] += l_From[l_Channel];
    const auto Notes = [&](int p_Channel) { return l_From[p_Channel + 1] - l_From[p_Channel]; };
    std::array<std::vector<int>, 16> l_Slots;
    std::array<int, 16> l_Need = {}, l_Given = {};
    std::vector<int> l_Order;
    for (int l_Channel = 0; l_Channel < 16; ++l_Channel) {
        l_Need[l_Channel] = FirstFit(p_Melody.data() + l_From[l_Channel], Notes(l_Channel), MELODY_TRACKS,
                                     l_Slots[l_Channel]);
        if (l_Need[l_Channel] > 0)
            l_Order.push_back(l_Channel);
    }
    std::stable_sort(l_Order.begin(), l_Order.end(),
                     [&](int p_A, int p_B) { return Notes(p_A) > Notes(p_B); });
    for (int l_Left = MELODY_TRACKS, l_Progress = 1; l_Left > 0 && l_Progress != 0;) {
        l_Progress = 0;
        for (int l_Channel : l_Order) {
            if (l_Left > 0 && l_Given[l_Channel] < l_Need[l_Channel]) {
                ++l_Given[l_Channel];
                --l_Left;
                ++l_Progress;
            }
        }
    }
    std::array<int, 17> l_GivenAfter = {};  // the tracks given to the channels from each on
    for (int l_Channel = 15; l_Channel >= 0; --l_Channel)
        l_GivenAfter[l_Channel] = l_GivenAfter[l_Channel + 1] + l_Given[l_Channel];
    for (int l_Channel = 0, l_First = 0; l_Channel < 16; ++l_Channel) {
        if (l_Need[l_Channel] > 0 && l_Given[l_Channel] == 0)
            ++p_Report.channelsWithoutTrack;
        // A channel of a track of ours goes back to that track when the channels after it still fit.
        const int l_Own = p_Settings.ownTracks[l_Channel];
        if (l_Given[l_Channel] > 0 && l_Own > l_First && l_Own + l_GivenAfter[l_Channel] <= MELODY_TRACKS)
            l_First = l_Own;
        for (std::size_t i = 0; i < Notes(l_Channel); ++i) {
            const int l_Slot = l_Slots[l_Channel][i];
            if (l_Slot < 0)
                ++p_Report.extraVoices;
            else if (l_Slot >= l_Given[l_Channel])
                ++p_Report.sharedTracks;
            else
                p_Tracks.Keep(l_First + l_Slot, p_Melody[l_From[l_Channel] + i], p_Report);
        }
        for (int l_Slot = 0; l_Slot < l_Given[l_Channel]; ++l_Slot)
            p_Tracks.ids[l_First + l_Slot] = p_Settings.ownWaveforms[l_Channel] >= 0
                                                 ? p_Settings.ownWaveforms[l_Channel]
                                                 : WaveformOfProgram(p_Settings.programs[l_Channel]);
        l_First += l_Given[l_Channel];
    }
}

// Drums: one track per drum, in the order the drums first play.
void FillDrumTracks(const std::vector<PlacedNote>& p_Drums, SongTracks& p_Tracks, MidiImportReport& p_Report)
{
    std::array<int, DRUM_COUNT> l_DrumTracks;
    l_DrumTracks.fill(-1);
    std::array<bool, TRACK_COUNT> l_Taken = {};
    for (const PlacedNote& l_Note : p_Drums) {
        int& l_Track = l_DrumTracks[l_Note.group];
        if (l_Track < 0) {
            // The track a file of ours names, else the first one free.
            const bool l_Own =
                l_Note.track >= MELODY_TRACKS && l_Note.track < TRACK_COUNT && !l_Taken[l_Note.track];
            l_Track =
                l_Own ? l_Note.track
                      : static_cast<int>(std::find(l_Taken.begin() + MELODY_TRACKS, l_Taken.end(), false) -
                                         l_Taken.begin());
            if (l_Track < TRACK_COUNT) {
                l_Taken[l_Track] = true;
                p_Tracks.ids[l_Track] = l_Note.group;
            } else {
                l_Track = -1;
            }
        }
        if (l_Track < 0)
            ++p_Report.extraDrums;
        else if (!p_Tracks.events[l_Track].empty() && p_Tracks.events[l_Track].back().pos == l_Note.beat)
            ++p_Report.sameBeatHits;
        else
            p_Tracks.Keep(l_Track, l_Note, p_Report);
    }
}

// The loop's beats: the markers', else the whole song; markers out of order give the whole song.
void LoopOf(const MidiSettings& p_Settings, const BeatGrid& p_Grid, const SongTracks& p_Tracks,
            std::uint32_t& p_Start, std::uint32_t& p_End, MidiImportReport& p_Report)
{
    std::uint64_t l_SongEnd = 0;
    for (const std::vector<NoteEvent>& l_Events : p_Tracks.events)
        for (const NoteEvent& l_Event : l_Events)
            l_SongEnd = std::max(l_SongEnd, std::uint64_t{l_Event.pos} + l_Event.length);
    const auto LoopBeat = [&](std::int64_t p_Tick, std::uint64_t p_Otherwise) {
        return static_cast<std::uint32_t>(
            std::min(p_Tick < 0 ? p_Otherwise : p_Grid.Beat(static_cast<std::uint64_t>(p_Tick)), LAST_BEAT));
    };
    p_Start = LoopBeat(p_Settings.loopStart, 0);
    p_End = LoopBeat(p_Settings.loopEnd, l_SongEnd);
    if (p_Settings.loopEnd < 0)
        p_End = std::max(p_End, p_Start);
    if (p_End < p_Start) {
        p_Report.loopIgnored = true;
        p_Start = 0;
        p_End = LoopBeat(-1, l_SongEnd);
    }
}

// The song of the tracks: timing, bar layout and loop, then the tracks.
void MakeSong(OrgSong& p_Song, const MidiSettings& p_Settings, const BeatGrid& p_Grid, std::uint64_t p_Steps,
              const SongTracks& p_Tracks, MidiImportReport& p_Report)
{
    const std::uint64_t l_StepUs = std::uint64_t{p_Settings.tempoUs} * std::max(p_Settings.stepQuarters, 1u);
    const std::uint64_t l_Ms = (l_StepUs + 500 * p_Steps) / (1000 * p_Steps);
    p_Report.tempoMs = static_cast<unsigned int>(
        std::clamp<std::uint64_t>(l_Ms, SongEdit::MIN_TEMPO_MS, SongEdit::MAX_TEMPO_MS));
    p_Report.tempoHeld = l_Ms != p_Report.tempoMs;
    // A step is a quarter note (or the step marker's quarters), so a bar holds its quarters; a bar
    // of a part of one (7/8) has steps of the signature's own note, when those are whole beats.
    const int l_Numerator = p_Settings.numerator, l_Power = p_Settings.power;
    const std::uint64_t l_Unit = l_Power >= 0 && l_Power <= 6 ? std::uint64_t{1} << l_Power : 4;
    std::uint64_t l_StepsBar = l_Numerator * 4 / l_Unit, l_BeatsStep = p_Steps;
    if (l_Numerator * 4 % l_Unit != 0 && p_Steps * 4 % l_Unit == 0) {
        l_StepsBar = static_cast<std::uint64_t>(l_Numerator);
        l_BeatsStep = p_Steps * 4 / l_Unit;
    }
    std::uint32_t l_Start = 0, l_End = 0;
    LoopOf(p_Settings, p_Grid, p_Tracks, l_Start, l_End, p_Report);

    // Every value is one the song takes by now; the edits check them all the same.
    p_Song.LoadBlank();
    SongEdit::SetTempo(p_Song, static_cast<int>(p_Report.tempoMs));
    SongEdit::SetBarLayout(p_Song, static_cast<int>(std::clamp<std::uint64_t>(l_StepsBar, 1, 255)),
                           static_cast<int>(l_BeatsStep));
    SongEdit::SetLoop(p_Song, l_Start, l_End);
    for (int l_Track = 0; l_Track < TRACK_COUNT; ++l_Track) {
        SongEdit::SetInstrument(p_Song, l_Track, p_Tracks.ids[l_Track]);
        SongEdit::SetFineTune(p_Song, l_Track, SongEdit::UNTUNED);
        // In beat order, each event one an editor may write (SongEdit::CheckEvent): written at once.
        p_Song.SetEvents(l_Track, p_Tracks.events[l_Track]);
    }
}

}  // namespace

bool SongFromMidi(const void* p_Data, std::size_t p_Size, int p_Quantize, OrgSong& p_Song,
                  MidiImportReport& p_Report, std::string& p_Error)
{
    p_Report = MidiImportReport();
    const std::uint8_t* l_Bytes = static_cast<const std::uint8_t*>(p_Data);
    if (p_Quantize < 1 || p_Quantize > MIDI_QUANTIZE_MAX) {
        p_Error = "the quantise steps must be 1 to " + std::to_string(MIDI_QUANTIZE_MAX);
        return false;
    }
    if (p_Size > MAX_MIDI_BYTES) {
        p_Error = "larger than any MIDI file the import reads (" + std::to_string(MAX_MIDI_BYTES) + " bytes)";
        return false;
    }
    MidiHead l_Head;
    if (!ReadHead(l_Bytes, p_Size, l_Head, p_Error))
        return false;

    std::uint64_t l_FileEnd = 0;
    std::vector<MidiEvent> l_Events = ReadEvents(l_Bytes, p_Size, l_Head, l_FileEnd, p_Report);
    EventFollower l_Follower(l_Head.fixedTempo, p_Report,
                             static_cast<std::size_t>(std::count_if(
                                 l_Events.begin(), l_Events.end(), [](const MidiEvent& p_Event) {
                                     return p_Event.kind == MidiEvent::NOTE_ON;
                                 })));
    for (const MidiEvent& l_Event : l_Events)
        l_Follower.Follow(l_Event);
    std::vector<MidiEvent>().swap(l_Events);
    MidiSettings l_Settings;
    std::vector<MidiNote> l_Notes = l_Follower.Finish(l_FileEnd, l_Settings);

    // Quantised notes, melody and drums, in the order they start (as the events came in time
    // order, and a later tick never falls on an earlier beat).
    const std::uint64_t l_Steps = static_cast<std::uint64_t>(p_Quantize);
    const std::uint64_t l_TicksPerStep = l_Head.ticksPerQuarter * std::max(l_Settings.stepQuarters, 1u);
    const BeatGrid l_Grid(l_TicksPerStep, l_Steps);
    // The song keeps one tempo; ticks past the last beat a song holds are held just beyond it.
    const TempoMap l_Map(l_Settings.tempos, l_Settings.tempoUs, l_FileEnd, l_TicksPerStep * (LAST_BEAT + 2));
    std::vector<std::pair<std::uint64_t, std::uint32_t>>().swap(l_Settings.tempos);
    l_Settings.tempoUs = l_Map.Tempo();
    for (std::int64_t* l_Marker : {&l_Settings.loopStart, &l_Settings.loopEnd})
        if (*l_Marker >= 0)
            *l_Marker = static_cast<std::int64_t>(l_Map.Tick(static_cast<std::uint64_t>(*l_Marker)));
    std::vector<PlacedNote> l_Melody, l_Drums;
    const std::size_t l_DrumNotes =
        static_cast<std::size_t>(std::count_if(l_Notes.begin(), l_Notes.end(), [](const MidiNote& p_Note) {
            return p_Note.channel == DRUM_CHANNEL;
        }));
    l_Melody.reserve(l_Notes.size() - l_DrumNotes);
    l_Drums.reserve(l_DrumNotes);
    for (const MidiNote& l_Note : l_Notes) {
        PlacedNote l_Placed;
        if (PlaceNote(l_Note, l_Grid, l_Map, l_Placed, p_Report))
            (l_Note.channel == DRUM_CHANNEL ? l_Drums : l_Melody).push_back(l_Placed);
    }
    std::vector<MidiNote>().swap(l_Notes);

    SongTracks l_Tracks;
    ShareMelodyTracks(l_Melody, l_Settings, l_Tracks, p_Report);
    FillDrumTracks(l_Drums, l_Tracks, p_Report);
    MakeSong(p_Song, l_Settings, l_Grid, l_Steps, l_Tracks, p_Report);
    return true;
}

std::string DescribeMidiImport(const MidiImportReport& p_Report)
{
    std::string l_Text = std::to_string(p_Report.notes) + " notes imported at " +
                         std::to_string(p_Report.tempoMs) + " ms per beat.\n";
    const auto Line = [&](unsigned long p_Count, const std::string& p_What) {
        if (p_Count != 0)
            l_Text += std::to_string(p_Count) + " " + p_What + "\n";
    };
    Line(p_Report.keysOutOfRange, "notes outside the keys a song holds (MIDI 12 to 107) dropped.");
    Line(p_Report.unmappedDrums, "drum notes of keys no drum has dropped.");
    Line(p_Report.beyondLastBeat, "notes after the last beat a song can hold dropped.");
    Line(p_Report.extraVoices, "notes dropped: more than eight voices sounding at once on their channel.");
    Line(p_Report.sharedTracks, "notes dropped: their channel got fewer melody tracks than voices, the "
                                "eight melody tracks being shared between channels.");
    Line(p_Report.channelsWithoutTrack, "melody channels got no track at all (more than eight played).");
    Line(p_Report.extraDrums, "drum hits dropped: more drums than the eight drum tracks.");
    Line(p_Report.sameBeatHits, "drum hits dropped: the same drum already hits on that beat.");
    Line(p_Report.overfullTracks, "notes dropped: a track holds at most 65535.");
    Line(p_Report.lengthened, "notes shorter than a step lengthened to one beat.");
    Line(p_Report.shortened, "notes longer than 255 beats cut to 255.");
    Line(p_Report.unfinished, "notes never ended: ended where the file ends.");
    Line(p_Report.extraTempos,
         "tempo changes followed: every note placed by its time at the song's one tempo.");
    Line(p_Report.retimed,
         "notes placed more than a beat from where their ticks alone would put them, by the "
         "tempo changes.");
    Line(p_Report.programChanges, "program changes after a channel's first note ignored.");
    Line(p_Report.ignoredEvents,
         "other channel events ignored (pitch bends, aftertouch, controllers but pan).");
    Line(p_Report.excessEvents, "events dropped: an import holds at most " + std::to_string(MAX_MIDI_EVENTS) +
                                    ", as many as the export of any song has.");
    if (p_Report.tempoHeld)
        l_Text += "The tempo gives beats shorter than 1 ms or longer than 65535 ms, which a song "
                  "cannot hold: it takes " +
                  std::to_string(p_Report.tempoMs) + " ms per beat.\n";
    if (p_Report.loopIgnored)
        l_Text += "The loop markers are out of order: the loop is the whole song.\n";
    if (p_Report.damaged)
        l_Text += "The file ends early or holds a malformed event: it was read up to there.\n";
    return l_Text;
}

}  // namespace Org
