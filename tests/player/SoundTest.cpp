// What the player sends to the sound device: the song's pitch, loudness and beat.
#include <algorithm>
#include <cmath>

#include "PlayerSession.h"

namespace PlayerTest {
namespace {

using PlayerSound = PlayerSession;

TEST_F(PlayerSound, SteadyToneSoundsAt440HzWithoutBreaks)
{
    ASSERT_TRUE(Launch({WriteSong("steady.org", SteadyToneSong())}));
    Pause(0.3);
    const std::vector<float> l_Sound = Listen(1.5);
    ASSERT_EQ(l_Sound.size(), std::size_t(1.5 * g_CaptureRate)) << "the sound output stalled";

    const double l_Level = Rms(l_Sound);
    ASSERT_GT(l_Level, 0.01) << "silence instead of the tone\n" << Diagnostics();
    EXPECT_NEAR(ToneFrequency(l_Sound, g_CaptureRate), 440.0, 4.4);
    // Every 20 ms is as loud as the whole: the note is held, not restarted or cut on each beat.
    const std::size_t l_Window = g_CaptureRate / 50;
    for (std::size_t l_From = 0; l_From + l_Window <= l_Sound.size(); l_From += l_Window) {
        const auto l_Begin = l_Sound.begin() + long(l_From);
        const double l_Part = Rms(std::vector<float>(l_Begin, l_Begin + long(l_Window)));
        ASSERT_NEAR(l_Part / l_Level, 1.0, 0.05) << "level changes at " << l_From * 1000.0 / g_CaptureRate << " ms";
    }
}

TEST_F(PlayerSound, NotesStartOnTheSongsBeatAndLastOneBeatAtTheSongsPitch)
{
    ASSERT_TRUE(Launch({WriteSong("pulse.org", PulseSong())}));
    const std::vector<float> l_Sound = Listen(3.3);
    // Each note sounds for one beat of 125 ms and is followed by a silent beat.
    const std::vector<Note> l_Notes = Notes(l_Sound, g_CaptureRate / 20);
    ASSERT_GE(l_Notes.size(), 10u) << "the notes are not heard as separate notes\n" << Diagnostics();

    // The onsets against the note count: none missing or extra, and the fitted slope is the
    // period. Single onsets may stray by the engine's 5 ms block and a pass of the player's
    // loop, and by a stall of the machine it shares.
    const double l_MsPerFrame = 1000.0 / g_CaptureRate;
    for (std::size_t i = 1; i < l_Notes.size(); ++i) {
        const double l_Interval = (l_Notes[i].start - l_Notes[i - 1].start) * l_MsPerFrame;
        ASSERT_NEAR(l_Interval, g_PulseSongOnsetMs, g_PulseSongOnsetMs / 4)
            << "between notes " << i - 1 << " and " << i;
    }
    const double l_Count = double(l_Notes.size());
    double l_SumI = 0, l_SumT = 0, l_SumII = 0, l_SumIT = 0;
    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        const double l_Time = l_Notes[i].start * l_MsPerFrame;
        l_SumI += double(i), l_SumT += l_Time, l_SumII += double(i) * double(i), l_SumIT += double(i) * l_Time;
    }
    const double l_Period = (l_Count * l_SumIT - l_SumI * l_SumT) / (l_Count * l_SumII - l_SumI * l_SumI);
    const double l_Offset = (l_SumT - l_Period * l_SumI) / l_Count;
    EXPECT_NEAR(l_Period, g_PulseSongOnsetMs, 1.0);
    double l_Worst = 0;
    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        const double l_Off = l_Notes[i].start * l_MsPerFrame - (l_Offset + l_Period * double(i));
        l_Worst = std::max(l_Worst, std::fabs(l_Off));
        EXPECT_LT(std::fabs(l_Off), 10.0) << "note " << i << " off the beat by " << l_Off << " ms";
    }

    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        if (l_Notes[i].end < 0)
            continue;  // still sounding when the listening stopped
        EXPECT_NEAR((l_Notes[i].end - l_Notes[i].start) * l_MsPerFrame, g_PulseSongOnsetMs / 2, 10.0)
            << "length of note " << i;
        const std::vector<float> l_Note(l_Sound.begin() + l_Notes[i].start, l_Sound.begin() + l_Notes[i].end);
        EXPECT_NEAR(ToneFrequency(l_Note, g_CaptureRate), 440.0, 4.4) << "pitch of note " << i;
    }
    std::printf("%zu notes, one every %.2f ms (fitted), farthest %.1f ms off that beat\n", l_Notes.size(), l_Period,
                l_Worst);
}

}  // namespace
}  // namespace PlayerTest
