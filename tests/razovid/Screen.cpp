#include "Screen.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "PlayerProcess.h"

namespace PlayerTest {

namespace {

// The player's window may go away between two requests (that is what closing it is for);
// such errors are expected and must not end the test program.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

int ShiftOf(unsigned long p_Mask)
{
    int l_Shift = 0;
    while (p_Mask != 0 && (p_Mask & 1) == 0) {
        p_Mask >>= 1;
        ++l_Shift;
    }
    return l_Shift;
}

}  // namespace

Screen::Screen()
{
    const char* l_Name = std::getenv("DISPLAY");
    if (l_Name == nullptr || l_Name[0] == '\0') {
        m_Error = "DISPLAY is not set: these tests run the player on an X server. Start one with\n"
                  "  Xvfb :99 -screen 0 1024x768x24 -noreset & export DISPLAY=:99\n"
                  "(scripts/run-tests.sh does so by itself).";
        return;
    }
    // A server started without -noreset resets when its last client leaves, and refuses
    // connections meanwhile: the previous test program may just have ended.
    for (int l_Try = 0; l_Try < 10 && m_Display == nullptr; ++l_Try) {
        if (l_Try > 0)
            usleep(200000);
        m_Display = XOpenDisplay(nullptr);
    }
    if (m_Display == nullptr) {
        m_Error = std::string("cannot connect to the X server on DISPLAY=") + l_Name;
        return;
    }
    XSetErrorHandler(IgnoreXError);
}

Screen::~Screen()
{
    if (m_Display != nullptr)
        XCloseDisplay(m_Display);
}

Window Screen::FindWindowOf(pid_t p_Pid)
{
    const Atom l_PidAtom = XInternAtom(m_Display, "_NET_WM_PID", True);
    if (l_PidAtom == None)
        return 0;
    Window l_Root = 0, l_Parent = 0, *l_Children = nullptr;
    unsigned l_Count = 0;
    Window l_Found = 0;
    if (XQueryTree(m_Display, DefaultRootWindow(m_Display), &l_Root, &l_Parent, &l_Children, &l_Count) == 0)
        return 0;
    for (unsigned i = 0; i < l_Count && l_Found == 0; ++i) {
        Atom l_Type = None;
        int l_Format = 0;
        unsigned long l_Items = 0, l_After = 0;
        unsigned char* l_Data = nullptr;
        if (XGetWindowProperty(m_Display, l_Children[i], l_PidAtom, 0, 1, False, XA_CARDINAL, &l_Type,
                               &l_Format, &l_Items, &l_After, &l_Data) == Success &&
            l_Data != nullptr && l_Items == 1 && l_Format == 32 &&
            pid_t(*reinterpret_cast<unsigned long*>(l_Data)) == p_Pid) {
            XWindowAttributes l_Attributes;
            if (XGetWindowAttributes(m_Display, l_Children[i], &l_Attributes) != 0 &&
                l_Attributes.map_state == IsViewable)
                l_Found = l_Children[i];
        }
        if (l_Data != nullptr)
            XFree(l_Data);
    }
    if (l_Children != nullptr)
        XFree(l_Children);
    return l_Found;
}

std::string Screen::Title(Window p_Window)
{
    const Atom l_Name = XInternAtom(m_Display, "_NET_WM_NAME", False);
    const Atom l_Utf8 = XInternAtom(m_Display, "UTF8_STRING", False);
    Atom l_Type = None;
    int l_Format = 0;
    unsigned long l_Items = 0, l_After = 0;
    unsigned char* l_Data = nullptr;
    std::string l_Title;
    if (XGetWindowProperty(m_Display, p_Window, l_Name, 0, 4096, False, l_Utf8, &l_Type, &l_Format, &l_Items,
                           &l_After, &l_Data) == Success &&
        l_Data != nullptr && l_Format == 8)
        l_Title.assign(reinterpret_cast<const char*>(l_Data), l_Items);
    if (l_Data != nullptr)
        XFree(l_Data);
    return l_Title;
}

bool Screen::Origin(Window p_Window, int& p_X, int& p_Y)
{
    Window l_Child = 0;
    return XTranslateCoordinates(m_Display, p_Window, DefaultRootWindow(m_Display), 0, 0, &p_X, &p_Y,
                                 &l_Child) != 0;
}

Picture Screen::Grab(Window p_Window, int p_Width, int p_Height)
{
    // Read from the root window: that is what shows on the screen, the OpenGL child included.
    int l_X = 0, l_Y = 0;
    if (!Origin(p_Window, l_X, l_Y))
        return Picture();
    XImage* l_Image = XGetImage(m_Display, DefaultRootWindow(m_Display), l_X, l_Y, unsigned(p_Width),
                                unsigned(p_Height), AllPlanes, ZPixmap);
    if (l_Image == nullptr)
        return Picture();
    const int l_RedShift = ShiftOf(l_Image->red_mask), l_GreenShift = ShiftOf(l_Image->green_mask),
              l_BlueShift = ShiftOf(l_Image->blue_mask);
    Picture l_Picture(p_Width, p_Height);
    for (int j = 0; j < p_Height; ++j)
        for (int i = 0; i < p_Width; ++i) {
            const unsigned long l_Pixel = XGetPixel(l_Image, i, j);
            l_Picture.Set(i, j,
                          {int((l_Pixel & l_Image->red_mask) >> l_RedShift),
                           int((l_Pixel & l_Image->green_mask) >> l_GreenShift),
                           int((l_Pixel & l_Image->blue_mask) >> l_BlueShift)});
        }
    XDestroyImage(l_Image);
    return l_Picture;
}

bool Screen::AskToClose(Window p_Window)
{
    XEvent l_Event;
    std::memset(&l_Event, 0, sizeof l_Event);
    l_Event.xclient.type = ClientMessage;
    l_Event.xclient.window = p_Window;
    l_Event.xclient.message_type = XInternAtom(m_Display, "WM_PROTOCOLS", False);
    l_Event.xclient.format = 32;
    l_Event.xclient.data.l[0] = long(XInternAtom(m_Display, "WM_DELETE_WINDOW", False));
    l_Event.xclient.data.l[1] = CurrentTime;
    const Status l_Sent = XSendEvent(m_Display, p_Window, False, NoEventMask, &l_Event);
    XSync(m_Display, False);
    return l_Sent != 0;
}

bool Screen::Focus(Window p_Window)
{
    XSetInputFocus(m_Display, p_Window, RevertToPointerRoot, CurrentTime);
    XSync(m_Display, False);
    Window l_Focus = 0;
    int l_Revert = 0;
    XGetInputFocus(m_Display, &l_Focus, &l_Revert);
    return l_Focus == p_Window;
}

bool Screen::MovePointer(Window p_Window, int p_X, int p_Y)
{
    int l_X = 0, l_Y = 0;
    if (!Origin(p_Window, l_X, l_Y))
        return false;
    return RunTool({"xdotool", "mousemove", std::to_string(l_X + p_X), std::to_string(l_Y + p_Y)});
}

bool Screen::Drag(Window p_Window, const std::vector<std::pair<int, int>>& p_Points)
{
    int l_X = 0, l_Y = 0;
    if (p_Points.empty() || !Origin(p_Window, l_X, l_Y))
        return false;
    // One xdotool run with short pauses, so the player sees every step as its own event, as
    // from a hand on the mouse.
    std::vector<std::string> l_Args = {"xdotool"};
    for (std::size_t i = 0; i < p_Points.size(); ++i) {
        l_Args.insert(l_Args.end(), {"mousemove", std::to_string(l_X + p_Points[i].first),
                                     std::to_string(l_Y + p_Points[i].second), "sleep", "0.05"});
        if (i == 0)
            l_Args.insert(l_Args.end(), {"mousedown", "1", "sleep", "0.05"});
    }
    l_Args.insert(l_Args.end(), {"mouseup", "1", "sleep", "0.05"});
    return RunTool(l_Args);
}

bool Screen::PressKeys(const std::vector<std::string>& p_Keys)
{
    std::vector<std::string> l_Args = {"xdotool", "key", "--delay", "30"};
    l_Args.insert(l_Args.end(), p_Keys.begin(), p_Keys.end());
    return RunTool(l_Args);
}

}  // namespace PlayerTest
