#include "PlayerSession.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace PlayerTest {

namespace {

// The player's working folder holds its samples, font and theme; the test finds the
// background picture there too.
const char* const g_BackgroundFile = "gfx/Liquid Aluminum/bg.png";
// Start-up loads 111 samples and the theme; under the sanitizers that takes a while.
const auto g_StartTimeout = std::chrono::seconds(30);

// The first frame is there when the strips above the title and below the slider show the
// background exactly.
bool ShowsBackground(const Picture& p_Shot, const Picture& p_Background)
{
    if (p_Shot.Empty())
        return false;
    Box l_Top, l_Bottom;
    l_Top.Add(0, 0);
    l_Top.Add(g_WindowWidth - 1, 60);
    l_Bottom.Add(0, 300);
    l_Bottom.Add(g_WindowWidth - 1, g_WindowHeight - 1);
    return CountDiffering(p_Shot, p_Background, l_Top, {}, 4) == 0 &&
           CountDiffering(p_Shot, p_Background, l_Bottom, {}, 4) == 0;
}

}  // namespace

std::string PlayerPath() { return TUNEWRIGHT_PLAYER_PATH; }

std::string DataDir() { return TUNEWRIGHT_DATA_DIR; }

void WriteAlsaCapture(const std::string& p_Home, const std::string& p_Capture)
{
    std::filesystem::create_directory(p_Home);
    std::ofstream(p_Home + "/.asoundrc")
        << "pcm.!default { type file; slave.pcm \"null\"; file \"" << p_Capture << "\"; format \"raw\" }\n";
}

OrgTest::SongImage SteadyToneSong()
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstart = 0;
    l_Song.loopstop = 250;
    l_Song.tracks[0].events.push_back({0, 57, 255, 200, 6});
    return l_Song;
}

OrgTest::SongImage PulseSong()
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = g_PulseSongOnsetMs / 2;
    l_Song.loopstart = 0;
    l_Song.loopstop = 64;
    for (std::uint32_t l_Beat = 0; l_Beat < 64; l_Beat += 2)
        l_Song.tracks[0].events.push_back({l_Beat, 57, 1, 200, 6});
    return l_Song;
}

void PlayerSession::SetUp()
{
    ASSERT_TRUE(m_Screen.Ok()) << m_Screen.Error();
    TakeDisplayLock();
    m_Background = LoadPngOverBlack(DataDir() + "/" + g_BackgroundFile);
    ASSERT_EQ(m_Background.Width(), g_WindowWidth)
        << "cannot read the theme's background " << g_BackgroundFile << " in " << DataDir();
    ASSERT_EQ(m_Background.Height(), g_WindowHeight);
    WriteAlsaCapture(m_Temp.Path("home"), CapturePath());
}

void PlayerSession::TearDown()
{
    if (HasFailure() && !m_LastShot.Empty()) {
        const auto* l_Info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string l_Name =
            std::string("player-") + l_Info->test_suite_name() + "." + l_Info->name() + ".png";
        if (m_LastShot.SavePng(l_Name))
            std::printf("The last picture of the window is in %s/%s\n",
                        std::filesystem::current_path().c_str(), l_Name.c_str());
    }
    m_Player.Kill();
    if (m_LockFd >= 0)
        close(m_LockFd);
}

void PlayerSession::TakeDisplayLock()
{
    // One player window at a time on this X server: the tests move its one pointer and read
    // its screen. Tests of other programs keep to the top-left corner, where SDL puts windows.
    std::string l_Display = std::getenv("DISPLAY");
    for (char& l_Char : l_Display)
        if (l_Char == '/' || l_Char == ':')
            l_Char = '_';
    const std::string l_Path =
        std::filesystem::temp_directory_path() / ("tunewright-player-tests" + l_Display + ".lock");
    m_LockFd = open(l_Path.c_str(), O_RDWR | O_CREAT, 0666);
    if (m_LockFd >= 0)
        flock(m_LockFd, LOCK_EX);
}

std::string PlayerSession::WriteSong(const std::string& p_Name, const OrgTest::SongImage& p_Song)
{
    const std::string l_Path = m_Temp.Path(p_Name);
    OrgTest::WriteFile(l_Path, p_Song.Bytes());
    return l_Path;
}

bool PlayerSession::Launch(const std::vector<std::string>& p_Arguments, const std::string& p_Program,
                           const std::string& p_WorkDir)
{
    std::vector<std::string> l_Args = {p_Program};
    l_Args.insert(l_Args.end(), p_Arguments.begin(), p_Arguments.end());
    // The window goes to the bottom-right part of the screen, clear of the corner where other
    // programs' windows open.
    const int l_X = std::max(0, m_Screen.Width() - g_WindowWidth - 40);
    const int l_Y = std::max(0, m_Screen.Height() - g_WindowHeight - 40);
    if (!m_Player.Start(l_Args, p_WorkDir,
                        {{"HOME", m_Temp.Path("home")},
                         {"SDL_VIDEO_WINDOW_POS", std::to_string(l_X) + "," + std::to_string(l_Y)}},
                        m_Temp.Path())) {
        ADD_FAILURE() << "cannot start " << p_Program;
        return false;
    }
    const Clock::time_point l_Deadline = m_Player.StartTime() + g_StartTimeout;
    while (Clock::now() < l_Deadline) {
        if (!m_Player.Running()) {
            ADD_FAILURE() << "the player ended during start-up, wait status " << m_Player.ExitStatus() << "\n"
                          << Diagnostics();
            return false;
        }
        if (m_Window == 0)
            m_Window = m_Screen.FindWindowOf(m_Player.Pid());
        if (m_Window != 0 &&
            ShowsBackground(m_LastShot = m_Screen.Grab(m_Window, g_WindowWidth, g_WindowHeight),
                            m_Background)) {
            m_FirstFrameSeconds = std::chrono::duration<double>(Clock::now() - m_Player.StartTime()).count();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << "no frame showing the theme's background within " << g_StartTimeout.count() << " s"
                  << (m_Window == 0 ? " (no window of the player's process appeared)" : "") << "\n"
                  << Diagnostics();
    return false;
}

Picture PlayerSession::Shot()
{
    m_LastShot = m_Screen.Grab(m_Window, g_WindowWidth, g_WindowHeight);
    return m_LastShot;
}

std::vector<float> PlayerSession::Listen(double p_Seconds)
{
    const long l_Frames = long(p_Seconds * g_CaptureRate);
    const long l_First = CapturedFrames(CapturePath());
    // The engine writes in real time; allow a slow machine three times as long and more.
    const Clock::time_point l_Deadline =
        Clock::now() + std::chrono::milliseconds(long(p_Seconds * 3000) + 5000);
    while (CapturedFrames(CapturePath()) < l_First + l_Frames && Clock::now() < l_Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return ReadCapture(CapturePath(), l_First, l_First + l_Frames);
}

void PlayerSession::Pause(double p_Seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(p_Seconds));
}

std::string PlayerSession::Diagnostics() const
{
    return "player's standard output:\n" + m_Player.Stdout() + "\nplayer's standard error:\n" +
           m_Player.Stderr();
}

}  // namespace PlayerTest
