// InitFMOD's version check. This program stands in for two calls: the engine's version query
// (to report an older or newer engine) and usleep (to record the wait instead of waiting).
#include "AudioTestKit.h"

#include <fmod_errors.h>

#include <dlfcn.h>

using namespace AudioTest;

namespace {

unsigned g_FakeVersion = 0;           // 0: ask the real engine
unsigned long long g_Slept = 0;       // microseconds usleep was asked for, in total

}

extern "C" FMOD_RESULT F_API FMOD_System_GetVersion(FMOD_SYSTEM* system, unsigned int* version)
{
    using Real = FMOD_RESULT (*)(FMOD_SYSTEM*, unsigned int*);
    static Real l_Real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "FMOD_System_GetVersion"));
    FMOD_RESULT l_Result = l_Real(system, version);
    if (l_Result == FMOD_OK && g_FakeVersion != 0)
        *version = g_FakeVersion;
    return l_Result;
}

extern "C" int usleep(useconds_t p_Microseconds)
{
    g_Slept += p_Microseconds;
    return 0;
}

namespace {

class VersionCheck : public LayerTest
{
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        g_Slept = 0;
    }
};

TEST_F(VersionCheck, OlderEngineByOnePrintsTheMismatchWaitsFiveSecondsAndStaysUninitialised)
{
    g_FakeVersion = FMOD_VERSION - 1;
    CapturedOutput l_Output;
    InitFMOD();
    l_Output.Stop();
    EXPECT_EQ(l_Output.out,
              "LIBRARY VERSION MISMATCH!\n--\nlibfmodex: 00041102\nfmod.h: 00041103\n--\n"
              "The FMOD version installed must be the same or as new as the headers used to compile the\n"
              "application or else the application will fail to execute properly.\n\n"
              "Continuing in five seconds. Press Ctrl+C to exit.\n\n");
    EXPECT_EQ(g_Slept, 5000000u);
    ASSERT_NE(Org::Device, nullptr);
    EXPECT_EQ(Org::MasterCG, nullptr);

    // The created system is never initialised later: loading reports the engine's answer instead.
    CapturedOutput l_Later;
    EXPECT_EQ(FMOD_LoadSample(SamplePath("loop.wav"), 1), nullptr);
    l_Later.Stop();
    EXPECT_EQ(l_Later.err, "");
    EXPECT_EQ(l_Later.out, "Audio error [No. 76] \n--\n" + std::string(FMOD_ErrorString(FMOD_ERR_UNINITIALIZED)) + "\n--\n\n");
    g_FakeVersion = 0;
}

TEST_F(VersionCheck, EqualOrNewerEnginePasses)
{
    for (unsigned l_Version : { unsigned(FMOD_VERSION), unsigned(FMOD_VERSION) + 1 }) {
        LayerTest::TearDownEngine();
        g_FakeVersion = l_Version;
        CapturedOutput l_Output;
        InitFMOD();
        l_Output.Stop();
        EXPECT_EQ(l_Output.out, "");
        EXPECT_EQ(g_Slept, 0u);
        EXPECT_NE(Org::MasterCG, nullptr);
    }
    g_FakeVersion = 0;
}

}
