/* tunewrightdec collects the whole song file from upstream, opens it with tw_song_open_memory()
 * when upstream ends the stream, and then runs a task of its own on the source pad that reads the
 * song with tw_song_read_float() or tw_song_read_s16() and pushes the frames downstream. It answers
 * the duration, position and seeking queries itself and seeks in time with tw_song_seek_seconds().
 * Once it plays, it is the source of its stream: the end of stream an application asks of the
 * pipeline comes to it as to a source element, and its task ends the stream there. */
#ifdef HAVE_CONFIG_H
#include "config.h"
#endif

#include "gsttunewrightdec.h"

#include <math.h>
#include <string.h>

#include "tunewright-plugin.h"

GST_DEBUG_CATEGORY_STATIC(gst_tunewright_dec_debug);
#define GST_CAT_DEFAULT gst_tunewright_dec_debug

#define FRAMES_PER_BUFFER TUNEWRIGHT_FRAMES_PER_BLOCK
#define DEFAULT_RATE TUNEWRIGHT_RATE
#define DEFAULT_NUM_LOOPS 0
#define DEFAULT_INTERPOLATION TUNEWRIGHT_DEFAULT_INTERPOLATION
#define DEFAULT_TEMPO 1.0
#define DEFAULT_PITCH 0.0
/* The masks hold one bit a track. */
#define ALL_TRACKS ((1u << TW_TRACK_COUNT) - 1)

enum { PROP_0, PROP_NUM_LOOPS, PROP_INTERPOLATION, PROP_MUTE_MASK, PROP_SOLO_MASK, PROP_TEMPO, PROP_PITCH };

#define SRC_CAPS                                                                                             \
    "audio/x-raw, format = (string) { " GST_AUDIO_NE(F32) ", " GST_AUDIO_NE(                                 \
        S16) " }, "                                                                                          \
             "layout = (string) interleaved, rate = (int) [ 8000, 192000 ], channels = (int) 2"

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_TUNEWRIGHT_SONG_CAPS));
static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(SRC_CAPS));

/* The resamplers as an enum: each one's label is its value name and its name (the one
 * tunewright-render takes) its nick. */
#define GST_TYPE_TUNEWRIGHT_INTERPOLATION (gst_tunewright_interpolation_get_type())
#define GST_TUNEWRIGHT_ENUM_VALUE(p_number, p_name, p_taps, p_label) {p_number, p_label, p_name},
static GType gst_tunewright_interpolation_get_type(void)
{
    static GType s_type = 0;
    static const GEnumValue s_values[] = {
        TW_RESAMPLERS(GST_TUNEWRIGHT_ENUM_VALUE)
        /* the end of the list */
        {0, NULL, NULL},
    };
    if (g_once_init_enter(&s_type)) {
        GType l_type = g_enum_register_static("GstTunewrightInterpolation", s_values);
        g_once_init_leave(&s_type, l_type);
    }
    return s_type;
}

#define gst_tunewright_dec_parent_class parent_class
G_DEFINE_TYPE(GstTunewrightDec, gst_tunewright_dec, GST_TYPE_ELEMENT);

static void gst_tunewright_dec_loop(gpointer p_user);

/* Seconds as a clock time, rounded to the nearest nanosecond. */
static GstClockTime seconds_to_time(double p_seconds)
{
    if (!isfinite(p_seconds))
        return GST_CLOCK_TIME_NONE;
    return (GstClockTime)llround(p_seconds * GST_SECOND);
}

static void gst_tunewright_dec_reset(GstTunewrightDec* p_dec)
{
    GST_OBJECT_LOCK(p_dec);
    tw_song* l_song = p_dec->song;
    p_dec->song = NULL;
    GST_OBJECT_UNLOCK(p_dec);
    tw_song_close(l_song);
    g_clear_pointer(&p_dec->bytes, g_bytes_unref);
    gst_adapter_clear(p_dec->adapter);
    gst_audio_info_init(&p_dec->info);
    gst_segment_init(&p_dec->segment, GST_FORMAT_TIME);
    p_dec->send_segment = TRUE;
    p_dec->discont = TRUE;
    p_dec->seqnum = gst_util_seqnum_next();
    p_dec->base_time = 0;
    p_dec->frames = 0;
    p_dec->skip_frames = 0;
    GST_OBJECT_LOCK(p_dec);
    p_dec->duration = GST_CLOCK_TIME_NONE;
    p_dec->position = 0;
    gst_clear_event(&p_dec->pending_eos);
    GST_OBJECT_UNLOCK(p_dec);
}

/* The clock time of the next frame to be pushed (known before the rate is). */
static GstClockTime gst_tunewright_dec_next_time(GstTunewrightDec* p_dec)
{
    if (p_dec->frames == 0)
        return p_dec->base_time;
    return p_dec->base_time +
           gst_util_uint64_scale_int(p_dec->frames, GST_SECOND, GST_AUDIO_INFO_RATE(&p_dec->info));
}

/* The song's time at the buffer time p_time, as p_segment maps one to the other. */
static GstClockTime gst_tunewright_dec_song_time(const GstSegment* p_segment, GstClockTime p_time)
{
    if (p_time >= p_segment->start)
        return p_segment->time + (p_time - p_segment->start);
    return p_segment->time - MIN(p_segment->time, p_segment->start - p_time);
}

/* A new tempo factor for a song under way: the library counts its position again at the new speed
 * (p_old / p_new of the old one) while the buffers' times run on, so a new segment maps the next
 * buffer's time to the song's new time, its running time where it was. A stop still ahead comes as
 * much sooner or later as the rest of the song, and so do the frames an exact seek still drops. */
