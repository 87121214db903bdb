// tunewright-play: plays Org-02 songs on the sound card, one after another, from a terminal (with a
// status line and keys) or from a script (to the end, quietly).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <fmod_mixcallback.h>
#include <tunewright/tunewright.h>

#include "Complaint.h"
#include "DataDir.h"
#include "EndingSignals.h"
#include "Mpris.h"
#include "OrgDevice.h"
#include "OrgSong.h"
#include "PlayCommand.h"
#include "PlaySampler.h"
#include "PrintableText.h"
#include "SongInput.h"
#include "SongList.h"
#include "SongOptions.h"
#include "SongPlayback.h"
#include "SoundCard.h"
#include "Terminal.h"
#include "TrackMeters.h"
#include "TrackMix.h"

namespace {

const char* const USAGE =
    "usage: tunewright-play [options] SONG.org...\n"
    "Plays Org-02 songs on the sound card, one after another.\n"
    "\n"
    "  -l, --loops N       repeats of the song's loop after its first pass: the loop plays\n"
    "                      N + 1 times after the intro (default 1; -1 plays for ever)\n"
    "  -s, --seconds S     play each song for S seconds instead\n"
    "  -v, --volume V      master volume, 0 to 1 (default 0.5, as the player starts)\n"
    "  -i, --interp NAME   resampling: {resamplers} (default linear, as the\n"
    "                      player; sinc is band-limited)\n"
    "  -d, --data DIR      folder holding melody/ and percussion/ (default: the installed data)\n"
    "  -D, --device NAME   the sound device, an ALSA PCM name such as hw:1,0 or plughw:1\n"
    "                      (default: the system's default device)\n"
    "  --mute LIST         silence tracks: numbers 0 to 15 and ranges, such as 0,3,8-15\n"
    "  --solo LIST         sound only these tracks (over --mute)\n"
    "  --tempo F           the song's beats F times as fast, 0.25 to 4, pitch kept\n"
    "                      (--seconds counts the time heard)\n"
    "  --transpose N       every note N semitones up (down when negative), -24 to 24,\n"
    "                      fractions allowed\n"
    "  --version           the version\n"
    "  -h, --help          this text\n"
    "  --                  ends the options: every later argument is a song\n"
    "\n"
    "Keys on a terminal: space pause, left/right a bar back/forward, up/down volume,\n"
    "n next song, p previous song (the first plays again), q quit; 1 to 8 mute or unmute\n"
    "melody tracks 0 to 7, a s d f g h j k drum tracks 8 to 15; + and - the tempo\n"
    "(1.1 times), < and > (or , and .) a semitone down and up. Where the terminal allows,\n"
    "a meter line per track shows its level under the status line.\n"
    "On a session bus it is the MPRIS media player org.mpris.MediaPlayer2.tunewright.\n";

constexpr float VOLUME_STEP = 0.05f;
constexpr double TEMPO_STEP = 1.1;  // a factor
constexpr double PITCH_STEP = 1.0;  // semitones
constexpr auto STATUS_PERIOD = std::chrono::milliseconds(100);
// A song's end once due is looked for again after this, the engine's thread finding it at its next
// block.
constexpr unsigned long END_CHECK_MS = 5;

struct PlayOptions : SongOptions
{
    std::string device;
};

// How one song's playing ended: by itself, or asking for another song or the end.
enum class Outcome { ENDED, NEXT, PREVIOUS, QUIT };

using Kind = PlayCommand::Kind;
constexpr std::pair<Key, PlayCommand> kKeyCommands[] = {{Key::PAUSE, {Kind::TOGGLE_PAUSE}},
                                                        {Key::QUIT, {Kind::QUIT}},
                                                        {Key::NEXT, {Kind::NEXT}},
                                                        {Key::PREVIOUS, {Kind::PREVIOUS}},
                                                        {Key::BACK, {Kind::SEEK_BARS, -1.0}},
                                                        {Key::FORWARD, {Kind::SEEK_BARS, 1.0}},
                                                        {Key::LOUDER, {Kind::CHANGE_VOLUME, VOLUME_STEP}},
                                                        {Key::SOFTER, {Kind::CHANGE_VOLUME, -VOLUME_STEP}},
                                                        {Key::FASTER, {Kind::CHANGE_TEMPO, TEMPO_STEP}},
                                                        {Key::SLOWER, {Kind::CHANGE_TEMPO, 1.0 / TEMPO_STEP}},
                                                        {Key::HIGHER, {Kind::CHANGE_PITCH, PITCH_STEP}},
                                                        {Key::LOWER, {Kind::CHANGE_PITCH, -PITCH_STEP}}};

using Clock = std::chrono::steady_clock;

Terminal* g_Terminal = nullptr;

// The library's messages go to standard error, in place of the status line.
void LogMessage(const char* p_Line, void*)
{
    if (g_Terminal != nullptr)
        g_Terminal->ClearStatus();
    std::fputs(p_Line, stderr);
    std::fflush(stderr);
}

// A complaint begins on a line of its own.
void ClearStatus()
{
    if (g_Terminal != nullptr)
        g_Terminal->ClearStatus();
}

// Reads the command line into p_Options; returns an exit status to end with, or -1 to play.
int ParseCommandLine(int argc, char** argv, PlayOptions& p_Options)
{
    OptionReader l_Reader("tunewright-play", USAGE, argc, argv);
    return l_Reader.Read(p_Options, [&](OptionReader& p_Reader) {
        if (p_Reader.Option() != "-D" && p_Reader.Option() != "--device")
            return 0;
        if (!p_Reader.Word(p_Options.device))
            return 2;
        if (!p_Options.device.empty())
            return 1;
        p_Reader.Complain(p_Reader.Option() + " needs a name; an empty one is none");
        return 2;
    });
}

// A sentence of the library's as the end of one of our lines: lower case, no full stop.
std::string AsClause(std::string p_Sentence)
{
    if (!p_Sentence.empty() && p_Sentence.back() == '.')
        p_Sentence.pop_back();
    if (!p_Sentence.empty())
        p_Sentence[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(p_Sentence[0])));
    return p_Sentence;
}

