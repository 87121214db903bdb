#ifndef TUNEWRIGHT_PLAYSAMPLER_H
#define TUNEWRIGHT_PLAYSAMPLER_H

// The player's instruments and track voices: Org::Sampler's note rules on the process's engine,
// but reading only the sample files a song's tracks use, when the song is loaded, rather than the
// whole bank of 111 at start-up (most songs use a handful). A sound once read stays for the songs
// after it. Each track's voices play in a group of their own, so that a track can be muted, and
// every note can be shifted in pitch.
#include <fmod.h>

#include <string>

#include "OrgSongTypes.h"
#include "SampleData.h"
#include "SamplerRules.h"
#include "TrackMix.h"

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
    // Each track's mute and solo, heard at once (ramped by the engine, no click).
    void SetTracks(const Org::TrackMix& p_Tracks);
    // Every note, those sounding too, p_Semitones up (down when negative).
    void SetPitchShift(double p_Semitones);

private:
    const std::string dataDir;
    FMOD_SOUND* melody[Org::SamplerRules::MELODY_SAMPLES] = {};
    FMOD_SOUND* percussion[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    bool melodyRead[Org::SamplerRules::MELODY_SAMPLES] = {};
    bool percussionRead[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* channelSample[Org::SamplerRules::TRACKS] = {};
    FMOD_CHANNEL* channelIndex[Org::SamplerRules::TRACKS] = {};
    unsigned int pitch[Org::SamplerRules::NOTES] = {};
    FMOD_CHANNELGROUP* groups[Org::SamplerRules::TRACKS] = {};  // each track's voices
    Org::SampleData lastHit[Org::SamplerRules::TRACKS] = {};    // each track's latest note, to repitch
    double pitchScale = 1.0;
};

#endif
