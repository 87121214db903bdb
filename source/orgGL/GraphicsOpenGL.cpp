#include "GraphicsOpenGL.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <GL/gl.h>

// Windows' OpenGL headers stop at version 1.1, where these are extension names of the same value.
#ifndef GL_BGRA
#define GL_BGRA GL_BGRA_EXT
#endif
#ifndef GL_BGR
#define GL_BGR GL_BGR_EXT
#endif

namespace {
const char* const g_FontPath = "gfx/FreeSans.ttf";

#if WCHAR_MAX <= 0xFFFF
// p_Text (UTF-16, as Expand makes it where wchar_t has 16 bits) in UTF-8; a lone surrogate, which
// Expand never makes, becomes U+FFFD. FTGL reads a 16-bit wide string's surrogate pairs as two
// characters, but decodes UTF-8 whole.
std::string Utf8Of(const wchar_t* p_Text)
{
    std::string l_Out;
    for (; *p_Text != 0; ++p_Text) {
        char32_t l_Char = char32_t(*p_Text) & 0xFFFF;
        if (l_Char >= 0xD800 && l_Char < 0xDC00 && (char32_t(p_Text[1]) & 0xFC00) == 0xDC00)
            l_Char = 0x10000 + ((l_Char - 0xD800) << 10) + (char32_t(*++p_Text) & 0x3FF);
        else if (l_Char >= 0xD800 && l_Char < 0xE000)
            l_Char = 0xFFFD;
        if (l_Char < 0x80) {
            l_Out += char(l_Char);
        } else if (l_Char < 0x800) {
            l_Out += char(0xC0 | (l_Char >> 6));
            l_Out += char(0x80 | (l_Char & 0x3F));
        } else if (l_Char < 0x10000) {
            l_Out += char(0xE0 | (l_Char >> 12));
            l_Out += char(0x80 | ((l_Char >> 6) & 0x3F));
            l_Out += char(0x80 | (l_Char & 0x3F));
        } else {
            l_Out += char(0xF0 | (l_Char >> 18));
            l_Out += char(0x80 | ((l_Char >> 12) & 0x3F));
            l_Out += char(0x80 | ((l_Char >> 6) & 0x3F));
            l_Out += char(0x80 | (l_Char & 0x3F));
        }
    }
    return l_Out;
}
#endif

const char g_PaletteWarning[] =
    "Warning: Pallete textures encountered.\nThis is not recommended for use in modern OpenGL.\n";

// Opens one font face; a file FreeType cannot read gives null, so text simply draws nothing.
FTGLTextureFont* OpenFont(unsigned int p_Size)
{
    FTGLTextureFont* l_Font = new FTGLTextureFont(g_FontPath);
    if (l_Font->Error() != 0) {
        delete l_Font;
        return nullptr;
    }
    l_Font->FaceSize(p_Size, 72);
    l_Font->Depth(20.0f);
    l_Font->CharMap(FT_ENCODING_UNICODE);
    return l_Font;
}

// A copy of p_Surface with 4-byte RGBA pixels (red in the lowest-addressed byte).
SDL_Surface* ConvertToRgba(SDL_Surface* p_Surface)
{
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    const Uint32 l_R = 0x000000FF, l_G = 0x0000FF00, l_B = 0x00FF0000, l_A = 0xFF000000;
#else
    const Uint32 l_R = 0xFF000000, l_G = 0x00FF0000, l_B = 0x0000FF00, l_A = 0x000000FF;
#endif
    SDL_Surface* l_Model = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, l_R, l_G, l_B, l_A);
    if (l_Model == nullptr)
        return nullptr;
    // A colour key becomes transparency, since the target format has alpha.
    SDL_Surface* l_Converted = SDL_ConvertSurface(p_Surface, l_Model->format, SDL_SWSURFACE);
    SDL_FreeSurface(l_Model);
    return l_Converted;
}

