// Sample files: every WAV encoding the engine takes gives the same waveform; everything else is
// refused with the right result and no sound.
#include "EngineTestKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <thread>

using namespace EngineTest;

namespace {

class SoundFiles : public ::testing::Test
{
protected:
    FMOD_RESULT TryLoad(const std::string& p_Path, FMOD_MODE p_Mode = FMOD_SOFTWARE | FMOD_LOOP_OFF)
    {
        FMOD_SOUND* l_Sound = nullptr;
        FMOD_RESULT l_Result =
            FMOD_System_CreateSound(engine.system, p_Path.c_str(), p_Mode, nullptr, &l_Sound);
        EXPECT_EQ(l_Sound == nullptr, l_Result != FMOD_OK) << p_Path;
        return l_Result;
    }

    void WriteBytes(const std::string& p_Name, const std::string& p_Bytes)
    {
        std::ofstream(engine.dir.Path(p_Name), std::ios::binary) << p_Bytes;
    }

    OfflineSystem engine;
};

TEST_F(SoundFiles, EveryEncodingMonoOrStereoLoadsToTheSameWaveform)
{
    struct Encoding
    {
        int format;
        const char* name;
        float tolerance;
    };
    const Encoding l_Encodings[] = {
        {SF_FORMAT_PCM_16, "pcm16", 1.0f}, {SF_FORMAT_PCM_U8, "pcm8", 260.0f},
        {SF_FORMAT_PCM_24, "pcm24", 1.0f}, {SF_FORMAT_PCM_32, "pcm32", 1.0f},
        {SF_FORMAT_FLOAT, "float", 1.0f},
    };
    const std::vector<float> l_Mono = Sine(480, 48, 0.8f);
    std::vector<std::string> l_Names;
    for (const Encoding& l_Encoding : l_Encodings)
        for (int l_Channels = 1; l_Channels <= 2; ++l_Channels) {
            const std::string l_Name =
                std::string(l_Encoding.name) + (l_Channels == 1 ? "-mono" : "-stereo") + ".wav";
            WriteSound(engine.dir.Path(l_Name), Sine(480, 48, 0.8f, l_Channels), l_Channels, kRate,
                       SF_FORMAT_WAV | l_Encoding.format);
            // Each plays alone, for one block, hard left; compared once its start has ramped in.
            FMOD_CHANNEL* l_Channel = engine.Play(engine.Load(engine.dir.Path(l_Name), FMOD_LOOP_OFF));
            ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
            engine.Render(1);
            l_Names.push_back(l_Name);
        }
    const Stereo l_Mix = engine.Mixed();
    ASSERT_EQ(l_Mix.Frames(), 480u * l_Names.size());
    for (std::size_t l_Case = 0; l_Case < l_Names.size(); ++l_Case) {
        const float l_Tolerance = l_Encodings[l_Case / 2].tolerance;
        for (std::size_t l_Frame = kRampFrames; l_Frame < 480; ++l_Frame)
            ASSERT_NEAR(l_Mix.Left(l_Case * 480 + l_Frame), l_Mono[l_Frame] * 32768.0f, l_Tolerance)
                << l_Names[l_Case] << " frame " << l_Frame;
    }
}

TEST_F(SoundFiles, FileRateIsTheDefaultFrequencyAndLengthsFollowTheEncoding)
{
    const std::string l_Path = engine.dir.Path("slow.wav");
    WriteSound(l_Path, Sine(22050, 100, 0.5f, 2), 2, 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    FMOD_SOUND* l_Sound = engine.Load(l_Path, FMOD_LOOP_NORMAL);
    unsigned l_Length = 0;
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Length, 22050u);
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(l_Length, 1000u);
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, FMOD_TIMEUNIT_PCMBYTES), FMOD_OK);
    EXPECT_EQ(l_Length, 22050u * 2 * 3);
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, 0x100), FMOD_ERR_INVALID_PARAM);

    FMOD_CHANNEL* l_Channel = engine.Play(l_Sound);
    float l_Frequency = 0.0f;
    EXPECT_EQ(FMOD_Channel_GetFrequency(l_Channel, &l_Frequency), FMOD_OK);
    EXPECT_EQ(l_Frequency, 22050.0f);
    engine.Render(50);
    EXPECT_NEAR(MeasureFrequency(engine.Mixed().Channel(1), kRate), 220.5, 0.1);
}

TEST_F(SoundFiles, MissingFileAnswersFileNotFound)
{
    EXPECT_EQ(TryLoad(engine.dir.Path("absent.wav")), FMOD_ERR_FILE_NOTFOUND);
    EXPECT_EQ(TryLoad(engine.dir.Path("no/such/dir/x.wav")), FMOD_ERR_FILE_NOTFOUND);
    EXPECT_EQ(int(FMOD_ERR_FILE_NOTFOUND), 23);
}

