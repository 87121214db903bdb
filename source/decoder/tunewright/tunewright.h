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
#define TW_ERROR_TOO_LARGE -8        /**< The file holds more bytes than the largest possible song. */
/** @} */

/** @name Interpolation methods for tw_song_set_interpolation()
 *  The sound engine's resampler numbers.
 *  @{ */
#define TW_INTERPOLATION_NEAREST 0 /**< No interpolation. */
#define TW_INTERPOLATION_LINEAR 1  /**< Linear interpolation (the default, as the player uses). */
#define TW_INTERPOLATION_CUBIC 2   /**< Cubic interpolation. */
#define TW_INTERPOLATION_SPLINE 3  /**< Spline interpolation. */
/** Band-limited 32-tap windowed sinc: high notes without aliasing. The engine's own extension
 *  (FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC in its fmod.h). */
#define TW_INTERPOLATION_SINC 4
/** @} */

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
 * @param method one of ::TW_INTERPOLATION_NEAREST, ::TW_INTERPOLATION_LINEAR (the default),
 * ::TW_INTERPOLATION_CUBIC, ::TW_INTERPOLATION_SPLINE and ::TW_INTERPOLATION_SINC.
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

/**
 * @brief How many tracks a song has: 16 for every Org-02 song.
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
     *  pan it may then change). */
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
