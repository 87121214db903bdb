// The OpenGL back end drawing for real (Xvfb, Mesa's software renderer), checked by reading
// the back buffer. Runs in the data folder, where "gfx/FreeSans.ttf" and the theme lie.
#include <algorithm>
#include <string>

#include "GlTestSupport.h"
#include "Themes.h"
#include "Widgets.h"

namespace
{
float g_White[4] = {1, 1, 1, 1};
const Rgb g_Black = {0, 0, 0};
// Texels drawn this many pixels wide: odd, so each texel centre falls on a pixel centre
// and linear filtering returns the texel itself.
const int g_Cell = 21;

// Red, green, blue and white quadrants, 64 x 64.
void* QuadrantTexture(GraphicsOpenGL* p_Gl)
{
    return Keep(p_Gl->LoadTexture(MakeSurface(64, 64, 4, 0xFF, [](int p_X, int p_Y) {
        const SDL_Color l_Quadrants[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
        return l_Quadrants[(p_Y >= 32) * 2 + (p_X >= 32)];
    })));
}

// Bounding box of the lit pixels of a frame.
struct Ink
{
    int Left = g_WindowW, Top = g_WindowH, Right = -1, Bottom = -1;
};

Ink FindInk(const Frame& p_Frame)
{
    Ink l_Ink;
    for (int l_Y = 0; l_Y < g_WindowH; ++l_Y)
        for (int l_X = 0; l_X < g_WindowW; ++l_X)
            if (p_Frame.Lit(l_X, l_Y))
            {
                l_Ink.Left = std::min(l_Ink.Left, l_X);
                l_Ink.Right = std::max(l_Ink.Right, l_X + 1);
                l_Ink.Top = std::min(l_Ink.Top, l_Y);
                l_Ink.Bottom = std::max(l_Ink.Bottom, l_Y + 1);
            }
    return l_Ink;
}
} // namespace

TEST(GlDrawTest, TexturedRectangleCoversExactlyItsRectangleUpright)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    l_Gl->DrawRect(QuadrantTexture(l_Gl), TextureCoord(), RectangleShape(40, 60, 100, 80), g_White);
    Frame l_Frame;
    EXPECT_TRUE(Near(l_Frame.At(50, 70), {255, 0, 0})) << l_Frame.At(50, 70);
    EXPECT_TRUE(Near(l_Frame.At(130, 70), {0, 255, 0})) << l_Frame.At(130, 70);
    EXPECT_TRUE(Near(l_Frame.At(50, 130), {0, 0, 255})) << l_Frame.At(50, 130);
    EXPECT_TRUE(Near(l_Frame.At(130, 130), {255, 255, 255})) << l_Frame.At(130, 130);
    for (auto [l_X, l_Y] : {std::pair{40, 60}, {139, 60}, {40, 139}, {139, 139}})
        EXPECT_TRUE(l_Frame.Lit(l_X, l_Y)) << l_X << "," << l_Y;
    for (auto [l_X, l_Y] : {std::pair{39, 100}, {140, 100}, {90, 59}, {90, 140}})
        EXPECT_TRUE(Near(l_Frame.At(l_X, l_Y), g_Black)) << l_X << "," << l_Y;
}

TEST(GlDrawTest, ColourTintsTheTextureAndItsAlphaBlends)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    float l_Tint[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(255, 255, 255))), TextureCoord(), RectangleShape(0, 0, 50, 50), l_Tint);
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(128, 200, 40))), TextureCoord(), RectangleShape(0, 50, 50, 50), l_Tint);
    // Over opaque red: a half-transparent blue texel, an opaque blue one at half the colour's
    // alpha, and a fully transparent one.
    void* l_Red = Keep(l_Gl->LoadTexture(Solid(255, 0, 0)));
    l_Gl->DrawRect(l_Red, TextureCoord(), RectangleShape(100, 0, 150, 50), g_White);
    float l_HalfAlpha[4] = {1, 1, 1, 0.5f};
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(0, 0, 255, 128))), TextureCoord(), RectangleShape(100, 0, 50, 50), g_White);
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(0, 0, 255))), TextureCoord(), RectangleShape(150, 0, 50, 50), l_HalfAlpha);
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(0, 255, 0, 0))), TextureCoord(), RectangleShape(200, 0, 50, 50), g_White);
    Frame l_Frame;
    EXPECT_TRUE(Near(l_Frame.At(25, 25), {255, 128, 64})) << l_Frame.At(25, 25);
    EXPECT_TRUE(Near(l_Frame.At(25, 75), {128, 100, 10})) << l_Frame.At(25, 75);
    EXPECT_TRUE(Near(l_Frame.At(125, 25), {127, 0, 128})) << l_Frame.At(125, 25);
    EXPECT_TRUE(Near(l_Frame.At(175, 25), {127, 0, 128})) << l_Frame.At(175, 25);
    EXPECT_TRUE(Near(l_Frame.At(225, 25), {255, 0, 0})) << l_Frame.At(225, 25);
}

