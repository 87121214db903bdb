// Real-time outputs: the engine mixes on its own thread while the program's thread changes voices.
#include "EngineTestKit.h"
#include "StopFlag.h"
#include "fmod_mixcallback.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

using namespace EngineTest;

namespace {

using Clock = std::chrono::steady_clock;

// True for FMOD_OK; false for a null or stale handle; a failure for any other result.
bool OkOrStale(FMOD_RESULT p_Result)
{
    EXPECT_TRUE(p_Result == FMOD_OK || p_Result == FMOD_ERR_INVALID_PARAM ||
                p_Result == FMOD_ERR_INVALID_HANDLE || p_Result == FMOD_ERR_CHANNEL_STOLEN)
        << p_Result;
    return p_Result == FMOD_OK;
}

class RealTime : public ::testing::Test
{
protected:
    FMOD_RESULT Start(FMOD_OUTPUTTYPE p_Output, void* p_DriverData = nullptr,
                      FMOD_DSP_RESAMPLER p_Resampler = FMOD_DSP_RESAMPLER_LINEAR)
    {
        EXPECT_EQ(FMOD_System_Create(&system), FMOD_OK);
        EXPECT_EQ(FMOD_System_SetOutput(system, p_Output), FMOD_OK);
        EXPECT_EQ(FMOD_System_SetSoftwareFormat(system, kRate, FMOD_SOUND_FORMAT_PCM16, 2, 0, p_Resampler),
                  FMOD_OK);
        return FMOD_System_Init(system, 32, FMOD_INIT_NORMAL, p_DriverData);
    }

    ~RealTime() override
    {
        if (system != nullptr) {
            EXPECT_EQ(FMOD_System_Release(system), FMOD_OK);
        }
    }

    FMOD_SOUND* Load(const std::vector<float>& p_Samples, bool p_Loop)
    {
        const std::string l_Path = dir.Path("s" + std::to_string(++sounds) + ".wav");
        WriteSound(l_Path, p_Samples, 1, kRate);
        FMOD_SOUND* l_Sound = nullptr;
        EXPECT_EQ(FMOD_System_CreateSound(system, l_Path.c_str(), p_Loop ? FMOD_LOOP_NORMAL : FMOD_LOOP_OFF,
                                          nullptr, &l_Sound),
                  FMOD_OK);
        return l_Sound;
    }

    FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound)
    {
        FMOD_CHANNEL* l_Channel = nullptr;
        EXPECT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, p_Sound, 0, &l_Channel), FMOD_OK);
        return l_Channel;
    }

    // Waits, without calling Update, for the engine's thread to end a one-shot voice.
    bool EndsWithin(FMOD_CHANNEL* p_Channel, std::chrono::seconds p_Limit)
    {
        const Clock::time_point l_Deadline = Clock::now() + p_Limit;
        FMOD_BOOL l_Playing = 1;
        while (FMOD_Channel_IsPlaying(p_Channel, &l_Playing) == FMOD_OK && Clock::now() < l_Deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return l_Playing == 0;
    }

    TempDir dir;
    FMOD_SYSTEM* system = nullptr;
    int sounds = 0;
};

// The engine thread's wait between blocks: it ends at its time while the flag is down, at once
// when the flag is raised from another thread (however far off its time), and never again waits
// once raised.
TEST(StopFlag, WaitEndsAtItsTimeOrWhenRaisedFromAnotherThread)
{
    SoundEngine::StopFlag l_Flag;
    const Clock::time_point l_Before = Clock::now();
    EXPECT_FALSE(l_Flag.WaitUntil(l_Before - std::chrono::seconds(1)));
    EXPECT_FALSE(l_Flag.WaitUntil(l_Before + std::chrono::milliseconds(20)));
    EXPECT_GE(Clock::now() - l_Before, std::chrono::milliseconds(20));
    std::thread l_Raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        l_Flag.Raise();
    });
    EXPECT_TRUE(l_Flag.WaitUntil(Clock::now() + std::chrono::hours(1)));  // a fault hangs here
    l_Raiser.join();
    EXPECT_TRUE(l_Flag.WaitUntil(Clock::now() + std::chrono::hours(1)));
}

TEST_F(RealTime, NoSoundOutputMixesOnItsOwnThreadWithoutUpdates)
{
    ASSERT_EQ(Start(FMOD_OUTPUTTYPE_NOSOUND), FMOD_OK);
    FMOD_CHANNEL* l_Channel = Play(Load(Sine(2400, 48, 0.5f), false));
    EXPECT_TRUE(EndsWithin(l_Channel, std::chrono::seconds(5)));
    EXPECT_EQ(FMOD_System_Update(system), FMOD_OK);
}

