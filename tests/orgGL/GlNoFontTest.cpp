// The OpenGL back end started where "gfx/FreeSans.ttf" does not exist: the window opens,
// rectangles draw, text draws nothing.
#include <fstream>

#include "GlTestSupport.h"

TEST(GlNoFontTest, WindowOpensAndTextDrawsNothing)
{
    ASSERT_FALSE(std::ifstream("gfx/FreeSans.ttf").good()) << "run this test where there is no font";
    GraphicsOpenGL* l_Gl = TestWindow(); // Init must succeed without the font
    ASSERT_NE(l_Gl, nullptr);
    float l_Grey[4] = {0.5f, 0.5f, 0.5f, 1};
    wchar_t l_Text[] = L"Tunewright";
    l_Gl->DrawRect(Keep(l_Gl->LoadTexture(Solid(255, 255, 255))), TextureCoord(), RectangleShape(0, 0, 300, 100), l_Grey);
    l_Gl->DrawText(l_Text, false, Position(150, 200), FONT_CENTER);
    l_Gl->DrawText(l_Text, true, Position(150, 250), FONT_LEFT);
    Frame l_Frame;
    EXPECT_TRUE(Near(l_Frame.At(150, 50), {128, 128, 128})) << l_Frame.At(150, 50);
    for (int l_Y = 100; l_Y < g_WindowH; ++l_Y)
        for (int l_X = 0; l_X < g_WindowW; ++l_X)
            ASSERT_FALSE(l_Frame.Lit(l_X, l_Y)) << l_X << "," << l_Y;
}
