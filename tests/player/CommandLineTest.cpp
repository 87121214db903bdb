// The player started wrongly: without a song, or without a display to open its window on.
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "../common/TempDir.h"
#include "PlayerSession.h"

namespace PlayerTest {
namespace {

// Runs the player to its end with the given arguments and environment changes; the sound
// output, were it opened, would go to p_Dir/capture.raw.
void RunToEnd(ChildProcess& p_Player, const OrgTest::TempDir& p_Dir, const std::vector<std::string>& p_Args,
              std::map<std::string, std::string> p_Env)
{
    WriteAlsaCapture(p_Dir.Path("home"), p_Dir.Path("capture.raw"));
    p_Env["HOME"] = p_Dir.Path("home");
    std::vector<std::string> l_Args = {PlayerPath()};
    l_Args.insert(l_Args.end(), p_Args.begin(), p_Args.end());
    ASSERT_TRUE(p_Player.Start(l_Args, DataDir(), p_Env, p_Dir.Path()));
    ASSERT_TRUE(p_Player.WaitForExit(std::chrono::seconds(20))) << "the player did not end by itself";
    ASSERT_TRUE(WIFEXITED(p_Player.ExitStatus())) << "ended by signal " << WTERMSIG(p_Player.ExitStatus());
}

TEST(PlayerCommandLine, NoArgumentPrintsOneLineOfUsageAndExits2)
{
    OrgTest::TempDir l_Dir;
    ChildProcess l_Player;
    RunToEnd(l_Player, l_Dir, {}, {});
    if (HasFatalFailure())
        return;
    EXPECT_EQ(WEXITSTATUS(l_Player.ExitStatus()), 2);
    const std::string l_Error = l_Player.Stderr();
    EXPECT_EQ(std::count(l_Error.begin(), l_Error.end(), '\n'), 1) << l_Error;
    EXPECT_TRUE(l_Error.rfind("usage", 0) == 0 || l_Error.rfind("Usage", 0) == 0) << l_Error;
    EXPECT_EQ(l_Error.find("Read in"), std::string::npos) << "a song was loaded:\n" << l_Error;
    EXPECT_EQ(l_Player.Stdout(), "");
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("capture.raw"))) << "the sound device was opened";
}

TEST(PlayerCommandLine, NoDisplayReportsTheWindowErrorAndExits1)
{
    OrgTest::TempDir l_Dir;
    ChildProcess l_Player;
    // An empty value removes DISPLAY from the player's environment.
    RunToEnd(l_Player, l_Dir, {"songs/none.org"}, {{"DISPLAY", ""}});
    if (HasFatalFailure())
        return;
    EXPECT_EQ(WEXITSTATUS(l_Player.ExitStatus()), 1);
    // SDL, finding no X server, may try drawing on the terminal before it gives up.
    EXPECT_NE(l_Player.Stdout().find("Error.\n"), std::string::npos) << l_Player.Stdout();
    EXPECT_NE(l_Player.Stdout().find("The graphics context has not been created."), std::string::npos)
        << l_Player.Stdout();
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("capture.raw"))) << "the sound device was opened";
}

}  // namespace
}  // namespace PlayerTest
