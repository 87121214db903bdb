// The audio device layer over the engine: start-up, error reports, loading, and the play / re-set /
// restart rules that the sampler relies on.
#include "AudioTestKit.h"

#include <fmod_errors.h>

#include <chrono>
#include <climits>
#include <thread>

using namespace AudioTest;

namespace {

std::string ErrorBlock(FMOD_RESULT p_Result)
{
    return "Audio error [No. " + std::to_string(int(p_Result)) + "] \n--\n" + FMOD_ErrorString(p_Result) + "\n--\n\n";
}

float Volume(FMOD_CHANNEL* p_Channel)
{
    float l_Value = -1.0f;
    EXPECT_EQ(FMOD_Channel_GetVolume(p_Channel, &l_Value), FMOD_OK);
    return l_Value;
}

float Pan(FMOD_CHANNEL* p_Channel)
{
    float l_Value = -9.0f;
    EXPECT_EQ(FMOD_Channel_GetPan(p_Channel, &l_Value), FMOD_OK);
    return l_Value;
}

float Frequency(FMOD_CHANNEL* p_Channel)
{
    float l_Value = -1.0f;
    EXPECT_EQ(FMOD_Channel_GetFrequency(p_Channel, &l_Value), FMOD_OK);
    return l_Value;
}

using ErrorReport = LayerTest;
using StartUp = LayerTest;
using LoadSample = LayerTest;
using PlaySound = LayerTest;
using StopSound = LayerTest;

TEST_F(ErrorReport, OkPrintsNothingAndAnyOtherResultPrintsExactlyOneBlock)
{
    CapturedOutput l_Output;
    FmodErrorCheck(FMOD_OK);
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");

    CapturedOutput l_Second;
    FmodErrorCheck(FMOD_ERR_FILE_NOTFOUND);
    FmodErrorCheck(FMOD_RESULT(12345));
    l_Second.Stop();
    EXPECT_EQ(l_Second.out, "Audio error [No. 23] \n--\n" + std::string(FMOD_ErrorString(FMOD_ERR_FILE_NOTFOUND))
                                + "\n--\n\n" + ErrorBlock(FMOD_RESULT(12345)));
    EXPECT_EQ(l_Second.err, "");
}

TEST_F(StartUp, InitFmodFillsBothHandlesQuietly)
{
    CapturedOutput l_Output;
    InitFMOD();
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");
    EXPECT_EQ(l_Output.err, "");
    ASSERT_NE(Org::Device, nullptr);
    ASSERT_NE(Org::MasterCG, nullptr);
    float l_Volume = 0.0f;
    EXPECT_EQ(FMOD_ChannelGroup_GetVolume(Org::MasterCG, &l_Volume), FMOD_OK);
    EXPECT_EQ(l_Volume, 1.0f);
    EXPECT_EQ(VoicesPlaying(), 0);
}

TEST_F(LoadSample, BeforeInitPrintsTheHiccupLineThenStartsTheEngineAndLoads)
{
    CapturedOutput l_Output;
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    l_Output.Stop();
    EXPECT_EQ(l_Output.err, "FMOD hiccuped. Expect problems with samples missing.");
    EXPECT_EQ(l_Output.err.size(), 52u);
    EXPECT_EQ(l_Output.out, "");
    EXPECT_NE(l_Sound, nullptr);
    EXPECT_NE(Org::Device, nullptr);
    EXPECT_NE(Org::MasterCG, nullptr);
}

TEST_F(LoadSample, MissingFileGivesNullAndOneFileNotFoundBlock)
{
    InitFMOD();
    CapturedOutput l_Output;
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("melody/melody100.wav"), 1);
    l_Output.Stop();
    EXPECT_EQ(l_Sound, nullptr);
    EXPECT_EQ(l_Output.out, ErrorBlock(FMOD_ERR_FILE_NOTFOUND));
    EXPECT_EQ(l_Output.err, "");
}

