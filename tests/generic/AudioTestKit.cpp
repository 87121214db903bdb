#include "AudioTestKit.h"

#include "TempDir.h"

#include <fmod.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace AudioTest {
namespace {

std::string g_Dir;

void WriteSine(const std::string& p_Name, unsigned p_Frames)
{
    SF_INFO l_Info = {};
    l_Info.samplerate = 48000;
    l_Info.channels = 1;
    l_Info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* l_File = sf_open(SamplePath(p_Name).c_str(), SFM_WRITE, &l_Info);
    ASSERT_NE(l_File, nullptr);
    for (unsigned l_Frame = 0; l_Frame < p_Frames; ++l_Frame) {
        const float l_Sample = 0.5f * float(std::sin(l_Frame * 0.1308996939));  // 1000 Hz
        sf_writef_float(l_File, &l_Sample, 1);
    }
    sf_close(l_File);
}

// Before any engine starts: HOME points at a directory whose .asoundrc makes ALSA's default
// device the null plugin, so the layer's ALSA output opens with no sound card in the machine.
// (A Windows program cannot set that up for Wine's own ALSA driver: whoever starts Wine does.)
class NullAlsaEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        g_Dir = OrgTest::MakeTempDirectory("tw-audio");
        ASSERT_FALSE(g_Dir.empty());
#ifndef _WIN32
        std::ofstream(g_Dir + "/.asoundrc") << "pcm.!default { type null }\n";
        setenv("HOME", g_Dir.c_str(), 1);
#endif
        WriteSine("loop.wav", 480);
        WriteSine("click.wav", 48);
        WriteSine("long.wav", 48000);
    }

    void TearDown() override
    {
        LayerTest::TearDownEngine();
        std::error_code l_Error;
        std::filesystem::remove_all(g_Dir, l_Error);
    }
};

const ::testing::Environment* g_Environment = ::testing::AddGlobalTestEnvironment(new NullAlsaEnvironment);

void RedirectTo(const std::string& p_Path, int p_Descriptor)
{
#ifdef _WIN32
    // The bytes as the program writes them: no "\r" put before each "\n" on the way.
    const int l_Flags = O_WRONLY | O_CREAT | O_TRUNC | O_BINARY;
#else
    const int l_Flags = O_WRONLY | O_CREAT | O_TRUNC;
#endif
    const int l_File = open(p_Path.c_str(), l_Flags, 0600);
    ASSERT_GE(l_File, 0);
    dup2(l_File, p_Descriptor);
    close(l_File);
}

std::string ReadFile(const std::string& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    std::stringstream l_Text;
    l_Text << l_In.rdbuf();
    return l_Text.str();
}

}  // namespace

std::string SamplePath(const std::string& p_Name) { return g_Dir + "/" + p_Name; }

CapturedOutput::CapturedOutput() : outpath(g_Dir + "/stdout.txt"), errpath(g_Dir + "/stderr.txt")
{
    fflush(stdout);
    fflush(stderr);
    savedout = dup(1);
    savederr = dup(2);
    RedirectTo(outpath, 1);
    RedirectTo(errpath, 2);
}

CapturedOutput::~CapturedOutput() { Stop(); }

void CapturedOutput::Stop()
{
    if (savedout < 0)
        return;
    fflush(stdout);
    fflush(stderr);
    dup2(savedout, 1);
    dup2(savederr, 2);
    close(savedout);
    close(savederr);
    savedout = savederr = -1;
    out = ReadFile(outpath);
    err = ReadFile(errpath);
}

void LayerTest::SetUp() { TearDownEngine(); }

void LayerTest::TearDown() { TearDownEngine(); }

void LayerTest::TearDownEngine()
{
    if (Org::Device != nullptr)
        FMOD_System_Release(Org::Device);
    Org::Device = nullptr;
    Org::MasterCG = nullptr;
}

int LayerTest::VoicesPlaying()
{
    int l_Count = -1;
    EXPECT_EQ(FMOD_System_GetChannelsPlaying(Org::Device, &l_Count), FMOD_OK);
    return l_Count;
}

bool LayerTest::WaitForEnd(FMOD_CHANNEL* p_Channel)
{
    const auto l_Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    FMOD_BOOL l_Playing = 1;
    while (FMOD_Channel_IsPlaying(p_Channel, &l_Playing) == FMOD_OK &&
           std::chrono::steady_clock::now() < l_Deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return l_Playing == 0;
}

}  // namespace AudioTest
