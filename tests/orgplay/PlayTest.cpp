// tunewright-play as a person uses it: the real program, its ALSA output captured by the file
// plugin through the test's own HOME/.asoundrc, where "default" is a card that does not exist and
// "twcapture" writes the samples to a file. Under a pseudo-terminal it is driven by its keys.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "OrgFileBuilder.h"
#include "PlayerProcess.h"
#include "SoundCapture.h"
#include "TempDir.h"

using namespace PlayerTest;

namespace {

const double g_ToneHz = 440.0;      // note 57 on waveform 0, a pure sine
const double g_HighToneHz = 880.0;  // note 69

class PlayProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::ofstream(m_Temp.Path(".asoundrc")) << "pcm.!default { type hw; card \"NoSuchCard\" }\n"
                                                << "pcm.twcapture { type file; slave.pcm \"null\"; file \""
                                                << Capture() << "\"; format \"raw\" }\n";
        WriteTone(Song(), 57);
        WriteTone(HighSong(), 69);
    }

    // One tone held for 25 seconds: track 0, waveform 0, p_Note, volume 200, centre pan.
    static void WriteTone(const std::string& p_Path, unsigned char p_Note)
    {
        OrgTest::SongImage l_Song;
        l_Song.tempo = 100;
        l_Song.loopstop = 250;
        l_Song.tracks[0].events.push_back({0, p_Note, 255, 200, 6});
        OrgTest::WriteFile(p_Path, l_Song.Bytes());
    }

    std::string Capture() const { return m_Temp.Path("capture.raw"); }
    std::string Song() const { return m_Temp.Path("tone.org"); }
    std::string HighSong() const { return m_Temp.Path("high.org"); }  // an octave above Song()
    std::vector<std::string> Command(std::vector<std::string> p_Args) const
    {
        p_Args.insert(p_Args.begin(), {TUNEWRIGHT_PLAY_PATH, "--data", TUNEWRIGHT_DATA_DIR});
        return p_Args;
    }

    OrgTest::TempDir m_Temp;
};

// The program on a pseudo-terminal of its own; what it writes there is kept.
class TerminalChild
{
public:
    bool Start(const std::vector<std::string>& p_Args, const std::string& p_Home)
    {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return false;
        tcgetattr(slave, &before);
        std::vector<std::string> l_Args = p_Args;
        std::vector<char*> l_Argv;
        for (std::string& l_Arg : l_Args)
            l_Argv.push_back(l_Arg.data());
        l_Argv.push_back(nullptr);
        const std::string l_Home = p_Home;
        pid = fork();
        if (pid == 0) {
            close(master);
            if (login_tty(slave) != 0 || setenv("HOME", l_Home.c_str(), 1) != 0)
                _exit(126);
            execv(l_Argv[0], l_Argv.data());
            _exit(127);
        }
        return pid > 0;
    }

    ~TerminalChild()
    {
        if (pid > 0 && !reaped) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(master);
        close(slave);
    }

    // Keeps reading the terminal for p_Seconds, so that the program never blocks on it.
    void Read(double p_Seconds)
    {
        const auto l_End = Clock::now() + std::chrono::duration<double>(p_Seconds);
        while (Clock::now() < l_End) {
            struct pollfd l_Fd = {master, POLLIN, 0};
            if (poll(&l_Fd, 1, 5) > 0) {
                char l_Bytes[512];
                const ssize_t l_Count = read(master, l_Bytes, sizeof l_Bytes);
                if (l_Count > 0)
                    output.append(l_Bytes, std::size_t(l_Count));
            }
        }
    }

    void Press(char p_Key) { ASSERT_EQ(write(master, &p_Key, 1), 1); }

    // Reads until the program ends; its wait status, or -1 when it runs past the deadline.
    int WaitForExit(double p_Seconds)
    {
        for (int l_Try = 0; l_Try < int(p_Seconds * 20); ++l_Try) {
            int l_Status = 0;
            if (waitpid(pid, &l_Status, WNOHANG) == pid) {
                reaped = true;
                return l_Status;
            }
            Read(0.05);
        }
        return -1;
    }