// Reads a song for playing (its bytes into p_Bytes); false, with one line said, when it cannot be
// played.
bool LoadSong(const std::string& p_Path, const PlayOptions& p_Options, Org::OrgSong& p_Song,
              std::vector<std::uint8_t>& p_Bytes)
{
    std::string l_Why;
    if (!Org::ReadSongInput(p_Path, p_Bytes, l_Why)) {
        Complain("cannot open the song '" + p_Path + "': " + l_Why);
        return false;
    }
    if (p_Bytes.empty()) {
        Complain("cannot play '" + p_Path + "': the file is empty");
        return false;
    }
    // The library's strict check (the magic, every note the counts announce) decides what is a song.
    const Org::SongBytes l_Check = Org::CheckSongBytes(p_Bytes.data(), p_Bytes.size());
    if (l_Check != Org::SongBytes::WHOLE) {
        Complain("cannot play '" + p_Path + "': " +
                 AsClause(tw_error_string(l_Check == Org::SongBytes::NOT_A_SONG ? TW_ERROR_NOT_A_SONG
                                                                                : TW_ERROR_TRUNCATED)));
        return false;
    }
    p_Song.LoadFromMemory(p_Bytes.data(), p_Bytes.size());
    const std::string l_NoEnd = SongPlayback::NoEndReason(p_Song, p_Options.loops, p_Options.seconds);
    if (!l_NoEnd.empty()) {
        Complain("cannot play '" + p_Path + "': " + l_NoEnd);
        return false;
    }
    return true;
}

std::string MinutesSeconds(unsigned long long p_Ms)
{
    char l_Text[32];
    std::snprintf(l_Text, sizeof l_Text, "%02llu:%02llu", p_Ms / 60000, p_Ms / 1000 % 60);
    return l_Text;
}

// The mixing desk of the options: the tracks muted and soloed.
Org::TrackMix TracksOf(const PlayOptions& p_Options)
{
    Org::TrackMix l_Tracks;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        l_Tracks.SetMute(l_Track, p_Options.mute[l_Track]);
        l_Tracks.SetSolo(l_Track, p_Options.solo[l_Track]);
    }
    return l_Tracks;
}

