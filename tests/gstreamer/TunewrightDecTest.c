/* tunewrightdec in pipelines, held against the C interface it is built on: what a pipeline plays is
 * what tw_song_read_*() gives for the same song and settings. */
#include <glib/gstdio.h>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/check/gstcheck.h>
#include <string.h>

#include <tunewright/tunewright.h>

#define SONG TUNEWRIGHT_SONGS_DIR "/greensleeves.org"

/* A pipeline ending in an appsink named "out", made from a gst-launch description. */
static GstElement* StartPipeline(GstState p_state, const gchar* p_format, ...)
{
    va_list l_args;
    va_start(l_args, p_format);
    gchar* l_description = g_strdup_vprintf(p_format, l_args);
    va_end(l_args);
    GError* l_error = NULL;
    GstElement* l_pipeline = gst_parse_launch(l_description, &l_error);
    fail_unless(l_pipeline != NULL && l_error == NULL, "cannot make '%s': %s", l_description,
                l_error ? l_error->message : "");
    g_free(l_description);
    fail_if(gst_element_set_state(l_pipeline, p_state) == GST_STATE_CHANGE_FAILURE);
    return l_pipeline;
}

static void StopPipeline(GstElement* p_pipeline)
{
    GstMessage* l_error = gst_bus_pop_filtered(GST_ELEMENT_BUS(p_pipeline), GST_MESSAGE_ERROR);
    fail_unless(l_error == NULL, "an error on the bus: %" GST_PTR_FORMAT, l_error);
    gst_element_set_state(p_pipeline, GST_STATE_NULL);
    gst_object_unref(p_pipeline);
}

static GstAppSink* Sink(GstElement* p_pipeline)
{
    GstElement* l_sink = gst_bin_get_by_name(GST_BIN(p_pipeline), "out");
    gst_object_unref(l_sink);  // the pipeline keeps it
    return GST_APP_SINK(l_sink);
}

/* The song as the C interface reads it: p_frames frames (or to its end, for 0) after a seek to
 * p_seek seconds and p_skip dropped frames, in chunks unlike the element's. */
static GByteArray* ReadSong(gboolean p_float, int p_rate, int p_loops, double p_seek, gsize p_skip,
                            gsize p_frames)
{
    tw_song* l_song = tw_song_open_file(SONG, NULL);
    fail_unless(l_song != NULL);
    tw_song_set_loops(l_song, p_loops);
    if (p_seek > 0)
        tw_song_seek_seconds(l_song, p_seek);
    gsize l_bpf = 2 * (p_float ? sizeof(float) : sizeof(int16_t));
    GByteArray* l_bytes = g_byte_array_new();
    guint8 l_chunk[1000 * 8];
    for (gsize l_total = 0; p_frames == 0 || l_total < p_skip + p_frames;) {
        gsize l_want = 1000;
        if (p_frames > 0)
            l_want = MIN(l_want, p_skip + p_frames - l_total);
        gsize l_read = p_float ? tw_song_read_float(l_song, p_rate, l_want, (float*)l_chunk)
                               : tw_song_read_s16(l_song, p_rate, l_want, (int16_t*)l_chunk);
        if (l_read == 0)
            break;
        gsize l_from = l_total >= p_skip ? 0 : MIN(l_read, p_skip - l_total);
        g_byte_array_append(l_bytes, l_chunk + l_from * l_bpf, (guint)((l_read - l_from) * l_bpf));
        l_total += l_read;
    }
    tw_song_close(l_song);
    return l_bytes;
}

/* What the appsink receives, up to p_bytes bytes (0: to the end of the stream). */
static GByteArray* Collect(GstAppSink* p_sink, gsize p_bytes, GstCaps** p_caps)
{
    GByteArray* l_bytes = g_byte_array_new();
    GstSample* l_sample;
    while ((p_bytes == 0 || l_bytes->len < p_bytes) &&
           (l_sample = gst_app_sink_try_pull_sample(p_sink, 30 * GST_SECOND)) != NULL) {
        if (*p_caps == NULL)
            *p_caps = gst_caps_ref(gst_sample_get_caps(l_sample));
        GstMapInfo l_map;
        gst_buffer_map(gst_sample_get_buffer(l_sample), &l_map, GST_MAP_READ);
        g_byte_array_append(l_bytes, l_map.data, (guint)l_map.size);
        gst_buffer_unmap(gst_sample_get_buffer(l_sample), &l_map);
        gst_sample_unref(l_sample);
    }
    if (p_bytes > 0 && l_bytes->len > p_bytes)
        g_byte_array_set_size(l_bytes, (guint)p_bytes);
    return l_bytes;
}

/* A copy of a buffer's bytes. */
static GByteArray* BufferBytes(GstBuffer* p_buffer)
{
    GstMapInfo l_map;
    gst_buffer_map(p_buffer, &l_map, GST_MAP_READ);
    GByteArray* l_bytes = g_byte_array_new();
    g_byte_array_append(l_bytes, l_map.data, (guint)l_map.size);
    gst_buffer_unmap(p_buffer, &l_map);
    return l_bytes;
}

static void AssertSameBytes(GByteArray* p_got, GByteArray* p_expected, const gchar* p_what)
{
    fail_unless_equals_int(p_got->len, p_expected->len);
    fail_unless(memcmp(p_got->data, p_expected->data, p_got->len) == 0, "%s: the samples differ", p_what);
    g_byte_array_unref(p_got);
    g_byte_array_unref(p_expected);
}

