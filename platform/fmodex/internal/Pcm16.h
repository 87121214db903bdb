// How the engine turns a float sample into a 16-bit one, for the mixer and for the programs that
// convert floats the engine mixed (the renderer's stems) so that they match its own 16-bit mix.
#ifndef TUNEWRIGHT_SOUND_PCM16_H
#define TUNEWRIGHT_SOUND_PCM16_H

#include <algorithm>
#include <cstdint>

// Saturates instead of wrapping; a NaN (only possible from absurd volumes) comes out as full
// negative scale rather than undefined behaviour. Offset to positive so that truncation rounds to
// nearest.
inline std::int16_t ToPcm16(float p_Value)
{
    const float l_Offset = std::max(0.0f, std::min(p_Value * 32768.0f + 32768.5f, 65535.5f));
    return std::int16_t(int(l_Offset) - 32768);
}

#endif
