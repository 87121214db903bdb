#include "SamplerRules.h"

#include "PortableMath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace Org {
namespace SamplerRules {

namespace {

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

std::string SoundFile(const std::string& p_DataDir, bool p_Melody, int p_Id)
{
    const std::string l_Path = p_Melody ? "melody/melody" + std::to_string(p_Id) + ".wav"
                                        : "percussion/" + std::string(DRUM_NAMES[p_Id]) + ".wav";
    if (p_DataDir.empty())
        return l_Path;
    return p_DataDir.back() == '/' ? p_DataDir + l_Path : p_DataDir + "/" + l_Path;
}

void SoundsInUse(const Instrument (&p_Instruments)[TRACKS], bool (&p_Melody)[MELODY_SAMPLES],
                 bool (&p_Percussion)[PERCUSSION_SAMPLES])
{
    std::fill(std::begin(p_Melody), std::end(p_Melody), false);
    std::fill(std::begin(p_Percussion), std::end(p_Percussion), false);
    for (int l_Track = 0; l_Track < TRACKS; ++l_Track) {
        const int l_Id = p_Instruments[l_Track].id;
        if (p_Instruments[l_Track].numnotes == 0)
            continue;  // a track without notes never sounds
        if (l_Track <= LAST_MELODY_TRACK && l_Id < MELODY_SAMPLES)
            p_Melody[l_Id] = true;
        if (l_Track > LAST_MELODY_TRACK && l_Id < PERCUSSION_SAMPLES)
            p_Percussion[l_Id] = true;
    }
}

void FillPitchTable(unsigned int (&p_Table)[NOTES])
{
    for (int i = 0; i < NOTES; ++i)
        p_Table[i] = static_cast<unsigned int>(441.0 * PortableMath::Exp2((i - 19.0) / 12.0));
}

bool SelectsSound(const SampleData& p_Hit, bool& p_Melody, int& p_Sample)
{
    p_Melody = p_Hit.instrument <= LAST_MELODY_TRACK;
    p_Sample = p_Hit.sample;
    return p_Hit.playing != 0 && p_Hit.instrument >= 0 && p_Hit.instrument < TRACKS && p_Hit.sample >= 0 &&
           p_Hit.sample < (p_Melody ? MELODY_SAMPLES : PERCUSSION_SAMPLES);
}

bool HitNote(const SampleData& p_Hit, const Voices& p_Voices, VoiceOutput& p_Output)
{
    const int l_Track = p_Hit.instrument;
    if (l_Track < 0 || l_Track >= TRACKS)
        return false;
    FMOD_CHANNEL*& l_Channel = p_Voices.channelindex[l_Track];

    // Nothing at this beat: a melody note ends here; a drum is left to ring out.
    if (p_Hit.playing == 0) {
        if (l_Track <= LAST_MELODY_TRACK)
            p_Output.Stop(&l_Channel);
        return false;
    }

    bool l_Melody = false;
    int l_Sample = 0;
    const bool l_InBank = SelectsSound(p_Hit, l_Melody, l_Sample);
    p_Voices.channelsample[l_Track] =
        !l_InBank ? nullptr : (l_Melody ? p_Voices.melody[l_Sample] : p_Voices.percussion[l_Sample]);
    if (p_Hit.playing == 1)
        p_Output.Stop(&l_Channel);  // a new note cuts the old one
    if (!l_InBank || p_Hit.note < 0 || p_Hit.note >= NOTES)
        return false;

    l_Channel = p_Output.Play(p_Voices.channelsample[l_Track], NoteFrequency(p_Hit, p_Voices),
                              EnginePan(p_Hit.pan), EngineVolume(p_Hit.volume), l_Channel);
    return true;
}

double PitchScale(double p_Semitones) { return PortableMath::Exp2(p_Semitones / 12.0); }

unsigned int NoteFrequency(const SampleData& p_Hit, const Voices& p_Voices)
{
    // The track's tuning shifts the table value by one unit per 100 away from 1000.
    const double l_Frequency =
        ((p_Hit.pitch - 1000.0) / 100.0 + p_Voices.pitch[p_Hit.note]) * 44100.0 / 1550.0;
    return EngineFrequency(l_Frequency * p_Voices.pitchscale);
}

}  // namespace SamplerRules
}  // namespace Org
