#ifndef TUNEWRIGHT_THEMEGEN_CANVAS_H
#define TUNEWRIGHT_THEMEGEN_CANVAS_H

#include <cstdint>
#include <string>
#include <vector>

// A colour, each channel 0..1 (no gamma handling: the artwork is tuned by eye).
struct Colour
{
    float R, G, B, A;
};

// An RGBA image of floats, composited with "over" and written as 8-bit PNG.
class Canvas
{
public:
    Canvas(int p_Width, int p_Height, Colour p_Fill);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    Colour& At(int p_X, int p_Y) { return m_Pixels[static_cast<std::size_t>(p_Y) * m_Width + p_X]; }
    const Colour& At(int p_X, int p_Y) const { return m_Pixels[static_cast<std::size_t>(p_Y) * m_Width + p_X]; }

    // Lays p_Colour over pixel (x, y) with coverage p_Coverage (0..1) times its own alpha.
    void Blend(int p_X, int p_Y, Colour p_Colour, float p_Coverage);

    // Writes 8-bit RGB (p_WithAlpha false) or RGBA PNG; on failure returns false and fills p_Error.
    bool WritePng(const std::string& p_Path, bool p_WithAlpha, std::string& p_Error) const;

private:
    int m_Width;
    int m_Height;
    std::vector<Colour> m_Pixels;
};

// Signed distance from (x, y) to a rounded rectangle; negative inside.
float RoundedBoxDistance(float p_X, float p_Y, float p_Left, float p_Top, float p_Right, float p_Bottom,
                         float p_Radius);

// Antialiased coverage of a shape from its signed distance at a pixel centre.
float Coverage(float p_Distance);

// Deterministic noise, so every build draws the same pixels.
class Noise
{
public:
    explicit Noise(std::uint32_t p_Seed) : m_State(p_Seed ? p_Seed : 1u) {}
    float Next(); // uniform in -1..1

private:
    std::uint32_t m_State;
};

#endif
