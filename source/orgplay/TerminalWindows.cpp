// The terminal on Windows: the console's input without line editing or echo, its key events, and
// its Ctrl-C, which gives the console back at once and ends the player in order.
#include "Terminal.h"

#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <utility>

namespace {

volatile LONG g_StopSignal = 0;
HANDLE g_StopEvent = nullptr;  // set with the stop signal, to end a wait
// The console's input mode to give back, and whether it is taken; read by the control handler,
// which runs on a thread of its own.
DWORD g_SavedMode = 0;
volatile LONG g_Taken = 0;

// The keys by their virtual-key codes.
// As on POSIX: 1 to 8 mute the melody tracks, the row A to K the drum tracks.
constexpr std::pair<WORD, Key> kKeys[] = {{VK_SPACE, Key::PAUSE},
                                          {'Q', Key::QUIT},
                                          {'N', Key::NEXT},
                                          {'P', Key::PREVIOUS},
                                          {VK_LEFT, Key::BACK},
                                          {VK_RIGHT, Key::FORWARD},
                                          {VK_UP, Key::LOUDER},
                                          {VK_DOWN, Key::SOFTER},
                                          {VK_OEM_PLUS, Key::FASTER},
                                          {VK_ADD, Key::FASTER},
                                          {VK_OEM_MINUS, Key::SLOWER},
                                          {VK_SUBTRACT, Key::SLOWER},
                                          {VK_OEM_PERIOD, Key::HIGHER},
                                          {VK_OEM_COMMA, Key::LOWER},
                                          {'1', MuteKey(0)},
                                          {'2', MuteKey(1)},
                                          {'3', MuteKey(2)},
                                          {'4', MuteKey(3)},
                                          {'5', MuteKey(4)},
                                          {'6', MuteKey(5)},
                                          {'7', MuteKey(6)},
                                          {'8', MuteKey(7)},
                                          {'A', MuteKey(8)},
                                          {'S', MuteKey(9)},
                                          {'D', MuteKey(10)},
                                          {'F', MuteKey(11)},
                                          {'G', MuteKey(12)},
                                          {'H', MuteKey(13)},
                                          {'J', MuteKey(14)},
                                          {'K', MuteKey(15)}};

BOOL WINAPI OnControl(DWORD p_Event)
{
    if (p_Event != CTRL_C_EVENT && p_Event != CTRL_BREAK_EVENT && p_Event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (InterlockedExchange(&g_Taken, 0) != 0)
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), g_SavedMode);
    InterlockedExchange(&g_StopSignal, p_Event == CTRL_CLOSE_EVENT ? SIGTERM : SIGINT);
    if (g_StopEvent != nullptr)
        SetEvent(g_StopEvent);
    return TRUE;
}

}  // namespace

void CatchStopSignals()
{
    g_StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

int StopSignal() { return static_cast<int>(g_StopSignal); }

Terminal::Terminal()
{
    const HANDLE l_In = GetStdHandle(STD_INPUT_HANDLE);
    DWORD l_OutMode = 0;
    if (!GetConsoleMode(l_In, &g_SavedMode) || !GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &l_OutMode))
        return;
    // Keys arrive one by one without echo; Ctrl-C still reaches the control handler.
    InterlockedExchange(&g_Taken, 1);
    if (!SetConsoleMode(l_In, g_SavedMode & ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT))) {
        InterlockedExchange(&g_Taken, 0);
        return;
    }
    active = true;
}

void Terminal::Restore()
{
    if (InterlockedExchange(&g_Taken, 0) != 0)
        SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), g_SavedMode);
}

std::vector<Key> Terminal::Wait(std::chrono::steady_clock::time_point p_Until, int)
{
    std::vector<Key> l_Keys;
    const auto l_Left =
        std::chrono::ceil<std::chrono::milliseconds>(p_Until - std::chrono::steady_clock::now());
    const DWORD l_Ms = static_cast<DWORD>(std::max<long long>(0, l_Left.count()));
    HANDLE l_Handles[2] = {g_StopEvent, GetStdHandle(STD_INPUT_HANDLE)};
    const DWORD l_Count = (g_StopEvent != nullptr ? 1 : 0) + (active ? 1 : 0);
    if (l_Count == 0) {
        Sleep(l_Ms);
        return l_Keys;
    }
    HANDLE* l_First = g_StopEvent != nullptr ? l_Handles : l_Handles + 1;
    if (WaitForMultipleObjects(l_Count, l_First, FALSE, l_Ms) == WAIT_TIMEOUT || !active)
        return l_Keys;
    INPUT_RECORD l_Records[32];
    DWORD l_Read = 0;
    DWORD l_Pending = 0;
    if (!GetNumberOfConsoleInputEvents(l_Handles[1], &l_Pending) || l_Pending == 0 ||
        !ReadConsoleInputW(l_Handles[1], l_Records, 32, &l_Read))
        return l_Keys;
    for (DWORD i = 0; i < l_Read; ++i) {
        if (l_Records[i].EventType != KEY_EVENT || !l_Records[i].Event.KeyEvent.bKeyDown)
            continue;
        for (const std::pair<WORD, Key>& l_Entry : kKeys)
            if (l_Entry.first == l_Records[i].Event.KeyEvent.wVirtualKeyCode)
                l_Keys.push_back(l_Entry.second);
    }
    return l_Keys;
}

void Terminal::ShowStatus(const std::string& p_Line)
{
    if (!active)
        return;
    // The old console has no escape sequences: the rest of a longer line is blanked with spaces.
    CONSOLE_SCREEN_BUFFER_INFO l_Info;
    std::string l_Line = FitWidth(
        p_Line, GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &l_Info) && l_Info.dwSize.X > 0
                    ? std::size_t(l_Info.dwSize.X)
                    : 0);
    const std::size_t l_Width = l_Line.size();
    if (l_Line.size() < shown)
        l_Line.append(shown - l_Line.size(), ' ');
    std::printf("\r%s", l_Line.c_str());
    std::fflush(stdout);
    shown = l_Width;
    lineOpen = true;
}

// The old console has no cursor movement: it keeps the status line alone.
bool Terminal::HoldsLines(std::size_t p_Lines) const { return p_Lines <= 1; }

void Terminal::ShowLines(const std::vector<std::string>& p_Lines)
{
    if (!p_Lines.empty() && !(lineOpen && p_Lines == drawn)) {
        ShowStatus(p_Lines[0]);
        drawn = p_Lines;
    }
}

void Terminal::ClearStatus()
{
    if (!lineOpen)
        return;
    std::printf("\r%*s\r", static_cast<int>(shown), "");
    std::fflush(stdout);
    lineOpen = false;
    shown = 0;
}