    int master = -1, slave = -1;
    pid_t pid = -1;
    bool reaped = false;
    struct termios before = {};
    std::string output;
};

// Waits (reading the terminal) until the capture holds p_Frames frames, then reads them.
std::vector<float> CaptureUpTo(TerminalChild& p_Child, const std::string& p_Capture, long p_First,
                               long p_Frames)
{
    for (int l_Try = 0; l_Try < 200 && CapturedFrames(p_Capture) < p_First + p_Frames; ++l_Try)
        p_Child.Read(0.05);
    return ReadCapture(p_Capture, p_First, p_First + p_Frames);
}

// A session bus of the test's own from dbus-run-session, named to this process's children (the
// player, playerctl) through DBUS_SESSION_BUS_ADDRESS for as long as it lasts.
class SessionBus
{
public:
    bool Start(const std::string& p_Dir)
    {
        dir = p_Dir;
        mkdir(dir.c_str(), 0700);
        // The shell that stays is the session: when it ends, dbus-run-session ends the bus.
        if (!run.Start(
                {"/usr/bin/dbus-run-session", "--", "sh", "-c",
                 "echo $$ >pid; echo \"$DBUS_SESSION_BUS_ADDRESS\" >address.new && mv address.new address; "
                 "exec sleep 600"},
                dir, {}, dir))
            return false;
        for (int l_Try = 0; l_Try < 200 && ReadWholeFile(dir + "/address").empty(); ++l_Try)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::string l_Address = ReadWholeFile(dir + "/address");
        if (l_Address.empty())
            return false;
        l_Address.pop_back();  // the newline
        return setenv("DBUS_SESSION_BUS_ADDRESS", l_Address.c_str(), 1) == 0;
    }

    ~SessionBus()
    {
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        const std::string l_Pid = ReadWholeFile(dir + "/pid");
        if (!l_Pid.empty())
            kill(std::stoi(l_Pid), SIGTERM);
        run.WaitForExit(std::chrono::seconds(10));
    }

private:
    std::string dir;
    ChildProcess run;
};

// playerctl's answer to p_Args about the player (guarded against a hang), without its newline;
// empty when it fails.
std::string Playerctl(std::vector<std::string> p_Args)
{
    p_Args.insert(p_Args.begin(), {"timeout", "10", "playerctl", "--player=tunewright"});
    std::string l_Output;
    if (!RunTool(p_Args, &l_Output))
        return "";
    if (!l_Output.empty() && l_Output.back() == '\n')
        l_Output.pop_back();
    return l_Output;
}

// Once the output has drained what was played before, p_Frames frames of what comes next.
std::vector<float> CaptureNext(const std::string& p_Capture, long p_Frames)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const long l_First = CapturedFrames(p_Capture);
    for (int l_Try = 0; l_Try < 200 && CapturedFrames(p_Capture) < l_First + p_Frames; ++l_Try)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return ReadCapture(p_Capture, l_First, l_First + p_Frames);
}

// The tone of a quarter of a second of the capture, once what came before has drained from the
// output.
double ToneHeardNext(TerminalChild& p_Child, const std::string& p_Capture)
{
    p_Child.Read(0.4);
    return ToneFrequency(CaptureUpTo(p_Child, p_Capture, CapturedFrames(p_Capture), g_CaptureRate / 4),
                         g_CaptureRate);
}

// p_Samples from the first sample above silence to just after the last.
std::vector<float> Sounding(const std::vector<float>& p_Samples)
{
    const auto l_Loud = [](float p_Sample) { return std::fabs(p_Sample) >= 0.02f; };
    const auto l_First = std::find_if(p_Samples.begin(), p_Samples.end(), l_Loud);
    const auto l_Last = std::find_if(p_Samples.rbegin(), p_Samples.rend(), l_Loud).base();
    return l_First < l_Last ? std::vector<float>(l_First, l_Last) : std::vector<float>();
}

