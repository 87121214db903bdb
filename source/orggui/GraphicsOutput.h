#ifndef TUNEWRIGHT_GRAPHICSOUTPUT_H
#define TUNEWRIGHT_GRAPHICSOUTPUT_H

#include <cstdint>

#include <SDL.h>

#ifdef _WIN32
// Included here, before the class, so that its DrawText macro (DrawTextA) can be taken back.
#include <windows.h>
#undef DrawText
#endif

#include "Geometry.h"

// A region of a texture in normalised coordinates: (0, 0) is the image's top-left corner,
// (1, 1) its bottom-right one. Values outside 0 to 1 are kept as they are.
class TextureCoord
{
public:
    double X1;  // drawn at the rectangle's left edge
    double Y1;  // drawn at the rectangle's top edge
    double X2;  // drawn at the rectangle's right edge
    double Y2;  // drawn at the rectangle's bottom edge

    TextureCoord();                         // the whole texture
    explicit TextureCoord(double p_Scale);  // centred square of side p_Scale
    TextureCoord(double p_W, double p_H);   // centred p_W x p_H region
    TextureCoord(double p_X1, double p_Y1, double p_X2, double p_Y2);
    void Offset(double p_X, double p_Y);  // moves the region
};

// Horizontal alignment of a line of text against its anchor point.
enum Orientation : std::int32_t {
    FONT_LEFT = 0,    // anchor at the text's left end
    FONT_CENTER = 1,  // anchor at the text's middle
    FONT_RIGHT = 2    // anchor at the text's right end
};

// The drawing back end. The base class is a complete back end that draws nothing; the
// OpenGL one derives from it. Texture handles are opaque: only the back end that made one
// can read it, and null stands for no texture. Colours are four floats, RGBA, 0 to 1.
// Calling order: Init, LoadTexture per image, per frame DrawRect/DrawText then Update, Close.
class GraphicsOutput
{
public:
    // Opens a p_Width x p_Height drawing surface; true when it is ready.
    virtual bool Init(int p_Width, int p_Height, int p_PreferedBPP)
    {
        (void)p_Width;
        (void)p_Height;
        (void)p_PreferedBPP;
        return false;
    }

    // Turns a decoded image into a texture handle. The surface is handed over with the call,
    // so even this null back end releases it rather than leak it.
    virtual void* LoadTexture(SDL_Surface* p_Surface)
    {
        SDL_FreeSurface(p_Surface);
        return nullptr;
    }

    // Draws the texture region stretched over the screen rectangle, tinted by p_Color.
    virtual void DrawRect(void* p_Texture, TextureCoord p_TextureCoordinates, RectangleShape p_DrawRect,
                          float* p_Color)
    {
        (void)p_Texture;
        (void)p_TextureCoordinates;
        (void)p_DrawRect;
        (void)p_Color;
    }

    // Draws a zero-terminated line of text, its top at p_Point.Y, aligned on p_Point.X.
    virtual void DrawText(wchar_t* p_String, bool p_IsLarge, Position p_Point, Orientation p_Orientation)
    {
        (void)p_String;
        (void)p_IsLarge;
        (void)p_Point;
        (void)p_Orientation;
    }

    // Presents the frame drawn since the last Update and starts an empty one.
    virtual void Update() {}

    // Shuts the drawing surface down; nothing follows it.
    virtual void Close() {}
};

// The player's one back end; null until start-up stores it.
extern GraphicsOutput* g_GfxOut;

#endif
