#include "SongPlayback.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "OrgSong.h"
#include "PlaySampler.h"
#include "SongLength.h"

namespace {

unsigned BeatsPerBar(const Org::Header& p_Header)
{
    return std::max(1u, unsigned(p_Header.steps_bar) * p_Header.beats_step);
}

}  // namespace

SongPlayback::SongPlayback(Org::OrgSong& p_Song, PlaySampler& p_Sampler, int p_Loops, double p_Seconds,
                           float p_Volume)
    : song(p_Song), sampler(p_Sampler),
      passes(p_Seconds > 0.0 || Org::SongLength(p_Song.GetHeader()).Forever(p_Loops)
                 ? 0
                 : std::max(p_Loops, 0) + 1),
      lengthMs(LengthMs(p_Song, p_Loops, p_Seconds)),
      timed(p_Seconds > 0.0 || Org::SongLength(p_Song.GetHeader()).LoopBeats() == 0),
      bySeconds(p_Seconds > 0.0), volume(p_Volume)
{}

unsigned long long SongPlayback::LengthMs(const Org::OrgSong& p_Song, int p_Loops, double p_Seconds)
{
    if (p_Seconds > 0.0)
        return Org::SongLength::MsOfSeconds(p_Seconds);
    const unsigned long long l_Ms = Org::SongLength(p_Song.GetHeader()).Ms(p_Loops);
    return l_Ms == Org::SongLength::FOREVER ? 0 : l_Ms;
}

SongPlayback::~SongPlayback()
{
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        Org::SampleData l_Silence = {};
        l_Silence.instrument = l_Track;
        sampler.HitNote(l_Silence);
    }
}

std::string SongPlayback::NoEndReason(const Org::OrgSong& p_Song, int p_Loops, double p_Seconds)
{
    if (p_Seconds > 0.0)
        return "";
    const std::string l_Why = Org::SongLength(p_Song.GetHeader()).NoLengthReason(p_Loops);
    return l_Why.empty() ? l_Why : l_Why + "; give a length with --seconds";
}

unsigned long SongPlayback::SongTicks(unsigned long p_Now) const
{
    return songBase + static_cast<unsigned long>(std::llround((p_Now - wallBase) * tempo));
}

void SongPlayback::SetTempoFactor(double p_Factor, unsigned long p_Now)
{
    Advance(p_Now);
    songBase = SongTicks(p_Now);
    wallBase = p_Now;
    tempo = p_Factor;
}

void SongPlayback::Start(unsigned long p_Now)
{
    wallBase = songBase = lastUpdate = p_Now;
    song.Pause();
    song.Update(SongTicks(p_Now));  // a stopped clock only takes the time
    song.Play(0);
    ApplyVolume();
    Advance(p_Now);
}

void SongPlayback::Advance(unsigned long p_Now)
{
    // A beat placed by the start, a seek or a resume is sounded before the clock moves on.
    if (!paused && !finished && song.cursorUpdated)
        Strike();
    if (finished)
        return;
    const int l_Elapsed = song.Update(SongTicks(p_Now));
    const unsigned long l_Wall = p_Now - lastUpdate;
    lastUpdate = p_Now;
    if (paused)
        return;
    playedMs += static_cast<unsigned long>(l_Elapsed);
    heardMs += l_Wall;
    if (timed && lengthMs > 0 && (bySeconds ? heardMs : playedMs) >= lengthMs) {
        finished = true;
        return;
    }
    if (song.cursorUpdated)
        Strike();
}

void SongPlayback::Strike()
{
    song.cursorUpdated = false;
    const unsigned l_Beat = song.GetCursor();
    if (l_Beat < lastBeat && ++wraps >= passes && passes > 0) {
        finished = true;  // the end of the last pass: the loop's start is not sounded again
        return;
    }
    lastBeat = l_Beat;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
        sampler.HitNote(song.GetNoteHit(l_Track));
}

unsigned long SongPlayback::MsToEnd(unsigned long p_Now) const
{
    constexpr unsigned long IDLE_MS = 1000;
    if (paused || finished || lengthMs == 0)
        return IDLE_MS;
    // From the last Advance: the time heard, or the song's own time at the tempo factor.
    const long double l_Since = p_Now - lastUpdate;
    const long double l_Left = bySeconds ? static_cast<long double>(lengthMs) - heardMs - l_Since
                                         : (static_cast<long double>(lengthMs) - playedMs) / tempo - l_Since;
    return l_Left <= 0 ? 0 : static_cast<unsigned long>(std::min<long double>(IDLE_MS, std::ceil(l_Left)));
}

