// The C interface of <tunewright/tunewright.h>: argument checks and error codes around SongDecoder.
#include "tunewright/tunewright.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "InstrumentNames.h"
#include "OrgLog.h"
#include "OrgSong.h"
#include "SongDecoder.h"
#include "SongEdit.h"
#include "SongInput.h"
#include "SongMidi.h"
#include "WavHeader.h"

struct tw_song
{
    Org::SongDecoder decoder;
    tw_log_function logfunction = nullptr;  // this song's messages; null: the process-wide function's
    void* loguser = nullptr;
    Org::SongEdit::TrackOrder order;  // every change to the song's events goes through the event edits
    explicit tw_song(std::unique_ptr<Org::OrgSong> p_Song) : decoder(std::move(p_Song)) {}
};

namespace {

constexpr int MIN_RATE = 8000;
constexpr int MAX_RATE = 192000;

// Gives p_Code to the caller's error, if it asked for one; returns null, what a failed opening returns.
tw_song* SetError(int* p_Error, int p_Code)
{
    if (p_Error != nullptr)
        *p_Error = p_Code;
    return nullptr;
}

bool ValidTrack(const tw_song* p_Song, int p_Track)
{
    return p_Song != nullptr && p_Track >= 0 && p_Track < Org::TRACK_COUNT;
}

bool ValidRate(int p_Rate) { return p_Rate >= MIN_RATE && p_Rate <= MAX_RATE; }

// The counts of a MIDI import's report, as the C interface and the library name them.
constexpr std::pair<uint32_t tw_midi_report::*, unsigned long Org::MidiImportReport::*> MIDI_COUNTS[] = {
    {&tw_midi_report::notes, &Org::MidiImportReport::notes},
    {&tw_midi_report::keys_out_of_range, &Org::MidiImportReport::keysOutOfRange},
    {&tw_midi_report::unmapped_drums, &Org::MidiImportReport::unmappedDrums},
    {&tw_midi_report::beyond_last_beat, &Org::MidiImportReport::beyondLastBeat},
    {&tw_midi_report::extra_voices, &Org::MidiImportReport::extraVoices},
    {&tw_midi_report::shared_tracks, &Org::MidiImportReport::sharedTracks},
    {&tw_midi_report::extra_drums, &Org::MidiImportReport::extraDrums},
    {&tw_midi_report::same_beat_hits, &Org::MidiImportReport::sameBeatHits},
    {&tw_midi_report::overfull_tracks, &Org::MidiImportReport::overfullTracks},
    {&tw_midi_report::lengthened, &Org::MidiImportReport::lengthened},
    {&tw_midi_report::shortened, &Org::MidiImportReport::shortened},
    {&tw_midi_report::unfinished, &Org::MidiImportReport::unfinished},
    {&tw_midi_report::extra_tempos, &Org::MidiImportReport::extraTempos},
    {&tw_midi_report::program_changes, &Org::MidiImportReport::programChanges},
    {&tw_midi_report::ignored_events, &Org::MidiImportReport::ignoredEvents},
    {&tw_midi_report::channels_without_track, &Org::MidiImportReport::channelsWithoutTrack},
    {&tw_midi_report::excess_events, &Org::MidiImportReport::excessEvents},
    {&tw_midi_report::retimed, &Org::MidiImportReport::retimed},
};

static_assert(TW_MAX_MIDI_BYTES == Org::MAX_MIDI_BYTES && TW_MAX_MIDI_EVENTS == Org::MAX_MIDI_EVENTS,
              "the C header names the import's own bounds");
static_assert(TW_WAV_HEADER_BYTES == WavHeader::BYTES, "the C header counts the WAV header's bytes");
static_assert(TW_MAX_QUANTIZE == Org::MIDI_QUANTIZE_MAX && TW_MAX_TRACK_GAIN == Org::TrackMix::MAX_GAIN,
              "the C header names the library's own bounds");

// The resamplers' names by number. Each number is the engine's own (fmod.h), so the decoder hands it
// on as it is.
constexpr const char* RESAMPLERS[] = {
#define TW_RESAMPLER_NAME_(p_Number, p_Name, p_Taps, p_Label) p_Name,
    TW_RESAMPLERS(TW_RESAMPLER_NAME_)
#undef TW_RESAMPLER_NAME_
};
constexpr bool ResamplersNumberedInOrder()
{
    constexpr int NUMBERS[] = {
#define TW_RESAMPLER_NUMBER_(p_Number, p_Name, p_Taps, p_Label) p_Number,
        TW_RESAMPLERS(TW_RESAMPLER_NUMBER_)
#undef TW_RESAMPLER_NUMBER_
    };
    for (std::size_t l_Index = 0; l_Index < std::size(NUMBERS); ++l_Index)
        if (NUMBERS[l_Index] != int(l_Index))
            return false;
    return std::size(NUMBERS) == FMOD_DSP_RESAMPLER_MAX;
}
static_assert(ResamplersNumberedInOrder(), "TW_RESAMPLERS numbers the engine's resamplers from 0 in order");

tw_midi_report ReportOf(const Org::MidiImportReport& p_Report)
{
    tw_midi_report l_Out = {};
    for (const auto& l_Count : MIDI_COUNTS)
        l_Out.*l_Count.first =
            static_cast<uint32_t>(std::min<unsigned long>(p_Report.*l_Count.second, UINT32_MAX));
    l_Out.loop_ignored = p_Report.loopIgnored;
    l_Out.damaged = p_Report.damaged;
    l_Out.tempo_ms = p_Report.tempoMs;
    l_Out.tempo_held = p_Report.tempoHeld;
    return l_Out;
}

Org::MidiImportReport ReportOf(const tw_midi_report& p_Report)
{
    Org::MidiImportReport l_Out;
    for (const auto& l_Count : MIDI_COUNTS)
        l_Out.*l_Count.second = p_Report.*l_Count.first;
    l_Out.loopIgnored = p_Report.loop_ignored != 0;
    l_Out.damaged = p_Report.damaged != 0;
    l_Out.tempoMs = p_Report.tempo_ms;
    l_Out.tempoHeld = p_Report.tempo_held != 0;
    return l_Out;
}

// What the library says during a call on p_Song goes to the song's function, else the process-wide
// one, else nowhere: the C interface never writes to a stream of the caller's.
Org::LogScope SongLog(const tw_song* p_Song)
{
    return Org::LogScope(p_Song != nullptr ? p_Song->logfunction : nullptr,
                         p_Song != nullptr ? p_Song->loguser : nullptr);
}

// A read that runs out of memory (starting the song's engine) reads nothing instead of ending the
// caller's process.
template <typename Sample> size_t ReadFrames(tw_song* p_Song, int p_Rate, size_t p_Frames, Sample* p_Buffer)
{
    if (p_Song == nullptr || p_Buffer == nullptr || !ValidRate(p_Rate))
        return 0;
    const auto l_Log = SongLog(p_Song);
    try {
        if constexpr (std::is_same_v<Sample, float>)
            return p_Song->decoder.Read(p_Rate, p_Frames, nullptr, p_Buffer);
        else
            return p_Song->decoder.Read(p_Rate, p_Frames, p_Buffer, nullptr);
    } catch (const std::bad_alloc&) {
        Org::Log("Memory ran out while reading the song.\n", stderr);
        return 0;
    }
}

int ErrorOf(Org::EditResult p_Result)
{
    switch (p_Result) {
    case Org::EditResult::OK:
        return TW_OK;
    case Org::EditResult::BAD_TRACK:
        return TW_ERROR_BAD_TRACK;
    case Org::EditResult::BAD_TEMPO:
        return TW_ERROR_BAD_TEMPO;
    case Org::EditResult::BAD_BAR_LAYOUT:
        return TW_ERROR_BAD_BAR_LAYOUT;
    case Org::EditResult::BAD_LOOP:
        return TW_ERROR_BAD_LOOP;
    case Org::EditResult::BAD_INSTRUMENT:
        return TW_ERROR_BAD_INSTRUMENT;
    case Org::EditResult::BAD_FINE_TUNE:
        return TW_ERROR_BAD_FINE_TUNE;
    case Org::EditResult::BAD_KEY:
        return TW_ERROR_BAD_KEY;
    case Org::EditResult::BAD_LENGTH:
        return TW_ERROR_BAD_LENGTH;
    case Org::EditResult::BAD_VOLUME:
        return TW_ERROR_BAD_VOLUME;
    case Org::EditResult::BAD_PAN:
        return TW_ERROR_BAD_PAN;
    case Org::EditResult::NO_EVENT:
        return TW_ERROR_NO_EVENT;
    case Org::EditResult::EVENT_EXISTS:
        return TW_ERROR_EVENT_EXISTS;
    case Org::EditResult::TOO_MANY_EVENTS:
        return TW_ERROR_TOO_MANY_EVENTS;
    }
    return TW_ERROR_UNKNOWN;
}

// Runs one edit of the song core on p_Song's decoder, as a result code; a null song is refused and
// running out of memory changes nothing.
template <class Edit> int EditSong(tw_song* p_Song, Edit&& p_Edit)
{
    if (p_Song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    const auto l_Log = SongLog(p_Song);
    try {
        return ErrorOf(p_Song->decoder.Edit(p_Edit));
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
}

Org::NoteEvent NoteEventOf(const tw_event& p_Event)
{
    return {p_Event.beat, p_Event.key, p_Event.length, p_Event.volume, p_Event.pan};
}

}  // namespace

extern "C" {

unsigned tw_version(void)
{
    return (TUNEWRIGHT_VERSION_MAJOR << 16) | (TUNEWRIGHT_VERSION_MINOR << 8) | TUNEWRIGHT_VERSION_PATCH;
}

tw_song* tw_song_open_memory(const void* data, size_t size, int* error)
{
    if (data == nullptr)
        return SetError(error, TW_ERROR_INVALID_ARGUMENT);
    const Org::LogScope l_Log(nullptr, nullptr);
    const Org::SongBytes l_Check = Org::CheckSongBytes(data, size);
    if (l_Check != Org::SongBytes::WHOLE)
        return SetError(error,
                        l_Check == Org::SongBytes::NOT_A_SONG ? TW_ERROR_NOT_A_SONG : TW_ERROR_TRUNCATED);
    try {
        auto l_Song = std::make_unique<Org::OrgSong>();
        l_Song->LoadFromMemory(data, size);
        tw_song* l_Result = new tw_song(std::move(l_Song));
        SetError(error, TW_OK);
        return l_Result;
    } catch (const std::bad_alloc&) {
        return SetError(error, TW_ERROR_OUT_OF_MEMORY);
    }
}

tw_song* tw_song_new(int* error)
{
    try {
        auto l_Song = std::make_unique<Org::OrgSong>();
        // A drum kit ready to write in, one drum a track, where the blank song has drum 0 throughout.
        for (int l_Drum = 0; l_Drum < Org::TRACK_COUNT - Org::MELODY_TRACKS; ++l_Drum)
            Org::SongEdit::SetInstrument(*l_Song, Org::MELODY_TRACKS + l_Drum, Org::NEW_SONG_DRUMS[l_Drum]);
        tw_song* l_Result = new tw_song(std::move(l_Song));
        SetError(error, TW_OK);
        return l_Result;
    } catch (const std::bad_alloc&) {
        return SetError(error, TW_ERROR_OUT_OF_MEMORY);
    }
}

tw_song* tw_song_open_file(const char* path, int* error)
{
    if (path == nullptr)
        return SetError(error, TW_ERROR_INVALID_ARGUMENT);
    const Org::LogScope l_Log(nullptr, nullptr);
    // One byte more than a song can use tells a larger input from a song.
    std::vector<std::uint8_t> l_Bytes;
    try {
        std::string l_Ignored;
        if (!Org::ReadBoundedInput(path, Org::MAX_SONG_BYTES + 1, l_Bytes, l_Ignored))
            return SetError(error, TW_ERROR_FILE);
    } catch (const std::bad_alloc&) {
        return SetError(error, TW_ERROR_OUT_OF_MEMORY);
    }
    if (l_Bytes.size() > Org::MAX_SONG_BYTES)
        return SetError(error, TW_ERROR_TOO_LARGE);
    static const unsigned char l_Empty = 0;
    return tw_song_open_memory(l_Bytes.empty() ? &l_Empty : l_Bytes.data(), l_Bytes.size(), error);
}

void tw_song_close(tw_song* song)
{
    const auto l_Log = SongLog(song);
    delete song;
}

const char* tw_error_string(int error)
{
    switch (error) {
#define TW_ERROR_SENTENCE_(p_Code, p_Sentence)                                                               \
    case p_Code:                                                                                             \
        return p_Sentence;
        TW_ERRORS(TW_ERROR_SENTENCE_)
#undef TW_ERROR_SENTENCE_
    default:
        return tw_error_string(TW_ERROR_UNKNOWN);
    }
}

const char* tw_error_name(int error)
{
    switch (error) {
#define TW_ERROR_NAME_(p_Code, p_Sentence)                                                                   \
    case p_Code:                                                                                             \
        return #p_Code;
        TW_ERRORS(TW_ERROR_NAME_)
#undef TW_ERROR_NAME_
    default:
        return nullptr;
    }
}

const char* tw_interpolation_name(int method)
{
    return method >= 0 && method < int(std::size(RESAMPLERS)) ? RESAMPLERS[method] : nullptr;
}

int tw_wav_header(int sample_rate, int channels, uint32_t frames, void* header)
{
    if (header == nullptr || !ValidRate(sample_rate) || channels < 1 || channels > 2 ||
        std::uint64_t(frames) * channels * 2 > WavHeader::MAX_DATA_BYTES)
        return TW_ERROR_INVALID_ARGUMENT;
    WavHeader::Write(static_cast<unsigned char*>(header), std::uint32_t(sample_rate), unsigned(channels),
                     frames * std::uint32_t(channels) * 2);
    return TW_OK;
}

size_t tw_song_read_s16(tw_song* song, int sample_rate, size_t frames, int16_t* interleaved_stereo)
{
    return ReadFrames(song, sample_rate, frames, interleaved_stereo);
}

size_t tw_song_read_float(tw_song* song, int sample_rate, size_t frames, float* interleaved_stereo)
{
    return ReadFrames(song, sample_rate, frames, interleaved_stereo);
}

int tw_song_set_loops(tw_song* song, int repeats)
{
    if (song == nullptr || repeats < -1)
        return TW_ERROR_INVALID_ARGUMENT;
    song->decoder.SetRepeats(repeats);
    return TW_OK;
}

int tw_song_set_interpolation(tw_song* song, int method)
{
    if (song == nullptr || tw_interpolation_name(method) == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    song->decoder.SetInterpolation(method);  // the engine's own number (see RESAMPLERS)
    return TW_OK;
}

int tw_song_set_volume(tw_song* song, float volume)
{
    if (song == nullptr || !std::isfinite(volume) || volume < 0.0f)
        return TW_ERROR_INVALID_ARGUMENT;
    const auto l_Log = SongLog(song);
    song->decoder.SetVolume(volume);
    return TW_OK;
}

double tw_song_get_duration_seconds(const tw_song* song)
{
    return song == nullptr ? 0.0 : song->decoder.DurationSeconds();
}

double tw_song_get_position_seconds(const tw_song* song)
{
    return song == nullptr ? 0.0 : song->decoder.PositionSeconds();
}

int tw_song_seek_seconds(tw_song* song, double seconds)
{
    if (song == nullptr || !std::isfinite(seconds) || seconds < 0.0)
        return TW_ERROR_INVALID_ARGUMENT;
    const auto l_Log = SongLog(song);
    song->decoder.SeekSeconds(seconds);
    return TW_OK;
}

int tw_song_get_tempo_ms(const tw_song* song) { return song == nullptr ? 0 : song->decoder.Tempo(); }

int tw_song_get_track_instrument(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? song->decoder.Song().instruments[track].id : -1;
}

static_assert(TW_TRACK_COUNT == Org::TRACK_COUNT, "the C interface counts the song's own tracks");
int tw_song_get_track_count(const tw_song* song) { return song == nullptr ? 0 : Org::TRACK_COUNT; }

int tw_song_get_track_kind(const tw_song* song, int track)
{
    if (!ValidTrack(song, track))
        return TW_ERROR_INVALID_ARGUMENT;
    return track < Org::MELODY_TRACKS ? TW_TRACK_MELODY : TW_TRACK_DRUMS;
}

int tw_song_get_track_event_count(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? tw_song_get_track_events(song, track, nullptr, 0) : -1;
}

int tw_song_get_track_notes(const tw_song* song, int track)
{
    return tw_song_get_track_event_count(song, track);
}

int tw_song_get_track_events(const tw_song* song, int track, tw_event* events, size_t capacity)
{
    if (!ValidTrack(song, track))
        return TW_ERROR_INVALID_ARGUMENT;
    const Org::OrgSong& l_Song = song->decoder.Song();
    const std::size_t l_Count = l_Song.instruments[track].numnotes;
    if (events == nullptr || capacity == 0)
        return static_cast<int>(l_Count);
    try {
        const std::vector<Org::NoteEvent> l_Events = l_Song.GetEvents(track);
        const std::vector<bool> l_Starts = l_Song.NoteStarts(track);
        for (std::size_t i = 0; i < l_Events.size() && i < capacity; ++i) {
            const Org::NoteEvent& l_Event = l_Events[i];
            events[i] = {l_Event.pos,    l_Event.note, l_Event.length,
                         l_Event.volume, l_Event.pan,  static_cast<uint8_t>(l_Starts[i] ? 1 : 0),
                         {0, 0, 0}};
        }
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
    return static_cast<int>(l_Count);
}

int tw_song_get_beat_at_seconds(const tw_song* song, double seconds, uint32_t* beat)
{
    if (song == nullptr || beat == nullptr || !std::isfinite(seconds) || seconds < 0.0)
        return TW_ERROR_INVALID_ARGUMENT;
    *beat = song->decoder.SongBeatAt(seconds);
    return TW_OK;
}

void tw_get_event_range(tw_event* lowest, tw_event* highest)
{
    namespace Edit = Org::SongEdit;
    if (lowest != nullptr)
        *lowest = {0, 0, Edit::MIN_LENGTH, 0, 0, 0, {0, 0, 0}};
    if (highest != nullptr)
        *highest = {UINT32_MAX, Edit::KEYS - 1, Edit::MAX_LENGTH, Edit::MAX_VOLUME, Edit::MAX_PAN,
                    0,          {0, 0, 0}};
}

int tw_get_instrument_count(int kind)
{
    if (kind == TW_TRACK_MELODY)
        return Org::SongEdit::InstrumentsOfTrack(0);
    return kind == TW_TRACK_DRUMS ? Org::SongEdit::InstrumentsOfTrack(Org::MELODY_TRACKS) : 0;
}

const char* tw_instrument_name(int kind, int instrument)
{
    if (kind != TW_TRACK_MELODY && kind != TW_TRACK_DRUMS)
        return nullptr;
    return Org::InstrumentName(kind == TW_TRACK_DRUMS, instrument);
}

int tw_song_set_tempo_ms(tw_song* song, int ms_per_beat)
{
    return EditSong(song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetTempo(p_Song, ms_per_beat); });
}

int tw_song_get_bar_layout(const tw_song* song, int* per_bar, int* per_beat)
{
    if (song == nullptr || per_bar == nullptr || per_beat == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    *per_bar = song->decoder.Song().GetHeader().steps_bar;
    *per_beat = song->decoder.Song().GetHeader().beats_step;
    return TW_OK;
}

int tw_song_set_bar_layout(tw_song* song, int per_bar, int per_beat)
{
    return EditSong(
        song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetBarLayout(p_Song, per_bar, per_beat); });
}

int tw_song_get_loop(const tw_song* song, uint32_t* start, uint32_t* end)
{
    if (song == nullptr || start == nullptr || end == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    *start = song->decoder.Song().GetHeader().loopstart;
    *end = song->decoder.Song().GetHeader().loopstop;
    return TW_OK;
}

int tw_song_set_loop(tw_song* song, uint32_t start, uint32_t end)
{
    return EditSong(song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetLoop(p_Song, start, end); });
}

int tw_song_set_track_instrument(tw_song* song, int track, int instrument)
{
    return EditSong(
        song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetInstrument(p_Song, track, instrument); });
}

int tw_song_get_track_fine_tune(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? song->decoder.Song().instruments[track].pitch
                                   : TW_ERROR_INVALID_ARGUMENT;
}

int tw_song_set_track_fine_tune(tw_song* song, int track, int fine_tune)
{
    return EditSong(
        song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetFineTune(p_Song, track, fine_tune); });
}

int tw_song_get_track_no_loop(const tw_song* song, int track)
{
    if (!ValidTrack(song, track))
        return TW_ERROR_INVALID_ARGUMENT;
    return song->decoder.Song().instruments[track].noloop != 0 ? 1 : 0;
}

int tw_song_set_track_no_loop(tw_song* song, int track, int no_loop)
{
    return EditSong(
        song, [&](Org::OrgSong& p_Song) { return Org::SongEdit::SetNoLoop(p_Song, track, no_loop != 0); });
}

int tw_song_insert_event(tw_song* song, int track, const tw_event* event)
{
    if (event == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    return EditSong(song, [&](Org::OrgSong& p_Song) {
        return Org::SongEdit::InsertEvent(p_Song, song->order, track, NoteEventOf(*event));
    });
}

int tw_song_replace_event(tw_song* song, int track, const tw_event* event)
{
    if (event == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    return EditSong(song, [&](Org::OrgSong& p_Song) {
        return Org::SongEdit::ReplaceEvent(p_Song, song->order, track, NoteEventOf(*event));
    });
}

int tw_song_remove_event(tw_song* song, int track, uint32_t beat)
{
    return EditSong(song, [&](Org::OrgSong& p_Song) {
        return Org::SongEdit::RemoveEvent(p_Song, song->order, track, beat);
    });
}

int tw_song_save_memory(const tw_song* song, void* buffer, size_t capacity)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    try {
        const std::vector<std::uint8_t> l_Bytes = song->decoder.Song().SaveToMemory();
        if (buffer != nullptr)
            std::memcpy(buffer, l_Bytes.data(), std::min(capacity, l_Bytes.size()));
        return static_cast<int>(l_Bytes.size());
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
}

int tw_song_save_file(const tw_song* song, const char* path)
{
    if (song == nullptr || path == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    const auto l_Log = SongLog(song);
    try {
        // SaveToFile reads the song and changes nothing of it, though it is not declared const.
        return const_cast<Org::OrgSong&>(song->decoder.Song()).SaveToFile(path) ? TW_OK : TW_ERROR_FILE;
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
}

tw_song* tw_song_open_midi(const void* data, size_t size, int quantize, tw_midi_report* report, int* error)
{
    if (data == nullptr)
        return SetError(error, TW_ERROR_INVALID_ARGUMENT);
    if (quantize < 1 || quantize > Org::MIDI_QUANTIZE_MAX)
        return SetError(error, TW_ERROR_BAD_QUANTIZE);
    if (size > TW_MAX_MIDI_BYTES)
        return SetError(error, TW_ERROR_TOO_LARGE);
    const Org::LogScope l_Log(nullptr, nullptr);
    try {
        auto l_Song = std::make_unique<Org::OrgSong>();
        Org::MidiImportReport l_Report;
        std::string l_Why;
        if (!Org::SongFromMidi(data, size, quantize, *l_Song, l_Report, l_Why))
            return SetError(error, TW_ERROR_NOT_MIDI);
        tw_song* l_Result = new tw_song(std::move(l_Song));
        if (report != nullptr)
            *report = ReportOf(l_Report);
        SetError(error, TW_OK);
        return l_Result;
    } catch (const std::bad_alloc&) {
        return SetError(error, TW_ERROR_OUT_OF_MEMORY);
    }
}

const char* tw_midi_report_field_name(int index)
{
    static constexpr const char* FIELDS[] = {
#define TW_MIDI_FIELD_NAME_(p_Field, p_Kind, p_Meaning) #p_Field,
        TW_MIDI_REPORT_FIELDS(TW_MIDI_FIELD_NAME_)
#undef TW_MIDI_FIELD_NAME_
    };
    return index >= 0 && index < int(std::size(FIELDS)) ? FIELDS[index] : nullptr;
}

int tw_midi_report_text(const tw_midi_report* report, char* buffer, size_t capacity)
{
    if (report == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    try {
        const std::string l_Text = Org::DescribeMidiImport(ReportOf(*report));
        if (buffer != nullptr && capacity > 0) {
            const std::size_t l_Copied = std::min(capacity, l_Text.size());
            std::memcpy(buffer, l_Text.data(), l_Copied);
            if (l_Copied < capacity)
                buffer[l_Copied] = '\0';
        }
        return static_cast<int>(l_Text.size());
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
}

int tw_song_save_midi(const tw_song* song, void* buffer, size_t capacity)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    try {
        const std::vector<std::uint8_t> l_Bytes = Org::SongToMidi(song->decoder.Song());
        if (l_Bytes.size() > static_cast<std::size_t>(INT32_MAX))
            return TW_ERROR_OUT_OF_MEMORY;
        if (buffer != nullptr)
            std::memcpy(buffer, l_Bytes.data(), std::min(capacity, l_Bytes.size()));
        return static_cast<int>(l_Bytes.size());
    } catch (const std::bad_alloc&) {
        return TW_ERROR_OUT_OF_MEMORY;
    }
}

void tw_set_log_function(tw_log_function function, void* user) { Org::SetLogFunction(function, user); }

int tw_song_set_log_function(tw_song* song, tw_log_function function, void* user)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    song->logfunction = function;
    song->loguser = function != nullptr ? user : nullptr;
    return TW_OK;
}

int tw_song_set_track_mute(tw_song* song, int track, int mute)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    if (!ValidTrack(song, track))
        return TW_ERROR_BAD_TRACK;
    const auto l_Log = SongLog(song);
    song->decoder.SetTrackMute(track, mute != 0);
    return TW_OK;
}

int tw_song_get_track_mute(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? int(song->decoder.Tracks().Mute(track)) : TW_ERROR_INVALID_ARGUMENT;
}

int tw_song_set_track_solo(tw_song* song, int track, int solo)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    if (!ValidTrack(song, track))
        return TW_ERROR_BAD_TRACK;
    const auto l_Log = SongLog(song);
    song->decoder.SetTrackSolo(track, solo != 0);
    return TW_OK;
}

int tw_song_get_track_solo(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? int(song->decoder.Tracks().Solo(track)) : TW_ERROR_INVALID_ARGUMENT;
}

int tw_song_set_track_gain(tw_song* song, int track, float gain)
{
    if (song == nullptr || !(gain >= 0.0f && gain <= Org::TrackMix::MAX_GAIN))
        return TW_ERROR_INVALID_ARGUMENT;
    if (!ValidTrack(song, track))
        return TW_ERROR_BAD_TRACK;
    const auto l_Log = SongLog(song);
    song->decoder.SetTrackGain(track, gain);
    return TW_OK;
}

float tw_song_get_track_gain(const tw_song* song, int track)
{
    return ValidTrack(song, track) ? song->decoder.Tracks().Gain(track) : -1.0f;
}

int tw_song_set_tempo_factor(tw_song* song, double factor)
{
    if (song == nullptr || !(factor >= TW_MIN_TEMPO_FACTOR && factor <= TW_MAX_TEMPO_FACTOR))
        return TW_ERROR_INVALID_ARGUMENT;
    song->decoder.SetTempoFactor(factor);
    return TW_OK;
}

double tw_song_get_tempo_factor(const tw_song* song)
{
    return song == nullptr ? 0.0 : song->decoder.TempoFactor();
}

int tw_song_set_pitch_shift(tw_song* song, double semitones)
{
    if (song == nullptr || !(std::fabs(semitones) <= TW_MAX_PITCH_SHIFT))
        return TW_ERROR_INVALID_ARGUMENT;
    const auto l_Log = SongLog(song);
    song->decoder.SetPitchShift(semitones);
    return TW_OK;
}

double tw_song_get_pitch_shift(const tw_song* song)
{
    return song == nullptr ? 0.0 : song->decoder.PitchShift();
}

size_t tw_song_read_tracks_float(tw_song* song, int sample_rate, size_t frames, float* const* tracks)
{
    if (song == nullptr || tracks == nullptr || !ValidRate(sample_rate) ||
        std::find(tracks, tracks + Org::TRACK_COUNT, nullptr) != tracks + Org::TRACK_COUNT)
        return 0;
    const auto l_Log = SongLog(song);
    try {
        return song->decoder.ReadTracks(sample_rate, frames, tracks);
    } catch (const std::bad_alloc&) {
        Org::Log("Memory ran out while reading the song.\n", stderr);
        return 0;
    }
}

int tw_song_set_level_metering(tw_song* song, int on)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    song->decoder.SetMetering(on != 0);
    return TW_OK;
}

int tw_song_get_level_metering(const tw_song* song)
{
    return song == nullptr ? TW_ERROR_INVALID_ARGUMENT : int(song->decoder.Metering());
}

int tw_song_get_track_levels(const tw_song* song, float* peaks, float* rms)
{
    if (song == nullptr)
        return TW_ERROR_INVALID_ARGUMENT;
    const Org::TrackLevel* l_Levels = song->decoder.Levels();
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        if (peaks != nullptr)
            peaks[l_Track] = l_Levels[l_Track].peak;
        if (rms != nullptr)
            rms[l_Track] = l_Levels[l_Track].rms;
    }
    return TW_OK;
}

}  // extern "C"
