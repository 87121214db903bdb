#include "Icon.h"

#include <algorithm>
#include <cmath>

#include "Metal.h"

namespace {
// Signed distance, in the units of p_X, from a point to an ellipse centred at the origin with
// radii p_Rx, p_Ry turned by p_Angle (radians); a close estimate that is exact on the outline.
float EllipseDistance(float p_X, float p_Y, float p_Rx, float p_Ry, float p_Angle)
{
    const float l_Cos = std::cos(p_Angle), l_Sin = std::sin(p_Angle);
    const float l_U = p_X * l_Cos + p_Y * l_Sin;
    const float l_V = -p_X * l_Sin + p_Y * l_Cos;
    const float l_K0 = std::hypot(l_U / p_Rx, l_V / p_Ry);
    const float l_K1 = std::hypot(l_U / (p_Rx * p_Rx), l_V / (p_Ry * p_Ry));
    return l_K1 > 0.0f ? l_K0 * (l_K0 - 1.0f) / l_K1 : -std::min(p_Rx, p_Ry);
}

// The two notes, in units of the icon's size (0..1, y down): heads, stems and a sloping beam.
struct NoteLayout
{
    float HeadX[2] = {0.37f, 0.65f};
    float HeadY[2] = {0.68f, 0.62f};
    float HeadRx = 0.105f, HeadRy = 0.075f, HeadAngle = -0.35f;
    float StemWidth = 0.05f;
    float StemTop[2] = {0.30f, 0.24f};
    float BeamHeight = 0.1f;
};

// Signed distance, in icon units, from (p_X, p_Y) to the notes' shape.
float NotesDistance(const NoteLayout& p_Notes, float p_X, float p_Y)
{
    float l_Distance = 1.0f;
    float l_StemRight[2];
    for (int l_I = 0; l_I < 2; ++l_I) {
        l_Distance = std::min(l_Distance, EllipseDistance(p_X - p_Notes.HeadX[l_I], p_Y - p_Notes.HeadY[l_I],
                                                          p_Notes.HeadRx, p_Notes.HeadRy, p_Notes.HeadAngle));
        // The stem rises from the head's right side.
        l_StemRight[l_I] = p_Notes.HeadX[l_I] + p_Notes.HeadRx * 0.95f;
        const float l_StemLeft = l_StemRight[l_I] - p_Notes.StemWidth;
        const float l_Dx = std::max(l_StemLeft - p_X, p_X - l_StemRight[l_I]);
        const float l_Dy = std::max(p_Notes.StemTop[l_I] - p_Y, p_Y - p_Notes.HeadY[l_I]);
        l_Distance = std::min(l_Distance, std::max(l_Dx, l_Dy));
    }
    // The beam joins the stems' tops along a slope; its ends are cut square with the stems.
    const float l_Left = l_StemRight[0] - p_Notes.StemWidth;
    const float l_Slope = (p_Notes.StemTop[1] - p_Notes.StemTop[0]) / (l_StemRight[1] - l_Left);
    const float l_Top = p_Notes.StemTop[0] + l_Slope * (p_X - l_Left);
    const float l_Dx = std::max(l_Left - p_X, p_X - l_StemRight[1]);
    const float l_Dy = std::max(l_Top - p_Y, p_Y - (l_Top + p_Notes.BeamHeight));
    return std::min(l_Distance, std::max(l_Dx, l_Dy));
}
}  // namespace

Canvas DrawIcon(int p_Size)
{
    Canvas l_Canvas(p_Size, p_Size, Colour{0, 0, 0, 0});
    const float l_S = static_cast<float>(p_Size);
    const std::vector<float> l_Streaks = Streaks(p_Size, p_Size, false, 0x1C04u);
    const NoteLayout l_Notes;
    // Edges in icon units; a distance times l_S is in pixels, which Coverage expects.
    const float l_Tile[4] = {0.06f, 0.05f, 0.94f, 0.93f};
    const float l_Panel[4] = {0.16f, 0.15f, 0.84f, 0.83f};
    for (int l_Y = 0; l_Y < p_Size; ++l_Y)
        for (int l_X = 0; l_X < p_Size; ++l_X) {
            const float l_U = (l_X + 0.5f) / l_S, l_V = (l_Y + 0.5f) / l_S;
            const float l_Px = l_X + 0.5f, l_Py = l_Y + 0.5f;

            // A soft shadow under the tile, then the tile: brushed, lit from the top left.
            const float l_Shadow =
                RoundedBoxDistance(l_Px, l_Py - 0.02f * l_S, l_Tile[0] * l_S, l_Tile[1] * l_S,
                                   l_Tile[2] * l_S, l_Tile[3] * l_S, 0.17f * l_S);
            l_Canvas.Blend(l_X, l_Y, Colour{0, 0, 0, 0.35f},
                           std::clamp(0.5f - l_Shadow / (0.03f * l_S), 0.0f, 1.0f));
            const float l_TileEdge = RoundedBoxDistance(l_Px, l_Py, l_Tile[0] * l_S, l_Tile[1] * l_S,
                                                        l_Tile[2] * l_S, l_Tile[3] * l_S, 0.17f * l_S);
            float l_Level =
                0.86f - 0.22f * l_V + 0.03f * l_Streaks[static_cast<std::size_t>(l_Y) * p_Size + l_X];
            if (l_TileEdge > -std::max(1.0f, 0.025f * l_S))
                l_Level += (l_U + l_V < 1.0f) ? 0.1f : -0.2f;
            l_Canvas.Blend(l_X, l_Y, Grey(l_Level), Coverage(l_TileEdge));

            // The glass panel, darker at the bottom, with a gloss across its upper part.
            const float l_PanelEdge = RoundedBoxDistance(l_Px, l_Py, l_Panel[0] * l_S, l_Panel[1] * l_S,
                                                         l_Panel[2] * l_S, l_Panel[3] * l_S, 0.09f * l_S);
            const float l_T = std::clamp((l_V - l_Panel[1]) / (l_Panel[3] - l_Panel[1]), 0.0f, 1.0f);
            l_Canvas.Blend(l_X, l_Y,
                           Colour{0.11f - 0.04f * l_T, 0.13f - 0.04f * l_T, 0.18f - 0.05f * l_T, 1.0f},
                           Coverage(l_PanelEdge));

            // The notes in liquid blue, lighter at the top, over a faint glow.
            const float l_NoteEdge = NotesDistance(l_Notes, l_U, l_V) * l_S;
            const float l_Glow = std::clamp(1.0f - l_NoteEdge / (0.06f * l_S), 0.0f, 1.0f);
            l_Canvas.Blend(l_X, l_Y, Colour{0.3f, 0.6f, 1.0f, 0.25f * l_Glow}, Coverage(l_PanelEdge));
            const Colour l_Liquid{0.55f - 0.45f * l_T, 0.85f - 0.4f * l_T, 1.0f - 0.15f * l_T, 1.0f};
            l_Canvas.Blend(l_X, l_Y, l_Liquid, Coverage(std::max(l_NoteEdge, l_PanelEdge)));

            if (l_V < 0.5f * (l_Panel[1] + l_Panel[3]))
                l_Canvas.Blend(l_X, l_Y, Colour{1, 1, 1, 0.12f * (1.0f - 2.0f * l_T)},
                               Coverage(l_PanelEdge + 1.0f));
        }
    return l_Canvas;
}
