// The song clock: beats from milliseconds, new-beat reports, the loop, and the odd cases.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "ClockQuad.h"
#include "OrgSong.h"

namespace {

// A song with the given tempo and loop points, playing, with its first update at p_Start.
Org::OrgSong PlayingSong(unsigned short p_Tempo, unsigned p_LoopStart, unsigned p_LoopStop,
                         unsigned long p_Start)
{
    Org::OrgSong l_Song;
    l_Song.SetTempo(p_Tempo);
    l_Song.SetLoopStart(p_LoopStart);
    l_Song.SetLoopStop(p_LoopStop);
    l_Song.Play();
    l_Song.Update(p_Start);
    return l_Song;
}

}  // namespace

TEST(SongClock, AdvancesByElapsedMillisecondsOverTempo)
{
    Org::OrgSong l_Song = PlayingSong(140, 0, 64, 1000);
    EXPECT_EQ(0u, l_Song.GetCursor());
    EXPECT_TRUE(l_Song.cursorUpdated);  // the first update only records the time

    EXPECT_EQ(70, l_Song.Update(1070));
    EXPECT_EQ(0.5L, l_Song.GetPosition());
    EXPECT_FALSE(l_Song.cursorUpdated);

    EXPECT_EQ(70, l_Song.Update(1140));
    EXPECT_EQ(1.0L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.cursorUpdated);
    EXPECT_EQ(1u, l_Song.GetCursor());
}

TEST(SongClock, FirstUpdateAfterResetReturnsTheWholeTickCount)
{
    Org::OrgSong l_Song;
    l_Song.Play();
    EXPECT_EQ(1000, l_Song.Update(1000));
    EXPECT_EQ(0.0L, l_Song.GetPosition());
}

TEST(SongClock, WrapsFromLoopEndToLoopStartDroppingTheFraction)
{
    Org::OrgSong l_Song = PlayingSong(100, 2, 8, 500);
    l_Song.SetCursor(7);
    l_Song.Update(550);  // 7.5
    EXPECT_FALSE(l_Song.cursorUpdated);
    l_Song.Update(610);  // 8.1 -> loop start
    EXPECT_EQ(2.0L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.cursorUpdated);
}

TEST(SongClock, NeverReportsABeatAtOrPastTheLoopEnd)
{
    Org::OrgSong l_Song = PlayingSong(10, 3, 6, 1);
    std::vector<unsigned> l_Reported;
    for (unsigned long l_Tick = 2; l_Tick < 400; ++l_Tick) {
        l_Song.Update(l_Tick);
        if (l_Song.cursorUpdated)
            l_Reported.push_back(l_Song.GetCursor());
    }
    const std::vector<unsigned> l_Expected = {1, 2, 3, 4, 5, 3, 4, 5, 3, 4, 5, 3, 4, 5, 3, 4, 5, 3, 4, 5};
    ASSERT_GE(l_Reported.size(), l_Expected.size());
    l_Reported.resize(l_Expected.size());
    EXPECT_EQ(l_Expected, l_Reported);
}

TEST(SongClock, ASlowUpdateReportsOnlyTheBeatReached)
{
    Org::OrgSong l_Song = PlayingSong(100, 0, 64, 1);
    l_Song.Update(351);
    EXPECT_EQ(3.5L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.cursorUpdated);
    l_Song.Update(100001);  // far past the loop end
    EXPECT_EQ(0.0L, l_Song.GetPosition());
}

TEST(SongClock, PlayTogglesAndStoppedTimeIsNotCounted)
{
    Org::OrgSong l_Song;
    EXPECT_TRUE(l_Song.Play());
    EXPECT_FALSE(l_Song.Play());
    l_Song.SetLoopStop(64);
    l_Song.Update(100);
    l_Song.cursorUpdated = false;
    EXPECT_EQ(900, l_Song.Update(1000));
    EXPECT_EQ(0.0L, l_Song.GetPosition());
    EXPECT_FALSE(l_Song.cursorUpdated);
    EXPECT_TRUE(l_Song.Play());
    l_Song.Update(1070);
    EXPECT_EQ(0.5L, l_Song.GetPosition());
}

