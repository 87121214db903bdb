#include "Canvas.h"

#include <algorithm>
#include <cmath>

#include <png.h>

Canvas::Canvas(int p_Width, int p_Height, Colour p_Fill)
    : m_Width(p_Width), m_Height(p_Height), m_Pixels(static_cast<std::size_t>(p_Width) * p_Height, p_Fill)
{
}

void Canvas::Blend(int p_X, int p_Y, Colour p_Colour, float p_Coverage)
{
    if (p_X < 0 || p_Y < 0 || p_X >= m_Width || p_Y >= m_Height)
        return;
    float l_Alpha = std::clamp(p_Coverage, 0.0f, 1.0f) * p_Colour.A;
    if (l_Alpha <= 0.0f)
        return;
    Colour& l_Dst = At(p_X, p_Y);
    float l_OutA = l_Alpha + l_Dst.A * (1.0f - l_Alpha);
    if (l_OutA <= 0.0f)
        return;
    auto l_Mix = [&](float p_Src, float p_Dst) {
        return (p_Src * l_Alpha + p_Dst * l_Dst.A * (1.0f - l_Alpha)) / l_OutA;
    };
    l_Dst = {l_Mix(p_Colour.R, l_Dst.R), l_Mix(p_Colour.G, l_Dst.G), l_Mix(p_Colour.B, l_Dst.B), l_OutA};
}

bool Canvas::WritePng(const std::string& p_Path, bool p_WithAlpha, std::string& p_Error) const
{
    const int l_Channels = p_WithAlpha ? 4 : 3;
    std::vector<png_byte> l_Bytes;
    l_Bytes.reserve(m_Pixels.size() * l_Channels);
    auto l_Byte = [](float p_Value) {
        return static_cast<png_byte>(std::lround(std::clamp(p_Value, 0.0f, 1.0f) * 255.0f));
    };
    for (const Colour& l_Pixel : m_Pixels)
    {
        l_Bytes.push_back(l_Byte(l_Pixel.R));
        l_Bytes.push_back(l_Byte(l_Pixel.G));
        l_Bytes.push_back(l_Byte(l_Pixel.B));
        if (p_WithAlpha)
            l_Bytes.push_back(l_Byte(l_Pixel.A));
    }

    png_image l_Image{};
    l_Image.version = PNG_IMAGE_VERSION;
    l_Image.width = static_cast<png_uint_32>(m_Width);
    l_Image.height = static_cast<png_uint_32>(m_Height);
    l_Image.format = p_WithAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&l_Image, p_Path.c_str(), 0, l_Bytes.data(), 0, nullptr))
    {
        p_Error = l_Image.message;
        png_image_free(&l_Image);
        return false;
    }
    return true;
}

float RoundedBoxDistance(float p_X, float p_Y, float p_Left, float p_Top, float p_Right, float p_Bottom,
                         float p_Radius)
{
    float l_CentreX = (p_Left + p_Right) / 2;
    float l_CentreY = (p_Top + p_Bottom) / 2;
    float l_HalfW = (p_Right - p_Left) / 2 - p_Radius;
    float l_HalfH = (p_Bottom - p_Top) / 2 - p_Radius;
    float l_Dx = std::fabs(p_X - l_CentreX) - l_HalfW;
    float l_Dy = std::fabs(p_Y - l_CentreY) - l_HalfH;
    float l_Outside = std::hypot(std::max(l_Dx, 0.0f), std::max(l_Dy, 0.0f));
    float l_Inside = std::min(std::max(l_Dx, l_Dy), 0.0f);
    return l_Outside + l_Inside - p_Radius;
}

float Coverage(float p_Distance)
{
    return std::clamp(0.5f - p_Distance, 0.0f, 1.0f);
}

float Noise::Next()
{
    // xorshift32
    m_State ^= m_State << 13;
    m_State ^= m_State >> 17;
    m_State ^= m_State << 5;
    return static_cast<float>(m_State) / 2147483647.5f - 1.0f;
}