std::string StatusLine(const std::string& p_Name, const PlaybackStatus& p_Status,
                       const PlayOptions& p_Options)
{
    char l_Tempo[48];
    if (p_Status.tempo == 0)
        std::snprintf(l_Tempo, sizeof l_Tempo, "0 ms/beat");
    else
        std::snprintf(l_Tempo, sizeof l_Tempo, "%u ms/beat (%.0f BPM)", p_Status.tempo,
                      60000.0 / p_Status.tempo);
    std::string l_Line = p_Name + "  bar " + std::to_string(p_Status.bar) + ":" +
                         std::to_string(p_Status.beat) + "  " + MinutesSeconds(p_Status.playedMs);
    if (p_Status.lengthMs > 0)
        l_Line += "/" + MinutesSeconds(p_Status.lengthMs);
    l_Line += std::string("  ") + l_Tempo + "  loop " + std::to_string(p_Status.pass);
    if (p_Status.passes > 0)
        l_Line += "/" + std::to_string(p_Status.passes);
    l_Line += "  volume " + std::to_string(static_cast<int>(p_Status.volume * 100.0f + 0.5f)) + "%";
    char l_Desk[64];
    if (p_Options.tempo != 1.0) {
        std::snprintf(l_Desk, sizeof l_Desk, "  tempo x%.2f", p_Options.tempo);
        l_Line += l_Desk;
    }
    if (p_Options.transpose != 0.0) {
        std::snprintf(l_Desk, sizeof l_Desk, "  transpose %+g", p_Options.transpose);
        l_Line += l_Desk;
    }
    if (p_Status.stopped)
        l_Line += "  [stopped]";
    else if (p_Status.paused)
        l_Line += "  [paused]";
    return l_Line;
}

// The songs' clock, kept by the engine's thread: its milliseconds are those of the sound sent to the
// device, and before each block the engine mixes, the song playing is brought to that block's time
// and a beat begun by then is struck, to sound in that block. So every beat is heard the same time
// after it is due (at most a block late), the first as the others, and the player's thread wakes
// only for keys, the bus, the status line and a song's end. What both threads touch (the playback,
// the sampler, the song) is used under `lock`.
class EngineClock
{
public:
    EngineClock() { FMOD_System_SetMixCallback(Org::Device, &EngineClock::Tick, this); }
    ~EngineClock() { FMOD_System_SetMixCallback(Org::Device, nullptr, nullptr); }
    EngineClock(const EngineClock&) = delete;
    EngineClock& operator=(const EngineClock&) = delete;

    std::mutex lock;
    // Under lock: the time of the block the engine mixes next, as far as it has told.
    unsigned long Now() const { return now; }
    // Under lock: the song the engine's blocks bring on (null: none).
    void Follow(SongPlayback* p_Playback) { playback = p_Playback; }

private:
    static void F_API Tick(void* p_Clock, unsigned long long p_Frame, int p_Rate)
    {
        EngineClock& l_Clock = *static_cast<EngineClock*>(p_Clock);
        const std::lock_guard<std::mutex> l_Lock(l_Clock.lock);
        // Milliseconds counted round an unsigned long, as the song clock's differences are taken.
        l_Clock.now = static_cast<unsigned long>(p_Frame * 1000 / static_cast<unsigned long long>(p_Rate));
        if (l_Clock.playback != nullptr)
            l_Clock.playback->Advance(l_Clock.now);
    }

    unsigned long now = 0;
    SongPlayback* playback = nullptr;
};

// What plays the songs and what controls them, for the whole list.
struct Player
{
    EngineClock& clock;
    PlaySampler& sampler;
    Terminal& terminal;
    Mpris& mpris;
    PlayOptions& options;
};

// Waits until p_Until or a command, whichever comes first; returns the commands given, the keys'
// first.
std::vector<PlayCommand> WaitForCommands(Player& p_Player, Clock::time_point p_Until)
{
    std::vector<PlayCommand> l_Commands;
    for (Key l_Key : p_Player.terminal.Wait(p_Until, p_Player.mpris.WakeFd())) {
        if (MutedTrack(l_Key) >= 0)
            l_Commands.push_back({Kind::TOGGLE_MUTE, static_cast<double>(MutedTrack(l_Key))});
        for (const std::pair<Key, PlayCommand>& l_Entry : kKeyCommands)
            if (l_Entry.first == l_Key)
                l_Commands.push_back(l_Entry.second);
    }
    for (const PlayCommand& l_Command : p_Player.mpris.TakeCommands())
        l_Commands.push_back(l_Command);
    return l_Commands;
}

