/**
 * @file tunewright.h
 * @brief The embeddable decoder: renders an Org-02 song into the caller's own buffer.
 *
 * A song is opened from memory or from a file and then pulled, a buffer at a time, as interleaved
 * stereo frames at any rate from 8000 to 192000 Hz. The instruments are built into the library, so
 * no data files are needed, and no sound device is opened.
 *
 * Messages: the library prints nothing, never sleeps and never ends the process. What it has to
 * say about a song (the bytes it read, a failure of the sound engine) goes to the song's own log
 * function (tw_song_set_log_function()) or else to the process-wide one (tw_set_log_function()),
 * and is dropped when neither is set.
 *
 * Threads: different songs may be used from different threads at the same time; one song must not
 * be used from two threads at once. Songs share three things, each safe to use from any thread at
 * once: the process-wide log function; the decoded copies of the built-in instruments, which the
 * library makes once, when a song first needs them, and then only reads; and the sound engine's
 * table of live objects, which each engine call holds locked for a moment (songs mix in parallel).
 * tw_version(), tw_error_string() and tw_set_log_function() may be called from any thread.
 */
#ifndef TUNEWRIGHT_TUNEWRIGHT_H
#define TUNEWRIGHT_TUNEWRIGHT_H

#include <stddef.h>
#include <stdint.h>

#include "OrgExport.h"

