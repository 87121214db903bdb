// The Windows player under Wine, as a person uses it: its window, its sound through waveOut (the
// engine's default output on Windows) and Wine's ALSA driver into the capture file, the knob, the
// close button, song paths that only the Windows command line's quoting and wide characters carry
// intact, and a folder whose name the ANSI code page cannot spell. scripts/test-windows-player.sh
// runs it with TUNEWRIGHT_WINE_PLAYER naming the 64-bit or the 32-bit tunewright-player.exe (with its
// DLLs and data beside it) and WINELOADER the Wine loader of that processor, in a Wine prefix whose
// audio driver is ALSA.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "Expand.h"
#include "PlayerSession.h"
#include "TextWidth.h"
#include "WindowChecks.h"

namespace PlayerTest {
namespace {

const int g_SliderY = 260;

// The ink width of p_Text (UTF-8) in the player's title font.
double TitleWidth(std::string p_Text)
{
    const std::unique_ptr<wchar_t[]> l_Wide(Expand(p_Text.data()));
    std::u32string l_Text;
    for (const wchar_t* l_Char = l_Wide.get(); *l_Char != L'\0'; ++l_Char)
        l_Text += char32_t(*l_Char);
    return InkWidth(DataDir() + "/gfx/FreeSans.ttf", 12, l_Text);
}

class PlayerWine : public PlayerSession
{
protected:
    void SetUp() override
    {
        PlayerSession::SetUp();
        if (HasFatalFailure())
            return;
        const char* l_Program = std::getenv("TUNEWRIGHT_WINE_PLAYER");
        ASSERT_TRUE(l_Program != nullptr && std::filesystem::exists(l_Program))
            << "TUNEWRIGHT_WINE_PLAYER must name the Windows build's tunewright-player.exe";
        m_Program = l_Program;
        const char* l_Loader = std::getenv("WINELOADER");
        ASSERT_TRUE(l_Loader != nullptr && std::filesystem::exists(l_Loader))
            << "WINELOADER must name the Wine loader of the player's processor";
        m_Loader = l_Loader;
    }

    // The Windows player p_Program started by Wine in p_WorkDir, p_Song its one argument.
    bool LaunchUnderWine(const std::string& p_Song, const std::string& p_WorkDir)
    {
        return LaunchUnderWine(m_Program, p_Song, p_WorkDir);
    }
    bool LaunchUnderWine(const std::string& p_Program, const std::string& p_Song,
                         const std::string& p_WorkDir)
    {
        return Launch({p_Program, p_Song}, m_Loader, p_WorkDir);
    }

