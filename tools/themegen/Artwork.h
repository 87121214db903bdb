#ifndef TUNEWRIGHT_THEMEGEN_ARTWORK_H
#define TUNEWRIGHT_THEMEGEN_ARTWORK_H

#include "Canvas.h"

// The "Liquid Aluminum" theme, drawn from formulas. The player's window is 300 x 350; the
// song title is white small text centred at y 100 and the volume slider spans x 45..245,
// y 235..285, so the background keeps a dark panel behind the one and a groove under the other.

// bg.png: 300 x 350, opaque brushed aluminium.
Canvas DrawBackground();

// volumeslider.png: 256 x 64 with real alpha; the bar fills the left seven eighths
// (x 0..223) and the knob the right eighth (x 224..255). Each keeps a transparent margin,
// so linear filtering at their shared edge and at the wrapped texture edges blends in nothing.
Canvas DrawVolumeSlider();

#endif