static void gst_tunewright_dec_retime(GstTunewrightDec* p_dec, gdouble p_old, gdouble p_new)
{
    const gdouble l_scale = p_old / p_new;
    const GstClockTime l_next = gst_tunewright_dec_next_time(p_dec);
    GST_OBJECT_LOCK(p_dec);
    GstSegment* l_segment = &p_dec->segment;
    const GstClockTime l_time = gst_tunewright_dec_song_time(l_segment, l_next);
    if (GST_CLOCK_TIME_IS_VALID(l_segment->stop))
        l_segment->stop = l_next + (GstClockTime)llround(
                                       (gdouble)(l_segment->stop - MIN(l_segment->stop, l_next)) * l_scale);
    l_segment->base += l_next - MIN(l_next, l_segment->start);
    l_segment->start = l_segment->position = l_next;
    l_segment->time = p_dec->position = (GstClockTime)llround((gdouble)l_time * l_scale);
    GST_OBJECT_UNLOCK(p_dec);
    p_dec->skip_frames = (guint64)llround((gdouble)p_dec->skip_frames * l_scale);
    p_dec->send_segment = TRUE;
}

/* Hands changed properties to the song; the streaming thread, or a seek holding the stream lock. A
 * song just opened (p_new_song) takes the tempo factor the stream's times are in, and a new factor
 * waits for the next buffer, which counts the times again from where the song then stands.
 * Returns TRUE when the song's interpolation changed: its next read then goes on from the start of
 * its beat (with its notes started afresh), as at a new rate. */
static gboolean gst_tunewright_dec_apply_settings(GstTunewrightDec* p_dec, gboolean p_new_song)
{
    gboolean l_changed;
    gint l_loops, l_interpolation;
    guint l_mute, l_solo;
    gdouble l_tempo, l_pitch;
    GST_OBJECT_LOCK(p_dec);
    l_changed = p_dec->settings_changed;
    l_loops = p_dec->num_loops;
    l_interpolation = p_dec->interpolation;
    l_mute = p_dec->mute_mask;
    l_solo = p_dec->solo_mask;
    l_tempo = p_new_song ? p_dec->song_tempo : p_dec->tempo;
    l_pitch = p_dec->pitch;
    p_dec->settings_changed = l_changed && l_tempo != p_dec->tempo;
    GST_OBJECT_UNLOCK(p_dec);
    if (!l_changed || !p_dec->song)
        return FALSE;

    /* num-loops counts the repeats after the first pass (0 = once, -1 = for ever), as
     * tw_song_set_loops() does. */
    tw_song_set_loops(p_dec->song, l_loops);
    tw_song_set_interpolation(p_dec->song, l_interpolation);
    for (int l_track = 0; l_track < tw_song_get_track_count(p_dec->song); ++l_track) {
        tw_song_set_track_mute(p_dec->song, l_track, (l_mute >> l_track) & 1);
        tw_song_set_track_solo(p_dec->song, l_track, (l_solo >> l_track) & 1);
    }
    tw_song_set_pitch_shift(p_dec->song, l_pitch);
    tw_song_set_tempo_factor(p_dec->song, l_tempo);
    if (l_tempo != p_dec->song_tempo) {
        gst_tunewright_dec_retime(p_dec, p_dec->song_tempo, l_tempo);
        p_dec->song_tempo = l_tempo;
    }
    gboolean l_new_interpolation = l_interpolation != p_dec->song_interpolation;
    p_dec->song_interpolation = l_interpolation;
    GstClockTime l_duration = seconds_to_time(tw_song_get_duration_seconds(p_dec->song));
    GST_OBJECT_LOCK(p_dec);
    gboolean l_new_duration = l_duration != p_dec->duration;
    p_dec->duration = l_duration;
    GST_OBJECT_UNLOCK(p_dec);
    if (l_new_duration)
        gst_element_post_message(GST_ELEMENT(p_dec), gst_message_new_duration_changed(GST_OBJECT(p_dec)));
    return l_new_interpolation;
}

/* Pushes p_event downstream as part of the seek (or stream) numbered p_seqnum. */
static void gst_tunewright_dec_push_event(GstTunewrightDec* p_dec, GstEvent* p_event, guint32 p_seqnum)
{
    gst_event_set_seqnum(p_event, p_seqnum);
    gst_pad_push_event(p_dec->srcpad, p_event);
}

/* The end of stream the application asked for and no one has pushed yet, or NULL. */
static GstEvent* gst_tunewright_dec_take_eos(GstTunewrightDec* p_dec)
{
    GST_OBJECT_LOCK(p_dec);
    GstEvent* l_eos = p_dec->pending_eos;
    p_dec->pending_eos = NULL;
    GST_OBJECT_UNLOCK(p_dec);
    return l_eos;
}

/* A song's messages (the sound engine failing) go to GStreamer's debug log, against the element,
 * and never to the terminal of the program that plays it. Each song has its own function, so the
 * process-wide one stays the program's. */
static void gst_tunewright_dec_log(const char* p_line, void* p_dec)
{
    GST_WARNING_OBJECT(p_dec, "%s", p_line);
}

/* Puts a newly opened song in the place of the one in use (if any), with the properties. */
static void gst_tunewright_dec_take_song(GstTunewrightDec* p_dec, tw_song* p_song)
{
    tw_song_set_log_function(p_song, gst_tunewright_dec_log, p_dec);
    p_dec->song_interpolation = TW_INTERPOLATION_LINEAR;  // the library's default, which a song opens with
    GST_OBJECT_LOCK(p_dec);
    tw_song* l_old = p_dec->song;
    p_dec->song = p_song;
    p_dec->settings_changed = TRUE;
    GST_OBJECT_UNLOCK(p_dec);
    tw_song_close(l_old);
    gst_tunewright_dec_apply_settings(p_dec, TRUE);
}

/* Opens the song again from its bytes, so that what it plays next owes nothing to what it played
 * before (notes still fading out, the mixer's state). Opening bytes that opened once fails only
 * when memory runs out; the song in use is then kept. */
static void gst_tunewright_dec_reopen(GstTunewrightDec* p_dec)
{
    gsize l_size = 0;
    gconstpointer l_data = g_bytes_get_data(p_dec->bytes, &l_size);
    tw_song* l_song = tw_song_open_memory(l_data, l_size, NULL);
    if (l_song)
        gst_tunewright_dec_take_song(p_dec, l_song);
}

