// Helpers for the audio device layer's tests: a private ALSA setup with no sound card, sample files,
// captured standard output and error, and a fresh engine for every test.
#ifndef TUNEWRIGHT_AUDIOTESTKIT_H
#define TUNEWRIGHT_AUDIOTESTKIT_H

#include "AudioDevice.h"

#include <gtest/gtest.h>

#include <string>

namespace AudioTest {

// Where the test samples lie: "loop.wav" (480 frames), "click.wav" (48-frame one-shot),
// "long.wav" (one second).
std::string SamplePath(const std::string& p_Name);

// Captures what this process writes to standard output and standard error (the file descriptors,
// so printf and fputs are both seen) between construction and Stop.
class CapturedOutput
{
public:
    CapturedOutput();
    ~CapturedOutput();
    void Stop();
    std::string out;
    std::string err;

private:
    int savedout = -1;
    int savederr = -1;
    std::string outpath;
    std::string errpath;
};

// Each test starts with no engine (Org::Device and Org::MasterCG null) and leaves none behind.
class LayerTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Releases the engine, if any, and empties both handles.
    static void TearDownEngine();

protected:
    // The number of voices now sounding on Org::Device.
    static int VoicesPlaying();
    // Waits, up to five seconds, for a voice to end by itself; false if it never does.
    static bool WaitForEnd(FMOD_CHANNEL* p_Channel);
};

}

#endif