TEST(GlDrawTest, EveryPixelLayoutGivesTheSameColours)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    const SDL_Color l_Colours[4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    auto l_Strip = [&](int p_X, int) { return l_Colours[p_X]; };
    struct Layout
    {
        int Bytes;
        Uint32 Rmask;
    } const l_Layouts[] = {{4, 0xFF}, {4, 0xFF0000}, {3, 0xFF}, {3, 0xFF0000}};
    int l_Row = 0;
    for (const Layout& l_Layout : l_Layouts)
        l_Gl->DrawRect(Keep(l_Gl->LoadTexture(MakeSurface(4, 1, l_Layout.Bytes, l_Layout.Rmask, l_Strip))),
                       TextureCoord(), RectangleShape(0, g_Cell * l_Row++, 4 * g_Cell, g_Cell), g_White);

    // Palette and 16-bit pixels warn, then go up converted.
    SDL_Surface* l_Palette = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 1, 8, 0, 0, 0, 0);
    SDL_SetColors(l_Palette, const_cast<SDL_Color*>(l_Colours), 0, 4);
    for (Uint8 l_X = 0; l_X < 4; ++l_X)
        static_cast<Uint8*>(l_Palette->pixels)[l_X] = l_X;
    SDL_Surface* l_Short = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
    for (int l_X = 0; l_X < 4; ++l_X)
        static_cast<Uint16*>(l_Short->pixels)[l_X] =
            static_cast<Uint16>(SDL_MapRGB(l_Short->format, l_Colours[l_X].r, l_Colours[l_X].g, l_Colours[l_X].b));
    for (SDL_Surface* l_Surface : {l_Palette, l_Short})
    {
        testing::internal::CaptureStderr();
        void* l_Handle = Keep(l_Gl->LoadTexture(l_Surface));
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Warning: Pallete textures encountered.\nThis is not recommended for use in modern OpenGL.\n");
        ASSERT_NE(l_Handle, nullptr);
        l_Gl->DrawRect(l_Handle, TextureCoord(), RectangleShape(0, g_Cell * l_Row++, 4 * g_Cell, g_Cell), g_White);
    }

    Frame l_Frame;
    for (int l_Strip = 0; l_Strip < l_Row; ++l_Strip)
        for (int l_X = 0; l_X < 4; ++l_X)
        {
            Rgb l_Want = {l_Colours[l_X].r, l_Colours[l_X].g, l_Colours[l_X].b};
            Rgb l_Got = l_Frame.At(g_Cell * l_X + g_Cell / 2, g_Cell * l_Strip + g_Cell / 2);
            int l_Tolerance = l_Strip == 5 ? 8 : 2; // 5-bit channels widen to 248, not 255
            EXPECT_TRUE(Near(l_Got, l_Want, l_Tolerance)) << "strip " << l_Strip << " cell " << l_X << ": " << l_Got;
        }
}

