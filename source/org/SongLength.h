#ifndef TUNEWRIGHT_SONGLENGTH_H
#define TUNEWRIGHT_SONGLENGTH_H

// How long a song lasts when it is played to an end, for every program and interface alike. The
// song plays its intro (beats 0 to loopstart), then its loop (loopstart to loopstop) again and
// again; laid end to end these are the unrolled beats. A loop count is a count of repeats: N plays
// the loop N + 1 times after the intro, 0 once, LOOPS_FOREVER (-1) for ever. An empty loop
// (loopstop at or before loopstart) adds nothing, so such a song lasts its intro. Where a length
// is read out in frames it is rounded up to whole mix blocks (SongStepper), as the clock is stepped.
// Header-only, so that the programs that link the shared library use this very rule.
#include <limits>
#include <string>

#include "OrgSongTypes.h"
#include "SongStepper.h"

namespace Org {

constexpr int LOOPS_FOREVER = -1;

class SongLength
{
public:
    // A length that has no end.
    static constexpr unsigned long long FOREVER = std::numeric_limits<unsigned long long>::max();
    // The longest finite length in milliseconds (about 580,000 years): its frames at any rate up to
    // 192 kHz, and the seconds it is reported in, are still exact enough to be compared.
    static constexpr unsigned long long MAX_MS = FOREVER / 1000;

    explicit SongLength(const Header& p_Header)
        : tempo(p_Header.tempo), intro(p_Header.loopstart),
          loop(p_Header.loopstop > p_Header.loopstart ? 0ull + p_Header.loopstop - p_Header.loopstart : 0ull)
    {}

    unsigned long long IntroBeats() const { return intro; }
    unsigned long long LoopBeats() const { return loop; }  // 0: the loop is empty
    unsigned Tempo() const { return tempo; }               // ms per beat

    // Whether p_Loops repeats never end: only a loop that holds beats can repeat for ever.
    bool Forever(int p_Loops) const { return p_Loops < 0 && loop > 0; }

    // Milliseconds the song lasts with p_Loops repeats of its loop: FOREVER when they never end.
    unsigned long long Ms(int p_Loops) const
    {
        if (Forever(p_Loops))
            return FOREVER;
        if (p_Loops < 0)
            p_Loops = 0;
        // Up to 2^32 + 2^31 x 2^32 beats of 65535 ms: in long double, then capped.
        const long double l_Ms = static_cast<long double>(tempo) * (intro + (p_Loops + 1.0L) * loop);
        return l_Ms >= static_cast<long double>(MAX_MS) ? MAX_MS : static_cast<unsigned long long>(l_Ms);
    }

    // Milliseconds from the start to the unrolled beat p_Beat (capped as Ms is).
    unsigned long long MsOfBeat(unsigned long long p_Beat) const
    {
        const long double l_Ms = static_cast<long double>(tempo) * p_Beat;
        return l_Ms >= static_cast<long double>(MAX_MS) ? MAX_MS : p_Beat * tempo;
    }

    // The unrolled beat that p_Ms falls in (0 when beats take no time).
    unsigned long long BeatAt(unsigned long long p_Ms) const { return tempo == 0 ? 0 : p_Ms / tempo; }

    // The song's own beat at the unrolled beat p_Beat: past the loop's end, the same place in the loop.
    unsigned long long SongBeat(unsigned long long p_Beat) const
    {
        return loop > 0 && p_Beat >= intro + loop ? intro + (p_Beat - intro) % loop : p_Beat;
    }

    // Passes of the loop finished before the unrolled beat p_Beat.
    unsigned long long PassesBefore(unsigned long long p_Beat) const
    {
        return loop > 0 && p_Beat >= intro ? (p_Beat - intro) / loop : 0;
    }

    // Why the song lasts no time at all with p_Loops repeats, as the end of a sentence; empty when
    // it has a length (or plays for ever).
    std::string NoLengthReason(int p_Loops) const
    {
        if (Ms(p_Loops) > 0)
            return "";
        if (tempo == 0)
            return "its tempo is 0 ms per beat, so its beats take no time";
        return "its loop is empty (beats " + std::to_string(intro) + " to " + std::to_string(intro + loop) +
               ") and nothing comes before it, so it has no length of its own";
    }

    // The milliseconds of p_Seconds (> 0), to the nearest.
    static unsigned long long MsOfSeconds(double p_Seconds)
    {
        const double l_Ms = p_Seconds * 1000.0 + 0.5;
        return l_Ms >= static_cast<double>(MAX_MS) ? MAX_MS : static_cast<unsigned long long>(l_Ms);
    }

    // The whole frames within p_Ms at p_Rate (up to 192 kHz); FOREVER stays FOREVER.
    static unsigned long long ExactFrames(unsigned long long p_Ms, int p_Rate)
    {
        if (p_Ms == FOREVER)
            return FOREVER;
        const unsigned long long l_Rate = static_cast<unsigned long long>(p_Rate > 0 ? p_Rate : 1);
        return p_Ms / 1000 * l_Rate + p_Ms % 1000 * l_Rate / 1000;
    }

    // Frames a song of p_Ms lasts at p_Rate: whole mix blocks, the last one reaching the end.
    static unsigned long long Frames(unsigned long long p_Ms, int p_Rate)
    {
        const unsigned long long l_Exact = ExactFrames(p_Ms, p_Rate);
        const unsigned long long l_Block = SongStepper::BlockFrames(p_Rate);
        return l_Exact == FOREVER ? FOREVER : (l_Exact + l_Block - 1) / l_Block * l_Block;
    }

private:
    unsigned tempo;
    unsigned long long intro;
    unsigned long long loop;
};

}  // namespace Org

#endif
