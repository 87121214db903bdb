// What the player sends to the sound device: the song's pitch, loudness and beat.
#include <algorithm>
#include <cmath>

#include "PlayerSession.h"

namespace PlayerTest {
namespace {

using PlayerSound = PlayerSession;

double Median(std::vector<double> p_Values)
{
    std::sort(p_Values.begin(), p_Values.end());
    const std::size_t l_Half = p_Values.size() / 2;
    return p_Values.size() % 2 ? p_Values[l_Half] : (p_Values[l_Half - 1] + p_Values[l_Half]) / 2;
}

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
        ASSERT_NEAR(l_Part / l_Level, 1.0, 0.05)
            << "level changes at " << l_From * 1000.0 / g_CaptureRate << " ms";
    }
}

TEST_F(PlayerSound, NotesStartOnTheSongsBeatAndLastOneBeatAtTheSongsPitch)
{
    ASSERT_TRUE(Launch({WriteSong("pulse.org", PulseSong())}));
    const std::vector<float> l_Sound = Listen(3.3);
    // Each note sounds for one beat of 125 ms and is followed by a silent beat.
    const std::vector<Note> l_Notes = Notes(l_Sound, g_CaptureRate / 20);
    ASSERT_GE(l_Notes.size(), 10u) << "the notes are not heard as separate notes\n" << Diagnostics();

    // The player strikes a note when its loop sees the beat's tick, so a machine busy with other
    // work (the sanitizers, other builds) may strike one late by tens of milliseconds; a missed or
    // doubled beat moves an onset by a whole beat of 125 ms or more. A quarter of the onset period
    // tells the two apart on any load.
    const double l_Slack = g_PulseSongOnsetMs / 4.0;
    const double l_MsPerFrame = 1000.0 / g_CaptureRate;
    std::vector<double> l_Intervals;
    for (std::size_t i = 1; i < l_Notes.size(); ++i) {
        l_Intervals.push_back((l_Notes[i].start - l_Notes[i - 1].start) * l_MsPerFrame);
        ASSERT_NEAR(l_Intervals.back(), g_PulseSongOnsetMs, l_Slack)
            << "between notes " << i - 1 << " and " << i;
    }
    // The song's own timeline: note i starts i onset periods after the first, up to one offset
    // that all share (the median keeps a late note from moving it). The median interval is the
    // tempo, which a late note does not move either: off by more than 2 % is a wrong clock.
    std::vector<double> l_Offsets;
    for (std::size_t i = 0; i < l_Notes.size(); ++i)
        l_Offsets.push_back(l_Notes[i].start * l_MsPerFrame - double(i) * g_PulseSongOnsetMs);
    const double l_Offset = Median(l_Offsets);
    const double l_Period = Median(l_Intervals);
    EXPECT_NEAR(l_Period, g_PulseSongOnsetMs, g_PulseSongOnsetMs / 50.0);
    double l_Worst = 0;
    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        const double l_Off = l_Offsets[i] - l_Offset;
        l_Worst = std::max(l_Worst, std::fabs(l_Off));
        EXPECT_LT(std::fabs(l_Off), l_Slack) << "note " << i << " off the song's beat by " << l_Off << " ms";
    }

    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        if (l_Notes[i].end < 0)
            continue;  // still sounding when the listening stopped
        EXPECT_NEAR((l_Notes[i].end - l_Notes[i].start) * l_MsPerFrame, g_PulseSongOnsetMs / 2, l_Slack)
            << "length of note " << i;
        const std::vector<float> l_Note(l_Sound.begin() + l_Notes[i].start, l_Sound.begin() + l_Notes[i].end);
        EXPECT_NEAR(ToneFrequency(l_Note, g_CaptureRate), 440.0, 4.4) << "pitch of note " << i;
    }
    std::printf("%zu notes, one every %.2f ms (median), farthest %.1f ms off the song's beat\n",
                l_Notes.size(), l_Period, l_Worst);
}

}  // namespace
}  // namespace PlayerTest
