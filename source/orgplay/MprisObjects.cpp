// The media player's objects on the bus: org.mpris.MediaPlayer2 and its .Player, read from the
// shared view and turned into the player's commands. Everything here runs on the bus's thread.
#include <string>
#include <utility>

#include "MprisModule.h"

namespace {

const char* const OBJECT_PATH = "/org/mpris/MediaPlayer2";
const char* const PLAYER_INTERFACE = "org.mpris.MediaPlayer2.Player";
const char* const NO_TRACK = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
const char* const SONG_SUFFIX = ".org";
constexpr gint64 US_PER_MS = 1000;

const char* const INTROSPECTION = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition">
      <arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/>
    </method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

std::string TrackId(const MprisView& p_View)
{
    return p_View.hasTrack ? "/org/tunewright/track/" + std::to_string(p_View.track.index) : NO_TRACK;
}

// The file's name without the songs' suffix; the bus takes UTF-8 only.
GVariant* Title(const std::string& p_Path)
{
    std::string l_Name = p_Path.substr(p_Path.find_last_of('/') + 1);
    const std::string l_Suffix = SONG_SUFFIX;
    if (l_Name.size() > l_Suffix.size() &&
        l_Name.compare(l_Name.size() - l_Suffix.size(), l_Suffix.size(), l_Suffix) == 0)
        l_Name.resize(l_Name.size() - l_Suffix.size());
    return g_variant_new_take_string(g_utf8_make_valid(l_Name.c_str(), static_cast<gssize>(l_Name.size())));
}

GVariant* Metadata(const MprisView& p_View)
{
    GVariantBuilder l_Builder;
    g_variant_builder_init(&l_Builder, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&l_Builder, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(TrackId(p_View).c_str()));
    if (p_View.hasTrack) {
        g_variant_builder_add(&l_Builder, "{sv}", "xesam:title", Title(p_View.track.path));
        if (p_View.track.lengthMs > 0)
            g_variant_builder_add(&l_Builder, "{sv}", "mpris:length",
                                  g_variant_new_int64(gint64(p_View.track.lengthMs) * US_PER_MS));
        gchar* l_Absolute = g_canonicalize_filename(p_View.track.path.c_str(), nullptr);
        gchar* l_Uri = g_filename_to_uri(l_Absolute, nullptr, nullptr);
        g_free(l_Absolute);
        if (l_Uri != nullptr)
            g_variant_builder_add(&l_Builder, "{sv}", "xesam:url", g_variant_new_take_string(l_Uri));
    }
    return g_variant_builder_end(&l_Builder);
}

const char* StatusName(MprisPlayback::Status p_Status)
{
    switch (p_Status) {
    case MprisPlayback::Status::PLAYING:
        return "Playing";
    case MprisPlayback::Status::PAUSED:
        return "Paused";
    case MprisPlayback::Status::STOPPED:
        break;
    }
    return "Stopped";
}

GVariant* Strings(const char* p_Only) { return g_variant_new_strv(&p_Only, 1); }

struct Property
{
    const char* name;
    GVariant* (*get)(const MprisView& p_View);
};

// Both interfaces' properties (their names differ), each read one way for a reply and a signal.
const Property kProperties[] = {
    {"CanQuit", [](const MprisView&) { return g_variant_new_boolean(TRUE); }},
    {"CanRaise", [](const MprisView&) { return g_variant_new_boolean(FALSE); }},
    {"HasTrackList", [](const MprisView&) { return g_variant_new_boolean(FALSE); }},
    {"Identity", [](const MprisView&) { return g_variant_new_string("tunewright-play"); }},
    {"SupportedUriSchemes", [](const MprisView&) { return Strings("file"); }},
    {"SupportedMimeTypes", [](const MprisView&) { return Strings(TUNEWRIGHT_SONG_MIME_TYPE); }},
    {"PlaybackStatus",
     [](const MprisView& p_View) { return g_variant_new_string(StatusName(p_View.playback.status)); }},
    {"Rate", [](const MprisView&) { return g_variant_new_double(1.0); }},
    {"MinimumRate", [](const MprisView&) { return g_variant_new_double(1.0); }},
    {"MaximumRate", [](const MprisView&) { return g_variant_new_double(1.0); }},
    {"Metadata", Metadata},
    {"Volume", [](const MprisView& p_View) { return g_variant_new_double(p_View.playback.volume); }},
    {"Position",
     [](const MprisView& p_View) {
         return g_variant_new_int64(gint64(p_View.playback.positionMs) * US_PER_MS);
     }},
    {"CanGoNext", [](const MprisView& p_View) { return g_variant_new_boolean(p_View.track.hasNext); }},
    {"CanGoPrevious",
     [](const MprisView& p_View) { return g_variant_new_boolean(p_View.track.hasPrevious); }},
    {"CanPlay", [](const MprisView& p_View) { return g_variant_new_boolean(p_View.hasTrack); }},
    {"CanPause", [](const MprisView& p_View) { return g_variant_new_boolean(p_View.hasTrack); }},
    {"CanSeek", [](const MprisView& p_View) { return g_variant_new_boolean(p_View.hasTrack); }},
    {"CanControl", [](const MprisView&) { return g_variant_new_boolean(TRUE); }},
};

GVariant* PropertyValue(const std::string& p_Name, const MprisView& p_View)
{
    for (const Property& l_Property : kProperties)
        if (p_Name == l_Property.name)
            return l_Property.get(p_View);
    return nullptr;
}

GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* p_Name,
                      GError** p_Error, gpointer p_Bus)
{
    GVariant* l_Value = PropertyValue(p_Name, static_cast<Mpris::Bus*>(p_Bus)->View());
    if (l_Value == nullptr)
        g_set_error(p_Error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", p_Name);
    return l_Value;
}

gboolean SetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* p_Name,
                     GVariant* p_Value, GError**, gpointer p_Bus)
{
    // A rate other than 1 is not taken, as the bus's rules ask.
    if (std::string(p_Name) == "Volume" && g_variant_is_of_type(p_Value, G_VARIANT_TYPE_DOUBLE))
        static_cast<Mpris::Bus*>(p_Bus)->Give({PlayCommand::Kind::SET_VOLUME, g_variant_get_double(p_Value)});
    return TRUE;
}

