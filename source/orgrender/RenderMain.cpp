// tunewright-render: renders Org-02 songs to WAV, FLAC, Ogg Vorbis or raw 16-bit files, or to
// standard output, much faster than real time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <tunewright/tunewright.h>

#include <fmod.h>

#include "NumberArgument.h"
#include "OrgSong.h"
#include "PrintableText.h"
#include "RenderOutput.h"
#include "Resamplers.h"
#include "SongMagic.h"
#include "SongRenderer.h"

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
    "  -l, --loops N       passes of the song's loop after its intro (default 2)\n"
    "  -s, --seconds S     render S seconds instead of a number of loops\n"
    "  -r, --rate HZ       sample rate, 8000 to 192000 (default 48000)\n"
    "  -f, --fade S        fade out over the last S seconds (default 1; 0 for none)\n"
    "  -v, --volume V      master volume, 0 to 1 (default 0.5, as the player starts)\n"
    "  -i, --interp NAME   resampling: nearest, linear (default, as the player), cubic, spline or\n"
    "                      sinc (band-limited: high notes without aliasing; this engine only)\n"
    "  -d, --data DIR      folder holding melody/ and percussion/ (default: the library's\n"
    "                      built-in instruments, the same sounds as the installed data)\n"
    "  -q, --quiet         print nothing but errors\n"
    "  --version           the version\n"
    "  -h, --help          this text\n"
    "  --                  ends the options: every later argument is a song\n";

// Every message may hold a name from the command line: shown so that it cannot act on a terminal.
void Complain(const std::string& p_Message)
{
    std::fprintf(stderr, "tunewright-render: %s\n", PrintableText(p_Message).c_str());
}

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

int Usage(const std::string& p_Message)
{
    Complain(p_Message);
    std::fputs(USAGE, stderr);
    return 2;
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
    bool quiet = false;
    bool force = false;
};

