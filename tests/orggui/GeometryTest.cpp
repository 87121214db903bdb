// The geometry records and the drawing interface's null back end.
#include <gtest/gtest.h>

#include "GraphicsOutput.h"

namespace
{
void ExpectRegion(const TextureCoord& p_Region, double p_X1, double p_Y1, double p_X2, double p_Y2)
{
    EXPECT_DOUBLE_EQ(p_Region.X1, p_X1);
    EXPECT_DOUBLE_EQ(p_Region.Y1, p_Y1);
    EXPECT_DOUBLE_EQ(p_Region.X2, p_X2);
    EXPECT_DOUBLE_EQ(p_Region.Y2, p_Y2);
}
} // namespace

TEST(TextureCoordTest, ConstructorsCentreTheirRegionOnTheTexture)
{
    ExpectRegion(TextureCoord(), 0, 0, 1, 1);
    ExpectRegion(TextureCoord(1.0), 0, 0, 1, 1);
    ExpectRegion(TextureCoord(0.5), 0.25, 0.25, 0.75, 0.75);
    ExpectRegion(TextureCoord(2.0), -0.5, -0.5, 1.5, 1.5);
    ExpectRegion(TextureCoord(0.5, 1.0), 0.25, 0, 0.75, 1);
    ExpectRegion(TextureCoord(0.1, 0.2, 0.3, 0.4), 0.1, 0.2, 0.3, 0.4);
}

TEST(TextureCoordTest, OffsetMovesBothCorners)
{
    TextureCoord l_Region(0, 0, 1, 1);
    l_Region.Offset(0.25, 0.5);
    ExpectRegion(l_Region, 0.25, 0.5, 1.25, 1.5);
}

TEST(GeometryTest, RectangleAndPositionKeepTheirValues)
{
    RectangleShape l_Window(300, 350);
    EXPECT_EQ(l_Window.X, 0);
    EXPECT_EQ(l_Window.Y, 0);
    EXPECT_EQ(l_Window.W, 300);
    EXPECT_EQ(l_Window.H, 350);
    // Nothing normalises a negative size.
    RectangleShape l_Odd(-1.5, 2.5, -3, 4);
    EXPECT_EQ(l_Odd.X, -1.5);
    EXPECT_EQ(l_Odd.Y, 2.5);
    EXPECT_EQ(l_Odd.W, -3);
    EXPECT_EQ(l_Odd.H, 4);
    Position l_Point(150, 100);
    EXPECT_EQ(l_Point.X, 150);
    EXPECT_EQ(l_Point.Y, 100);
}

TEST(GraphicsOutputTest, BaseClassIsABackEndThatDrawsNothing)
{
    EXPECT_EQ(g_GfxOut, nullptr);
    GraphicsOutput l_Output;
    EXPECT_FALSE(l_Output.Init(300, 350, 32));
    // The surface is handed over; the null back end releases it (AddressSanitizer checks).
    EXPECT_EQ(l_Output.LoadTexture(SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF, 0xFF00, 0xFF0000, 0)),
              nullptr);
    EXPECT_EQ(l_Output.LoadTexture(nullptr), nullptr);
    float l_White[4] = {1, 1, 1, 1};
    wchar_t l_Text[] = L"abc";
    l_Output.DrawRect(nullptr, TextureCoord(), RectangleShape(300, 350), l_White);
    l_Output.DrawText(l_Text, true, Position(0, 0), FONT_RIGHT);
    l_Output.Update();
    l_Output.Close();
    EXPECT_FALSE(l_Output.Init(300, 350, 32));
}