TEST_F(PlayProgram, OnATerminalItSoundsPausesAndQuitsGivingTheTerminalBack)
{
    TerminalChild l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", Song()}), m_Temp.Path()));

    // The note sounds at its pitch, and the status line names the song and where it stands.
    const std::vector<float> l_Sound = CaptureUpTo(l_Child, Capture(), g_CaptureRate / 2, g_CaptureRate / 2);
    ASSERT_EQ(long(l_Sound.size()), g_CaptureRate / 2) << l_Child.output;
    EXPECT_NEAR(ToneFrequency(l_Sound, g_CaptureRate), g_ToneHz, g_ToneHz * 0.01);
    EXPECT_GT(Rms(l_Sound), 0.05);
    l_Child.Read(0.3);
    EXPECT_NE(l_Child.output.find("tone.org  bar 1:"), std::string::npos) << l_Child.output;
    EXPECT_NE(l_Child.output.find("100 ms/beat (600 BPM)  loop 1/2  volume 50%"), std::string::npos)
        << l_Child.output;

    // Space pauses: once the output has drained, the device gets silence; space again resumes.
    l_Child.Press(' ');
    l_Child.Read(0.5);
    const std::vector<float> l_Paused =
        CaptureUpTo(l_Child, Capture(), CapturedFrames(Capture()), g_CaptureRate / 2);
    EXPECT_EQ(long(l_Paused.size()), g_CaptureRate / 2);
    EXPECT_LT(Peak(l_Paused), 0.001);
    EXPECT_NE(l_Child.output.find("[paused]"), std::string::npos) << l_Child.output;
    l_Child.Press(' ');
    l_Child.Read(0.3);
    EXPECT_NEAR(ToneFrequency(CaptureUpTo(l_Child, Capture(), CapturedFrames(Capture()), g_CaptureRate / 4),
                              g_CaptureRate),
                g_ToneHz, g_ToneHz * 0.01);

    // q ends the program at once with status 0, and the terminal is as it was.
    l_Child.Press('q');
    const int l_Status = l_Child.WaitForExit(5);
    ASSERT_TRUE(WIFEXITED(l_Status)) << "wait status " << l_Status << "\n" << l_Child.output;
    EXPECT_EQ(WEXITSTATUS(l_Status), 0) << l_Child.output;
    struct termios l_After = {};
    ASSERT_EQ(tcgetattr(l_Child.slave, &l_After), 0);
    EXPECT_EQ(l_After.c_lflag, l_Child.before.c_lflag);
    EXPECT_EQ(l_After.c_iflag, l_Child.before.c_iflag);
    EXPECT_EQ(l_After.c_cc[VSUSP], l_Child.before.c_cc[VSUSP]);
    EXPECT_EQ(l_After.c_cc[VMIN], l_Child.before.c_cc[VMIN]);
}

// On a terminal that moves its cursor, a meter line per track stands under the status line; the
// options of the mixing desk are heard, and a track's key mutes and unmutes it.
TEST_F(PlayProgram, OnATerminalMetersShowTheTracksAndAKeyMutesOne)
{
    struct TermSet
    {
        TermSet() { setenv("TERM", "xterm", 1); }
        ~TermSet() { unsetenv("TERM"); }
    } l_Term;
    TerminalChild l_Child;
    ASSERT_TRUE(l_Child.Start(
        Command({"--device", "twcapture", "--transpose", "12", "--tempo", "1.5", Song()}), m_Temp.Path()));
    EXPECT_NEAR(
        ToneFrequency(CaptureUpTo(l_Child, Capture(), g_CaptureRate / 2, g_CaptureRate / 4), g_CaptureRate),
        g_HighToneHz, g_HighToneHz * 0.01)
        << l_Child.output;
    l_Child.Read(0.3);
    EXPECT_NE(l_Child.output.find("volume 50%  tempo x1.50  transpose +12"), std::string::npos)
        << l_Child.output;
    EXPECT_NE(l_Child.output.find(" 0 melody 00      [#"), std::string::npos) << l_Child.output;

    // 1 mutes track 0: silence once the output has drained, and the meter says so; 1 again unmutes.
    l_Child.Press('1');
    l_Child.Read(0.5);
    EXPECT_LT(Peak(CaptureUpTo(l_Child, Capture(), CapturedFrames(Capture()), g_CaptureRate / 2)), 0.001);
    EXPECT_NE(l_Child.output.find("] muted"), std::string::npos) << l_Child.output;
    l_Child.Press('1');
    EXPECT_NEAR(ToneHeardNext(l_Child, Capture()), g_HighToneHz, g_HighToneHz * 0.01) << l_Child.output;

    l_Child.Press('q');
    const int l_Status = l_Child.WaitForExit(5);
    ASSERT_TRUE(WIFEXITED(l_Status)) << "wait status " << l_Status << "\n" << l_Child.output;
    EXPECT_EQ(WEXITSTATUS(l_Status), 0) << l_Child.output;
}

