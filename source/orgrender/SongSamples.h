#ifndef TUNEWRIGHT_SONGSAMPLES_H
#define TUNEWRIGHT_SONGSAMPLES_H

// The renderer's sampler: the note rules of Org::Sampler on the process's engine, over only the
// sounds one song's tracks can select, read from the sample files under a data folder, or with no
// folder taken from the library's built-in instruments (the same sounds, already in memory). A
// short render so reads a few files, or none, instead of all 112. A built-in sound is decoded
// when a note first plays it: most of a process's start-up went into decoding drums (a megabyte
// of floats, page by page) that a short render never reaches.
#include <fmod.h>

#include <string>

#include "OrgSong.h"
#include "SamplerRules.h"

class SongSamples
{
public:
    // p_DataDir empty: the built-in instruments.
    SongSamples(const Org::OrgSong& p_Song, const std::string& p_DataDir);

    // The first sample file under the data folder that could not be read; empty when all were.
    const std::string& Unreadable() const { return unreadable; }

    void SetMasterVolume(float p_Volume);
    bool HitNote(const Org::SampleData& p_Hit);

private:
    // Decodes the built-in sound p_Hit plays if it is still to be made.
    void MakeSound(const Org::SampleData& p_Hit);

    bool melodypending[Org::SamplerRules::MELODY_SAMPLES] = {};  // built-in sounds still to be made
    bool percussionpending[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* melodysamples[Org::SamplerRules::MELODY_SAMPLES] = {};
    FMOD_SOUND* percussionsamples[Org::SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* channelsample[Org::SamplerRules::TRACKS] = {};
    FMOD_CHANNEL* channelindex[Org::SamplerRules::TRACKS] = {};
    unsigned int pitch[Org::SamplerRules::NOTES] = {};
    std::string unreadable;
};

#endif
