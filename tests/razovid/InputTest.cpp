// The player under a person's hands: dragging the volume knob, typing, closing the window.
#include <sys/wait.h>

#include "PlayerSession.h"
#include "WindowChecks.h"

namespace PlayerTest {
namespace {

using PlayerInput = PlayerSession;

// The knob's centre sits at x 45 + 200 x value; the player starts at 0.5, x 145.
const int g_SliderY = 260;
const char* const g_XdotoolFailed =
    "xdotool failed: the tests give their input through it (Debian package xdotool)";

TEST_F(PlayerInput, KnobDragMovesFillAndSetsTheLevel)
{
    ASSERT_TRUE(Launch({WriteSong("steady.org", SteadyToneSong())}));
    Pause(0.3);
    const double l_Start = Rms(Listen(0.6));
    ASSERT_GT(l_Start, 0.01) << "silence instead of the tone\n" << Diagnostics();

    {
        SCOPED_TRACE("a press on the bar beside the knob, dragged left");
        ASSERT_TRUE(m_Screen.Drag(m_Window, {{95, g_SliderY}, {70, g_SliderY}, {50, g_SliderY}}))
            << g_XdotoolFailed;
        Pause(0.2);
        CheckSlider(Shot(), m_Background, 145);
        EXPECT_NEAR(Rms(Listen(0.4)) / l_Start, 1.0, 0.05);
    }
    {
        SCOPED_TRACE("the knob dragged from x 145 to x 195: master volume 0.75 against 0.5");
        ASSERT_TRUE(m_Screen.Drag(m_Window, {{145, g_SliderY}, {170, g_SliderY}, {195, g_SliderY}}))
            << g_XdotoolFailed;
        Pause(0.3);
        CheckSlider(Shot(), m_Background, 195);
        EXPECT_NEAR(Rms(Listen(0.6)) / l_Start, 1.5, 0.15);
        // Let go, the knob stays where it was left while the pointer moves on.
        ASSERT_TRUE(m_Screen.MovePointer(m_Window, 100, g_SliderY)) << g_XdotoolFailed;
        Pause(0.2);
        CheckSlider(Shot(), m_Background, 195);
    }
    {
        SCOPED_TRACE("the knob dragged past the bar's right end: master volume 1");
        ASSERT_TRUE(m_Screen.Drag(m_Window, {{195, g_SliderY}, {250, g_SliderY}, {290, g_SliderY}}))
            << g_XdotoolFailed;
        Pause(0.3);
        CheckSlider(Shot(), m_Background, 245);
        EXPECT_NEAR(Rms(Listen(0.6)) / l_Start, 2.0, 0.2);
    }
    EXPECT_TRUE(m_Player.Running()) << Diagnostics();
}

TEST_F(PlayerInput, KeyPressesChangeNothingAndClosingTheWindowEndsWithStatus0)
{
    ASSERT_TRUE(Launch({WriteSong("steady.org", SteadyToneSong())}));
    Pause(0.3);
    const Picture l_Before = Shot();
    const std::vector<float> l_SoundBefore = Listen(0.6);
    ASSERT_GT(Rms(l_SoundBefore), 0.01) << "silence instead of the tone\n" << Diagnostics();

    ASSERT_TRUE(m_Screen.MovePointer(m_Window, 150, 180)) << g_XdotoolFailed;
    ASSERT_TRUE(m_Screen.Focus(m_Window)) << "the window did not take the keyboard focus";
    ASSERT_TRUE(m_Screen.PressKeys({"a",         "q",     "Escape", "space",  "Return", "Up",     "Down",
                                    "Left",      "Right", "plus",   "minus",  "m",      "p",      "Tab",
                                    "BackSpace", "F1",    "F10",    "ctrl+q", "ctrl+w", "ctrl+c", "alt+F4"}))
        << g_XdotoolFailed;
    Pause(0.3);
    ASSERT_TRUE(m_Player.Running()) << "the player ended on a key press, wait status "
                                    << m_Player.ExitStatus() << "\n"
                                    << Diagnostics();
    Box l_First;
    Box l_Window;
    l_Window.Add(0, 0);
    l_Window.Add(g_WindowWidth - 1, g_WindowHeight - 1);
    EXPECT_EQ(CountDiffering(Shot(), l_Before, l_Window, {}, 4, &l_First), 0)
        << "the picture changed after key presses, first at " << l_First;
    const std::vector<float> l_SoundAfter = Listen(0.6);
    EXPECT_NEAR(Rms(l_SoundAfter) / Rms(l_SoundBefore), 1.0, 0.05);
    EXPECT_NEAR(ToneFrequency(l_SoundAfter, g_CaptureRate), ToneFrequency(l_SoundBefore, g_CaptureRate), 1.0);

    ASSERT_TRUE(m_Screen.AskToClose(m_Window));
    const Clock::time_point l_Asked = Clock::now();
    // The player exits at once; the process's end may still take seconds, as under the sanitizers,
    // whose leak check symbolises stacks first. What is timed is recorded, and only a player that
    // does not end at all fails.
    ASSERT_TRUE(m_Player.WaitForExit(std::chrono::seconds(15)))
        << "still running 15 s after the window was closed";
    const double l_Latency = std::chrono::duration<double>(m_Player.EndTime() - l_Asked).count();
    ASSERT_TRUE(WIFEXITED(m_Player.ExitStatus())) << "ended by signal " << WTERMSIG(m_Player.ExitStatus());
    EXPECT_EQ(WEXITSTATUS(m_Player.ExitStatus()), 0) << Diagnostics();
    RecordProperty("exit_after_close_ms", int(l_Latency * 1000));
    std::printf("the player ended %.0f ms after the window was closed\n", l_Latency * 1000);
}

}  // namespace
}  // namespace PlayerTest
