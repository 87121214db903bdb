#ifndef TUNEWRIGHT_MPRISBUS_H
#define TUNEWRIGHT_MPRISBUS_H

// Inside Mpris: what the player's thread and the bus's thread share, and the objects on the bus
// (MprisObjects.cpp).
#include <gio/gio.h>

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

struct Mpris::Bus
{
    // What the bus has yet to hear of.
    enum Change : unsigned { TRACK = 1, STATUS = 2, VOLUME = 4, SEEKED = 8 };

    // From the bus's thread: queued for the player and wakes it.
    void Give(const PlayCommand& p_Command);
    MprisView View();
    // On the bus's thread: tells it of the changes since the last time.
    void Announce();
    void Run();  // the bus's thread
    // Under the lock: has the bus's thread announce the changes soon.
    void AnnounceSoon();

    std::mutex lock;
    // Under the lock.
    MprisView view;
    std::chrono::steady_clock::time_point viewAt;  // when the player last said where it stands
    unsigned long seekedMs = 0;
    unsigned changes = 0;
    bool announcing = false;  // a source that announces them is on its way
    std::vector<PlayCommand> commands;

    // Set before the thread starts, left alone until it has ended.
    int wake[2] = {-1, -1};  // the pipe that wakes the player
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GCancellable* cancellable = nullptr;
    std::thread thread;

    // The bus's thread's alone.
    GDBusConnection* connection = nullptr;
    std::vector<unsigned> registrations;
};

// MprisObjects.cpp: the media player's two objects on p_Bus.connection, and their signals.
bool RegisterObjects(Mpris::Bus& p_Bus);
void UnregisterObjects(Mpris::Bus& p_Bus);
void EmitChanges(GDBusConnection* p_Connection, unsigned p_Changes, const MprisView& p_View,
                 unsigned long p_SeekedMs);

#endif