// Uploads the surface's pixels into the bound texture. SDL pads rows to its own pitch, so
// the unpack row length and alignment are set to walk those rows exactly; a pitch that
// neither can express is repacked first.
void UploadPixels(SDL_Surface* p_Surface, int p_Bytes, GLenum p_Layout)
{
    const int l_Width = p_Surface->w;
    const int l_Height = p_Surface->h;
    const int l_Pitch = p_Surface->pitch;
    const int l_RowBytes = l_Width * p_Bytes;
    const unsigned char* l_Pixels = static_cast<const unsigned char*>(p_Surface->pixels);
    std::vector<unsigned char> l_Packed;

    GLint l_RowLength = 0;
    GLint l_Alignment = 0;
    for (GLint l_Try : {1, 2, 4, 8})
        if ((l_RowBytes + l_Try - 1) / l_Try * l_Try == l_Pitch) {
            l_Alignment = l_Try;
            break;
        }
    if (l_Alignment == 0 && l_Pitch % p_Bytes == 0 && l_Pitch >= l_RowBytes) {
        l_Alignment = 1;
        l_RowLength = l_Pitch / p_Bytes;
    }
    if (l_Alignment == 0) {
        l_Packed.resize(static_cast<std::size_t>(l_RowBytes) * l_Height);
        for (int l_Row = 0; l_Row < l_Height; ++l_Row)
            std::memcpy(&l_Packed[static_cast<std::size_t>(l_Row) * l_RowBytes],
                        l_Pixels + static_cast<std::ptrdiff_t>(l_Row) * l_Pitch, l_RowBytes);
        l_Pixels = l_Packed.data();
        l_Alignment = 1;
    }

    glPixelStorei(GL_UNPACK_ROW_LENGTH, l_RowLength);
    glPixelStorei(GL_UNPACK_ALIGNMENT, l_Alignment);
    // First surface row becomes texture row 0, which the projection shows at the top.
    glTexImage2D(GL_TEXTURE_2D, 0, p_Bytes, l_Width, l_Height, 0, p_Layout, GL_UNSIGNED_BYTE, l_Pixels);
    // Back to GL's defaults, which the font code expects.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}
}  // namespace

GraphicsOpenGL::GraphicsOpenGL() : screen(nullptr), fontsmall(nullptr), fontlarge(nullptr), Ready(false) {}