void SongPlayback::SetPaused(bool p_Paused, unsigned long p_Now)
{
    stopped = false;
    if (p_Paused == paused)
        return;
    Advance(p_Now);
    paused = p_Paused;
    if (paused)
        song.Pause();
    else
        song.Play();  // the clock took the time above, so the pause is not counted
    ApplyVolume();
    Advance(p_Now);
}

void SongPlayback::Stop(unsigned long p_Now)
{
    SetPaused(true, p_Now);
    SeekBeat(0, p_Now);
    stopped = !finished;
}

unsigned long long SongPlayback::PlayedBeat() const
{
    return static_cast<unsigned long long>(wraps) * Org::SongLength(song.GetHeader()).LoopBeats() +
           song.GetCursor();
}

void SongPlayback::SeekBars(int p_Bars, unsigned long p_Now)
{
    Advance(p_Now);
    const long long l_Move = static_cast<long long>(p_Bars) * BeatsPerBar(song.GetHeader());
    const long long l_Target = static_cast<long long>(PlayedBeat()) + l_Move;
    SeekBeat(static_cast<unsigned long long>(std::max(0ll, l_Target)), p_Now);
}

void SongPlayback::SeekMs(long long p_Ms, unsigned long p_Now)
{
    Advance(p_Now);
    SeekBeat(Org::SongLength(song.GetHeader()).BeatAt(static_cast<unsigned long long>(std::max(0ll, p_Ms))),
             p_Now);
}

void SongPlayback::SeekBeat(unsigned long long p_Played, unsigned long p_Now)
{
    stopped = false;
    if (finished || song.GetTempo() == 0)
        return;
    // The played beat as a pass of the loop and a beat of the song.
    const Org::SongLength l_Length(song.GetHeader());
    const unsigned long long l_Wraps = l_Length.PassesBefore(p_Played), l_Beat = l_Length.SongBeat(p_Played);
    playedMs =
        static_cast<unsigned long>(std::min<unsigned long long>(l_Length.MsOfBeat(p_Played), ULONG_MAX));
    // Seeks are in the song's time; the time heard to there is that at the present tempo.
    heardMs = static_cast<unsigned long>(playedMs / tempo);
    if ((passes > 0 && l_Wraps >= static_cast<unsigned long long>(passes)) ||
        (timed && lengthMs > 0 && (bySeconds ? heardMs : playedMs) >= lengthMs) || l_Beat > UINT_MAX) {
        finished = true;
        return;
    }
    wraps = static_cast<int>(l_Wraps);
    lastBeat = static_cast<unsigned>(l_Beat);
    song.SetCursor(lastBeat);  // sounded at once, or on resuming
    Advance(p_Now);
}

void SongPlayback::ChangeVolume(float p_Step) { SetVolume(std::round((volume + p_Step) * 100.0f) / 100.0f); }

void SongPlayback::SetVolume(float p_Volume)
{
    volume = p_Volume > 0.0f ? std::min(p_Volume, 1.0f) : 0.0f;  // NaN too is silence
    ApplyVolume();
}

void SongPlayback::ApplyVolume() { sampler.SetMasterVolume(paused ? 0.0f : volume); }

PlaybackStatus SongPlayback::Status() const
{
    PlaybackStatus l_Status;
    const unsigned l_Cursor = song.GetCursor();
    const unsigned l_PerBar = BeatsPerBar(song.GetHeader());
    l_Status.bar = l_Cursor / l_PerBar + 1;
    l_Status.beat = l_Cursor % l_PerBar + 1;
    l_Status.playedMs = playedMs;
    l_Status.lengthMs = lengthMs;
    l_Status.passes = passes;
    l_Status.pass = passes > 0 ? std::min(wraps + 1, passes) : wraps + 1;
    l_Status.tempo = song.GetTempo();
    l_Status.volume = volume;
    l_Status.paused = paused;
    l_Status.stopped = stopped;
    return l_Status;
}