/* Moves the song to p_time of its own time, where the buffer time is p_buffer_time (the same after
 * a seek): onto the beat at or before it, as tw_song_seek_seconds() does, or, when p_exact, exactly
 * there by dropping the frames between that beat and p_time. p_fresh starts from a newly opened
 * song, so that the frames from there are the same whatever played before; otherwise the notes
 * sounding go on fading out over the first frames, as the library's seek has them. Needs the rate
 * to be known. */
static void gst_tunewright_dec_move_to(GstTunewrightDec* p_dec, GstClockTime p_time,
                                       GstClockTime p_buffer_time, gboolean p_exact, gboolean p_fresh)
{
    gint l_rate = GST_AUDIO_INFO_RATE(&p_dec->info);
    if (p_fresh)
        gst_tunewright_dec_reopen(p_dec);
    tw_song_seek_seconds(p_dec->song, (double)p_time / GST_SECOND);
    GstClockTime l_beat = seconds_to_time(tw_song_get_position_seconds(p_dec->song));
    GstClockTime l_landed = l_beat;
    if (p_exact && p_time > l_beat) {
        p_dec->skip_frames = gst_util_uint64_scale_int_round(p_time - l_beat, l_rate, GST_SECOND);
        l_landed = p_time;
    } else {
        p_dec->skip_frames = 0;
    }
    p_dec->base_time = (GstClockTime)MAX(0, (gint64)p_buffer_time + (gint64)l_landed - (gint64)p_time);
    p_dec->frames = 0;
    p_dec->discont = TRUE;
    GST_OBJECT_LOCK(p_dec);
    p_dec->segment.position = p_dec->base_time;
    p_dec->position = l_landed;
    GST_OBJECT_UNLOCK(p_dec);
}

/* Chooses the output format with downstream: the first structure downstream prefers, its rate as
 * near the current one (or 48 kHz) as it allows, and floats where it takes either. */
static gboolean gst_tunewright_dec_negotiate(GstTunewrightDec* p_dec)
{
    GstCaps* l_template = gst_pad_get_pad_template_caps(p_dec->srcpad);
    GstCaps* l_caps = gst_pad_peer_query_caps(p_dec->srcpad, l_template);
    gst_caps_unref(l_template);
    if (gst_caps_is_empty(l_caps)) {
        gst_caps_unref(l_caps);
        return FALSE;
    }
    l_caps = gst_caps_truncate(l_caps);
    l_caps = gst_caps_make_writable(l_caps);
    GstStructure* l_structure = gst_caps_get_structure(l_caps, 0);
    gint l_old_rate = GST_AUDIO_INFO_RATE(&p_dec->info);
    gst_structure_fixate_field_nearest_int(l_structure, "rate", l_old_rate > 0 ? l_old_rate : DEFAULT_RATE);
    gst_structure_fixate_field_string(l_structure, "format", GST_AUDIO_NE(F32));
    l_caps = gst_caps_fixate(l_caps);

    GstAudioInfo l_info;
    gboolean l_ok = gst_audio_info_from_caps(&l_info, l_caps) && gst_pad_set_caps(p_dec->srcpad, l_caps);
    GST_DEBUG_OBJECT(p_dec, "negotiated %" GST_PTR_FORMAT ": %s", l_caps, l_ok ? "yes" : "no");
    gst_caps_unref(l_caps);
    if (!l_ok)
        return FALSE;

    /* A song read at a new rate would go on from the start of its beat (and starts its notes
     * afresh): it is moved back to where it stands, exactly, so that the stream's time runs on. */
    gboolean l_rate_changed = l_old_rate > 0 && l_old_rate != GST_AUDIO_INFO_RATE(&l_info);
    GstClockTime l_now = l_old_rate > 0 ? gst_tunewright_dec_next_time(p_dec) : 0;
    p_dec->info = l_info;
    if (l_rate_changed)
        gst_tunewright_dec_move_to(p_dec, gst_tunewright_dec_song_time(&p_dec->segment, l_now), l_now, TRUE,
                                   FALSE);
    return TRUE;
}

/* Reads up to p_frames frames in the negotiated format into p_data; returns the frames read. */
static gsize gst_tunewright_dec_read(GstTunewrightDec* p_dec, gsize p_frames, gpointer p_data)
{
    gint l_rate = GST_AUDIO_INFO_RATE(&p_dec->info);
    if (GST_AUDIO_INFO_FORMAT(&p_dec->info) == GST_AUDIO_FORMAT_S16)
        return tw_song_read_s16(p_dec->song, l_rate, p_frames, (int16_t*)p_data);
    return tw_song_read_float(p_dec->song, l_rate, p_frames, (float*)p_data);
}

/* The frames to read for the next buffer: a buffer's worth, or fewer where the segment stops. They
 * are counted from base_time, as the buffers' times are, so that none starts at the stop. */
static gsize gst_tunewright_dec_frames_wanted(GstTunewrightDec* p_dec)
{
    GstClockTime l_stop = p_dec->segment.stop;
    if (!GST_CLOCK_TIME_IS_VALID(l_stop))
        return FRAMES_PER_BUFFER;
    guint64 l_end = l_stop > p_dec->base_time
                        ? gst_util_uint64_scale_int_ceil(l_stop - p_dec->base_time,
                                                         GST_AUDIO_INFO_RATE(&p_dec->info), GST_SECOND)
                        : 0;
    return l_end > p_dec->frames ? MIN(FRAMES_PER_BUFFER, l_end - p_dec->frames) : 0;
}

