#ifndef TUNEWRIGHT_GRAPHICSOPENGL_H
#define TUNEWRIGHT_GRAPHICSOPENGL_H

#include <SDL.h>
#include <FTGL/ftgl.h>

#include "GraphicsOutput.h"

// The player's working back end: an SDL 1.2 window with an OpenGL 1.x context, one
// immediate-mode quad per rectangle, FTGL texture fonts from "gfx/FreeSans.ttf" at 12 and 24
// pixels. The projection is one unit per window pixel, origin top-left, y downward; alpha
// blending is on and later drawing covers earlier drawing.
//
// A texture handle is the address of a cell holding one GL texture name. A null handle
// draws nothing; until Init succeeds (and after Close) every other operation does nothing.
class GraphicsOpenGL : public GraphicsOutput
{
public:
    GraphicsOpenGL();

    // Opens the window; prints "Error.\n..." on standard output and returns false when SDL or
    // the OpenGL context cannot be set up. A missing font still gives true (text then draws
    // nothing).
    bool Init(int p_Width, int p_Height, int p_PreferedBPP) override;

    // Uploads and frees the surface. 3- and 4-byte pixels go up as they are (red mask 0xFF
    // means RGB order, else BGR); other depths print a warning and are converted to RGBA.
    void* LoadTexture(SDL_Surface* p_Surface) override;

    void DrawRect(void* p_Texture, TextureCoord p_TextureCoordinates, RectangleShape p_DrawRect,
                  float* p_Color) override;

    // Text takes the current colour, which is that of the most recent DrawRect.
    void DrawText(wchar_t* p_String, bool p_IsLarge, Position p_Point, Orientation p_Orientation) override;

    // Swaps buffers and clears the new back buffer to black.
    void Update() override;

    void Close() override;

private:
    SDL_Surface* screen;        // the video surface, owned by SDL
    FTGLTextureFont* fontsmall; // 12 pixels; null when the font file did not load
    FTGLTextureFont* fontlarge; // 24 pixels; null when the font file did not load
    bool Ready;                 // Init succeeded and Close has not run
};

#endif
