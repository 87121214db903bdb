// tunewright-render: renders Org-02 songs to WAV, FLAC, Ogg Vorbis or raw 16-bit files, or to
// standard output, much faster than real time.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <tunewright/tunewright.h>

#include <fmod.h>

#include "Complaint.h"
#include "OrgSong.h"
#include "PrintableText.h"
#include "RenderOutput.h"
#include "SamplerRules.h"
#include "SongMagic.h"
#include "SongOptions.h"
#include "SongRenderer.h"
#include "TrackMix.h"

namespace {

const char* const USAGE =
    "usage: tunewright-render [options] SONG.org...\n"
    "       tunewright-render [options] SONG.org OUTPUT.{wav,flac,ogg,raw}\n"
    "Renders Org-02 songs to sound files; a SONG of - is read from standard input.\n"
    "\n"
    "  -o, --output FILE   where to write: a file, - for standard output, or a folder (DIR/)\n"
    "                      for several songs (default: each song's name with the format's\n"
    "                      extension, in the working directory)\n"
    "  --format NAME       wav, flac, ogg or raw (16-bit little-endian, no header); default:\n"
    "                      by the output's extension, else wav\n"
    "  --channels N        1 (mono, the mean of left and right) or 2 (default)\n"
    "  --force             write over an existing file, and render a song whose magic is not\n"
    "                      Org-02 (the song itself is never written over)\n"
    "  -l, --loops N       repeats of the song's loop after its first pass: the loop plays\n"
    "                      N + 1 times after the intro (default 1; -1, for ever, needs -s)\n"
    "  -s, --seconds S     render S seconds instead\n"
    "  -r, --rate HZ       sample rate, 8000 to 192000 (default 48000)\n"
    "  -f, --fade S        fade out over the last S seconds (default 1; 0 for none)\n"
    "  -v, --volume V      master volume, 0 to 1 (default 0.5, as the player starts)\n"
    "  -i, --interp NAME   resampling: {resamplers} (default linear, as the\n"
    "                      player; sinc is band-limited: high notes without aliasing)\n"
    "  -d, --data DIR      folder holding melody/ and percussion/ (default: the library's\n"
    "                      built-in instruments, the same sounds as the installed data)\n"
    "  --stems DIR         also write each sounding track to a file of its own in DIR (made\n"
    "                      when missing): NN-melody-WAVE.EXT or NN-drum-NAME.EXT, in the\n"
    "                      render's format; the mix too when -o names it, else stems alone\n"
    "  --mute LIST         silence tracks: numbers 0 to 15 and ranges, such as 0,3,8-15\n"
    "  --solo LIST         sound only these tracks (over --mute)\n"
    "  --tempo F           the song's beats F times as fast, 0.25 to 4, pitch kept; a length\n"
    "                      by --loops follows it, one by --seconds does not\n"
    "  --transpose N       every note N semitones up (down when negative), -24 to 24,\n"
    "                      fractions allowed\n"
    "  -q, --quiet         print nothing but errors\n"
    "  --version           the version\n"
    "  -h, --help          this text\n"
    "  --                  ends the options: every later argument is a song\n";

int Fail(const std::string& p_Message)
{
    Complain(p_Message);
    return 1;
}

bool Refuse(const std::string& p_Message)
{
    Complain(p_Message);
    return false;
}

// A progress bar is on the terminal's line, unfinished.
bool g_ProgressOpen = false;

void DrawProgress(double p_Done)
{
    g_ProgressOpen = p_Done < 1.0;
    const int l_Width = 40;
    const int l_Filled = static_cast<int>(p_Done * l_Width);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", l_Filled, "########################################",
                 l_Width - l_Filled, "", static_cast<int>(p_Done * 100.0));
    if (p_Done >= 1.0)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The library's messages: none under -q, and never on standard output while the audio goes there.
void Silent(const char*, void*) {}
void ToStandardError(const char* p_Line, void*) { std::fputs(p_Line, stderr); }

bool IsFolder(const std::string& p_Path)
{
    struct stat l_Stat = {};
    return !p_Path.empty() &&
           (PathFileName(p_Path).empty() || (stat(p_Path.c_str(), &l_Stat) == 0 && S_ISDIR(l_Stat.st_mode)));
}

struct Settings
{
    RenderOptions render;
    std::string stemsDir;  // empty: no stems
    bool quiet = false;
    bool force = false;
};

// The stem file of track p_Track of p_Song in p_Folder, named by its instrument; empty for a track
// whose instrument is no sound of its bank (it sounds nothing).
std::string StemPath(const Org::OrgSong& p_Song, int p_Track, const std::string& p_Folder,
                     AudioFormat p_Format)
{
    const int l_Id = p_Song.instruments[p_Track].id;
    const bool l_Melody = p_Track <= Org::SamplerRules::LAST_MELODY_TRACK;
    if (l_Id >= (l_Melody ? Org::SamplerRules::MELODY_SAMPLES : Org::DRUM_COUNT))
        return "";
    char l_Name[64];
    if (l_Melody)
        std::snprintf(l_Name, sizeof l_Name, "%02d-melody-%02d.%s", p_Track, l_Id, FormatWord(p_Format));
    else
        std::snprintf(l_Name, sizeof l_Name, "%02d-drum-%s.%s", p_Track, Org::DRUM_NAMES[l_Id],
                      FormatWord(p_Format));
    return p_Folder + "/" + l_Name;
}

// Opens a stem for each track of p_Song that can sound with the render's mute and solo: one with
// events and an instrument. False once it has said why not.
bool OpenStems(const Org::OrgSong& p_Song, const SongIdentity& p_Input, const Settings& p_Settings,
               RenderOutput (&p_Outputs)[Org::TRACK_COUNT], std::string (&p_Paths)[Org::TRACK_COUNT],
               StemOutputs& p_Stems)
{
    if (!MakeFolders(p_Settings.stemsDir))
        return Refuse("cannot make the stems' folder " + p_Settings.stemsDir + ": " + std::strerror(errno));
    Org::TrackMix l_Mix;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        l_Mix.SetMute(l_Track, p_Settings.render.mute[l_Track]);
        l_Mix.SetSolo(l_Track, p_Settings.render.solo[l_Track]);
    }
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        p_Paths[l_Track] = StemPath(p_Song, l_Track, p_Settings.stemsDir, p_Settings.render.format);
        if (p_Song.instruments[l_Track].numnotes == 0 || l_Mix.Audible(l_Track) == 0.0f ||
            p_Paths[l_Track].empty())
            continue;
        std::string l_Error;
        if (!p_Outputs[l_Track].Open(p_Paths[l_Track], p_Input, p_Settings.force, l_Error))
            return Refuse(l_Error);
        p_Stems.fds[l_Track] = p_Outputs[l_Track].Fd();
    }
    return true;
}