/* The end of the song, or of the segment a seek asked for (in the song's time, as seeks are). */
static void gst_tunewright_dec_finish(GstTunewrightDec* p_dec)
{
    GstClockTime l_end = gst_tunewright_dec_song_time(&p_dec->segment, gst_tunewright_dec_next_time(p_dec));
    if (p_dec->segment.flags & GST_SEGMENT_FLAG_SEGMENT) {
        GstMessage* l_message = gst_message_new_segment_done(GST_OBJECT(p_dec), GST_FORMAT_TIME, l_end);
        gst_message_set_seqnum(l_message, p_dec->seqnum);
        gst_element_post_message(GST_ELEMENT(p_dec), l_message);
        gst_tunewright_dec_push_event(p_dec, gst_event_new_segment_done(GST_FORMAT_TIME, l_end),
                                      p_dec->seqnum);
    } else {
        gst_tunewright_dec_push_event(p_dec, gst_event_new_eos(), p_dec->seqnum);
    }
    gst_pad_pause_task(p_dec->srcpad);
}

/* Readies the stream for the next buffer: its stream-start, its format, the song's settings and its
 * segment; or ends it there when the application asked for its end. FALSE when the task pauses. */
static gboolean gst_tunewright_dec_prepare(GstTunewrightDec* p_dec)
{
    GstPad* l_pad = p_dec->srcpad;
    /* Upstream's stream-start went downstream as it came; without one the stream gets its own. */
    GstEvent* l_stream_start = gst_pad_get_sticky_event(l_pad, GST_EVENT_STREAM_START, 0);
    if (l_stream_start) {
        gst_event_unref(l_stream_start);
    } else {
        gchar* l_id = gst_pad_create_stream_id(l_pad, GST_ELEMENT(p_dec), NULL);
        gst_pad_push_event(l_pad, gst_event_new_stream_start(l_id));
        g_free(l_id);
    }
    if ((gst_pad_check_reconfigure(l_pad) || GST_AUDIO_INFO_RATE(&p_dec->info) == 0) &&
        !gst_tunewright_dec_negotiate(p_dec)) {
        gst_pad_mark_reconfigure(l_pad);
        if (!GST_PAD_IS_FLUSHING(l_pad)) {
            GST_ELEMENT_FLOW_ERROR(p_dec, GST_FLOW_NOT_NEGOTIATED);
            gst_pad_push_event(l_pad, gst_event_new_eos());
        }
        gst_pad_pause_task(l_pad);
        return FALSE;
    }
    /* A new interpolation would go on from the start of the beat: the song is moved back to where
     * it stands, exactly, as at a new rate. */
    if (gst_tunewright_dec_apply_settings(p_dec, FALSE)) {
        GstClockTime l_next = gst_tunewright_dec_next_time(p_dec);
        gst_tunewright_dec_move_to(p_dec, gst_tunewright_dec_song_time(&p_dec->segment, l_next), l_next, TRUE,
                                   FALSE);
    }
    if (p_dec->send_segment) {
        gst_tunewright_dec_push_event(p_dec, gst_event_new_segment(&p_dec->segment), p_dec->seqnum);
        p_dec->send_segment = FALSE;
    }
    GstEvent* l_eos = gst_tunewright_dec_take_eos(p_dec);
    if (!l_eos)
        return TRUE;
    GST_DEBUG_OBJECT(p_dec, "ending the stream as asked");
    gst_pad_push_event(l_pad, l_eos);
    gst_pad_pause_task(l_pad);
    return FALSE;
}

static void gst_tunewright_dec_loop(gpointer p_user)
{
    GstPad* l_pad = GST_PAD(p_user);
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(GST_PAD_PARENT(l_pad));
    if (!gst_tunewright_dec_prepare(l_dec))
        return;

    gint l_bpf = GST_AUDIO_INFO_BPF(&l_dec->info);
    gint l_rate = GST_AUDIO_INFO_RATE(&l_dec->info);
    GstBuffer* l_buffer = gst_buffer_new_allocate(NULL, (gsize)FRAMES_PER_BUFFER * l_bpf, NULL);
    GstMapInfo l_map;
    gst_buffer_map(l_buffer, &l_map, GST_MAP_WRITE);
    /* The frames before the place an exact seek asked for are read and dropped. */
    while (l_dec->skip_frames > 0) {
        gsize l_read = gst_tunewright_dec_read(l_dec, MIN(l_dec->skip_frames, FRAMES_PER_BUFFER), l_map.data);
        l_dec->skip_frames = l_read > 0 ? l_dec->skip_frames - l_read : 0;
    }
    gsize l_want = gst_tunewright_dec_frames_wanted(l_dec);
    GstClockTime l_pts = gst_tunewright_dec_next_time(l_dec);
    gsize l_read = l_want > 0 ? gst_tunewright_dec_read(l_dec, l_want, l_map.data) : 0;
    gst_buffer_unmap(l_buffer, &l_map);
    if (l_read == 0) {
        gst_buffer_unref(l_buffer);
        gst_tunewright_dec_finish(l_dec);
        return;
    }
    gst_buffer_set_size(l_buffer, l_read * l_bpf);

    GST_BUFFER_OFFSET(l_buffer) = gst_util_uint64_scale_int_round(l_pts, l_rate, GST_SECOND);
    GST_BUFFER_OFFSET_END(l_buffer) = GST_BUFFER_OFFSET(l_buffer) + l_read;
    l_dec->frames += l_read;
    GstClockTime l_end = gst_tunewright_dec_next_time(l_dec);
    GST_BUFFER_PTS(l_buffer) = l_pts;
    GST_BUFFER_DURATION(l_buffer) = l_end - l_pts;
    if (l_dec->discont) {
        GST_BUFFER_FLAG_SET(l_buffer, GST_BUFFER_FLAG_DISCONT);
        l_dec->discont = FALSE;
    }
    /* What a seek without flushing goes on from: the running time of the segment it makes begins
     * there. */
    GST_OBJECT_LOCK(l_dec);
    l_dec->segment.position = l_end;
    l_dec->position = gst_tunewright_dec_song_time(&l_dec->segment, l_end);
    GST_OBJECT_UNLOCK(l_dec);

    GstFlowReturn l_ret = gst_pad_push(l_pad, l_buffer);
    if (l_ret == GST_FLOW_OK)
        return;
    GST_DEBUG_OBJECT(l_dec, "pausing: %s", gst_flow_get_name(l_ret));
    if (l_ret == GST_FLOW_EOS) {
        gst_tunewright_dec_finish(l_dec);
        return;
    }
    /* Downstream changed its mind (decodebin links its pad to the real consumer only after the
     * first caps): the song goes back to where the refused buffer began, and the next round
     * negotiates again and reads those frames in the new format. */
    if (l_ret == GST_FLOW_NOT_NEGOTIATED && gst_pad_needs_reconfigure(l_pad)) {
        gst_tunewright_dec_move_to(l_dec, gst_tunewright_dec_song_time(&l_dec->segment, l_pts), l_pts, TRUE,
                                   TRUE);
        return;
    }
    if (l_ret == GST_FLOW_NOT_LINKED || l_ret < GST_FLOW_EOS) {
        GST_ELEMENT_FLOW_ERROR(l_dec, l_ret);
        gst_pad_push_event(l_pad, gst_event_new_eos());
    }
    gst_pad_pause_task(l_pad);
}

