#include "Sampler.h"

#include "AudioDevice.h"
#include "DeviceVoices.h"
#include "SamplerRules.h"

namespace Org {

namespace {

constexpr int TRACKS = SamplerRules::TRACKS;
static_assert(Sampler::MELODY_SAMPLES == SamplerRules::MELODY_SAMPLES &&
                  Sampler::PERCUSSION_SAMPLES == SamplerRules::PERCUSSION_SAMPLES &&
                  Sampler::NOTES == SamplerRules::NOTES,
              "the sampler's banks are the rules' banks");

}  // namespace

Sampler::Sampler() : Sampler(std::string()) {}

Sampler::Sampler(const std::string& p_DataDir)
{
    for (int i = 0; i < MELODY_SAMPLES; ++i)
        melodysamples[i] = FMOD_LoadSample(SamplerRules::SoundFile(p_DataDir, true, i), 1);
    for (int i = 0; i < PERCUSSION_SAMPLES; ++i)
        percussionsamples[i] = FMOD_LoadSample(SamplerRules::SoundFile(p_DataDir, false, i), 0);
    for (int t = 0; t < TRACKS; ++t) {
        channellength[t] = 0;
        channelsample[t] = nullptr;
        channelindex[t] = nullptr;
    }
    SamplerRules::FillPitchTable(pitch);
}

void Sampler::SetMasterVolume(float p_Volume)
{
    FmodErrorCheck(FMOD_ChannelGroup_SetVolume(Org::MasterCG, p_Volume));
}

bool Sampler::HitNote(SampleData notehit)
{
    DeviceVoices l_Output;
    const SamplerRules::Voices l_Voices = {melodysamples, percussionsamples, pitch, channelsample,
                                           channelindex};
    return SamplerRules::HitNote(notehit, l_Voices, l_Output);
}

bool Sampler::Update(int ms)
{
    (void)ms;  // the engine keeps its own time
    FmodErrorCheck(FMOD_System_Update(Org::Device));
    return true;
}

}  // namespace Org
