// Voice lifetime as seen through channel handles: live, ended, stopped, stolen, null, foreign.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace EngineTest;

namespace {

class VoiceHandles : public ::testing::Test
{
protected:
    explicit VoiceHandles(int p_MaxChannels = 4) : engine(480, p_MaxChannels) {}

    FMOD_SOUND* LoopingSound()
    {
        WriteSound(engine.dir.Path("loop.wav"), Sine(480, 48, 0.5f), 1, kRate);
        return engine.Load(engine.dir.Path("loop.wav"), FMOD_SOFTWARE | FMOD_LOOP_NORMAL);
    }

    FMOD_SOUND* OneShotSound(unsigned p_Frames)
    {
        WriteSound(engine.dir.Path("shot.wav"), Sine(p_Frames, 48, 0.5f), 1, kRate);
        return engine.Load(engine.dir.Path("shot.wav"), FMOD_SOFTWARE | FMOD_LOOP_OFF);
    }

    FMOD_RESULT Probe(FMOD_CHANNEL* p_Channel)
    {
        FMOD_BOOL l_Playing = 1;
        FMOD_RESULT l_Result = FMOD_Channel_IsPlaying(p_Channel, &l_Playing);
        EXPECT_EQ(l_Playing, l_Result == FMOD_OK ? 1 : 0);
        return l_Result;
    }

    int Playing()
    {
        int l_Count = -1;
        EXPECT_EQ(FMOD_System_GetChannelsPlaying(engine.system, &l_Count), FMOD_OK);
        return l_Count;
    }

