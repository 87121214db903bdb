// A system's settings, its version, and what each Update does on the offline outputs.
#include "EngineTestKit.h"
#include "FileSizeLimit.h"

#include <fmod_errors.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <set>
#include <string>

using namespace EngineTest;

namespace {

struct FreshSystem
{
    FreshSystem() { EXPECT_EQ(FMOD_System_Create(&system), FMOD_OK); }
    ~FreshSystem() { EXPECT_EQ(FMOD_System_Release(system), FMOD_OK); }
    FMOD_SYSTEM* system = nullptr;
};

TEST(SystemSettings, BelongBeforeInitAndAreRefusedAfter)
{
    FreshSystem l_Fresh;
    FMOD_SYSTEM* l_System = l_Fresh.system;
    FMOD_CHANNELGROUP* l_Master = nullptr;
    EXPECT_EQ(FMOD_System_Update(l_System), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FMOD_System_GetMasterChannelGroup(l_System, &l_Master), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(l_Master, nullptr);

    EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND_NRT), FMOD_OK);
    EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, 48000, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                            FMOD_DSP_RESAMPLER_LINEAR),
              FMOD_OK);
    EXPECT_EQ(FMOD_System_SetSpeakerMode(l_System, FMOD_SPEAKERMODE_STEREO), FMOD_OK);
    EXPECT_EQ(FMOD_System_SetDSPBufferSize(l_System, 256, 4), FMOD_OK);
    ASSERT_EQ(FMOD_System_Init(l_System, 32, FMOD_INIT_NORMAL, nullptr), FMOD_OK);

    EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND), FMOD_ERR_INITIALIZED);
    EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, 44100, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                            FMOD_DSP_RESAMPLER_LINEAR),
              FMOD_ERR_INITIALIZED);
    EXPECT_EQ(FMOD_System_SetSpeakerMode(l_System, FMOD_SPEAKERMODE_STEREO), FMOD_ERR_INITIALIZED);
    EXPECT_EQ(FMOD_System_SetDSPBufferSize(l_System, 1024, 4), FMOD_ERR_INITIALIZED);
    EXPECT_EQ(FMOD_System_Init(l_System, 32, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INITIALIZED);
    EXPECT_EQ(FMOD_System_GetMasterChannelGroup(l_System, &l_Master), FMOD_OK);
    EXPECT_NE(l_Master, nullptr);
}

