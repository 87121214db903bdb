#ifndef TUNEWRIGHT_SONGPLAYBACK_H
#define TUNEWRIGHT_SONGPLAYBACK_H

// One song played in real time, as the player plays it: the song clock runs on the real-time
// milliseconds its caller gives (tunewright-play's: those of the sound the engine mixes, Advance
// called before each block) and each new beat is sounded through the sampler on the engine's
// real-time output. On top of that:
// an end (a loop count, as SongLength counts it, or a number of seconds), pause, seeking by bars,
// the master volume and a tempo factor. Positions are the song's own time; a number of seconds is
// the time heard.
#include <string>

namespace Org {
class OrgSong;
}  // namespace Org
class PlaySampler;

struct PlaybackStatus
{
    unsigned bar = 1, beat = 1;       // in the song, from 1
    unsigned long playedMs = 0;       // position in the song as played (intro, loop, loop...)
    unsigned long long lengthMs = 0;  // 0 when the song plays for ever
    int pass = 1, passes = 0;         // pass of the loop, of passes (0: for ever)
    unsigned tempo = 0;               // ms per beat
    float volume = 0.5f;
    bool paused = false;
    bool stopped = false;  // paused at the start by a stop
};

class SongPlayback
{
public:
    // The intro and p_Loops + 1 passes of the loop (-1: for ever), or p_Seconds when above 0.
    SongPlayback(Org::OrgSong& p_Song, PlaySampler& p_Sampler, int p_Loops, double p_Seconds, float p_Volume);
    // Ends every melody note still held; drums ring out.
    ~SongPlayback();
    SongPlayback(const SongPlayback&) = delete;
    SongPlayback& operator=(const SongPlayback&) = delete;

    // Milliseconds the song plays with these settings: 0 for ever, and 0 too when it would last no
    // time (NoEndReason says why).
    static unsigned long long LengthMs(const Org::OrgSong& p_Song, int p_Loops, double p_Seconds);
    // Why this song cannot be played with these settings, or empty when it can.
    static std::string NoEndReason(const Org::OrgSong& p_Song, int p_Loops, double p_Seconds);

    // Starts the song from its first beat at the real-time millisecond p_Now.
    void Start(unsigned long p_Now);
    // Brings the clock to p_Now and sounds a beat that has begun there.
    void Advance(unsigned long p_Now);
    // Milliseconds from p_Now until the end is due (0: it is), or a second when that is further off
    // or there is none.
    unsigned long MsToEnd(unsigned long p_Now) const;
    bool Finished() const { return finished; }

    void TogglePause(unsigned long p_Now) { SetPaused(!paused, p_Now); }
    void SetPaused(bool p_Paused, unsigned long p_Now);
    // Pauses at the first beat; playing on starts from there.
    void Stop(unsigned long p_Now);
    // Moves by p_Bars bars (back when negative), never before the first beat; past the end ends.
    void SeekBars(int p_Bars, unsigned long p_Now);
    // Moves to the beat p_Ms falls in, counted as SongLength counts the song as played (intro,
    // loop, loop...); before the start is the start, past the end ends.
    void SeekMs(long long p_Ms, unsigned long p_Now);
    void ChangeVolume(float p_Step);
    void SetVolume(float p_Volume);  // clamped to 0 .. 1
    // The song's beats p_Factor times as fast from p_Now on (the caller keeps to the decoder's range).
    void SetTempoFactor(double p_Factor, unsigned long p_Now);

    PlaybackStatus Status() const;

private:
    void Strike();
    // Where the song stands as played: every pass of the loop after the first adds to the beat.
    unsigned long long PlayedBeat() const;
    void SeekBeat(unsigned long long p_Played, unsigned long p_Now);
    void ApplyVolume();
    // The song clock's tick at the real-time millisecond p_Now, the tempo factor applied.
    unsigned long SongTicks(unsigned long p_Now) const;

    Org::OrgSong& song;
    PlaySampler& sampler;
    const int passes;                   // of the loop; 0: for ever
    const unsigned long long lengthMs;  // 0: no end
    // The end comes after lengthMs of playing rather than at the last pass's wrap: a length in
    // seconds, or a song whose loop is empty (its clock never goes back, so its intro is timed).
    const bool timed;
    const bool bySeconds;  // timed by the seconds heard, not by the song's own time
    float volume;
    bool paused = false;
    bool stopped = false;
    bool finished = false;
    int wraps = 0;                 // times the clock went back to the loop's start
    unsigned lastBeat = 0;         // the beat sounded last
    unsigned long playedMs = 0;    // the song's time as played
    unsigned long lastUpdate = 0;  // the real time of the last Advance
    unsigned long heardMs = 0;     // real time played, pauses left out
    double tempo = 1.0;
    // The song clock runs from songBase at wallBase, tempo times as fast as real time.
    unsigned long wallBase = 0, songBase = 0;
};

#endif