// The position p_Parameters ask SetPosition for, in ms; -1 when it is not in the song playing.
double PositionAsked(GVariant* p_Parameters, const MprisView& p_View)
{
    const gchar* l_Track = nullptr;
    gint64 l_Us = 0;
    g_variant_get(p_Parameters, "(&ox)", &l_Track, &l_Us);
    const bool l_InSong =
        l_Us >= 0 && (p_View.track.lengthMs == 0 || l_Us <= gint64(p_View.track.lengthMs) * US_PER_MS);
    return TrackId(p_View) == l_Track && p_View.hasTrack && l_InSong ? double(l_Us) / US_PER_MS : -1.0;
}

// The command a method asks for; false for none (Raise, or a move the player cannot make).
bool CommandOf(const std::string& p_Method, GVariant* p_Parameters, const MprisView& p_View,
               PlayCommand& p_Command)
{
    using Kind = PlayCommand::Kind;
    const std::pair<const char*, Kind> l_Plain[] = {{"Quit", Kind::QUIT},
                                                    {"Pause", Kind::PAUSE},
                                                    {"Play", Kind::PLAY},
                                                    {"PlayPause", Kind::TOGGLE_PAUSE},
                                                    {"Stop", Kind::STOP}};
    for (const auto& l_Entry : l_Plain)
        if (p_Method == l_Entry.first) {
            p_Command = {l_Entry.second};
            return true;
        }
    if (p_Method == "Next" || p_Method == "Previous") {
        p_Command = {p_Method == "Next" ? Kind::NEXT : Kind::PREVIOUS};
        return p_Method == "Next" ? p_View.track.hasNext : p_View.track.hasPrevious;
    }
    if (p_Method == "Seek") {
        gint64 l_Us = 0;
        g_variant_get(p_Parameters, "(x)", &l_Us);
        p_Command = {Kind::SEEK_BY_MS, double(l_Us) / US_PER_MS};
        return p_View.hasTrack;
    }
    if (p_Method == "SetPosition") {
        p_Command = {Kind::SEEK_TO_MS, PositionAsked(p_Parameters, p_View)};
        return p_Command.amount >= 0.0;
    }
    return false;
}

void CallMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* p_Method,
                GVariant* p_Parameters, GDBusMethodInvocation* p_Invocation, gpointer p_Bus)
{
    Mpris::Bus& l_Bus = *static_cast<Mpris::Bus*>(p_Bus);
    if (std::string(p_Method) == "OpenUri") {
        g_dbus_method_invocation_return_error(p_Invocation, G_DBUS_ERROR, G_DBUS_ERROR_NOT_SUPPORTED,
                                              "tunewright-play plays the songs of its command line only");
        return;
    }
    PlayCommand l_Command = {PlayCommand::Kind::PLAY};
    if (CommandOf(p_Method, p_Parameters, l_Bus.View(), l_Command))
        l_Bus.Give(l_Command);
    g_dbus_method_invocation_return_value(p_Invocation, nullptr);
}

void Emit(GDBusConnection* p_Connection, const char* p_Interface, const char* p_Signal, GVariant* p_Values)
{
    g_dbus_connection_emit_signal(p_Connection, nullptr, OBJECT_PATH, p_Interface, p_Signal, p_Values,
                                  nullptr);
}

}  // namespace

bool RegisterObjects(GDBusConnection* p_Connection, Mpris::Bus& p_Bus, std::vector<guint>& p_Registrations)
{
    static const GDBusInterfaceVTable s_VTable = {CallMethod, GetProperty, SetProperty, {}};
    GDBusNodeInfo* l_Node = g_dbus_node_info_new_for_xml(INTROSPECTION, nullptr);
    if (l_Node == nullptr)
        return false;
    for (GDBusInterfaceInfo** l_Interface = l_Node->interfaces; *l_Interface != nullptr; ++l_Interface) {
        const guint l_Id = g_dbus_connection_register_object(p_Connection, OBJECT_PATH, *l_Interface,
                                                             &s_VTable, &p_Bus, nullptr, nullptr);
        if (l_Id != 0)
            p_Registrations.push_back(l_Id);
    }
    g_dbus_node_info_unref(l_Node);
    return p_Registrations.size() == 2;
}

void UnregisterObjects(GDBusConnection* p_Connection, std::vector<guint>& p_Registrations)
{
    for (guint l_Id : p_Registrations)
        g_dbus_connection_unregister_object(p_Connection, l_Id);
    p_Registrations.clear();
}

void EmitChanges(GDBusConnection* p_Connection, unsigned p_Changes, const MprisView& p_View,
                 unsigned long p_SeekedMs)
{
    using Bus = Mpris::Bus;
    const std::pair<unsigned, const char*> l_Changed[] = {
        {Bus::TRACK, "Metadata"},        {Bus::TRACK, "CanGoNext"}, {Bus::TRACK, "CanGoPrevious"},
        {Bus::TRACK, "CanPlay"},         {Bus::TRACK, "CanPause"},  {Bus::TRACK, "CanSeek"},
        {Bus::STATUS, "PlaybackStatus"}, {Bus::VOLUME, "Volume"}};
    GVariantBuilder l_Builder;
    g_variant_builder_init(&l_Builder, G_VARIANT_TYPE("a{sv}"));
    for (const auto& l_Entry : l_Changed)
        if ((p_Changes & l_Entry.first) != 0)
            g_variant_builder_add(&l_Builder, "{sv}", l_Entry.second, PropertyValue(l_Entry.second, p_View));
    GVariant* l_Values = g_variant_builder_end(&l_Builder);
    if (g_variant_n_children(l_Values) > 0)
        Emit(p_Connection, "org.freedesktop.DBus.Properties", "PropertiesChanged",
             g_variant_new("(s@a{sv}@as)", PLAYER_INTERFACE, l_Values, g_variant_new_strv(nullptr, 0)));
    else
        g_variant_unref(g_variant_ref_sink(l_Values));
    if ((p_Changes & Bus::SEEKED) != 0)
        Emit(p_Connection, PLAYER_INTERFACE, "Seeked", g_variant_new("(x)", gint64(p_SeekedMs) * US_PER_MS));
}
