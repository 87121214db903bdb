#include "PlaySampler.h"

#include <utility>

#include "AudioDevice.h"
#include "DeviceVoices.h"
#include "OrgDevice.h"
#include "OrgSong.h"

PlaySampler::PlaySampler(std::string p_DataDir) : dataDir(std::move(p_DataDir))
{
    Org::SamplerRules::FillPitchTable(pitch);
    for (FMOD_CHANNELGROUP*& l_Group : groups)
        FmodErrorCheck(FMOD_System_CreateChannelGroup(Org::Device, nullptr, &l_Group));
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
    Org::SamplerRules::Voices l_Voices = {melody, percussion, pitch, channelSample, channelIndex};
    l_Voices.pitchscale = pitchScale;
    if (!Org::SamplerRules::HitNote(p_Hit, l_Voices, l_Output))
        return false;
    // A voice a note starts leaves the engine in no group.
    lastHit[p_Hit.instrument] = p_Hit;
    if (groups[p_Hit.instrument] != nullptr)
        FMOD_Channel_SetChannelGroup(channelIndex[p_Hit.instrument], groups[p_Hit.instrument]);
    return true;
}

void PlaySampler::SetTracks(const Org::TrackMix& p_Tracks)
{
    for (int l_Track = 0; l_Track < Org::SamplerRules::TRACKS; ++l_Track)
        if (groups[l_Track] != nullptr)
            FmodErrorCheck(FMOD_ChannelGroup_SetVolume(groups[l_Track], p_Tracks.Audible(l_Track)));
}

void PlaySampler::SetPitchShift(double p_Semitones)
{
    pitchScale = Org::SamplerRules::PitchScale(p_Semitones);
    Org::SamplerRules::Voices l_Voices = {melody, percussion, pitch, channelSample, channelIndex};
    l_Voices.pitchscale = pitchScale;
    for (int l_Track = 0; l_Track < Org::SamplerRules::TRACKS; ++l_Track) {
        const Org::SampleData& l_Hit = lastHit[l_Track];
        // A voice that has ended or been taken refuses the call, which is then nothing to report.
        if (channelIndex[l_Track] != nullptr && l_Hit.playing != 0 && l_Hit.note >= 0 &&
            l_Hit.note < Org::SamplerRules::NOTES)
            FMOD_Channel_SetFrequency(channelIndex[l_Track],
                                      static_cast<float>(Org::SamplerRules::NoteFrequency(l_Hit, l_Voices)));
    }
}

void PlaySampler::Update() { FmodErrorCheck(FMOD_System_Update(Org::Device)); }
