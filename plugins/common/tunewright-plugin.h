/* What the plugins (the GStreamer element, the VLC module, the Audacious plugin) share over the C
 * interface: the default resampler, the largest file a song can be, and its magic. C and C++ alike. */
#ifndef TUNEWRIGHT_PLUGIN_H
#define TUNEWRIGHT_PLUGIN_H

#include <tunewright/tunewright.h>

/* The resamplers a user chooses from are TW_RESAMPLERS of tunewright.h: X(number, name, taps,
 * label) for each, the names those tunewright-render --interp takes. */
#define TUNEWRIGHT_DEFAULT_INTERPOLATION TW_INTERPOLATION_LINEAR

/* The rate songs are read at where the host resamples whatever comes (VLC, Audacious) or leaves
 * the choice to the element (GStreamer): the rate most sound cards run at. */
#define TUNEWRIGHT_RATE 48000

/* Frames a plugin reads at a time and hands on as one block: about 85 ms at 48 kHz, rendered in
 * well under a millisecond. A host's pipeline costs far more per block (hand-offs between its
 * threads) than a block costs to render, so fewer blocks cost less. */
#define TUNEWRIGHT_FRAMES_PER_BLOCK 4096

/* The header, the sixteen instrument records and 65535 notes of 8 bytes on every track: a longer
 * file holds no song, so a plugin reads at most one byte more before it gives up. */
#define TUNEWRIGHT_MAX_SONG_BYTES 8388594

/* The six bytes every song begins with. */
#define TUNEWRIGHT_MAGIC "Org-02"
#define TUNEWRIGHT_MAGIC_SIZE 6

#endif