#ifdef __cplusplus
extern "C" {
#endif

/** @name Error codes
 *  Results of the functions below: ::TW_OK or one of the negative codes. The numbers are stable.
 *  @{ */
#define TW_OK 0                      /**< Success. */
#define TW_ERROR_INVALID_ARGUMENT -1 /**< A null pointer, or a value outside its range. */
#define TW_ERROR_OUT_OF_MEMORY -2    /**< Memory ran out. */
#define TW_ERROR_FILE -3             /**< The file cannot be opened or read. */
#define TW_ERROR_NOT_A_SONG -4       /**< The data does not begin with "Org-02". */
#define TW_ERROR_TRUNCATED -5        /**< The data is shorter than its own note counts say. */
#define TW_ERROR_ENGINE -6           /**< The sound engine failed to start or to mix. */
#define TW_ERROR_UNKNOWN -7          /**< A code this library never returns; tw_error_string() says so. */
#define TW_ERROR_TOO_LARGE -8        /**< Larger than any song (a MIDI file: than TW_MAX_MIDI_BYTES). */
#define TW_ERROR_BAD_TRACK -9        /**< A track number outside 0 to 15. */
#define TW_ERROR_BAD_TEMPO -10       /**< A tempo outside 1 to 65535 ms per beat. */
#define TW_ERROR_BAD_BAR_LAYOUT -11  /**< A bar layout number outside 1 to 255. */
#define TW_ERROR_BAD_LOOP -12        /**< A loop that ends before it starts. */
#define TW_ERROR_BAD_INSTRUMENT -13  /**< No such waveform (0 to 99) or drum (0 to 11) for the track. */
#define TW_ERROR_BAD_FINE_TUNE -14   /**< A fine tune outside 0 to 65535. */
#define TW_ERROR_BAD_KEY -15         /**< A key outside 0 to 95. */
#define TW_ERROR_BAD_LENGTH -16      /**< A note length outside 1 to 255 beats. */
#define TW_ERROR_BAD_VOLUME -17      /**< A volume outside 0 to 254. */
#define TW_ERROR_BAD_PAN -18         /**< A pan outside 0 to 12. */
#define TW_ERROR_NO_EVENT -19        /**< The track has no event at that beat. */
#define TW_ERROR_EVENT_EXISTS -20    /**< The track already has an event at that beat. */
#define TW_ERROR_TOO_MANY_EVENTS -21 /**< The track already holds 65535 events, the most a song file can. */
#define TW_ERROR_NOT_MIDI -22        /**< The data is no Standard MIDI File of type 0 or 1. */
#define TW_ERROR_BAD_QUANTIZE -23    /**< A quantise outside 1 to 64 song beats per quarter note. */
/** @} */

/** The result codes in the order of their numbers, with the sentence tw_error_string() gives for
 *  each: X(code, sentence). The library, and the build for the JavaScript package, read them from
 *  here. */
// tools/tables reads each row of the list on a line of its own.
// clang-format off
#define TW_ERRORS(X)                                                                                                 \
    X(TW_OK, "No error.")                                                                                            \
    X(TW_ERROR_INVALID_ARGUMENT, "An argument is null or outside its range.")                                        \
    X(TW_ERROR_OUT_OF_MEMORY, "Memory ran out.")                                                                     \
    X(TW_ERROR_FILE, "The file cannot be opened or read.")                                                           \
    X(TW_ERROR_NOT_A_SONG, "The data is not an Org-02 song: it does not begin with \"Org-02\".")                     \
    X(TW_ERROR_TRUNCATED, "The song is shorter than its own note counts say: it is damaged.")                        \
    X(TW_ERROR_ENGINE, "The sound engine failed.")                                                                   \
    X(TW_ERROR_UNKNOWN, "Unknown error code.")                                                                       \
    X(TW_ERROR_TOO_LARGE, "The data is larger than any Org-02 song can be, or than any MIDI file the import reads.") \
    X(TW_ERROR_BAD_TRACK, "The track number is outside 0 to 15.")                                                    \
    X(TW_ERROR_BAD_TEMPO, "The tempo is outside 1 to 65535 milliseconds per beat.")                                  \
    X(TW_ERROR_BAD_BAR_LAYOUT, "A bar layout number is outside 1 to 255.")                                           \
    X(TW_ERROR_BAD_LOOP, "The loop ends before it starts.")                                                          \
    X(TW_ERROR_BAD_INSTRUMENT, "The track has no such instrument: waveforms are 0 to 99 and drums 0 to 11.")         \
    X(TW_ERROR_BAD_FINE_TUNE, "The fine tune is outside 0 to 65535.")                                                \
    X(TW_ERROR_BAD_KEY, "The key is outside 0 to 95.")                                                               \
    X(TW_ERROR_BAD_LENGTH, "The note length is outside 1 to 255 beats.")                                             \
    X(TW_ERROR_BAD_VOLUME, "The volume is outside 0 to 254.")                                                        \
    X(TW_ERROR_BAD_PAN, "The pan is outside 0 to 12.")                                                               \
    X(TW_ERROR_NO_EVENT, "The track has no event at that beat.")                                                     \
    X(TW_ERROR_EVENT_EXISTS, "The track already has an event at that beat.")                                         \
    X(TW_ERROR_TOO_MANY_EVENTS, "The track already holds 65535 events, the most a song file can.")                   \
    X(TW_ERROR_NOT_MIDI, "The data is no Standard MIDI File of type 0 or 1.")                                        \
    X(TW_ERROR_BAD_QUANTIZE, "The quantise is outside 1 to 64 song beats per quarter note.")
// clang-format on

/** @name Interpolation methods for tw_song_set_interpolation()
 *  The sound engine's resampler numbers.
 *  @{ */
#define TW_INTERPOLATION_NEAREST 0 /**< No interpolation. */
#define TW_INTERPOLATION_LINEAR 1  /**< Linear interpolation (the default, as the player uses). */
#define TW_INTERPOLATION_CUBIC 2   /**< Cubic interpolation. */
#define TW_INTERPOLATION_SPLINE 3  /**< Spline interpolation. */
/** Band-limited windowed sinc (32 taps, or 8 over copies at four times the rate made at load):
 *  high notes without aliasing. The engine's own extension
 *  (FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC in its fmod.h). */
#define TW_INTERPOLATION_SINC 4
/** @} */

/** The resamplers in the order of their numbers: X(number, name, taps, label), the name the
 *  programs' --interp and the plugins take, the frames each output frame reads (sinc: at the
 *  sound's own rate) and a label for a menu. Everything that lists them (the programs' options and
 *  help, their manual pages, the plugins, the Python and JavaScript packages) reads them from here;
 *  a resampler added to the engine (a kernel, its FMOD_DSP_RESAMPLER number below
 *  FMOD_DSP_RESAMPLER_MAX) is then one define above and one row here. */
// tools/tables reads each row of the list on a line of its own.
// clang-format off
#define TW_RESAMPLERS(X)                                                 \
    X(TW_INTERPOLATION_NEAREST, "nearest", 1, "No interpolation")        \
    X(TW_INTERPOLATION_LINEAR, "linear", 2, "Linear interpolation")      \
    X(TW_INTERPOLATION_CUBIC, "cubic", 4, "Cubic interpolation")         \
    X(TW_INTERPOLATION_SPLINE, "spline", 6, "Spline interpolation")      \
    X(TW_INTERPOLATION_SINC, "sinc", 32, "Band-limited windowed sinc")
// clang-format on

/** One open song with its own playback position, instruments and mixer. Opaque. */
typedef struct tw_song tw_song;

/**
 * @brief The library's version.
 * @return The version as 0xMMmmpp: major, minor and patch number, one byte each.
 * Any thread may call it.
 */
ORG_API unsigned tw_version(void);

/**
 * @brief Opens a song held in memory.
 *
 * The data is read during the call and not kept: the caller may free it as soon as this returns.
 * The song is strict about its input: the data must begin with the six bytes "Org-02" and hold at
 * least the note data that its own note counts announce (bytes after that are ignored).
 * @param data the bytes of an Org-02 song file.
 * @param size the number of bytes at @p data.
 * @param error where the result code is written (::TW_OK on success); may be null.
 * @return The new song, owned by the caller, who closes it with tw_song_close(); null on failure.
 */
ORG_API tw_song* tw_song_open_memory(const void* data, size_t size, int* error);

/**
 * @brief Opens a song file; as tw_song_open_memory() with the file's bytes.
 *
 * The call is bounded, whatever the path names. It reads at most one byte more than the largest
 * possible song (the header, the sixteen instrument records and 65535 notes of 8 bytes on every
 * track: 8,388,594 bytes), and refuses a longer file or device (`/dev/zero`) with
 * ::TW_ERROR_TOO_LARGE. Anything but a regular file is opened without blocking: a FIFO with no
 * writer, or a device that stays silent, is refused with ::TW_ERROR_FILE after two seconds; once
 * data flows, a FIFO is read to its end.
 * @param path the file's path, as the C library's fopen() takes it.
 * @param error where the result code is written (::TW_OK on success); may be null.
 * @return The new song, owned by the caller, who closes it with tw_song_close(); null on failure.
 */
ORG_API tw_song* tw_song_open_file(const char* path, int* error);

/**
 * @brief Closes a song and frees everything it holds.
 * @param song a song from tw_song_open_memory() or tw_song_open_file(), or null (nothing happens).
 * The song must not be in use by another thread.
 */
ORG_API void tw_song_close(tw_song* song);

/**
 * @brief The sentence that describes a result code.
 * @param error a result code of this library.
 * @return A fixed sentence without a line break; owned by the library, never null, valid for the
 * life of the process. Any thread may call it.
 */
ORG_API const char* tw_error_string(int error);

/**
 * @brief A result code's name in this header.
 * @param error a result code.
 * @return "TW_OK", "TW_ERROR_BAD_KEY" and so on, as TW_ERRORS lists them; null for a number that
 * is no code. Owned by the library, valid for the life of the process. Any thread may call it.
 */
ORG_API const char* tw_error_name(int error);

/**
 * @brief A resampler's name, as the programs' --interp takes it.
 * @param method a number of tw_song_set_interpolation().
 * @return "nearest", "linear" and so on, as TW_RESAMPLERS lists them; null for another number, so
 * that a caller counts them by asking from 0 until it gets null. Owned by the library.
 */
ORG_API const char* tw_interpolation_name(int method);

/** The bytes of the header tw_wav_header() writes. */
#define TW_WAV_HEADER_BYTES 44

/**
 * @brief The header of a 16-bit PCM WAV file, as tunewright-render writes it.
 * @param sample_rate frames per second, 8000 to 192000.
 * @param channels 1 or 2.
 * @param frames how many frames follow the header, each channel's 16-bit sample in turn,
 * little-endian.
 * @param header room for ::TW_WAV_HEADER_BYTES bytes, owned by the caller.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null header, a rate or channel count
 * outside those, or more frames than a WAV file holds (4 GiB of sound).
 */
ORG_API int tw_wav_header(int sample_rate, int channels, uint32_t frames, void* header);

/**
 * @brief Renders the next frames of the song as 16-bit samples.
 *
 * The frames are exactly those the library's renderer writes for the same song, rate, volume and
 * interpolation. A @p sample_rate other than the previous call's goes on from the beginning of the
 * beat the song stands on, as a seek there does.
 * @param song the song.
 * @param sample_rate frames per second, 8000 to 192000.
 * @param frames how many frames to write.
 * @param interleaved_stereo room for @p frames frames of two samples each (left, right), owned by
 * the caller.
 * @return The frames written: @p frames, fewer only at the end of the song, and 0 after its end or
 * when an argument is invalid (null song or buffer, or a rate out of range).
 */
ORG_API size_t tw_song_read_s16(tw_song* song, int sample_rate, size_t frames, int16_t* interleaved_stereo);

/**
 * @brief Renders the next frames of the song as floating-point samples.
 *
 * The same frames as tw_song_read_s16(), taken before they are rounded to 16 bits: full scale is
 * 1.0, and a loud song may go beyond it (nothing is clipped).
 * @param song the song.
 * @param sample_rate frames per second, 8000 to 192000.
 * @param frames how many frames to write.
 * @param interleaved_stereo room for @p frames frames of two samples each (left, right), owned by
 * the caller.
 * @return The frames written, as for tw_song_read_s16().
 */
ORG_API size_t tw_song_read_float(tw_song* song, int sample_rate, size_t frames, float* interleaved_stereo);

/**
 * @brief Sets how often the song's loop repeats.
 * @param song the song.
 * @param repeats repeats of the loop after its first pass: 0 (the default) plays the intro and the
 * loop once, 1 the loop twice, and so on; -1 repeats it forever. An empty loop (one that ends at or
 * before its start) adds nothing. `tunewright-render --loops` and the other programs count alike.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a value below -1.
 */
ORG_API int tw_song_set_loops(tw_song* song, int repeats);

/**
 * @brief Sets the resampler that plays the instruments at each note's rate.
 * @param song the song.
 * @param method a number that TW_RESAMPLERS lists; ::TW_INTERPOLATION_LINEAR is the default.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or another number. Takes effect
 * at the next read; notes then sounding start again from the current beat.
 */
ORG_API int tw_song_set_interpolation(tw_song* song, int method);

/**
 * @brief Sets the master volume that scales every instrument.
 * @param song the song.
 * @param volume 0 (silent) upwards; the default is 0.5, as the player starts.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a negative or non-finite volume.
 */
ORG_API int tw_song_set_volume(tw_song* song, float volume);

/**
 * @brief How long the song plays with the current loop setting.
 * @param song the song.
 * @return Seconds: the intro plus (repeats + 1) passes of the loop, in whole milliseconds;
 * infinity for repeats -1; 0 for a null song. A read from the start gives the frames of those
 * milliseconds at its rate (rounded down) rounded up to whole mix blocks of rate / 1000 frames, as
 * the renderer writes them: up to one block, under a millisecond, more than the duration.
 */
ORG_API double tw_song_get_duration_seconds(const tw_song* song);

/**
 * @brief Where the song stands.
 * @param song the song.
 * @return Seconds of audio read (or sought) so far; 0 for a null song.
 */
ORG_API double tw_song_get_position_seconds(const tw_song* song);

/**
 * @brief Moves the song to a new position.
 *
 * The song lands on the beat that begins at or before @p seconds; notes that started earlier and
 * still sound on that beat are heard from it.
 * @param song the song.
 * @param seconds the new position, 0 to the duration (a later position lands at the end; one past
 * 9.6e10 s, some three thousand years, lands there).
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a negative or non-finite value.
 */
ORG_API int tw_song_seek_seconds(tw_song* song, double seconds);

/**
 * @brief The song's tempo.
 * @param song the song.
 * @return Milliseconds per beat; 0 for a null song.
 */
ORG_API int tw_song_get_tempo_ms(const tw_song* song);

/**
 * @brief The instrument of a track.
 * @param song the song.
 * @param track 0 to 15; tracks 0 to 7 play melody waveforms, 8 to 15 drums.
 * @return The track's sample number (0 to 99 for melody, 0 to 11 for drums; others sound nothing),
 * or -1 for a null song or a track outside 0 to 15.
 */
ORG_API int tw_song_get_track_instrument(const tw_song* song, int track);

/** @name Kinds of track, from tw_song_get_track_kind()
 *  @{ */
#define TW_TRACK_MELODY 0 /**< The track loops a melody waveform for as long as each note lasts. */
#define TW_TRACK_DRUMS 1  /**< The track strikes a one-shot drum. */
/** @} */

/** @brief The tracks of every Org-02 song: 0 to 7 melody, 8 to 15 drums. */
#define TW_TRACK_COUNT 16

/**
 * @brief How many tracks a song has: ::TW_TRACK_COUNT for every Org-02 song.
 * @param song the song.
 * @return The number of tracks, numbered from 0; 0 for a null song.
 */
ORG_API int tw_song_get_track_count(const tw_song* song);

/**
 * @brief What a track plays.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @return ::TW_TRACK_MELODY or ::TW_TRACK_DRUMS, or ::TW_ERROR_INVALID_ARGUMENT for a null song or
 * a track out of range.
 */
ORG_API int tw_song_get_track_kind(const tw_song* song, int track);

/**
 * @brief The number of events of a track.
 *
 * Every event has a place in the file; not every event sounds (see tw_event::starts_note).
 * @param song the song.
 * @param track 0 to 15.
 * @return The track's event count, or -1 for a null song or a track outside 0 to 15.
 */
ORG_API int tw_song_get_track_event_count(const tw_song* song, int track);

/**
 * @brief The number of events of a track, under an older, misleading name.
 * @deprecated The same as tw_song_get_track_event_count(), which it stays for programs built
 * before: it counts events, not the notes among them.
 * @param song the song.
 * @param track 0 to 15.
 * @return As tw_song_get_track_event_count().
 */
ORG_API int tw_song_get_track_notes(const tw_song* song, int track);

/** One event of a track, as tw_song_get_track_events() lists it. */
typedef struct tw_event
{
    uint32_t beat;  /**< The beat the event stands at, counted from the song's start. */
    uint8_t key;    /**< The note: 12 to an octave, 57 is the A of 440 Hz; 0 to 95 sound. */
    uint8_t length; /**< Beats the note lasts; 0 starts nothing. */
    uint8_t volume; /**< 0 to 255. */
    uint8_t pan;    /**< 0 (left) to 12 (right), 6 the centre; 255 keeps the pan of the note it changes. */
    /** 1 when the song starts a note here as it reaches the beat. 0 when the event starts nothing:
     *  its length is 0, or an earlier event of the track still sounds on its beat (whose volume and
     *  pan it may then change, and whose note it holds on at its own key and length once that
     *  earlier event ends). */
    uint8_t starts_note;
    uint8_t reserved[3]; /**< 0. */
} tw_event;

/**
 * @brief Lists the events of a track, in the order the song holds them.
 *
 * Called with a null @p events, it only counts them; with a buffer too small for all, it fills the
 * buffer and still returns the whole count, so a caller can make room and call again.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @param events room for @p capacity events, owned by the caller; may be null.
 * @param capacity how many events fit at @p events.
 * @return The track's event count (0 to 65535, which may be more than @p capacity: only the first
 * @p capacity are written), ::TW_ERROR_INVALID_ARGUMENT for a null song or a track out of range,
 * or ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API int tw_song_get_track_events(const tw_song* song, int track, tw_event* events, size_t capacity);

/**
 * @brief The beat the song plays at a time, as tw_event::beat counts beats.
 *
 * Past the loop's end the song plays its loop again, so a time there gives a beat inside the loop.
 * @param song the song.
 * @param seconds the time from the song's start, 0 or more.
 * @param beat where the beat is written.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or @p beat, or a negative or
 * non-finite time (then nothing is written).
 */
ORG_API int tw_song_get_beat_at_seconds(const tw_song* song, double seconds, uint32_t* beat);

/** @name Making and changing songs
 *  A song opened from a file, or made empty, can be changed while it is being read: the next read
 *  plays the changed song from where it stands. Notes that sound go on as they would, a new tempo
 *  keeps the song on its beat, and instruments a track now selects are made when a note first plays
 *  them. Every function checks its values first; a value out of range returns its own error code
 *  and changes nothing.
 *  @{ */
/**
 * @brief Makes an empty song: 140 ms per beat, a bar layout of 4 and 4, no loop (0 to 0), fine
 * tune 0, no events, every melody track on waveform 0 and the drum tracks on a kit of one drum each
 * (tracks 8 to 15: bass drum, snare, closed hi-hat, open hi-hat, high tom, low tom, crash cymbal,
 * hand clap; see tw_instrument_name()).
 * @param error where the result code is written (::TW_OK on success); may be null.
 * @return The new song, owned by the caller, who closes it with tw_song_close(); null when memory
 * ran out.
 */
ORG_API tw_song* tw_song_new(int* error);
/**
 * @brief The values an editor may write in an event, each field's lowest and highest: beat 0 to
 * 4294967295, key 0 to 95, length 1 to 255, volume 0 to 254, pan 0 to 12. An event outside them is
 * refused by tw_song_insert_event() and tw_song_replace_event() with the field's own error code.
 * @param lowest where the lowest values are written; may be null.
 * @param highest where the highest values are written; may be null.
 */
ORG_API void tw_get_event_range(tw_event* lowest, tw_event* highest);
/**
 * @brief How many instruments a track of a kind can take.
 * @param kind ::TW_TRACK_MELODY (waveforms) or ::TW_TRACK_DRUMS.
 * @return 100 for melody tracks, 12 for drum tracks, 0 for another kind.
 */
ORG_API int tw_get_instrument_count(int kind);
/**
 * @brief The short name of an instrument, as a person picks it: "Square", "Bass saw", "Snare",
 *  "Closed hi-hat"...
 * @param kind ::TW_TRACK_MELODY (waveforms) or ::TW_TRACK_DRUMS.
 * @param instrument 0 to tw_get_instrument_count() - 1 of that kind, as
 *  tw_song_set_track_instrument() takes it.
 * @return A fixed English name in UTF-8, owned by the library and valid for the life of the process;
 *  null for another kind or an instrument out of range. Any thread may call it.
 */
ORG_API const char* tw_instrument_name(int kind, int instrument);
/**
 * @brief Sets the song's tempo.
 * @param song the song.
 * @param ms_per_beat milliseconds per beat, 1 to 65535.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_TEMPO.
 */
ORG_API int tw_song_set_tempo_ms(tw_song* song, int ms_per_beat);
/**
 * @brief The bar layout an editor draws the song's grid by; playback never depends on it.
 * @param song the song.
 * @param per_bar where the ruler beats in a bar are written (the file's first bar layout number).
 * @param per_beat where the song's beats (the unit of tw_event::beat) in one ruler beat are written
 * (the file's second number).
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null pointer.
 */
ORG_API int tw_song_get_bar_layout(const tw_song* song, int* per_bar, int* per_beat);
/**
 * @brief Sets the bar layout (see tw_song_get_bar_layout()).
 * @param song the song.
 * @param per_bar ruler beats in a bar, 1 to 255.
 * @param per_beat song beats in a ruler beat, 1 to 255.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_BAR_LAYOUT.
 */
ORG_API int tw_song_set_bar_layout(tw_song* song, int per_bar, int per_beat);
/**
 * @brief The song's loop: after the beat @p end it plays on from @p start.
 * @param song the song.
 * @param start where the loop's first beat is written.
 * @param end where the beat after the loop's last is written; at or before @p start the loop is
 * empty and the song ends there.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null pointer.
 */
ORG_API int tw_song_get_loop(const tw_song* song, uint32_t* start, uint32_t* end);
/**
 * @brief Sets the song's loop.
 * @param song the song.
 * @param start the loop's first beat.
 * @param end the beat after its last, at or after @p start (equal: no loop, the song ends there).
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_LOOP.
 */
ORG_API int tw_song_set_loop(tw_song* song, uint32_t start, uint32_t end);
/**
 * @brief Sets a track's instrument.
 * @param song the song.
 * @param track 0 to 15.
 * @param instrument a melody waveform, 0 to 99, on tracks 0 to 7; a drum, 0 to 11, on tracks 8 to 15.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, ::TW_ERROR_BAD_TRACK or
 * ::TW_ERROR_BAD_INSTRUMENT.
 */
ORG_API int tw_song_set_track_instrument(tw_song* song, int track, int instrument);
/**
 * @brief A track's fine tune.
 * @param song the song.
 * @param track 0 to 15.
 * @return The fine tune, 0 to 65535, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a track
 * outside 0 to 15.
 */
ORG_API int tw_song_get_track_fine_tune(const tw_song* song, int track);
/**
 * @brief Sets a track's fine tune.
 * @param song the song.
 * @param track 0 to 15.
 * @param fine_tune 0 to 65535. 1000 plays every key at its pitch; each 100 above or below moves
 * every note of the track by one unit of the sampler's frequency table, up or down (key 19 is 441
 * units, so a unit is about 4 cents there and less on higher keys).
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, ::TW_ERROR_BAD_TRACK or
 * ::TW_ERROR_BAD_FINE_TUNE.
 */
ORG_API int tw_song_set_track_fine_tune(tw_song* song, int track, int fine_tune);
/**
 * @brief A track's no-loop flag.
 * @param song the song.
 * @param track 0 to 15.
 * @return 1 when the track's notes are marked as not looping, 0 when not, or
 * ::TW_ERROR_INVALID_ARGUMENT for a null song or a track outside 0 to 15.
 */
ORG_API int tw_song_get_track_no_loop(const tw_song* song, int track);
/**
 * @brief Marks a track's notes as not looping, or as looping. The mark is kept in the file for
 * editors; the library's sampler plays melody waveforms looped for as long as a note lasts either way.
 * @param song the song.
 * @param track 0 to 15.
 * @param no_loop nonzero to mark, 0 to clear.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_TRACK.
 */
ORG_API int tw_song_set_track_no_loop(tw_song* song, int track, int no_loop);
/**
 * @brief Adds an event to a track, in beat order.
 *
 * The event's key must be 0 to 95, its length 1 to 255, its volume 0 to 254 and its pan 0 to 12;
 * tw_event::starts_note and tw_event::reserved are not read.
 * @param song the song.
 * @param track 0 to 15.
 * @param event the event, owned by the caller.
 * @return ::TW_OK; ::TW_ERROR_INVALID_ARGUMENT for a null pointer; ::TW_ERROR_BAD_TRACK,
 * ::TW_ERROR_BAD_KEY, ::TW_ERROR_BAD_LENGTH, ::TW_ERROR_BAD_VOLUME or ::TW_ERROR_BAD_PAN;
 * ::TW_ERROR_EVENT_EXISTS when the track has an event at that beat; ::TW_ERROR_TOO_MANY_EVENTS;
 * ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API int tw_song_insert_event(tw_song* song, int track, const tw_event* event);
/**
 * @brief Replaces the event at tw_event::beat of @p event (the first, if a file has several there).
 * @param song the song.
 * @param track 0 to 15.
 * @param event the new event, checked as tw_song_insert_event() checks it.
 * @return As tw_song_insert_event(), with ::TW_ERROR_NO_EVENT when the track has no event at that beat.
 */
ORG_API int tw_song_replace_event(tw_song* song, int track, const tw_event* event);
/**
 * @brief Removes the event at a beat (the first, if a file has several there).
 * @param song the song.
 * @param track 0 to 15.
 * @param beat the event's beat.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, ::TW_ERROR_BAD_TRACK,
 * ::TW_ERROR_NO_EVENT or ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API int tw_song_remove_event(tw_song* song, int track, uint32_t beat);
/**
 * @brief The song as the bytes of an Org-02 file, which tw_song_open_memory() opens again.
 *
 * Called with a null @p buffer, it only counts them; with a buffer too small, it fills the buffer
 * and still returns the whole count.
 * @param song the song.
 * @param buffer room for @p capacity bytes, owned by the caller; may be null.
 * @param capacity how many bytes fit at @p buffer.
 * @return The song's size in bytes (at most 8,388,594), ::TW_ERROR_INVALID_ARGUMENT for a null
 * song, or ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API int tw_song_save_memory(const tw_song* song, void* buffer, size_t capacity);
/**
 * @brief Writes the song to an Org-02 file.
 *
 * The file is written beside the old one under a temporary name and renamed over it at the end, so
 * a failed save leaves an existing file whole. Anything but a regular file (a FIFO, a device) is
 * written straight, and opened without waiting: a FIFO that nobody reads is refused with
 * ::TW_ERROR_FILE at once.
 * @param song the song.
 * @param path the file's path, as the C library's fopen() takes it.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null pointer, ::TW_ERROR_FILE when it cannot
 * be written, or ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API int tw_song_save_file(const tw_song* song, const char* path);
/** @} */

/** @name Standard MIDI Files
 *  A song goes out as a type 1 MIDI file: the tempo (a quarter note is the song's second bar layout
 *  number of beats; a step longer than MIDI's longest quarter note, 16.78 s, is the fewest quarter
 *  notes that hold it, named by the marker "step of N quarters"), the time signature, the loop as
 *  the markers "loop start" and "loop end", melody tracks on channels 1 to 8 with a General MIDI
 *  program for each waveform, drums on channel 10 with one key per drum (36, 35, 38, 40, 48, 42,
 *  46, 49, 39, 56, 37, 45 for drums 0 to 11), key k as MIDI note k + 12, volume as velocity and pan
 *  as controller 10. The notes are those the song sounds: one for each event that starts a note,
 *  and one more wherever a held note takes another key (as a later event holds it on); the volume
 *  and pan a held note changes to are left out. So that the song comes back exactly, each track
 *  begins with a sequencer-specific meta event, FF 7F 05 7D 54 57 track instrument (the id 7D,
 *  which names no manufacturer, then "TW", the song track and its waveform or drum), and a drum
 *  note's note-off velocity is its song key; other programs read the General MIDI programs and
 *  keys as ever. A MIDI file of type 0 or 1 comes in quantised to
 *  the song's beats, its notes spread over the one-voice tracks, and everything the import drops
 *  or changes is counted in a ::tw_midi_report.
 *  @{ */
/** The fields of ::tw_midi_report in their order, each a uint32_t: X(field, kind, meaning), the
 *  kind COUNT (how many), FLAG (1 or 0) or VALUE. The Python and JavaScript packages take the
 *  fields' names from here. */
// tools/tables reads each row of the list on a line of its own.
// clang-format off
#define TW_MIDI_REPORT_FIELDS(X)                                                                    \
    X(notes, COUNT, "Notes in the song made.")                                                      \
    X(keys_out_of_range, COUNT, "Melody notes outside keys 0 to 95 (MIDI 12 to 107): dropped.")     \
    X(unmapped_drums, COUNT, "Channel 10 notes of a key no drum has: dropped.")                     \
    X(beyond_last_beat, COUNT, "Notes after the last beat a song holds: dropped.")                  \
    X(extra_voices, COUNT, "A ninth voice sounding at once on one channel: dropped.")               \
    X(shared_tracks, COUNT, "Voices beyond the melody tracks their channel got: dropped.")          \
    X(extra_drums, COUNT, "Hits of drums beyond the eight drum tracks: dropped.")                   \
    X(same_beat_hits, COUNT, "Drum hits on a beat the same drum already hits: dropped.")            \
    X(overfull_tracks, COUNT, "Notes beyond a track's 65535 events: dropped.")                      \
    X(lengthened, COUNT, "Notes of no length once quantised: given one beat.")                      \
    X(shortened, COUNT, "Notes over 255 beats: cut to 255.")                                        \
    X(unfinished, COUNT, "Notes never ended: ended where the file ends.")                           \
    X(extra_tempos, COUNT, "Tempo changes: followed, the song keeping one tempo (see retimed).")    \
    X(program_changes, COUNT, "Program changes after a channel's first note: ignored.")             \
    X(ignored_events, COUNT, "Pitch bends, aftertouch, controllers but pan: ignored.")              \
    X(channels_without_track, COUNT, "Melody channels that got no track (more than eight played).") \
    X(loop_ignored, FLAG, "1: \"loop end\" before \"loop start\"; the loop is the whole song.")     \
    X(damaged, FLAG, "1: the file ends early or holds a bad event; read up to there.")              \
    X(tempo_ms, VALUE, "The song's milliseconds per beat.")                                         \
    X(tempo_held, FLAG, "1: the song's tempo gives under 1 or over 65535 ms; held there.")          \
    X(excess_events, COUNT, "Events past the TW_MAX_MIDI_EVENTS an import holds: dropped.")         \
    X(retimed, COUNT, "Notes the tempo changes moved over a song beat from where ticks put them.")
// clang-format on

/** What tw_song_open_midi() dropped or changed, in the fields TW_MIDI_REPORT_FIELDS lists. A
 *  dropped note is counted once, by the first rule that drops it, in this order; the changes are
 *  counted among the notes kept. */
typedef struct tw_midi_report
{
/** One member of the struct, from a row of TW_MIDI_REPORT_FIELDS; undefined after it. */
#define TW_MIDI_REPORT_MEMBER_(p_Field, p_Kind, p_Meaning) uint32_t p_Field;
    TW_MIDI_REPORT_FIELDS(TW_MIDI_REPORT_MEMBER_)
#undef TW_MIDI_REPORT_MEMBER_
} tw_midi_report;

/** The largest Standard MIDI File tw_song_open_midi() reads, in bytes: the most tw_song_save_midi()
 *  writes of any song (16 tracks of 2 x 65535 notes at most, 21 bytes a note, and what a track holds
 *  besides). */
#define TW_MAX_MIDI_BYTES 44224154
/** The most of a file's events tw_song_open_midi() holds: as many of each kind as the export of any
 *  song has (note starts, note ends, and settings such as pans), so that its memory stays in
 *  proportion to what a song keeps. The rest are dropped and counted in excess_events. */
#define TW_MAX_MIDI_EVENTS 6291381
/** The most song beats per quarter note tw_song_open_midi() quantises to. */
#define TW_MAX_QUANTIZE 64

/**
 * @brief Makes a song of a Standard MIDI File (type 0 or 1).
 *
 * Times are quantised to @p quantize song beats per quarter note (or per N quarter notes, by the
 * marker "step of N quarters"). The song keeps one tempo, the one that holds longest in the file's
 * time (the earliest of equals), which gives its milliseconds per beat (microseconds per quarter x
 * N / 1000 / @p quantize, held to 1 to 65535); where the file changes tempo, every time is placed by
 * the time the tempo map gives it, so that no note is more than half a song beat from it
 * (tw_midi_report::retimed counts the notes this moves by more than a beat). The first time
 * signature gives its bar layout. Melody channels share the eight melody tracks (each channel that plays
 * gets one before any gets more, up to the voices it sounds at once), a note going to the first of
 * its channel's tracks free at its beat; channel 10 goes to the drum tracks, one per drum.
 * Velocity becomes volume, controller 10 pan, a channel's program its tracks' waveform. A track
 * that tw_song_save_midi() wrote keeps its own waveform or drum, its place when the tracks around
 * it let it, and its drum notes' keys.
 * @param data the file's bytes; they are copied.
 * @param size how many bytes.
 * @param quantize song beats per quarter note, 1 to 64 (4 is the usual).
 * @param report where what was dropped or changed is written; may be null.
 * @param error where the result code is written (::TW_OK on success); may be null.
 * @return The new song, owned by the caller, who closes it with tw_song_close(); null with
 * ::TW_ERROR_INVALID_ARGUMENT for null data, ::TW_ERROR_BAD_QUANTIZE, ::TW_ERROR_TOO_LARGE for
 * more than ::TW_MAX_MIDI_BYTES, ::TW_ERROR_NOT_MIDI or ::TW_ERROR_OUT_OF_MEMORY.
 */
ORG_API tw_song* tw_song_open_midi(const void* data, size_t size, int quantize, tw_midi_report* report,
                                   int* error);
/**
 * @brief A report of tw_song_open_midi() as English text: a line for the notes made, then a line for
 * each kind of loss or change, each line ending in a line break.
 *
 * Called with a null @p buffer, it only counts; with a buffer too small, it fills it and still
 * returns the whole count. The text is ended by a zero byte when it fits with it.
 * @param report the report.
 * @param buffer room for @p capacity bytes, owned by the caller; may be null.
 * @param capacity how many bytes fit at @p buffer.
 * @return The text's length in bytes, without the zero byte, or ::TW_ERROR_INVALID_ARGUMENT for a
 * null report.
 */
ORG_API int tw_midi_report_text(const tw_midi_report* report, char* buffer, size_t capacity);
/**
 * @brief The name of a field of ::tw_midi_report.
 * @param index 0 for the first field (notes), and so on in their order.
 * @return The field's name, as TW_MIDI_REPORT_FIELDS lists it; null past the last. Owned by the
 * library.
 */
ORG_API const char* tw_midi_report_field_name(int index);
/**
 * @brief The song as the bytes of a type 1 Standard MIDI File, which tw_song_open_midi() opens again.
 *
 * Called with a null @p buffer, it only counts them; with a buffer too small, it fills the buffer
 * and still returns the whole count.
 * @param song the song.
 * @param buffer room for @p capacity bytes, owned by the caller; may be null.
 * @param capacity how many bytes fit at @p buffer.
 * @return The file's size in bytes, ::TW_ERROR_INVALID_ARGUMENT for a null song, or
 * ::TW_ERROR_OUT_OF_MEMORY (also for a file larger than an int counts).
 */
ORG_API int tw_song_save_midi(const tw_song* song, void* buffer, size_t capacity);
/** @} */
/** @name Tracks apart
 *  Settings of a mixing desk, apart from the song itself (nothing here is saved or edits an
 *  event): each track's mute, solo and gain, the speed of the song's beats and the pitch of its
 *  notes; and reads of each track's own frames and loudness. Every setting is heard from the next
 *  read on, ramped as the master volume is (no click). A song that uses none sounds exactly as
 *  before.
 *  @{ */
/**
 * @brief Mutes or unmutes a track; a muted track sounds only while it is soloed.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @param mute nonzero to mute, 0 to unmute.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_TRACK.
 */
ORG_API int tw_song_set_track_mute(tw_song* song, int track, int mute);
/**
 * @brief Whether a track is muted.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @return 1 or 0, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a track out of range.
 */
ORG_API int tw_song_get_track_mute(const tw_song* song, int track);
/**
 * @brief Solos a track or takes its solo away. While any track is soloed, the soloed tracks sound
 *  (muted or not) and no other; any number of tracks may be soloed at once.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @param solo nonzero to solo, 0 to take the solo away.
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song, or ::TW_ERROR_BAD_TRACK.
 */
ORG_API int tw_song_set_track_solo(tw_song* song, int track, int solo);
/**
 * @brief Whether a track is soloed.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @return 1 or 0, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a track out of range.
 */
ORG_API int tw_song_get_track_solo(const tw_song* song, int track);
/**
 * @brief Sets the factor a track's frames are scaled by, after its notes' own volumes.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @param gain 0 (silent) to 1 (the default: as the song has it).
 * @return ::TW_OK, ::TW_ERROR_INVALID_ARGUMENT for a null song or a gain outside 0 to 1 (or not
 * finite), or ::TW_ERROR_BAD_TRACK.
 */
ORG_API int tw_song_set_track_gain(tw_song* song, int track, float gain);
/**
 * @brief A track's gain.
 * @param song the song.
 * @param track 0 to tw_song_get_track_count() - 1.
 * @return 0 to 1, or -1 for a null song or a track out of range.
 */
ORG_API float tw_song_get_track_gain(const tw_song* song, int track);
/** @brief The slowest tempo factor tw_song_set_tempo_factor() takes: a quarter of the song's speed. */
#define TW_MIN_TEMPO_FACTOR 0.25
/** @brief The fastest tempo factor tw_song_set_tempo_factor() takes: four times the song's speed. */
#define TW_MAX_TEMPO_FACTOR 4.0
/** @brief The largest shift tw_song_set_pitch_shift() takes, in semitones, up or down: two octaves. */
#define TW_MAX_PITCH_SHIFT 24.0
/** @brief The largest gain tw_song_set_track_gain() takes: the track as the song has it. */
#define TW_MAX_TRACK_GAIN 1.0
/**
 * @brief Plays the song's beats faster or slower; the notes keep their pitch.
 *
 * Durations, positions and seeks are in the time the song then takes: a factor of 2 halves
 * tw_song_get_duration_seconds() and the frames a read gives, and a changed factor counts the
 * position again at the new speed, so that the song stays on its beat.
 * @param song the song.
 * @param factor ::TW_MIN_TEMPO_FACTOR to ::TW_MAX_TEMPO_FACTOR; 1 (the default) plays the song's own
 * tempo.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a factor outside that range (or
 * not finite).
 */
ORG_API int tw_song_set_tempo_factor(tw_song* song, double factor);
/**
 * @brief The tempo factor.
 * @param song the song.
 * @return The factor (1 by default), or 0 for a null song.
 */
ORG_API double tw_song_get_tempo_factor(const tw_song* song);
/**
 * @brief Moves every note up or down by semitones, notes that sound already too; the tempo stays.
 * @param song the song.
 * @param semitones -::TW_MAX_PITCH_SHIFT to ::TW_MAX_PITCH_SHIFT, fractions allowed: 12 doubles every
 * frequency; 0 is the default.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song or a shift outside that range (or
 * not finite).
 */
ORG_API int tw_song_set_pitch_shift(tw_song* song, double semitones);
/**
 * @brief The pitch shift.
 * @param song the song.
 * @return Semitones, or 0 for a null song.
 */
ORG_API double tw_song_get_pitch_shift(const tw_song* song);
/**
 * @brief Renders the next frames of every track apart, as floating-point samples.
 *
 * The tracks' frames add up to the frames tw_song_read_float() gives for the same song and settings,
 * to the rounding of float (within 1e-6): the engine mixes each voice once, into its track's
 * buffer. The master volume and each track's gain are applied; a muted track's buffer is silent.
 * Measures every track's level (tw_song_get_track_levels()).
 * @param song the song.
 * @param sample_rate frames per second, 8000 to 192000.
 * @param frames how many frames to write into each buffer.
 * @param tracks tw_song_get_track_count() buffers, track 0 first, each with room for @p frames
 * interleaved stereo frames (left, right), owned by the caller.
 * @return The frames written into each buffer, as for tw_song_read_float(); 0 also for a null
 * @p tracks or a null buffer among them.
 */
ORG_API size_t tw_song_read_tracks_float(tw_song* song, int sample_rate, size_t frames, float* const* tracks);
/**
 * @brief Makes tw_song_read_s16() and tw_song_read_float() measure each track's level too.
 *
 * A measuring read keeps the tracks apart in the engine and adds them up, track by track, into the
 * mix: its floats are the sum of tw_song_read_tracks_float()'s, and may differ from an unmeasured
 * read's in their last bits. Off by default.
 * @param song the song.
 * @param on nonzero to measure, 0 not to.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song.
 */
ORG_API int tw_song_set_level_metering(tw_song* song, int on);
/**
 * @brief Whether reads measure the tracks' levels (see tw_song_set_level_metering()).
 * @param song the song.
 * @return 1 or 0, or ::TW_ERROR_INVALID_ARGUMENT for a null song.
 */
ORG_API int tw_song_get_level_metering(const tw_song* song);
/**
 * @brief Each track's loudness over the last measuring read: tw_song_read_tracks_float(), or a
 *  mixed read while metering is on (all zero before the first).
 * @param song the song.
 * @param peaks where each track's largest absolute sample (of either side) is written: room for
 * tw_song_get_track_count() floats, track 0 first; may be null.
 * @param rms where each track's root mean square over both sides is written, likewise; may be null.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song.
 */
ORG_API int tw_song_get_track_levels(const tw_song* song, float* peaks, float* rms);
/** @} */

/**
 * @brief Receives the library's messages.
 * @param line one message, its text unchanged (it may end with a line break, or hold several lines).
 * @param user the pointer given with the function.
 */
typedef void (*tw_log_function)(const char* line, void* user);

/**
 * @brief Sends the library's messages to a function of the caller's, for the whole process.
 *
 * It receives what the functions of this interface say when the song in question has no function of
 * its own (see tw_song_set_log_function()), and what tw_song_open_memory() and tw_song_open_file()
 * say. Without it those messages are dropped. It also receives the messages of the library's C++
 * classes, which without it go to standard output (the engine's "Audio error" blocks) and standard
 * error (the rest). It may be called from any thread that uses the library, also from several at
 * once.
 * @param function the receiver, or null for none.
 * @param user handed to @p function with every message.
 */
ORG_API void tw_set_log_function(tw_log_function function, void* user);

/**
 * @brief Sends one song's messages to a function of the caller's.
 *
 * From now on, what the library says while it works on @p song goes to @p function, in place of
 * the process-wide function. It is called on the thread that called into the song, during that call.
 * @param song the song.
 * @param function the receiver, or null to go back to the process-wide function.
 * @param user handed to @p function with every message.
 * @return ::TW_OK, or ::TW_ERROR_INVALID_ARGUMENT for a null song.
 */
ORG_API int tw_song_set_log_function(tw_song* song, tw_log_function function, void* user);

#ifdef __cplusplus
}
#endif

#endif
