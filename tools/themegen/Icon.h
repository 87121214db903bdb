#ifndef TUNEWRIGHT_THEMEGEN_ICON_H
#define TUNEWRIGHT_THEMEGEN_ICON_H

#include "Canvas.h"

// The player's icon, p_Size x p_Size with real alpha: a brushed aluminium tile holding a dark
// glass panel with two beamed notes in the volume slider's liquid blue. It is drawn from
// formulas at each size (not scaled from one picture), so small sizes stay crisp.
Canvas DrawIcon(int p_Size);

#endif
