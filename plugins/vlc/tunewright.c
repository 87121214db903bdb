/* The tunewright demux module for VLC 3: it takes the streams that begin with "Org-02", reads the
 * whole file (a song is a few kilobytes, never more than 8 MB) and opens it with
 * tw_song_open_memory(). Each call of demux() then renders one block of float frames with
 * tw_song_read_float() and sends it as a raw audio stream, stamped with its time, so VLC needs no
 * decoder of its own. Length, time and position come from the song; seeks go to
 * tw_song_seek_seconds(). */
#define VLC_MODULE_COPYRIGHT "Copyright (C) 2026 the tunewright developers"
#define VLC_MODULE_LICENSE "Licensed under the zlib licence"

#ifdef HAVE_CONFIG_H
#include "config.h"
#endif

#include <vlc_common.h>
#include <vlc_demux.h>
#include <vlc_plugin.h>

#include <limits.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "tunewright-plugin.h"

/* VLC's headers leave the marking of translatable text to the module; ours has no catalogue. */
#ifndef N_
#define N_(p_text) (p_text)
#endif

/* VLC 3 has no output rate of its own for a demuxer to follow: its audio output resamples
 * whatever comes. */
#define RATE TUNEWRIGHT_RATE
#define FRAMES_PER_BLOCK TUNEWRIGHT_FRAMES_PER_BLOCK

#define LOOPS_TEXT N_("Loop repeats")
#define LOOPS_LONGTEXT                                                                                       \
    N_("How often the song's loop repeats after its first pass: 0 plays the intro and the loop once, "       \
       "1 the loop twice, and so on; -1 repeats it for ever.")
#define INTERPOLATION_TEXT N_("Resampler")
#define INTERPOLATION_LONGTEXT N_("How the instruments are resampled to each note's pitch.")

#define NAME_OF(p_number, p_name, p_taps, p_label) p_name,
#define LABEL_OF(p_number, p_name, p_taps, p_label) N_(p_label),
#define NUMBER_OF(p_number, p_name, p_taps, p_label) p_number,
static const char* const s_interpolation_names[] = {TW_RESAMPLERS(NAME_OF)};
static const char* const s_interpolation_labels[] = {TW_RESAMPLERS(LABEL_OF)};
static const int s_interpolation_numbers[] = {TW_RESAMPLERS(NUMBER_OF)};
#define INTERPOLATION_COUNT (sizeof(s_interpolation_numbers) / sizeof(s_interpolation_numbers[0]))

static int open_module(vlc_object_t* p_object);
static void close_module(vlc_object_t* p_object);

/* The name of a resampler's number (the default's when none has it). */
static const char* interpolation_name(int p_number)
{
    for (size_t l_index = 0; l_index < INTERPOLATION_COUNT; l_index++)
        if (s_interpolation_numbers[l_index] == p_number)
            return s_interpolation_names[l_index];
    return NULL;
}

/* VLC's own layout for a module's description, one call a line. */
// clang-format off
vlc_module_begin()
    set_shortname("tunewright")
    set_description(N_("Org-02 songs (libtunewright)"))
    set_category(CAT_INPUT)
    set_subcategory(SUBCAT_INPUT_DEMUX)
    set_capability("demux", 155)
    set_callbacks(open_module, close_module)
    add_shortcut("tunewright")
    add_integer_with_range("tunewright-loops", 0, -1, INT_MAX, LOOPS_TEXT, LOOPS_LONGTEXT, false)
    add_string("tunewright-interpolation", interpolation_name(TUNEWRIGHT_DEFAULT_INTERPOLATION),
               INTERPOLATION_TEXT, INTERPOLATION_LONGTEXT, false)
        change_string_list(s_interpolation_names, s_interpolation_labels)
vlc_module_end()
    // clang-format on

    struct demux_sys_t
{
    tw_song* song;
    uint8_t* bytes; /* the file, to open the song afresh on a seek */
    size_t size;
    es_out_id_t* es;
    int loops;
    int interpolation;
    /* The time of the frame after the last seek, and the frames sent since. */
    mtime_t base_time;
    uint64_t frames;
    /* Frames to render and drop before the next block: a precise seek's way from its beat to its time. */
    uint64_t skip_frames;
};

/* The song's messages (the sound engine failing) go to VLC's log, against the demuxer. */
static void song_log(const char* p_line, void* p_demux) { msg_Warn((demux_t*)p_demux, "%s", p_line); }

/* Seconds as VLC's ticks (microseconds), rounded. */
static mtime_t seconds_to_ticks(double p_seconds) { return (mtime_t)llround(p_seconds * CLOCK_FREQ); }

/* Opens the song from the file's bytes with the module's settings; returns the library's result. */
static int open_song(demux_t* p_demux)
{
    demux_sys_t* l_sys = p_demux->p_sys;
    int l_error = TW_OK;
    tw_song* l_song = tw_song_open_memory(l_sys->bytes, l_sys->size, &l_error);
    if (!l_song)
        return l_error;
    tw_song_set_log_function(l_song, song_log, p_demux);
    tw_song_set_loops(l_song, l_sys->loops);
    tw_song_set_interpolation(l_song, l_sys->interpolation);
    tw_song_close(l_sys->song);
    l_sys->song = l_song;
    return TW_OK;
}

