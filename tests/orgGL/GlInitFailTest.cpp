// The OpenGL back end when no window can be made (no X server needed): Init reports the
// failure on standard output and returns false, and every later operation does nothing.
#include <cstdlib>
#include <string>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "GraphicsOpenGL.h"

namespace
{
const std::string g_Tail = "\n--\nThe graphics context has not been created.\n--\n\n";

// Whatever follows a failed Init is ignored; the surface is still released.
void ExpectInert(GraphicsOpenGL& p_Gl)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    SDL_Surface* l_Palette = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 8, 0, 0, 0, 0);
    EXPECT_EQ(p_Gl.LoadTexture(l_Palette), nullptr); // no warning either: nothing is uploaded
    EXPECT_EQ(p_Gl.LoadTexture(nullptr), nullptr);
    float l_White[4] = {1, 1, 1, 1};
    wchar_t l_Text[] = L"x";
    GLuint l_Name = 1;
    p_Gl.DrawRect(&l_Name, TextureCoord(), RectangleShape(300, 350), l_White);
    p_Gl.DrawText(l_Text, true, Position(0, 0), FONT_CENTER);
    p_Gl.Update();
    p_Gl.Close();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
} // namespace

TEST(GlInitFailTest, NoVideoModeWithOpenGL)
{
    // SDL's dummy video driver starts but offers no OpenGL context.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    GraphicsOpenGL l_Gl;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(l_Gl.Init(300, 350, 32));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error.\nUnknown SDL/OpenGL failure." + g_Tail);
    ExpectInert(l_Gl);
    SDL_Quit();
}

TEST(GlInitFailTest, VideoSubsystemDoesNotStart)
{
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    GraphicsOpenGL l_Gl;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(l_Gl.Init(300, 350, 32));
    std::string l_Out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(l_Out.rfind("Error.\n", 0), 0u) << l_Out;
    ASSERT_GT(l_Out.size(), g_Tail.size() + 8);
    EXPECT_EQ(l_Out.substr(l_Out.size() - g_Tail.size()), g_Tail);
    EXPECT_NE(l_Out.substr(7, l_Out.size() - 7 - g_Tail.size()), "") << "SDL's reason is missing";
    ExpectInert(l_Gl);
    SDL_Quit();
}
