#ifndef TUNEWRIGHT_SONGDECODER_H
#define TUNEWRIGHT_SONGDECODER_H

// One decoded song: the song, its clock stepped in mix blocks (SongStepper), the sampler's note
// rules and an engine system of its own whose mix is read into the caller's buffer. The C
// interface reads songs through it, and the renderer writes what it reads to a file. Nothing here
// is shared with another song except the read-only built-in bank.
#include <fmod.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OrgSong.h"
#include "SamplerRules.h"
#include "SongStepper.h"
#include "TrackMix.h"

namespace Org {

// A track's loudness over one read: its largest sample and its root mean square (both sides).
struct TrackLevel
{
    float peak = 0.0f;
    float rms = 0.0f;
};

class SongDecoder final : private VoiceOutput
{
public:
    // p_Song must be a song that was read completely. Its instruments are the sample files under
    // p_DataDir (melody/, percussion/), read when the engine starts, or with no folder the built-in
    // bank, each sound made when a note first plays it: a short piece decodes only what it reaches.
    explicit SongDecoder(std::unique_ptr<OrgSong> p_Song, std::string p_DataDir = std::string());
    ~SongDecoder();
    SongDecoder(const SongDecoder&) = delete;
    SongDecoder& operator=(const SongDecoder&) = delete;

    // The next frames at p_Rate into either buffer (the other null); the frames written, fewer
    // only at the end, or 0 when the engine cannot start.
    std::size_t Read(int p_Rate, std::size_t p_Frames, std::int16_t* p_Pcm16, float* p_Float);
    // The same frames with each track apart: p_Tracks holds TRACK_COUNT buffers, each of p_Frames
    // interleaved stereo frames; their sum is the mix Read gives (to float rounding).
    std::size_t ReadTracks(int p_Rate, std::size_t p_Frames, float* const* p_Tracks);
    // Starts the engine at p_Rate now rather than at the first read. False when it cannot start
    // (EngineResult says why) or a sample file cannot be read (Unreadable names the first).
    bool Start(int p_Rate);
    FMOD_RESULT EngineResult() const { return engineresult; }
    const std::string& Unreadable() const { return unreadable; }

    void SetRepeats(int p_Repeats);       // a loop count (SongLength): -1 for ever
    void SetInterpolation(int p_Method);  // an engine resampler (FMOD_DSP_RESAMPLER)
    void SetVolume(float p_Volume);
    void SeekSeconds(double p_Seconds);  // >= 0, finite
    // Per track: mute, solo, gain (0 to TrackMix::MAX_GAIN); heard from the next read, ramped.
    void SetTrackMute(int p_Track, bool p_Mute);
    void SetTrackSolo(int p_Track, bool p_Solo);
    void SetTrackGain(int p_Track, float p_Gain);
    const TrackMix& Tracks() const { return tracks; }
    // The song's beats faster or slower (the C interface's TW_MIN_TEMPO_FACTOR to
    // TW_MAX_TEMPO_FACTOR), pitch unchanged: durations, positions and seeks are in the frames it
    // then takes.
    void SetTempoFactor(double p_Factor);
    double TempoFactor() const { return tempofactor; }
    // Every note p_Semitones higher (or lower, negative), up to the C interface's
    // TW_MAX_PITCH_SHIFT, tempo unchanged.
    void SetPitchShift(double p_Semitones);
    double PitchShift() const { return pitchshift; }
    // Whether Read measures each track's level too; ReadTracks always does. A measured Read adds
    // the tracks' own mixes track by track, so its floats may differ in the last bits.
    void SetMetering(bool p_On) { metering = p_On; }
    bool Metering() const { return metering; }
    // Each track's level over the last measured read (TRACK_COUNT entries).
    const TrackLevel* Levels() const { return levels; }

    double DurationSeconds() const;
    // The frames a read from the start gives at p_Rate: the duration in whole mix blocks.
    unsigned long long DurationFrames(int p_Rate) const;
    double PositionSeconds() const;
    // The song's own beat (the loop folded in) that plays p_Seconds (>= 0, finite) into the song.
    unsigned int SongBeatAt(double p_Seconds) const;
    // Counts, from now on, the voices sounding over the frames mixed (see VoiceFrames).
    void CountVoices() { countvoices = true; }
    // The sum over the frames mixed of the voices sounding: voices start only at a run's first
    // block, so those still playing at its end count for all of it.
    unsigned long long VoiceFrames() const { return voiceframes; }
    const OrgSong& Song() const { return *song; }
    // Changes the song through p_Change(OrgSong&) and returns what that returns. The next read plays
    // the changed song on from where it stands: voices that sound go on, a new tempo keeps the song
    // on its beat, and sounds the tracks now select are made.
    template <class Change> auto Edit(Change&& p_Change)
    {
        const unsigned l_Tempo = song->GetHeader().tempo;
        const auto l_Result = p_Change(*song);
        Edited(l_Tempo);
        return l_Result;
    }
    int Tempo() const { return song->GetHeader().tempo; }

private:
    // VoiceOutput: the track voices on this song's own engine.
    void Stop(FMOD_CHANNEL** p_Channel) override;
    FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Pan, unsigned int p_Volume,
                       FMOD_CHANNEL* p_Channel) override;

