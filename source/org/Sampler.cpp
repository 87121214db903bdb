#include "Sampler.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "AudioDevice.h"

namespace Org {

namespace {

const char* const PERCUSSION_FILES[Sampler::PERCUSSION_SAMPLES] = {
    "percussion/Bass01.wav", "percussion/Bass02.wav",  "percussion/Snare01.wav", "percussion/Snare02.wav",
    "percussion/Tom01.wav",  "percussion/HiClose.wav", "percussion/HiOpen.wav",  "percussion/Crash.wav",
    "percussion/Per01.wav",  "percussion/Per02.wav",   "percussion/Bass03.wav",  "percussion/Tom02.wav",
};

constexpr int TRACKS = 16;
constexpr int LAST_MELODY_TRACK = 7;

std::string UnderDir(const std::string& p_DataDir, const std::string& p_Path)
{
    if (p_DataDir.empty())
        return p_Path;
    return p_DataDir.back() == '/' ? p_DataDir + p_Path : p_DataDir + "/" + p_Path;
}

// The engine takes unsigned frequencies and volumes and finite pans. A record's values beyond
// what a song can hold (a negative tuning, a volume outside 0 to 255) are held at the nearest
// value the engine takes, instead of wrapping round to huge ones.
unsigned int EngineFrequency(double p_Frequency)
{
    if (!(p_Frequency > 0.0))
        return 0;
    return p_Frequency >= static_cast<double>(UINT_MAX) ? UINT_MAX : static_cast<unsigned int>(p_Frequency);
}

unsigned int EngineVolume(int p_Volume) { return static_cast<unsigned int>(std::clamp(p_Volume, 0, 255)); }

float EnginePan(float p_Pan) { return std::isfinite(p_Pan) ? p_Pan : 0.0f; }

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
    // Base frequencies in table units: note 19 is 441, and twelve notes double it.
    for (int i = 0; i < NOTES; ++i)
        pitch[i] = static_cast<unsigned int>(441.0 * std::pow(2.0, (i - 19.0) / 12.0));
}

void Sampler::SetMasterVolume(float p_Volume)
{
    FmodErrorCheck(FMOD_ChannelGroup_SetVolume(Org::MasterCG, p_Volume));
}

FMOD_SOUND* Sampler::SelectSound(int p_Track, int p_Sample) const
{
    if (p_Track <= LAST_MELODY_TRACK)
        return p_Sample >= 0 && p_Sample < MELODY_SAMPLES ? melodysamples[p_Sample] : nullptr;
    return p_Sample >= 0 && p_Sample < PERCUSSION_SAMPLES ? percussionsamples[p_Sample] : nullptr;
}

bool Sampler::HitNote(SampleData notehit)
{
    const int l_Track = notehit.instrument;
    if (l_Track < 0 || l_Track >= TRACKS)
        return false;

    // Nothing at this beat: a melody note ends here; a drum is left to ring out.
    if (notehit.playing == 0) {
        if (l_Track <= LAST_MELODY_TRACK)
            FMOD_StopSound(&channelindex[l_Track]);
        return false;
    }

    const bool l_InBank =
        notehit.sample >= 0 &&
        notehit.sample < (l_Track <= LAST_MELODY_TRACK ? MELODY_SAMPLES : PERCUSSION_SAMPLES);
    channelsample[l_Track] = SelectSound(l_Track, notehit.sample);
    if (notehit.playing == 1)
        FMOD_StopSound(&channelindex[l_Track]);  // a new note cuts the old one
    if (!l_InBank || notehit.note < 0 || notehit.note >= NOTES)
        return false;

    // The track's tuning shifts the table value by one unit per 100 away from 1000.
    const double l_Frequency = ((notehit.pitch - 1000.0) / 100.0 + pitch[notehit.note]) * 44100.0 / 1550.0;
    channelindex[l_Track] =
        FMOD_PlaySound(channelsample[l_Track], EngineFrequency(l_Frequency), EnginePan(notehit.pan),
                       EngineVolume(notehit.volume), channelindex[l_Track], true);
    return true;
}

bool Sampler::Update(int ms)
{
    (void)ms;  // the engine keeps its own time
    FmodErrorCheck(FMOD_System_Update(Org::Device));
    return true;
}

}  // namespace Org
