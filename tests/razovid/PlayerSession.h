#ifndef TUNEWRIGHT_TESTS_PLAYER_PLAYERSESSION_H
#define TUNEWRIGHT_TESTS_PLAYER_PLAYERSESSION_H

// A test that runs the real player in its data folder, on the X server in DISPLAY, with its
// ALSA output going to a file: HOME is a fresh folder whose .asoundrc points "default" at
// ALSA's file plugin over the null device.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "../common/OrgFileBuilder.h"
#include "../common/TempDir.h"
#include "Picture.h"
#include "PlayerProcess.h"
#include "Screen.h"
#include "SoundCapture.h"

namespace PlayerTest {

const int g_WindowWidth = 300;
const int g_WindowHeight = 350;

std::string PlayerPath();
std::string DataDir();
// Makes p_Home/.asoundrc send ALSA's "default" device to the file p_Capture (raw samples,
// as the program writes them) through the null device.
void WriteAlsaCapture(const std::string& p_Home, const std::string& p_Capture);

// One tone held for 25 seconds: track 0, waveform 0 (a pure sine), note 57, which the sampler
// plays at 440 Hz; volume 200, centre pan.
OrgTest::SongImage SteadyToneSong();
// The same tone as short notes: one beat sounding, one beat silent, 125 ms a beat, so a note
// starts every 250 ms.
OrgTest::SongImage PulseSong();
const int g_PulseSongOnsetMs = 250;

class PlayerSession : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a song into the test's folder and returns its absolute path.
    std::string WriteSong(const std::string& p_Name, const OrgTest::SongImage& p_Song);
    // Starts the player with these arguments (by default the built one, in the data folder) and
    // waits for its first frame showing the theme's background; false (with the reason added as
    // a failure) when it does not come.
    bool Launch(const std::vector<std::string>& p_Arguments, const std::string& p_Program = PlayerPath(),
                const std::string& p_WorkDir = DataDir());

    Picture Shot();                               // the window now; also kept for a look after a failure
    std::vector<float> Listen(double p_Seconds);  // the next p_Seconds of the player's sound
    void Pause(double p_Seconds);
    std::string CapturePath() const { return m_Temp.Path("capture.raw"); }
    // Standard output and error so far, for failure messages.
    std::string Diagnostics() const;

    OrgTest::TempDir m_Temp;
    Screen m_Screen;
    ChildProcess m_Player;
    Window m_Window = 0;
    Picture m_Background;            // the theme's background, as it should show
    double m_FirstFrameSeconds = 0;  // from start to the first frame with the background

private:
    void TakeDisplayLock();
    int m_LockFd = -1;
    Picture m_LastShot;
};

}  // namespace PlayerTest

#endif
