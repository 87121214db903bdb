#ifndef TUNEWRIGHT_MPRISBUS_H
#define TUNEWRIGHT_MPRISBUS_H

// Inside Mpris: what the player's thread and the bus's thread share. The bus itself needs GLib,
// whose ten libraries would load before the first note if the player linked them: it lives in a
// module of its own (MprisService.cpp, MprisObjects.cpp), which the bus's thread opens.
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "Mpris.h"

// What the bus is shown at one moment.
struct MprisView
{
    bool hasTrack = false;
    MprisTrack track;
    MprisPlayback playback;  // its position as of that moment
};

// The module's side of the bus: made on the bus's thread, which then serves it until it is stopped.
class MprisService
{
public:
    virtual ~MprisService() = default;
    // On the bus's thread: joins the bus and answers it, until stopped (or the bus is gone).
    virtual void Serve() = 0;
    // From any thread, under the Bus's lock: the changes are announced soon, on the bus's thread.
    virtual void AnnounceSoon() = 0;
    // From any thread, under the Bus's lock: Serve returns soon, a connection still being made
    // given up.
    virtual void Stop() = 0;
};

struct Mpris::Bus
{
    // What the bus has yet to hear of.
    enum Change : unsigned { TRACK = 1, STATUS = 2, VOLUME = 4, SEEKED = 8 };

    // From the bus's thread: queued for the player and wakes it.
    void Give(const PlayCommand& p_Command);
    MprisView View();
    // On the bus's thread: the changes since the last time, taken (0: none).
    unsigned TakeChanges(unsigned long& p_SeekedMs);
    void Run();  // the bus's thread
    // Under the lock: has the bus's thread announce the changes soon.
    void AnnounceSoon();

    std::mutex lock;
    // Under the lock.
    MprisView view;
    std::chrono::steady_clock::time_point viewAt;  // when the player last said where it stands
    unsigned long seekedMs = 0;
    unsigned changes = 0;
    bool announcing = false;  // an announcement is on its way
    std::vector<PlayCommand> commands;
    bool stopping = false;            // the player is leaving the bus
    MprisService* service = nullptr;  // while it serves
    // Set before the thread starts, left alone until it has ended.
    int wake[2] = {-1, -1};  // the pipe that wakes the player
    std::thread thread;
};

// The module's one entry, by this name: the service of p_Bus, or null where it cannot be made.
extern "C" MprisService* TunewrightMprisService(Mpris::Bus& p_Bus);
#define TUNEWRIGHT_MPRIS_ENTRY "TunewrightMprisService"

#endif