TEST(GlDrawTest, PaddedRowsUploadUnskewed)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    auto l_Colour = [](int p_X, int p_Y) {
        return SDL_Color{static_cast<Uint8>(50 * p_X + 20), static_cast<Uint8>(60 * p_Y + 10),
                         static_cast<Uint8>(200 - 40 * p_X), 255};
    };
    // Odd width, 3 bytes: SDL pads each 15-byte row to 16.
    SDL_Surface* l_Padded = MakeSurface(5, 4, 3, 0xFF, l_Colour);
    ASSERT_EQ(l_Padded->pitch, 16);
    // Caller-owned pixels with a pitch of 20 (4 bytes) and of 11 (3 bytes).
    std::vector<Uint8> l_Wide(20 * 4), l_Odd(11 * 4);
    for (int l_Y = 0; l_Y < 4; ++l_Y)
        for (int l_X = 0; l_X < 3; ++l_X)
        {
            SDL_Color l_C = l_Colour(l_X, l_Y);
            Uint8 l_Rgba[4] = {l_C.r, l_C.g, l_C.b, 255};
            std::copy(l_Rgba, l_Rgba + 4, &l_Wide[l_Y * 20 + l_X * 4]);
            std::copy(l_Rgba, l_Rgba + 3, &l_Odd[l_Y * 11 + l_X * 3]);
        }
    struct Case
    {
        SDL_Surface* Surface;
        int Width;
    } const l_Cases[] = {
        {l_Padded, 5},
        {SDL_CreateRGBSurfaceFrom(l_Wide.data(), 3, 4, 32, 20, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), 3},
        {SDL_CreateRGBSurfaceFrom(l_Odd.data(), 3, 4, 24, 11, 0xFF, 0xFF00, 0xFF0000, 0), 3}};
    int l_Left = 0;
    for (const Case& l_Case : l_Cases)
    {
        l_Gl->DrawRect(Keep(l_Gl->LoadTexture(l_Case.Surface)), TextureCoord(),
                       RectangleShape(l_Left, 0, g_Cell * l_Case.Width, 4 * g_Cell), g_White);
        l_Left += g_Cell * l_Case.Width;
    }
    Frame l_Frame;
    l_Left = 0;
    for (const Case& l_Case : l_Cases)
    {
        for (int l_Y = 0; l_Y < 4; ++l_Y)
            for (int l_X = 0; l_X < l_Case.Width; ++l_X)
            {
                SDL_Color l_C = l_Colour(l_X, l_Y);
                Rgb l_Got = l_Frame.At(l_Left + g_Cell * l_X + g_Cell / 2, g_Cell * l_Y + g_Cell / 2);
                EXPECT_TRUE(Near(l_Got, {l_C.r, l_C.g, l_C.b})) << "width " << l_Case.Width << " texel " << l_X
                                                                  << "," << l_Y << ": " << l_Got;
            }
        l_Left += g_Cell * l_Case.Width;
    }
}

TEST(GlDrawTest, NullHandlesAndSurfacesAreSkippedQuietly)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(l_Gl->LoadTexture(nullptr), nullptr);
    l_Gl->DrawRect(nullptr, TextureCoord(), RectangleShape(300, 350), g_White);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    Ink l_Ink = FindInk(Frame());
    EXPECT_EQ(l_Ink.Right, -1);
    // Real surfaces get handles of their own, naming different textures.
    void* l_A = Keep(l_Gl->LoadTexture(Solid(1, 2, 3)));
    void* l_B = Keep(l_Gl->LoadTexture(Solid(1, 2, 3)));
    ASSERT_TRUE(l_A != nullptr && l_B != nullptr);
    EXPECT_NE(l_A, l_B);
    EXPECT_NE(*static_cast<GLuint*>(l_A), *static_cast<GLuint*>(l_B));
}

TEST(GlDrawTest, TextLandsWhereItsMeasuredBoxPutsIt)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    wchar_t l_Text[] = L"Tunewright 0.5";
    struct Case
    {
        bool Large;
        Orientation Align;
        double X, Y;
    } const l_Cases[] = {{false, FONT_CENTER, 150, 100}, {true, FONT_RIGHT, 290, 200}, {false, FONT_LEFT, 10, 300}};
    for (const Case& l_Case : l_Cases)
    {
        SCOPED_TRACE(testing::Message() << "alignment " << l_Case.Align);
        FTGLTextureFont l_Font("gfx/FreeSans.ttf");
        ASSERT_EQ(l_Font.Error(), 0);
        l_Font.FaceSize(l_Case.Large ? 24 : 12, 72);
        FTBBox l_Box = l_Font.BBox(l_Text);
        double l_Pen = l_Case.X - (l_Case.Align == FONT_CENTER ? l_Box.Upper().X() / 2
                                   : l_Case.Align == FONT_RIGHT ? l_Box.Upper().X() : 0.0);

        glClear(GL_COLOR_BUFFER_BIT);
        void* l_Red = Keep(l_Gl->LoadTexture(Solid(255, 0, 0)));
        float l_RedTint[4] = {1, 0.2f, 0.2f, 1};
        l_Gl->DrawRect(l_Red, TextureCoord(), RectangleShape(-10, -10, 5, 5), l_RedTint); // off screen
        l_Gl->DrawText(l_Text, l_Case.Large, Position(l_Case.X, l_Case.Y), l_Case.Align);
        Frame l_Frame;
        Ink l_Ink = FindInk(l_Frame);
        EXPECT_NEAR(l_Ink.Left, l_Pen + l_Box.Lower().X(), 1.5);
        EXPECT_NEAR(l_Ink.Right, l_Pen + l_Box.Upper().X(), 1.5);
        EXPECT_NEAR(l_Ink.Top, l_Case.Y, 1.5);
        EXPECT_NEAR(l_Ink.Bottom, l_Case.Y + l_Box.Upper().Y() - l_Box.Lower().Y(), 1.5);
        // The text takes the colour of the last rectangle: red.
        for (int l_Y = l_Ink.Top; l_Y < l_Ink.Bottom; ++l_Y)
            for (int l_X = l_Ink.Left; l_X < l_Ink.Right; ++l_X)
                EXPECT_LE(l_Frame.At(l_X, l_Y).G, 0.2 * l_Frame.At(l_X, l_Y).R + 2);
    }
}