TEST(SongClock, PauseKeepsTheCursorAndStopRewinds)
{
    Org::OrgSong l_Song = PlayingSong(100, 0, 64, 1);
    l_Song.Update(451);
    EXPECT_TRUE(l_Song.Pause());
    EXPECT_FALSE(l_Song.IsPlaying());
    l_Song.Update(10000);
    EXPECT_EQ(4.5L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.Play());
    l_Song.Update(10050);
    EXPECT_EQ(5.0L, l_Song.GetPosition());

    l_Song.cursorUpdated = false;
    EXPECT_TRUE(l_Song.Stop());
    EXPECT_FALSE(l_Song.IsPlaying());
    EXPECT_EQ(0.0L, l_Song.GetPosition());
    EXPECT_TRUE(l_Song.cursorUpdated);
}

TEST(SongClock, PlayFromABeatAndSetCursorReportTheBeat)
{
    Org::OrgSong l_Song;
    l_Song.SetLoopStop(64);
    l_Song.cursorUpdated = false;
    EXPECT_TRUE(l_Song.Play(12));
    EXPECT_TRUE(l_Song.IsPlaying());
    EXPECT_EQ(12u, l_Song.GetCursor());
    EXPECT_TRUE(l_Song.cursorUpdated);
    EXPECT_TRUE(l_Song.Play(12));  // starting again from a beat keeps it playing
    EXPECT_TRUE(l_Song.IsPlaying());
    l_Song.cursorUpdated = false;
    l_Song.SetCursor(30);
    EXPECT_EQ(30u, l_Song.GetCursor());
    EXPECT_TRUE(l_Song.cursorUpdated);
}

TEST(SongClock, TempoZeroSendsEveryAdvanceToTheLoopStart)
{
    Org::OrgSong l_Song = PlayingSong(0, 5, 9, 1);
    EXPECT_EQ(0u, l_Song.msPerBeat);
    l_Song.cursorUpdated = false;
    l_Song.Update(2);
    EXPECT_TRUE(l_Song.cursorUpdated);
    EXPECT_EQ(5.0L, l_Song.GetPosition());
    l_Song.cursorUpdated = false;
    l_Song.Update(2);  // no time passed: nothing happens
    EXPECT_FALSE(l_Song.cursorUpdated);
    l_Song.Update(3);
    EXPECT_TRUE(l_Song.cursorUpdated);
    EXPECT_EQ(5.0L, l_Song.GetPosition());
}

TEST(SongClock, LoopEndZeroReportsTheLoopStartEveryBeat)
{
    Org::OrgSong l_Song = PlayingSong(140, 0, 0, 1);
    for (unsigned long l_Tick = 141; l_Tick < 1000; l_Tick += 140) {
        l_Song.cursorUpdated = false;
        l_Song.Update(l_Tick);
        EXPECT_TRUE(l_Song.cursorUpdated);
        EXPECT_EQ(0.0L, l_Song.GetPosition());
    }
}

TEST(SongClock, RunsSmoothlyAcrossTheTickCounterWrap)
{
    Org::OrgSong l_Song = PlayingSong(100, 0, 64, 0xFFFFFFF0ul);
    EXPECT_EQ(0x30, l_Song.Update(0x20));  // 48 ms across the wrap
    EXPECT_NEAR(0.48, static_cast<double>(l_Song.GetPosition()), 1e-12);
    EXPECT_EQ(52, l_Song.Update(0x54));
    EXPECT_NEAR(1.0, static_cast<double>(l_Song.GetPosition()), 1e-12);
    EXPECT_LT(l_Song.GetCursor(), 2u);
}

// Tick 0 is a time like any other: an update that lands on it (at the start, or at the 32-bit
// wrap) still counts the next one in full.
TEST(SongClock, TickZeroIsAnOrdinaryTime)
{
    Org::OrgSong l_FromZero = PlayingSong(100, 0, 64, 0);
    EXPECT_EQ(500, l_FromZero.Update(500));
    EXPECT_EQ(5.0L, l_FromZero.GetPosition());

    // 2^32, which lands on 0 modulo 2^32; it is 0 itself where unsigned long has 32 bits (Windows).
    const unsigned long l_Wrap = static_cast<unsigned long>(0x100000000ull);
    Org::OrgSong l_AcrossWrap = PlayingSong(100, 0, 64, 0xFFFFFC18ul);
    EXPECT_EQ(1000, l_AcrossWrap.Update(l_Wrap));
    EXPECT_EQ(10.0L, l_AcrossWrap.GetPosition());
    EXPECT_EQ(1000, l_AcrossWrap.Update(l_Wrap + 1000));
    EXPECT_EQ(20.0L, l_AcrossWrap.GetPosition());
    EXPECT_TRUE(l_AcrossWrap.cursorUpdated);

    // After a reset the first update still only records the time, even at tick 0.
    l_AcrossWrap.LoadBlank();
    l_AcrossWrap.Play();
    EXPECT_EQ(0, l_AcrossWrap.Update(0));
    EXPECT_EQ(0.0L, l_AcrossWrap.GetPosition());
    EXPECT_TRUE(l_AcrossWrap.cursorUpdated);
}

