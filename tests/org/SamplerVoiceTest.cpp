// The sampler's voices, checked on the engine's own state: which sound a record selects, the
// frequency it plays at, when a voice is re-set, restarted, stopped or left alone.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "AudioDevice.h"
#include "Sampler.h"

namespace Org {

// Reads the sampler's private state for the tests.
struct SamplerInspector
{
    static FMOD_CHANNEL* Channel(const Sampler& p_Sampler, int p_Track)
    {
        return p_Sampler.channelindex[p_Track];
    }
    static FMOD_SOUND* Selected(const Sampler& p_Sampler, int p_Track)
    {
        return p_Sampler.channelsample[p_Track];
    }
    static FMOD_SOUND* Melody(const Sampler& p_Sampler, int p_Slot)
    {
        return p_Sampler.melodysamples[p_Slot];
    }
    static FMOD_SOUND* Percussion(const Sampler& p_Sampler, int p_Slot)
    {
        return p_Sampler.percussionsamples[p_Slot];
    }
    static unsigned Pitch(const Sampler& p_Sampler, int p_Note) { return p_Sampler.pitch[p_Note]; }
    static int Length(const Sampler& p_Sampler, int p_Track) { return p_Sampler.channellength[p_Track]; }
};

}  // namespace Org

namespace {

using Org::SamplerInspector;

Org::SampleData Record(int p_Track, int p_Playing, int p_Note = 19, int p_Sample = 4, int p_Volume = 100,
                       float p_Pan = 0.5f, int p_Pitch = 1000)
{
    Org::SampleData l_Data = {};
    l_Data.note = p_Note;
    l_Data.length = 1;
    l_Data.volume = p_Volume;
    l_Data.pan = p_Pan;
    l_Data.pitch = p_Pitch;
    l_Data.sample = p_Sample;
    l_Data.loop = 1;
    l_Data.playing = p_Playing;
    l_Data.instrument = p_Track;
    return l_Data;
}

// An engine mixing silently, one 1 ms block per update, and a sampler on the built samples.
class SamplerVoices : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(FMOD_OK, FMOD_System_Create(&Org::Device));
        ASSERT_EQ(FMOD_OK, FMOD_System_SetOutput(Org::Device, FMOD_OUTPUTTYPE_NOSOUND_NRT));
        ASSERT_EQ(FMOD_OK, FMOD_System_SetDSPBufferSize(Org::Device, 48, 4));
        ASSERT_EQ(FMOD_OK, FMOD_System_Init(Org::Device, 32, FMOD_INIT_NORMAL, nullptr));
        ASSERT_EQ(FMOD_OK, FMOD_System_GetMasterChannelGroup(Org::Device, &Org::MasterCG));
        m_Sampler = new Org::Sampler(TUNEWRIGHT_DATA_DIR);
    }
    void TearDown() override
    {
        delete m_Sampler;
        FMOD_System_Release(Org::Device);
        Org::Device = nullptr;
        Org::MasterCG = nullptr;
    }

    int Voices()
    {
        int l_Count = -1;
        FMOD_System_GetChannelsPlaying(Org::Device, &l_Count);
        return l_Count;
    }
    bool IsPlaying(FMOD_CHANNEL* p_Channel)
    {
        FMOD_BOOL l_Playing = 0;
        return FMOD_Channel_IsPlaying(p_Channel, &l_Playing) == FMOD_OK && l_Playing;
    }
    float Frequency(FMOD_CHANNEL* p_Channel)
    {
        float l_Frequency = 0;
        EXPECT_EQ(FMOD_OK, FMOD_Channel_GetFrequency(p_Channel, &l_Frequency));
        return l_Frequency;
    }
    FMOD_SOUND* Sound(FMOD_CHANNEL* p_Channel)
    {
        FMOD_SOUND* l_Sound = nullptr;
        FMOD_Channel_GetCurrentSound(p_Channel, &l_Sound);
        return l_Sound;
    }

    Org::Sampler* m_Sampler = nullptr;
};

TEST_F(SamplerVoices, ConstructionLoadsBothBanksAndTheFrequencyTable)
{
    for (int i = 0; i < Org::Sampler::MELODY_SAMPLES; ++i)
        EXPECT_NE(nullptr, SamplerInspector::Melody(*m_Sampler, i)) << i;
    for (int i = 0; i < Org::Sampler::PERCUSSION_SAMPLES; ++i)
        EXPECT_NE(nullptr, SamplerInspector::Percussion(*m_Sampler, i)) << i;
    for (int t = 0; t < 16; ++t) {
        EXPECT_EQ(nullptr, SamplerInspector::Channel(*m_Sampler, t));
        EXPECT_EQ(0, SamplerInspector::Length(*m_Sampler, t));
    }
    const std::pair<int, unsigned> l_Table[] = {{0, 147},  {1, 155},   {7, 220},    {12, 294},  {19, 441},
                                                {31, 882}, {43, 1764}, {94, 33564}, {95, 35560}};
    for (const auto& l_Entry : l_Table)
        EXPECT_EQ(l_Entry.second, SamplerInspector::Pitch(*m_Sampler, l_Entry.first))
            << "note " << l_Entry.first;
}

