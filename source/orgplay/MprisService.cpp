// The bus's module: the player's connection to the session bus on a GLib main context of the bus's
// thread. Only that thread touches the connection; other threads attach sources to its context,
// which GLib allows from any thread.
#include <unistd.h>

#include <string>

#include "MprisModule.h"

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

class GlibService final : public MprisService
{
public:
    explicit GlibService(Mpris::Bus& p_Bus)
        : m_Bus(p_Bus), m_Context(g_main_context_new()), m_Loop(g_main_loop_new(m_Context, FALSE)),
          m_Cancellable(g_cancellable_new())
    {}
    ~GlibService() override
    {
        g_object_unref(m_Cancellable);
        g_main_loop_unref(m_Loop);
        g_main_context_unref(m_Context);
    }
    GlibService(const GlibService&) = delete;
    GlibService& operator=(const GlibService&) = delete;

    void Serve() override
    {
        g_main_context_push_thread_default(m_Context);
        m_Connection = ConnectToSessionBus(m_Cancellable);
        // The objects come first: a client that sees the name can ask them at once.
        if (m_Connection != nullptr && RegisterObjects(m_Connection, m_Bus, m_Registrations) &&
            OwnName(m_Connection, m_Cancellable))
            g_main_loop_run(m_Loop);
        if (m_Connection != nullptr) {
            UnregisterObjects(m_Connection, m_Registrations);
            // The last replies (to a Quit above all) go out before the name is given back.
            g_dbus_connection_flush_sync(m_Connection, nullptr, nullptr);
            g_dbus_connection_close_sync(m_Connection, nullptr, nullptr);
            g_object_unref(m_Connection);
            m_Connection = nullptr;
        }
        g_main_context_pop_thread_default(m_Context);
    }

    void AnnounceSoon() override { AttachIdle(m_Context, Announce, this); }

    void Stop() override
    {
        g_cancellable_cancel(m_Cancellable);  // a connection still being made
        AttachIdle(m_Context, QuitLoop, m_Loop);
    }

private:
    static gboolean Announce(gpointer p_Service)
    {
        GlibService& l_Service = *static_cast<GlibService*>(p_Service);
        unsigned long l_SeekedMs = 0;
        const unsigned l_Changes = l_Service.m_Bus.TakeChanges(l_SeekedMs);
        if (l_Service.m_Connection != nullptr && l_Changes != 0)
            EmitChanges(l_Service.m_Connection, l_Changes, l_Service.m_Bus.View(), l_SeekedMs);
        return G_SOURCE_REMOVE;
    }

    Mpris::Bus& m_Bus;
    GMainContext* m_Context;
    GMainLoop* m_Loop;
    GCancellable* m_Cancellable;
    // The bus's thread's alone.
    GDBusConnection* m_Connection = nullptr;
    std::vector<guint> m_Registrations;
};

}  // namespace

void Mpris::Bus::Give(const PlayCommand& p_Command)
{
    // The byte goes in with the command, under the lock, so that the pipe holds bytes only while
    // commands wait: the player's thread reads it only when it takes some.
    const std::lock_guard<std::mutex> l_Lock(lock);
    if (commands.size() >= MAX_QUEUED)
        return;
    commands.push_back(p_Command);
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

unsigned Mpris::Bus::TakeChanges(unsigned long& p_SeekedMs)
{
    const std::lock_guard<std::mutex> l_Lock(lock);
    const unsigned l_Changes = changes;
    p_SeekedMs = seekedMs;
    changes = 0;
    announcing = false;
    return l_Changes;
}

extern "C" __attribute__((visibility("default"))) MprisService* TunewrightMprisService(Mpris::Bus& p_Bus)
{
    return new GlibService(p_Bus);
}