// Windows starts each thread with the x87 unit rounding to 53 bits, Linux with 64: the cursor, a
// long double, must add up the same either way, or beats start on other milliseconds in a decoder
// that runs on a sound callback's thread. A thread may also round up or down rather than to
// nearest: the beat a cursor stands on must not follow. A tempo of 7 ms makes every step inexact.
TEST(SongClock, CursorAndBeatsAreTheSameWhateverTheThreadsX87UnitRoundsTo)
{
#if (defined(__i386__) || defined(__x86_64__)) && LDBL_MANT_DIG == 64
    struct Step
    {
        long double position;
        unsigned beat;
        bool newbeat;
        bool operator==(const Step& p_Other) const
        {
            return position == p_Other.position && beat == p_Other.beat && newbeat == p_Other.newbeat;
        }
    };
    // p_Mode: the control word's precision and rounding bits.
    const auto l_Run = [](std::uint16_t p_Mode) {
        std::uint16_t l_Saved = 0;
        __asm__ volatile("fnstcw %0" : "=m"(l_Saved));
        const std::uint16_t l_Mode = static_cast<std::uint16_t>((l_Saved & ~0x0F00) | p_Mode);
        __asm__ volatile("fldcw %0" : : "m"(l_Mode));
        Org::OrgSong l_Song = PlayingSong(7, 0, 100000, 0);
        std::vector<Step> l_Steps;
        for (unsigned long l_Tick = 1; l_Tick <= 5000; ++l_Tick) {
            l_Song.Update(l_Tick);
            l_Steps.push_back({l_Song.GetPosition(), l_Song.GetCursor(), l_Song.cursorUpdated});
        }
        __asm__ volatile("fldcw %0" : : "m"(l_Saved));
        return l_Steps;
    };
    const std::vector<Step> l_Extended = l_Run(0x0300);
    // 53 bits to nearest; 64 bits down, up and towards zero.
    for (std::uint16_t l_Mode : {0x0200, 0x0700, 0x0B00, 0x0F00}) {
        const std::vector<Step> l_Other = l_Run(l_Mode);
        for (std::size_t i = 0; i < l_Extended.size(); ++i)
            ASSERT_TRUE(l_Extended[i] == l_Other[i])
                << "mode " << std::hex << l_Mode << std::dec << ", at " << i + 1 << " ms: beat "
                << l_Other[i].beat << " against " << l_Extended[i].beat;
    }
#else
    GTEST_SKIP() << "long double is not the x87 unit's here";
#endif
}

