// The volume slider driven by a scripted mouse, drawing into a recording back end.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "Widgets.h"

namespace
{
struct DrawCall
{
    void* Texture;
    TextureCoord Region;
    RectangleShape Rect;
    float Color[4];
};

class RecordingOutput : public GraphicsOutput
{
public:
    void DrawRect(void* p_Texture, TextureCoord p_Region, RectangleShape p_Rect, float* p_Color) override
    {
        Calls.push_back({p_Texture, p_Region, p_Rect, {p_Color[0], p_Color[1], p_Color[2], p_Color[3]}});
    }
    std::vector<DrawCall> Calls;
};

int g_MouseX, g_MouseY;
Uint8 g_MouseButtons;
std::vector<float> g_Reported;

Uint8 ScriptedMouse(int* p_X, int* p_Y)
{
    *p_X = g_MouseX;
    *p_Y = g_MouseY;
    return g_MouseButtons;
}

void Report(float p_Value)
{
    g_Reported.push_back(p_Value);
}

const Uint8 g_Left = SDL_BUTTON(SDL_BUTTON_LEFT);
const Uint8 g_Right = SDL_BUTTON(SDL_BUTTON_RIGHT);
char g_SliderImage; // stands in for the theme's texture handle

class SliderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_GetMouseState = ScriptedMouse;
        g_GfxOut = &m_Output;
        g_ThemeBitmaps[VOLUMESLIDER] = &g_SliderImage;
        g_Reported.clear();
    }
    void TearDown() override
    {
        g_GetMouseState = SDL_GetMouseState;
        g_GfxOut = nullptr;
        g_ThemeBitmaps[VOLUMESLIDER] = nullptr;
    }

    // The player's slider: bar from x 45 to 245, y 235 to 285, range 0 to 1.
    static VolumeSlider PlayerSlider(float p_Current = 0.5f)
    {
        VolumeSlider l_Slider(0.0f, 1.0f, p_Current, Report);
        EXPECT_TRUE(l_Slider.SetDimensions(45, 235, 200, 50));
        return l_Slider;
    }
    static bool Press(VolumeSlider& p_Slider, int p_X, int p_Y, Uint8 p_Buttons = g_Left)
    {
        g_MouseX = p_X;
        g_MouseY = p_Y;
        g_MouseButtons = p_Buttons;
        return p_Slider.RegisterMouseDown();
    }
    static bool Move(VolumeSlider& p_Slider, int p_X)
    {
        g_MouseX = p_X;
        return p_Slider.RegisterMouseMotion();
    }
    // The fill and knob rectangles that Draw hands over, checked in full.
    void ExpectDrawn(VolumeSlider& p_Slider, double p_FillU, RectangleShape p_Fill, RectangleShape p_Knob)
    {
        m_Output.Calls.clear();
        p_Slider.Draw();
        ASSERT_EQ(m_Output.Calls.size(), 2u);
        const double l_Want[2][8] = {{0, 0, p_FillU, 1, p_Fill.X, p_Fill.Y, p_Fill.W, p_Fill.H},
                                     {0.875, 0, 1, 1, p_Knob.X, p_Knob.Y, p_Knob.W, p_Knob.H}};
        for (int l_I = 0; l_I < 2; ++l_I)
        {
            const DrawCall& l_Call = m_Output.Calls[l_I];
            const double l_Got[8] = {l_Call.Region.X1, l_Call.Region.Y1, l_Call.Region.X2, l_Call.Region.Y2,
                                     l_Call.Rect.X,    l_Call.Rect.Y,    l_Call.Rect.W,    l_Call.Rect.H};
            for (int l_Field = 0; l_Field < 8; ++l_Field)
                EXPECT_FLOAT_EQ(l_Got[l_Field], l_Want[l_I][l_Field]) << (l_I ? "knob" : "fill") << " field " << l_Field;
            EXPECT_EQ(l_Call.Texture, &g_SliderImage);
            EXPECT_TRUE(std::equal(l_Call.Color, l_Call.Color + 4, std::vector<float>(4, 1.0f).begin()));
        }
    }

    RecordingOutput m_Output;
};
} // namespace

TEST_F(SliderTest, NewSliderIsWhiteAndSits175By100AtTheOrigin)
{
    VolumeSlider l_Slider(0.0f, 1.0f, 0.5f, Report);
    ExpectDrawn(l_Slider, 0.4375, RectangleShape(0, 0, 87.5, 100), RectangleShape(77.5, 0, 20, 100));
}

TEST_F(SliderTest, DrawsBarCroppedAtTheValueAndKnobCentredOnIt)
{
    VolumeSlider l_Half = PlayerSlider(0.5f);
    ExpectDrawn(l_Half, 0.4375, RectangleShape(45, 235, 100, 50), RectangleShape(135, 235, 20, 50));
    VolumeSlider l_Min = PlayerSlider(0.0f);
    ExpectDrawn(l_Min, 0.0, RectangleShape(45, 235, 0, 50), RectangleShape(35, 235, 20, 50));
    VolumeSlider l_Max = PlayerSlider(1.0f);
    ExpectDrawn(l_Max, 0.875, RectangleShape(45, 235, 200, 50), RectangleShape(235, 235, 20, 50));
}

