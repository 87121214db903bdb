/* What the players' plugins share over the C interface: the resamplers by name, and the largest
 * file a song can be. C and C++ alike. */
#ifndef TUNEWRIGHT_PLUGIN_H
#define TUNEWRIGHT_PLUGIN_H

#include <tunewright/tunewright.h>

/* The resamplers a user chooses from, in the order of their numbers: X(number, name, label) for
 * each. The names are the ones tunewright-render --interpolation takes. */
#define TUNEWRIGHT_INTERPOLATIONS(X)                                                                         \
    X(TW_INTERPOLATION_NEAREST, "nearest", "No interpolation")                                               \
    X(TW_INTERPOLATION_LINEAR, "linear", "Linear interpolation")                                             \
    X(TW_INTERPOLATION_CUBIC, "cubic", "Cubic interpolation")                                                \
    X(TW_INTERPOLATION_SPLINE, "spline", "Spline interpolation")                                             \
    X(TW_INTERPOLATION_SINC, "sinc", "Band-limited windowed sinc")

#define TUNEWRIGHT_DEFAULT_INTERPOLATION TW_INTERPOLATION_LINEAR

/* The header, the sixteen instrument records and 65535 notes of 8 bytes on every track: a longer
 * file holds no song, so a plugin reads at most one byte more before it gives up. */
#define TUNEWRIGHT_MAX_SONG_BYTES 8388594

/* The six bytes every song begins with. */
#define TUNEWRIGHT_MAGIC "Org-02"
#define TUNEWRIGHT_MAGIC_SIZE 6

#endif