/* Reads the whole stream, up to the largest song; bytes after those are no part of any song. */
static int read_file(demux_t* p_demux)
{
    demux_sys_t* l_sys = p_demux->p_sys;
    uint64_t l_size = 0;
    size_t l_capacity = 65536;
    if (vlc_stream_GetSize(p_demux->s, &l_size) == VLC_SUCCESS && l_size > 0)
        l_capacity = l_size < TUNEWRIGHT_MAX_SONG_BYTES ? (size_t)l_size : TUNEWRIGHT_MAX_SONG_BYTES;
    for (;;) {
        uint8_t* l_bytes = realloc(l_sys->bytes, l_capacity);
        if (!l_bytes)
            return VLC_ENOMEM;
        l_sys->bytes = l_bytes;
        while (l_sys->size < l_capacity) {
            ssize_t l_read =
                vlc_stream_Read(p_demux->s, l_sys->bytes + l_sys->size, l_capacity - l_sys->size);
            if (l_read <= 0)
                return VLC_SUCCESS;
            l_sys->size += (size_t)l_read;
        }
        if (l_capacity == TUNEWRIGHT_MAX_SONG_BYTES)
            return VLC_SUCCESS;
        l_capacity = l_capacity > TUNEWRIGHT_MAX_SONG_BYTES / 2 ? TUNEWRIGHT_MAX_SONG_BYTES : 2 * l_capacity;
    }
}

/* The resampler the user chose by name; an unknown name is reported and the default is used. */
static int chosen_interpolation(demux_t* p_demux)
{
    char* l_name = var_InheritString(p_demux, "tunewright-interpolation");
    int l_number = TUNEWRIGHT_DEFAULT_INTERPOLATION;
    if (l_name) {
        size_t l_index = 0;
        while (l_index < INTERPOLATION_COUNT && strcmp(l_name, s_interpolation_names[l_index]) != 0)
            l_index++;
        if (l_index < INTERPOLATION_COUNT)
            l_number = s_interpolation_numbers[l_index];
        else
            msg_Warn(p_demux, "no resampler is called \"%s\"; playing with \"%s\"", l_name,
                     interpolation_name(l_number));
        free(l_name);
    }
    return l_number;
}

/* Moves the song to p_time: onto the beat at or before it, as tw_song_seek_seconds() does, or,
 * when p_precise, exactly there by dropping the frames between that beat and p_time. The song is
 * opened afresh, so that what plays from there is the same whatever played before. */
static int move_to(demux_t* p_demux, mtime_t p_time, bool p_precise)
{
    demux_sys_t* l_sys = p_demux->p_sys;
    if (p_time < 0)
        p_time = 0;
    if (open_song(p_demux) != TW_OK)
        return VLC_EGENERIC;
    tw_song_seek_seconds(l_sys->song, (double)p_time / CLOCK_FREQ);
    mtime_t l_beat = seconds_to_ticks(tw_song_get_position_seconds(l_sys->song));
    if (p_precise && p_time > l_beat) {
        l_sys->skip_frames = (uint64_t)((p_time - l_beat) * RATE / CLOCK_FREQ);
        l_sys->base_time = p_time;
    } else {
        l_sys->skip_frames = 0;
        l_sys->base_time = l_beat;
    }
    l_sys->frames = 0;
    return VLC_SUCCESS;
}

static mtime_t current_time(const demux_sys_t* p_sys)
{
    return p_sys->base_time + (mtime_t)(p_sys->frames * CLOCK_FREQ / RATE);
}

/* The song's length in ticks, or 0 when it has none (a loop repeated for ever). */
static mtime_t song_length(const demux_sys_t* p_sys)
{
    double l_seconds = tw_song_get_duration_seconds(p_sys->song);
    return isfinite(l_seconds) ? seconds_to_ticks(l_seconds) : 0;
}

static int demux(demux_t* p_demux)
{
    demux_sys_t* l_sys = p_demux->p_sys;
    while (l_sys->skip_frames > 0) {
        float l_drop[2 * FRAMES_PER_BLOCK];
        size_t l_want = l_sys->skip_frames < FRAMES_PER_BLOCK ? (size_t)l_sys->skip_frames : FRAMES_PER_BLOCK;
        size_t l_read = tw_song_read_float(l_sys->song, RATE, l_want, l_drop);
        l_sys->skip_frames = l_read == l_want ? l_sys->skip_frames - l_read : 0;
        if (l_read < l_want)
            return VLC_DEMUXER_EOF;
    }

    block_t* l_block = block_Alloc(FRAMES_PER_BLOCK * 2 * sizeof(float));
    if (!l_block)
        return VLC_DEMUXER_EGENERIC;
    size_t l_frames = tw_song_read_float(l_sys->song, RATE, FRAMES_PER_BLOCK, (float*)l_block->p_buffer);
    if (l_frames == 0) {
        block_Release(l_block);
        return VLC_DEMUXER_EOF;
    }
    l_block->i_buffer = l_frames * 2 * sizeof(float);
    l_block->i_nb_samples = (unsigned)l_frames;
    l_block->i_dts = l_block->i_pts = VLC_TS_0 + current_time(l_sys);
    l_block->i_length = (mtime_t)(l_frames * CLOCK_FREQ / RATE);
    es_out_SetPCR(p_demux->out, l_block->i_pts);
    es_out_Send(p_demux->out, l_sys->es, l_block);
    l_sys->frames += l_frames;
    return VLC_DEMUXER_SUCCESS;
}