TEST(SystemSettings, ValuesTheEngineCannotHonourAreRefusedAndChangeNothing)
{
    FreshSystem l_Fresh;
    FMOD_SYSTEM* l_System = l_Fresh.system;
    EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_DSOUND), FMOD_ERR_UNSUPPORTED);
    EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE(99)), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(
        FMOD_System_SetSoftwareFormat(l_System, 0, FMOD_SOUND_FORMAT_PCM16, 2, 0, FMOD_DSP_RESAMPLER_LINEAR),
        FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, 48000, FMOD_SOUND_FORMAT_PCM8, 2, 0,
                                            FMOD_DSP_RESAMPLER_LINEAR),
              FMOD_ERR_OUTPUT_FORMAT);
    EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, 48000, FMOD_SOUND_FORMAT_PCM16, 6, 0,
                                            FMOD_DSP_RESAMPLER_LINEAR),
              FMOD_ERR_UNSUPPORTED);
    // No resampler past the last, nor beside sinc's old number 0x100 (which programs built before
    // it was renumbered still pass, and get sinc): the mixer must never index one. (A negative
    // number is no value C++ can hold in the enum; the engine reads whatever a C caller passes as
    // an int.)
    for (int l_Resampler : {int(FMOD_DSP_RESAMPLER_MAX), 0xFF, 0x101})
        EXPECT_EQ(FMOD_System_SetSoftwareFormat(l_System, 48000, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                FMOD_DSP_RESAMPLER(l_Resampler)),
                  FMOD_ERR_INVALID_PARAM)
            << l_Resampler;
    EXPECT_EQ(FMOD_System_SetSpeakerMode(l_System, FMOD_SPEAKERMODE_MONO), FMOD_ERR_UNSUPPORTED);
    EXPECT_EQ(FMOD_System_SetDSPBufferSize(l_System, 0, 4), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Init(l_System, 0, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_Init(l_System, -5, FMOD_INIT_NORMAL, nullptr), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND_NRT), FMOD_OK);
    ASSERT_EQ(FMOD_System_Init(l_System, 1, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
}

// The outputs this build offers, as the engine's table of outputs lists them for its platform.
struct OutputRow
{
    FMOD_OUTPUTTYPE type;
    bool realtime;
};
constexpr OutputRow kOutputRows[] = {
#define TW_OUTPUT(p_Type, p_RealTime, p_Name) {FMOD_OUTPUTTYPE_##p_Type, p_RealTime},
#include "OutputRows.h"
#undef TW_OUTPUT
};

const OutputRow* RowOf(int p_Type)
{
    for (const OutputRow& l_Row : kOutputRows) {
        if (l_Row.type == p_Type)
            return &l_Row;
    }
    return nullptr;
}

TEST(SystemOutputs, TheTablesOutputsAreChosenAndFmodExsOthersRefused)
{
    EXPECT_NE(RowOf(FMOD_OUTPUTTYPE_NOSOUND), nullptr) << "the fallback of every platform";
    for (int l_Type = FMOD_OUTPUTTYPE_AUTODETECT; l_Type <= FMOD_OUTPUTTYPE_ESD; ++l_Type) {
        FreshSystem l_Fresh;
        const bool l_Offered = l_Type == FMOD_OUTPUTTYPE_AUTODETECT || RowOf(l_Type) != nullptr;
        EXPECT_EQ(FMOD_System_SetOutput(l_Fresh.system, FMOD_OUTPUTTYPE(l_Type)),
                  l_Offered ? FMOD_OK : FMOD_ERR_UNSUPPORTED)
            << "output type " << l_Type;
    }
}

// Each output without a clock of its own starts, mixes one block a playing voice moves on by at
// each Update, and closes. (A WAV writer's file goes to the temporary folder; others ignore it.)
TEST(SystemOutputs, EveryOfflineOutputOfTheTableMixesABlockPerUpdate)
{
    TempDir l_Dir;
    WriteSound(l_Dir.Path("tone.wav"), Sine(4800, 48, 0.5f), 1, kRate);
    for (const OutputRow& l_Row : kOutputRows) {
        if (l_Row.realtime)
            continue;
        SCOPED_TRACE(testing::Message() << "output type " << l_Row.type);
        const std::string l_File = l_Dir.Path("out" + std::to_string(l_Row.type) + ".wav");
        FreshSystem l_Fresh;
        ASSERT_EQ(FMOD_System_SetOutput(l_Fresh.system, l_Row.type), FMOD_OK);
        ASSERT_EQ(FMOD_System_SetDSPBufferSize(l_Fresh.system, 100, 4), FMOD_OK);
        ASSERT_EQ(FMOD_System_Init(l_Fresh.system, 4, FMOD_INIT_NORMAL, const_cast<char*>(l_File.c_str())),
                  FMOD_OK);
        FMOD_SOUND* l_Sound = nullptr;
        ASSERT_EQ(FMOD_System_CreateSound(l_Fresh.system, l_Dir.Path("tone.wav").c_str(), FMOD_LOOP_OFF,
                                          nullptr, &l_Sound),
                  FMOD_OK);
        FMOD_CHANNEL* l_Channel = nullptr;
        ASSERT_EQ(FMOD_System_PlaySound(l_Fresh.system, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Channel), FMOD_OK);
        for (int l_Update = 0; l_Update < 3; ++l_Update)
            ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
        unsigned l_Position = 0;
        EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
        EXPECT_EQ(l_Position, 300u);
        EXPECT_EQ(FMOD_System_Close(l_Fresh.system), FMOD_OK);
    }
}

TEST(SystemVersion, IsTheHeadersVersion)
{
    FreshSystem l_Fresh;
    unsigned l_Version = 0;
    EXPECT_EQ(FMOD_System_GetVersion(l_Fresh.system, &l_Version), FMOD_OK);
    EXPECT_EQ(l_Version, 0x00041103u);
    EXPECT_EQ(l_Version, unsigned(FMOD_VERSION));
    EXPECT_EQ(FMOD_System_GetVersion(nullptr, &l_Version), FMOD_ERR_INVALID_PARAM);
}

TEST(ErrorStrings, EveryResultHasItsOwnSentence)
{
    const FMOD_RESULT l_Results[] = {FMOD_OK,
                                     FMOD_ERR_CHANNEL_ALLOC,
                                     FMOD_ERR_CHANNEL_STOLEN,
                                     FMOD_ERR_FILE_BAD,
                                     FMOD_ERR_FILE_COULDNOTSEEK,
                                     FMOD_ERR_FILE_EOF,
                                     FMOD_ERR_FILE_NOTFOUND,
                                     FMOD_ERR_FORMAT,
                                     FMOD_ERR_INITIALIZED,
                                     FMOD_ERR_INTERNAL,
                                     FMOD_ERR_INVALID_HANDLE,
                                     FMOD_ERR_INVALID_PARAM,
                                     FMOD_ERR_MEMORY,
                                     FMOD_ERR_OUTPUT_CREATEBUFFER,
                                     FMOD_ERR_OUTPUT_FORMAT,
                                     FMOD_ERR_OUTPUT_INIT,
                                     FMOD_ERR_UNIMPLEMENTED,
                                     FMOD_ERR_UNINITIALIZED,
                                     FMOD_ERR_UNSUPPORTED,
                                     FMOD_ERR_VERSION,
                                     FMOD_RESULT(12345)};
    std::set<std::string> l_Sentences;
    for (FMOD_RESULT l_Result : l_Results) {
        const std::string l_Sentence = FMOD_ErrorString(l_Result);
        EXPECT_FALSE(l_Sentence.empty());
        EXPECT_TRUE(l_Sentences.insert(l_Sentence).second) << "shared sentence: " << l_Sentence;
    }
}

TEST(OfflineOutput, EachUpdateMixesExactlyOneBlockOfTheSetLength)
{
    for (unsigned l_Block : {48u, 1000u, 1u}) {
        OfflineSystem l_Engine(l_Block);
        WriteSound(l_Engine.dir.Path("tone.wav"), Sine(480, 48, 0.5f), 1, kRate);
        l_Engine.Play(l_Engine.Load(l_Engine.dir.Path("tone.wav"), FMOD_LOOP_NORMAL));
        l_Engine.Render(7);
        // The file is readable, with the right length, while it is still being written.
        EXPECT_EQ(l_Engine.Mixed().Frames(), 7u * l_Block);
        l_Engine.Render(3);
        EXPECT_EQ(l_Engine.Mixed().Frames(), 10u * l_Block);
    }
}

TEST(OfflineOutput, WavWriterWritesBufferCountBlocksAtATimeAndTheRestOnRelease)
{
    TempDir l_Dir;
    const std::string l_Path = l_Dir.Path("batched.wav");
    FreshSystem l_Fresh;
    ASSERT_EQ(FMOD_System_SetOutput(l_Fresh.system, FMOD_OUTPUTTYPE_WAVWRITER_NRT), FMOD_OK);
    ASSERT_EQ(FMOD_System_SetDSPBufferSize(l_Fresh.system, 48, 4), FMOD_OK);
    ASSERT_EQ(FMOD_System_Init(l_Fresh.system, 8, FMOD_INIT_NORMAL, const_cast<char*>(l_Path.c_str())),
              FMOD_OK);
    for (int l_Block = 0; l_Block < 3; ++l_Block)
        ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    EXPECT_EQ(ReadStereo(l_Path).Frames(), 0u);  // still gathered, and the file already a valid WAV
    for (int l_Block = 0; l_Block < 6; ++l_Block)
        ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    EXPECT_EQ(ReadStereo(l_Path).Frames(), 8u * 48u);
    ASSERT_EQ(FMOD_System_Close(l_Fresh.system), FMOD_OK);
    EXPECT_EQ(ReadStereo(l_Path).Frames(), 9u * 48u);
}

// A WAV file that cannot be written to its end (here a file-size limit, with SIGXFSZ ignored, in
// a child process; a full disk is the same) is reported by every update from the failing one on
// and by the release, with the system's reason in errno; nothing is written after the failure.
TEST(OfflineOutput, AWavFileThatCannotBeWrittenIsReportedByUpdateAndRelease)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no fork, file-size limits or /dev/full";
#else
    TempDir l_Dir;
    const std::string l_Path = l_Dir.Path("limited.wav");
    const auto l_WriteUntilRefused = [&] {
        FMOD_SYSTEM* l_System = nullptr;
        FMOD_System_Create(&l_System);
        FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_WAVWRITER_NRT);
        FMOD_System_SetDSPBufferSize(l_System, 480, 4);
        if (FMOD_System_Init(l_System, 8, FMOD_INIT_NORMAL, const_cast<char*>(l_Path.c_str())) != FMOD_OK)
            return 10;
        int l_Updates = 0;
        while (l_Updates < 1000 && FMOD_System_Update(l_System) == FMOD_OK)
            ++l_Updates;
        const int l_UpdateReason = errno;
        const bool l_Sticky = FMOD_System_Update(l_System) == FMOD_ERR_FILE_BAD;
        const FMOD_RESULT l_Released = FMOD_System_Release(l_System);
        const int l_ReleaseReason = errno;
        if (l_Updates == 1000 || l_Updates < 4)
            return 11;  // never failed, or failed before the limit
        return l_UpdateReason != EFBIG           ? 12
               : !l_Sticky                       ? 13
               : l_Released != FMOD_ERR_FILE_BAD ? 14
               : l_ReleaseReason != EFBIG        ? 15
                                                 : 0;
    };
    EXPECT_EQ(0, OrgTest::ExitStatusUnderFileSizeLimit(64 * 1024, l_WriteUntilRefused));

    // A device that is always full fails the same way, at the first write.
    FMOD_SYSTEM* l_System = nullptr;
    ASSERT_EQ(FMOD_OK, FMOD_System_Create(&l_System));
    ASSERT_EQ(FMOD_OK, FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_WAVWRITER_NRT));
    ASSERT_EQ(FMOD_OK, FMOD_System_SetDSPBufferSize(l_System, 480, 2));
    const FMOD_RESULT l_Init =
        FMOD_System_Init(l_System, 8, FMOD_INIT_NORMAL, const_cast<char*>("/dev/full"));
    FMOD_RESULT l_Update = FMOD_OK;
    for (int i = 0; i < 4 && l_Init == FMOD_OK && l_Update == FMOD_OK; ++i)
        l_Update = FMOD_System_Update(l_System);
    EXPECT_TRUE(l_Init == FMOD_ERR_OUTPUT_INIT || l_Update == FMOD_ERR_FILE_BAD) << l_Init << " " << l_Update;
    EXPECT_EQ(ENOSPC, errno);
    FMOD_System_Release(l_System);
