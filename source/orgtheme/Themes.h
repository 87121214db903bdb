#ifndef TUNEWRIGHT_THEMES_H
#define TUNEWRIGHT_THEMES_H

#include <cstdint>
#include <string>
#include <vector>

#include "GraphicsOutput.h"

// A theme is a directory under "./gfx/" holding "bg.png" and "volumeslider.png".

// Slots of g_ThemeBitmaps.
enum THEME_BITMAPS : std::int32_t
{
    BACKGROUND = 0,   // the theme's bg.png
    VOLUMESLIDER = 1, // the theme's volumeslider.png: bar in the left 7/8, knob in the right 1/8
    BUTTON = 2,       // never loaded
    PROGRESSBAR = 3   // never loaded
};

// Texture handles of the current theme; slots 2 to 11 stay null.
extern void* g_ThemeBitmaps[12];

// Directory name of the current theme.
extern std::string g_CurrentTheme;

// Entries of "./gfx/" in listing order, hidden ones left out; a theme is its index here.
extern std::vector<std::string> g_Themes;

// Rebuilds g_Themes from "./gfx/"; an unreadable directory leaves it empty.
void GetThemes();

// Loads theme p_ThemeID's two images through p_GfxOut into slots BACKGROUND and VOLUMESLIDER.
// An index outside g_Themes changes nothing; an image that cannot be loaded leaves its slot null.
void SetTheme(int p_ThemeID, GraphicsOutput* p_GfxOut);

#endif
