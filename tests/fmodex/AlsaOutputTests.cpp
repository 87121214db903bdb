// The ALSA output against a real ALSA device: "default" is pointed, through a private HOME, at
// ALSA's file plugin over the null plugin, so the bytes the device received can be checked.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

using namespace EngineTest;

namespace {

using Clock = std::chrono::steady_clock;

class AlsaOutput : public ::testing::Test
{
protected:
    // ALSA reads its configuration once a process, so every test of the process shares one HOME.
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        std::ofstream(dir->Path(".asoundrc"))
            << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << dir->Path("capture.raw")
            << "\"\n  format \"raw\"\n}\n";
        setenv("HOME", dir->path.c_str(), 1);
        WriteSound(dir->Path("tone.wav"), Sine(4800, 48, 0.5f), 1, kRate);  // 1000 Hz at its own rate
    }

    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    AlsaOutput() : capture(dir->Path("capture.raw")) { std::remove(capture.c_str()); }

    // The captured device bytes: 16-bit little-endian stereo at 48 kHz.
    Stereo Captured() const
    {
        std::ifstream l_In(capture, std::ios::binary);
        std::string l_Bytes((std::istreambuf_iterator<char>(l_In)), std::istreambuf_iterator<char>());
        Stereo l_Stereo;
        for (std::size_t l_At = 0; l_At + 1 < l_Bytes.size(); l_At += 2)
            l_Stereo.samples.push_back(
                std::int16_t(std::uint8_t(l_Bytes[l_At]) | (std::uint8_t(l_Bytes[l_At + 1]) << 8)));
        return l_Stereo;
    }

    // With p_BlockFrames, the DSP buffer size a program sets: that many frames, p_Blocks of them.
    FMOD_SYSTEM* StartAlsa(unsigned p_BlockFrames = 0, int p_Blocks = 0)
    {
        FMOD_SYSTEM* l_System = nullptr;
        EXPECT_EQ(FMOD_System_Create(&l_System), FMOD_OK);
        EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_ALSA), FMOD_OK);
        EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, kRate, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                FMOD_DSP_RESAMPLER_LINEAR),
                  FMOD_OK);
        if (p_BlockFrames > 0) {
            EXPECT_EQ(FMOD_System_SetDSPBufferSize(l_System, p_BlockFrames, p_Blocks), FMOD_OK);
        }
        EXPECT_EQ(FMOD_System_Init(l_System, 32, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
        return l_System;
    }

    FMOD_CHANNEL* PlayTone(FMOD_SYSTEM* p_System)
    {
        FMOD_SOUND* l_Sound = nullptr;
        FMOD_CHANNEL* l_Channel = nullptr;
        EXPECT_EQ(FMOD_System_CreateSound(p_System, dir->Path("tone.wav").c_str(), FMOD_LOOP_NORMAL, nullptr,
                                          &l_Sound),
                  FMOD_OK);
        EXPECT_EQ(FMOD_System_PlaySound(p_System, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Channel), FMOD_OK);
        return l_Channel;
    }

    static TempDir* dir;
    const std::string capture;
};

TempDir* AlsaOutput::dir = nullptr;

TEST_F(AlsaOutput, ToneReachesTheDeviceAtItsPitchAndAtWallClockPace)
{
    const Clock::time_point l_Begin = Clock::now();
    FMOD_SYSTEM* l_System = StartAlsa();
    PlayTone(l_System);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(FMOD_System_Release(l_System), FMOD_OK);
    const double l_Elapsed = std::chrono::duration<double>(Clock::now() - l_Begin).count();

    const Stereo l_Mix = Captured();
    const double l_Seconds = double(l_Mix.Frames()) / kRate;
    RecordProperty("captured_ms", int(l_Seconds * 1000));
    RecordProperty("wall_ms", int(l_Elapsed * 1000));
    // The null device takes data as fast as it comes: only the engine's own pacing keeps the
    // capture to the wall clock. It may lead by its 20 ms plus one 5 ms block, and lag only a little.
    EXPECT_LE(l_Seconds, l_Elapsed + 0.026);
    EXPECT_GE(l_Seconds, l_Elapsed - 0.15);
    for (int l_Side = 0; l_Side < 2; ++l_Side) {
        const std::vector<float> l_Samples = l_Mix.Channel(l_Side, 0, 40000);
        EXPECT_NEAR(MeasureFrequency(l_Samples, kRate), 1000.0, 0.5);
        EXPECT_NEAR(Peak(l_Samples), 0.5f * 0.70710678f * 32768.0f, 50.0f);
    }
}