// Carries out one command on the song playing; returns what it asks of the list (ENDED: nothing).
// The mixing desk is the options', so that it carries on to the next song.
Outcome Apply(const PlayCommand& p_Command, SongPlayback& p_Playback, unsigned long p_Now, Player& p_Player)
{
    PlayOptions& l_Options = p_Player.options;
    switch (p_Command.kind) {
    case Kind::TOGGLE_MUTE: {
        bool& l_Mute = l_Options.mute[static_cast<int>(p_Command.amount)];
        l_Mute = !l_Mute;
        p_Player.sampler.SetTracks(TracksOf(l_Options));
        break;
    }
    case Kind::CHANGE_TEMPO:
        // Held to the decoder's range; a factor that comes back near 1 is 1, free of rounding.
        l_Options.tempo =
            std::clamp(l_Options.tempo * p_Command.amount, TW_MIN_TEMPO_FACTOR, TW_MAX_TEMPO_FACTOR);
        if (std::fabs(l_Options.tempo - 1.0) < 1e-9)
            l_Options.tempo = 1.0;
        p_Playback.SetTempoFactor(l_Options.tempo, p_Now);
        break;
    case Kind::CHANGE_PITCH:
        l_Options.transpose =
            std::clamp(l_Options.transpose + p_Command.amount, -TW_MAX_PITCH_SHIFT, TW_MAX_PITCH_SHIFT);
        p_Player.sampler.SetPitchShift(l_Options.transpose);
        break;
    case Kind::TOGGLE_PAUSE:
        p_Playback.TogglePause(p_Now);
        break;
    case Kind::PLAY:
    case Kind::PAUSE:
        p_Playback.SetPaused(p_Command.kind == Kind::PAUSE, p_Now);
        break;
    case Kind::STOP:
        p_Playback.Stop(p_Now);
        break;
    case Kind::SEEK_BARS:
        p_Playback.SeekBars(static_cast<int>(p_Command.amount), p_Now);
        break;
    case Kind::SEEK_BY_MS:
        p_Playback.Advance(p_Now);  // from where it stands now
        p_Playback.SeekMs(
            static_cast<long long>(p_Playback.Status().playedMs) + std::llround(p_Command.amount), p_Now);
        break;
    case Kind::SEEK_TO_MS:
        p_Playback.SeekMs(std::llround(p_Command.amount), p_Now);
        break;
    case Kind::CHANGE_VOLUME:
        p_Playback.ChangeVolume(static_cast<float>(p_Command.amount));
        break;
    case Kind::SET_VOLUME:
        p_Playback.SetVolume(static_cast<float>(p_Command.amount));
        break;
    case Kind::NEXT:
        return Outcome::NEXT;
    case Kind::PREVIOUS:
        return Outcome::PREVIOUS;
    case Kind::QUIT:
        return Outcome::QUIT;
    }
    return Outcome::ENDED;
}

// Carries out p_Commands in turn until one asks for another song, telling the bus of every jump.
Outcome Obey(const std::vector<PlayCommand>& p_Commands, SongPlayback& p_Playback, unsigned long p_Now,
             Player& p_Player)
{
    Mpris& p_Mpris = p_Player.mpris;
    for (const PlayCommand& l_Command : p_Commands) {
        const Outcome l_Outcome = Apply(l_Command, p_Playback, p_Now, p_Player);
        if (l_Outcome != Outcome::ENDED)
            return l_Outcome;
        const Kind l_Kind = l_Command.kind;
        if ((l_Kind == Kind::STOP || l_Kind == Kind::SEEK_BARS || l_Kind == Kind::SEEK_BY_MS ||
             l_Kind == Kind::SEEK_TO_MS) &&
            !p_Playback.Finished())
            p_Mpris.Seeked(p_Playback.Status().playedMs);
    }
    return Outcome::ENDED;
}

MprisPlayback BusPlayback(const PlaybackStatus& p_Status)
{
    MprisPlayback l_Playback;
    l_Playback.status = p_Status.stopped  ? MprisPlayback::Status::STOPPED
                        : p_Status.paused ? MprisPlayback::Status::PAUSED
                                          : MprisPlayback::Status::PLAYING;
    l_Playback.positionMs = p_Status.playedMs;
    l_Playback.volume = p_Status.volume;
    return l_Playback;
}

