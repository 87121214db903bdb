// What the POSIX terminal and the Windows console have in common: the way out and the status line's
// width.
#include "Terminal.h"

#include <cstdio>

Terminal::~Terminal()
{
    EndStatus();
    Restore();
}

void Terminal::EndStatus()
{
    if (!lineOpen)
        return;
    std::fputc('\n', stdout);
    std::fflush(stdout);
    lineOpen = false;
    shown = 0;
    rows = 0;
    drawn.clear();
}

std::string Terminal::FitWidth(const std::string& p_Line, std::size_t p_Columns)
{
    // A line that wraps could not be rewritten in place.
    if (p_Columns > 1 && p_Line.size() >= p_Columns)
        return p_Line.substr(0, p_Columns - 1);
    return p_Line;
}