/* Each output format, with the element alone and found by decodebin, negotiates with downstream
 * and plays the library's samples; with no wish downstream it is floats at 48 kHz. */
GST_START_TEST(test_formats_play_the_library_samples)
{
    static const struct
    {
        const gchar* caps;
        const gchar* format;
        int rate;
    } s_formats[] = {
        {"", "F32LE", 48000},
        {"caps=audio/x-raw,format=F32LE,rate=44100", "F32LE", 44100},
        {"caps=audio/x-raw,format=F32LE,rate=48000", "F32LE", 48000},
        {"caps=audio/x-raw,format=S16LE,rate=44100", "S16LE", 44100},
        {"caps=audio/x-raw,format=S16LE,rate=48000", "S16LE", 48000},
    };
    const gchar* l_decoders[] = {"tunewrightdec", "decodebin"};
    for (guint d = 0; d < G_N_ELEMENTS(l_decoders); ++d) {
        for (guint f = 0; f < G_N_ELEMENTS(s_formats); ++f) {
            GstElement* l_pipeline =
                StartPipeline(GST_STATE_PLAYING, "filesrc location=%s ! %s ! appsink name=out sync=false %s",
                              SONG, l_decoders[d], s_formats[f].caps);
            gboolean l_float = g_str_equal(s_formats[f].format, "F32LE");
            gsize l_frames = 2 * s_formats[f].rate;  // two seconds
            GstCaps* l_caps = NULL;
            GByteArray* l_got = Collect(Sink(l_pipeline), l_frames * (l_float ? 8 : 4), &l_caps);
            fail_unless(l_caps != NULL);
            GstStructure* l_structure = gst_caps_get_structure(l_caps, 0);
            int l_rate = 0, l_channels = 0;
            gst_structure_get_int(l_structure, "rate", &l_rate);
            gst_structure_get_int(l_structure, "channels", &l_channels);
            fail_unless_equals_string(gst_structure_get_string(l_structure, "format"), s_formats[f].format);
            fail_unless_equals_int(l_rate, s_formats[f].rate);
            fail_unless_equals_int(l_channels, 2);
            gst_caps_unref(l_caps);
            AssertSameBytes(l_got, ReadSong(l_float, l_rate, 0, 0, 0, l_frames), l_decoders[d]);
            StopPipeline(l_pipeline);
        }
    }
}
GST_END_TEST;

/* Played to its end, the song stops where the library's does: every frame, then end of stream. */
GST_START_TEST(test_whole_song_then_end_of_stream)
{
    GstElement* l_pipeline = StartPipeline(GST_STATE_PLAYING,
                                           "filesrc location=%s ! tunewrightdec interpolation=sinc ! appsink "
                                           "name=out sync=false caps=audio/x-raw,format=S16LE,rate=8000",
                                           SONG);
    GstCaps* l_caps = NULL;
    GByteArray* l_got = Collect(Sink(l_pipeline), 0, &l_caps);
    gst_caps_unref(l_caps);
    fail_unless(gst_app_sink_is_eos(Sink(l_pipeline)));
    tw_song* l_song = tw_song_open_file(SONG, NULL);
    tw_song_set_interpolation(l_song, TW_INTERPOLATION_SINC);
    GByteArray* l_expected = g_byte_array_new();
    int16_t l_chunk[2 * 1000];
    for (gsize l_read; (l_read = tw_song_read_s16(l_song, 8000, 1000, l_chunk)) > 0;)
        g_byte_array_append(l_expected, (const guint8*)l_chunk, (guint)(l_read * 4));
    tw_song_close(l_song);
    AssertSameBytes(l_got, l_expected, "the whole song");
    StopPipeline(l_pipeline);
}
GST_END_TEST;

/* intro_seconds and loop_seconds, as tunewright-info --json prints them for the song. */
static void InfoLengths(double* p_intro, double* p_loop)
{
    gchar* l_out = NULL;
    gchar* l_command = g_strdup_printf("'%s' --json '%s'", TUNEWRIGHT_INFO, SONG);
    fail_unless(g_spawn_command_line_sync(l_command, &l_out, NULL, NULL, NULL));
    const gchar* l_intro = strstr(l_out, "\"intro_seconds\":");
    const gchar* l_loop = strstr(l_out, "\"loop_seconds\":");
    fail_unless(l_intro && l_loop, "tunewright-info printed: %s", l_out);
    *p_intro = g_ascii_strtod(strchr(l_intro, ':') + 1, NULL);
    *p_loop = g_ascii_strtod(strchr(l_loop, ':') + 1, NULL);
    g_free(l_out);
    g_free(l_command);
}

/* The duration is the intro and num-loops + 1 passes of the loop, as tunewright-info counts them
 * (to its millisecond); the song can be sought; for ever has no duration. */