// The status line, and under it the tracks' meters where the terminal holds them.
std::vector<std::string> StatusLines(const Terminal& p_Terminal, const std::string& p_Line,
                                     const Org::OrgSong& p_Song, const SongPlayback& p_Playback,
                                     TrackMeters& p_Meters, const PlayOptions& p_Options)
{
    const Org::TrackMix l_Tracks = TracksOf(p_Options);
    std::vector<std::string> l_Lines = {p_Line};
    const std::vector<std::string> l_Meters = p_Meters.Lines(p_Song, l_Tracks);
    if (!l_Meters.empty() && p_Terminal.HoldsLines(1 + l_Meters.size())) {
        const PlaybackStatus l_Status = p_Playback.Status();
        p_Meters.Follow(l_Status.playedMs, l_Status.paused || p_Playback.Finished(), l_Tracks,
                        p_Options.tempo, p_Options.transpose);
        l_Lines = p_Meters.Lines(p_Song, l_Tracks);
        l_Lines.insert(l_Lines.begin(), p_Line);
    }
    return l_Lines;
}

// Follows the song started in p_Playback until it ends or a command ends it, holding p_Lock (the
// clock's) but while it waits and while it tells the terminal and the bus, which may be slow to take
// what they are given: the engine's thread never waits for them.
Outcome FollowSong(SongPlayback& p_Playback, const Org::OrgSong& p_Song, const std::string& p_Name,
                   TrackMeters& p_Meters, Player& p_Player, std::unique_lock<std::mutex>& p_Lock)
{
    Terminal& l_Terminal = p_Player.terminal;
    const PlayOptions& l_Options = p_Player.options;
    Outcome l_Outcome = Outcome::ENDED;
    Clock::time_point l_NextStatus = Clock::now();
    while (!p_Playback.Finished() && StopSignal() == 0 && l_Outcome == Outcome::ENDED) {
        const PlaybackStatus l_Status = p_Playback.Status();
        std::vector<std::string> l_Lines;
        if (l_Terminal.Active() && Clock::now() >= l_NextStatus) {
            l_Lines = StatusLines(l_Terminal, StatusLine(p_Name, l_Status, l_Options), p_Song, p_Playback,
                                  p_Meters, l_Options);
            l_NextStatus = Clock::now() + STATUS_PERIOD;
        }
        // Sleeps until the end is due (a while longer when it is), or the status line's next time.
        const unsigned long l_ToEnd = p_Playback.MsToEnd(p_Player.clock.Now());
        Clock::time_point l_Until =
            Clock::now() + std::chrono::milliseconds(l_ToEnd > 0 ? l_ToEnd : END_CHECK_MS);
        if (l_Terminal.Active() && l_NextStatus < l_Until)
            l_Until = l_NextStatus;
        p_Lock.unlock();
        p_Player.mpris.SetPlayback(BusPlayback(l_Status));
        if (!l_Lines.empty())
            l_Terminal.ShowLines(l_Lines);
        const std::vector<PlayCommand> l_Commands = WaitForCommands(p_Player, l_Until);
        p_Lock.lock();
        const unsigned long l_Then = p_Player.clock.Now();
        l_Outcome = Obey(l_Commands, p_Playback, l_Then, p_Player);
        if (!l_Commands.empty())
            l_NextStatus = Clock::now();  // show what the command did at once
        p_Playback.Advance(l_Then);
        p_Player.sampler.Update();
    }
    return l_Outcome;
}