#endif
}

TEST(OfflineOutput, NoSoundAdvancesVoicesOneBlockPerUpdate)
{
    TempDir l_Dir;
    WriteSound(l_Dir.Path("shot.wav"), Sine(960, 48, 0.5f), 1, kRate);
    FreshSystem l_Fresh;
    ASSERT_EQ(FMOD_System_SetOutput(l_Fresh.system, FMOD_OUTPUTTYPE_NOSOUND_NRT), FMOD_OK);
    ASSERT_EQ(FMOD_System_SetDSPBufferSize(l_Fresh.system, 480, 4), FMOD_OK);
    ASSERT_EQ(FMOD_System_Init(l_Fresh.system, 8, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
    FMOD_SOUND* l_Sound = nullptr;
    ASSERT_EQ(FMOD_System_CreateSound(l_Fresh.system, l_Dir.Path("shot.wav").c_str(), FMOD_LOOP_OFF, nullptr,
                                      &l_Sound),
              FMOD_OK);
    FMOD_CHANNEL* l_Channel = nullptr;
    ASSERT_EQ(FMOD_System_PlaySound(l_Fresh.system, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Channel), FMOD_OK);
    unsigned l_Position = 0;
    ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_OK);
    EXPECT_EQ(l_Position, 480u);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_MS), FMOD_OK);
    EXPECT_EQ(l_Position, 10u);
    ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    EXPECT_EQ(FMOD_Channel_GetPosition(l_Channel, &l_Position, FMOD_TIMEUNIT_PCM), FMOD_ERR_INVALID_HANDLE);
}

