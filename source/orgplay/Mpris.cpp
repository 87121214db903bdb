// The player's side of the bus: the bus's thread, which opens the bus's module (GLib and all) once
// the first song sounds, and what passes between that thread and the player's. The player's thread
// changes the shared view under the lock and has the service announce it; commands come back
// through a queue and a pipe that wakes the player's wait.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <system_error>

#include "DataDir.h"
#include "MprisBus.h"

namespace {

// The module beside the program (a build tree), or where the program's installation keeps it.
void* OpenModule()
{
    const std::string l_Dir = ProgramDir(nullptr) + "/";
    for (const std::string& l_Candidate :
         {l_Dir + TUNEWRIGHT_MPRIS_MODULE, l_Dir + TUNEWRIGHT_MPRIS_MODULE_DIR "/" TUNEWRIGHT_MPRIS_MODULE}) {
        // GLib cannot be unloaded (its types stay registered): the module stays once opened.
        if (void* l_Module = dlopen(l_Candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
            return l_Module;
    }
    return nullptr;
}

}  // namespace

void Mpris::Bus::Run()
{
    void* l_Module = OpenModule();
    if (l_Module == nullptr)
        return;
    using Entry = MprisService* (*)(Mpris::Bus&);
    const auto l_Entry = reinterpret_cast<Entry>(dlsym(l_Module, TUNEWRIGHT_MPRIS_ENTRY));
    std::unique_ptr<MprisService> l_Service(l_Entry != nullptr ? l_Entry(*this) : nullptr);
    if (l_Service == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> l_Lock(lock);
        if (stopping)
            return;
        service = l_Service.get();
        AnnounceSoon();  // what was set while the module loaded
    }
    l_Service->Serve();
    const std::lock_guard<std::mutex> l_Lock(lock);
    service = nullptr;
}

void Mpris::Bus::AnnounceSoon()
{
    if (announcing || changes == 0 || service == nullptr)
        return;
    announcing = true;
    service->AnnounceSoon();
}

Mpris::Mpris() : bus(std::make_unique<Bus>()) {}

void Mpris::Start()
{
    if (bus->wake[0] >= 0)
        return;
    if (pipe2(bus->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        bus->wake[0] = bus->wake[1] = -1;
        return;
    }
    // The signals that stop the player are for its own thread, whose wait they end: the bus's
    // thread, and GDBus's that it starts, are born with them blocked.
    sigset_t l_All, l_Before;
    sigfillset(&l_All);
    pthread_sigmask(SIG_SETMASK, &l_All, &l_Before);
    try {
        bus->thread = std::thread([l_Bus = bus.get()] { l_Bus->Run(); });
    } catch (const std::system_error&) {
        // Plays without the bus.
    }
    pthread_sigmask(SIG_SETMASK, &l_Before, nullptr);
}

Mpris::~Mpris()
{
    if (bus->thread.joinable()) {
        {
            const std::lock_guard<std::mutex> l_Lock(bus->lock);
            bus->stopping = true;
            if (bus->service != nullptr)
                bus->service->Stop();
        }
        bus->thread.join();
    }
    for (int l_Fd : bus->wake)
        if (l_Fd >= 0)
            close(l_Fd);
}

int Mpris::WakeFd() const { return bus->thread.joinable() ? bus->wake[0] : -1; }

std::vector<PlayCommand> Mpris::TakeCommands()
{
    std::vector<PlayCommand> l_Commands;
    if (!bus->thread.joinable())
        return l_Commands;
    // Taken between the player's waits, which mostly end on the clock: no read while none wait.
    const std::lock_guard<std::mutex> l_Lock(bus->lock);
    if (bus->commands.empty())
        return l_Commands;
    l_Commands.swap(bus->commands);
    char l_Bytes[64];
    while (read(bus->wake[0], l_Bytes, sizeof l_Bytes) > 0)
        continue;
    return l_Commands;
}

void Mpris::SetTrack(const MprisTrack& p_Track)
{
    const std::lock_guard<std::mutex> l_Lock(bus->lock);
    bus->view.hasTrack = true;
    bus->view.track = p_Track;
    bus->changes |= Bus::TRACK;
    bus->AnnounceSoon();
}

void Mpris::SetPlayback(const MprisPlayback& p_Playback)
{
    const std::lock_guard<std::mutex> l_Lock(bus->lock);
    MprisPlayback& l_Old = bus->view.playback;
    if (p_Playback.status != l_Old.status)
        bus->changes |= Bus::STATUS;
    if (p_Playback.volume != l_Old.volume)
        bus->changes |= Bus::VOLUME;
    l_Old = p_Playback;
    bus->viewAt = std::chrono::steady_clock::now();
    bus->AnnounceSoon();
}

void Mpris::Seeked(unsigned long p_PositionMs)
{
    const std::lock_guard<std::mutex> l_Lock(bus->lock);
    bus->seekedMs = p_PositionMs;
    bus->changes |= Bus::SEEKED;
    bus->AnnounceSoon();
}