    OfflineSystem engine;
};

// Every call a stale handle can reach, so none of them may fault or succeed.
void ExpectEveryCallAnswers(FMOD_CHANNEL* p_Channel, FMOD_RESULT p_Expected)
{
    float l_Value = 0.0f;
    unsigned l_Position = 0;
    FMOD_BOOL l_Flag = 0;
    FMOD_SOUND* l_Sound = nullptr;
    EXPECT_EQ(FMOD_Channel_SetVolume(p_Channel, 0.5f), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetVolume(p_Channel, &l_Value), p_Expected);
    EXPECT_EQ(FMOD_Channel_SetPan(p_Channel, 0.5f), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetPan(p_Channel, &l_Value), p_Expected);
    EXPECT_EQ(FMOD_Channel_SetFrequency(p_Channel, 1000.0f), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetFrequency(p_Channel, &l_Value), p_Expected);
    EXPECT_EQ(FMOD_Channel_SetPaused(p_Channel, 1), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetPaused(p_Channel, &l_Flag), p_Expected);
    EXPECT_EQ(FMOD_Channel_IsPlaying(p_Channel, &l_Flag), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetCurrentSound(p_Channel, &l_Sound), p_Expected);
    EXPECT_EQ(FMOD_Channel_SetPosition(p_Channel, 0, FMOD_TIMEUNIT_PCM), p_Expected);
    EXPECT_EQ(FMOD_Channel_GetPosition(p_Channel, &l_Position, FMOD_TIMEUNIT_PCM), p_Expected);
    EXPECT_EQ(FMOD_Channel_Stop(p_Channel), p_Expected);
}

TEST(NullHandles, AnswerInvalidParamOnEveryCall)
{
    ExpectEveryCallAnswers(nullptr, FMOD_ERR_INVALID_PARAM);
    float l_Volume = 0.0f;
    unsigned l_Length = 0;
    EXPECT_EQ(FMOD_ChannelGroup_SetVolume(nullptr, 0.5f), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_ChannelGroup_GetVolume(nullptr, &l_Volume), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_Sound_Release(nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_Sound_GetLength(nullptr, &l_Length, FMOD_TIMEUNIT_PCM), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Update(nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Init(nullptr, 32, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Release(nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Create(nullptr), FMOD_ERR_INVALID_PARAM);
}

TEST_F(VoiceHandles, LiveVoiceStartsAtFullVolumeCentredAtTheSoundsRateAndTakesNewSettings)
{
    FMOD_CHANNEL* l_Channel = engine.Play(LoopingSound());
    float l_Value = -1.0f;
    EXPECT_EQ(Probe(l_Channel), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_GetVolume(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, 1.0f);
    EXPECT_EQ(FMOD_Channel_GetPan(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, 0.0f);
    EXPECT_EQ(FMOD_Channel_GetFrequency(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, float(kRate));

    EXPECT_EQ(FMOD_Channel_SetVolume(l_Channel, 1.25f), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_SetPan(l_Channel, -3.0f), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_SetFrequency(l_Channel, 12547.0f), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_GetVolume(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, 1.25f);  // above 1 is kept: it amplifies
    EXPECT_EQ(FMOD_Channel_GetPan(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, -1.0f);  // clamped
    EXPECT_EQ(FMOD_Channel_GetFrequency(l_Channel, &l_Value), FMOD_OK);
    EXPECT_EQ(l_Value, 12547.0f);
    EXPECT_EQ(FMOD_Channel_SetVolume(l_Channel, std::nanf("")), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_Channel_SetFrequency(l_Channel, HUGE_VALF), FMOD_ERR_INVALID_PARAM);
}

TEST_F(VoiceHandles, OneShotThatPlayedItsLastFrameAnswersInvalidHandle)
{
    FMOD_CHANNEL* l_Channel = engine.Play(OneShotSound(700));
    engine.Render(1);  // 480 of 700 frames
    EXPECT_EQ(Probe(l_Channel), FMOD_OK);
    EXPECT_EQ(Playing(), 1);
    engine.Render(1);
    EXPECT_EQ(Probe(l_Channel), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(Playing(), 0);
    ExpectEveryCallAnswers(l_Channel, FMOD_ERR_INVALID_HANDLE);
}

TEST_F(VoiceHandles, StoppedVoiceAnswersInvalidHandleAndFallsSilent)
{
    FMOD_CHANNEL* l_Channel = engine.Play(LoopingSound());
    EXPECT_EQ(FMOD_Channel_Stop(l_Channel), FMOD_OK);
    ExpectEveryCallAnswers(l_Channel, FMOD_ERR_INVALID_HANDLE);
    engine.Render(1);
    EXPECT_EQ(Peak(engine.Mixed().Channel(0)), 0.0f);
}

TEST_F(VoiceHandles, NewSoundTakesTheLowestFreeSlotAndTheOldHandleThereStaysStale)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_First = engine.Play(l_Sound);
    FMOD_CHANNEL* l_Second = engine.Play(l_Sound);
    ASSERT_EQ(FMOD_Channel_Stop(l_First), FMOD_OK);
    FMOD_CHANNEL* l_Third = engine.Play(l_Sound);
    EXPECT_NE(l_Third, l_First);
    // The slot was free when reused, so the old voice was not stolen: it had stopped.
    EXPECT_EQ(Probe(l_First), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(Probe(l_Second), FMOD_OK);
    EXPECT_EQ(Probe(l_Third), FMOD_OK);
    EXPECT_EQ(Playing(), 2);
}

TEST_F(VoiceHandles, FullEngineStealsTheVoiceStartedLongestAgo)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_Voices[4];
    for (FMOD_CHANNEL*& l_Voice : l_Voices)
        l_Voice = engine.Play(l_Sound);
    // Re-setting a voice does not make it younger.
    EXPECT_EQ(FMOD_Channel_SetVolume(l_Voices[0], 0.3f), FMOD_OK);
    FMOD_CHANNEL* l_Fifth = engine.Play(l_Sound);
    EXPECT_EQ(Probe(l_Voices[0]), FMOD_ERR_CHANNEL_STOLEN);
    ExpectEveryCallAnswers(l_Voices[0], FMOD_ERR_CHANNEL_STOLEN);
    FMOD_CHANNEL* l_Sixth = engine.Play(l_Sound);
    EXPECT_EQ(Probe(l_Voices[1]), FMOD_ERR_CHANNEL_STOLEN);
    EXPECT_EQ(Probe(l_Voices[2]), FMOD_OK);
    EXPECT_EQ(Probe(l_Voices[3]), FMOD_OK);
    EXPECT_EQ(Probe(l_Fifth), FMOD_OK);
    EXPECT_EQ(Probe(l_Sixth), FMOD_OK);
    EXPECT_EQ(Playing(), 4);
}

TEST_F(VoiceHandles, StolenHandleStaysStolenWhenItsSlotChangesHandsAgain)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_Oldest = engine.Play(l_Sound);
    for (int l_Index = 0; l_Index < 3; ++l_Index)
        engine.Play(l_Sound);
    FMOD_CHANNEL* l_Thief = engine.Play(l_Sound);        // takes l_Oldest's slot
    ASSERT_EQ(FMOD_Channel_Stop(l_Thief), FMOD_OK);
    FMOD_CHANNEL* l_Next = engine.Play(l_Sound);         // the now free slot again
    EXPECT_EQ(Probe(l_Oldest), FMOD_ERR_CHANNEL_STOLEN);
    EXPECT_EQ(Probe(l_Thief), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(Probe(l_Next), FMOD_OK);
}

TEST_F(VoiceHandles, ExplicitSlotStealsItAndAnUnknownSlotIsRefused)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_First = engine.Play(l_Sound);
    FMOD_CHANNEL* l_Taker = nullptr;
    EXPECT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNELINDEX(0), l_Sound, 0, &l_Taker), FMOD_OK);
    EXPECT_EQ(Probe(l_First), FMOD_ERR_CHANNEL_STOLEN);
    EXPECT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNELINDEX(4), l_Sound, 0, &l_Taker), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(l_Taker, nullptr);
}

TEST_F(VoiceHandles, ReuseRestartsTheNamedVoiceUnderTheSameHandle)
{
    FMOD_SOUND* l_Loop = LoopingSound();
    FMOD_SOUND* l_Shot = OneShotSound(2000);
    FMOD_CHANNEL* l_Channel = engine.Play(l_Loop);
    engine.Render(1);
    FMOD_CHANNEL* l_Reused = l_Channel;
    ASSERT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNEL_REUSE, l_Shot, 0, &l_Reused), FMOD_OK);
    EXPECT_EQ(l_Reused, l_Channel);
    FMOD_SOUND* l_Current = nullptr;
    unsigned l_Position = 1;
    EXPECT_EQ(FMOD_Channel_GetCurrentSound(l_Channel, &l_Current), FMOD_OK);
    EXPECT_EQ(l_Current, l_Shot);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Position, 0u);
    EXPECT_EQ(Playing(), 1);
}

TEST(ForeignHandles, MadeUpOrReleasedHandlesAreErrorsNotFaults)
{
    for (std::uintptr_t l_Value : { std::uintptr_t(1), std::uintptr_t(0xDEADBEEF), ~std::uintptr_t(0),
                                    std::uintptr_t(0x12345678ABCDull) })
        ExpectEveryCallAnswers(reinterpret_cast<FMOD_CHANNEL*>(l_Value), FMOD_ERR_INVALID_HANDLE);

    int l_NotASystem = 0;
    FMOD_SYSTEM* l_Fake = reinterpret_cast<FMOD_SYSTEM*>(&l_NotASystem);
    EXPECT_EQ(FMOD_System_Init(l_Fake, 32, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_System_Update(l_Fake), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_ChannelGroup_SetVolume(reinterpret_cast<FMOD_CHANNELGROUP*>(&l_NotASystem), 1.0f), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_Sound_Release(reinterpret_cast<FMOD_SOUND*>(&l_NotASystem)), FMOD_ERR_INVALID_HANDLE);

    FMOD_CHANNEL* l_Channel = nullptr;
    FMOD_SOUND* l_Sound = nullptr;
    FMOD_CHANNELGROUP* l_Master = nullptr;
    FMOD_SYSTEM* l_System = nullptr;
    {
        OfflineSystem l_Engine;
        WriteSound(l_Engine.dir.Path("a.wav"), Sine(480, 48, 0.5f), 1, kRate);
        l_Sound = l_Engine.Load(l_Engine.dir.Path("a.wav"), FMOD_LOOP_NORMAL);
        l_Channel = l_Engine.Play(l_Sound);
        ASSERT_EQ(FMOD_System_GetMasterChannelGroup(l_Engine.system, &l_Master), FMOD_OK);
        l_System = l_Engine.system;
    }
    ExpectEveryCallAnswers(l_Channel, FMOD_ERR_INVALID_HANDLE);
    unsigned l_Length = 0;
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, FMOD_TIMEUNIT_PCM), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_ChannelGroup_SetVolume(l_Master, 0.5f), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_System_Update(l_System), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_System_Release(l_System), FMOD_ERR_INVALID_HANDLE);
}

TEST_F(VoiceHandles, ReleasingASoundStopsItsVoicesAndStalesItsHandle)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_Channel = engine.Play(l_Sound);
    ASSERT_EQ(FMOD_Sound_Release(l_Sound), FMOD_OK);
    EXPECT_EQ(Probe(l_Channel), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(FMOD_Sound_Release(l_Sound), FMOD_ERR_INVALID_HANDLE);
    FMOD_CHANNEL* l_Again = nullptr;
    EXPECT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Again), FMOD_ERR_INVALID_HANDLE);
    engine.Render(1);
    EXPECT_EQ(Peak(engine.Mixed().Channel(0)), 0.0f);
}

