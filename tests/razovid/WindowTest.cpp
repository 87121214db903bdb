// The player's window as a person sees it on starting it, and what it costs to run.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "PlayerSession.h"
#include "TextWidth.h"
#include "WindowChecks.h"

namespace PlayerTest {
namespace {

using PlayerWindow = PlayerSession;

// The first bundled song in the data folder, as a path relative to it.
std::string BundledSong()
{
    std::vector<std::string> l_Songs;
    std::error_code l_Error;
    for (const auto& l_Entry : std::filesystem::directory_iterator(DataDir() + "/songs", l_Error))
        if (l_Entry.path().extension() == ".org")
            l_Songs.push_back("songs/" + l_Entry.path().filename().string());
    std::sort(l_Songs.begin(), l_Songs.end());
    return l_Songs.empty() ? std::string() : l_Songs.front();
}

double SmallFontWidth(const std::string& p_Text)
{
    return InkWidth(DataDir() + "/gfx/FreeSans.ttf", 12, std::u32string(p_Text.begin(), p_Text.end()));
}

TEST_F(PlayerWindow, BundledSongShowsBackgroundCentredTitleAndSliderAtHalfAndPlays)
{
    std::string l_Song = BundledSong();
    if (l_Song.empty())  // no bundled songs built: one of our own does as well
        l_Song = WriteSong("steady.org", SteadyToneSong());
    ASSERT_TRUE(Launch({l_Song}));
    const ProcessUsage l_Before = m_Player.Usage();
    const Clock::time_point l_From = Clock::now();

    const Picture l_Shot = Shot();
    const Box l_Title = CheckTitle(l_Shot, m_Background, SmallFontWidth(l_Song));
    CheckSlider(l_Shot, m_Background, 145);
    CheckBackground(l_Shot, m_Background, l_Title);

    const std::vector<float> l_Sound = Listen(3.0);
    EXPECT_GT(Rms(l_Sound), 0.01) << "the song is not heard\n" << Diagnostics();

    // Figures for the record: start-up to the first frame, processor time while playing (in
    // per cent of one core) and memory.
    const ProcessUsage l_After = m_Player.Usage();
    const double l_Seconds = std::chrono::duration<double>(Clock::now() - l_From).count();
    const double l_CpuPercent = 100.0 * (l_After.cpuSeconds - l_Before.cpuSeconds) / l_Seconds;
    RecordProperty("first_frame_ms", int(m_FirstFrameSeconds * 1000));
    RecordProperty("cpu_percent_of_one_core", int(l_CpuPercent + 0.5));
    RecordProperty("rss_kib", int(l_After.rssKiB));
    RecordProperty("peak_rss_kib", int(l_After.peakRssKiB));
    std::printf("player on %s: first frame after %.0f ms; %.0f %% of one core while playing (%.1f s); "
                "VmRSS %ld KiB, VmHWM %ld KiB\n",
                l_Song.c_str(), m_FirstFrameSeconds * 1000, l_CpuPercent, l_Seconds, l_After.rssKiB,
                l_After.peakRssKiB);
}

TEST_F(PlayerWindow, LastArgumentNamingAMissingFilePlaysTheBlankSongAndShowsItsPath)
{
    // The song is the last argument; the tone before it must not be heard.
    const std::string l_Song = "no-such-song.org";
    ASSERT_FALSE(std::filesystem::exists(DataDir() + "/" + l_Song));
    ASSERT_TRUE(Launch({WriteSong("steady.org", SteadyToneSong()), l_Song}));

    const Picture l_Shot = Shot();
    const Box l_Title = CheckTitle(l_Shot, m_Background, SmallFontWidth(l_Song));
    CheckSlider(l_Shot, m_Background, 145);
    CheckBackground(l_Shot, m_Background, l_Title);

    // The blank song has no notes: nothing sounds, and the player keeps running.
    const std::vector<float> l_Sound = Listen(1.0);
    EXPECT_EQ(l_Sound.size(), std::size_t(g_CaptureRate)) << "the sound output stalled";
    EXPECT_LT(Peak(l_Sound), 0.001) << "sound from a song without notes";
    EXPECT_TRUE(m_Player.Running());
    // One song loaded, and found empty.
    const std::string l_Error = m_Player.Stderr();
    EXPECT_NE(l_Error.find("Read in 114 bytes.\n"), std::string::npos) << Diagnostics();
    EXPECT_EQ(l_Error.find("Read in"), l_Error.rfind("Read in")) << Diagnostics();
    // and one line says why, naming the path as it was given.
    const std::string l_Why = "cannot read song '" + l_Song + "': No such file or directory\n";
    EXPECT_NE(l_Error.find(l_Why), std::string::npos) << Diagnostics();
    EXPECT_EQ(l_Error.find("cannot read song"), l_Error.rfind("cannot read song")) << Diagnostics();
}

// A file that is there but is no whole song gets its reason too, as a missing one does.
struct UnreadableSong
{
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* reason;
};

class PlayerUnreadableSong : public PlayerSession, public ::testing::WithParamInterface<UnreadableSong>
{
};

TEST_P(PlayerUnreadableSong, SaysWhyItCannotReadIt)
{
    const std::string l_Song = m_Temp.Path(GetParam().name);
    OrgTest::WriteFile(l_Song, GetParam().bytes);
    ASSERT_TRUE(Launch({l_Song}));
    const std::string l_Why = "cannot read song '" + l_Song + "': " + GetParam().reason;
    EXPECT_NE(m_Player.Stderr().find(l_Why), std::string::npos) << Diagnostics();
}

std::vector<std::uint8_t> CutSong()
{
    std::vector<std::uint8_t> l_Bytes = SteadyToneSong().Bytes();
    l_Bytes.pop_back();
    return l_Bytes;
}

std::vector<std::uint8_t> RandomBytes()
{
    std::vector<std::uint8_t> l_Bytes(4096);
    unsigned l_State = 12345;
    for (std::uint8_t& l_Byte : l_Bytes)
        l_Byte = static_cast<std::uint8_t>((l_State = l_State * 1103515245u + 12345u) >> 24);
    return l_Bytes;
}

INSTANTIATE_TEST_SUITE_P(
    , PlayerUnreadableSong,
    ::testing::Values(UnreadableSong{"empty.org", {}, "the file is empty"},
                      UnreadableSong{"cut.org", CutSong(),
                                     "it holds 121 bytes, fewer than its own note counts declare"},
                      UnreadableSong{"foreign.org",
                                     {'O', 'r', 'g', '-', '0', '3', 0, 0},
                                     "it is not an Org-02 song (it begins with \"Org-03\")"},
                      UnreadableSong{"random.org", RandomBytes(), "it is not an Org-02 song"}),
    [](const ::testing::TestParamInfo<UnreadableSong>& p_Info) {
        return std::string(p_Info.param.name).substr(0, std::string(p_Info.param.name).find('.'));
    });

TEST_F(PlayerWindow, InstalledPlayerStartedFromRootUsesTheInstalledDataAndPlaysTheSong)
{
    // A real installation of this build, started from a folder without data, with the song
    // given by its absolute path, as a file manager or a shell elsewhere would start it.
    const std::string l_Prefix = m_Temp.Path("prefix");
    std::string l_Output;
    ASSERT_TRUE(RunTool({TUNEWRIGHT_CMAKE_COMMAND, "--install", TUNEWRIGHT_BUILD_DIR, "--prefix", l_Prefix},
                        &l_Output))
        << l_Output;
    const std::string l_Song = WriteSong("steady.org", SteadyToneSong());
    ASSERT_TRUE(Launch({l_Song}, l_Prefix + "/bin/tunewright-player", "/"));

    const Picture l_Shot = Shot();
    const Box l_Title = CheckTitle(l_Shot, m_Background, SmallFontWidth(l_Song));
    CheckSlider(l_Shot, m_Background, 145);
    CheckBackground(l_Shot, m_Background, l_Title);
    EXPECT_GT(Rms(Listen(1.0)), 0.01) << "the song is not heard\n" << Diagnostics();

    // It runs in the installed data folder, not in the build tree's.
    std::error_code l_Ignored;
    EXPECT_EQ(std::filesystem::canonical("/proc/" + std::to_string(m_Player.Pid()) + "/cwd", l_Ignored),
              std::filesystem::canonical(l_Prefix + "/" TUNEWRIGHT_INSTALL_DATADIR, l_Ignored));
    EXPECT_EQ(m_Player.Stderr().find("cannot"), std::string::npos) << Diagnostics();
}

TEST_F(PlayerWindow, SongNamedWithEveryByteValueShowsItsWindowAndPlays)
{
    // One file name holding every byte a name can hold (all but 0x00 and '/'), most of them not
    // UTF-8: the title drawn from it must not crash the font's glyph lookup.
    std::string l_Name;
    for (int l_Byte = 1; l_Byte <= 0xFF; ++l_Byte)
        if (l_Byte != '/')
            l_Name += static_cast<char>(l_Byte);
    ASSERT_TRUE(Launch({WriteSong(l_Name, SteadyToneSong())}));
    EXPECT_GT(Rms(Listen(1.0)), 0.01) << "the song is not heard\n" << Diagnostics();
    EXPECT_TRUE(m_Player.Running()) << Diagnostics();
}

}  // namespace
}  // namespace PlayerTest
