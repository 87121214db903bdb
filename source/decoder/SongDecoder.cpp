#include "SongDecoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <utility>

#include "AudioDevice.h"
#include "BankSounds.h"
#include "BuiltinBank.h"
#include "SongEngine.h"
#include "SongLength.h"
#include "fmod_readmix.h"

namespace Org {

namespace {

constexpr unsigned long long FOREVER = SongLength::FOREVER;
// The latest millisecond a seek reaches: its frame at the highest rate the interface takes
// (192 kHz), rounded up, and that frame's tick (frame x 1000) still fit 64 bits. About three
// thousand years; a song that lasts longer is seeked no further than that.
constexpr unsigned long long MAX_SEEK_MS = (FOREVER - 999) / 192000;

// The most clock blocks mixed in one engine call. Notes are struck only at the start of a block, so
// a run without a beat in it mixes exactly as its blocks one by one would; long runs spread the
// engine's per-call costs (setting up every voice, clearing the mix, locking) over many frames.
constexpr unsigned RUN_BLOCKS = 64;

}  // namespace

SongDecoder::SongDecoder(std::unique_ptr<OrgSong> p_Song, std::string p_DataDir)
    : song(std::move(p_Song)), datadir(std::move(p_DataDir))
{
    SamplerRules::FillPitchTable(pitch);
}

SongDecoder::~SongDecoder() { StopEngine(); }

unsigned long long SongDecoder::DurationMs() const { return SongLength(song->GetHeader()).Ms(repeats); }

unsigned long long SongDecoder::ExactFrames(unsigned long long p_Ms, int p_Rate) const
{
    if (tempofactor == 1.0 || p_Ms == FOREVER)
        return SongLength::ExactFrames(p_Ms, p_Rate);
    const long double l_Frames = static_cast<long double>(p_Ms) * p_Rate / (1000.0L * tempofactor);
    return l_Frames >= static_cast<long double>(FOREVER / 2) ? FOREVER / 2
                                                             : static_cast<unsigned long long>(l_Frames);
}

unsigned long long SongDecoder::MsAtFrame(unsigned long long p_Frame) const
{
    return SongStepper::MsAtFrame(p_Frame, rate, tempofactor);
}

unsigned long long SongDecoder::DurationFrames(int p_Rate) const
{
    if (tempofactor == 1.0)
        return SongLength::Frames(DurationMs(), p_Rate);
    const unsigned long long l_Exact = ExactFrames(DurationMs(), p_Rate);
    const unsigned long long l_Block = SongStepper::BlockFrames(p_Rate);
    return l_Exact == FOREVER ? FOREVER : (l_Exact + l_Block - 1) / l_Block * l_Block;
}

double SongDecoder::DurationSeconds() const
{
    const unsigned long long l_Ms = DurationMs();
    return l_Ms == FOREVER ? std::numeric_limits<double>::infinity()
                           : static_cast<double>(l_Ms) / 1000.0 / tempofactor;
}

double SongDecoder::PositionSeconds() const
{
    if (system == nullptr)
        return static_cast<double>(pendingbeat) * song->GetHeader().tempo / 1000.0 / tempofactor;
    return static_cast<double>(position) / rate;
}

bool SongDecoder::Start(int p_Rate)
{
    if (system != nullptr && p_Rate == rate && !restart)
        return true;
    const unsigned long long l_Beat =
        system == nullptr ? pendingbeat : SongLength(song->GetHeader()).BeatAt(MsAtFrame(position));
    return StartEngine(p_Rate, l_Beat) && unreadable.empty();
}

void SongDecoder::SetRepeats(int p_Repeats) { repeats = p_Repeats; }

void SongDecoder::SetInterpolation(int p_Method)
{
    if (p_Method != interpolation)
        restart = true;  // the engine takes its resampler only when it starts
    interpolation = p_Method;
}

void SongDecoder::SetVolume(float p_Volume)
{
    volume = p_Volume;
    if (master != nullptr)
        FmodErrorCheck(FMOD_ChannelGroup_SetVolume(master, volume));
}

void SongDecoder::SetTrackMute(int p_Track, bool p_Mute)
{
    tracks.SetMute(p_Track, p_Mute);
    ApplyTrackGains();
}

void SongDecoder::SetTrackSolo(int p_Track, bool p_Solo)
{
    tracks.SetSolo(p_Track, p_Solo);
    ApplyTrackGains();
}

void SongDecoder::SetTrackGain(int p_Track, float p_Gain)
{
    tracks.SetGain(p_Track, p_Gain);
    ApplyTrackGains();
}

void SongDecoder::ApplyTrackGains()
{
    // The engine ramps a group's new volume as it ramps the master's: no click.
    for (int l_Track = 0; l_Track < SamplerRules::TRACKS; ++l_Track)
        if (groups[l_Track] != nullptr)
            FmodErrorCheck(FMOD_ChannelGroup_SetVolume(groups[l_Track], tracks.Audible(l_Track)));
}

void SongDecoder::SetTempoFactor(double p_Factor)
{
    const double l_Old = tempofactor;
    tempofactor = p_Factor;
    if (stepper == nullptr || l_Old == p_Factor)
        return;
    // As a tempo edit does: the frames read so far are counted again at the new speed.
    const unsigned long long l_Limit = std::min(DurationFrames(rate), ExactFrames(MAX_SEEK_MS, rate));
    const long double l_Scaled = static_cast<long double>(position) * l_Old / p_Factor;
    position =
        l_Scaled >= static_cast<long double>(l_Limit) ? l_Limit : static_cast<unsigned long long>(l_Scaled);
    stepper->SetTempoFactor(p_Factor);
}

void SongDecoder::SetPitchShift(double p_Semitones)
{
    pitchshift = p_Semitones;
    pitchscale = SamplerRules::PitchScale(p_Semitones);
    Repitch();
}

SamplerRules::Voices SongDecoder::VoiceSet()
{
    SamplerRules::Voices l_Voices = {melodysamples, percussionsamples, pitch, channelsample, channelindex};
    l_Voices.pitchscale = pitchscale;
    return l_Voices;
}

void SongDecoder::Repitch()
{
    const SamplerRules::Voices l_Voices = VoiceSet();
    for (int l_Track = 0; l_Track < SamplerRules::TRACKS; ++l_Track) {
        const SampleData& l_Hit = lasthit[l_Track];
        // A voice that has ended or been taken refuses the call, which is then nothing to report.
        if (channelindex[l_Track] != nullptr && l_Hit.playing != 0 && l_Hit.note >= 0 &&
            l_Hit.note < SamplerRules::NOTES)
            FMOD_Channel_SetFrequency(channelindex[l_Track],
                                      static_cast<float>(SamplerRules::NoteFrequency(l_Hit, l_Voices)));
    }
}

void SongDecoder::SeekSeconds(double p_Seconds)
{
    // Held below MAX_SEEK_MS, so that beats, milliseconds and frames all fit their integers.
    const double l_Wanted = p_Seconds * 1000.0 * tempofactor;
    const unsigned long long l_Ms = l_Wanted >= static_cast<double>(MAX_SEEK_MS)
                                        ? MAX_SEEK_MS
                                        : static_cast<unsigned long long>(l_Wanted);
    const unsigned long long l_End = DurationMs();
    // The end as DurationSeconds reports it counts too: its milliseconds, turned into seconds and
    // back, may fall a hair short of the last beat. An end beyond the limit is never reached.
    const bool l_PastEnd = l_End <= MAX_SEEK_MS && (l_Ms >= l_End || p_Seconds >= DurationSeconds());
    const unsigned long long l_Beat = SongLength(song->GetHeader()).BeatAt(l_PastEnd ? l_End : l_Ms);
    if (system == nullptr) {
        pendingbeat = l_Beat;
        return;
    }
    PlaceAt(l_Beat);
}

void SongDecoder::Stop(FMOD_CHANNEL** p_Channel)
{
    FMOD_Channel_Stop(*p_Channel);
    *p_Channel = nullptr;
}

FMOD_CHANNEL* SongDecoder::Play(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Pan,
                                unsigned int p_Volume, FMOD_CHANNEL* p_Channel)
{
    return PlayVoiceOn(
        system, [](FMOD_RESULT p_Result, void*) { FmodErrorCheck(p_Result); }, nullptr, p_Sound, p_Frequency,
        p_Pan, p_Volume, p_Channel, true);
}

bool SongDecoder::StartEngine(int p_Rate, unsigned long long p_Beat)
{
    StopEngine();
    const unsigned l_Run = SongStepper::BlockFrames(p_Rate) * RUN_BLOCKS;
    SongEngineSettings l_Settings;
    l_Settings.rate = p_Rate;
    l_Settings.resampler = interpolation;
    l_Settings.mixFrames = l_Run;
    engineresult = StartSongEngine(l_Settings, &system, &master);
    if (engineresult == FMOD_OK)
        engineresult = FMOD_ChannelGroup_SetVolume(master, volume);
    for (int l_Track = 0; l_Track < SamplerRules::TRACKS && engineresult == FMOD_OK; ++l_Track) {
        engineresult = FMOD_System_CreateChannelGroup(system, nullptr, &groups[l_Track]);
        if (engineresult == FMOD_OK)
            engineresult = FMOD_ChannelGroup_SetVolume(groups[l_Track], tracks.Audible(l_Track));
    }
    if (engineresult != FMOD_OK) {
        FmodErrorCheck(engineresult);
        StopEngine();
        return false;
    }

    unreadable.clear();
    AddSoundsInUse();
    rate = p_Rate;
    restart = false;
    stepper = std::make_unique<SongStepper>(*song, p_Rate);
    stepper->SetTempoFactor(tempofactor);
    PlaceAt(p_Beat);
    return true;
}

void SongDecoder::AddSoundsInUse()
{
    // Only the sounds the song's tracks can select: a song costs the instruments it uses. Sample
    // files are read now, so that a missing one is known before anything is mixed; built-in ones
    // are made as notes first play them.
    bool l_Melody[SamplerRules::MELODY_SAMPLES] = {};
    bool l_Percussion[SamplerRules::PERCUSSION_SAMPLES] = {};
    SamplerRules::SoundsInUse(song->instruments, l_Melody, l_Percussion);
    for (int l_Id = 0; l_Id < SamplerRules::MELODY_SAMPLES; ++l_Id)
        melodypending[l_Id] = melodypending[l_Id] || (l_Melody[l_Id] && melodysamples[l_Id] == nullptr);
    for (int l_Id = 0; l_Id < SamplerRules::PERCUSSION_SAMPLES; ++l_Id)
        percussionpending[l_Id] =
            percussionpending[l_Id] || (l_Percussion[l_Id] && percussionsamples[l_Id] == nullptr);
    if (datadir.empty())
        return;
    const auto Load = [&](bool p_Melody, int p_Id) {
        const std::string l_File = SamplerRules::SoundFile(datadir, p_Melody, p_Id);
        FMOD_SOUND* l_Sound = MakeFileSound(system, l_File, p_Melody);
        if (l_Sound == nullptr && unreadable.empty())
            unreadable = l_File;
        return l_Sound;
    };
    for (int l_Id = 0; l_Id < SamplerRules::MELODY_SAMPLES; ++l_Id)
        if (std::exchange(melodypending[l_Id], false))
            melodysamples[l_Id] = Load(true, l_Id);
    for (int l_Id = 0; l_Id < SamplerRules::PERCUSSION_SAMPLES; ++l_Id)
        if (std::exchange(percussionpending[l_Id], false))
            percussionsamples[l_Id] = Load(false, l_Id);
}

void SongDecoder::Edited(unsigned p_OldTempo)
{
    // The frames read so far are counted again at the new tempo, so that the song's end and its
    // reported position follow the beat it stands on.
    // A song far along (sought thousands of years in) stays within the reach of a seek.
    const unsigned l_Tempo = song->GetHeader().tempo;
    if (rate != 0 && p_OldTempo != 0 && l_Tempo != p_OldTempo) {
        const unsigned long long l_Limit = std::min(DurationFrames(rate), ExactFrames(MAX_SEEK_MS, rate));
        const long double l_Scaled = static_cast<long double>(position) * l_Tempo / p_OldTempo;
        position = l_Scaled >= static_cast<long double>(l_Limit) ? l_Limit
                                                                 : static_cast<unsigned long long>(l_Scaled);
    }
    if (system != nullptr)
        AddSoundsInUse();
}

void SongDecoder::MakeSound(const SampleData& p_Hit)
{
    bool l_Melody = false;
    int l_Sample = 0;
    if (!SamplerRules::SelectsSound(p_Hit, l_Melody, l_Sample))
        return;
    if (l_Melody && std::exchange(melodypending[l_Sample], false))
        melodysamples[l_Sample] = MakeBankSound(system, interpolation, BuiltinBank::Melody(l_Sample), true);
    else if (!l_Melody && std::exchange(percussionpending[l_Sample], false))
        percussionsamples[l_Sample] =
            MakeBankSound(system, interpolation, BuiltinBank::Percussion(l_Sample), false);
}

void SongDecoder::StopEngine()
{
    if (system != nullptr)
        FMOD_System_Release(system);  // releases its sounds too
    system = nullptr;
    master = nullptr;
    std::fill(std::begin(melodypending), std::end(melodypending), false);
    std::fill(std::begin(percussionpending), std::end(percussionpending), false);
    std::fill(std::begin(melodysamples), std::end(melodysamples), nullptr);
    std::fill(std::begin(percussionsamples), std::end(percussionsamples), nullptr);
    std::fill(std::begin(channelsample), std::end(channelsample), nullptr);
    std::fill(std::begin(channelindex), std::end(channelindex), nullptr);
    std::fill(std::begin(groups), std::end(groups), nullptr);
    stepper.reset();
}

unsigned int SongDecoder::SongBeat(unsigned long long p_Beat) const
{
    return static_cast<unsigned int>(std::min<unsigned long long>(
        SongLength(song->GetHeader()).SongBeat(p_Beat), std::numeric_limits<unsigned int>::max()));
}

unsigned int SongDecoder::SongBeatAt(double p_Seconds) const
{
    const double l_Ms = p_Seconds * 1000.0 * tempofactor;
    return SongBeat(SongLength(song->GetHeader())
                        .BeatAt(l_Ms >= static_cast<double>(MAX_SEEK_MS)
                                    ? MAX_SEEK_MS
                                    : static_cast<unsigned long long>(l_Ms)));
}

void SongDecoder::PlaceAt(unsigned long long p_Beat)
{
    for (int l_Track = 0; l_Track < SamplerRules::TRACKS; ++l_Track) {
        Stop(&channelindex[l_Track]);
        channelsample[l_Track] = nullptr;
    }
    // The first frame whose millisecond is the beat's own, so the clock stands exactly on it.
    const unsigned long long l_Ms = SongLength(song->GetHeader()).MsOfBeat(p_Beat);
    const unsigned long long l_Frame =
        tempofactor == 1.0 ? (l_Ms * static_cast<unsigned long long>(rate) + 999) / 1000
                           : static_cast<unsigned long long>(
                                 std::ceil(static_cast<long double>(l_Ms) * rate / (1000.0L * tempofactor)));
    stepper->StartAt(SongBeat(p_Beat), l_Frame);
    blockrest = 0;
    // The song's end is read in whole mix blocks, so its last beat may end a little before the last
    // frame: a song placed at its end (sought there, or restarted there at another rate) is at its
    // last frame, with nothing more to read.
    position = l_Ms >= DurationMs() ? std::max(l_Frame, DurationFrames(rate)) : l_Frame;
}

std::size_t SongDecoder::MixNext(std::size_t p_Wanted, std::int16_t* p_Pcm16, float* p_Float,
                                 float* const* p_Tracks)
{
    // The rest of a block stepped by an earlier read first: the engine mixes a block cut anywhere
    // as it mixes it whole, so nothing need be mixed ahead of what is asked.
    unsigned l_Frames = 0;
    if (blockrest > 0) {
        l_Frames = static_cast<unsigned>(std::min<std::size_t>(p_Wanted, blockrest));
    } else {
        const SamplerRules::Voices l_Voices = VoiceSet();
        const unsigned l_Block = stepper->BlockFrames();
        const unsigned l_MaxBlocks =
            static_cast<unsigned>(std::clamp<std::size_t>((p_Wanted + l_Block - 1) / l_Block, 1, RUN_BLOCKS));
        blockrest = l_Block * stepper->StepRun(
                                  [&](const SampleData& p_Hit) {
                                      MakeSound(p_Hit);
                                      if (!SamplerRules::HitNote(p_Hit, l_Voices, *this))
                                          return;
                                      // A voice a note starts leaves the engine in no group.
                                      lasthit[p_Hit.instrument] = p_Hit;
                                      FMOD_Channel_SetChannelGroup(channelindex[p_Hit.instrument],
                                                                   groups[p_Hit.instrument]);
                                  },
                                  l_MaxBlocks);
        if (countvoices) {
            int l_Playing = 0;
            FMOD_System_GetChannelsPlaying(system, &l_Playing);
            voiceframes += static_cast<unsigned long long>(l_Playing) * blockrest;
        }
        l_Frames = static_cast<unsigned>(std::min<std::size_t>(p_Wanted, blockrest));
    }
    FMOD_RESULT l_Result = FMOD_OK;
    if (!Apart(p_Tracks)) {
        l_Result = FMOD_System_ReadMix(system, p_Pcm16, p_Float, l_Frames);
    } else {
        float l_Peaks[SamplerRules::TRACKS];
        double l_Squares[SamplerRules::TRACKS];
        l_Result = FMOD_System_ReadMixGroups(system, p_Pcm16, p_Float, l_Frames, groups, p_Tracks, nullptr,
                                             l_Peaks, l_Squares, SamplerRules::TRACKS);
        for (int l_Track = 0; l_Result == FMOD_OK && l_Track < SamplerRules::TRACKS; ++l_Track) {
            peaks[l_Track] = std::max(peaks[l_Track], l_Peaks[l_Track]);
            squares[l_Track] += l_Squares[l_Track];
        }
    }
    if (l_Result != FMOD_OK) {
        engineresult = l_Result;
        FmodErrorCheck(l_Result);
        blockrest = 0;
        return 0;
    }
    blockrest -= l_Frames;
    return l_Frames;
}

std::size_t SongDecoder::Read(int p_Rate, std::size_t p_Frames, std::int16_t* p_Pcm16, float* p_Float)
{
    return ReadAny(p_Rate, p_Frames, p_Pcm16, p_Float, nullptr);
}

std::size_t SongDecoder::ReadTracks(int p_Rate, std::size_t p_Frames, float* const* p_Tracks)
{
    return ReadAny(p_Rate, p_Frames, nullptr, nullptr, p_Tracks);
}

std::size_t SongDecoder::ReadAny(int p_Rate, std::size_t p_Frames, std::int16_t* p_Pcm16, float* p_Float,
                                 float* const* p_Tracks)
{
    if ((system == nullptr || p_Rate != rate || restart) && !Start(p_Rate) && system == nullptr)
        return 0;  // a missing sample file only leaves its notes silent
    const bool l_Apart = Apart(p_Tracks);
    if (l_Apart) {
        std::fill(std::begin(peaks), std::end(peaks), 0.0f);
        std::fill(std::begin(squares), std::end(squares), 0.0);
    }
    const unsigned long long l_Total = DurationFrames(rate);
    std::size_t l_Written = 0;
    float* l_Tracks[SamplerRules::TRACKS];
    while (l_Written < p_Frames && position < l_Total) {
        const std::size_t l_Wanted =
            static_cast<std::size_t>(std::min<unsigned long long>(p_Frames - l_Written, l_Total - position));
        if (p_Tracks != nullptr)
            for (int l_Track = 0; l_Track < SamplerRules::TRACKS; ++l_Track)
                l_Tracks[l_Track] = p_Tracks[l_Track] + 2 * l_Written;
        const std::size_t l_Mixed = MixNext(l_Wanted, p_Pcm16 != nullptr ? p_Pcm16 + 2 * l_Written : nullptr,
                                            p_Float != nullptr ? p_Float + 2 * l_Written : nullptr,
                                            p_Tracks != nullptr ? l_Tracks : nullptr);
        if (l_Mixed == 0)
            break;
        l_Written += l_Mixed;
        position += l_Mixed;
    }
    if (l_Apart) {
        for (int l_Track = 0; l_Track < SamplerRules::TRACKS; ++l_Track) {
            levels[l_Track].peak = peaks[l_Track];
            levels[l_Track].rms =
                l_Written == 0 ? 0.0f : static_cast<float>(std::sqrt(squares[l_Track] / (2.0 * l_Written)));
        }
    }
    return l_Written;
}

}  // namespace Org
