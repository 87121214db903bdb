#include "Artwork.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Metal.h"

namespace {
const int g_BgWidth = 300;
const int g_BgHeight = 350;

// Draws a recessed rounded box: a light lip below, a shadow above, a filled inside whose
// colour comes from p_Fill(y), and a soft inner shadow along its top edge.
template <typename Fill>
void Recess(Canvas& p_Canvas, float p_Left, float p_Top, float p_Right, float p_Bottom, float p_Radius,
            Fill p_Fill)
{
    for (int l_Y = 0; l_Y < p_Canvas.Height(); ++l_Y)
        for (int l_X = 0; l_X < p_Canvas.Width(); ++l_X) {
            float l_Px = l_X + 0.5f;
            float l_Py = l_Y + 0.5f;
            float l_Lip = RoundedBoxDistance(l_Px, l_Py - 1.0f, p_Left, p_Top, p_Right, p_Bottom, p_Radius);
            p_Canvas.Blend(l_X, l_Y, Grey(1.0f, 0.55f), Coverage(l_Lip));
            float l_Shade = RoundedBoxDistance(l_Px, l_Py + 1.0f, p_Left, p_Top, p_Right, p_Bottom, p_Radius);
            p_Canvas.Blend(l_X, l_Y, Grey(0.25f, 0.6f), Coverage(l_Shade));
            float l_Inside = RoundedBoxDistance(l_Px, l_Py, p_Left, p_Top, p_Right, p_Bottom, p_Radius);
            if (l_Inside > 0.5f)
                continue;
            p_Canvas.Blend(l_X, l_Y, p_Fill(l_Py), Coverage(l_Inside));
            float l_FromTop = l_Py - p_Top;
            if (l_FromTop < 5.0f)
                p_Canvas.Blend(l_X, l_Y, Colour{0, 0, 0, 0.35f * (1.0f - l_FromTop / 5.0f)},
                               Coverage(l_Inside));
        }
}

// A slotted screw head.
void Screw(Canvas& p_Canvas, float p_X, float p_Y, float p_Angle)
{
    const float l_Radius = 5.5f;
    float l_Dx = std::cos(p_Angle);
    float l_Dy = std::sin(p_Angle);
    for (int l_Y = static_cast<int>(p_Y - 8); l_Y <= static_cast<int>(p_Y + 8); ++l_Y)
        for (int l_X = static_cast<int>(p_X - 8); l_X <= static_cast<int>(p_X + 8); ++l_X) {
            float l_Rx = l_X + 0.5f - p_X;
            float l_Ry = l_Y + 0.5f - p_Y;
            float l_Dist = std::hypot(l_Rx, l_Ry) - l_Radius;
            p_Canvas.Blend(l_X, l_Y, Grey(0.2f, 0.5f),
                           Coverage(std::hypot(l_Rx - 0.7f, l_Ry - 1.0f) - l_Radius));
            // Lit from the top left.
            float l_Light = 0.78f - 0.05f * (l_Rx + l_Ry);
            p_Canvas.Blend(l_X, l_Y, Grey(l_Light), Coverage(l_Dist));
            float l_Slot = std::fabs(l_Rx * l_Dy - l_Ry * l_Dx) - 0.8f;
            p_Canvas.Blend(l_X, l_Y, Grey(0.22f), Coverage(std::max(l_Slot, l_Dist + 1.2f)));
        }
}
}  // namespace

Canvas DrawBackground()
{
    Canvas l_Canvas(g_BgWidth, g_BgHeight, Grey(0.7f));
    std::vector<float> l_Streaks = Streaks(g_BgWidth, g_BgHeight, false, 0x6A1Du);
    for (int l_Y = 0; l_Y < g_BgHeight; ++l_Y)
        for (int l_X = 0; l_X < g_BgWidth; ++l_X) {
            float l_V = static_cast<float>(l_Y) / g_BgHeight;
            float l_Sheen = 0.08f * std::exp(-std::pow((l_V - 0.3f) / 0.2f, 2.0f));
            float l_Level = 0.78f - 0.14f * l_V + l_Sheen +
                            0.035f * l_Streaks[static_cast<std::size_t>(l_Y) * g_BgWidth + l_X];
            // Bevel: lit from the top left.
            int l_Edge = std::min({l_X, l_Y, g_BgWidth - 1 - l_X, g_BgHeight - 1 - l_Y});
            if (l_Edge < 3) {
                bool l_Lit = l_X == l_Edge || l_Y == l_Edge;
                l_Level += (l_Lit ? 0.18f : -0.22f) * (1.0f - l_Edge / 3.0f);
            }
            l_Canvas.At(l_X, l_Y) = Grey(l_Level);
        }

    // Behind the title (white text, top at y 100, about 15 pixels high): a dark glass panel.
    Recess(l_Canvas, 14.0f, 84.0f, 286.0f, 130.0f, 7.0f, [](float p_Y) {
        float l_T = (p_Y - 84.0f) / 46.0f;
        return Colour{0.07f + 0.04f * l_T, 0.09f + 0.04f * l_T, 0.12f + 0.05f * l_T, 1.0f};
    });
    // Under the slider's bar: a groove.
    Recess(l_Canvas, 39.0f, 251.0f, 251.0f, 269.0f, 9.0f, [](float p_Y) {
        float l_T = (p_Y - 251.0f) / 18.0f;
        return Grey(0.3f + 0.12f * l_T);
    });

    Screw(l_Canvas, 14.0f, 14.0f, 0.5f);
    Screw(l_Canvas, 286.0f, 14.0f, 2.1f);
    Screw(l_Canvas, 14.0f, 336.0f, 1.2f);
    Screw(l_Canvas, 286.0f, 336.0f, 2.8f);
    return l_Canvas;
}

