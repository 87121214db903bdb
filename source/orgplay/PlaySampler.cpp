#include "PlaySampler.h"

#include <utility>

#include "AudioDevice.h"
#include "DeviceVoices.h"
#include "OrgDevice.h"
#include "OrgSong.h"

PlaySampler::PlaySampler(std::string p_DataDir) : dataDir(std::move(p_DataDir))
{
    Org::SamplerRules::FillPitchTable(pitch);
}

void PlaySampler::LoadSoundsOf(const Org::OrgSong& p_Song)
{
    bool l_Melody[Org::SamplerRules::MELODY_SAMPLES] = {};
    bool l_Percussion[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    Org::SamplerRules::SoundsInUse(p_Song.instruments, l_Melody, l_Percussion);
    for (int l_Id = 0; l_Id < Org::SamplerRules::MELODY_SAMPLES; ++l_Id)
        if (l_Melody[l_Id] && !melodyRead[l_Id]) {
            melody[l_Id] = FMOD_LoadSample(Org::SamplerRules::SoundFile(dataDir, true, l_Id), 1);
            melodyRead[l_Id] = true;
        }
    for (int l_Id = 0; l_Id < Org::SamplerRules::PERCUSSION_SAMPLES; ++l_Id)
        if (l_Percussion[l_Id] && !percussionRead[l_Id]) {
            percussion[l_Id] = FMOD_LoadSample(Org::SamplerRules::SoundFile(dataDir, false, l_Id), 0);
            percussionRead[l_Id] = true;
        }
}

void PlaySampler::SetMasterVolume(float p_Volume)
{
    FmodErrorCheck(FMOD_ChannelGroup_SetVolume(Org::MasterCG, p_Volume));
}

bool PlaySampler::HitNote(const Org::SampleData& p_Hit)
{
    Org::DeviceVoices l_Output;
    const Org::SamplerRules::Voices l_Voices = {melody, percussion, pitch, channelSample, channelIndex};
    return Org::SamplerRules::HitNote(p_Hit, l_Voices, l_Output);
}

void PlaySampler::Update() { FmodErrorCheck(FMOD_System_Update(Org::Device)); }