TEST_F(LoadSample, LoopFlagMakesALoopingSoundAndZeroAOneShot)
{
    InitFMOD();
    FMOD_CHANNEL* l_Looping = FMOD_PlaySound(FMOD_LoadSample(SamplePath("loop.wav"), 1), 48000, 0.0f, 100, nullptr, false);
    FMOD_CHANNEL* l_OneShot = FMOD_PlaySound(FMOD_LoadSample(SamplePath("loop.wav"), 0), 48000, 0.0f, 100, nullptr, false);
    EXPECT_TRUE(WaitForEnd(l_OneShot));
    FMOD_BOOL l_Playing = 0;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Looping, &l_Playing), FMOD_OK);
    EXPECT_EQ(l_Playing, 1);
}

TEST_F(PlaySound, ReserveOnALiveVoiceReSetsItWithoutANewPlayback)
{
    InitFMOD();
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    FMOD_CHANNEL* l_Channel = FMOD_PlaySound(l_Sound, 4182, 0.0f, 0, nullptr, true);
    ASSERT_NE(l_Channel, nullptr);
    CapturedOutput l_Output;
    FMOD_CHANNEL* l_Again = FMOD_PlaySound(l_Sound, 12547, 0.5f, 100, l_Channel, true);
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");
    EXPECT_EQ(l_Again, l_Channel);
    EXPECT_EQ(VoicesPlaying(), 1);
    EXPECT_FLOAT_EQ(Volume(l_Channel), 125.0f / 255.0f);
    EXPECT_EQ(Pan(l_Channel), 0.5f);
    EXPECT_EQ(Frequency(l_Channel), 12547.0f);
}

TEST_F(PlaySound, ReserveOnAnEndedOneShotStartsItOnceAfreshQuietly)
{
    InitFMOD();
    FMOD_SOUND* l_Click = FMOD_LoadSample(SamplePath("click.wav"), 0);
    FMOD_CHANNEL* l_Old = FMOD_PlaySound(l_Click, 48000, 0.0f, 100, nullptr, true);
    ASSERT_TRUE(WaitForEnd(l_Old));
    ASSERT_EQ(VoicesPlaying(), 0);
    FMOD_SOUND* l_Long = FMOD_LoadSample(SamplePath("long.wav"), 0);
    CapturedOutput l_Output;
    FMOD_CHANNEL* l_New = FMOD_PlaySound(l_Long, 3897, -0.5f, 230, l_Old, true);
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");
    EXPECT_NE(l_New, l_Old);
    EXPECT_EQ(VoicesPlaying(), 1);
    FMOD_SOUND* l_Current = nullptr;
    EXPECT_EQ(FMOD_Channel_GetCurrentSound(l_New, &l_Current), FMOD_OK);
    EXPECT_EQ(l_Current, l_Long);
    EXPECT_EQ(Volume(l_New), 1.0f);
    EXPECT_EQ(Pan(l_New), -0.5f);
    EXPECT_EQ(Frequency(l_New), 3897.0f);
}

TEST_F(PlaySound, ReserveOnAStolenVoiceStartsTheSoundAgain)
{
    InitFMOD();
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    FMOD_CHANNEL* l_Oldest = FMOD_PlaySound(l_Sound, 44100, 0.0f, 100, nullptr, true);
    for (int l_Voice = 0; l_Voice < 32; ++l_Voice)  // the engine has 32 voices: the last one steals
        FMOD_PlaySound(l_Sound, 44100, 0.0f, 100, nullptr, false);
    FMOD_BOOL l_Playing = 0;
    ASSERT_EQ(FMOD_Channel_IsPlaying(l_Oldest, &l_Playing), FMOD_ERR_CHANNEL_STOLEN);
    CapturedOutput l_Output;
    FMOD_CHANNEL* l_New = FMOD_PlaySound(l_Sound, 44100, 0.0f, 100, l_Oldest, true);
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");
    EXPECT_NE(l_New, l_Oldest);
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_New, &l_Playing), FMOD_OK);
    EXPECT_EQ(VoicesPlaying(), 32);
}

