#include "WindowChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace PlayerTest {

namespace {

const int g_Width = 300;
const int g_Height = 350;
// Pixels of the frame and of the background picture agree to within this (rounding in the
// texture path); antialiased text edges fainter than g_InkTolerance are not counted as text.
const int g_Tolerance = 4;
const int g_InkTolerance = 24;
// The slider's rectangle: X 45, Y 235, W 200, H 50 (the knob reaches 10 pixels past either end).
const int g_SliderLeft = 45, g_SliderTop = 235, g_SliderWidth = 200, g_SliderHeight = 50;

Box MakeBox(int p_Left, int p_Top, int p_Right, int p_Bottom)
{
    Box l_Box;
    l_Box.Add(p_Left, p_Top);
    l_Box.Add(p_Right, p_Bottom);
    return l_Box;
}

std::string Describe(Rgb p_Colour)
{
    return "(" + std::to_string(p_Colour.r) + "," + std::to_string(p_Colour.g) + "," + std::to_string(p_Colour.b) + ")";
}

// Where and how the first differing pixel of a check differs, for the failure message.
std::string FirstDifference(const Picture& p_Shot, const Picture& p_Background, const Box& p_At)
{
    if (p_At.Empty())
        return "";
    return "x " + std::to_string(p_At.left) + ", y " + std::to_string(p_At.top) + ": "
           + Describe(p_Shot.At(p_At.left, p_At.top)) + " instead of " + Describe(p_Background.At(p_At.left, p_At.top));
}

// Pixels that differ from the background in the slider's band, within columns p_Left to p_Right.
int SliderBandDrawing(const Picture& p_Shot, const Picture& p_Background, int p_Left, int p_Right, Box& p_First)
{
    if (p_Left > p_Right)
        return 0;
    return CountDiffering(p_Shot, p_Background,
                          MakeBox(p_Left, g_SliderTop - 5, p_Right, g_SliderTop + g_SliderHeight + 4), {},
                          g_Tolerance, &p_First);
}

}  // namespace

Box CheckTitle(const Picture& p_Shot, const Picture& p_Background, double p_ExpectedWidth)
{
    // Between the top of the window and the slider's band, the title is the only drawing.
    const Box l_Text =
        DifferingBox(p_Shot, p_Background, MakeBox(0, 0, g_Width - 1, g_SliderTop - 6), g_InkTolerance);
    EXPECT_FALSE(l_Text.Empty()) << "no title text above the slider";
    if (l_Text.Empty())
        return l_Text;
    EXPECT_NEAR(l_Text.CentreX(), 150.0, 2.0) << "title ink " << l_Text;
    EXPECT_NEAR(l_Text.top, 100, 2) << "title ink " << l_Text;
    EXPECT_LE(l_Text.bottom - l_Text.top + 1, 16) << "more than one line of 12-pixel text: " << l_Text;
    if (p_ExpectedWidth >= 0) {
        EXPECT_NEAR(l_Text.right - l_Text.left + 1, p_ExpectedWidth, 3.0)
            << "title ink " << l_Text << " is not as wide as the path's text";
    }
    Rgb l_Brightest;
    for (int l_Y = l_Text.top; l_Y <= l_Text.bottom; ++l_Y)
        for (int l_X = l_Text.left; l_X <= l_Text.right; ++l_X) {
            const Rgb l_Pixel = p_Shot.At(l_X, l_Y);
            if (l_Pixel.r + l_Pixel.g + l_Pixel.b > l_Brightest.r + l_Brightest.g + l_Brightest.b)
                l_Brightest = l_Pixel;
        }
    // Thin strokes of 12-pixel text seldom cover a whole pixel, so white shows a little grey.
    const int l_Low = std::min({l_Brightest.r, l_Brightest.g, l_Brightest.b});
    const int l_High = std::max({l_Brightest.r, l_Brightest.g, l_Brightest.b});
    EXPECT_TRUE(l_Low >= 200 && l_High - l_Low <= 16)
        << "the title is not white: its brightest pixel is " << Describe(l_Brightest);
    return l_Text;
}

void CheckSlider(const Picture& p_Shot, const Picture& p_Background, double p_KnobCentre)
{
    const SliderReading l_Slider = ReadSlider(p_Shot, p_Background);
    ASSERT_FALSE(l_Slider.knob.Empty()) << "no knob in the slider's band";
    // The knob's picture has a soft margin inside its 20 pixels.
    EXPECT_NEAR(l_Slider.knob.CentreX(), p_KnobCentre, 1.5) << "knob " << l_Slider.knob;
    EXPECT_NEAR(l_Slider.knob.left, p_KnobCentre - 10, 3.0) << "knob " << l_Slider.knob;
    EXPECT_NEAR(l_Slider.knob.right + 1, p_KnobCentre + 10, 3.0) << "knob " << l_Slider.knob;
    EXPECT_GE(l_Slider.knob.top, g_SliderTop) << "knob " << l_Slider.knob;
    EXPECT_LT(l_Slider.knob.bottom, g_SliderTop + g_SliderHeight) << "knob " << l_Slider.knob;
    EXPECT_GE(l_Slider.knob.bottom - l_Slider.knob.top + 1, g_SliderHeight * 3 / 4) << "knob " << l_Slider.knob;

    ASSERT_FALSE(l_Slider.fill.Empty()) << "no fill left of the knob";
    EXPECT_NEAR(l_Slider.fill.left, g_SliderLeft, 2.0) << "fill " << l_Slider.fill;
    // The fill ends under the knob's centre, so it shows up to the knob's left edge.
    EXPECT_GE(l_Slider.fill.right + 1, l_Slider.knob.left - 1) << "fill " << l_Slider.fill << ", knob "
                                                                << l_Slider.knob;
    EXPECT_LE(l_Slider.fill.right + 1, p_KnobCentre + 1) << "fill " << l_Slider.fill;

    // Right of the knob, and left of the bar, only the background.
    Box l_FirstRight, l_FirstLeft;
    EXPECT_EQ(SliderBandDrawing(p_Shot, p_Background, l_Slider.knob.right + 2, g_Width - 1, l_FirstRight), 0)
        << "slider drawing right of the knob, first at " << FirstDifference(p_Shot, p_Background, l_FirstRight);
    EXPECT_EQ(SliderBandDrawing(p_Shot, p_Background, 0, g_SliderLeft - 2, l_FirstLeft), 0)
        << "slider drawing left of the bar, first at " << FirstDifference(p_Shot, p_Background, l_FirstLeft);
}

void CheckBackground(const Picture& p_Shot, const Picture& p_Background, const Box& p_Title)
{
    Box l_Title = p_Title;
    if (!l_Title.Empty()) {
        // Antialiasing fades out just outside the counted ink.
        l_Title.Add(l_Title.left - 1, l_Title.top - 1);
        l_Title.Add(l_Title.right + 1, l_Title.bottom + 1);
    }
    const Box l_Slider = MakeBox(g_SliderLeft - 12, g_SliderTop, g_SliderLeft + g_SliderWidth + 11,
                                 g_SliderTop + g_SliderHeight - 1);
    Box l_First;
    const int l_Count = CountDiffering(p_Shot, p_Background, MakeBox(0, 0, g_Width - 1, g_Height - 1),
                                       {l_Title, l_Slider}, g_Tolerance, &l_First);
    EXPECT_EQ(l_Count, 0) << l_Count << " pixels outside the title and the slider differ from the theme's "
                          << "background, first at " << FirstDifference(p_Shot, p_Background, l_First);
}

}  // namespace PlayerTest