TEST_F(RealTime, VoicesChangeFreelyWhileTheThreadMixes)
{
    // Exercised under ThreadSanitizer in CI: every call below races with the mixer unless locked.
    ASSERT_EQ(Start(FMOD_OUTPUTTYPE_NOSOUND), FMOD_OK);
    FMOD_SOUND* l_Loop = Load(Sine(256, 256, 0.5f), true);
    FMOD_SOUND* l_Shot = Load(Sine(300, 30, 0.5f), false);
    FMOD_CHANNELGROUP* l_Master = nullptr;
    ASSERT_EQ(FMOD_System_GetMasterChannelGroup(system, &l_Master), FMOD_OK);
    FMOD_CHANNEL* l_Voices[40] = {};
    const Clock::time_point l_End = Clock::now() + std::chrono::milliseconds(300);
    for (unsigned l_Round = 0; Clock::now() < l_End; ++l_Round) {
        FMOD_CHANNEL*& l_Voice = l_Voices[l_Round % 40];
        if (l_Round % 7 == 0)
            FMOD_Channel_Stop(l_Voice);
        // 40 handles share 32 voices and one-shots end on the mixer's time, so any handle may
        // have gone stale between two calls; nothing else may go wrong.
        if (!OkOrStale(FMOD_Channel_SetVolume(l_Voice, float(l_Round % 10) / 5.0f)))
            l_Voice = Play(l_Round % 3 == 0 ? l_Shot : l_Loop);
        OkOrStale(FMOD_Channel_SetFrequency(l_Voice, float(4000 + (l_Round * 7919) % 1000000)));
        OkOrStale(FMOD_Channel_SetPan(l_Voice, float(l_Round % 3) - 1.0f));
        EXPECT_EQ(FMOD_ChannelGroup_SetVolume(l_Master, float(l_Round % 4) / 4.0f), FMOD_OK);
        if (l_Round % 50 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int l_Playing = 0;
    EXPECT_EQ(FMOD_System_GetChannelsPlaying(system, &l_Playing), FMOD_OK);
    EXPECT_LE(l_Playing, 32);
}

TEST_F(RealTime, WavWriterNeverRunsAheadOfTheClockAndCompletesItsFileOnRelease)
{
    const std::string l_Path = dir.Path("live.wav");
    const Clock::time_point l_Begin = Clock::now();
    ASSERT_EQ(Start(FMOD_OUTPUTTYPE_WAVWRITER, const_cast<char*>(l_Path.c_str())), FMOD_OK);
    FMOD_CHANNEL* l_Channel = Play(Load(Sine(480, 48, 0.5f), true));
    ASSERT_NE(l_Channel, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(FMOD_System_Release(system), FMOD_OK);
    system = nullptr;
    const double l_Elapsed = std::chrono::duration<double>(Clock::now() - l_Begin).count();
    const Stereo l_Mix = ReadStereo(l_Path);
    // Ahead by at most the engine's lead (20 ms) and one block (5 ms), however fast the disk is.
    EXPECT_LE(double(l_Mix.Frames()) / kRate, l_Elapsed + 0.026);
    EXPECT_GT(l_Mix.Frames(), 0u);
    EXPECT_NEAR(MeasureFrequency(l_Mix.Channel(0), kRate), 1000.0, 1.0);
}

namespace {

// The first frame of a mix louder than -40 dBFS on either side, or SIZE_MAX.
std::size_t FirstSound(const Stereo& p_Mix)
{
    for (std::size_t i = 0; i < p_Mix.Frames(); ++i)
        if (std::abs(p_Mix.Left(i)) > 328 || std::abs(p_Mix.Right(i)) > 328)
            return i;
    return SIZE_MAX;
}

// What a mix callback does and saw: it counts its calls, the threads they came on and the frames
// they were given (a block on each time, a block at most 1,024 frames); it starts the loop on its
// third call and sets the voice's volume on every later one (calls into the engine, made while the
// test's thread calls it too), and on the call asked for takes itself away.
struct MixClock
{
    FMOD_SYSTEM* system = nullptr;
    FMOD_SOUND* loop = nullptr;
    FMOD_CHANNEL* channel = nullptr;  // the callback's alone
    std::atomic<int> calls{0};
    std::atomic<int> otherThreads{0};  // calls not on the engine's one thread
    std::atomic<int> stopAt{0};        // the call that takes the callback away (0: none)
    std::atomic<int> misplaced{0};     // calls whose frame is not a block on from the last's, or off rate
    std::thread::id engine;
    unsigned long long frame = 0;  // the last call's

    static void F_API Tick(void* p_Clock, unsigned long long p_Frame, int p_Rate)
    {
        MixClock& l_Clock = *static_cast<MixClock*>(p_Clock);
        const int l_Call = ++l_Clock.calls;
        if (p_Rate != kRate || (l_Call > 1 && (p_Frame <= l_Clock.frame || p_Frame - l_Clock.frame > 1024)))
            ++l_Clock.misplaced;
        l_Clock.frame = p_Frame;
        if (l_Call == 1)
            l_Clock.engine = std::this_thread::get_id();
        else if (std::this_thread::get_id() != l_Clock.engine)
            ++l_Clock.otherThreads;
        if (l_Call == 3)
            FMOD_System_PlaySound(l_Clock.system, FMOD_CHANNEL_FREE, l_Clock.loop, 0, &l_Clock.channel);
        else if (l_Call > 3)
            FMOD_Channel_SetVolume(l_Clock.channel, 1.0f);
        if (l_Call == l_Clock.stopAt.load())
            FMOD_System_SetMixCallback(l_Clock.system, nullptr, nullptr);
    }
};

// Waits (at most a minute, for a loaded machine) until p_Done().
template <class Done> bool Within(Done p_Done)
{
    const Clock::time_point l_Deadline = Clock::now() + std::chrono::seconds(60);
    while (!p_Done() && Clock::now() < l_Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return p_Done();
}

}  // namespace

// A mix callback runs on the engine's own thread, a block at a time (a block of the writer's is
// 5 ms: the 150 ms of tone waited for take at least 20), and what it starts is heard; once taken away, from
// outside or from inside a call, it is called no more; and a system released while its callback
// calls into the engine is released, not deadlocked.
TEST_F(RealTime, AMixCallbackRunsOnTheEnginesThreadUntilTakenAway)
{
    const std::string l_Path = dir.Path("clocked.wav");
    ASSERT_EQ(Start(FMOD_OUTPUTTYPE_WAVWRITER, const_cast<char*>(l_Path.c_str())), FMOD_OK);
    MixClock l_Clock;
    l_Clock.system = system;
    l_Clock.loop = Load(Sine(480, 48, 0.5f), true);
    ASSERT_EQ(FMOD_System_SetMixCallback(nullptr, &MixClock::Tick, &l_Clock), FMOD_ERR_INVALID_PARAM);
    // The writer waits for a first sound before it mixes: the test's own, silent.
    FMOD_CHANNEL* l_Silent = Play(Load(std::vector<float>(4800, 0.0f), false));
    ASSERT_NE(l_Silent, nullptr);
    ASSERT_EQ(FMOD_System_SetMixCallback(system, &MixClock::Tick, &l_Clock), FMOD_OK);
    // The tone's first 150 ms written (its 25 ms to settle and 100 measured, and more).
    ASSERT_TRUE(Within([&] {
        const Stereo l_Mix = ReadStereo(l_Path);
        const std::size_t l_Onset = FirstSound(l_Mix);
        return l_Onset != SIZE_MAX && l_Mix.Frames() >= l_Onset + kRate * 3 / 20;
    }));
    ASSERT_EQ(FMOD_System_SetMixCallback(system, nullptr, nullptr), FMOD_OK);
    const int l_Calls = l_Clock.calls.load();
    EXPECT_GE(l_Calls, 20);
    EXPECT_EQ(l_Clock.otherThreads.load(), 0);
    EXPECT_EQ(l_Clock.misplaced.load(), 0);
    EXPECT_NE(l_Clock.engine, std::this_thread::get_id());
    const Stereo l_Mix = ReadStereo(l_Path);
    const std::size_t l_Onset = FirstSound(l_Mix);
    EXPECT_NEAR(MeasureFrequency(l_Mix.Channel(0, l_Onset + kRate / 40, kRate / 10), kRate), 1000.0, 1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(l_Clock.calls.load(), l_Calls) << "called after it was taken away";

    l_Clock.stopAt = l_Calls + 2;
    ASSERT_EQ(FMOD_System_SetMixCallback(system, &MixClock::Tick, &l_Clock), FMOD_OK);
    ASSERT_TRUE(Within([&] { return l_Clock.calls.load() >= l_Calls + 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(l_Clock.calls.load(), l_Calls + 2) << "called after it took itself away";

    l_Clock.stopAt = 0;
    ASSERT_EQ(FMOD_System_SetMixCallback(system, &MixClock::Tick, &l_Clock), FMOD_OK);
    ASSERT_TRUE(Within([&] { return l_Clock.calls.load() >= l_Calls + 4; }));
    EXPECT_EQ(FMOD_System_Release(system), FMOD_OK);
    system = nullptr;
}

// Windows starts a 32-bit program's threads with the stack aligned to 4 bytes only, while the SIMD
// kernels keep 16- to 64-byte vectors there: every resampler of the processor's fastest kernel set
// mixes a tone on the engine's own thread (the real-time WAV writer's) as it should. Played at 3
// times its rate, the tone makes the sinc resampler read an octave copy.
TEST_F(RealTime, EveryResamplerMixesOnTheEnginesOwnThread)
{
    for (FMOD_DSP_RESAMPLER l_Resampler :
         {FMOD_DSP_RESAMPLER_NOINTERP, FMOD_DSP_RESAMPLER_LINEAR, FMOD_DSP_RESAMPLER_CUBIC,
          FMOD_DSP_RESAMPLER_SPLINE, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC}) {
        SCOPED_TRACE("resampler " + std::to_string(l_Resampler));
        const std::string l_Path = dir.Path("thread" + std::to_string(l_Resampler) + ".wav");
        ASSERT_EQ(Start(FMOD_OUTPUTTYPE_WAVWRITER, const_cast<char*>(l_Path.c_str()), l_Resampler), FMOD_OK);
        FMOD_CHANNEL* l_Channel = Play(Load(Sine(480, 48, 0.5f), true));
        ASSERT_EQ(FMOD_Channel_SetFrequency(l_Channel, 3.0f * kRate), FMOD_OK);
        // The tone is measured over 100 ms from 25 ms after it begins. When it begins depends on how
        // soon after Init the sound is made and played, which a loaded machine (and ThreadSanitizer)
        // stretches; the deadline only keeps a stalled thread from hanging the test.
        const std::size_t l_Settled = kRate / 40, l_Measured = kRate / 10;
        const Clock::time_point l_Deadline = Clock::now() + std::chrono::seconds(60);
        std::size_t l_Onset = SIZE_MAX;
        for (Stereo l_Mix; Clock::now() < l_Deadline;
             std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            l_Mix = ReadStereo(l_Path);
            l_Onset = FirstSound(l_Mix);
            if (l_Onset != SIZE_MAX && l_Mix.Frames() >= l_Onset + l_Settled + l_Measured)
                break;
        }
        ASSERT_EQ(FMOD_System_Release(system), FMOD_OK);
        system = nullptr;
        const Stereo l_Mix = ReadStereo(l_Path);
        ASSERT_NE(l_Onset, SIZE_MAX) << "the engine's thread mixed no sound";
        ASSERT_GE(l_Mix.Frames(), l_Onset + l_Settled + l_Measured) << "the engine's thread mixed too little";
        for (int l_Side = 0; l_Side < 2; ++l_Side) {
            const std::vector<float> l_Tone = l_Mix.Channel(l_Side, l_Onset + l_Settled, l_Measured);
            EXPECT_NEAR(MeasureFrequency(l_Tone, kRate), 3000.0, 3.0);
            EXPECT_NEAR(Rms(l_Tone) / 32768.0f, 0.25f,
                        0.01f);  // 0.5 / sqrt(2), times 0.707 of the centre pan
        }
    }
}

TEST_F(RealTime, AlsaDeviceThatCannotOpenFallsBackToNoSound)
{
#ifdef _WIN32
    GTEST_SKIP() << "ALSA is Linux's";
#else
    // Point ALSA's default device at a card that does not exist, through a private HOME.
    std::ofstream(dir.Path(".asoundrc")) << "pcm.!default { type hw card 99 }\n";
    const char* l_Home = std::getenv("HOME");
    const std::string l_Saved = l_Home != nullptr ? l_Home : "";
    setenv("HOME", dir.path.c_str(), 1);
    const FMOD_RESULT l_Result = Start(FMOD_OUTPUTTYPE_ALSA);
    if (l_Home != nullptr)
        setenv("HOME", l_Saved.c_str(), 1);
    ASSERT_EQ(l_Result, FMOD_ERR_OUTPUT_INIT);
    // Everything else works, silently, at the pace of the no-sound output.
    FMOD_CHANNEL* l_Channel = Play(Load(Sine(2400, 48, 0.5f), false));
    EXPECT_TRUE(EndsWithin(l_Channel, std::chrono::seconds(5)));
#endif
}

}  // namespace