bool GraphicsOpenGL::Init(int p_Width, int p_Height, int p_PreferedBPP)
{
    if (Ready)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::printf("Error.\n%s\n--\nThe graphics context has not been created.\n--\n\n", SDL_GetError());
        std::fflush(stdout);
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Vertical sync, so that a loop presenting frames is paced by the display.
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    screen = SDL_SetVideoMode(p_Width, p_Height, p_PreferedBPP, SDL_OPENGL);
    if (screen == nullptr) {
        std::fputs(
            "Error.\nUnknown SDL/OpenGL failure.\n--\nThe graphics context has not been created.\n--\n\n",
            stdout);
        std::fflush(stdout);
        return false;
    }

    glClearColor(0, 0, 0, 0);
    glViewport(0, 0, p_Width, p_Height);
    // One unit per window pixel, origin at the top-left corner, y growing downward.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, p_Width, p_Height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT);
    glDepthFunc(GL_ALWAYS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    fontlarge = OpenFont(24);
    fontsmall = OpenFont(12);
    Ready = true;
    return true;
}

void* GraphicsOpenGL::LoadTexture(SDL_Surface* p_Surface)
{
    if (p_Surface == nullptr)
        return nullptr;
    if (!Ready) {
        SDL_FreeSurface(p_Surface);  // handed over with the call, even when unused
        return nullptr;
    }

    SDL_Surface* l_Surface = p_Surface;
    int l_Bytes = l_Surface->format->BytesPerPixel;
    GLenum l_Layout = GL_RGBA;
    if (l_Bytes == 4)
        l_Layout = l_Surface->format->Rmask == 0xFF ? GL_RGBA : GL_BGRA;
    else if (l_Bytes == 3)
        l_Layout = l_Surface->format->Rmask == 0xFF ? GL_RGB : GL_BGR;
    else {
        std::fwrite(g_PaletteWarning, 1, sizeof g_PaletteWarning - 1, stderr);
        l_Surface = ConvertToRgba(p_Surface);
        SDL_FreeSurface(p_Surface);
        if (l_Surface == nullptr)
            return nullptr;
        l_Bytes = 4;
        l_Layout = GL_RGBA;
    }

    GLuint* l_Cell = new GLuint(0);
    glGenTextures(1, l_Cell);
    glBindTexture(GL_TEXTURE_2D, *l_Cell);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    bool l_Locked = SDL_MUSTLOCK(l_Surface) && SDL_LockSurface(l_Surface) == 0;
    UploadPixels(l_Surface, l_Bytes, l_Layout);
    if (l_Locked)
        SDL_UnlockSurface(l_Surface);
    SDL_FreeSurface(l_Surface);
    return l_Cell;
}

void GraphicsOpenGL::DrawRect(void* p_Texture, TextureCoord p_TextureCoordinates, RectangleShape p_DrawRect,
                              float* p_Color)
{
    if (!Ready || p_Texture == nullptr || p_Color == nullptr)
        return;
    const TextureCoord& l_T = p_TextureCoordinates;
    const RectangleShape& l_R = p_DrawRect;
    glBindTexture(GL_TEXTURE_2D, *static_cast<GLuint*>(p_Texture));
    glColor4f(p_Color[0], p_Color[1], p_Color[2], p_Color[3]);  // stays current: text uses it
    glBegin(GL_QUADS);
    glTexCoord2f(static_cast<float>(l_T.X1), static_cast<float>(l_T.Y1));
    glVertex2f(static_cast<float>(l_R.X), static_cast<float>(l_R.Y));
    glTexCoord2f(static_cast<float>(l_T.X2), static_cast<float>(l_T.Y1));
    glVertex2f(static_cast<float>(l_R.X + l_R.W), static_cast<float>(l_R.Y));
    glTexCoord2f(static_cast<float>(l_T.X2), static_cast<float>(l_T.Y2));
    glVertex2f(static_cast<float>(l_R.X + l_R.W), static_cast<float>(l_R.Y + l_R.H));
    glTexCoord2f(static_cast<float>(l_T.X1), static_cast<float>(l_T.Y2));
    glVertex2f(static_cast<float>(l_R.X), static_cast<float>(l_R.Y + l_R.H));
    glEnd();
}

void GraphicsOpenGL::DrawText(wchar_t* p_String, bool p_IsLarge, Position p_Point, Orientation p_Orientation)
{
    FTGLTextureFont* l_Font = p_IsLarge ? fontlarge : fontsmall;
    if (!Ready || l_Font == nullptr || p_String == nullptr)
        return;
#if WCHAR_MAX <= 0xFFFF
    const std::string l_Utf8 = Utf8Of(p_String);
    const char* l_Text = l_Utf8.c_str();
#else
    const wchar_t* l_Text = p_String;
#endif
    glPushMatrix();
    float l_Llx, l_Lly, l_Llz, l_Urx, l_Ury, l_Urz;
    l_Font->BBox(l_Text, l_Llx, l_Lly, l_Llz, l_Urx, l_Ury, l_Urz);
    // The font's y axis points up: the baseline goes ury below the anchor, so the top of the
    // box lies on the anchor.
    glTranslatef(static_cast<float>(p_Point.X), static_cast<float>(p_Point.Y + l_Ury), 0);
    // Width is measured from the pen's start to the box's right edge.
    if (p_Orientation == FONT_CENTER)
        glTranslatef(l_Urx / -2, 0, 0);
    else if (p_Orientation == FONT_RIGHT)
        glTranslatef(-l_Urx, 0, 0);
    glScalef(1, -1, 1);
    l_Font->Render(l_Text);
    glPopMatrix();
}

void GraphicsOpenGL::Update()
{
    if (!Ready)
        return;
    SDL_GL_SwapBuffers();
    glClear(GL_COLOR_BUFFER_BIT);  // every frame starts black
}

void GraphicsOpenGL::Close()
{
    if (!Ready)
        return;
    Ready = false;
    SDL_Quit();
}