Canvas DrawVolumeSlider()
{
    const int l_Width = 256;
    const int l_Height = 64;
    Canvas l_Canvas(l_Width, l_Height, Colour{0, 0, 0, 0});

    // The bar: liquid blue in a capsule, with a dark rim and a gloss on its upper half.
    const float l_Top = 22.0f, l_Bottom = 42.0f;
    for (int l_Y = 0; l_Y < l_Height; ++l_Y)
        for (int l_X = 0; l_X < 224; ++l_X) {
            float l_Px = l_X + 0.5f, l_Py = l_Y + 0.5f;
            float l_Rim = RoundedBoxDistance(l_Px, l_Py, 1.0f, l_Top - 1.0f, 222.0f, l_Bottom + 1.0f, 11.0f);
            l_Canvas.Blend(l_X, l_Y, Colour{0.04f, 0.12f, 0.25f, 0.85f}, Coverage(l_Rim));
            float l_Body = RoundedBoxDistance(l_Px, l_Py, 2.0f, l_Top, 221.0f, l_Bottom, 10.0f);
            float l_T = std::clamp((l_Py - l_Top) / (l_Bottom - l_Top), 0.0f, 1.0f);
            Colour l_Liquid{0.55f - 0.45f * l_T, 0.82f - 0.44f * l_T, 1.0f - 0.22f * l_T, 1.0f};
            l_Canvas.Blend(l_X, l_Y, l_Liquid, Coverage(l_Body));
            if (l_T < 0.5f)
                l_Canvas.Blend(l_X, l_Y, Colour{1, 1, 1, 0.4f * (1.0f - l_T / 0.5f)},
                               Coverage(l_Body + 2.0f));
        }

    // The knob: a brushed aluminium block with a soft shadow, a bevel and three grip ridges.
    const float l_Left = 226.0f, l_Right = 253.0f, l_KnobTop = 3.0f, l_KnobBottom = 59.0f;
    std::vector<float> l_Streaks = Streaks(l_Width, l_Height, true, 0x51D3u);
    for (int l_Y = 0; l_Y < l_Height; ++l_Y)
        for (int l_X = 224; l_X < l_Width; ++l_X) {
            float l_Px = l_X + 0.5f, l_Py = l_Y + 0.5f;
            float l_Shadow =
                RoundedBoxDistance(l_Px - 1.0f, l_Py - 2.0f, l_Left, l_KnobTop, l_Right, l_KnobBottom, 5.0f);
            l_Canvas.Blend(l_X, l_Y, Colour{0, 0, 0, 0.35f}, std::clamp(0.5f - l_Shadow / 2.0f, 0.0f, 1.0f));
            float l_Body = RoundedBoxDistance(l_Px, l_Py, l_Left, l_KnobTop, l_Right, l_KnobBottom, 5.0f);
            float l_V = (l_Py - l_KnobTop) / (l_KnobBottom - l_KnobTop);
            float l_Level =
                0.86f - 0.2f * l_V + 0.03f * l_Streaks[static_cast<std::size_t>(l_Y) * l_Width + l_X];
            if (l_Body > -2.0f) {
                // Lit from the top left: the rim nearer those edges is light, the rest dark.
                bool l_Lit =
                    std::min(l_Px - l_Left, l_Py - l_KnobTop) < std::min(l_Right - l_Px, l_KnobBottom - l_Py);
                l_Level += l_Lit ? 0.1f : -0.18f;
            }
            l_Canvas.Blend(l_X, l_Y, Grey(l_Level), Coverage(l_Body));
            for (float l_Ridge : {25.0f, 31.0f, 37.0f})
                if (l_Px > 231.0f && l_Px < 248.0f) {
                    if (static_cast<int>(l_Py) == static_cast<int>(l_Ridge))
                        l_Canvas.Blend(l_X, l_Y, Grey(0.3f), 1.0f);
                    else if (static_cast<int>(l_Py) == static_cast<int>(l_Ridge) + 1)
                        l_Canvas.Blend(l_X, l_Y, Grey(1.0f, 0.8f), 1.0f);
                }
        }
    return l_Canvas;
}