// Renders one song to p_Output (empty: none, stems alone); false once it has said why not.
bool RenderOne(const std::string& p_Song, const std::string& p_Output, const Settings& p_Settings)
{
    // The output is looked at first, so that a refusal comes before any message about the song.
    const SongIdentity l_Input = IdentifySong(p_Song);
    std::string l_Error;
    if (!p_Output.empty() && !RenderOutput::Allowed(p_Output, l_Input, p_Settings.force, l_Error))
        return Refuse(l_Error);
    std::vector<std::uint8_t> l_Bytes;
    if (!ReadSongBytes(p_Song, l_Bytes, l_Error))
        return Refuse(l_Error);
    const std::string l_Foreign = ForeignSongProblem(p_Song, l_Bytes);
    if (!p_Settings.force && !l_Foreign.empty())
        return Refuse(l_Foreign + "; give --force to render it anyway");
    std::unique_ptr<Org::OrgSong> l_Song;
    unsigned long long l_LengthMs = 0;
    if (!PrepareSong(l_Bytes, p_Song, p_Settings.render, l_Song, l_LengthMs, l_Error))
        return Refuse(l_Error);

    RenderOutput l_Output;
    if (!p_Output.empty() && !l_Output.Open(p_Output, l_Input, p_Settings.force, l_Error))
        return Refuse(l_Error);
    RenderOutput l_StemOutputs[Org::TRACK_COUNT];
    std::string l_StemPaths[Org::TRACK_COUNT];
    StemOutputs l_Stems;
    const bool l_WithStems = !p_Settings.stemsDir.empty();
    if (l_WithStems && !OpenStems(*l_Song, l_Input, p_Settings, l_StemOutputs, l_StemPaths, l_Stems))
        return false;
    const std::string l_Name = p_Output == "-" ? std::string("standard output") : p_Output;
    const bool l_ShowProgress = !p_Settings.quiet && isatty(STDERR_FILENO);
    const bool l_Done = RenderToDescriptor(std::move(l_Song), l_LengthMs,
                                           p_Output.empty() ? -1 : l_Output.Fd(), p_Settings.render,
                                           l_ShowProgress ? RenderProgress(DrawProgress) : RenderProgress(),
                                           l_Error, nullptr, l_WithStems ? &l_Stems : nullptr);
    if (g_ProgressOpen)
        std::fputc('\n', stderr);
    g_ProgressOpen = false;
    if (!l_Done)
        return Refuse("cannot write " + (p_Output.empty() ? "the stems" : l_Name) + ": " + l_Error);
    // A stem whose track stayed silent over the whole render is no file.
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        if (l_Stems.fds[l_Track] < 0)
            continue;
        if (!l_Stems.sounded[l_Track]) {
            l_StemOutputs[l_Track].Abandon();
            continue;
        }
        if (!l_StemOutputs[l_Track].Commit(l_Error))
            return Refuse("cannot write " + l_StemPaths[l_Track] + ": " + l_Error);
        if (!p_Settings.quiet)
            std::fprintf(stderr, "Wrote %s\n", PrintableText(l_StemPaths[l_Track]).c_str());
    }
    if (p_Output.empty())
        return true;
    if (!l_Output.Commit(l_Error))
        return Refuse("cannot write " + l_Name + ": " + l_Error);
    if (!p_Settings.quiet)
        std::fprintf(stderr, "Wrote %s\n", PrintableText(l_Name).c_str());
    return true;
}