GST_START_TEST(test_duration_and_seeking_queries)
{
    double l_intro, l_loop;
    InfoLengths(&l_intro, &l_loop);
    const int l_loops[] = {0, 2, -1};
    for (guint i = 0; i < G_N_ELEMENTS(l_loops); ++i) {
        GstElement* l_pipeline =
            StartPipeline(GST_STATE_PAUSED,
                          "filesrc location=%s ! tunewrightdec num-loops=%d ! appsink name=out sync=false",
                          SONG, l_loops[i]);
        fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                               GST_STATE_CHANGE_SUCCESS);
        gint64 l_duration = -1;
        gboolean l_known = gst_element_query_duration(l_pipeline, GST_FORMAT_TIME, &l_duration);
        if (l_loops[i] < 0) {
            fail_if(l_known && l_duration >= 0, "a song played for ever has a duration");
        } else {
            fail_unless(l_known);
            double l_expected = l_intro + (l_loops[i] + 1) * l_loop;
            fail_unless(fabs((double)l_duration / GST_SECOND - l_expected) <= 0.0015,
                        "%d loops: %f s, not %f s", l_loops[i], (double)l_duration / GST_SECOND, l_expected);
        }
        GstQuery* l_query = gst_query_new_seeking(GST_FORMAT_TIME);
        fail_unless(gst_element_query(l_pipeline, l_query));
        gboolean l_seekable = FALSE;
        gst_query_parse_seeking(l_query, NULL, &l_seekable, NULL, NULL);
        fail_unless(l_seekable);
        gst_query_unref(l_query);
        StopPipeline(l_pipeline);
    }
}
GST_END_TEST;

/* A flushing seek lands on the beat at or before the asked time, as the library does, or with
 * ACCURATE exactly there; the new segment and the first buffer begin where it landed, and the
 * samples from there are the library's. The position query follows. */
GST_START_TEST(test_seek_lands_where_asked)
{
    const double l_asked = 10.05;  // between two beats
    tw_song* l_song = tw_song_open_file(SONG, NULL);
    tw_song_seek_seconds(l_song, l_asked);
    const double l_beat = tw_song_get_position_seconds(l_song);
    tw_song_close(l_song);
    fail_unless(l_beat < l_asked);

    GstElement* l_pipeline = StartPipeline(
        GST_STATE_PAUSED,
        "filesrc location=%s ! tunewrightdec ! appsink name=out sync=false caps=audio/x-raw,format=F32LE",
        SONG);
    fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                           GST_STATE_CHANGE_SUCCESS);
    for (int l_accurate = 0; l_accurate <= 1; ++l_accurate) {
        GstSeekFlags l_flags = GST_SEEK_FLAG_FLUSH | (l_accurate ? GST_SEEK_FLAG_ACCURATE : 0);
        fail_unless(
            gst_element_seek_simple(l_pipeline, GST_FORMAT_TIME, l_flags, (gint64)(l_asked * GST_SECOND)));
        fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                               GST_STATE_CHANGE_SUCCESS);
        GstSample* l_sample = gst_app_sink_pull_preroll(Sink(l_pipeline));
        fail_unless(l_sample != NULL);
        GstClockTime l_landed = (GstClockTime)llround((l_accurate ? l_asked : l_beat) * GST_SECOND);
        const GstSegment* l_segment = gst_sample_get_segment(l_sample);
        fail_unless_equals_uint64(l_segment->start, l_landed);
        fail_unless_equals_uint64(l_segment->time, l_landed);
        GstBuffer* l_buffer = gst_sample_get_buffer(l_sample);
        fail_unless_equals_uint64(GST_BUFFER_PTS(l_buffer), l_landed);
        fail_unless(GST_BUFFER_FLAG_IS_SET(l_buffer, GST_BUFFER_FLAG_DISCONT));
        gint64 l_position = -1;
        fail_unless(gst_element_query_position(l_pipeline, GST_FORMAT_TIME, &l_position));
        fail_unless((GstClockTime)l_position >= l_landed);

        GByteArray* l_got = BufferBytes(l_buffer);
        gsize l_skip = l_accurate ? (gsize)llround((l_asked - l_beat) * 48000) : 0;
        AssertSameBytes(l_got, ReadSong(TRUE, 48000, 0, l_asked, l_skip, l_got->len / 8), "after the seek");
        gst_sample_unref(l_sample);
    }
    StopPipeline(l_pipeline);
}
GST_END_TEST;

/* A seek from the end lands that far before the song's end, and can stop as far before it; one from
 * the end of a song that plays for ever, or one that stops before it starts, is refused (without a
 * critical warning, which gst-check would fail on) and leaves the stream for the next seek. */