TEST_F(SamplerVoices, StartingANoteSetsFrequencyVolumeAndPan)
{
    EXPECT_TRUE(m_Sampler->HitNote(Record(3, 1)));
    FMOD_CHANNEL* l_Channel = SamplerInspector::Channel(*m_Sampler, 3);
    ASSERT_NE(nullptr, l_Channel);
    EXPECT_EQ(SamplerInspector::Melody(*m_Sampler, 4), Sound(l_Channel));
    EXPECT_EQ(12547.0f, Frequency(l_Channel));
    float l_Volume = 0, l_Pan = 0;
    FMOD_Channel_GetVolume(l_Channel, &l_Volume);
    FMOD_Channel_GetPan(l_Channel, &l_Pan);
    EXPECT_FLOAT_EQ(125.0f / 255.0f, l_Volume);
    EXPECT_FLOAT_EQ(0.5f, l_Pan);
    EXPECT_EQ(1, Voices());
}

TEST_F(SamplerVoices, AHeldNoteReSetsTheSameVoiceWithoutANewPlayback)
{
    m_Sampler->HitNote(Record(3, 1));
    FMOD_CHANNEL* l_First = SamplerInspector::Channel(*m_Sampler, 3);
    FMOD_System_Update(Org::Device);
    unsigned l_Before = 0;
    FMOD_Channel_GetPosition(l_First, &l_Before, FMOD_TIMEUNIT_PCM);

    EXPECT_TRUE(m_Sampler->HitNote(Record(3, 2, 19, 4, 50, -1.0f)));
    EXPECT_EQ(l_First, SamplerInspector::Channel(*m_Sampler, 3));
    EXPECT_EQ(1, Voices());
    float l_Volume = 0, l_Pan = 0;
    FMOD_Channel_GetVolume(l_First, &l_Volume);
    FMOD_Channel_GetPan(l_First, &l_Pan);
    EXPECT_FLOAT_EQ(75.0f / 255.0f, l_Volume);
    EXPECT_FLOAT_EQ(-1.0f, l_Pan);
    unsigned l_After = 0;
    FMOD_Channel_GetPosition(l_First, &l_After, FMOD_TIMEUNIT_PCM);
    EXPECT_EQ(l_Before, l_After);  // not restarted
}

TEST_F(SamplerVoices, TheTracksTuningShiftsTheTableValue)
{
    struct Case
    {
        int note, pitch;
        float frequency;
    };
    for (const Case& l_Case : {Case{19, 1000, 12547}, Case{19, 1100, 12575}, Case{0, 1000, 4182},
                               Case{0, 0, 3897}, Case{95, 1000, 1011739}}) {
        m_Sampler->HitNote(Record(0, 1, l_Case.note, 0, 100, 0.0f, l_Case.pitch));
        EXPECT_EQ(l_Case.frequency, Frequency(SamplerInspector::Channel(*m_Sampler, 0)))
            << "note " << l_Case.note << " pitch " << l_Case.pitch;
    }
}

TEST_F(SamplerVoices, ANoteAbove95StopsTheTrackAndSoundsNothing)
{
    m_Sampler->HitNote(Record(2, 1));
    FMOD_CHANNEL* l_Old = SamplerInspector::Channel(*m_Sampler, 2);
    EXPECT_FALSE(m_Sampler->HitNote(Record(2, 1, 96, 7)));
    EXPECT_EQ(nullptr, SamplerInspector::Channel(*m_Sampler, 2));
    EXPECT_FALSE(IsPlaying(l_Old));
    EXPECT_EQ(SamplerInspector::Melody(*m_Sampler, 7), SamplerInspector::Selected(*m_Sampler, 2));
    EXPECT_EQ(0, Voices());
}

TEST_F(SamplerVoices, PercussionTracksDrawFromTheTwelveSlotBank)
{
    EXPECT_TRUE(m_Sampler->HitNote(Record(9, 1, 40, 2)));
    EXPECT_EQ(SamplerInspector::Percussion(*m_Sampler, 2), Sound(SamplerInspector::Channel(*m_Sampler, 9)));
    EXPECT_TRUE(m_Sampler->HitNote(Record(15, 1, 40, 11)));
    EXPECT_EQ(SamplerInspector::Percussion(*m_Sampler, 11), Sound(SamplerInspector::Channel(*m_Sampler, 15)));
    EXPECT_EQ(2, Voices());
}