/* Opens the song collected from upstream and starts the task that plays it. */
static gboolean gst_tunewright_dec_open(GstTunewrightDec* p_dec)
{
    gsize l_size = gst_adapter_available(p_dec->adapter);
    int l_error = TW_ERROR_NOT_A_SONG;
    tw_song* l_song = NULL;
    if (l_size > 0) {
        p_dec->bytes = g_bytes_new_take(gst_adapter_take(p_dec->adapter, l_size), l_size);
        l_song = tw_song_open_memory(g_bytes_get_data(p_dec->bytes, NULL), l_size, &l_error);
    }
    if (!l_song) {
        GST_ELEMENT_ERROR(p_dec, STREAM, WRONG_TYPE, ("The file is not an Org-02 song that can be played."),
                          ("%s (%" G_GSIZE_FORMAT " bytes)", tw_error_string(l_error), l_size));
        g_clear_pointer(&p_dec->bytes, g_bytes_unref);
        return FALSE;
    }
    /* The stream's times are in the tempo factor the song opens with. */
    GST_OBJECT_LOCK(p_dec);
    p_dec->song_tempo = p_dec->tempo;
    GST_OBJECT_UNLOCK(p_dec);
    gst_tunewright_dec_take_song(p_dec, l_song);
    return gst_pad_start_task(p_dec->srcpad, gst_tunewright_dec_loop, p_dec->srcpad, NULL);
}

static GstFlowReturn gst_tunewright_dec_chain(GstPad* p_pad, GstObject* p_parent, GstBuffer* p_buffer)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_parent);
    (void)p_pad;
    if (l_dec->song) {  // the song is open: whatever upstream sends now is not part of it
        gst_buffer_unref(p_buffer);
        return GST_FLOW_EOS;
    }
    gst_adapter_push(l_dec->adapter, p_buffer);
    if (gst_adapter_available(l_dec->adapter) > TUNEWRIGHT_MAX_SONG_BYTES) {
        GST_ELEMENT_ERROR(
            l_dec, STREAM, WRONG_TYPE, ("The file is not an Org-02 song that can be played."),
            ("it holds more than %d bytes, more than the largest song", TUNEWRIGHT_MAX_SONG_BYTES));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

static gboolean gst_tunewright_dec_sink_event(GstPad* p_pad, GstObject* p_parent, GstEvent* p_event)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_parent);
    switch (GST_EVENT_TYPE(p_event)) {
    case GST_EVENT_EOS: {
        gst_event_unref(p_event);
        /* A song already open (a second end of stream) plays on as it is. */
        if (l_dec->song)
            return TRUE;
        /* The application asked for the end while the file was arriving: what came is not played. */
        GstEvent* l_eos = gst_tunewright_dec_take_eos(l_dec);
        if (l_eos)
            return gst_pad_push_event(l_dec->srcpad, l_eos);
        return gst_tunewright_dec_open(l_dec);
    }
    case GST_EVENT_CAPS:
    case GST_EVENT_SEGMENT:
        /* Upstream's are about bytes; the source pad sends its own. */
        gst_event_unref(p_event);
        return TRUE;
    case GST_EVENT_FLUSH_START:
    case GST_EVENT_FLUSH_STOP:
        /* Upstream starting over (before the song is open) sends the file again from its start. */
        if (GST_EVENT_TYPE(p_event) == GST_EVENT_FLUSH_STOP && !l_dec->song)
            gst_adapter_clear(l_dec->adapter);
        gst_event_unref(p_event);
        return TRUE;
    default:
        return gst_pad_event_default(p_pad, p_parent, p_event);
    }
}

/* Into p_segment, the segment p_event makes of the current one; FALSE when the segment cannot take
 * it: a seek from the end of a song without one (played for ever), or one that stops before it
 * starts, which gst_segment_do_seek() meets with a critical warning. Its own rules place each end,
 * on a copy, before the two are compared. */
