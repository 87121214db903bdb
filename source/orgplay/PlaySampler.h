#ifndef TUNEWRIGHT_PLAYSAMPLER_H
#define TUNEWRIGHT_PLAYSAMPLER_H

// The player's instruments and track voices: Org::Sampler's note rules on the process's engine,
// but reading only the sample files a song's tracks use, when the song is loaded, rather than the
// whole bank of 111 at start-up (most songs use a handful). A sound once read stays for the songs
// after it.
#include <fmod.h>

#include <string>

#include "OrgSongTypes.h"
#include "SampleData.h"
#include "SamplerRules.h"

namespace Org {
class OrgSong;
}

class PlaySampler
{
public:
    // Sample files under p_DataDir (melody/ and percussion/). Needs the engine set up.
    explicit PlaySampler(std::string p_DataDir);
    PlaySampler(const PlaySampler&) = delete;
    PlaySampler& operator=(const PlaySampler&) = delete;

    // Reads the files of the sounds p_Song's tracks can select that are not read yet. A file that
    // cannot be read is reported, as Org::Sampler reports it, and its sound stays silent.
    void LoadSoundsOf(const Org::OrgSong& p_Song);
    void SetMasterVolume(float p_Volume);
    // As Org::Sampler::HitNote.
    bool HitNote(const Org::SampleData& p_Hit);
    // The engine's periodic update.
    void Update();

private:
    const std::string dataDir;
    FMOD_SOUND* melody[Org::SamplerRules::MELODY_SAMPLES] = {};
    FMOD_SOUND* percussion[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    bool melodyRead[Org::SamplerRules::MELODY_SAMPLES] = {};
    bool percussionRead[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* channelSample[Org::SamplerRules::TRACKS] = {};
    FMOD_CHANNEL* channelIndex[Org::SamplerRules::TRACKS] = {};
    unsigned int pitch[Org::SamplerRules::NOTES] = {};
};

#endif