// Where long double is an IEEE quadruple (WebAssembly), the clock adds on its bits in integers and
// must round as the x87 unit does at 64 bits, or beats start on other milliseconds there. Checked
// against the x87 unit on random cursors and steps, and on the edges: ties either way, sums that carry
// into the next power of two, steps far below the cursor's last bit or far above it, subnormal steps.
TEST(SongClock, QuadrupleClockRoundsAsTheX87Unit)
{
#if defined(__x86_64__) && LDBL_MANT_DIG == 64 && defined(__SIZEOF_INT128__) && defined(__SIZEOF_FLOAT128__)
    const auto l_Quad = [](long double p_Value) {
        const __float128 l_Value = p_Value;  // exact: a quadruple holds every x87 value
        Org::ClockQuad::Bits l_Bits;
        std::memcpy(&l_Bits, &l_Value, sizeof l_Bits);
        return l_Bits;
    };
    int l_Failures = 0;
    const auto l_Check = [&](long double p_Cursor, double p_Step) {
        const long double l_Sum = p_Cursor + p_Step;  // the x87 unit, at 64 bits to nearest on Linux
        const Org::ClockQuad::Bits l_Bits = Org::ClockQuad::AddStep(l_Quad(p_Cursor), p_Step);
        const std::int64_t l_Beat = l_Sum < 0x1p63L ? static_cast<std::int64_t>(l_Sum) : INT64_MAX;
        if ((l_Bits != l_Quad(l_Sum) || Org::ClockQuad::BeatOf(l_Bits) != l_Beat) && ++l_Failures <= 5)
            ADD_FAILURE() << std::hexfloat << p_Cursor << " + " << p_Step << " should be " << l_Sum;
    };

    std::mt19937_64 l_Random(20261208);
    const auto l_Between = [&](int p_Low, int p_High) {
        return std::uniform_int_distribution<int>(p_Low, p_High)(l_Random);
    };
    for (int i = 0; i < 300000; ++i) {
        // A cursor of up to 64 significant bits (or 0, or a whole beat), below 2^34.
        const int l_Exponent = l_Between(-40, 33);
        const std::uint64_t l_Significand = (l_Random() | 1ull << 63) & ~((1ull << l_Between(0, 63)) - 1);
        long double l_Cursor = std::ldexp(static_cast<long double>(l_Significand), l_Exponent - 63);
        const int l_Kind = l_Between(0, 49);
        if (l_Kind < 2)
            l_Cursor = l_Kind == 0 ? 0.0L : std::floor(l_Cursor);
        // Half the last place of the cursor, and of the next power of two, for ties and carries.
        const double l_Half = std::ldexp(1.0, l_Exponent - 64);
        const double l_Random53 = std::ldexp(static_cast<double>(l_Random() >> 11), -52);  // [0, 2)
        switch (i % 6) {
        case 0:  // the clock's own steps: milliseconds over a tempo
            l_Check(l_Cursor, static_cast<double>(l_Random() >> 32) / l_Between(1, 65535));
            break;
        case 1:  // any step, from far below the cursor's last bit to far above its first
            l_Check(l_Cursor, std::ldexp(1.0 + l_Random53 / 2, l_Exponent + l_Between(-140, 40)));
            break;
        case 2:  // exactly half a last place, and a little under or over it
            l_Check(l_Cursor, l_Half);
            l_Check(l_Cursor, l_Half * (1 - 0x1p-53));
            l_Check(l_Cursor, l_Half * (1 + 0x1p-52));
            break;
        case 3:  // odd multiples of half a last place: ties that round up or down, carries
            l_Check(l_Cursor, l_Half * static_cast<double>(2 * l_Between(0, 1 << 20) + 1));
            break;
        case 4:  // all ones, carried into the next power of two or not; a cursor whose first bit is half
                 // the step's last place: a tie but for the cursor's last bit, 64 places further down
            l_Check(std::ldexp(static_cast<long double>(~0ull), l_Exponent - 63), l_Half * l_Random53);
            l_Check(std::ldexp(static_cast<long double>(1ull << 63 | 1), l_Exponent - 63),
                    std::ldexp(1.0 + l_Between(0, 1) * 0x1p-52, l_Exponent + 64));
            break;
        default:  // subnormal steps, and none
            l_Check(l_Cursor, std::ldexp(l_Random53, -1022 - l_Between(0, 52)));
            l_Check(l_Cursor, 0.0);
        }
    }
    EXPECT_EQ(0, l_Failures);
#else
    GTEST_SKIP() << "needs the x87 unit, 128-bit integers and __float128";
#endif
}

TEST(SongClock, BarLayoutPresets)
{
    Org::OrgSong l_Song;
    EXPECT_TRUE(l_Song.SetSPBABPS(Org::_6_3));
    EXPECT_EQ(6, l_Song.GetHeader().steps_bar);
    EXPECT_EQ(3, l_Song.GetHeader().beats_step);
    EXPECT_EQ(Org::_6_3, l_Song.GetSPBABPS());

    testing::internal::CaptureStderr();
    EXPECT_FALSE(l_Song.SetSPBABPS(Org::_ARB));
    EXPECT_FALSE(l_Song.SetSPBABPS(static_cast<Org::SPBABPS>(-3)));
    EXPECT_EQ("Error: Unknown SPBABPS value.\nError: Unknown SPBABPS value.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(Org::_6_3, l_Song.GetSPBABPS());
}

TEST(SongClock, GettersReflectTheSetters)
{
    Org::OrgSong l_Song;
    l_Song.SetTempo(99);
    l_Song.SetLoopStart(7);
    l_Song.SetLoopStop(3);  // stored unchecked
    EXPECT_EQ(99, l_Song.GetTempo());
    EXPECT_EQ(99u, l_Song.msPerBeat);
    EXPECT_EQ(7u, l_Song.GetLoopStart());
    EXPECT_EQ(3u, l_Song.GetLoopStop());
}

TEST(SongClock, CursorTruncatesTowardZero)
{
    Org::OrgSong l_Song = PlayingSong(100, 0, 64, 1);
    l_Song.Update(400);  // 3.99
    EXPECT_EQ(3u, l_Song.GetCursor());
}
