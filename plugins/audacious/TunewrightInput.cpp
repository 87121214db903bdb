// The tunewright input plugin for Audacious 4: it takes files that begin with "Org-02" (tried
// first for names ending in .org), opens them with tw_song_open_memory() and plays them as float
// frames from tw_song_read_float(). The playlist gets the song's length; a seek goes to
// tw_song_seek_seconds(); the loop count and the resampler are the plugin's settings.
#include <libaudcore/audstrings.h>
#include <libaudcore/i18n.h>
#include <libaudcore/plugin.h>
#include <libaudcore/preferences.h>
#include <libaudcore/runtime.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "tunewright-plugin.h"

namespace {

// Audacious resamples what it is given to its output's rate.
constexpr int RATE = TUNEWRIGHT_RATE;
// Frames per write: a stop or a seek is still taken at once, since a block renders in well under
// a millisecond; each write costs Audacious hand-offs between its threads (at 1024 frames they
// took more CPU than the song).
constexpr int FRAMES_PER_WRITE = TUNEWRIGHT_FRAMES_PER_BLOCK;

constexpr const char* SECTION = "tunewright";

const char* const g_Extensions[] = {"org", nullptr};
const char* const g_MimeTypes[] = {TUNEWRIGHT_SONG_MIME_TYPE, nullptr};

// The resamplers by the names tunewright-render and the VLC module take, which the setting holds.
struct Interpolation
{
    int number;
    const char* name;
};
#define TUNEWRIGHT_INTERPOLATION(p_Number, p_Name, p_Taps, p_Label) Interpolation{p_Number, p_Name},
constexpr Interpolation g_Interpolations[] = {TW_RESAMPLERS(TUNEWRIGHT_INTERPOLATION)};
#undef TUNEWRIGHT_INTERPOLATION
#define TUNEWRIGHT_COMBO_ITEM(p_Number, p_Name, p_Taps, p_Label) ComboItem(N_(p_Label), p_Name),
const ComboItem g_InterpolationItems[] = {TW_RESAMPLERS(TUNEWRIGHT_COMBO_ITEM)};
#undef TUNEWRIGHT_COMBO_ITEM

// The name of a resampler's number; null for none.
const char* InterpolationName(int p_Number)
{
    for (const Interpolation& l_Entry : g_Interpolations)
        if (l_Entry.number == p_Number)
            return l_Entry.name;
    return nullptr;
}

// The resampler the setting names; an unknown name is reported and the default is used.
int ChosenInterpolation()
{
    String l_Name = aud_get_str(SECTION, "interpolation");
    for (const Interpolation& l_Entry : g_Interpolations)
        if (!std::strcmp(l_Name, l_Entry.name))
            return l_Entry.number;
    AUDWARN("No resampler is called \"%s\"; playing with \"%s\".\n", (const char*)l_Name,
            InterpolationName(TUNEWRIGHT_DEFAULT_INTERPOLATION));
    return TUNEWRIGHT_DEFAULT_INTERPOLATION;
}

const PreferencesWidget g_Widgets[] = {
    WidgetLabel(N_("<b>Playback</b>")),
    WidgetSpin(N_("Loop repeats:"), WidgetInt(SECTION, "loops"),
               {-1, static_cast<double>(std::numeric_limits<int>::max()), 1, N_("(-1 repeats for ever)")}),
    WidgetCombo(N_("Resampler:"), WidgetString(SECTION, "interpolation"), {{g_InterpolationItems}, nullptr}),
};
const PluginPreferences g_Preferences = {{g_Widgets}, nullptr, nullptr, nullptr};

const char g_About[] = N_("Plays Org-02 songs through libtunewright.\n\n"
                          "Loop repeats: how often the song's loop plays again after its first pass.");

struct SongCloser
{
    void operator()(tw_song* p_Song) const { tw_song_close(p_Song); }
};
using SongPointer = std::unique_ptr<tw_song, SongCloser>;

// The song's messages (the sound engine failing) go to Audacious's log.
void Log(const char* p_Line, void*) { AUDWARN("%s", p_Line); }

// Reads the file from its start, up to the largest song: bytes after those are no part of any song.
std::vector<char> ReadSongBytes(VFSFile& p_File)
{
    std::vector<char> l_Bytes;
    if (p_File.fseek(0, VFS_SEEK_SET) != 0)
        return l_Bytes;
    size_t l_Size = 0;
    while (l_Size < TUNEWRIGHT_MAX_SONG_BYTES) {
        l_Bytes.resize(std::min<size_t>(TUNEWRIGHT_MAX_SONG_BYTES, l_Size + 65536));
        int64_t l_Read = p_File.fread(l_Bytes.data() + l_Size, 1, l_Bytes.size() - l_Size);
        if (l_Read <= 0)
            break;
        l_Size += static_cast<size_t>(l_Read);
    }
    l_Bytes.resize(l_Size);
    return l_Bytes;
}

// Opens the song from its bytes with the current settings; a failure is reported against p_Filename.
SongPointer OpenSong(const std::vector<char>& p_Bytes, const char* p_Filename)
{
    int l_Error = TW_OK;
    SongPointer l_Song(tw_song_open_memory(p_Bytes.data(), p_Bytes.size(), &l_Error));
    if (!l_Song) {
        AUDERR("%s is no song that can be played: %s\n", p_Filename, tw_error_string(l_Error));
        return l_Song;
    }
    tw_song_set_log_function(l_Song.get(), Log, nullptr);
    int l_Loops = aud_get_int(SECTION, "loops");
    tw_song_set_loops(l_Song.get(), l_Loops < -1 ? -1 : l_Loops);
    tw_song_set_interpolation(l_Song.get(), ChosenInterpolation());
    return l_Song;
}

}  // namespace