    // Milliseconds the song lasts with the current repeats; SongLength::FOREVER for ever.
    unsigned long long DurationMs() const;
    // Catches up with a change to the song made by Edit, whose tempo was p_OldTempo.
    void Edited(unsigned p_OldTempo);
    // Marks the sounds the song's tracks select and the engine does not hold yet as still to be made,
    // and reads those that come from sample files.
    void AddSoundsInUse();
    // Makes the built-in sound p_Hit plays if it is still to be made.
    void MakeSound(const SampleData& p_Hit);
    // The unrolled beat as a beat of the song (SongLength::SongBeat), held to the clock's range.
    unsigned int SongBeat(unsigned long long p_Beat) const;
    // (Re)starts the engine at p_Rate and puts the song at unrolled beat p_Beat.
    bool StartEngine(int p_Rate, unsigned long long p_Beat);
    void StopEngine();
    // Silences every voice and puts the song at unrolled beat p_Beat.
    void PlaceAt(unsigned long long p_Beat);
    // Mixes up to p_Wanted frames into the caller's buffers (the frames of tracks apart into
    // p_Tracks when not null): the rest of the block last stepped, or else the next run of blocks
    // the clock steps (as many as cover p_Wanted, cut short where a beat begins). Returns the
    // frames mixed, 0 when the engine failed.
    std::size_t MixNext(std::size_t p_Wanted, std::int16_t* p_Pcm16, float* p_Float, float* const* p_Tracks);
    std::size_t ReadAny(int p_Rate, std::size_t p_Frames, std::int16_t* p_Pcm16, float* p_Float,
                        float* const* p_Tracks);
    // Whether reads now keep the tracks apart in the engine (a measured read or a tracks read).
    bool Apart(float* const* p_Tracks) const { return p_Tracks != nullptr || metering; }
    // Song milliseconds and frames at `rate` with the tempo factor.
    unsigned long long ExactFrames(unsigned long long p_Ms, int p_Rate) const;
    unsigned long long MsAtFrame(unsigned long long p_Frame) const;
    // The groups' volumes from the track settings.
    void ApplyTrackGains();
    // Sets the frequency of every sounding note again after a change of the pitch shift.
    void Repitch();
    // The sampler's banks and tables with the current pitch shift.
    SamplerRules::Voices VoiceSet();

    std::unique_ptr<OrgSong> song;
    std::string datadir;
    std::string unreadable;
    FMOD_RESULT engineresult = FMOD_OK;
    int repeats = 0;
    int interpolation = FMOD_DSP_RESAMPLER_LINEAR;
    float volume = 0.5f;

    // The engine, once the first read gives the rate.
    FMOD_SYSTEM* system = nullptr;
    FMOD_CHANNELGROUP* master = nullptr;
    int rate = 0;
    bool restart = false;  // a setting that needs a new engine changed
    std::unique_ptr<SongStepper> stepper;
    bool melodypending[SamplerRules::MELODY_SAMPLES] = {};  // built-in sounds still to be made
    bool percussionpending[SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* melodysamples[SamplerRules::MELODY_SAMPLES] = {};
    FMOD_SOUND* percussionsamples[SamplerRules::PERCUSSION_SAMPLES] = {};
    FMOD_SOUND* channelsample[SamplerRules::TRACKS] = {};
    FMOD_CHANNEL* channelindex[SamplerRules::TRACKS] = {};
    unsigned int pitch[SamplerRules::NOTES] = {};
    FMOD_CHANNELGROUP* groups[SamplerRules::TRACKS] = {};  // each track's voices
    SampleData lasthit[SamplerRules::TRACKS] = {};         // each track's latest record, for Repitch

    TrackMix tracks;
    double tempofactor = 1.0;
    double pitchshift = 0.0;
    double pitchscale = 1.0;  // SamplerRules::PitchScale of pitchshift
    bool metering = false;
    TrackLevel levels[SamplerRules::TRACKS];
    float peaks[SamplerRules::TRACKS] = {};  // the read so far
    double squares[SamplerRules::TRACKS] = {};

    unsigned blockrest = 0;  // frames of the blocks last stepped that are still to be mixed

    bool countvoices = false;
    unsigned long long voiceframes = 0;
    unsigned long long position = 0;     // frames handed out, at `rate`
    unsigned long long pendingbeat = 0;  // where the song stands before the engine starts
};

}  // namespace Org

#endif