TEST_F(SoundFiles, FilesThatAreNotSupportedWavsAnswerFormatOrFileBad)
{
    WriteBytes("text.wav", "this is not a sound at all, just some words in a file\n");
    WriteBytes("empty.wav", "");
    WriteBytes("header.wav", std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16));
    WriteBytes("garbage.wav",
               std::string("RIFF\xff\xff\xff\x7fWAVEdata\xff\xff\xff\x7f", 20) + std::string(64, '\x55'));
    EXPECT_EQ(TryLoad(engine.dir.Path("text.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("empty.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("header.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("garbage.wav")), FMOD_ERR_FORMAT);

    // Sound files libsndfile reads but the engine does not take.
    WriteSound(engine.dir.Path("aiff.wav"), Sine(100, 10, 0.5f), 1, kRate, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    WriteSound(engine.dir.Path("ulaw.wav"), Sine(100, 10, 0.5f), 1, kRate, SF_FORMAT_WAV | SF_FORMAT_ULAW);
    WriteSound(engine.dir.Path("three.wav"), Sine(100, 10, 0.5f, 3), 3, kRate);
    WriteSound(engine.dir.Path("silent.wav"), {}, 1, kRate);
    EXPECT_EQ(TryLoad(engine.dir.Path("aiff.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("ulaw.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("three.wav")), FMOD_ERR_FORMAT);
    EXPECT_EQ(TryLoad(engine.dir.Path("silent.wav")), FMOD_ERR_FORMAT);

    EXPECT_EQ(TryLoad(engine.dir.path), FMOD_ERR_FILE_BAD);  // a directory
}

TEST_F(SoundFiles, TruncatedDataLoadsOnlyWhatIsThere)
{
    const std::string l_Path = engine.dir.Path("cut.wav");
    WriteSound(l_Path, Sine(1000, 50, 0.5f), 1, kRate);
    std::ifstream l_In(l_Path, std::ios::binary);
    std::string l_Bytes((std::istreambuf_iterator<char>(l_In)), std::istreambuf_iterator<char>());
    WriteBytes("cut.wav", l_Bytes.substr(0, l_Bytes.size() - 1001));  // 499.5 frames of data left
    FMOD_SOUND* l_Sound = nullptr;
    ASSERT_EQ(FMOD_System_CreateSound(engine.system, l_Path.c_str(), FMOD_LOOP_OFF, nullptr, &l_Sound),
              FMOD_OK);
    unsigned l_Length = 0;
    EXPECT_EQ(FMOD_Sound_GetLength(l_Sound, &l_Length, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Length, 499u);
}

TEST_F(SoundFiles, NonFiniteFloatSamplesPlayAsSilence)
{
    std::vector<float> l_Samples(480, 0.25f);
    l_Samples[10] = std::nanf("");
    l_Samples[20] = HUGE_VALF;
    l_Samples[30] = -HUGE_VALF;
    WriteSound(engine.dir.Path("odd.wav"), l_Samples, 1, kRate, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    FMOD_CHANNEL* l_Channel = engine.Play(engine.Load(engine.dir.Path("odd.wav"), FMOD_LOOP_OFF));
    ASSERT_EQ(FMOD_Channel_SetPan(l_Channel, -1.0f), FMOD_OK);
    engine.Render(1);
    const Stereo l_Mix = engine.Mixed();
    EXPECT_EQ(l_Mix.Left(10), 0);
    EXPECT_EQ(l_Mix.Left(20), 0);
    EXPECT_EQ(l_Mix.Left(30), 0);
    EXPECT_EQ(l_Mix.Left(kRampFrames + 40), 8192);
}

TEST_F(SoundFiles, LoopOffWinsOverLoopNormalAndUnsupportedModesAreRefused)
{
    const std::string l_Path = engine.dir.Path("short.wav");
    WriteSound(l_Path, Sine(100, 10, 0.5f), 1, kRate);
    FMOD_CHANNEL* l_Channel = engine.Play(engine.Load(l_Path, FMOD_LOOP_NORMAL | FMOD_LOOP_OFF));
    engine.Render(1);
    FMOD_BOOL l_Playing = 1;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Channel, &l_Playing), FMOD_ERR_INVALID_HANDLE);

    EXPECT_EQ(TryLoad(l_Path, FMOD_3D), FMOD_ERR_UNSUPPORTED);
    EXPECT_EQ(TryLoad(l_Path, FMOD_OPENMEMORY), FMOD_ERR_UNSUPPORTED);
    EXPECT_EQ(TryLoad(l_Path, FMOD_LOOP_BIDI), FMOD_ERR_UNSUPPORTED);
    FMOD_SOUND* l_Sound = nullptr;
    EXPECT_EQ(FMOD_System_CreateSound(engine.system, nullptr, FMOD_DEFAULT, nullptr, &l_Sound),
              FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_CreateSound(engine.system, l_Path.c_str(), FMOD_DEFAULT, nullptr, nullptr),
              FMOD_ERR_INVALID_PARAM);
}

}  // namespace

namespace {

// Raw sounds pointed at the same memory share one decoded copy across systems, made once even
// when two threads ask at once; copied memory, another layout or another loop get their own;
// once the last sharer is gone the memory is decoded afresh.
TEST(SharedSounds, PointedMemoryIsDecodedOnceWhileItsSoundsLive)
{
    std::vector<std::int16_t> l_Pcm(300);
    for (std::size_t i = 0; i < l_Pcm.size(); ++i)
        l_Pcm[i] = std::int16_t(i * 97);
    FMOD_CREATESOUNDEXINFO l_Info = {};
    l_Info.cbsize = sizeof l_Info;
    l_Info.length = unsigned(l_Pcm.size() * sizeof(std::int16_t));
    l_Info.numchannels = 1;
    l_Info.defaultfrequency = 44100;
    l_Info.format = FMOD_SOUND_FORMAT_PCM16;
    const char* l_Data = reinterpret_cast<const char*>(l_Pcm.data());
    const FMOD_MODE l_Pointed = FMOD_SOFTWARE | FMOD_LOOP_NORMAL | FMOD_OPENMEMORY_POINT | FMOD_OPENRAW;
    auto Decoded = [](FMOD_SOUND* p_Sound) { return reinterpret_cast<SoundEngine::Sound*>(p_Sound)->data; };

    OfflineSystem l_First, l_Second;
    FMOD_SOUND* l_Sounds[2] = {nullptr, nullptr};
    std::thread l_Other([&] {
        EXPECT_EQ(FMOD_OK,
                  FMOD_System_CreateSound(l_Second.system, l_Data, l_Pointed, &l_Info, &l_Sounds[1]));
    });
    EXPECT_EQ(FMOD_OK, FMOD_System_CreateSound(l_First.system, l_Data, l_Pointed, &l_Info, &l_Sounds[0]));
    l_Other.join();
    ASSERT_TRUE(l_Sounds[0] != nullptr && l_Sounds[1] != nullptr);
    auto l_Shared = Decoded(l_Sounds[0]);
    EXPECT_EQ(l_Shared, Decoded(l_Sounds[1]));

    FMOD_SOUND* l_Copied = nullptr;
    FMOD_SOUND* l_OneShot = nullptr;
    ASSERT_EQ(FMOD_OK, FMOD_System_CreateSound(l_First.system, l_Data,
                                               l_Pointed ^ FMOD_OPENMEMORY_POINT ^ FMOD_OPENMEMORY, &l_Info,
                                               &l_Copied));
    ASSERT_EQ(FMOD_OK,
              FMOD_System_CreateSound(l_First.system, l_Data, l_Pointed ^ FMOD_LOOP_NORMAL ^ FMOD_LOOP_OFF,
                                      &l_Info, &l_OneShot));
    EXPECT_NE(l_Shared, Decoded(l_Copied));
    EXPECT_EQ(l_Shared->samples, Decoded(l_Copied)->samples);  // sharing changes nothing heard
    EXPECT_NE(l_Shared, Decoded(l_OneShot));
    EXPECT_FALSE(Decoded(l_OneShot)->loop);

    // Played while the other system releases its sound: the copy stays until the last sharer goes.
    ASSERT_NE(nullptr, l_First.Play(l_Sounds[0]));
    EXPECT_EQ(FMOD_OK, FMOD_Sound_Release(l_Sounds[1]));
    l_First.Render(2);
    EXPECT_GT(Peak(l_First.Mixed().Channel(0)), 0.1f);
    const std::weak_ptr<const SoundEngine::SoundData> l_Gone = l_Shared;
    l_Shared.reset();
    EXPECT_FALSE(l_Gone.expired());
    EXPECT_EQ(FMOD_OK, FMOD_Sound_Release(l_Sounds[0]));
    EXPECT_TRUE(l_Gone.expired());  // not held by the cache, nor by a stopped voice or fade

    l_Pcm[0] = 12345;
    FMOD_SOUND* l_Again = nullptr;
    ASSERT_EQ(FMOD_OK, FMOD_System_CreateSound(l_Second.system, l_Data, l_Pointed, &l_Info, &l_Again));
    EXPECT_EQ(12345.0f / 32768.0f, Decoded(l_Again)->Frame0()[0]) << "the first copy was not kept";
}

}  // namespace