static gboolean gst_tunewright_dec_seek_segment(GstTunewrightDec* p_dec, GstEvent* p_event,
                                                GstSegment* p_segment)
{
    gdouble l_rate;
    GstFormat l_format;
    GstSeekFlags l_flags;
    GstSeekType l_start_type, l_stop_type;
    gint64 l_start, l_stop;
    gst_event_parse_seek(p_event, &l_rate, &l_format, &l_flags, &l_start_type, &l_start, &l_stop_type,
                         &l_stop);
    GST_OBJECT_LOCK(p_dec);
    *p_segment = p_dec->segment;
    p_segment->duration = p_dec->duration;
    GST_OBJECT_UNLOCK(p_dec);
    /* In the song's time, which the seek's values are in: after a tempo change the buffers' times
     * stand apart from it by as much at each end, and the running time stays as it is. */
    if (p_segment->time != p_segment->start) {
        if (GST_CLOCK_TIME_IS_VALID(p_segment->stop))
            p_segment->stop = gst_tunewright_dec_song_time(p_segment, p_segment->stop);
        p_segment->position = gst_tunewright_dec_song_time(p_segment, p_segment->position);
        p_segment->start = p_segment->time;
    }
    if (!GST_CLOCK_TIME_IS_VALID(p_segment->duration) &&
        (l_start_type == GST_SEEK_TYPE_END || l_stop_type == GST_SEEK_TYPE_END))
        return FALSE;
    GstSegment l_start_only = *p_segment, l_stop_only = *p_segment;
    if (!gst_segment_do_seek(&l_start_only, l_rate, l_format, l_flags, l_start_type, l_start,
                             GST_SEEK_TYPE_SET, -1, NULL) ||
        !gst_segment_do_seek(&l_stop_only, l_rate, l_format, l_flags, GST_SEEK_TYPE_SET, 0, l_stop_type,
                             l_stop, NULL))
        return FALSE;
    if (GST_CLOCK_TIME_IS_VALID(l_stop_only.stop) && l_start_only.start > l_stop_only.stop)
        return FALSE;
    return gst_segment_do_seek(p_segment, l_rate, l_format, l_flags, l_start_type, l_start, l_stop_type,
                               l_stop, NULL);
}

static gboolean gst_tunewright_dec_seek(GstTunewrightDec* p_dec, GstEvent* p_event)
{
    gdouble l_rate;
    GstFormat l_format;
    GstSeekFlags l_flags;
    GstSeekType l_start_type;
    gst_event_parse_seek(p_event, &l_rate, &l_format, &l_flags, &l_start_type, NULL, NULL, NULL);
    if (l_format != GST_FORMAT_TIME || l_rate != 1.0) {
        GST_DEBUG_OBJECT(p_dec, "only seeks in time at rate 1.0 are supported");
        return FALSE;
    }
    guint32 l_seqnum = gst_event_get_seqnum(p_event);
    gboolean l_flush = (l_flags & GST_SEEK_FLAG_FLUSH) != 0;
    GST_OBJECT_LOCK(p_dec);
    gboolean l_open = p_dec->song != NULL;
    GST_OBJECT_UNLOCK(p_dec);
    if (!l_open) {  // the file is still arriving: nothing to seek in yet
        GST_DEBUG_OBJECT(p_dec, "no song to seek in yet");
        return FALSE;
    }
    /* Refused before anything is flushed. */
    GstSegment l_segment;
    if (!gst_tunewright_dec_seek_segment(p_dec, p_event, &l_segment)) {
        GST_DEBUG_OBJECT(p_dec, "refusing %" GST_PTR_FORMAT, p_event);
        return FALSE;
    }

    if (l_flush)
        gst_tunewright_dec_push_event(p_dec, gst_event_new_flush_start(), l_seqnum);
    else
        gst_pad_pause_task(p_dec->srcpad);
    /* With the stream lock the task stands between two buffers, or has stopped. */
    GST_PAD_STREAM_LOCK(p_dec->srcpad);
    gst_tunewright_dec_apply_settings(p_dec, FALSE);
    if (GST_AUDIO_INFO_RATE(&p_dec->info) == 0 && !gst_tunewright_dec_negotiate(p_dec)) {
        if (l_flush)
            gst_pad_push_event(p_dec->srcpad, gst_event_new_flush_stop(TRUE));
        GST_PAD_STREAM_UNLOCK(p_dec->srcpad);
        return FALSE;
    }
    /* Made again now that the task stands still, from the segment's position then: the end of the
     * last buffer pushed. The one made before stands if the settings just handed over took away
     * the song's end it was placed from. */
    GstSegment l_now;
    if (gst_tunewright_dec_seek_segment(p_dec, p_event, &l_now))
        l_segment = l_now;
    /* After a flushing seek the song plays as one newly opened and sought there; a seek without
     * flushing continues the sound, and lets the notes that sounded fade out. A seek that sets no
     * start (only a stop) goes on from exactly where the song stands. */
    gboolean l_exact = (l_flags & GST_SEEK_FLAG_ACCURATE) != 0 || l_start_type == GST_SEEK_TYPE_NONE;
    gst_tunewright_dec_move_to(p_dec, l_segment.position, l_segment.position, l_exact, l_flush);
    l_segment.start = l_segment.time = l_segment.position = p_dec->base_time;
    /* gst_segment_do_seek() offsets the running time of a seek that sets no start by the distance
     * from the old start to the position; the segment starts at the position itself now. */
    l_segment.offset = 0;
    GST_OBJECT_LOCK(p_dec);
    p_dec->segment = l_segment;
    GST_OBJECT_UNLOCK(p_dec);
    p_dec->send_segment = TRUE;
    p_dec->seqnum = l_seqnum;
    if (l_flush)
        gst_tunewright_dec_push_event(p_dec, gst_event_new_flush_stop(TRUE), l_seqnum);
    if (l_segment.flags & GST_SEGMENT_FLAG_SEGMENT) {
        GstMessage* l_message =
            gst_message_new_segment_start(GST_OBJECT(p_dec), GST_FORMAT_TIME, p_dec->base_time);
        gst_message_set_seqnum(l_message, l_seqnum);
        gst_element_post_message(GST_ELEMENT(p_dec), l_message);
    }
    gst_pad_start_task(p_dec->srcpad, gst_tunewright_dec_loop, p_dec->srcpad, NULL);
    GST_PAD_STREAM_UNLOCK(p_dec->srcpad);
    return TRUE;
}

static gboolean gst_tunewright_dec_src_event(GstPad* p_pad, GstObject* p_parent, GstEvent* p_event)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_parent);
    if (GST_EVENT_TYPE(p_event) == GST_EVENT_SEEK) {
        gboolean l_ok = gst_tunewright_dec_seek(l_dec, p_event);
        gst_event_unref(p_event);
        return l_ok;
    }
    return gst_pad_event_default(p_pad, p_parent, p_event);
}