TEST_F(PlayProgram, CtrlCEndsItByTheSignalGivingTheTerminalBack)
{
    TerminalChild l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", Song()}), m_Temp.Path()));
    ASSERT_GT(Rms(CaptureUpTo(l_Child, Capture(), g_CaptureRate / 4, g_CaptureRate / 4)), 0.05)
        << l_Child.output;
    l_Child.Press('\x03');  // the terminal's interrupt character: SIGINT to the program
    const int l_Status = l_Child.WaitForExit(5);
    // It dies of the signal once the terminal is given back, so that a shell loop stops too.
    ASSERT_TRUE(WIFSIGNALED(l_Status)) << "wait status " << l_Status << "\n" << l_Child.output;
    EXPECT_EQ(WTERMSIG(l_Status), SIGINT);
    struct termios l_After = {};
    ASSERT_EQ(tcgetattr(l_Child.slave, &l_After), 0);
    EXPECT_EQ(l_After.c_lflag, l_Child.before.c_lflag);
    EXPECT_EQ(l_After.c_cc[VSUSP], l_Child.before.c_cc[VSUSP]);
}

TEST_F(PlayProgram, WithoutATerminalItPlaysEachSongToItsEndAndCountsTheOnesItCannot)
{
    ChildProcess l_Child;
    // A session bus that is not there changes nothing.
    ASSERT_TRUE(l_Child.Start(
        Command({"--device", "twcapture", "--seconds", "0.5", "missing.org", Song(), HighSong()}),
        m_Temp.Path(),
        {{"HOME", m_Temp.Path()}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_Temp.Path("no-bus")}},
        m_Temp.Path()));
    ASSERT_TRUE(l_Child.WaitForExit(std::chrono::seconds(20)));
    EXPECT_TRUE(WIFEXITED(l_Child.ExitStatus()) && WEXITSTATUS(l_Child.ExitStatus()) == 1)
        << l_Child.ExitStatus();
    EXPECT_EQ(l_Child.Stdout(), "");  // no status line
    EXPECT_NE(l_Child.Stderr().find("cannot open the song 'missing.org': No such file or directory\n"),
              std::string::npos)
        << l_Child.Stderr();
    // The two tones, one after the other, from the first sound to the end of the capture: half a
    // second each, and then the program ended by itself (the songs themselves last 25 seconds).
    const std::vector<float> l_Sound = Sounding(ReadCapture(Capture(), 0, CapturedFrames(Capture())));
    const double l_Seconds = double(l_Sound.size()) / g_CaptureRate;
    EXPECT_GT(l_Seconds, 0.95);
    EXPECT_LT(l_Seconds, 3.0);
    const long l_Quarter = g_CaptureRate / 4;
    ASSERT_GT(long(l_Sound.size()), 2 * l_Quarter);
    EXPECT_NEAR(
        ToneFrequency(std::vector<float>(l_Sound.begin(), l_Sound.begin() + l_Quarter), g_CaptureRate),
        g_ToneHz, g_ToneHz * 0.01);
    EXPECT_NEAR(ToneFrequency(std::vector<float>(l_Sound.end() - l_Quarter, l_Sound.end()), g_CaptureRate),
                g_HighToneHz, g_HighToneHz * 0.01);
}

