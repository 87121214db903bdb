#include "Picture.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace PlayerTest {

namespace {

// The slider's rectangle as the player places it: X 45, Y 235, W 200, H 50.
const int g_BandTop = 235;
const int g_BandBottom = 284;
// A column belongs to the knob when this share of the band's rows differs from the background;
// the bar image fills well under half the band's height, the knob nearly all of it.
const double g_KnobShare = 0.6;

bool IsFillBlue(Rgb p_Colour)
{
    return p_Colour.b >= p_Colour.r + 40 && p_Colour.b >= p_Colour.g;
}

}  // namespace

bool Picture::SavePng(const std::string& p_Path) const
{
    png_image l_Image{};
    l_Image.version = PNG_IMAGE_VERSION;
    l_Image.width = png_uint_32(m_Width);
    l_Image.height = png_uint_32(m_Height);
    l_Image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> l_Bytes;
    for (const Rgb& l_Pixel : m_Pixels) {
        l_Bytes.push_back(std::uint8_t(l_Pixel.r));
        l_Bytes.push_back(std::uint8_t(l_Pixel.g));
        l_Bytes.push_back(std::uint8_t(l_Pixel.b));
    }
    return png_image_write_to_file(&l_Image, p_Path.c_str(), 0, l_Bytes.data(), 0, nullptr) != 0;
}

Picture LoadPngOverBlack(const std::string& p_Path)
{
    png_image l_Image{};
    l_Image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&l_Image, p_Path.c_str()) == 0)
        return Picture();
    l_Image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> l_Bytes(PNG_IMAGE_SIZE(l_Image));
    if (png_image_finish_read(&l_Image, nullptr, l_Bytes.data(), 0, nullptr) == 0)
        return Picture();
    Picture l_Picture(int(l_Image.width), int(l_Image.height));
    for (int l_Y = 0; l_Y < l_Picture.Height(); ++l_Y)
        for (int l_X = 0; l_X < l_Picture.Width(); ++l_X) {
            const std::uint8_t* l_Texel = &l_Bytes[std::size_t((l_Y * l_Picture.Width() + l_X) * 4)];
            const int l_Alpha = l_Texel[3];
            l_Picture.Set(l_X, l_Y, {(l_Texel[0] * l_Alpha + 127) / 255, (l_Texel[1] * l_Alpha + 127) / 255,
                                     (l_Texel[2] * l_Alpha + 127) / 255});
        }
    return l_Picture;
}

int Difference(Rgb p_A, Rgb p_B)
{
    return std::max({std::abs(p_A.r - p_B.r), std::abs(p_A.g - p_B.g), std::abs(p_A.b - p_B.b)});
}

void Box::Add(int p_X, int p_Y)
{
    left = std::min(left, p_X);
    right = std::max(right, p_X);
    top = std::min(top, p_Y);
    bottom = std::max(bottom, p_Y);
}

std::ostream& operator<<(std::ostream& p_Out, const Box& p_Box)
{
    return p_Out << "x " << p_Box.left << ".." << p_Box.right << ", y " << p_Box.top << ".." << p_Box.bottom;
}

Box DifferingBox(const Picture& p_Shot, const Picture& p_Background, const Box& p_Area, int p_Tolerance)
{
    Box l_Box;
    for (int l_Y = p_Area.top; l_Y <= p_Area.bottom; ++l_Y)
        for (int l_X = p_Area.left; l_X <= p_Area.right; ++l_X)
            if (Difference(p_Shot.At(l_X, l_Y), p_Background.At(l_X, l_Y)) > p_Tolerance)
                l_Box.Add(l_X, l_Y);
    return l_Box;
}

int CountDiffering(const Picture& p_Shot, const Picture& p_Background, const Box& p_Area,
                   const std::vector<Box>& p_Allowed, int p_Tolerance, Box* p_First)
{
    int l_Count = 0;
    for (int l_Y = p_Area.top; l_Y <= p_Area.bottom; ++l_Y)
        for (int l_X = p_Area.left; l_X <= p_Area.right; ++l_X) {
            const auto l_Inside = [&](const Box& p_Box) { return p_Box.Contains(l_X, l_Y); };
            if (std::any_of(p_Allowed.begin(), p_Allowed.end(), l_Inside))
                continue;
            if (Difference(p_Shot.At(l_X, l_Y), p_Background.At(l_X, l_Y)) <= p_Tolerance)
                continue;
            if (l_Count++ == 0 && p_First != nullptr)
                p_First->Add(l_X, l_Y);
        }
    return l_Count;
}

SliderReading ReadSlider(const Picture& p_Shot, const Picture& p_Background)
{
    SliderReading l_Reading;
    const int l_Rows = g_BandBottom - g_BandTop + 1;
    for (int l_X = 0; l_X < p_Shot.Width(); ++l_X) {
        int l_Differing = 0;
        for (int l_Y = g_BandTop; l_Y <= g_BandBottom; ++l_Y) {
            const Rgb l_Pixel = p_Shot.At(l_X, l_Y);
            if (Difference(l_Pixel, p_Background.At(l_X, l_Y)) > 8)
                ++l_Differing;
            if (IsFillBlue(l_Pixel) && !IsFillBlue(p_Background.At(l_X, l_Y)))
                l_Reading.fill.Add(l_X, l_Y);
        }
        if (l_Differing >= g_KnobShare * l_Rows) {
            for (int l_Y = g_BandTop; l_Y <= g_BandBottom; ++l_Y)
                if (Difference(p_Shot.At(l_X, l_Y), p_Background.At(l_X, l_Y)) > 8)
                    l_Reading.knob.Add(l_X, l_Y);
        }
    }
    return l_Reading;
}

}  // namespace PlayerTest