Outcome PlaySong(const SongList& p_List, Org::OrgSong& p_Song, const std::vector<std::uint8_t>& p_Bytes,
                 Player& p_Player)
{
    // The status line goes to the terminal too: the name is shown safely there as well.
    const std::string l_Name = PrintableText(p_List.Path().substr(p_List.Path().find_last_of('/') + 1));
    Terminal& l_Terminal = p_Player.terminal;
    EngineClock& l_Clock = p_Player.clock;
    PlayOptions& l_Options = p_Player.options;
    SongPlayback l_Playback(p_Song, p_Player.sampler, l_Options.loops, l_Options.seconds, l_Options.volume);
    TrackMeters l_Meters(p_Bytes);
    std::unique_lock<std::mutex> l_Lock(l_Clock.lock);
    p_Player.sampler.SetTracks(TracksOf(l_Options));
    p_Player.sampler.SetPitchShift(l_Options.transpose);
    l_Playback.Start(l_Clock.Now());
    l_Playback.SetTempoFactor(l_Options.tempo, l_Clock.Now());
    l_Clock.Follow(&l_Playback);
    const unsigned long long l_Length = l_Playback.Status().lengthMs;
    l_Lock.unlock();
    p_Player.mpris.SetTrack(
        {p_List.Index(), p_List.Path(), l_Length, p_List.HasNext(), p_List.HasPrevious()});
    p_Player.mpris.Start();  // the first song's first notes are already on their way to the device
    l_Lock.lock();
    const Outcome l_Outcome = FollowSong(l_Playback, p_Song, l_Name, l_Meters, p_Player, l_Lock);
    l_Clock.Follow(nullptr);
    l_Lock.unlock();
    l_Options.volume = l_Playback.Status().volume;  // a volume once set carries on
    if (l_Terminal.Active()) {
        l_Terminal.ShowLines(StatusLines(l_Terminal, StatusLine(l_Name, l_Playback.Status(), l_Options),
                                         p_Song, l_Playback, l_Meters, l_Options));
        l_Terminal.EndStatus();
    }
    return l_Outcome;
}

// Plays the songs of p_List in turn; false when one of them could not be played.
bool PlayAll(SongList& p_List, Player& p_Player)
{
    bool l_AllPlayed = true;
    while (!p_List.Done() && StopSignal() == 0) {
        Org::OrgSong l_Song;
        std::vector<std::uint8_t> l_Bytes;
        if (!LoadSong(p_List.Path(), p_Player.options, l_Song, l_Bytes)) {
            l_AllPlayed = false;
            p_List.Fail();
            continue;
        }
        p_Player.sampler.LoadSoundsOf(l_Song);
        const Outcome l_Outcome = PlaySong(p_List, l_Song, l_Bytes, p_Player);
        if (l_Outcome == Outcome::QUIT)
            break;
        if (l_Outcome == Outcome::PREVIOUS)
            p_List.Previous();
        else
            p_List.Next();
    }
    return l_AllPlayed;
}

}  // namespace

int main(int argc, char** argv)
{
    SetBeforeComplaint(ClearStatus);
    PlayOptions l_Options;
    const int l_Status = ParseCommandLine(argc, argv, l_Options);
    if (l_Status >= 0)
        return l_Status;

    const std::string l_DataDir = l_Options.dataDir.empty() ? FindDataDir(argv[0]) : l_Options.dataDir;
    if (l_DataDir.empty() || !HasSamples(l_DataDir)) {
        Complain(l_Options.dataDir.empty()
                     ? "cannot find the instrument samples; point at them with --data DIR"
                     : "no instrument samples under '" + l_Options.dataDir +
                           "' (expected melody/ and percussion/)");
        return 1;
    }
    CatchStopSignals();
    std::string l_Error;
    if (!OpenSoundCard(l_Options.device, l_Options.resampler, l_Error)) {
        Complain(l_Error);
        return 1;
    }
    bool l_Failed = false;
    {
        PlaySampler l_Sampler(l_DataDir);
        Terminal l_Terminal;
        g_Terminal = &l_Terminal;
        tw_set_log_function(LogMessage, nullptr);
        Mpris l_Mpris;
        EngineClock l_Clock;
        Player l_Player = {l_Clock, l_Sampler, l_Terminal, l_Mpris, l_Options};
        SongList l_List(l_Options.songs);
        l_Failed = !PlayAll(l_List, l_Player);
        tw_set_log_function(nullptr, nullptr);
        g_Terminal = nullptr;
    }
    CloseSoundCard();
    // Ended by a signal: dying of it, once the sound card and the terminal are given back, tells a
    // shell loop over the player to stop too.
    if (StopSignal() != 0) {
        std::fflush(nullptr);
        DieOfSignal(StopSignal());
    }
    return l_Failed ? 1 : 0;
}