class TunewrightInput : public InputPlugin
{
public:
    static constexpr PluginInfo info = {N_("tunewright"), PACKAGE, g_About, &g_Preferences, 0};

    constexpr TunewrightInput()
        : InputPlugin(info, InputInfo().with_exts(g_Extensions).with_mimes(g_MimeTypes))
    {}

    bool init() override
    {
        const char* const l_Defaults[] = {"loops", "0", "interpolation",
                                          InterpolationName(TUNEWRIGHT_DEFAULT_INTERPOLATION), nullptr};
        aud_config_set_defaults(SECTION, l_Defaults);
        return true;
    }

    bool is_our_file(const char*, VFSFile& p_File) override
    {
        char l_Magic[TUNEWRIGHT_MAGIC_SIZE];
        return p_File.fread(l_Magic, 1, sizeof l_Magic) == sizeof l_Magic &&
               std::equal(l_Magic, l_Magic + sizeof l_Magic, TUNEWRIGHT_MAGIC);
    }

    bool read_tag(const char* p_Filename, VFSFile& p_File, Tuple& p_Tuple, Index<char>*) override
    {
        SongPointer l_Song = OpenSong(ReadSongBytes(p_File), p_Filename);
        if (!l_Song)
            return false;
        double l_Seconds = tw_song_get_duration_seconds(l_Song.get());
        if (std::isfinite(l_Seconds))
            p_Tuple.set_int(Tuple::Length, static_cast<int>(std::lround(l_Seconds * 1000)));
        p_Tuple.set_str(Tuple::Codec, "Org-02");
        p_Tuple.set_int(Tuple::Channels, 2);
        return true;
    }

    bool play(const char* p_Filename, VFSFile& p_File) override
    {
        std::vector<char> l_Bytes = ReadSongBytes(p_File);
        SongPointer l_Song = OpenSong(l_Bytes, p_Filename);
        if (!l_Song)
            return false;
        open_audio(FMT_FLOAT, RATE, 2);
        std::vector<float> l_Frames(2 * FRAMES_PER_WRITE);
        while (!check_stop()) {
            int l_SeekMs = check_seek();
            if (l_SeekMs >= 0)
                Seek(l_Song, l_Bytes, p_Filename, l_SeekMs);
            size_t l_Read = tw_song_read_float(l_Song.get(), RATE, FRAMES_PER_WRITE, l_Frames.data());
            if (l_Read == 0)
                break;
            write_audio(l_Frames.data(), static_cast<int>(l_Read * 2 * sizeof(float)));
        }
        return true;
    }

private:
    // Moves the song to p_Ms exactly: a song opened afresh (so that what plays from there is the
    // same whatever played before) goes to the beat at or before it, and the frames from that
    // beat to p_Ms are rendered and dropped, since Audacious counts the time from p_Ms on.
    static void Seek(SongPointer& p_Song, const std::vector<char>& p_Bytes, const char* p_Filename, int p_Ms)
    {
        if (SongPointer l_Fresh = OpenSong(p_Bytes, p_Filename))
            p_Song = std::move(l_Fresh);
        double l_Target = p_Ms / 1000.0;
        tw_song_seek_seconds(p_Song.get(), l_Target);
        double l_Gap = l_Target - tw_song_get_position_seconds(p_Song.get());
        size_t l_Skip = l_Gap > 0 ? static_cast<size_t>(std::lround(l_Gap * RATE)) : 0;
        std::vector<float> l_Dropped(2 * FRAMES_PER_WRITE);
        while (l_Skip > 0) {
            size_t l_Want = std::min<size_t>(l_Skip, FRAMES_PER_WRITE);
            size_t l_Read = tw_song_read_float(p_Song.get(), RATE, l_Want, l_Dropped.data());
            l_Skip = l_Read < l_Want ? 0 : l_Skip - l_Read;
        }
    }
};

// Audacious finds the plugin by this name.
__attribute__((visibility("default"))) TunewrightInput aud_plugin_instance;
