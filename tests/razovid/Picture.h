#ifndef TUNEWRIGHT_TESTS_PLAYER_PICTURE_H
#define TUNEWRIGHT_TESTS_PLAYER_PICTURE_H

// Pictures of the player's window and what a person would read off them: where the title
// text lies, where the slider's knob and fill are, and whether the theme's background shows
// everywhere else.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace PlayerTest {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

class Picture {
public:
    Picture() = default;
    Picture(int p_Width, int p_Height)
        : m_Width(p_Width), m_Height(p_Height), m_Pixels(std::size_t(p_Width * p_Height)) {}

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    bool Empty() const { return m_Pixels.empty(); }
    Rgb At(int p_X, int p_Y) const { return m_Pixels[std::size_t(p_Y * m_Width + p_X)]; }
    void Set(int p_X, int p_Y, Rgb p_Colour) { m_Pixels[std::size_t(p_Y * m_Width + p_X)] = p_Colour; }
    bool SavePng(const std::string& p_Path) const;  // for a look at a failure

private:
    int m_Width = 0, m_Height = 0;
    std::vector<Rgb> m_Pixels;
};

// A PNG file as it shows when drawn opaque white over black (alpha multiplied in).
Picture LoadPngOverBlack(const std::string& p_Path);

// Largest difference of one colour channel between the two pixels.
int Difference(Rgb p_A, Rgb p_B);

// A rectangle of pixels, edges inclusive; empty while Right < Left.
struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    bool Empty() const { return right < left; }
    void Add(int p_X, int p_Y);
    bool Contains(int p_X, int p_Y) const { return p_X >= left && p_X <= right && p_Y >= top && p_Y <= bottom; }
    double CentreX() const { return (left + right + 1) / 2.0; }  // in window coordinates of pixel edges
};
std::ostream& operator<<(std::ostream& p_Out, const Box& p_Box);

// The pixels that differ from the background by more than p_Tolerance, within p_Area.
Box DifferingBox(const Picture& p_Shot, const Picture& p_Background, const Box& p_Area, int p_Tolerance);
// How many pixels inside p_Area, but outside every box of p_Allowed, differ from the
// background; the first of them goes to p_First.
int CountDiffering(const Picture& p_Shot, const Picture& p_Background, const Box& p_Area,
                   const std::vector<Box>& p_Allowed, int p_Tolerance, Box* p_First = nullptr);

// The volume slider as drawn in the band y 235 to 285: the knob is the run of columns that
// differ from the background over most of the band's height, the fill the run of columns
// holding the blue of the bar image.
struct SliderReading {
    Box knob;  // columns (and rows) the knob's picture covers
    Box fill;  // columns holding fill colour
};
SliderReading ReadSlider(const Picture& p_Shot, const Picture& p_Background);

}  // namespace PlayerTest

#endif
