#include "EngineTestKit.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace EngineTest {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::string MakeTempDir()
{
    const std::string l_Path = OrgTest::MakeTempDirectory("tw-engine");
    if (l_Path.empty())
        ADD_FAILURE() << "cannot make a temporary directory";
    return l_Path;
}

}  // namespace

TempDir::TempDir() : path(MakeTempDir()) {}

TempDir::~TempDir()
{
    std::error_code l_Error;
    std::filesystem::remove_all(path, l_Error);
}

void WriteSound(const std::string& p_Path, const std::vector<float>& p_Samples, int p_Channels, int p_Rate,
                int p_Format)
{
    SF_INFO l_Info = {};
    l_Info.samplerate = p_Rate;
    l_Info.channels = p_Channels;
    l_Info.format = p_Format;
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_WRITE, &l_Info);
    ASSERT_NE(l_File, nullptr) << sf_strerror(nullptr);
    sf_command(l_File, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_writef_float(l_File, p_Samples.data(), sf_count_t(p_Samples.size() / p_Channels));
    sf_close(l_File);
}

std::vector<float> Sine(unsigned p_Frames, double p_Period, float p_Amplitude, int p_Channels)
{
    std::vector<float> l_Samples;
    for (unsigned l_Frame = 0; l_Frame < p_Frames; ++l_Frame)
        for (int l_Channel = 0; l_Channel < p_Channels; ++l_Channel)
            l_Samples.push_back(p_Amplitude * float(std::sin(2.0 * kPi * l_Frame / p_Period)));
    return l_Samples;
}

std::vector<float> Stereo::Channel(int p_Channel, std::size_t p_First, std::size_t p_Count) const
{
    std::vector<float> l_Out;
    for (std::size_t l_Frame = p_First; l_Frame < Frames() && l_Frame - p_First < p_Count; ++l_Frame)
        l_Out.push_back(float(samples[2 * l_Frame + p_Channel]));
    return l_Out;
}

Stereo ReadStereo(const std::string& p_Path)
{
    Stereo l_Stereo;
    SF_INFO l_Info = {};
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_READ, &l_Info);
    EXPECT_NE(l_File, nullptr) << p_Path << ": " << sf_strerror(nullptr);
    if (l_File == nullptr)
        return l_Stereo;
    EXPECT_EQ(l_Info.channels, 2);
    EXPECT_EQ(l_Info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    l_Stereo.samples.resize(std::size_t(l_Info.frames) * 2);
    sf_readf_short(l_File, l_Stereo.samples.data(), l_Info.frames);
    sf_close(l_File);
    return l_Stereo;
}

OfflineSystem::OfflineSystem(unsigned p_BlockFrames, int p_MaxChannels, FMOD_DSP_RESAMPLER p_Resampler)
    : output(dir.Path("mix.wav")), blockframes(p_BlockFrames)
{
    EXPECT_EQ(FMOD_System_Create(&system), FMOD_OK);
    EXPECT_EQ(FMOD_System_SetOutput(system, FMOD_OUTPUTTYPE_WAVWRITER_NRT), FMOD_OK);
    EXPECT_EQ(FMOD_System_SetSoftwareFormat(system, kRate, FMOD_SOUND_FORMAT_PCM16, 2, 0, p_Resampler),
              FMOD_OK);
    // One buffer: the file holds every block as soon as it is mixed, so tests can read it back.
    EXPECT_EQ(FMOD_System_SetDSPBufferSize(system, p_BlockFrames, 1), FMOD_OK);
    EXPECT_EQ(FMOD_System_Init(system, p_MaxChannels, FMOD_INIT_NORMAL, const_cast<char*>(output.c_str())),
              FMOD_OK);
}

OfflineSystem::~OfflineSystem() { EXPECT_EQ(FMOD_System_Release(system), FMOD_OK); }

FMOD_SOUND* OfflineSystem::Load(const std::string& p_Path, FMOD_MODE p_Mode)
{
    FMOD_SOUND* l_Sound = nullptr;
    EXPECT_EQ(FMOD_System_CreateSound(system, p_Path.c_str(), p_Mode, nullptr, &l_Sound), FMOD_OK) << p_Path;
    return l_Sound;
}

FMOD_CHANNEL* OfflineSystem::Play(FMOD_SOUND* p_Sound)
{
    FMOD_CHANNEL* l_Channel = nullptr;
    EXPECT_EQ(FMOD_System_PlaySound(system, FMOD_CHANNEL_FREE, p_Sound, 0, &l_Channel), FMOD_OK);
    return l_Channel;
}

void OfflineSystem::Render(unsigned p_Blocks)
{
    for (unsigned l_Block = 0; l_Block < p_Blocks; ++l_Block)
        ASSERT_EQ(FMOD_System_Update(system), FMOD_OK);
}

double MeasureFrequency(const std::vector<float>& p_Samples, int p_Rate)
{
    double l_First = -1.0;
    double l_Last = -1.0;
    int l_Crossings = 0;
    for (std::size_t l_Index = 1; l_Index < p_Samples.size(); ++l_Index) {
        const float l_Before = p_Samples[l_Index - 1];
        const float l_After = p_Samples[l_Index];
        if (l_Before < 0.0f && l_After >= 0.0f) {
            const double l_At = double(l_Index - 1) + l_Before / double(l_Before - l_After);
            if (l_First < 0.0)
                l_First = l_At;
            l_Last = l_At;
            ++l_Crossings;
        }
    }
    if (l_Crossings < 2)
        return 0.0;
    return (l_Crossings - 1) * double(p_Rate) / (l_Last - l_First);
}

float Peak(const std::vector<float>& p_Samples)
{
    float l_Peak = 0.0f;
    for (float l_Sample : p_Samples)
        l_Peak = std::max(l_Peak, std::fabs(l_Sample));
    return l_Peak;
}

float Rms(const std::vector<float>& p_Samples)
{
    double l_Sum = 0.0;
    for (float l_Sample : p_Samples)
        l_Sum += double(l_Sample) * l_Sample;
    return p_Samples.empty() ? 0.0f : float(std::sqrt(l_Sum / p_Samples.size()));
}

double BandEnergy(const std::vector<float>& p_Samples, int p_Rate, double p_FromHz, double p_ToHz)
{
    const std::size_t l_Count = p_Samples.size();
    const double l_Pi = 3.14159265358979323846;
    std::vector<double> l_Windowed(l_Count);
    for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index)
        l_Windowed[l_Index] =
            p_Samples[l_Index] * (0.5 - 0.5 * std::cos(2.0 * l_Pi * double(l_Index) / double(l_Count)));
    double l_Energy = 0.0;
    for (std::size_t l_Bin = 1; l_Bin <= l_Count / 2; ++l_Bin) {
        const double l_Hz = double(l_Bin) * p_Rate / double(l_Count);
        if (l_Hz < p_FromHz || l_Hz > p_ToHz)
            continue;
        double l_Re = 0.0;
        double l_Im = 0.0;
        for (std::size_t l_Index = 0; l_Index < l_Count; ++l_Index) {
            const double l_Angle = 2.0 * l_Pi * double((l_Bin * l_Index) % l_Count) / double(l_Count);
            l_Re += l_Windowed[l_Index] * std::cos(l_Angle);
            l_Im -= l_Windowed[l_Index] * std::sin(l_Angle);
        }
        l_Energy += l_Re * l_Re + l_Im * l_Im;
    }
    return l_Energy;
}

}  // namespace EngineTest
