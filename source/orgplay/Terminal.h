#ifndef TUNEWRIGHT_TERMINAL_H
#define TUNEWRIGHT_TERMINAL_H

// The player's terminal: keys read one at a time without echo, a status line rewritten in place,
// and the terminal's own settings given back on every way out (the end, q, a fatal signal).
// TerminalPosix.cpp drives a POSIX terminal, TerminalWindows.cpp the Windows console; Terminal.cpp
// holds what they share.
#include <chrono>
#include <string>
#include <vector>

enum class Key {
    PAUSE,
    QUIT,
    NEXT,
    PREVIOUS,
    BACK,
    FORWARD,
    LOUDER,
    SOFTER,
    FASTER,
    SLOWER,
    HIGHER,
    LOWER,
    MUTE_TRACK  // track 0; the tracks after it follow (MuteKey)
};

// The key that toggles the mute of track p_Track, and the track a key mutes (-1: none).
constexpr Key MuteKey(int p_Track) { return static_cast<Key>(static_cast<int>(Key::MUTE_TRACK) + p_Track); }
constexpr int MutedTrack(Key p_Key)
{
    return p_Key >= Key::MUTE_TRACK ? static_cast<int>(p_Key) - static_cast<int>(Key::MUTE_TRACK) : -1;
}

// The signals that end the player (interrupt, termination, a closed terminal and every other one
// whose default action ends a process; EndingSignals.h) are caught: they give the terminal back at
// once and are then reported here, so that the player ends in order and then dies of the signal.
void CatchStopSignals();
// The signal that asked the player to stop, or 0.
int StopSignal();

class Terminal
{
public:
    // Takes the terminal when standard input and output both are one; otherwise stays inactive,
    // and only waits.
    Terminal();
    ~Terminal();  // gives the terminal back
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    bool Active() const { return active; }

    // Waits until p_Until, a key, a signal or, on POSIX, p_WakeFd becoming readable (-1: none),
    // whichever comes first; returns the keys pressed.
    std::vector<Key> Wait(std::chrono::steady_clock::time_point p_Until, int p_WakeFd = -1);

    // Rewrites the status line (cut to the terminal's width).
    void ShowStatus(const std::string& p_Line);
    // Whether the terminal can keep p_Lines lines rewritten in place: it understands cursor
    // movement and holds them all. The Windows console keeps one line.
    bool HoldsLines(std::size_t p_Lines) const;
    // Rewrites the status lines, p_Lines[0] first, in place of the ones shown before (a line only
    // where HoldsLines says no); nothing is written when they are the lines on screen.
    void ShowLines(const std::vector<std::string>& p_Lines);
    // Clears the status lines, so that a message can take their place.
    void ClearStatus();
    // Leaves the status lines as they are and moves below them.
    void EndStatus();

private:
    void Restore();
    // p_Line cut to leave the last of p_Columns free (p_Columns 0: unknown, uncut).
    static std::string FitWidth(const std::string& p_Line, std::size_t p_Columns);

    bool active = false;
    bool lineOpen = false;
    std::size_t shown = 0;           // characters of the status line on screen, where that is counted
    std::size_t rows = 0;            // status lines on screen, where there may be several
    std::vector<std::string> drawn;  // the lines on screen
    std::string pending;             // the start of an escape sequence, where keys come as bytes
};

#endif
