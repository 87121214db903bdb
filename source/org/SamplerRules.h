#ifndef TUNEWRIGHT_SAMPLERRULES_H
#define TUNEWRIGHT_SAMPLERRULES_H

// The sampler's note rules, apart from any engine: which sound a track's record selects, when the
// track's voice is cut, and the voice's frequency, volume and pan. Org::Sampler applies them on the
// process's engine; each decoded song applies them on an engine of its own.
#include <fmod.h>

#include <string>

#include "OrgSongTypes.h"
#include "SampleData.h"

namespace Org {

// The engine calls the rules make on a track's voice.
class VoiceOutput
{
public:
    // Stops the voice in the slot, whatever it holds, and empties the slot.
    virtual void Stop(FMOD_CHANNEL** p_Channel) = 0;
    // Re-sets the live voice p_Channel, or starts p_Sound on a free voice when there is none (or
    // it has ended or was taken). Volume on the song's 0-255 scale. Returns the voice.
    virtual FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Pan,
                               unsigned int p_Volume, FMOD_CHANNEL* p_Channel) = 0;

protected:
    ~VoiceOutput() = default;
};

namespace SamplerRules {

constexpr int TRACKS = TRACK_COUNT;
constexpr int LAST_MELODY_TRACK = MELODY_TRACKS - 1;
constexpr int MELODY_SAMPLES = WAVEFORM_COUNT;
constexpr int PERCUSSION_SAMPLES = DRUM_COUNT;
constexpr int NOTES = KEY_COUNT;

// One sampler's banks, frequency table and per-track state, as the rules read and write them.
struct Voices
{
    FMOD_SOUND* const* melody;      // MELODY_SAMPLES sounds
    FMOD_SOUND* const* percussion;  // PERCUSSION_SAMPLES sounds
    const unsigned int* pitch;      // NOTES base frequencies
    FMOD_SOUND** channelsample;     // TRACKS: the sound each track's latest hit selected
    FMOD_CHANNEL** channelindex;    // TRACKS: each track's voice, null when it has none
    double pitchscale = 1.0;        // every note's frequency times this (PitchScale)
};

// The frequency factor of a shift by p_Semitones (fractions allowed), on every platform alike.
double PitchScale(double p_Semitones);

// The engine frequency a record's note plays at (p_Hit.note within 0 to NOTES - 1).
unsigned int NoteFrequency(const SampleData& p_Hit, const Voices& p_Voices);

// The sample file of a bank's sound under p_DataDir (the working directory when empty):
// "melody/melodyN.wav" in the melody bank, the drum's own file under "percussion/" in the other.
std::string SoundFile(const std::string& p_DataDir, bool p_Melody, int p_Id);

// Marks the sounds that the tracks with these sixteen instruments can select (tracks that have
// notes), and only those: a song needs no other sound of either bank.
void SoundsInUse(const Instrument (&p_Instruments)[TRACKS], bool (&p_Melody)[MELODY_SAMPLES],
                 bool (&p_Percussion)[PERCUSSION_SAMPLES]);

// Base frequencies in table units: note 19 is 441, and twelve notes double it.
void FillPitchTable(unsigned int (&p_Table)[NOTES]);

// Whether p_Hit selects a sound of a bank, and which (p_Melody: the melody bank, by its track;
// p_Sample: the sound's number there). A record with nothing playing selects none.
bool SelectsSound(const SampleData& p_Hit, bool& p_Melody, int& p_Sample);

// Sounds a track's record: starts a note (playing 1), re-sets a held one (playing 2), or ends a
// melody note (playing 0). False when nothing sounds.
bool HitNote(const SampleData& p_Hit, const Voices& p_Voices, VoiceOutput& p_Output);

}  // namespace SamplerRules
}  // namespace Org

#endif