    std::string m_Program;
    std::string m_Loader;
};

TEST_F(PlayerWine, SongPathWithSpacesAndNonAsciiShowsItsWindowAndSoundsAt440HzNeverAheadOfTheClock)
{
    // Wine quotes the argument on the Windows command line, as Explorer does; started in the
    // song's folder, the player finds its data beside the program.
    const std::string l_Song = "dir with spaces\\s\u00e5ng \u266a.org";
    std::filesystem::create_directory(m_Temp.Path("dir with spaces"));
    WriteSong("dir with spaces/s\u00e5ng \u266a.org", SteadyToneSong());
    ASSERT_TRUE(LaunchUnderWine(l_Song, m_Temp.Path()));

    const Picture l_Shot = Shot();
    const Box l_Title = CheckTitle(l_Shot, m_Background, TitleWidth(l_Song));
    CheckSlider(l_Shot, m_Background, 145);
    CheckBackground(l_Shot, m_Background, l_Title);

    // The song's tone (the blank song a misread path gives is silent). Wine's driver drains ALSA's
    // null device at once, so that device has no clock and Wine fills with silence whenever its
    // buffer runs dry: the pitch is read from each stretch between such gaps, and the pace of the
    // capture can only show that the output never runs ahead of the wall clock (a waveOut queue
    // filled as fast as it takes data plays seconds of sound in a moment there).
    Pause(0.3);
    const Clock::time_point l_From = Clock::now();
    const std::vector<float> l_Sound = Listen(3.0);
    const double l_Seconds = std::chrono::duration<double>(Clock::now() - l_From).count();
    ASSERT_EQ(l_Sound.size(), std::size_t(3 * g_CaptureRate)) << "the sound output stalled\n"
                                                              << Diagnostics();
    ASSERT_GT(Rms(l_Sound), 0.01) << "silence instead of the tone\n" << Diagnostics();
    EXPECT_GT(l_Seconds, 3.0 / 1.05) << "3 s of sound came in " << l_Seconds << " s: the output runs ahead";
    long l_Heard = 0;
    for (const Note& l_Stretch : Stretches(l_Sound, g_CaptureRate / 1000)) {
        if (l_Stretch.end - l_Stretch.start < g_CaptureRate / 10)
            continue;
        l_Heard += l_Stretch.end - l_Stretch.start;
        const std::vector<float> l_Tone(l_Sound.begin() + l_Stretch.start, l_Sound.begin() + l_Stretch.end);
        EXPECT_NEAR(ToneFrequency(l_Tone, g_CaptureRate), 440.0, 4.4)
            << "pitch from " << l_Stretch.start * 1000 / g_CaptureRate << " ms";
    }
    EXPECT_GT(l_Heard, long(l_Sound.size()) / 2) << "the tone is mostly gaps\n" << Diagnostics();
    RecordProperty("capture_per_wall_second_ppm", int(3.0 / l_Seconds * 1e6));
    std::printf("3 s of sound captured in %.3f s of wall time, %.0f %% of it in stretches of 0.1 s or more\n",
                l_Seconds, 100.0 * double(l_Heard) / double(l_Sound.size()));
}

TEST_F(PlayerWine, KnobDragRaisesTheLevelAndClosingTheWindowEndsWithStatus0)
{
    WriteSong("steady.org", SteadyToneSong());
    ASSERT_TRUE(LaunchUnderWine("steady.org", m_Temp.Path()));
    Pause(0.3);
    const double l_Start = Rms(Listen(0.6));
    ASSERT_GT(l_Start, 0.01) << "silence instead of the tone\n" << Diagnostics();

    // From x 145 to x 195: master volume 0.75 against 0.5.
    ASSERT_TRUE(m_Screen.Drag(m_Window, {{145, g_SliderY}, {170, g_SliderY}, {195, g_SliderY}}))
        << "xdotool failed";
    Pause(0.3);
    CheckSlider(Shot(), m_Background, 195);
    EXPECT_NEAR(Rms(Listen(0.6)) / l_Start, 1.5, 0.15);

    ASSERT_TRUE(m_Screen.AskToClose(m_Window));
    const Clock::time_point l_Asked = Clock::now();
    ASSERT_TRUE(m_Player.WaitForExit(std::chrono::seconds(15)))
        << "still running 15 s after the window was closed";
    std::printf("the player ended %.0f ms after the window was closed\n",
                std::chrono::duration<double>(m_Player.EndTime() - l_Asked).count() * 1000);
    ASSERT_TRUE(WIFEXITED(m_Player.ExitStatus())) << "ended by signal " << WTERMSIG(m_Player.ExitStatus());
    EXPECT_EQ(WEXITSTATUS(m_Player.ExitStatus()), 0) << Diagnostics();
}

TEST_F(PlayerWine, FolderNamedOutsideTheAnsiCodePageHoldsItsDataAndTitlesShowANoteOutsideTheBmpWhole)
{
    // The player's folder (program, DLLs, data) unpacked under a name the ANSI code page cannot
    // spell; started elsewhere, the player finds its data beside itself. That copy's waveform 0 is
    // made an octave higher (each cycle twice), so the tone tells its samples from the build tree's,
    // which the player would otherwise fall back on.
    const std::filesystem::path l_Program(m_Program);
    const std::filesystem::path l_Folder = m_Temp.Path("\u043f\u043b\u0435\u0435\u0440 \U0001F3B5");
    std::filesystem::copy(l_Program.parent_path(), l_Folder, std::filesystem::copy_options::recursive);
    const std::filesystem::path l_Wave = l_Folder / "melody" / "melody0.wav";
    std::ifstream l_In(l_Wave, std::ios::binary);
    std::vector<char> l_Bytes((std::istreambuf_iterator<char>(l_In)), std::istreambuf_iterator<char>());
    l_In.close();
    const std::size_t l_Header = 44, l_Frames = (l_Bytes.size() - l_Header) / 2;  // 16-bit mono
    const std::vector<char> l_Old = l_Bytes;
    for (std::size_t i = 0; i < l_Frames; ++i)
        std::copy_n(&l_Old[l_Header + 2 * (2 * i % l_Frames)], 2, &l_Bytes[l_Header + 2 * i]);
    std::ofstream(l_Wave, std::ios::binary).write(l_Bytes.data(), std::streamsize(l_Bytes.size()));
    const std::string l_Song = "tune \U0001F3B5 \u266b.org";
    WriteSong(l_Song, SteadyToneSong());
    ASSERT_TRUE(LaunchUnderWine((l_Folder / l_Program.filename()).string(), l_Song, m_Temp.Path()));

    // The path as given, in the window and in its caption: the note one character, not two halves.
    const Picture l_Shot = Shot();
    CheckBackground(l_Shot, m_Background, CheckTitle(l_Shot, m_Background, TitleWidth(l_Song)));
    EXPECT_EQ(m_Screen.Title(m_Window), l_Song);
    Pause(0.3);
    const std::vector<float> l_Sound = Listen(1.0);
    ASSERT_GT(Rms(l_Sound), 0.01) << "silence instead of the tone\n" << Diagnostics();
    std::vector<float> l_Longest;  // the longest stretch between the gaps Wine's driver leaves
    for (const Note& l_Stretch : Stretches(l_Sound, g_CaptureRate / 1000)) {
        if (l_Stretch.end - l_Stretch.start > long(l_Longest.size()))
            l_Longest.assign(l_Sound.begin() + l_Stretch.start, l_Sound.begin() + l_Stretch.end);
    }
    EXPECT_NEAR(ToneFrequency(l_Longest, g_CaptureRate), 880.0, 8.8)
        << "not the samples beside the player (longest stretch " << l_Longest.size() * 1000 / g_CaptureRate
        << " ms)";
}

TEST_F(PlayerWine, FirstFrameUnderWineAgainstTheLinuxPlayer)
{
    // The same song in the same data folder, one player after the other; Wine's server is already
    // up, as Windows is when a person starts the player.
    const std::string l_Song = WriteSong("steady.org", SteadyToneSong());
    ASSERT_TRUE(Launch({l_Song}));
    const double l_Linux = m_FirstFrameSeconds;
    ASSERT_TRUE(m_Screen.AskToClose(m_Window));
    ASSERT_TRUE(m_Player.WaitForExit(std::chrono::seconds(15)));
    m_Window = 0;
    ASSERT_TRUE(LaunchUnderWine(l_Song, DataDir()));
    const double l_Wine = m_FirstFrameSeconds;
    EXPECT_GT(Rms(Listen(0.5)), 0.01) << "the song is not heard\n" << Diagnostics();
    RecordProperty("linux_first_frame_ms", int(l_Linux * 1000));
    RecordProperty("wine_first_frame_ms", int(l_Wine * 1000));
    std::printf("first frame: Linux player %.0f ms, Windows player under Wine %.0f ms (%.1f times)\n",
                l_Linux * 1000, l_Wine * 1000, l_Wine / l_Linux);
}

}  // namespace
}  // namespace PlayerTest