/* As a source element would, the element takes the end of stream an application sends the pipeline
 * (upstream, already at its end, lets it go): the task pushes it in place of the rest of the song,
 * or, before the song is open, the sink pad in place of upstream's. */
static gboolean gst_tunewright_dec_send_event(GstElement* p_element, GstEvent* p_event)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_element);
    if (GST_EVENT_TYPE(p_event) != GST_EVENT_EOS)
        return GST_ELEMENT_CLASS(parent_class)->send_event(p_element, p_event);
    GST_OBJECT_LOCK(l_dec);
    gst_clear_event(&l_dec->pending_eos);
    l_dec->pending_eos = p_event;
    gboolean l_open = l_dec->song != NULL;
    GST_OBJECT_UNLOCK(l_dec);
    /* A task paused at the end of a segment runs again to push it. */
    if (l_open)
        gst_pad_start_task(l_dec->srcpad, gst_tunewright_dec_loop, l_dec->srcpad, NULL);
    return TRUE;
}

static gboolean gst_tunewright_dec_src_query(GstPad* p_pad, GstObject* p_parent, GstQuery* p_query)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_parent);
    GstFormat l_format;
    switch (GST_QUERY_TYPE(p_query)) {
    case GST_QUERY_DURATION: {
        gst_query_parse_duration(p_query, &l_format, NULL);
        GST_OBJECT_LOCK(l_dec);
        GstClockTime l_duration = l_dec->duration;
        GST_OBJECT_UNLOCK(l_dec);
        /* Unknown before the song is open, and for a song that loops for ever. */
        if (l_format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(l_duration))
            return FALSE;
        gst_query_set_duration(p_query, GST_FORMAT_TIME, (gint64)l_duration);
        return TRUE;
    }
    case GST_QUERY_POSITION: {
        gst_query_parse_position(p_query, &l_format, NULL);
        if (l_format != GST_FORMAT_TIME)
            return FALSE;
        GST_OBJECT_LOCK(l_dec);
        gint64 l_position = (gint64)l_dec->position;
        GST_OBJECT_UNLOCK(l_dec);
        gst_query_set_position(p_query, GST_FORMAT_TIME, l_position);
        return TRUE;
    }
    case GST_QUERY_SEEKING: {
        gst_query_parse_seeking(p_query, &l_format, NULL, NULL, NULL);
        if (l_format != GST_FORMAT_TIME)
            return FALSE;
        GST_OBJECT_LOCK(l_dec);
        GstClockTime l_duration = l_dec->duration;
        GST_OBJECT_UNLOCK(l_dec);
        gst_query_set_seeking(p_query, GST_FORMAT_TIME, TRUE, 0,
                              GST_CLOCK_TIME_IS_VALID(l_duration) ? (gint64)l_duration : -1);
        return TRUE;
    }
    default:
        return gst_pad_query_default(p_pad, p_parent, p_query);
    }
}

static gboolean gst_tunewright_dec_src_activate_mode(GstPad* p_pad, GstObject* p_parent, GstPadMode p_mode,
                                                     gboolean p_active)
{
    (void)p_parent;
    if (p_mode != GST_PAD_MODE_PUSH)
        return FALSE;
    return p_active || gst_pad_stop_task(p_pad);
}

static GstStateChangeReturn gst_tunewright_dec_change_state(GstElement* p_element,
                                                            GstStateChange p_transition)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_element);
    if (p_transition == GST_STATE_CHANGE_READY_TO_PAUSED)
        gst_tunewright_dec_reset(l_dec);
    GstStateChangeReturn l_ret = GST_ELEMENT_CLASS(parent_class)->change_state(p_element, p_transition);
    /* The pads are inactive now, so the task has stopped. */
    if (p_transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        gst_tunewright_dec_reset(l_dec);
    return l_ret;
}

static void gst_tunewright_dec_set_property(GObject* p_object, guint p_id, const GValue* p_value,
                                            GParamSpec* p_spec)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_object);
    GST_OBJECT_LOCK(l_dec);
    switch (p_id) {
    case PROP_NUM_LOOPS:
        l_dec->num_loops = g_value_get_int(p_value);
        break;
    case PROP_INTERPOLATION:
        l_dec->interpolation = g_value_get_enum(p_value);
        break;
    case PROP_MUTE_MASK:
        l_dec->mute_mask = g_value_get_uint(p_value);
        break;
    case PROP_SOLO_MASK:
        l_dec->solo_mask = g_value_get_uint(p_value);
        break;
    case PROP_TEMPO:
        l_dec->tempo = g_value_get_double(p_value);
        break;
    case PROP_PITCH:
        l_dec->pitch = g_value_get_double(p_value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(p_object, p_id, p_spec);
        break;
    }
    l_dec->settings_changed = TRUE;
    GST_OBJECT_UNLOCK(l_dec);
}

static void gst_tunewright_dec_get_property(GObject* p_object, guint p_id, GValue* p_value,
                                            GParamSpec* p_spec)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_object);
    GST_OBJECT_LOCK(l_dec);
    switch (p_id) {
    case PROP_NUM_LOOPS:
        g_value_set_int(p_value, l_dec->num_loops);
        break;
    case PROP_INTERPOLATION:
        g_value_set_enum(p_value, l_dec->interpolation);
        break;
    case PROP_MUTE_MASK:
        g_value_set_uint(p_value, l_dec->mute_mask);
        break;
    case PROP_SOLO_MASK:
        g_value_set_uint(p_value, l_dec->solo_mask);
        break;
    case PROP_TEMPO:
        g_value_set_double(p_value, l_dec->tempo);
        break;
    case PROP_PITCH:
        g_value_set_double(p_value, l_dec->pitch);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(p_object, p_id, p_spec);
        break;
    }
    GST_OBJECT_UNLOCK(l_dec);
}