TEST_F(PlaySound, ANewVoiceIsSetUpBeforeItSoundsAndThenPlays)
{
    InitFMOD();
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    FMOD_CHANNEL* l_Channel = FMOD_PlaySound(l_Sound, 12547, 0.5f, 100, nullptr, true);
    FMOD_BOOL l_Paused = 1;
    ASSERT_EQ(FMOD_Channel_GetPaused(l_Channel, &l_Paused), FMOD_OK);
    EXPECT_FALSE(l_Paused);
    unsigned l_Before = 0, l_After = 0;
    ASSERT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Before, FMOD_TIMEUNIT_PCM), FMOD_OK);
    // The engine's own thread mixes it: its position moves on.
    const auto l_Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FMOD_Channel_GetPosition(l_Channel, &l_After, FMOD_TIMEUNIT_PCM) == FMOD_OK && l_After == l_Before &&
           std::chrono::steady_clock::now() < l_Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_NE(l_After, l_Before);
}

TEST_F(PlaySound, WithoutReserveEveryCallIsANewPlaybackAndTheOldVoicePlaysOn)
{
    InitFMOD();
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    FMOD_CHANNEL* l_First = FMOD_PlaySound(l_Sound, 44100, 0.0f, 100, nullptr, false);
    FMOD_CHANNEL* l_Second = FMOD_PlaySound(l_Sound, 44100, 0.0f, 100, l_First, false);
    EXPECT_NE(l_Second, l_First);
    EXPECT_EQ(VoicesPlaying(), 2);
    FMOD_BOOL l_Playing = 0;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_First, &l_Playing), FMOD_OK);
}

TEST_F(PlaySound, VolumeMapsTheSongScaleFrom25Over255UpPastOne)
{
    InitFMOD();
    FMOD_SOUND* l_Sound = FMOD_LoadSample(SamplePath("loop.wav"), 1);
    FMOD_CHANNEL* l_Channel = FMOD_PlaySound(l_Sound, 44100, 0.0f, 0, nullptr, true);
    EXPECT_FLOAT_EQ(Volume(l_Channel), 0.0980392f);
    FMOD_PlaySound(l_Sound, 44100, 0.0f, 230, l_Channel, true);
    EXPECT_EQ(Volume(l_Channel), 1.0f);
    FMOD_PlaySound(l_Sound, 44100, 0.0f, 254, l_Channel, true);
    EXPECT_FLOAT_EQ(Volume(l_Channel), 1.0941176f);  // not clamped
}

TEST_F(PlaySound, BeforeInitStartsTheEngineWithoutTheHiccupLine)
{
    // A null sound cannot play: both tries are reported, then the volume, pan and frequency of the
    // null channel, but not the first volume failure.
    CapturedOutput l_Output;
    FMOD_CHANNEL* l_Channel = FMOD_PlaySound(nullptr, 44100, 0.0f, 100, nullptr, true);
    l_Output.Stop();
    EXPECT_EQ(l_Channel, nullptr);
    EXPECT_NE(Org::Device, nullptr);
    EXPECT_EQ(l_Output.err, "");
    const std::string l_Block = ErrorBlock(FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(l_Output.out, l_Block + l_Block + l_Block + l_Block + l_Block);
}

TEST_F(StopSound, StopsTheVoiceAndEmptiesTheSlotQuietlyEvenWhenAlreadyEmpty)
{
    InitFMOD();
    FMOD_CHANNEL* l_Channel = FMOD_PlaySound(FMOD_LoadSample(SamplePath("loop.wav"), 1), 44100, 0.0f, 100, nullptr, true);
    FMOD_CHANNEL* l_Slot = l_Channel;
    CapturedOutput l_Output;
    FMOD_StopSound(&l_Slot);
    EXPECT_EQ(l_Slot, nullptr);
    FMOD_StopSound(&l_Slot);
    EXPECT_EQ(l_Slot, nullptr);
    l_Output.Stop();
    EXPECT_EQ(l_Output.out, "");
    FMOD_BOOL l_Playing = 1;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Channel, &l_Playing), FMOD_ERR_INVALID_HANDLE);
}

TEST(ToString, GivesPlainDecimal)
{
    EXPECT_EQ(toString(0), "0");
    EXPECT_EQ(toString(7), "7");
    EXPECT_EQ(toString(99), "99");
    EXPECT_EQ(toString(-12), "-12");
    EXPECT_EQ(toString(INT_MIN), "-2147483648");
    EXPECT_EQ(toString(INT_MAX), "2147483647");
}

}
