// The song clock: wall-clock milliseconds become a cursor in beats that loops forever.
#include "ClockQuad.h"
#include "OrgSong.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace Org {

namespace {

// Each step is a double quotient, rounded to a double before it reaches the cursor. A build whose
// doubles live in the x87 unit's wider registers would add it unrounded, and beats would start on
// other milliseconds than on every other platform (32-bit x86 builds use SSE2: -mfpmath=sse).
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0
#error "the song clock needs double arithmetic rounded to double"
#endif

// Where long double is an IEEE quadruple (WebAssembly, AArch64), emulated where it is not the
// hardware's, the clock works on its bits in integers.
#if LDBL_MANT_DIG == 113 && defined(__SIZEOF_INT128__)
#define ORG_CLOCK_ON_QUAD_BITS 1
#else
#define ORG_CLOCK_ON_QUAD_BITS 0
#endif

#if ORG_CLOCK_ON_QUAD_BITS
ClockQuad::Bits QuadBits(long double p_Value)
{
    ClockQuad::Bits l_Bits;
    std::memcpy(&l_Bits, &p_Value, sizeof l_Bits);
    return l_Bits;
}
#endif

// The beat a cursor stands on. The cursor never goes below 0, and 64 bits hold any beat
// (positions are 32-bit), so this never overflows the way a plain int would.
std::int64_t BeatOf(long double p_Cursor)
{
#if (defined(__i386__) || defined(__x86_64__)) && LDBL_MANT_DIG == 64
    // A plain conversion switches the x87 unit to truncation and back: two control-word loads
    // that cost more than the rest of the clock's step. Rounding in whatever mode is set, then
    // stepping back a beat where that went up, gives the same beat for a cursor that is never
    // negative.
    std::int64_t l_Beat;
    __asm__("fistpll %0" : "=m"(l_Beat) : "t"(p_Cursor) : "st");
    if (static_cast<long double>(l_Beat) > p_Cursor)
        --l_Beat;
    return l_Beat;
#elif ORG_CLOCK_ON_QUAD_BITS
    return ClockQuad::BeatOf(QuadBits(p_Cursor));
#else
    return static_cast<std::int64_t>(p_Cursor);
#endif
}

// p_Cursor + p_Step with a 64-bit significand (x86's extended precision), rounded to nearest, so that
// every build starts each beat on the same millisecond. On x86 the x87 unit rounds a long double sum
// to the width its control word sets, and Windows starts every thread with that width at 53 bits (Linux at
// 64, and the C runtime sets 64 on the main thread only): the clock may run on any thread (a decoder in a
// sound callback), so the width is set for the addition.
long double AddStep(long double p_Cursor, double p_Step)
{
#if (defined(__i386__) || defined(__x86_64__)) && LDBL_MANT_DIG == 64
    std::uint16_t l_Saved = 0;
    __asm__ volatile("fnstcw %0" : "=m"(l_Saved));
    const std::uint16_t l_Extended = static_cast<std::uint16_t>((l_Saved & ~0x0F00) | 0x0300);
    long double l_Sum;
    if (l_Saved == l_Extended) {
        // Already 64 bits, to nearest (Linux threads start so): loading the control word again
        // would only cost time.
        __asm__ volatile("fldt %[cursor]\n\t"
                         "faddl %[step]\n\t"
                         "fstpt %[sum]"
                         : [sum] "=m"(l_Sum)
                         : [cursor] "m"(p_Cursor), [step] "m"(p_Step));
        return l_Sum;
    }
    __asm__ volatile(
        "fldcw %[mode]\n\t"
        "fldt %[cursor]\n\t"
        "faddl %[step]\n\t"
        "fstpt %[sum]\n\t"
        "fldcw %[saved]"
        : [sum] "=m"(l_Sum)
        : [mode] "m"(l_Extended), [cursor] "m"(p_Cursor), [step] "m"(p_Step), [saved] "m"(l_Saved));
    return l_Sum;
#elif ORG_CLOCK_ON_QUAD_BITS
    const ClockQuad::Bits l_Sum = ClockQuad::AddStep(QuadBits(p_Cursor), p_Step);
    std::memcpy(&p_Cursor, &l_Sum, sizeof l_Sum);
    return p_Cursor;
#elif LDBL_MANT_DIG > 64
    // Another wider format (or no 128-bit integers): the sum's significand rounded to 64 bits.
    const long double l_Sum = p_Cursor + p_Step;
    if (l_Sum == 0.0L || !std::isfinite(l_Sum))
        return l_Sum;
    int l_Exponent = 0;
    const long double l_Fraction = std::frexp(l_Sum, &l_Exponent);
    return std::ldexp(std::nearbyint(std::ldexp(l_Fraction, 64)), l_Exponent - 64);
#else
    return p_Cursor + p_Step;
#endif
}

}  // namespace

bool OrgSong::Play()
{
    isPlaying = !isPlaying;
    return isPlaying;
}

bool OrgSong::Play(unsigned int p_Beat)
{
    SetCursor(p_Beat);
    isPlaying = true;
    return true;
}

bool OrgSong::Pause()
{
    isPlaying = false;
    return true;
}

bool OrgSong::Stop()
{
    isPlaying = false;
    cursor = 0;
    cursorUpdated = true;
    return true;
}

bool OrgSong::IsPlaying() { return isPlaying; }

unsigned int OrgSong::GetCursor() { return static_cast<unsigned int>(BeatOf(cursor)); }

long double OrgSong::GetPosition() const { return cursor; }

bool OrgSong::SetCursor(unsigned int p_Beat)
{
    cursor = p_Beat;
    cursorUpdated = true;
    return true;
}

int OrgSong::Update(unsigned long p_Ticks)
{
    // The tick counter is 32 bits wide; differences modulo 2^32 keep the clock smooth
    // across its wrap on every build.
    const std::uint32_t l_Time = static_cast<std::uint32_t>(p_Ticks);
    const std::uint32_t l_Elapsed = l_Time - static_cast<std::uint32_t>(msLastUpdate);

    // The first update after a reset only records the time: there is nothing to count from.
    if (updatedSinceReset && isPlaying && l_Elapsed != 0) {
        const std::int64_t l_OldBeat = BeatOf(cursor);
        if (msPerBeat == 0) {
            // Beats of no length: every advance starts a new beat, which is at or past the loop end.
            cursorUpdated = true;
            cursor = header.loopstart;
        } else {
            cursor = AddStep(cursor, static_cast<double>(l_Elapsed) / static_cast<double>(msPerBeat));
            cursorUpdated = false;
            const std::int64_t l_Beat = BeatOf(cursor);
            if (l_Beat != l_OldBeat) {
                cursorUpdated = true;
                // The cursor is at or past the whole beat loopstop exactly when its beat is.
                if (l_Beat >= header.loopstop)
                    cursor = header.loopstart;
            }
        }
    }
    msLastUpdate = l_Time;
    updatedSinceReset = true;
    return static_cast<int>(l_Elapsed);
}

}  // namespace Org
