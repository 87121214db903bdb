#include "SongSamples.h"

#include "AudioDevice.h"
#include "BankSounds.h"
#include "DeviceVoices.h"

using Org::SamplerRules::MELODY_SAMPLES;
using Org::SamplerRules::PERCUSSION_SAMPLES;

SongSamples::SongSamples(const Org::OrgSong& p_Song, const std::string& p_DataDir)
{
    bool l_Melody[MELODY_SAMPLES];
    bool l_Percussion[PERCUSSION_SAMPLES];
    Org::SamplerRules::SoundsInUse(p_Song.instruments, l_Melody, l_Percussion);
    const bool l_Builtin = p_DataDir.empty();
    for (int l_Id = 0; l_Id < MELODY_SAMPLES; ++l_Id)
        if (l_Melody[l_Id])
            melodysamples[l_Id] =
                l_Builtin ? Org::MakeBankSound(Org::Device, Org::BuiltinBank::Melody(l_Id), true)
                          : FMOD_LoadSample(Org::SamplerRules::SoundFile(p_DataDir, true, l_Id), 1);
    for (int l_Id = 0; l_Id < PERCUSSION_SAMPLES; ++l_Id)
        if (l_Percussion[l_Id])
            percussionsamples[l_Id] =
                l_Builtin ? Org::MakeBankSound(Org::Device, Org::BuiltinBank::Percussion(l_Id), false)
                          : FMOD_LoadSample(Org::SamplerRules::SoundFile(p_DataDir, false, l_Id), 0);
    Org::SamplerRules::FillPitchTable(pitch);
}

void SongSamples::SetMasterVolume(float p_Volume)
{
    FmodErrorCheck(FMOD_ChannelGroup_SetVolume(Org::MasterCG, p_Volume));
}

bool SongSamples::HitNote(const Org::SampleData& p_Hit)
{
    Org::DeviceVoices l_Output;
    const Org::SamplerRules::Voices l_Voices = {melodysamples, percussionsamples, pitch, channelsample,
                                                channelindex};
    return Org::SamplerRules::HitNote(p_Hit, l_Voices, l_Output);
}