GST_START_TEST(test_seek_from_the_end_and_refused_seeks)
{
    const int l_loops[] = {0, -1};
    for (guint i = 0; i < G_N_ELEMENTS(l_loops); ++i) {
        GstElement* l_pipeline = StartPipeline(GST_STATE_PAUSED,
                                               "filesrc location=%s ! tunewrightdec num-loops=%d ! appsink "
                                               "name=out sync=false caps=audio/x-raw,format=F32LE,rate=48000",
                                               SONG, l_loops[i]);
        fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                               GST_STATE_CHANGE_SUCCESS);
        const GstSeekFlags l_flags = GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE;
        fail_if(gst_element_seek(l_pipeline, 1.0, GST_FORMAT_TIME, l_flags, GST_SEEK_TYPE_SET, 5 * GST_SECOND,
                                 GST_SEEK_TYPE_SET, 2 * GST_SECOND),
                "a seek that stops before it starts was taken");
        gboolean l_taken = gst_element_seek(l_pipeline, 1.0, GST_FORMAT_TIME, l_flags, GST_SEEK_TYPE_END,
                                            -3 * GST_SECOND, GST_SEEK_TYPE_END, -1 * GST_SECOND);
        if (l_loops[i] < 0) {
            fail_if(l_taken, "a seek from the end of a song that plays for ever was taken");
            StopPipeline(l_pipeline);
            continue;
        }
        fail_unless(l_taken);
        fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                               GST_STATE_CHANGE_SUCCESS);
        gint64 l_duration = -1;
        fail_unless(gst_element_query_duration(l_pipeline, GST_FORMAT_TIME, &l_duration));
        GstSample* l_sample = gst_app_sink_pull_preroll(Sink(l_pipeline));
        fail_unless(l_sample != NULL);
        const GstSegment* l_segment = gst_sample_get_segment(l_sample);
        fail_unless_equals_uint64(l_segment->start, l_duration - 3 * GST_SECOND);
        fail_unless_equals_uint64(l_segment->stop, l_duration - 1 * GST_SECOND);
        fail_unless_equals_uint64(GST_BUFFER_PTS(gst_sample_get_buffer(l_sample)),
                                  l_duration - 3 * GST_SECOND);
        gst_sample_unref(l_sample);

        // The preroll buffer comes again as the first sample, and the rest to the stop.
        fail_if(gst_element_set_state(l_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE);
        GstCaps* l_caps = NULL;
        GByteArray* l_got = Collect(Sink(l_pipeline), 0, &l_caps);
        gst_caps_unref(l_caps);
        fail_unless(gst_app_sink_is_eos(Sink(l_pipeline)));
        const double l_asked = (double)(l_duration - 3 * GST_SECOND) / GST_SECOND;
        tw_song* l_song = tw_song_open_file(SONG, NULL);
        tw_song_seek_seconds(l_song, l_asked);
        gsize l_skip = (gsize)llround((l_asked - tw_song_get_position_seconds(l_song)) * 48000);
        tw_song_close(l_song);
        AssertSameBytes(l_got, ReadSong(TRUE, 48000, 0, l_asked, l_skip, 2 * 48000), "from the end");
        StopPipeline(l_pipeline);
    }
}
GST_END_TEST;

/* An end of stream asked of the pipeline ends a song that would play for ever: the element pushes
 * it and the bus says so. One asked while the file is still arriving ends the stream as well, where
 * the part of a song that came would be an error. The wait is a guard against hanging. */
GST_START_TEST(test_end_of_stream_when_asked)
{
    gchar* l_song = NULL;
    gsize l_size = 0;
    fail_unless(g_file_get_contents(SONG, &l_song, &l_size, NULL));
    for (int l_arriving = 0; l_arriving <= 1; ++l_arriving) {
        GstElement* l_pipeline =
            l_arriving
                ? StartPipeline(GST_STATE_PLAYING, "appsrc name=in ! tunewrightdec ! fakesink")
                : StartPipeline(GST_STATE_PLAYING,
                                "filesrc location=%s ! tunewrightdec num-loops=-1 ! fakesink sync=true",
                                SONG);
        if (l_arriving) {
            GstElement* l_in = gst_bin_get_by_name(GST_BIN(l_pipeline), "in");
            GstBuffer* l_half = gst_buffer_new_memdup(l_song, l_size / 2);
            fail_unless_equals_int(gst_app_src_push_buffer(GST_APP_SRC(l_in), l_half), GST_FLOW_OK);
            gst_object_unref(l_in);
        } else {
            fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                                   GST_STATE_CHANGE_SUCCESS);
        }
        fail_unless(gst_element_send_event(l_pipeline, gst_event_new_eos()));
        GstMessage* l_message = gst_bus_timed_pop_filtered(GST_ELEMENT_BUS(l_pipeline), 30 * GST_SECOND,
                                                           GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
        fail_unless(l_message != NULL, "no end of stream");
        fail_unless(GST_MESSAGE_TYPE(l_message) == GST_MESSAGE_EOS, "%s, not the end of stream",
                    GST_MESSAGE_TYPE_NAME(l_message));
        gst_message_unref(l_message);
        StopPipeline(l_pipeline);
    }
    g_free(l_song);
}
GST_END_TEST;

/* Segment seeks loop a stretch of the song without a gap: each one without flushing, made when the
 * last ends, runs the stream's time on from where the last stopped. */