TEST_F(VoiceHandles, ClosingTheSystemStalesItsChannelsAndAReInitStartsAfresh)
{
    FMOD_SOUND* l_Sound = LoopingSound();
    FMOD_CHANNEL* l_Channel = engine.Play(l_Sound);
    ASSERT_EQ(FMOD_System_Close(engine.system), FMOD_OK);
    EXPECT_EQ(Probe(l_Channel), FMOD_ERR_INVALID_HANDLE);
    ASSERT_EQ(FMOD_System_Init(engine.system, 4, FMOD_INIT_NORMAL, const_cast<char*>(engine.output.c_str())), FMOD_OK);
    // Sounds outlive Close; the new voice in the same slot is not the old handle's.
    FMOD_CHANNEL* l_New = engine.Play(l_Sound);
    EXPECT_NE(l_New, l_Channel);
    EXPECT_EQ(Probe(l_Channel), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(Probe(l_New), FMOD_OK);
}

TEST_F(VoiceHandles, SoundOfAnotherSystemIsRefused)
{
    OfflineSystem l_Other;
    WriteSound(l_Other.dir.Path("b.wav"), Sine(480, 48, 0.5f), 1, kRate);
    FMOD_SOUND* l_Foreign = l_Other.Load(l_Other.dir.Path("b.wav"), FMOD_LOOP_OFF);
    FMOD_CHANNEL* l_Channel = nullptr;
    EXPECT_EQ(FMOD_System_PlaySound(engine.system, FMOD_CHANNEL_FREE, l_Foreign, 0, &l_Channel), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(l_Channel, nullptr);
}

}
