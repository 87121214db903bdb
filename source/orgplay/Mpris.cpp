// The bus's thread, and what passes between it and the player's thread. Only the bus's thread
// touches the connection; the player's thread changes the shared view under the lock and attaches
// a source to the bus's context (which GLib allows from any thread) to have the changes announced.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "MprisBus.h"

namespace {

const std::string BUS_NAME = "org.mpris.MediaPlayer2.tunewright";
// RequestName's flag and answer (the message bus's own numbers).
constexpr guint32 NAME_DO_NOT_QUEUE = 4;
constexpr guint32 NAME_PRIMARY_OWNER = 1;
// Commands a client may queue before the player takes them; beyond, they are dropped.
constexpr std::size_t MAX_QUEUED = 64;

void AttachIdle(GMainContext* p_Context, GSourceFunc p_Function, gpointer p_Data)
{
    GSource* l_Source = g_idle_source_new();
    g_source_set_callback(l_Source, p_Function, p_Data, nullptr);
    g_source_attach(l_Source, p_Context);
    g_source_unref(l_Source);
}

gboolean QuitLoop(gpointer p_Loop)
{
    g_main_loop_quit(static_cast<GMainLoop*>(p_Loop));
    return G_SOURCE_REMOVE;
}

gboolean AnnounceChanges(gpointer p_Bus)
{
    static_cast<Mpris::Bus*>(p_Bus)->Announce();
    return G_SOURCE_REMOVE;
}

// A connection of our own rather than GLib's shared one, which would end the process when the
// bus goes away.
GDBusConnection* ConnectToSessionBus(GCancellable* p_Cancellable)
{
    gchar* l_Address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, p_Cancellable, nullptr);
    if (l_Address == nullptr)
        return nullptr;
    GDBusConnection* l_Connection = g_dbus_connection_new_for_address_sync(
        l_Address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, p_Cancellable, nullptr);
    g_free(l_Address);
    return l_Connection;
}

bool RequestName(GDBusConnection* p_Connection, const std::string& p_Name, GCancellable* p_Cancellable)
{
    GVariant* l_Reply = g_dbus_connection_call_sync(
        p_Connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", p_Name.c_str(), NAME_DO_NOT_QUEUE), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, p_Cancellable, nullptr);
    if (l_Reply == nullptr)
        return false;
    guint32 l_Answer = 0;
    g_variant_get(l_Reply, "(u)", &l_Answer);
    g_variant_unref(l_Reply);
    return l_Answer == NAME_PRIMARY_OWNER;
}

// The player's name, or with another of them already on the bus, one of its own by the pid.
bool OwnName(GDBusConnection* p_Connection, GCancellable* p_Cancellable)
{
    return RequestName(p_Connection, BUS_NAME, p_Cancellable) ||
           RequestName(p_Connection, BUS_NAME + ".instance" + std::to_string(getpid()), p_Cancellable);
}

}  // namespace

void Mpris::Bus::Run()
{
    g_main_context_push_thread_default(context);
    connection = ConnectToSessionBus(cancellable);
    // The objects come first: a client that sees the name can ask them at once.
    if (connection != nullptr && RegisterObjects(*this) && OwnName(connection, cancellable))
        g_main_loop_run(loop);
    if (connection != nullptr) {
        UnregisterObjects(*this);
        // The last replies (to a Quit above all) go out before the name is given back.
        g_dbus_connection_flush_sync(connection, nullptr, nullptr);
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
        connection = nullptr;
    }
    g_main_context_pop_thread_default(context);
}

void Mpris::Bus::Give(const PlayCommand& p_Command)
{
    {
        const std::lock_guard<std::mutex> l_Lock(lock);
        if (commands.size() >= MAX_QUEUED)
            return;
        commands.push_back(p_Command);
    }
    const ssize_t l_Written = write(wake[1], "", 1);
    static_cast<void>(l_Written);  // a full pipe is readable already
}

MprisView Mpris::Bus::View()
{
    const std::lock_guard<std::mutex> l_Lock(lock);
    MprisView l_View = view;
    // The player says where it stands at every beat: in between, the clock runs on.
    if (l_View.playback.status == MprisPlayback::Status::PLAYING) {
        const auto l_Since =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - viewAt);
        l_View.playback.positionMs += static_cast<unsigned long>(l_Since.count());
        const unsigned long long l_Length = l_View.track.lengthMs;
        if (l_Length > 0 && l_View.playback.positionMs > l_Length)
            l_View.playback.positionMs = static_cast<unsigned long>(l_Length);
    }
    return l_View;
}

void Mpris::Bus::AnnounceSoon()
{
    if (announcing || changes == 0 || context == nullptr)
        return;
    announcing = true;
    AttachIdle(context, AnnounceChanges, this);
}

void Mpris::Bus::Announce()
{
    unsigned l_Changes = 0;
    unsigned long l_SeekedMs = 0;
    {
        const std::lock_guard<std::mutex> l_Lock(lock);
        l_Changes = changes;
        l_SeekedMs = seekedMs;
        changes = 0;
        announcing = false;
    }
    if (connection != nullptr && l_Changes != 0)
        EmitChanges(connection, l_Changes, View(), l_SeekedMs);
}

Mpris::Mpris() : bus(std::make_unique<Bus>()) {}

void Mpris::Start()
{
    if (bus->context != nullptr || bus->wake[0] >= 0)
        return;
    if (pipe2(bus->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        bus->wake[0] = bus->wake[1] = -1;
        return;
    }
    bus->context = g_main_context_new();
    bus->loop = g_main_loop_new(bus->context, FALSE);
    bus->cancellable = g_cancellable_new();
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
        g_cancellable_cancel(bus->cancellable);  // a connection still being made
        AttachIdle(bus->context, QuitLoop, bus->loop);
        bus->thread.join();
    }
    if (bus->context != nullptr) {
        g_object_unref(bus->cancellable);
        g_main_loop_unref(bus->loop);
        g_main_context_unref(bus->context);
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
    char l_Bytes[64];
    while (read(bus->wake[0], l_Bytes, sizeof l_Bytes) > 0)
        continue;
    const std::lock_guard<std::mutex> l_Lock(bus->lock);
    l_Commands.swap(bus->commands);
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