GST_START_TEST(test_segment_seeks_without_flushing_run_on)
{
    GstElement* l_pipeline = StartPipeline(
        GST_STATE_PAUSED,
        "filesrc location=%s ! tunewrightdec ! appsink name=out sync=false caps=audio/x-raw,format=F32LE",
        SONG);
    fail_unless_equals_int(gst_element_get_state(l_pipeline, NULL, NULL, GST_CLOCK_TIME_NONE),
                           GST_STATE_CHANGE_SUCCESS);
    const GstSeekFlags l_flags = GST_SEEK_FLAG_SEGMENT | GST_SEEK_FLAG_ACCURATE;
    fail_unless(gst_element_seek(l_pipeline, 1.0, GST_FORMAT_TIME, l_flags | GST_SEEK_FLAG_FLUSH,
                                 GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_SET, GST_SECOND / 2));
    gst_element_set_state(l_pipeline, GST_STATE_PLAYING);
    for (guint l_pass = 0; l_pass < 3; ++l_pass) {
        GstMessage* l_done = gst_bus_timed_pop_filtered(GST_ELEMENT_BUS(l_pipeline), 30 * GST_SECOND,
                                                        GST_MESSAGE_SEGMENT_DONE | GST_MESSAGE_ERROR);
        fail_unless(l_done != NULL && GST_MESSAGE_TYPE(l_done) == GST_MESSAGE_SEGMENT_DONE);
        gst_message_unref(l_done);
        fail_unless(gst_element_seek(l_pipeline, 1.0, GST_FORMAT_TIME, l_flags, GST_SEEK_TYPE_SET, 0,
                                     GST_SEEK_TYPE_SET, GST_SECOND / 2));
    }
    /* Every pass begins at the song's start, its running time where the one before ended. */
    for (guint64 l_next = 0; l_next < 3 * GST_SECOND / 2;) {
        GstSample* l_sample = gst_app_sink_try_pull_sample(Sink(l_pipeline), 30 * GST_SECOND);
        fail_unless(l_sample != NULL);
        const GstSegment* l_segment = gst_sample_get_segment(l_sample);
        GstBuffer* l_buffer = gst_sample_get_buffer(l_sample);
        guint64 l_running = gst_segment_to_running_time(l_segment, GST_FORMAT_TIME, GST_BUFFER_PTS(l_buffer));
        fail_unless_equals_uint64(l_running, l_next);
        l_next = gst_segment_to_running_time(
            l_segment, GST_FORMAT_TIME,
            MIN(GST_BUFFER_PTS(l_buffer) + GST_BUFFER_DURATION(l_buffer), l_segment->stop));
        gst_sample_unref(l_sample);
    }
    StopPipeline(l_pipeline);
}
GST_END_TEST;

/* A seek that sets only a stop goes on from where the song stands, exactly, and ends there. */
GST_START_TEST(test_seek_to_a_stop_alone_plays_on)
{
    GstElement* l_pipeline =
        StartPipeline(GST_STATE_PLAYING,
                      "filesrc location=%s ! tunewrightdec ! appsink name=out sync=false max-buffers=1 "
                      "caps=audio/x-raw,format=F32LE",
                      SONG);
    GstClockTime l_pulled = 0;
    for (int i = 0; i < 20; ++i) {
        GstSample* l_sample = gst_app_sink_pull_sample(Sink(l_pipeline));
        l_pulled = GST_BUFFER_PTS(gst_sample_get_buffer(l_sample));
        gst_sample_unref(l_sample);
    }
    const GstClockTime l_stop = 20 * GST_SECOND;
    fail_unless(gst_element_seek(l_pipeline, 1.0, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_NONE, 0,
                                 GST_SEEK_TYPE_SET, (gint64)l_stop));
    GstSample* l_sample = gst_app_sink_pull_sample(Sink(l_pipeline));
    GstBuffer* l_buffer = gst_sample_get_buffer(l_sample);
    const GstClockTime l_from = GST_BUFFER_PTS(l_buffer);
    fail_unless(l_from > l_pulled, "the seek went back to %" GST_TIME_FORMAT, GST_TIME_ARGS(l_from));
    fail_unless_equals_uint64(gst_sample_get_segment(l_sample)->start, l_from);
    fail_unless_equals_uint64(
        gst_segment_to_running_time(gst_sample_get_segment(l_sample), GST_FORMAT_TIME, l_from), 0);
    tw_song* l_song = tw_song_open_file(SONG, NULL);
    tw_song_seek_seconds(l_song, (double)l_from / GST_SECOND);
    const double l_beat = tw_song_get_position_seconds(l_song);
    tw_song_close(l_song);
    GByteArray* l_got = BufferBytes(l_buffer);
    const gsize l_first = l_got->len;
    gsize l_skip = (gsize)llround(((double)l_from / GST_SECOND - l_beat) * 48000);
    AssertSameBytes(l_got, ReadSong(TRUE, 48000, 0, (double)l_from / GST_SECOND, l_skip, l_first / 8),
                    "after the seek");
    gst_sample_unref(l_sample);
    GstCaps* l_caps = NULL;
    GByteArray* l_rest = Collect(Sink(l_pipeline), 0, &l_caps);
    gst_caps_unref(l_caps);
    fail_unless(gst_app_sink_is_eos(Sink(l_pipeline)));
    fail_unless_equals_uint64(l_first + l_rest->len,
                              gst_util_uint64_scale_int_ceil(l_stop - l_from, 48000, GST_SECOND) * 8);
    g_byte_array_unref(l_rest);
    StopPipeline(l_pipeline);
}
GST_END_TEST;

/* The interpolation changed while the song plays takes effect where the song stands: the frames
 * from there are the library's with the new one, and the stream keeps its time and its length. */
