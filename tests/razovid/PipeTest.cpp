// The player given a FIFO where it expects a file (the song, the sound device's output): it must
// neither hang nor stop answering its window.
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>

#include "PlayerSession.h"

namespace PlayerTest {
namespace {

using PlayerPipe = PlayerSession;

// Asks the window to close and expects the player to end, with status 0 (its process may take
// seconds to end under the sanitizers; one that ignores the request never does).
void ExpectClosesOnRequest(Screen& p_Screen, Window p_Window, ChildProcess& p_Player,
                           const std::string& p_Why)
{
    ASSERT_TRUE(p_Screen.AskToClose(p_Window));
    ASSERT_TRUE(p_Player.WaitForExit(std::chrono::seconds(15)))
        << "still running 15 s after the window was closed\n"
        << p_Why;
    ASSERT_TRUE(WIFEXITED(p_Player.ExitStatus())) << "ended by signal " << WTERMSIG(p_Player.ExitStatus());
    EXPECT_EQ(WEXITSTATUS(p_Player.ExitStatus()), 0) << p_Why;
}

TEST_F(PlayerPipe, SoundDeviceWritingToAFifoNobodyReadsStillGivesAWindowThatCloses)
{
    // The device's file plugin writes into a FIFO without a reader: opening it would wait for ever.
    const std::string l_Fifo = m_Temp.Path("device.fifo");
    ASSERT_EQ(mkfifo(l_Fifo.c_str(), 0600), 0);
    std::ofstream(m_Temp.Path("home/.asoundrc"))
        << "pcm.!default { type file; slave.pcm \"null\"; file \"" << l_Fifo << "\"; format \"raw\" }\n";

    ASSERT_TRUE(Launch({WriteSong("steady.org", SteadyToneSong())}));
    Pause(0.2);
    ASSERT_TRUE(m_Player.Running()) << Diagnostics();
    ExpectClosesOnRequest(m_Screen, m_Window, m_Player, Diagnostics());
    // The device counted as one that cannot open (reported on standard output, which the
    // player flushes as it ends), and the song went on without sound.
    EXPECT_NE(m_Player.Stdout().find("Audio error"), std::string::npos) << Diagnostics();
}

TEST_F(PlayerPipe, SongPathNamingAFifoWithoutAWriterStillGivesAWindowThatCloses)
{
    // Opening a FIFO nobody writes to would wait for ever: the player must come up, as with a
    // song it cannot read, and end when asked.
    const std::string l_Fifo = m_Temp.Path("song.fifo");
    ASSERT_EQ(mkfifo(l_Fifo.c_str(), 0600), 0);
    ASSERT_TRUE(Launch({l_Fifo}));
    Pause(0.2);
    ASSERT_TRUE(m_Player.Running()) << Diagnostics();
    ExpectClosesOnRequest(m_Screen, m_Window, m_Player, Diagnostics());
}

}  // namespace
}  // namespace PlayerTest
