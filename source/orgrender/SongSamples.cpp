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
        for (int l_Id = 0; l_Id < MELODY_SAMPLES; ++l_Id)
            if (std::exchange(melodypending[l_Id], false))
                melodysamples[l_Id] = FMOD_LoadSample(Org::SamplerRules::SoundFile(p_DataDir, true, l_Id), 1);
        for (int l_Id = 0; l_Id < PERCUSSION_SAMPLES; ++l_Id)
            if (std::exchange(percussionpending[l_Id], false))
                percussionsamples[l_Id] =
                    FMOD_LoadSample(Org::SamplerRules::SoundFile(p_DataDir, false, l_Id), 0);
    }
}

void SongSamples::MakeSound(const Org::SampleData& p_Hit)
{
    if (p_Hit.playing == 0 || p_Hit.instrument < 0 || p_Hit.instrument >= Org::SamplerRules::TRACKS ||
        p_Hit.sample < 0)
        return;
    if (p_Hit.instrument <= Org::SamplerRules::LAST_MELODY_TRACK) {
        if (p_Hit.sample < MELODY_SAMPLES && std::exchange(melodypending[p_Hit.sample], false))
            melodysamples[p_Hit.sample] =
                Org::MakeBankSound(Org::Device, Org::BuiltinBank::Melody(p_Hit.sample), true);
    } else if (p_Hit.sample < PERCUSSION_SAMPLES && std::exchange(percussionpending[p_Hit.sample], false)) {
        percussionsamples[p_Hit.sample] =
            Org::MakeBankSound(Org::Device, Org::BuiltinBank::Percussion(p_Hit.sample), false);
    }
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