static int control(demux_t* p_demux, int p_query, va_list p_args)
{
    demux_sys_t* l_sys = p_demux->p_sys;
    switch (p_query) {
    case DEMUX_CAN_SEEK:
        *va_arg(p_args, bool*) = true;
        return VLC_SUCCESS;
    case DEMUX_GET_LENGTH:
        *va_arg(p_args, int64_t*) = song_length(l_sys);
        return VLC_SUCCESS;
    case DEMUX_GET_TIME:
        *va_arg(p_args, int64_t*) = current_time(l_sys);
        return VLC_SUCCESS;
    case DEMUX_GET_POSITION: {
        mtime_t l_length = song_length(l_sys);
        double l_position = l_length > 0 ? (double)current_time(l_sys) / l_length : 0.0;
        *va_arg(p_args, double*) = l_position < 1.0 ? l_position : 1.0;
        return VLC_SUCCESS;
    }
    case DEMUX_SET_TIME: {
        int64_t l_time = va_arg(p_args, int64_t);
        bool l_precise = (bool)va_arg(p_args, int);
        return move_to(p_demux, l_time, l_precise);
    }
    case DEMUX_SET_POSITION: {
        double l_position = va_arg(p_args, double);
        bool l_precise = (bool)va_arg(p_args, int);
        mtime_t l_length = song_length(l_sys);
        if (l_length <= 0 || !isfinite(l_position))
            return VLC_EGENERIC;
        return move_to(p_demux, (mtime_t)(l_position * l_length), l_precise);
    }
    default:
        /* Pausing, pacing and caching are the file's, as for any stream read from disk. */
        return demux_vaControlHelper(p_demux->s, 0, -1, 0, 1, p_query, p_args);
    }
}

static int open_module(vlc_object_t* p_object)
{
    demux_t* l_demux = (demux_t*)p_object;
    const uint8_t* l_peek;
    if (vlc_stream_Peek(l_demux->s, &l_peek, TUNEWRIGHT_MAGIC_SIZE) < TUNEWRIGHT_MAGIC_SIZE ||
        memcmp(l_peek, TUNEWRIGHT_MAGIC, TUNEWRIGHT_MAGIC_SIZE) != 0)
        return VLC_EGENERIC;

    demux_sys_t* l_sys = calloc(1, sizeof(*l_sys));
    if (!l_sys)
        return VLC_ENOMEM;
    l_demux->p_sys = l_sys;
    l_sys->loops = (int)var_InheritInteger(l_demux, "tunewright-loops");
    if (l_sys->loops < -1)
        l_sys->loops = -1;
    l_sys->interpolation = chosen_interpolation(l_demux);

    int l_error = read_file(l_demux);
    if (l_error != VLC_SUCCESS) {
        close_module(p_object);
        return l_error;
    }
    l_error = open_song(l_demux);
    if (l_error != TW_OK) {
        /* The file begins like a song but is none: say why, so that the user sees it in VLC's log
         * rather than just "no suitable demuxer". */
        msg_Err(l_demux, "this is no song that can be played: %s", tw_error_string(l_error));
        close_module(p_object);
        return VLC_EGENERIC;
    }

    es_format_t l_format;
    es_format_Init(&l_format, AUDIO_ES, VLC_CODEC_FL32);
    l_format.audio.i_format = VLC_CODEC_FL32;
    l_format.audio.i_rate = RATE;
    l_format.audio.i_channels = 2;
    l_format.audio.i_physical_channels = AOUT_CHANS_STEREO;
    l_format.audio.i_bitspersample = 8 * sizeof(float);
    l_format.audio.i_blockalign = 2 * sizeof(float);
    l_format.audio.i_bytes_per_frame = 2 * sizeof(float);
    l_format.audio.i_frame_length = 1;
    l_sys->es = es_out_Add(l_demux->out, &l_format);
    if (!l_sys->es) {
        close_module(p_object);
        return VLC_EGENERIC;
    }
    l_demux->pf_demux = demux;
    l_demux->pf_control = control;
    return VLC_SUCCESS;
}

static void close_module(vlc_object_t* p_object)
{
    demux_t* l_demux = (demux_t*)p_object;
    demux_sys_t* l_sys = l_demux->p_sys;
    if (l_sys->es)
        es_out_Del(l_demux->out, l_sys->es);
    tw_song_close(l_sys->song);
    free(l_sys->bytes);
    free(l_sys);
}