TEST(GlDrawTest, TextIsUprightAndLeavesTheMatrixAsItFoundIt)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(255, 255, 255))), TextureCoord(), RectangleShape(-10, -10, 5, 5),
                   g_White);
    GLfloat l_Before[16], l_After[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, l_Before);
    wchar_t l_T[] = L"T", l_Empty[] = L"";
    l_Gl->DrawText(l_Empty, true, Position(150, 150), FONT_CENTER);
    EXPECT_EQ(FindInk(Frame()).Right, -1);
    l_Gl->DrawText(l_T, true, Position(150, 150), FONT_CENTER);
    glGetFloatv(GL_MODELVIEW_MATRIX, l_After);
    EXPECT_TRUE(std::equal(l_Before, l_Before + 16, l_After));
    // A "T" is wide at the top and narrow at the bottom.
    Frame l_Frame;
    Ink l_Ink = FindInk(l_Frame);
    ASSERT_GT(l_Ink.Bottom - l_Ink.Top, 10);
    auto l_Width = [&](int p_Y) {
        int l_Count = 0;
        for (int l_X = l_Ink.Left; l_X < l_Ink.Right; ++l_X)
            l_Count += l_Frame.Lit(l_X, p_Y);
        return l_Count;
    };
    EXPECT_GT(l_Width(l_Ink.Top + 1), 2 * l_Width(l_Ink.Bottom - 2));
    EXPECT_TRUE(Near(l_Frame.At((l_Ink.Left + l_Ink.Right) / 2, l_Ink.Top + 1), {255, 255, 255}, 40));
}

TEST(GlDrawTest, UpdateLeavesABlackBackBuffer)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(255, 255, 255))), TextureCoord(), RectangleShape(300, 350), g_White);
    ASSERT_TRUE(Near(Frame().At(150, 175), {255, 255, 255}));
    l_Gl->Update();
    EXPECT_EQ(FindInk(Frame()).Right, -1);
}

TEST(GlDrawTest, BundledThemeLoadsAndDrawsWithTheSlider)
{
    GraphicsOpenGL* l_Gl = TestWindow();
    ASSERT_NE(l_Gl, nullptr);
    GetThemes();
    auto l_Found = std::find(g_Themes.begin(), g_Themes.end(), "Liquid Aluminum");
    ASSERT_NE(l_Found, g_Themes.end());
    SetTheme(static_cast<int>(l_Found - g_Themes.begin()), l_Gl);
    ASSERT_NE(g_ThemeBitmaps[BACKGROUND], nullptr);
    ASSERT_NE(g_ThemeBitmaps[VOLUMESLIDER], nullptr);
    for (int l_Slot = 2; l_Slot < 12; ++l_Slot)
        EXPECT_EQ(g_ThemeBitmaps[l_Slot], nullptr);

    // One frame as the player draws it.
    VolumeSlider l_Slider(0.0f, 1.0f, 0.5f, [](float) {});
    l_Slider.SetDimensions(45, 235, 200, 50);
    g_GfxOut = l_Gl;
    l_Gl->DrawRect(g_ThemeBitmaps[BACKGROUND], TextureCoord(), RectangleShape(300, 350), g_White);
    l_Slider.Draw();
    g_GfxOut = nullptr;
    Frame l_Frame;
    Rgb l_Metal = l_Frame.At(150, 30), l_Panel = l_Frame.At(150, 108), l_Bar = l_Frame.At(90, 260),
        l_Knob = l_Frame.At(145, 250);
    EXPECT_GT(l_Metal.R, 120) << l_Metal;
    EXPECT_LT(l_Panel.R + l_Panel.G + l_Panel.B, 150) << l_Panel;
    EXPECT_GT(l_Bar.B, l_Bar.R + 60) << l_Bar;
    EXPECT_GT(l_Knob.R, 120) << l_Knob;
    EXPECT_LT(std::abs(l_Knob.R - l_Knob.B), 40) << l_Knob;
}
