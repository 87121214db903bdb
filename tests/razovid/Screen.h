#ifndef TUNEWRIGHT_TESTS_PLAYER_SCREEN_H
#define TUNEWRIGHT_TESTS_PLAYER_SCREEN_H

// The X server as the test's eyes and hands: finds the player's window, takes pictures of it,
// moves the pointer and presses buttons and keys (through xdotool, as real input), and asks
// the window to close the way a window manager does.
#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "Picture.h"

namespace PlayerTest {

class Screen
{
public:
    // Connects to DISPLAY; Ok() is false (with the reason in Error()) when that fails.
    Screen();
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool Ok() const { return m_Display != nullptr; }
    int Width() const { return m_Display != nullptr ? DisplayWidth(m_Display, DefaultScreen(m_Display)) : 0; }
    int Height() const
    {
        return m_Display != nullptr ? DisplayHeight(m_Display, DefaultScreen(m_Display)) : 0;
    }
    const std::string& Error() const { return m_Error; }

    // The mapped top-level window whose _NET_WM_PID is p_Pid, or 0.
    Window FindWindowOf(pid_t p_Pid);
    // What the screen shows of the window's first p_Width x p_Height pixels; empty when the
    // window is gone.
    Picture Grab(Window p_Window, int p_Width, int p_Height);
    // The window's title (_NET_WM_NAME, UTF-8), empty when it has none.
    std::string Title(Window p_Window);
    // The window's top-left corner on the screen.
    bool Origin(Window p_Window, int& p_X, int& p_Y);

    // WM_DELETE_WINDOW through WM_PROTOCOLS, as a window manager sends it for the close button.
    bool AskToClose(Window p_Window);
    // Keyboard focus to the window, so that key presses go to it.
    bool Focus(Window p_Window);

    // Real input through the XTEST extension (xdotool), in the window's own coordinates.
    bool MovePointer(Window p_Window, int p_X, int p_Y);
    // Left button pressed at the first point, moved through the others, released at the last.
    bool Drag(Window p_Window, const std::vector<std::pair<int, int>>& p_Points);
    bool PressKeys(const std::vector<std::string>& p_Keys);

private:
    Display* m_Display = nullptr;
    std::string m_Error;
};

}  // namespace PlayerTest

#endif