TEST_F(AlsaOutput, FirstSoundLeadsTheDeviceAndAChangeReachesItWithinItsLatency)
{
    // The engine's own blocks (goal 30 ms), and 20 ms blocks three deep as tunewright-play asks for
    // (its goal for a key's pause, seek or volume: 50 ms).
    const struct
    {
        unsigned blockframes;
        int blocks;
        double goal;
    } kCases[] = {{0, 0, 0.030}, {kRate / 50, 3, 0.050}};
    for (const auto& l_Case : kCases) {
        std::remove(capture.c_str());
        FMOD_SYSTEM* l_System = StartAlsa(l_Case.blockframes, l_Case.blocks);
        // A program loading its sounds: the device gets nothing yet, so no silence is queued
        // ahead of the first sound.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Clock::time_point l_Played = Clock::now();
        FMOD_CHANNEL* l_Channel = PlayTone(l_System);
        ASSERT_NE(l_Channel, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const double l_Paused = std::chrono::duration<double>(Clock::now() - l_Played).count();
        ASSERT_EQ(FMOD_Channel_SetPaused(l_Channel, 1), FMOD_OK);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(FMOD_System_Release(l_System), FMOD_OK);

        const Stereo l_Mix = Captured();
        std::size_t l_First = 0;
        while (l_First < l_Mix.Frames() && l_Mix.Left(l_First) == 0)
            ++l_First;
        EXPECT_LT(l_First, std::size_t(kRate / 1000)) << "silence before the first sound";
        // The capture began with the tone; where the pause falls silent in it, against when the
        // pause was asked for, is how far ahead of the clock the device was fed.
        constexpr std::size_t kQuiet = kRate / 100;
        std::size_t l_Silent = l_First, l_Run = 0;
        for (; l_Silent < l_Mix.Frames() && l_Run < kQuiet; ++l_Silent)
            l_Run = l_Mix.Left(l_Silent) == 0 ? l_Run + 1 : 0;
        ASSERT_EQ(l_Run, kQuiet) << "the pause never reached the device";
        const double l_Lead = double(l_Silent - kQuiet) / kRate - l_Paused;
        RecordProperty(l_Case.blockframes == 0 ? "lead_ms" : "asked_lead_ms", int(l_Lead * 1000));
        std::printf(
            "blocks of %u frames (0: the engine's), %d deep: a change reaches the device %.1f ms ahead\n",
            l_Case.blockframes, l_Case.blocks, l_Lead * 1000.0);
        EXPECT_LE(l_Lead, l_Case.goal) << l_Case.blockframes << " frames";
    }
}

// A device whose open never returns (the file plugin writing into a FIFO that nobody reads):
// Init gives up on it after its open timeout and goes on with no sound, and the engine then
// works and closes. ALSA reads its configuration once a process, so this runs in a fresh one.
TEST(AlsaOutputOpen, DeviceThatBlocksOnOpenFallsBackToNoSound)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir l_Dir;
    ASSERT_EQ(mkfifo(l_Dir.Path("device.fifo").c_str(), 0600), 0);
    std::ofstream(l_Dir.Path(".asoundrc")) << "pcm.!default { type file; slave.pcm \"null\"; file \""
                                           << l_Dir.Path("device.fifo") << "\"; format \"raw\" }\n";
    EXPECT_EXIT(
        {
            alarm(20);  // a start-up that blocks for ever ends here, by SIGALRM
            setenv("HOME", l_Dir.path.c_str(), 1);
            FMOD_SYSTEM* l_System = nullptr;
            FMOD_System_Create(&l_System);
            FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_ALSA);
            const Clock::time_point l_Begin = Clock::now();
            const FMOD_RESULT l_Init = FMOD_System_Init(l_System, 32, FMOD_INIT_NORMAL, nullptr);
            const double l_Seconds = std::chrono::duration<double>(Clock::now() - l_Begin).count();
            FMOD_CHANNELGROUP* l_Master = nullptr;
            const bool l_Works = FMOD_System_GetMasterChannelGroup(l_System, &l_Master) == FMOD_OK &&
                                 FMOD_System_Release(l_System) == FMOD_OK;
            std::filesystem::remove_all(l_Dir.path);  // the child's own folder; exit skips destructors
            std::fprintf(stderr, "Init gave %d after %.2f s\n", int(l_Init), l_Seconds);
            std::exit(l_Init == FMOD_ERR_OUTPUT_INIT && l_Works ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "Init gave");
}

}  // namespace