TEST_F(PlayProgram, OnATerminalNAndPGoToTheNextAndThePreviousSong)
{
    TerminalChild l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", Song(), HighSong()}), m_Temp.Path()));
    EXPECT_NEAR(
        ToneFrequency(CaptureUpTo(l_Child, Capture(), g_CaptureRate / 4, g_CaptureRate / 4), g_CaptureRate),
        g_ToneHz, g_ToneHz * 0.01)
        << l_Child.output;
    l_Child.Press('n');
    EXPECT_NEAR(ToneHeardNext(l_Child, Capture()), g_HighToneHz, g_HighToneHz * 0.01) << l_Child.output;
    l_Child.Press('p');
    EXPECT_NEAR(ToneHeardNext(l_Child, Capture()), g_ToneHz, g_ToneHz * 0.01) << l_Child.output;
    // Past the last song the program ends, every song played.
    l_Child.Press('n');
    l_Child.Read(0.3);
    l_Child.Press('n');
    const int l_Status = l_Child.WaitForExit(5);
    ASSERT_TRUE(WIFEXITED(l_Status)) << "wait status " << l_Status << "\n" << l_Child.output;
    EXPECT_EQ(WEXITSTATUS(l_Status), 0) << l_Child.output;
}

TEST_F(PlayProgram, OnTheSessionBusPlayerctlPausesSeeksReadsAndSkipsItsSongs)
{
    SessionBus l_Bus;
    ASSERT_TRUE(l_Bus.Start(m_Temp.Path("bus")));
    ChildProcess l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", Song(), HighSong()}), m_Temp.Path(),
                              {{"HOME", m_Temp.Path()}}, m_Temp.Path()));
    std::string l_Status;
    for (int l_Try = 0; l_Try < 100 && l_Status != "Playing"; ++l_Try)
        l_Status = Playerctl({"status"});
    ASSERT_EQ(l_Status, "Playing") << l_Child.Stderr();
    // What changes is announced: a follower hears each status in turn.
    const std::string l_Followed = m_Temp.Path("follower/stdout.txt");
    mkdir(m_Temp.Path("follower").c_str(), 0700);
    ChildProcess l_Follower;
    ASSERT_TRUE(l_Follower.Start({"/usr/bin/playerctl", "--player=tunewright", "--follow", "status"},
                                 m_Temp.Path(), {}, m_Temp.Path("follower")));
    for (int l_Try = 0; l_Try < 200 && ReadWholeFile(l_Followed).empty(); ++l_Try)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Playerctl({"metadata", "--format", "{{xesam:title}} {{mpris:length}} {{xesam:url}}"}),
              "tone 50000000 file://" + Song());

    Playerctl({"pause"});
    EXPECT_EQ(Playerctl({"status"}), "Paused");
    EXPECT_LT(Peak(CaptureNext(Capture(), g_CaptureRate / 2)), 0.001);
    Playerctl({"play"});
    const std::vector<float> l_Loud = CaptureNext(Capture(), g_CaptureRate / 4);
    EXPECT_NEAR(ToneFrequency(l_Loud, g_CaptureRate), g_ToneHz, g_ToneHz * 0.01);

    // A seek lands on the beat (100 ms) it falls in; the volume is the sound's.
    Playerctl({"position", "20"});
    EXPECT_NEAR(std::stod("0" + Playerctl({"position"})), 20.0, 0.5);
    Playerctl({"volume", "0.25"});
    EXPECT_NEAR(std::stod("0" + Playerctl({"volume"})), 0.25, 0.001);
    EXPECT_NEAR(Rms(CaptureNext(Capture(), g_CaptureRate / 4)) / Rms(l_Loud), 0.5, 0.1);

    Playerctl({"next"});
    EXPECT_EQ(Playerctl({"metadata", "title"}), "high");
    EXPECT_NEAR(ToneFrequency(CaptureNext(Capture(), g_CaptureRate / 4), g_CaptureRate), g_HighToneHz,
                g_HighToneHz * 0.01);
    EXPECT_EQ(ReadWholeFile(l_Followed), "Playing\nPaused\nPlaying\n");

    // Quit, asked by another client, ends it as q does.
    ASSERT_TRUE(RunTool({"timeout", "10", "dbus-send", "--session", "--print-reply",
                         "--dest=org.mpris.MediaPlayer2.tunewright", "/org/mpris/MediaPlayer2",
                         "org.mpris.MediaPlayer2.Quit"}));
    ASSERT_TRUE(l_Child.WaitForExit(std::chrono::seconds(10)));
    EXPECT_TRUE(WIFEXITED(l_Child.ExitStatus()) && WEXITSTATUS(l_Child.ExitStatus()) == 0)
        << l_Child.ExitStatus() << l_Child.Stderr();
}