GST_START_TEST(test_interpolation_changed_while_playing)
{
    GstElement* l_pipeline =
        StartPipeline(GST_STATE_PLAYING,
                      "filesrc location=%s ! tunewrightdec name=dec ! appsink name=out sync=false "
                      "max-buffers=1 caps=audio/x-raw,format=S16LE,rate=8000",
                      SONG);
    GstElement* l_dec = gst_bin_get_by_name(GST_BIN(l_pipeline), "dec");
    /* Applications and gst-inspect learn from the flag that it may be set while playing. */
    fail_unless(g_object_class_find_property(G_OBJECT_GET_CLASS(l_dec), "interpolation")->flags &
                GST_PARAM_MUTABLE_PLAYING);
    GstClockTime l_end = 0, l_changed = GST_CLOCK_TIME_NONE;
    GByteArray* l_after = g_byte_array_new();
    GstSample* l_sample;
    for (guint i = 0; (l_sample = gst_app_sink_try_pull_sample(Sink(l_pipeline), 30 * GST_SECOND)) != NULL;
         ++i) {
        GstBuffer* l_buffer = gst_sample_get_buffer(l_sample);
        fail_unless_equals_uint64(GST_BUFFER_PTS(l_buffer), l_end);
        if (i > 0 && GST_BUFFER_FLAG_IS_SET(l_buffer, GST_BUFFER_FLAG_DISCONT)) {
            fail_unless(!GST_CLOCK_TIME_IS_VALID(l_changed));
            l_changed = l_end;
        }
        if (GST_CLOCK_TIME_IS_VALID(l_changed)) {
            GByteArray* l_bytes = BufferBytes(l_buffer);
            g_byte_array_append(l_after, l_bytes->data, l_bytes->len);
            g_byte_array_unref(l_bytes);
        }
        l_end = GST_BUFFER_PTS(l_buffer) + GST_BUFFER_DURATION(l_buffer);
        gst_sample_unref(l_sample);
        if (i == 2)
            g_object_set(l_dec, "interpolation", TW_INTERPOLATION_SINC, NULL);
    }
    gst_object_unref(l_dec);
    fail_unless(gst_app_sink_is_eos(Sink(l_pipeline)));
    StopPipeline(l_pipeline);
    /* The whole stream lasts the song's frames, as without the change. */
    GByteArray* l_whole = ReadSong(FALSE, 8000, 0, 0, 0, 0);
    fail_unless_equals_uint64(gst_util_uint64_scale_int_round(l_end, 8000, GST_SECOND), l_whole->len / 4);
    g_byte_array_unref(l_whole);
    fail_unless(GST_CLOCK_TIME_IS_VALID(l_changed), "no buffer after the change is marked DISCONT");

    /* The library: linear up to the change, then sinc from the beat there, its first frames dropped. */
    const gsize l_before = gst_util_uint64_scale_int_round(l_changed, 8000, GST_SECOND);
    tw_song* l_song = tw_song_open_file(SONG, NULL);
    int16_t l_chunk[2 * 1000];
    for (gsize l_read = 0; l_read < l_before;)
        l_read += tw_song_read_s16(l_song, 8000, MIN(1000, l_before - l_read), l_chunk);
    tw_song_set_interpolation(l_song, TW_INTERPOLATION_SINC);
    tw_song_seek_seconds(l_song, (double)l_changed / GST_SECOND);
    gsize l_skip =
        (gsize)llround(((double)l_changed / GST_SECOND - tw_song_get_position_seconds(l_song)) * 8000);
    GByteArray* l_expected = g_byte_array_new();
    for (gsize l_read; (l_read = tw_song_read_s16(l_song, 8000, 1000, l_chunk)) > 0;) {
        gsize l_from = MIN(l_read, l_skip);
        l_skip -= l_from;
        g_byte_array_append(l_expected, (const guint8*)(l_chunk + 2 * l_from),
                            (guint)((l_read - l_from) * 4));
    }
    tw_song_close(l_song);
    AssertSameBytes(l_after, l_expected, "after the change");
}
GST_END_TEST;

/* A song of one held note, key 57 on track 0's waveform 0 (440 Hz), in beats of 125 ms looped over
 * the first 64 (8 s), in a file of its own. */
static gchar* ToneSong(void)
{
    tw_song* l_song = tw_song_new(NULL);
    fail_unless_equals_int(tw_song_set_tempo_ms(l_song, 125), TW_OK);
    fail_unless_equals_int(tw_song_set_loop(l_song, 0, 64), TW_OK);
    const tw_event l_note = {.beat = 0, .key = 57, .length = 255, .volume = 200, .pan = 6};
    fail_unless_equals_int(tw_song_insert_event(l_song, 0, &l_note), TW_OK);
    gchar* l_path = NULL;
    g_close(g_file_open_tmp("tunewrightdec-XXXXXX.org", &l_path, NULL), NULL);
    fail_unless_equals_int(tw_song_save_file(l_song, l_path), TW_OK);
    tw_song_close(l_song);
    return l_path;
}

/* The next sample, which must begin where the last ended (*p_end), or NULL at the end of stream. */
static GstSample* PullOn(GstAppSink* p_sink, GstClockTime* p_end)
{
    GstSample* l_sample = gst_app_sink_try_pull_sample(p_sink, 30 * GST_SECOND);
    if (l_sample == NULL)
        return NULL;
    GstBuffer* l_buffer = gst_sample_get_buffer(l_sample);
    fail_unless_equals_uint64(GST_BUFFER_PTS(l_buffer), *p_end);
    *p_end = GST_BUFFER_PTS(l_buffer) + GST_BUFFER_DURATION(l_buffer);
    return l_sample;
}