static void gst_tunewright_dec_finalize(GObject* p_object)
{
    GstTunewrightDec* l_dec = GST_TUNEWRIGHT_DEC(p_object);
    tw_song_close(l_dec->song);
    g_clear_pointer(&l_dec->bytes, g_bytes_unref);
    gst_clear_event(&l_dec->pending_eos);
    g_object_unref(l_dec->adapter);
    G_OBJECT_CLASS(parent_class)->finalize(p_object);
}

static void gst_tunewright_dec_class_init(GstTunewrightDecClass* p_class)
{
    GObjectClass* l_gobject_class = G_OBJECT_CLASS(p_class);
    GstElementClass* l_element_class = GST_ELEMENT_CLASS(p_class);

    GST_DEBUG_CATEGORY_INIT(gst_tunewright_dec_debug, "tunewrightdec", 0, "Org-02 song decoder");

    l_gobject_class->set_property = gst_tunewright_dec_set_property;
    l_gobject_class->get_property = gst_tunewright_dec_get_property;
    l_gobject_class->finalize = gst_tunewright_dec_finalize;

    g_object_class_install_property(
        l_gobject_class, PROP_NUM_LOOPS,
        g_param_spec_int("num-loops", "Number of loops",
                         "Repeats of the song's loop after its first pass (0 = play once, -1 = for ever)", -1,
                         G_MAXINT, DEFAULT_NUM_LOOPS, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS));
    g_object_class_install_property(
        l_gobject_class, PROP_INTERPOLATION,
        g_param_spec_enum("interpolation", "Interpolation", "How the instruments are resampled to each note",
                          GST_TYPE_TUNEWRIGHT_INTERPOLATION, DEFAULT_INTERPOLATION,
                          G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING));
    /* The mixing desk's settings: each is heard from the next buffer, also while the song plays. */
    const GParamFlags l_desk_flags = G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING;
    g_object_class_install_property(
        l_gobject_class, PROP_MUTE_MASK,
        g_param_spec_uint("mute-mask", "Muted tracks",
                          "Tracks silenced, one bit each: bit k mutes track k (0-7 melody, 8-15 drums); a "
                          "muted track still sounds while it is soloed",
                          0, ALL_TRACKS, 0, l_desk_flags));
    g_object_class_install_property(
        l_gobject_class, PROP_SOLO_MASK,
        g_param_spec_uint("solo-mask", "Soloed tracks",
                          "Tracks soloed, one bit each: bit k solos track k; while any bit is set, only the "
                          "soloed tracks sound",
                          0, ALL_TRACKS, 0, l_desk_flags));
    g_object_class_install_property(
        l_gobject_class, PROP_TEMPO,
        g_param_spec_double("tempo", "Tempo factor",
                            "Speed of the song's beats against its own tempo, the pitch kept (2 = twice as "
                            "fast); the duration and the position follow",
                            TW_MIN_TEMPO_FACTOR, TW_MAX_TEMPO_FACTOR, DEFAULT_TEMPO, l_desk_flags));
    g_object_class_install_property(
        l_gobject_class, PROP_PITCH,
        g_param_spec_double("pitch", "Pitch shift",
                            "Semitones every note is moved up (or down, negative), notes already sounding "
                            "too, fractions allowed, the tempo kept (12 = an octave up)",
                            -TW_MAX_PITCH_SHIFT, TW_MAX_PITCH_SHIFT, DEFAULT_PITCH, l_desk_flags));

    gst_element_class_add_static_pad_template(l_element_class, &sink_template);
    gst_element_class_add_static_pad_template(l_element_class, &src_template);
    gst_element_class_set_static_metadata(l_element_class, "Org-02 song decoder", "Codec/Decoder/Audio",
                                          "Plays Org-02 songs through libtunewright",
                                          "the tunewright developers <tunewright@users.noreply.invalid>");
    l_element_class->change_state = GST_DEBUG_FUNCPTR(gst_tunewright_dec_change_state);
    l_element_class->send_event = GST_DEBUG_FUNCPTR(gst_tunewright_dec_send_event);
    gst_type_mark_as_plugin_api(GST_TYPE_TUNEWRIGHT_INTERPOLATION, 0);
}

static void gst_tunewright_dec_init(GstTunewrightDec* p_dec)
{
    p_dec->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(p_dec->sinkpad, GST_DEBUG_FUNCPTR(gst_tunewright_dec_chain));
    gst_pad_set_event_function(p_dec->sinkpad, GST_DEBUG_FUNCPTR(gst_tunewright_dec_sink_event));
    gst_element_add_pad(GST_ELEMENT(p_dec), p_dec->sinkpad);

    p_dec->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_set_event_function(p_dec->srcpad, GST_DEBUG_FUNCPTR(gst_tunewright_dec_src_event));
    gst_pad_set_query_function(p_dec->srcpad, GST_DEBUG_FUNCPTR(gst_tunewright_dec_src_query));
    gst_pad_set_activatemode_function(p_dec->srcpad, GST_DEBUG_FUNCPTR(gst_tunewright_dec_src_activate_mode));
    gst_element_add_pad(GST_ELEMENT(p_dec), p_dec->srcpad);

    /* Bins hand the events that flow downstream, the application's end of stream among them, to
     * their sources, which this is once it plays. Flagged from the start, as a bin that takes it in
     * (decodebin) counts itself a source only at that moment. */
    GST_OBJECT_FLAG_SET(p_dec, GST_ELEMENT_FLAG_SOURCE);
    p_dec->adapter = gst_adapter_new();
    p_dec->num_loops = DEFAULT_NUM_LOOPS;
    p_dec->interpolation = DEFAULT_INTERPOLATION;
    p_dec->tempo = p_dec->song_tempo = DEFAULT_TEMPO;
    p_dec->pitch = DEFAULT_PITCH;
    p_dec->settings_changed = TRUE;
    gst_audio_info_init(&p_dec->info);
    gst_segment_init(&p_dec->segment, GST_FORMAT_TIME);
    p_dec->duration = GST_CLOCK_TIME_NONE;
}