// Renders one song to p_Output; false once it has said why not.
bool RenderOne(const std::string& p_Song, const std::string& p_Output, const Settings& p_Settings)
{
    // The output is looked at first, so that a refusal comes before any message about the song.
    const SongIdentity l_Input = IdentifySong(p_Song);
    std::string l_Error;
    if (!RenderOutput::Allowed(p_Output, l_Input, p_Settings.force, l_Error))
        return Refuse(l_Error);
    std::vector<std::uint8_t> l_Bytes;
    if (!ReadSongBytes(p_Song, l_Bytes, l_Error))
        return Refuse(l_Error);
    const std::string l_Foreign = ForeignSongProblem(p_Song, l_Bytes);
    if (!p_Settings.force && !l_Foreign.empty())
        return Refuse(l_Foreign + "; give --force to render it anyway");
    Org::OrgSong l_Song;
    unsigned long l_LengthMs = 0;
    if (!PrepareSong(l_Bytes, p_Song, p_Settings.render, l_Song, l_LengthMs, l_Error))
        return Refuse(l_Error);

    RenderOutput l_Output;
    if (!l_Output.Open(p_Output, l_Input, p_Settings.force, l_Error))
        return Refuse(l_Error);
    const std::string l_Name = p_Output == "-" ? std::string("standard output") : p_Output;
    const bool l_ShowProgress = !p_Settings.quiet && isatty(STDERR_FILENO);
    const bool l_Done =
        RenderToDescriptor(l_Song, l_LengthMs, l_Output.Fd(), p_Settings.render,
                           l_ShowProgress ? RenderProgress(DrawProgress) : RenderProgress(), l_Error);
    if (g_ProgressOpen)
        std::fputc('\n', stderr);
    g_ProgressOpen = false;
    if (!l_Done || !l_Output.Commit(l_Error))
        return Refuse("cannot write " + l_Name + ": " + l_Error);
    if (!p_Settings.quiet)
        std::fprintf(stderr, "Wrote %s\n", PrintableText(l_Name).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Settings l_Settings;
    RenderOptions& l_Options = l_Settings.render;
    std::vector<std::string> l_Songs;
    std::string l_Output, l_DataDir, l_Format;

    bool l_OptionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string l_Arg = argv[i];
        auto NextValue = [&](double p_Min, double p_Max, double& p_Value) {
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], p_Min, p_Max, p_Value)) {
                std::fprintf(stderr, "tunewright-render: %s takes a number from %g to %g\n", l_Arg.c_str(),
                             p_Min, p_Max);
                std::exit(2);
            }
            ++i;
        };
        auto NextCount = [&](long p_Min, long p_Max) {
            long l_Count = 0;
            if (i + 1 >= argc || !ParseInteger(argv[i + 1], p_Min, p_Max, l_Count)) {
                Complain(l_Arg + " takes a whole number from " + std::to_string(p_Min) + " to " +
                         std::to_string(p_Max));
                std::exit(2);
            }
            ++i;
            return static_cast<int>(l_Count);
        };
        double l_Value = 0;
        if (l_OptionsEnded) {
            if (l_Arg.empty())
                return Usage("an empty argument is not a path");
            l_Songs.push_back(l_Arg);
        } else if (l_Arg == "--") {
            l_OptionsEnded = true;
        } else if (l_Arg == "-h" || l_Arg == "--help") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (l_Arg == "--version") {
            std::puts("tunewright-render " TUNEWRIGHT_VERSION);
            return 0;
        } else if (l_Arg == "-q" || l_Arg == "--quiet") {
            l_Settings.quiet = true;
        } else if (l_Arg == "--force") {
            l_Settings.force = true;
        } else if (l_Arg == "-l" || l_Arg == "--loops") {
            l_Options.loops = NextCount(0, 1000);
        } else if (l_Arg == "-s" || l_Arg == "--seconds") {
            NextValue(0.001, 6 * 3600, l_Value);
            l_Options.seconds = l_Value;
        } else if (l_Arg == "-r" || l_Arg == "--rate") {
            l_Options.sampleRate = NextCount(8000, 192000);
        } else if (l_Arg == "-f" || l_Arg == "--fade") {
            NextValue(0, 60, l_Value);
            l_Options.fadeSeconds = l_Value;
        } else if (l_Arg == "-v" || l_Arg == "--volume") {
            NextValue(0, 1, l_Value);
            l_Options.masterVolume = static_cast<float>(l_Value);
        } else if (l_Arg == "--channels") {
            if (i + 1 >= argc || (std::strcmp(argv[i + 1], "1") != 0 && std::strcmp(argv[i + 1], "2") != 0))
                return Usage("--channels takes 1 or 2");
            l_Options.channels = argv[++i][0] - '0';
        } else if (l_Arg == "--format") {
            AudioFormat l_Parsed;
            if (i + 1 >= argc || !FormatFromWord(argv[i + 1], l_Parsed))
                return Usage("--format takes wav, flac, ogg or raw");
            l_Format = argv[++i];
        } else if (l_Arg == "-i" || l_Arg == "--interp") {
            const int l_Found = ResamplerNamed(i + 1 < argc ? argv[++i] : "");
            if (l_Found < 0) {
                Complain(l_Arg + " takes " + RESAMPLER_CHOICES);
                return 2;
            }
            l_Options.resampler = l_Found;
        } else if ((l_Arg == "-o" || l_Arg == "--output" || l_Arg == "-d" || l_Arg == "--data") &&
                   i + 1 < argc) {
            if (argv[i + 1][0] == '\0') {
                Complain(l_Arg + " needs a path; an empty one is not a path");
                return 2;
            }
            (l_Arg == "-o" || l_Arg == "--output" ? l_Output : l_DataDir) = argv[++i];
        } else if (l_Arg.size() > 1 && l_Arg[0] == '-') {
            return Usage("unknown or incomplete option '" + l_Arg + "'");
        } else if (l_Arg.empty()) {
            return Usage("an empty argument is not a path");
        } else {
            l_Songs.push_back(l_Arg);
        }
    }
    // SONG OUTPUT, the older form: a second name with a sound file's extension is the output.
    AudioFormat l_ByName;
    if (l_Output.empty() && l_Songs.size() == 2 && FormatFromWord(PathExtension(l_Songs[1]), l_ByName)) {
        l_Output = l_Songs[1];
        l_Songs.pop_back();
    }
    if (l_Songs.empty()) {
        std::fputs("tunewright-render: no song given\n", stderr);
        std::fputs(USAGE, stderr);
        return 2;
    }
    const bool l_IntoFolder = !l_Output.empty() && l_Output != "-" && IsFolder(l_Output);
    if (l_Songs.size() > 1 && !l_Output.empty() && !l_IntoFolder)
        return Usage("several songs go into a folder (-o DIR/) or to their default names, not into " +
                     l_Output);

    // The format: as asked, else by the output's extension, else WAV. An extension that names no
    // format we write is refused rather than given WAV data under a misleading name.
    if (!l_Format.empty()) {
        FormatFromWord(l_Format, l_Options.format);
    } else if (!l_Output.empty() && !l_IntoFolder && !PathExtension(l_Output).empty() &&
               !FormatFromWord(PathExtension(l_Output), l_Options.format)) {
        return Usage("cannot tell a format from the name " + l_Output +
                     "; name it .wav, .flac, .ogg or .raw, or give --format");
    }

    l_Options.dataDir = l_DataDir;
    if (l_Settings.quiet)
        tw_set_log_function(Silent, nullptr);
    else if (l_Output == "-")
        tw_set_log_function(ToStandardError, nullptr);

    int l_Status = 0;
    std::set<std::string> l_Written;
    for (const std::string& l_Song : l_Songs) {
        std::string l_Path = l_Output;
        if (l_Output.empty() || l_IntoFolder) {
            const std::string l_Folder = l_Output.empty()
                                             ? std::string()
                                             : (PathFileName(l_Output).empty() ? l_Output : l_Output + "/");
            l_Path = l_Folder + DefaultOutputName(l_Song, FormatWord(l_Options.format));
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