/* The tone of the third buffer from now, the first that must have been read after a change made
 * now (the appsink holds one, and the element may wait with the next), past the ramp the change
 * starts with: its frequency by the rising zero crossings of the left side (0 for fewer than two)
 * and its peak. Floats at 48 kHz. */
static double ToneAfterChange(GstAppSink* p_sink, GstClockTime* p_end, float* p_peak)
{
    for (int i = 0; i < 2; ++i)
        gst_sample_unref(PullOn(p_sink, p_end));
    GstSample* l_sample = PullOn(p_sink, p_end);
    fail_unless(l_sample != NULL);
    GstMapInfo l_map;
    gst_buffer_map(gst_sample_get_buffer(l_sample), &l_map, GST_MAP_READ);
    const float* l_frames = (const float*)l_map.data;
    const gsize l_count = l_map.size / 8;
    double l_first = -1, l_last = -1;
    int l_crossings = 0;
    *p_peak = 0;
    for (gsize i = 1024; i < l_count; ++i) {
        const float l_before = l_frames[2 * i - 2], l_after = l_frames[2 * i];
        *p_peak = MAX(*p_peak, fabsf(l_after));
        if (l_before < 0 && l_after >= 0) {
            l_last = (double)(i - 1) + l_before / (double)(l_before - l_after);
            l_first = l_first < 0 ? l_last : l_first;
            ++l_crossings;
        }
    }
    gst_buffer_unmap(gst_sample_get_buffer(l_sample), &l_map);
    gst_sample_unref(l_sample);
    return l_crossings < 2 ? 0 : (l_crossings - 1) * 48000.0 / (l_last - l_first);
}

/* p_song playing through the element (named "dec") into an appsink ("out") that holds one buffer of
 * 48 kHz float frames at a time. */
static GstElement* PlayToAppsink(const gchar* p_song)
{
    return StartPipeline(GST_STATE_PLAYING,
                         "filesrc location=%s ! tunewrightdec name=dec ! appsink name=out sync=false "
                         "max-buffers=1 caps=audio/x-raw,format=F32LE,rate=48000",
                         p_song);
}

/* The mixing desk changed while the song plays is heard from the next buffer read: an octave up
 * doubles the held note's frequency, every track muted is silence, and the muted track soloed
 * sounds again, still an octave up. The stream's time runs on throughout. */
GST_START_TEST(test_pitch_mute_and_solo_changed_while_playing)
{
    gchar* l_song = ToneSong();
    GstElement* l_pipeline = PlayToAppsink(l_song);
    GstElement* l_dec = gst_bin_get_by_name(GST_BIN(l_pipeline), "dec");
    GstClockTime l_end = 0;
    float l_peak;
    const double l_plain = ToneAfterChange(Sink(l_pipeline), &l_end, &l_peak);
    fail_unless(fabs(l_plain - 440) < 4 && l_peak > 0.01, "%f Hz, peak %f", l_plain, l_peak);
    g_object_set(l_dec, "pitch", 12.0, NULL);
    double l_hz = ToneAfterChange(Sink(l_pipeline), &l_end, &l_peak);
    fail_unless(fabs(l_hz / l_plain - 2) < 0.01, "an octave up: %f Hz, not twice %f Hz", l_hz, l_plain);
    g_object_set(l_dec, "mute-mask", 0xffffu, NULL);
    ToneAfterChange(Sink(l_pipeline), &l_end, &l_peak);
    fail_unless(l_peak == 0, "every track muted: a peak of %f", l_peak);
    g_object_set(l_dec, "solo-mask", 1u, NULL);
    l_hz = ToneAfterChange(Sink(l_pipeline), &l_end, &l_peak);
    fail_unless(fabs(l_hz / l_plain - 2) < 0.01 && l_peak > 0.01, "soloed: %f Hz, peak %f", l_hz, l_peak);
    gst_object_unref(l_dec);
    StopPipeline(l_pipeline);
    g_unlink(l_song);
    g_free(l_song);
}
GST_END_TEST;

/* A tempo of 2 set while the song plays halves the duration, which the element says on the bus; the
 * buffers' times run on, and the rest of the song takes half as long. The segment from the change
 * maps them to the song's time at the new speed, which the position ends at: the new duration.
 * A factor beyond the library's is refused. */
