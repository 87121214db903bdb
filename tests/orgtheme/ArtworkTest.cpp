// Our "Liquid Aluminum" theme as the build lays it out, and the tool that draws it.
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <SDL_image.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace
{
const fs::path g_Gfx = fs::path(TUNEWRIGHT_DATA_DIR) / "gfx";
const fs::path g_Theme = g_Gfx / "Liquid Aluminum";

struct Rgba
{
    Uint8 R, G, B, A;
};

Rgba PixelAt(SDL_Surface* p_Image, int p_X, int p_Y)
{
    const Uint8* l_Bytes = static_cast<const Uint8*>(p_Image->pixels) + p_Y * p_Image->pitch +
                           p_X * p_Image->format->BytesPerPixel;
    Uint32 l_Value = 0;
    for (int l_I = 0; l_I < p_Image->format->BytesPerPixel; ++l_I)
        l_Value |= static_cast<Uint32>(l_Bytes[l_I]) << (8 * l_I);
    Rgba l_Pixel;
    SDL_GetRGBA(l_Value, p_Image->format, &l_Pixel.R, &l_Pixel.G, &l_Pixel.B, &l_Pixel.A);
    return l_Pixel;
}

// Relative luminance as the usual contrast formulas define it.
double Luminance(Rgba p_Pixel)
{
    auto l_Linear = [](Uint8 p_Channel) {
        double l_C = p_Channel / 255.0;
        return l_C <= 0.03928 ? l_C / 12.92 : std::pow((l_C + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * l_Linear(p_Pixel.R) + 0.7152 * l_Linear(p_Pixel.G) + 0.0722 * l_Linear(p_Pixel.B);
}

int RunThemegen(const std::string& p_Arguments, std::string& p_Stderr)
{
    fs::path l_Err = fs::temp_directory_path() / ("themegen-test-" + std::to_string(getpid()) + ".err");
    int l_Status = std::system(("\"" THEMEGEN_PATH "\" " + p_Arguments + " >/dev/null 2>\"" + l_Err.string() + "\"").c_str());
    std::ifstream l_In(l_Err);
    p_Stderr.assign(std::istreambuf_iterator<char>(l_In), {});
    fs::remove(l_Err);
    return WIFEXITED(l_Status) ? WEXITSTATUS(l_Status) : -1;
}

std::string Bytes(const fs::path& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(l_In), {});
}
} // namespace

TEST(ArtworkTest, BackgroundFillsTheWindowAndKeepsTheTitleReadable)
{
    SDL_Surface* l_Bg = IMG_Load((g_Theme / "bg.png").c_str());
    ASSERT_NE(l_Bg, nullptr) << IMG_GetError();
    EXPECT_EQ(l_Bg->w, 300);
    EXPECT_EQ(l_Bg->h, 350);
    EXPECT_TRUE(l_Bg->format->BytesPerPixel == 3 || l_Bg->format->BytesPerPixel == 4);
    // The title is white small text with its top at y 100, centred: white on every pixel
    // it may cover keeps at least a 7:1 contrast.
    double l_Worst = 100.0;
    for (int l_Y = 97; l_Y < 120; ++l_Y)
        for (int l_X = 25; l_X < 275; ++l_X)
            l_Worst = std::min(l_Worst, 1.05 / (Luminance(PixelAt(l_Bg, l_X, l_Y)) + 0.05));
    EXPECT_GE(l_Worst, 7.0);
    // Elsewhere it is light metal.
    EXPECT_GT(Luminance(PixelAt(l_Bg, 150, 30)), 0.3);
    EXPECT_GT(Luminance(PixelAt(l_Bg, 150, 200)), 0.3);
    SDL_FreeSurface(l_Bg);
}

TEST(ArtworkTest, SliderHasRealAlphaWithBarAndKnobInTheirEighths)
{
    SDL_Surface* l_Slider = IMG_Load((g_Theme / "volumeslider.png").c_str());
    ASSERT_NE(l_Slider, nullptr) << IMG_GetError();
    ASSERT_EQ(l_Slider->format->BytesPerPixel, 4);
    ASSERT_NE(l_Slider->format->Amask, 0u);
    ASSERT_EQ(l_Slider->w % 8, 0);
    const int l_Split = l_Slider->w / 8 * 7;
    int l_Opaque[2] = {0, 0}, l_Clear[2] = {0, 0};
    for (int l_Y = 0; l_Y < l_Slider->h; ++l_Y)
        for (int l_X = 0; l_X < l_Slider->w; ++l_X)
        {
            Uint8 l_Alpha = PixelAt(l_Slider, l_X, l_Y).A;
            l_Opaque[l_X >= l_Split] += l_Alpha == 255;
            l_Clear[l_X >= l_Split] += l_Alpha == 0;
            // Clear margins: linear filtering at the split and at the wrapped edges adds nothing.
            bool l_Margin = l_X == 0 || l_X == l_Split - 1 || l_X == l_Split || l_X == l_Slider->w - 1 || l_Y == 0 ||
                            l_Y == l_Slider->h - 1;
            if (l_Margin)
            {
                EXPECT_EQ(l_Alpha, 0) << "at " << l_X << "," << l_Y;
            }
        }
    for (int l_Part = 0; l_Part < 2; ++l_Part)
    {
        EXPECT_GT(l_Opaque[l_Part], 100) << "part " << l_Part;
        EXPECT_GT(l_Clear[l_Part], 100) << "part " << l_Part;
    }
    SDL_FreeSurface(l_Slider);
}

TEST(ArtworkTest, FontLiesBesideTheThemes)
{
    ASSERT_TRUE(fs::is_regular_file(g_Gfx / "FreeSans.ttf"));
    EXPECT_GT(fs::file_size(g_Gfx / "FreeSans.ttf"), 10000u);
}

TEST(ThemegenTest, DrawsTheSameImagesEveryRun)
{
    fs::path l_Out = fs::temp_directory_path() / ("themegen-test-" + std::to_string(getpid())) / "new dir";
    std::string l_Stderr;
    ASSERT_EQ(RunThemegen("\"" + l_Out.string() + "\"", l_Stderr), 0) << l_Stderr;
    for (const char* l_Name : {"bg.png", "volumeslider.png"})
        EXPECT_TRUE(Bytes(l_Out / l_Name) == Bytes(g_Theme / l_Name)) << l_Name;
    fs::remove_all(l_Out.parent_path());
}

TEST(ThemegenTest, RejectsBadArgumentsWithAMessage)
{
    std::string l_Stderr;
    EXPECT_EQ(RunThemegen("--help", l_Stderr), 0);
    EXPECT_EQ(RunThemegen("", l_Stderr), 2);
    EXPECT_NE(l_Stderr.find("no output directory"), std::string::npos) << l_Stderr;
    EXPECT_EQ(RunThemegen("--frobnicate out", l_Stderr), 2);
    EXPECT_NE(l_Stderr.find("unknown option '--frobnicate'"), std::string::npos) << l_Stderr;
    EXPECT_EQ(RunThemegen("a b", l_Stderr), 2);
    fs::path l_File = fs::temp_directory_path() / ("themegen-test-file-" + std::to_string(getpid()));
    std::ofstream(l_File) << "x";
    EXPECT_EQ(RunThemegen("\"" + l_File.string() + "\"", l_Stderr), 1);
    EXPECT_NE(l_Stderr.find("cannot create directory"), std::string::npos) << l_Stderr;
    fs::remove(l_File);
}
