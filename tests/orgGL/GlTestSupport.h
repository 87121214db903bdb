#ifndef TUNEWRIGHT_TESTS_GLTESTSUPPORT_H
#define TUNEWRIGHT_TESTS_GLTESTSUPPORT_H

// Shared by the tests that draw through the real OpenGL back end on an X server (Xvfb).
// SDL 1.2 has one window per process, so each test program opens it once and all its
// tests draw into it; every test starts from a black back buffer.

#include <cstdlib>
#include <cstring>
#include <vector>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "GraphicsOpenGL.h"

const int g_WindowW = 300;
const int g_WindowH = 350;

// The window, opened on first use; null (with the reason as a test failure) when it cannot be.
inline GraphicsOpenGL* TestWindow()
{
    static GraphicsOpenGL* s_Window = nullptr;
    static bool s_Tried = false;
    if (std::getenv("DISPLAY") == nullptr || std::getenv("DISPLAY")[0] == '\0') {
        ADD_FAILURE() << "DISPLAY is not set: these tests draw on an X server. Start one with\n"
                         "  Xvfb :99 -screen 0 1024x768x24 -noreset &\n  export DISPLAY=:99";
        return nullptr;
    }
    if (!s_Tried) {
        s_Tried = true;
        static GraphicsOpenGL s_Gl;
        // An X server started without -noreset resets when its last client leaves and refuses
        // connections meanwhile; when the previous test program has just quit, try again.
        for (int l_Try = 0; l_Try < 5 && s_Window == nullptr; ++l_Try) {
            if (s_Gl.Init(g_WindowW, g_WindowH, 32))
                s_Window = &s_Gl;
            else {
                SDL_Quit();
                SDL_Delay(200);
            }
        }
    }
    if (s_Window == nullptr)
        ADD_FAILURE() << "GraphicsOpenGL::Init(300, 350, 32) failed on DISPLAY=" << std::getenv("DISPLAY");
    else
        glClear(GL_COLOR_BUFFER_BIT);
    return s_Window;
}

struct Rgb
{
    int R, G, B;
};

inline bool Near(Rgb p_A, Rgb p_B, int p_Tolerance = 2)
{
    return std::abs(p_A.R - p_B.R) <= p_Tolerance && std::abs(p_A.G - p_B.G) <= p_Tolerance &&
           std::abs(p_A.B - p_B.B) <= p_Tolerance;
}

inline std::ostream& operator<<(std::ostream& p_Out, Rgb p_C)
{
    return p_Out << "(" << p_C.R << "," << p_C.G << "," << p_C.B << ")";
}

// The back buffer read back, addressed in window pixels (y down).
class Frame
{
public:
    Frame() : m_Bytes(g_WindowW * g_WindowH * 4)
    {
        glFinish();
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, g_WindowW, g_WindowH, GL_RGBA, GL_UNSIGNED_BYTE, m_Bytes.data());
    }
    Rgb At(int p_X, int p_Y) const
    {
        const unsigned char* l_P = &m_Bytes[((g_WindowH - 1 - p_Y) * g_WindowW + p_X) * 4];
        return {l_P[0], l_P[1], l_P[2]};
    }
    bool Lit(int p_X, int p_Y) const
    {
        Rgb l_C = At(p_X, p_Y);
        return l_C.R + l_C.G + l_C.B > 90;
    }

private:
    std::vector<unsigned char> m_Bytes;
};

// Texture handles stay reachable until the process ends, as they do in the player.
inline void* Keep(void* p_Handle)
{
    static std::vector<void*>* s_Handles = new std::vector<void*>;  // never destroyed
    s_Handles->push_back(p_Handle);
    return p_Handle;
}

// A p_W x p_H surface of 3 or 4 bytes per pixel, red mask as given, filled by p_Colour(x, y).
template <typename ColourOf>
SDL_Surface* MakeSurface(int p_W, int p_H, int p_Bytes, Uint32 p_Rmask, ColourOf p_Colour)
{
    Uint32 l_Bmask = p_Rmask == 0xFF ? 0xFF0000 : 0xFF;
    Uint32 l_Amask = p_Bytes == 4 ? 0xFF000000 : 0;
    SDL_Surface* l_S =
        SDL_CreateRGBSurface(SDL_SWSURFACE, p_W, p_H, p_Bytes * 8, p_Rmask, 0xFF00, l_Bmask, l_Amask);
    for (int l_Y = 0; l_Y < p_H; ++l_Y)
        for (int l_X = 0; l_X < p_W; ++l_X) {
            SDL_Color l_C = p_Colour(l_X, l_Y);
            Uint32 l_Value = SDL_MapRGBA(l_S->format, l_C.r, l_C.g, l_C.b, l_C.unused);
            Uint8* l_Pixel = static_cast<Uint8*>(l_S->pixels) + l_Y * l_S->pitch + l_X * p_Bytes;
            for (int l_I = 0; l_I < p_Bytes; ++l_I)
                l_Pixel[l_I] = static_cast<Uint8>(l_Value >> (8 * l_I));
        }
    return l_S;
}

inline SDL_Surface* Solid(Uint8 p_R, Uint8 p_G, Uint8 p_B, Uint8 p_A = 255)
{
    return MakeSurface(4, 4, 4, 0xFF, [&](int, int) { return SDL_Color{p_R, p_G, p_B, p_A}; });
}

#endif
