#include "SongSamples.h"

#include <utility>

#include "AudioDevice.h"
#include "BankSounds.h"
#include "DeviceVoices.h"

using Org::SamplerRules::MELODY_SAMPLES;
using Org::SamplerRules::PERCUSSION_SAMPLES;

SongSamples::SongSamples(const Org::OrgSong& p_Song, const std::string& p_DataDir)
{
    Org::SamplerRules::SoundsInUse(p_Song.instruments, melodypending, percussionpending);
    Org::SamplerRules::FillPitchTable(pitch);
    if (!p_DataDir.empty()) {
        // Files are read now, so that a missing or bad one is reported before the render.
        const auto Load = [&](bool p_Melody, int p_Id) {
            const std::string l_File = Org::SamplerRules::SoundFile(p_DataDir, p_Melody, p_Id);
            FMOD_SOUND* l_Sound = FMOD_LoadSample(l_File, p_Melody ? 1 : 0);
            if (l_Sound == nullptr && unreadable.empty())
                unreadable = l_File;
            return l_Sound;
        };
        for (int l_Id = 0; l_Id < MELODY_SAMPLES; ++l_Id)
            if (std::exchange(melodypending[l_Id], false))
                melodysamples[l_Id] = Load(true, l_Id);
        for (int l_Id = 0; l_Id < PERCUSSION_SAMPLES; ++l_Id)
            if (std::exchange(percussionpending[l_Id], false))
                percussionsamples[l_Id] = Load(false, l_Id);
    }
}

void SongSamples::MakeSound(const Org::SampleData& p_Hit)
{
    bool l_Melody = false;
    int l_Sample = 0;
    if (!Org::SamplerRules::SelectsSound(p_Hit, l_Melody, l_Sample))
        return;
    if (l_Melody && std::exchange(melodypending[l_Sample], false))
        melodysamples[l_Sample] = Org::MakeBankSound(Org::Device, Org::BuiltinBank::Melody(l_Sample), true);
    else if (!l_Melody && std::exchange(percussionpending[l_Sample], false))
        percussionsamples[l_Sample] =
            Org::MakeBankSound(Org::Device, Org::BuiltinBank::Percussion(l_Sample), false);
}

void SongSamples::SetMasterVolume(float p_Volume)
{
    FmodErrorCheck(FMOD_ChannelGroup_SetVolume(Org::MasterCG, p_Volume));
}

bool SongSamples::HitNote(const Org::SampleData& p_Hit)
{
    MakeSound(p_Hit);
    Org::DeviceVoices l_Output;
    const Org::SamplerRules::Voices l_Voices = {melodysamples, percussionsamples, pitch, channelsample,
                                                channelindex};
    return Org::SamplerRules::HitNote(p_Hit, l_Voices, l_Output);
}
