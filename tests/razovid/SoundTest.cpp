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
    // work (the sanitizers, other builds) may strike any note late, by 100 ms when both cores are
    // taken; it never strikes one early. (A loop held up for longer than the note's beat skips
    // that beat, as the player is made to.) So the onsets are measured against each other, in
    // whole onset periods of the song: each next note comes about one period after the last (a
    // missed beat makes that two, a doubled one less than half), and the notes heard are as many
    // as the periods they span.
    const double l_MsPerFrame = 1000.0 / g_CaptureRate;
    std::vector<double> l_Intervals;
    for (std::size_t i = 1; i < l_Notes.size(); ++i) {
        l_Intervals.push_back((l_Notes[i].start - l_Notes[i - 1].start) * l_MsPerFrame);
        ASSERT_NEAR(l_Intervals.back(), g_PulseSongOnsetMs, g_PulseSongOnsetMs / 2.0)
            << "between notes " << i - 1 << " and " << i;
    }
    const double l_Span = (l_Notes.back().start - l_Notes.front().start) * l_MsPerFrame;
    EXPECT_EQ(std::lround(l_Span / g_PulseSongOnsetMs), long(l_Notes.size()) - 1)
        << l_Notes.size() << " notes over " << l_Span << " ms";

    // Each note lasts its beat, half the onset period; a late start or end moves that by up to
    // the lateness above, a note cut at once or held on by most of a beat.
    for (std::size_t i = 0; i < l_Notes.size(); ++i) {
        if (l_Notes[i].end < 0)
            continue;  // still sounding when the listening stopped
        EXPECT_NEAR((l_Notes[i].end - l_Notes[i].start) * l_MsPerFrame, g_PulseSongOnsetMs / 2,
                    g_PulseSongOnsetMs * 0.4)
            << "length of note " << i;
        const std::vector<float> l_Note(l_Sound.begin() + l_Notes[i].start, l_Sound.begin() + l_Notes[i].end);
        EXPECT_NEAR(ToneFrequency(l_Note, g_CaptureRate), 440.0, 4.4) << "pitch of note " << i;
    }
    const auto l_Extremes = std::minmax_element(l_Intervals.begin(), l_Intervals.end());
    std::printf("%zu notes, one every %.2f ms (median), intervals from %.1f to %.1f ms\n", l_Notes.size(),
                Median(l_Intervals), *l_Extremes.first, *l_Extremes.second);
}

}  // namespace
}  // namespace PlayerTest
