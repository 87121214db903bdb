#ifndef TUNEWRIGHT_SAMPLER_H
#define TUNEWRIGHT_SAMPLER_H

#include "fmod.h"

#include <string>

#include "OrgExport.h"
#include "OrgSongTypes.h"
#include "SampleData.h"

namespace Org {

struct SamplerInspector;

// The instrument banks and the sixteen track voices. Needs the engine set up (InitFMOD).
class ORG_API Sampler
{
public:
    static constexpr int MELODY_SAMPLES = WAVEFORM_COUNT;
    static constexpr int PERCUSSION_SAMPLES = DRUM_COUNT;
    static constexpr int NOTES = KEY_COUNT;

    // Loads "melody/melodyN.wav" and the "percussion/..." files from the working directory,
    // or from under p_DataDir. A file that cannot be loaded leaves its slot empty.
    Sampler();
    explicit Sampler(const std::string& p_DataDir);

    void SetMasterVolume(float p_Volume);  // scales every voice
    // Sounds a track's record: starts a note (playing 1), re-sets a held one (playing 2),
    // or ends a melody note (playing 0). False when nothing sounds.
    bool HitNote(SampleData notehit);
    bool Update(int ms);  // the engine's periodic update; ms, the song's elapsed time, is not needed

private:
    friend struct SamplerInspector;

    FMOD_SOUND* melodysamples[MELODY_SAMPLES];
    FMOD_SOUND* percussionsamples[PERCUSSION_SAMPLES];
    int channellength[TRACK_COUNT];  // set to 0 on construction; nothing reads it, it only keeps the layout
    FMOD_SOUND* channelsample[TRACK_COUNT];
    FMOD_CHANNEL* channelindex[TRACK_COUNT];
    unsigned int pitch[NOTES];
};

}  // namespace Org

#endif