// What the command line asks: the songs, the output (empty: the default names) and the settings.
struct Request
{
    Settings settings;
    std::vector<std::string> songs;
    std::string output;
    bool intoFolder = false;  // the output is a folder the songs' default names go into
};

// The renderer's own options (those SongOptions does not read): 1 when taken, 2 after a usage
// message, 0 when p_Reader's option is none of them.
int ReadOwnOption(OptionReader& p_Reader, Settings& p_Settings, std::string& p_Output, std::string& p_Format)
{
    RenderOptions& l_Options = p_Settings.render;
    const std::string& l_Arg = p_Reader.Option();
    std::string l_Word;
    double l_Value = 0;
    if (l_Arg == "-q" || l_Arg == "--quiet") {
        p_Settings.quiet = true;
    } else if (l_Arg == "--force") {
        p_Settings.force = true;
    } else if (l_Arg == "-r" || l_Arg == "--rate") {
        return p_Reader.Count(8000, 192000, l_Options.sampleRate) ? 1 : 2;
    } else if (l_Arg == "-f" || l_Arg == "--fade") {
        if (!p_Reader.Number(0, 60, l_Value))
            return 2;
        l_Options.fadeSeconds = l_Value;
    } else if (l_Arg == "--channels") {
        if (!p_Reader.Word(l_Word))
            return 2;
        if (l_Word != "1" && l_Word != "2")
            return p_Reader.Usage("--channels takes 1 or 2");
        l_Options.channels = l_Word[0] - '0';
    } else if (l_Arg == "--format") {
        AudioFormat l_Parsed;
        if (!p_Reader.Word(p_Format))
            return 2;
        if (!FormatFromWord(p_Format, l_Parsed))
            return p_Reader.Usage("--format takes wav, flac, ogg or raw");
    } else if (l_Arg == "-o" || l_Arg == "--output") {
        return p_Reader.Path(p_Output) ? 1 : 2;
    } else if (l_Arg == "--stems") {
        return p_Reader.Path(p_Settings.stemsDir) ? 1 : 2;
    } else {
        return 0;
    }
    return 1;
}

// The options both programs read, into the render's.
void TakeSongOptions(const SongOptions& p_Common, RenderOptions& p_Options)
{
    p_Options.dataDir = p_Common.dataDir;
    p_Options.loops = p_Common.loops;
    p_Options.seconds = p_Common.seconds;
    p_Options.masterVolume = p_Common.volume;
    p_Options.resampler = p_Common.resampler;
    std::copy(std::begin(p_Common.mute), std::end(p_Common.mute), std::begin(p_Options.mute));
    std::copy(std::begin(p_Common.solo), std::end(p_Common.solo), std::begin(p_Options.solo));
    p_Options.tempoFactor = p_Common.tempo;
    p_Options.pitchShift = p_Common.transpose;
}

