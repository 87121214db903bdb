#ifndef TUNEWRIGHT_THEMEGEN_METAL_H
#define TUNEWRIGHT_THEMEGEN_METAL_H

#include <cstdint>
#include <vector>

#include "Canvas.h"

// What the theme and the icon share: the colour of our aluminium and its brushed grain.

// A grey of level p_Level (0..1) with the cool tint anodised aluminium has.
Colour Grey(float p_Level, float p_Alpha = 1.0f);

// Fine streaks along x (or along y when p_Vertical), p_Width x p_Height values of about -1..1:
// each line has its own offset and drifts slowly along its length, which reads as brushed metal.
std::vector<float> Streaks(int p_Width, int p_Height, bool p_Vertical, std::uint32_t p_Seed);

#endif
