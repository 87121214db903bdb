#include "Sampler.h"

#include "AudioDevice.h"
#include "SamplerRules.h"

namespace Org {

namespace {

const char* const PERCUSSION_FILES[Sampler::PERCUSSION_SAMPLES] = {
    "percussion/Bass01.wav", "percussion/Bass02.wav",  "percussion/Snare01.wav", "percussion/Snare02.wav",
    "percussion/Tom01.wav",  "percussion/HiClose.wav", "percussion/HiOpen.wav",  "percussion/Crash.wav",
    "percussion/Per01.wav",  "percussion/Per02.wav",   "percussion/Bass03.wav",  "percussion/Tom02.wav",
};

constexpr int TRACKS = SamplerRules::TRACKS;
static_assert(Sampler::MELODY_SAMPLES == SamplerRules::MELODY_SAMPLES &&
                  Sampler::PERCUSSION_SAMPLES == SamplerRules::PERCUSSION_SAMPLES &&
                  Sampler::NOTES == SamplerRules::NOTES,
              "the sampler's banks are the rules' banks");

std::string UnderDir(const std::string& p_DataDir, const std::string& p_Path)
{
    if (p_DataDir.empty())
        return p_Path;
    return p_DataDir.back() == '/' ? p_DataDir + p_Path : p_DataDir + "/" + p_Path;
}

}  // namespace

Sampler::Sampler() : Sampler(std::string()) {}

Sampler::Sampler(const std::string& p_DataDir)
{
    for (int i = 0; i < MELODY_SAMPLES; ++i)
        melodysamples[i] = FMOD_LoadSample(UnderDir(p_DataDir, "melody/melody" + toString(i) + ".wav"), 1);
    for (int i = 0; i < PERCUSSION_SAMPLES; ++i)
        percussionsamples[i] = FMOD_LoadSample(UnderDir(p_DataDir, PERCUSSION_FILES[i]), 0);
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

namespace {

// The sampler's voices live on the process's engine, through the audio device layer.
class DeviceOutput final : public VoiceOutput
{
public:
    void Stop(FMOD_CHANNEL** p_Channel) override { FMOD_StopSound(p_Channel); }
    FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Pan, unsigned int p_Volume,
                       FMOD_CHANNEL* p_Channel) override
    {
        return FMOD_PlaySound(p_Sound, p_Frequency, p_Pan, p_Volume, p_Channel, true);
    }
};

}  // namespace

bool Sampler::HitNote(SampleData notehit)
{
    DeviceOutput l_Output;
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