GST_START_TEST(test_tempo_changed_while_playing)
{
    gchar* l_song = ToneSong();
    GstElement* l_pipeline = PlayToAppsink(l_song);
    GstElement* l_dec = gst_bin_get_by_name(GST_BIN(l_pipeline), "dec");
    GstClockTime l_end = 0;
    for (int i = 0; i < 10; ++i)
        gst_sample_unref(PullOn(Sink(l_pipeline), &l_end));
    gint64 l_before = -1, l_after = -1, l_position = -1;
    fail_unless(gst_element_query_duration(l_dec, GST_FORMAT_TIME, &l_before));
    fail_unless_equals_uint64(l_before, 8 * GST_SECOND);
    ASSERT_WARNING(g_object_set(l_dec, "tempo", 2 * TW_MAX_TEMPO_FACTOR, NULL));
    g_object_set(l_dec, "tempo", 2.0, NULL);
    GstSample* l_last = NULL;
    for (GstSample* l_sample; (l_sample = PullOn(Sink(l_pipeline), &l_end)) != NULL;) {
        if (l_last)
            gst_sample_unref(l_last);
        l_last = l_sample;
    }
    fail_unless(gst_app_sink_is_eos(Sink(l_pipeline)));
    fail_unless(gst_element_query_duration(l_dec, GST_FORMAT_TIME, &l_after));
    fail_unless_equals_uint64(l_after, l_before / 2);
    guint l_changes = 0;
    for (GstMessage* l_message; (l_message = gst_bus_pop_filtered(GST_ELEMENT_BUS(l_pipeline),
                                                                  GST_MESSAGE_DURATION_CHANGED)) != NULL;
         ++l_changes)
        gst_message_unref(l_message);
    fail_unless_equals_int(l_changes, 2);  // when the song opened, and at the change

    /* The change came after the ten buffers pulled, before their times reached half the song. */
    const GstSegment* l_segment = gst_sample_get_segment(l_last);
    const GstClockTime l_changed = l_segment->start, l_half = GST_SECOND / 48000 + 1;
    fail_unless(l_changed >= 10 * 4096 * GST_SECOND / 48000 && l_changed < 4 * GST_SECOND);
    fail_unless_equals_uint64(gst_segment_to_running_time(l_segment, GST_FORMAT_TIME, l_changed), l_changed);
    fail_unless(llabs((gint64)l_segment->time - (gint64)l_changed / 2) <= (gint64)l_half);
    fail_unless(llabs((gint64)(l_end - l_changed) - (l_after - (gint64)l_segment->time)) <= (gint64)l_half);
    fail_unless(gst_element_query_position(l_dec, GST_FORMAT_TIME, &l_position));
    fail_unless(llabs(l_position - l_after) <= (gint64)l_half, "at the end: %" GST_TIME_FORMAT,
                GST_TIME_ARGS(l_position));
    gst_sample_unref(l_last);
    gst_object_unref(l_dec);
    StopPipeline(l_pipeline);
    g_unlink(l_song);
    g_free(l_song);
}
GST_END_TEST;

/* A file that is no song, or not all of one, is refused with an error message from the element
 * on the bus, and the pipeline can be shut down. */
GST_START_TEST(test_refuses_what_is_not_a_song)
{
    gchar* l_dir = g_dir_make_tmp("tunewrightdec-XXXXXX", NULL);
    gchar* l_song = NULL;
    gsize l_size = 0;
    fail_unless(g_file_get_contents(SONG, &l_song, &l_size, NULL));
    const struct
    {
        const gchar* name;
        const gchar* bytes;
        gsize size;
    } l_files[] = {
        {"text.org", "* notes\nnot a song at all\n", 26},
        {"empty.org", "", 0},
        {"cut.org", l_song, l_size / 2},
    };
    for (guint i = 0; i < G_N_ELEMENTS(l_files); ++i) {
        gchar* l_path = g_build_filename(l_dir, l_files[i].name, NULL);
        fail_unless(g_file_set_contents(l_path, l_files[i].bytes, (gssize)l_files[i].size, NULL));
        GstElement* l_pipeline = StartPipeline(
            GST_STATE_PLAYING, "filesrc location=%s ! tunewrightdec name=dec ! fakesink", l_path);
        GstMessage* l_message = gst_bus_timed_pop_filtered(GST_ELEMENT_BUS(l_pipeline), 30 * GST_SECOND,
                                                           GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
        fail_unless(l_message != NULL && GST_MESSAGE_TYPE(l_message) == GST_MESSAGE_ERROR, "%s: no error",
                    l_files[i].name);
        GError* l_error = NULL;
        gst_message_parse_error(l_message, &l_error, NULL);
        fail_unless_equals_string(GST_OBJECT_NAME(GST_MESSAGE_SRC(l_message)), "dec");
        fail_unless(l_error->domain == GST_STREAM_ERROR);
        g_error_free(l_error);
        gst_message_unref(l_message);
        gst_element_set_state(l_pipeline, GST_STATE_NULL);
        gst_object_unref(l_pipeline);
        g_unlink(l_path);
        g_free(l_path);
    }
    g_free(l_song);
    g_rmdir(l_dir);
    g_free(l_dir);
}
GST_END_TEST;

static Suite* tunewrightdec_suite(void)
{
    Suite* l_suite = suite_create("tunewrightdec");
    TCase* l_case = tcase_create("general");
    tcase_set_timeout(l_case, 120);
    suite_add_tcase(l_suite, l_case);
    tcase_add_test(l_case, test_formats_play_the_library_samples);
    tcase_add_test(l_case, test_whole_song_then_end_of_stream);
    tcase_add_test(l_case, test_duration_and_seeking_queries);
    tcase_add_test(l_case, test_seek_lands_where_asked);
    tcase_add_test(l_case, test_seek_from_the_end_and_refused_seeks);
    tcase_add_test(l_case, test_end_of_stream_when_asked);
    tcase_add_test(l_case, test_segment_seeks_without_flushing_run_on);
    tcase_add_test(l_case, test_seek_to_a_stop_alone_plays_on);
    tcase_add_test(l_case, test_interpolation_changed_while_playing);
    tcase_add_test(l_case, test_pitch_mute_and_solo_changed_while_playing);
    tcase_add_test(l_case, test_tempo_changed_while_playing);
    tcase_add_test(l_case, test_refuses_what_is_not_a_song);
    return l_suite;
}

GST_CHECK_MAIN(tunewrightdec);
