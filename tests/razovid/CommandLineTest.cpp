// The player started wrongly: without a song, or without a display to open its window on.
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <set>

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

// The terminal's private modes (ESC [ ? N;M h sets, ESC [ ? N;M l resets) that p_Output leaves
// other than a terminal starts with: the alternate screen and mouse reporting off, the cursor
// shown and lines wrapped.
std::set<std::string> ModesLeftChanged(const std::string& p_Output)
{
    const std::set<std::string> l_SetByDefault = {"7", "25"};
    std::set<std::string> l_Changed;
    for (std::size_t l_At = p_Output.find("\x1b[?"); l_At != std::string::npos;
         l_At = p_Output.find("\x1b[?", l_At + 1)) {
        const std::size_t l_End = p_Output.find_first_not_of("0123456789;", l_At + 3);
        if (l_End == std::string::npos)
            break;
        if (p_Output[l_End] != 'h' && p_Output[l_End] != 'l')
            continue;
        const std::string l_List = p_Output.substr(l_At + 3, l_End - l_At - 3) + ";";
        for (std::size_t l_From = 0, l_To; (l_To = l_List.find(';', l_From)) != std::string::npos;
             l_From = l_To + 1) {
            const std::string l_Mode = l_List.substr(l_From, l_To - l_From);
            if ((p_Output[l_End] == 'h') == (l_SetByDefault.count(l_Mode) != 0))
                l_Changed.erase(l_Mode);
            else
                l_Changed.insert(l_Mode);
        }
    }
    return l_Changed;
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

TEST(PlayerCommandLine, HelpAndVersionPrintAndExit0WithoutWindowOrSound)
{
    // No display at all: a player that tried to open its window would fail and exit 1.
    for (const std::string l_Request : {"--help", "--version"}) {
        SCOPED_TRACE(l_Request);
        OrgTest::TempDir l_Dir;
        ChildProcess l_Player;
        RunToEnd(l_Player, l_Dir, {"songs/none.org", l_Request}, {{"DISPLAY", ""}});
        if (HasFatalFailure())
            return;
        EXPECT_EQ(WEXITSTATUS(l_Player.ExitStatus()), 0) << l_Player.Stdout() << l_Player.Stderr();
        EXPECT_EQ(l_Player.Stderr(), "");
        const std::string l_Out = l_Player.Stdout();
        if (l_Request == "--version")
            EXPECT_EQ(l_Out, "tunewright-player " TUNEWRIGHT_VERSION "\n");
        else
            EXPECT_TRUE(l_Out.rfind("usage: tunewright-player", 0) == 0 &&
                        l_Out.find("--version") != std::string::npos)
                << l_Out;
        EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("capture.raw"))) << "the sound device was opened";
    }
}

TEST(PlayerCommandLine, NoDisplayReportsTheWindowErrorAndExits1)
{
    OrgTest::TempDir l_Dir;
    ChildProcess l_Player;
    // An empty value removes DISPLAY from the player's environment; TERM names a terminal that
    // SDL's text-mode video driver can draw on.
    RunToEnd(l_Player, l_Dir, {"songs/none.org"}, {{"DISPLAY", ""}, {"TERM", "xterm"}});
    if (HasFatalFailure())
        return;
    EXPECT_EQ(WEXITSTATUS(l_Player.ExitStatus()), 1);
    // SDL, finding no X server, may try drawing on the terminal before it gives up.
    const std::string l_Out = l_Player.Stdout();
    EXPECT_NE(l_Out.find("Error.\n"), std::string::npos) << l_Out;
    EXPECT_NE(l_Out.find("The graphics context has not been created."), std::string::npos) << l_Out;
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("capture.raw"))) << "the sound device was opened";
    // Whatever terminal modes it changed (the alternate screen, mouse reporting) are back.
    const std::set<std::string> l_Changed = ModesLeftChanged(l_Out);
    EXPECT_TRUE(l_Changed.empty()) << "terminal modes left changed: " << ::testing::PrintToString(l_Changed);
}

}  // namespace
}  // namespace PlayerTest
