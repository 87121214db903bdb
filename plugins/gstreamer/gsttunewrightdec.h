/* tunewrightdec: decodes an Org-02 song into raw audio through <tunewright/tunewright.h>. */
#ifndef GST_TUNEWRIGHT_DEC_H
#define GST_TUNEWRIGHT_DEC_H

#include <gst/audio/audio.h>
#include <gst/base/gstadapter.h>
#include <gst/gst.h>

#include <tunewright/tunewright.h>

G_BEGIN_DECLS

#define GST_TYPE_TUNEWRIGHT_DEC (gst_tunewright_dec_get_type())
G_DECLARE_FINAL_TYPE(GstTunewrightDec, gst_tunewright_dec, GST, TUNEWRIGHT_DEC, GstElement)

/* The caps of a song file, as the typefinder names them. */
#define GST_TUNEWRIGHT_SONG_CAPS "audio/x-org-song"

struct _GstTunewrightDec
{
    GstElement parent;

    GstPad* sinkpad;
    GstPad* srcpad;

    /* The file as it arrives; the song is opened from it at the end of the stream, and opened
     * again from the bytes kept for a seek that starts afresh. */
    GstAdapter* adapter;
    GBytes* bytes;
    tw_song* song;

    /* Properties, guarded by the object lock; the streaming thread hands them to the song. */
    gint num_loops;
    gint interpolation;
    guint mute_mask; /* bit k for track k */
    guint solo_mask;
    gdouble tempo;
    gdouble pitch;
    gboolean settings_changed;

    /* What the streaming thread alone touches, or the seek handler while it holds the stream lock;
     * both change the segment (the streaming thread its position) under the object lock, so that a
     * seek is checked against it before the stream lock is taken. */
    GstAudioInfo info;
    gint song_interpolation; /* the interpolation last handed to the song */
    gdouble song_tempo;      /* the tempo factor last handed to the song, which the song's times are in */
    /* Its position: the end of the last frame pushed, or where a seek moved. Its time is the song's
     * (at the tempo factor): the same as the buffers' until the factor changes while the song plays,
     * which maps the buffers' times, running on, to the song's newly counted time. */
    GstSegment segment;
    gboolean send_segment;
    gboolean discont;
    guint32 seqnum;
    GstClockTime base_time; /* the stream time of the first frame read since base_time was set */
    guint64 frames;         /* frames pushed since base_time */
    guint64 skip_frames;    /* frames still to be read and dropped to land exactly where asked */

    /* Answers to the duration and position queries, in the song's time; guarded by the object lock. */
    GstClockTime duration;
    GstClockTime position;

    /* The end of stream the application asked for, until it is pushed; guarded by the object lock. */
    GstEvent* pending_eos;
};

G_END_DECLS

#endif