TEST_F(SamplerVoices, ASilentBeatEndsAMelodyNoteAndLetsADrumRingOut)
{
    m_Sampler->HitNote(Record(1, 1));
    m_Sampler->HitNote(Record(8, 1, 40, 0));
    FMOD_CHANNEL* l_Melody = SamplerInspector::Channel(*m_Sampler, 1);
    FMOD_CHANNEL* l_Drum = SamplerInspector::Channel(*m_Sampler, 8);
    ASSERT_EQ(2, Voices());

    EXPECT_FALSE(m_Sampler->HitNote(Record(1, 0, 0, 0, 0, 0.0f, 0)));
    EXPECT_FALSE(m_Sampler->HitNote(Record(8, 0, 0, 0, 0, 0.0f, 0)));
    EXPECT_FALSE(IsPlaying(l_Melody));
    EXPECT_EQ(nullptr, SamplerInspector::Channel(*m_Sampler, 1));
    EXPECT_TRUE(IsPlaying(l_Drum));
    EXPECT_EQ(l_Drum, SamplerInspector::Channel(*m_Sampler, 8));
    EXPECT_EQ(1, Voices());

    // A track that never sounded stays silent.
    EXPECT_FALSE(m_Sampler->HitNote(Record(5, 0, 0, 0, 0, 0.0f, 0)));
    EXPECT_FALSE(m_Sampler->HitNote(Record(12, 0, 0, 0, 0, 0.0f, 0)));
    EXPECT_EQ(1, Voices());
}

TEST_F(SamplerVoices, ASampleOutsideItsBankSoundsNothing)
{
    m_Sampler->HitNote(Record(0, 1));
    EXPECT_FALSE(m_Sampler->HitNote(Record(0, 2, 19, 100)));  // a held note is left as it is
    EXPECT_EQ(1, Voices());
    EXPECT_FALSE(m_Sampler->HitNote(Record(0, 1, 19, 100)));  // a new note stops the old one
    EXPECT_EQ(0, Voices());
    EXPECT_EQ(nullptr, SamplerInspector::Channel(*m_Sampler, 0));

    EXPECT_FALSE(m_Sampler->HitNote(Record(10, 1, 40, 12)));
    EXPECT_FALSE(m_Sampler->HitNote(Record(10, 1, 40, 255)));
    EXPECT_FALSE(m_Sampler->HitNote(Record(10, 1, 40, -1)));
    EXPECT_FALSE(m_Sampler->HitNote(Record(16, 1)));
    EXPECT_EQ(0, Voices());
}

// Values no song holds reach the engine held at the nearest it takes: no wrap to a huge
// frequency or gain (a negative tuning, volume -1), no non-finite pan.
TEST_F(SamplerVoices, OutOfRangeRecordsAreHeldAtTheEnginesLimits)
{
    struct Case
    {
        int pitch, volume;
        float pan;
        float frequency, gain, engine_pan;
    };
    for (const Case& l_Case : {Case{-100000, -1, NAN, 0.0f, 25.0f / 255.0f, 0.0f},
                               Case{INT_MIN, INT_MIN, -INFINITY, 0.0f, 25.0f / 255.0f, 0.0f},
                               Case{INT_MAX, INT_MAX, 3.0f, 48000.0f * 4096.0f, 280.0f / 255.0f, 1.0f}}) {
        EXPECT_TRUE(m_Sampler->HitNote(Record(0, 1, 0, 0, l_Case.volume, l_Case.pan, l_Case.pitch)));
        FMOD_CHANNEL* l_Channel = SamplerInspector::Channel(*m_Sampler, 0);
        float l_Gain = 0, l_Pan = 0;
        FMOD_Channel_GetVolume(l_Channel, &l_Gain);
        FMOD_Channel_GetPan(l_Channel, &l_Pan);
        EXPECT_EQ(l_Case.frequency, Frequency(l_Channel))
            << l_Case.pitch;  // the highest is the engine's own limit
        EXPECT_FLOAT_EQ(l_Case.gain, l_Gain) << l_Case.volume;
        EXPECT_FLOAT_EQ(l_Case.engine_pan, l_Pan) << l_Case.pan;
    }
}

TEST_F(SamplerVoices, AHeldNoteRestartsADrumThatHasEnded)
{
    m_Sampler->HitNote(Record(11, 1, 48, 5));  // closed hi-hat: short
    FMOD_CHANNEL* l_First = SamplerInspector::Channel(*m_Sampler, 11);
    for (int l_Ms = 0; l_Ms < 3000 && IsPlaying(l_First); ++l_Ms)
        m_Sampler->Update(1);
    ASSERT_FALSE(IsPlaying(l_First));

    EXPECT_TRUE(m_Sampler->HitNote(Record(11, 2, 48, 5)));
    FMOD_CHANNEL* l_Second = SamplerInspector::Channel(*m_Sampler, 11);
    EXPECT_NE(l_First, l_Second);
    EXPECT_TRUE(IsPlaying(l_Second));
    EXPECT_EQ(1, Voices());
}

TEST_F(SamplerVoices, MasterVolumeReachesTheMasterGroup)
{
    m_Sampler->SetMasterVolume(0.75f);
    float l_Volume = 0;
    ASSERT_EQ(FMOD_OK, FMOD_ChannelGroup_GetVolume(Org::MasterCG, &l_Volume));
    EXPECT_FLOAT_EQ(0.75f, l_Volume);
}

}  // namespace