// Reads the command line into p_Request; -1 when the render is to go on, else the exit status
// (after the help, the version or a usage message).
int ReadCommandLine(int argc, char** argv, Request& p_Request)
{
    Settings& l_Settings = p_Request.settings;
    RenderOptions& l_Options = l_Settings.render;
    SongOptions l_Common;
    l_Common.loops = l_Options.loops;
    std::string& l_Output = p_Request.output;
    std::string l_Format;

    OptionReader l_Reader("tunewright-render", USAGE, argc, argv);
    const auto Own = [&](OptionReader& p_Reader) {
        return ReadOwnOption(p_Reader, l_Settings, l_Output, l_Format);
    };
    const int l_Parsed = l_Reader.Read(l_Common, Own);
    if (l_Parsed >= 0)
        return l_Parsed;
    std::vector<std::string>& l_Songs = p_Request.songs;
    l_Songs = l_Common.songs;
    TakeSongOptions(l_Common, l_Options);
    if (l_Options.loops < 0 && l_Options.seconds <= 0.0)
        return l_Reader.Usage(
            "--loops -1 repeats the loop for ever: give the length to render with --seconds");

    // SONG OUTPUT, the older form: a second name with a sound file's extension is the output.
    AudioFormat l_ByName;
    if (l_Output.empty() && l_Songs.size() == 2 && FormatFromWord(PathExtension(l_Songs[1]), l_ByName)) {
        l_Output = l_Songs[1];
        l_Songs.pop_back();
    }
    p_Request.intoFolder = !l_Output.empty() && l_Output != "-" && IsFolder(l_Output);
    // Stems are named by their tracks alone: one song's fill the folder.
    if (!l_Settings.stemsDir.empty() && l_Songs.size() > 1)
        return l_Reader.Usage("--stems takes one song at a time: its stems are named by their tracks");
    if (l_Songs.size() > 1 && !l_Output.empty() && !p_Request.intoFolder)
        return l_Reader.Usage(
            "several songs go into a folder (-o DIR/) or to their default names, not into " + l_Output);

    // The format: as asked, else by the output's extension, else WAV. An extension that names no
    // format we write is refused rather than given WAV data under a misleading name.
    if (!l_Format.empty()) {
        FormatFromWord(l_Format, l_Options.format);
    } else if (!l_Output.empty() && !p_Request.intoFolder && !PathExtension(l_Output).empty() &&
               !FormatFromWord(PathExtension(l_Output), l_Options.format)) {
        return l_Reader.Usage("cannot tell a format from the name " + l_Output +
                              "; name it .wav, .flac, .ogg or .raw, or give --format");
    }
    return -1;
}

// Renders every song asked for; the exit status: 1 when one of them could not be rendered.
int RenderAll(const Request& p_Request)
{
    const Settings& l_Settings = p_Request.settings;
    const std::string& l_Output = p_Request.output;
    if (l_Settings.quiet)
        tw_set_log_function(Silent, nullptr);
    else if (l_Output == "-")
        tw_set_log_function(ToStandardError, nullptr);

    int l_Status = 0;
    std::set<std::string> l_Written;
    for (const std::string& l_Song : p_Request.songs) {
        std::string l_Path = l_Output;
        // With stems, the mix is written only when named.
        if ((l_Output.empty() && l_Settings.stemsDir.empty()) || p_Request.intoFolder) {
            const std::string l_Folder = l_Output.empty()
                                             ? std::string()
                                             : (PathFileName(l_Output).empty() ? l_Output : l_Output + "/");
            l_Path = l_Folder + DefaultOutputName(l_Song, FormatWord(l_Settings.render.format));
        }
        // Two songs of the same name would end in one file: the second is refused.
        if (!l_Written.insert(l_Path).second) {
            l_Status = Fail("'" + l_Song + "' would be written to " + l_Path + " too; render it on its own");
            continue;
        }
        if (!RenderOne(l_Song, l_Path, l_Settings))
            l_Status = 1;
    }
    return l_Status;
}

}  // namespace

int main(int argc, char** argv)
{
    Request l_Request;
    const int l_Status = ReadCommandLine(argc, argv, l_Request);
    return l_Status >= 0 ? l_Status : RenderAll(l_Request);
}