TEST_F(SliderTest, GrabZoneIsTheKnobWithItsEdgesExcluded)
{
    struct Case
    {
        int X, Y;
        bool Grabs;
    } const l_Cases[] = {{145, 260, true},  {136, 260, true},  {154, 260, true},  {135, 260, false},
                         {155, 260, false}, {145, 236, true},  {145, 284, true},  {145, 235, false},
                         {145, 285, false}, {60, 260, false},  {240, 260, false}};
    for (const Case& l_Case : l_Cases)
    {
        SCOPED_TRACE(testing::Message() << "press at " << l_Case.X << "," << l_Case.Y);
        VolumeSlider l_Slider = PlayerSlider();
        g_Reported.clear();
        EXPECT_EQ(Press(l_Slider, l_Case.X, l_Case.Y), l_Case.Grabs);
        // Only a grab lets motion move the value.
        EXPECT_EQ(Move(l_Slider, 195), l_Case.Grabs);
        EXPECT_EQ(g_Reported.size(), l_Case.Grabs ? 1u : 0u);
    }
}

TEST_F(SliderTest, DragFollowsThePointerClampsAndReportsEveryMotion)
{
    VolumeSlider l_Slider = PlayerSlider();
    ASSERT_TRUE(Press(l_Slider, 145, 260));
    EXPECT_TRUE(Move(l_Slider, 195));
    ExpectDrawn(l_Slider, 0.65625, RectangleShape(45, 235, 150, 50), RectangleShape(185, 235, 20, 50));
    EXPECT_TRUE(Move(l_Slider, 20));
    EXPECT_TRUE(Move(l_Slider, 280));
    EXPECT_TRUE(Move(l_Slider, 300)); // still beyond the end: reported again
    EXPECT_EQ(g_Reported, (std::vector<float>{0.75f, 0.0f, 1.0f, 1.0f}));
}

TEST_F(SliderTest, DragKeepsTheGripOffsetTruncatedTowardsZero)
{
    // Grabbed 5 pixels left of the knob's centre, the knob stays 5 pixels right of the pointer.
    VolumeSlider l_Slider = PlayerSlider();
    ASSERT_TRUE(Press(l_Slider, 140, 260));
    Move(l_Slider, 190);
    EXPECT_FLOAT_EQ(g_Reported.back(), 0.75f);

    // Knob centre at 12.5: the origin is 20 - 12.5 = 7.5, kept as 7; 5 - 12.5 = -7.5 as -7.
    VolumeSlider l_Fine(0.0f, 1.0f, 0.125f, Report);
    l_Fine.SetDimensions(0, 0, 100, 50);
    ASSERT_TRUE(Press(l_Fine, 20, 10));
    Move(l_Fine, 20);
    EXPECT_FLOAT_EQ(g_Reported.back(), 0.13f);
    VolumeSlider l_Negative(0.0f, 1.0f, 0.125f, Report);
    l_Negative.SetDimensions(0, 0, 100, 50);
    ASSERT_TRUE(Press(l_Negative, 5, 10));
    Move(l_Negative, 5);
    EXPECT_FLOAT_EQ(g_Reported.back(), 0.12f);
}

TEST_F(SliderTest, PressAwayFromTheKnobNeitherMovesNorGrabs)
{
    VolumeSlider l_Slider = PlayerSlider();
    EXPECT_FALSE(Press(l_Slider, 60, 260));
    EXPECT_FALSE(Move(l_Slider, 100));
    EXPECT_FALSE(l_Slider.RegisterMouseMotion());
    EXPECT_TRUE(g_Reported.empty());
    ExpectDrawn(l_Slider, 0.4375, RectangleShape(45, 235, 100, 50), RectangleShape(135, 235, 20, 50));
}

TEST_F(SliderTest, PressWithoutTheLeftButtonChangesNothing)
{
    VolumeSlider l_Idle = PlayerSlider();
    EXPECT_FALSE(Press(l_Idle, 145, 260, g_Right));
    EXPECT_FALSE(Move(l_Idle, 195));

    // During a drag, a right press elsewhere does not end it, though the pointer it read
    // (x 10) becomes the drag origin.
    VolumeSlider l_Dragging = PlayerSlider();
    ASSERT_TRUE(Press(l_Dragging, 145, 260));
    EXPECT_FALSE(Press(l_Dragging, 10, 10, g_Right));
    g_MouseY = 260;
    EXPECT_TRUE(Move(l_Dragging, 195));
    EXPECT_EQ(g_Reported, std::vector<float>{(195 - 10) / 200.0f});
}

TEST_F(SliderTest, AnyReleaseOrALeftPressOffTheKnobEndsTheDrag)
{
    VolumeSlider l_Slider = PlayerSlider();
    EXPECT_TRUE(l_Slider.RegisterMouseUp()); // taken even when idle
    ASSERT_TRUE(Press(l_Slider, 145, 260));
    g_MouseButtons = 0; // which button went up does not matter
    EXPECT_TRUE(l_Slider.RegisterMouseUp());
    EXPECT_FALSE(Move(l_Slider, 195));

    ASSERT_TRUE(Press(l_Slider, 145, 260));
    EXPECT_FALSE(Press(l_Slider, 60, 260));
    EXPECT_FALSE(Move(l_Slider, 195));
    EXPECT_TRUE(g_Reported.empty());
}