TEST_F(PlayProgram, WithoutASoundDeviceItSaysSoAndFails)
{
    ChildProcess l_Child;
    ASSERT_TRUE(l_Child.Start(Command({Song()}), m_Temp.Path(), {{"HOME", m_Temp.Path()}}, m_Temp.Path()));
    ASSERT_TRUE(l_Child.WaitForExit(std::chrono::seconds(20)));
    EXPECT_TRUE(WIFEXITED(l_Child.ExitStatus()) && WEXITSTATUS(l_Child.ExitStatus()) == 1)
        << l_Child.ExitStatus();
    EXPECT_EQ(l_Child.Stderr(), "tunewright-play: no sound device: cannot open the default sound device\n");
}

}  // namespace

// Every beat sounds on its time, not the first alone: four notes a beat long, 400 ms apart, begin
// 400 ms apart in what the device is given (each within one 20 ms block of the engine's), and the
// song ends after its 16 beats.
TEST_F(PlayProgram, EachNoteSoundsOnItsBeat)
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstop = 16;
    for (unsigned l_Beat : {0u, 4u, 8u, 12u})
        l_Song.tracks[0].events.push_back({l_Beat, 57, 1, 200, 6});
    OrgTest::WriteFile(m_Temp.Path("beats.org"), l_Song.Bytes());

    ChildProcess l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", "-l", "0", "beats.org"}), m_Temp.Path(),
                              {{"HOME", m_Temp.Path()}}, m_Temp.Path()));
    ASSERT_TRUE(l_Child.WaitForExit(std::chrono::seconds(20)));
    EXPECT_TRUE(WIFEXITED(l_Child.ExitStatus()) && WEXITSTATUS(l_Child.ExitStatus()) == 0)
        << l_Child.ExitStatus();
    const std::vector<Note> l_Notes =
        Stretches(Sounding(ReadCapture(Capture(), 0, CapturedFrames(Capture()))), g_CaptureRate / 20);
    ASSERT_EQ(l_Notes.size(), 4u);
    for (std::size_t i = 1; i < l_Notes.size(); ++i)
        EXPECT_NEAR(double(l_Notes[i].start - l_Notes[0].start) / g_CaptureRate, 0.4 * double(i), 0.021)
            << "note " << i;
}

// An empty loop adds nothing, even repeated for ever: a song with an intro plays it and ends, and
// a song with neither is refused rather than played in silence.
TEST_F(PlayProgram, RepeatingAnEmptyLoopForEverPlaysTheIntroAndEnds)
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 100;
    l_Song.loopstart = l_Song.loopstop = 5;
    l_Song.tracks[0].events.push_back({0, 57, 5, 200, 6});
    OrgTest::WriteFile(m_Temp.Path("intro.org"), l_Song.Bytes());
    l_Song.loopstart = l_Song.loopstop = 0;
    OrgTest::WriteFile(m_Temp.Path("nothing.org"), l_Song.Bytes());

    ChildProcess l_Child;
    ASSERT_TRUE(l_Child.Start(Command({"--device", "twcapture", "-l", "-1", "intro.org", "nothing.org"}),
                              m_Temp.Path(), {{"HOME", m_Temp.Path()}}, m_Temp.Path()));
    ASSERT_TRUE(l_Child.WaitForExit(std::chrono::seconds(20)));
    EXPECT_TRUE(WIFEXITED(l_Child.ExitStatus()) && WEXITSTATUS(l_Child.ExitStatus()) == 1)
        << l_Child.ExitStatus();
    EXPECT_NE(l_Child.Stderr().find("cannot play 'nothing.org': its loop is empty"), std::string::npos)
        << l_Child.Stderr();
    const std::vector<float> l_Capture = ReadCapture(Capture(), 0, CapturedFrames(Capture()));
    std::size_t l_Start = 0;
    while (l_Start < l_Capture.size() && std::fabs(l_Capture[l_Start]) < 0.02f)
        ++l_Start;
    EXPECT_GT(double(l_Capture.size() - l_Start) / g_CaptureRate, 0.45);
}