TEST(OfflineOutput, WavWriterWithoutAFileNameWritesTheDefaultFileInTheWorkingDirectory)
{
    TempDir l_Dir;
    char l_Previous[4096];
    ASSERT_NE(getcwd(l_Previous, sizeof l_Previous), nullptr);
    ASSERT_EQ(chdir(l_Dir.path.c_str()), 0);
    {
        FreshSystem l_Fresh;
        ASSERT_EQ(FMOD_System_SetOutput(l_Fresh.system, FMOD_OUTPUTTYPE_WAVWRITER_NRT), FMOD_OK);
        ASSERT_EQ(FMOD_System_SetDSPBufferSize(l_Fresh.system, 100, 4), FMOD_OK);
        ASSERT_EQ(FMOD_System_Init(l_Fresh.system, 8, FMOD_INIT_NORMAL, nullptr), FMOD_OK);
        ASSERT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    }
    ASSERT_EQ(chdir(l_Previous), 0);
    EXPECT_EQ(ReadStereo(l_Dir.Path("fmodoutput.wav")).Frames(), 100u);
}

TEST(OfflineOutput, UnwritableWavFileFailsInitButTheSystemCarriesOnSilently)
{
    TempDir l_Dir;
    WriteSound(l_Dir.Path("shot.wav"), Sine(100, 48, 0.5f), 1, kRate);
    FreshSystem l_Fresh;
    const std::string l_Target = l_Dir.Path("missing-dir/out.wav");
    ASSERT_EQ(FMOD_System_SetOutput(l_Fresh.system, FMOD_OUTPUTTYPE_WAVWRITER_NRT), FMOD_OK);
    EXPECT_EQ(FMOD_System_Init(l_Fresh.system, 8, FMOD_INIT_NORMAL, const_cast<char*>(l_Target.c_str())),
              FMOD_ERR_OUTPUT_INIT);
    EXPECT_EQ(ENOENT, errno);  // the system's reason comes with the result
    FMOD_SOUND* l_Sound = nullptr;
    ASSERT_EQ(FMOD_System_CreateSound(l_Fresh.system, l_Dir.Path("shot.wav").c_str(), FMOD_LOOP_OFF, nullptr,
                                      &l_Sound),
              FMOD_OK);
    FMOD_CHANNEL* l_Channel = nullptr;
    ASSERT_EQ(FMOD_System_PlaySound(l_Fresh.system, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Channel), FMOD_OK);
    EXPECT_EQ(FMOD_System_Update(l_Fresh.system), FMOD_OK);
    FMOD_BOOL l_Playing = 1;
    EXPECT_EQ(FMOD_Channel_IsPlaying(l_Channel, &l_Playing), FMOD_ERR_INVALID_HANDLE);  // mixed and ended
}

}  // namespace
