#ifndef TUNEWRIGHT_MPRIS_H
#define TUNEWRIGHT_MPRIS_H

// The player on the desktop's session bus as an MPRIS media player, so that media keys and tools
// such as playerctl see what plays and control it. The bus is served on a thread of its own, on a
// GLib main context of its own; the player's thread hands over what plays and takes the commands,
// the same commands its keys give. With no session bus, or built without GLib (MprisNone.cpp), it
// does nothing and no command comes.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "PlayCommand.h"

// The song playing, as the bus shows it.
struct MprisTrack
{
    std::size_t index = 0;  // in the list of songs, for a track id of its own
    std::string path;
    unsigned long long lengthMs = 0;  // 0: for ever
    bool hasNext = false, hasPrevious = false;
};

// Where the playing stands.
struct MprisPlayback
{
    enum class Status { PLAYING, PAUSED, STOPPED };
    Status status = Status::STOPPED;
    unsigned long positionMs = 0;  // of the song as played
    float volume = 0.5f;
};

class Mpris
{
public:
    // Nothing yet: the bus is joined by Start.
    Mpris();
    // Leaves the bus.
    ~Mpris();
    Mpris(const Mpris&) = delete;
    Mpris& operator=(const Mpris&) = delete;

    // Starts to join the bus in the background, once (the player calls it once its first song
    // sounds, so that the bus's thread, its connection and its objects wait behind the first note):
    // the player never waits for it. What was set before is shown from then on.
    void Start();

    // Readable while commands wait to be taken (-1: none ever come), for the player's wait.
    int WakeFd() const;
    std::vector<PlayCommand> TakeCommands();

    // A new song plays.
    void SetTrack(const MprisTrack& p_Track);
    // Where it stands, as often as the player likes: the bus hears of changes only.
    void SetPlayback(const MprisPlayback& p_Playback);
    // The position jumped (a seek) to p_PositionMs.
    void Seeked(unsigned long p_PositionMs);

    struct Bus;  // the thread and what it shares with the player

private:
    std::unique_ptr<Bus> bus;
};

#endif
