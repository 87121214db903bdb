#include "Terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "EndingSignals.h"

namespace {

volatile std::sig_atomic_t g_StopSignal = 0;
// The settings to give back, and whether the terminal is taken; read by the signal handler.
struct termios g_Saved;
volatile std::sig_atomic_t g_Taken = 0;

void OnStopSignal(int p_Signal)
{
    if (g_Taken != 0)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_Saved);  // async-signal-safe
    g_Taken = 0;
    g_StopSignal = p_Signal;
}

}  // namespace

void CatchStopSignals() { CatchEndingSignals(OnStopSignal); }

int StopSignal() { return g_StopSignal; }

Terminal::Terminal()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) || tcgetattr(STDIN_FILENO, &g_Saved) != 0)
        return;
    struct termios l_Raw = g_Saved;
    // Keys arrive one by one without echo. Ctrl-C still interrupts; Ctrl-Z is switched off, since
    // a stopped player would leave the shell a terminal without echo.
    l_Raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
    l_Raw.c_cc[VMIN] = 1;
    l_Raw.c_cc[VTIME] = 0;
    l_Raw.c_cc[VSUSP] = _POSIX_VDISABLE;
    g_Taken = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &l_Raw) != 0) {
        g_Taken = 0;
        return;
    }
    active = true;
}

void Terminal::Restore()
{
    if (g_Taken != 0)
        tcsetattr(STDIN_FILENO, TCSANOW, &g_Saved);
    g_Taken = 0;
}

namespace {

// The keys by the byte that presses them, and the arrows by the last byte of their sequences.
// 1 to 8 mute the melody tracks and the row a to k the drum tracks (q, the row above, quits).
constexpr std::pair<char, Key> kKeys[] = {
    {' ', Key::PAUSE},    {'q', Key::QUIT},     {'Q', Key::QUIT},   {'n', Key::NEXT},   {'N', Key::NEXT},
    {'p', Key::PREVIOUS}, {'P', Key::PREVIOUS}, {'+', Key::FASTER}, {'=', Key::FASTER}, {'-', Key::SLOWER},
    {'>', Key::HIGHER},   {'.', Key::HIGHER},   {'<', Key::LOWER},  {',', Key::LOWER},  {'1', MuteKey(0)},
    {'2', MuteKey(1)},    {'3', MuteKey(2)},    {'4', MuteKey(3)},  {'5', MuteKey(4)},  {'6', MuteKey(5)},
    {'7', MuteKey(6)},    {'8', MuteKey(7)},    {'a', MuteKey(8)},  {'s', MuteKey(9)},  {'d', MuteKey(10)},
    {'f', MuteKey(11)},   {'g', MuteKey(12)},   {'h', MuteKey(13)}, {'j', MuteKey(14)}, {'k', MuteKey(15)}};
constexpr std::pair<char, Key> kArrows[] = {
    {'A', Key::LOUDER}, {'B', Key::SOFTER}, {'C', Key::FORWARD}, {'D', Key::BACK}};

template <std::size_t Count>
void Press(const std::pair<char, Key> (&p_Table)[Count], unsigned char p_Byte, std::vector<Key>& p_Keys)
{
    for (const std::pair<char, Key>& l_Entry : p_Table)
        if (static_cast<unsigned char>(l_Entry.first) == p_Byte)
            p_Keys.push_back(l_Entry.second);
}

// Turns one byte from the terminal into keys. Arrow keys come as ESC [ A..D (or ESC O A..D in the
// terminal's application mode); p_Pending holds such a sequence while it is incomplete.
void Decode(unsigned char p_Byte, std::string& p_Pending, std::vector<Key>& p_Keys)
{
    if (!p_Pending.empty()) {
        p_Pending.push_back(char(p_Byte));
        if (p_Pending.size() == 2) {
            if (p_Byte != '[' && p_Byte != 'O')
                p_Pending.clear();
            return;
        }
        p_Pending.clear();
        Press(kArrows, p_Byte, p_Keys);
        return;
    }
    if (p_Byte == 0x1b)
        p_Pending.assign(1, char(p_Byte));
    Press(kKeys, p_Byte, p_Keys);
}

}  // namespace

std::vector<Key> Terminal::Wait(std::chrono::steady_clock::time_point p_Until, int p_WakeFd)
{
    std::vector<Key> l_Keys;
    const auto l_Left = p_Until - std::chrono::steady_clock::now();
    const long long l_Ns = std::max<long long>(0, std::chrono::nanoseconds(l_Left).count());
    const struct timespec l_Timeout = {static_cast<std::time_t>(l_Ns / 1000000000),
                                       static_cast<long>(l_Ns % 1000000000)};
    // poll passes over a negative descriptor.
    struct pollfd l_Fds[2] = {{active ? STDIN_FILENO : -1, POLLIN, 0}, {p_WakeFd, POLLIN, 0}};
    const int l_Ready = ppoll(l_Fds, 2, &l_Timeout, nullptr);
    if (l_Ready <= 0 || !active || l_Fds[0].revents == 0)
        return l_Keys;
    unsigned char l_Bytes[64];
    const ssize_t l_Count = read(STDIN_FILENO, l_Bytes, sizeof l_Bytes);
    if (l_Count <= 0) {
        // The terminal went away: nothing more will come from it.
        Restore();
        active = false;
        return l_Keys;
    }
    for (ssize_t i = 0; i < l_Count; ++i)
        Decode(l_Bytes[i], pending, l_Keys);
    return l_Keys;
}

void Terminal::ShowStatus(const std::string& p_Line) { ShowLines({p_Line}); }

bool Terminal::HoldsLines(std::size_t p_Lines) const
{
    const char* l_Term = std::getenv("TERM");
    struct winsize l_Size = {};
    const bool l_Rows =
        ioctl(STDOUT_FILENO, TIOCGWINSZ, &l_Size) != 0 || l_Size.ws_row == 0 || l_Size.ws_row > p_Lines;
    return active && l_Term != nullptr && *l_Term != '\0' && std::strcmp(l_Term, "dumb") != 0 && l_Rows;
}

void Terminal::ShowLines(const std::vector<std::string>& p_Lines)
{
    if (!active || p_Lines.empty() || (lineOpen && p_Lines == drawn))
        return;
    const std::size_t l_Count = p_Lines.size() > 1 && HoldsLines(p_Lines.size()) ? p_Lines.size() : 1;
    struct winsize l_Size = {};
    const std::size_t l_Columns = ioctl(STDOUT_FILENO, TIOCGWINSZ, &l_Size) == 0 ? l_Size.ws_col : 0;
    // Back to the first line shown, each line rewritten, and whatever the last time showed below
    // them cleared.
    std::string l_Text;
    if (lineOpen && rows > 1)
        l_Text += "\033[" + std::to_string(rows - 1) + "A";
    for (std::size_t l_Line = 0; l_Line < l_Count; ++l_Line)
        l_Text += (l_Line > 0 ? "\n\r" : "\r") + FitWidth(p_Lines[l_Line], l_Columns) + "\033[K";
    if (lineOpen && rows > l_Count)
        l_Text += "\033[J";
    std::fputs(l_Text.c_str(), stdout);
    std::fflush(stdout);
    lineOpen = true;
    rows = l_Count;
    drawn = p_Lines;
}

void Terminal::ClearStatus()
{
    if (!lineOpen)
        return;
    if (rows > 1)
        std::printf("\033[%zuA", rows - 1);
    std::fputs("\r\033[J", stdout);
    std::fflush(stdout);
    lineOpen = false;
    rows = 0;
    drawn.clear();
}
