// Listing the themes under "./gfx/" and loading one, in a scratch directory per test.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Themes.h"

namespace fs = std::filesystem;

namespace {
// Notes each surface's size, releases it, and returns a handle of its own.
class RecordingOutput : public GraphicsOutput
{
public:
    void* LoadTexture(SDL_Surface* p_Surface) override
    {
        Loaded.emplace_back(p_Surface->w, p_Surface->h);
        SDL_FreeSurface(p_Surface);
        return &m_Handles[Loaded.size() - 1];
    }
    std::vector<std::pair<int, int>> Loaded;

private:
    char m_Handles[8];
};

char g_Stale[2];  // handles a theme left in the slots earlier

class ThemesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_Home = fs::current_path();
        m_ThemeBefore = g_CurrentTheme;
        std::string l_Template = (fs::temp_directory_path() / "tunewright-themes-XXXXXX").string();
        ASSERT_NE(mkdtemp(l_Template.data()), nullptr);
        m_Scratch = l_Template;
        fs::current_path(m_Scratch);
    }
    void TearDown() override
    {
        fs::current_path(m_Home);
        fs::remove_all(m_Scratch);
        // Every test leaves the globals as the program starts with them, so that each one sees
        // them so in any order.
        g_CurrentTheme = m_ThemeBefore;
        g_Themes.clear();
        for (void*& l_Slot : g_ThemeBitmaps)
            l_Slot = nullptr;
    }

    // A theme directory with two tiny images of distinct sizes (BMP data: IMG_Load goes by content).
    static void MakeTheme(const std::string& p_Name)
    {
        fs::create_directories("gfx/" + p_Name);
        SaveImage("gfx/" + p_Name + "/bg.png", 6, 5);
        SaveImage("gfx/" + p_Name + "/volumeslider.png", 8, 2);
    }
    static void SaveImage(const std::string& p_Path, int p_W, int p_H)
    {
        SDL_Surface* l_Image = SDL_CreateRGBSurface(SDL_SWSURFACE, p_W, p_H, 24, 0xFF, 0xFF00, 0xFF0000, 0);
        ASSERT_EQ(SDL_SaveBMP(l_Image, p_Path.c_str()), 0);
        SDL_FreeSurface(l_Image);
    }
    static void MakeFile(const std::string& p_Path) { std::ofstream(p_Path) << "not an image"; }

    // The names as the directory listing gives them, dot entries left out.
    static std::vector<std::string> Listing()
    {
        std::vector<std::string> l_Names;
        DIR* l_Dir = opendir("gfx");
        while (dirent* l_Entry = readdir(l_Dir))
            if (l_Entry->d_name[0] != '.')
                l_Names.push_back(l_Entry->d_name);
        closedir(l_Dir);
        return l_Names;
    }
    static void FillSlots()
    {
        for (void*& l_Slot : g_ThemeBitmaps)
            l_Slot = g_Stale;
    }

    fs::path m_Home, m_Scratch;
    std::string m_ThemeBefore;
    RecordingOutput m_Output;
};
}  // namespace

// What static initialisation gives: every other test puts the globals back as it found them.
TEST_F(ThemesTest, StartsWithLiquidAluminumNoListAndEmptySlots)
{
    EXPECT_EQ(g_CurrentTheme, "Liquid Aluminum");
    EXPECT_TRUE(g_Themes.empty());
    for (void* l_Slot : g_ThemeBitmaps)
        EXPECT_EQ(l_Slot, nullptr);
}

TEST_F(ThemesTest, ListsEveryVisibleEntryOnceInListingOrder)
{
    MakeTheme("Liquid Aluminum");
    MakeFile("gfx/FreeSans.ttf");
    MakeFile("gfx/.hidden");
    fs::create_directory("gfx/.cache");
    for (const char* l_Name : {"b", "a", "zz", "m"})
        fs::create_directory(std::string("gfx/") + l_Name);
    g_Themes = {"stale"};
    GetThemes();
    EXPECT_EQ(g_Themes.size(), 6u);
    EXPECT_EQ(g_Themes, Listing());  // not sorted, nothing hidden, plain files included
    GetThemes();
    EXPECT_EQ(g_Themes, Listing());
}

TEST_F(ThemesTest, MissingDirectoryEmptiesTheListSilently)
{
    g_Themes = {"stale"};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    GetThemes();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(g_Themes.empty());
}

TEST_F(ThemesTest, SetThemeLoadsBackgroundThenSliderIntoSlotsZeroAndOne)
{
    MakeTheme("Mine");
    GetThemes();
    ASSERT_EQ(g_Themes, std::vector<std::string>{"Mine"});
    SetTheme(0, &m_Output);
    EXPECT_EQ(g_CurrentTheme, "Mine");
    EXPECT_EQ(m_Output.Loaded, (std::vector<std::pair<int, int>>{{6, 5}, {8, 2}}));
    ASSERT_NE(g_ThemeBitmaps[BACKGROUND], nullptr);
    ASSERT_NE(g_ThemeBitmaps[VOLUMESLIDER], nullptr);
    EXPECT_NE(g_ThemeBitmaps[BACKGROUND], g_ThemeBitmaps[VOLUMESLIDER]);
    for (int l_Slot = 2; l_Slot < 12; ++l_Slot)
        EXPECT_EQ(g_ThemeBitmaps[l_Slot], nullptr);
}

TEST_F(ThemesTest, SetThemeOutsideTheListChangesNothing)
{
    g_CurrentTheme = "Before";
    FillSlots();
    SetTheme(0, &m_Output);  // empty list
    MakeTheme("Mine");
    GetThemes();
    SetTheme(1, &m_Output);
    SetTheme(-1, &m_Output);
    EXPECT_EQ(g_CurrentTheme, "Before");
    EXPECT_TRUE(m_Output.Loaded.empty());
    for (void* l_Slot : g_ThemeBitmaps)
        EXPECT_EQ(l_Slot, g_Stale);
}

TEST_F(ThemesTest, ImagesThatCannotLoadLeaveTheirSlotsNull)
{
    MakeFile("gfx/FreeSans.ttf");
    fs::create_directories("gfx/Broken");
    MakeFile("gfx/Broken/bg.png");
    SaveImage("gfx/Broken/volumeslider.png", 8, 2);
    GetThemes();
    for (std::size_t l_Theme = 0; l_Theme < g_Themes.size(); ++l_Theme) {
        FillSlots();
        m_Output.Loaded.clear();
        SetTheme(static_cast<int>(l_Theme), &m_Output);
        SCOPED_TRACE(g_CurrentTheme);
        EXPECT_EQ(g_ThemeBitmaps[BACKGROUND], nullptr);
        bool l_Broken = g_CurrentTheme == "Broken";
        EXPECT_EQ(g_ThemeBitmaps[VOLUMESLIDER] != nullptr, l_Broken);
        EXPECT_EQ(m_Output.Loaded.size(), l_Broken ? 1u : 0u);
    }
}

TEST_F(ThemesTest, BackEndWithoutTexturesLeavesBothSlotsNull)
{
    MakeTheme("Mine");
    GetThemes();
    FillSlots();
    GraphicsOutput l_Null;
    SetTheme(0, &l_Null);
    EXPECT_EQ(g_ThemeBitmaps[BACKGROUND], nullptr);
    EXPECT_EQ(g_ThemeBitmaps[VOLUMESLIDER], nullptr);
    EXPECT_EQ(g_ThemeBitmaps[BUTTON], g_Stale);
}
