// tunewright-render: renders an Org-02 song to a 16-bit stereo WAV file, much faster than real time.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "DataDir.h"
#include "FileReplace.h"
#include "SongRenderer.h"

namespace {

const char* const USAGE =
    "usage: tunewright-render [options] SONG.org [OUTPUT.wav]\n"
    "Renders an Org-02 song to a 16-bit stereo WAV file; a SONG of - is read from standard input.\n"
    "\n"
    "  -o, --output FILE   the WAV file to write (default: the song's name with .wav, in the\n"
    "                      working directory)\n"
    "  -l, --loops N       passes of the song's loop after its intro (default 2)\n"
    "  -s, --seconds S     render S seconds instead of a number of loops\n"
    "  -r, --rate HZ       sample rate, 8000 to 192000 (default 48000)\n"
    "  -f, --fade S        fade out over the last S seconds (default 1; 0 for none)\n"
    "  -v, --volume V      master volume, 0 to 1 (default 0.5, as the player starts)\n"
    "  -i, --interp NAME   resampling: nearest, linear (default, as the player), cubic or spline\n"
    "  -d, --data DIR      folder holding melody/ and percussion/ (default: the installed data)\n"
    "  -q, --quiet         no progress bar\n"
    "  --version           the version\n"
    "  -h, --help          this text\n";

// The file being written, removed if the render is cut short.
std::string g_PartialPath;

void RemovePartialAndExit(int p_Signal)
{
    if (!g_PartialPath.empty())
        unlink(g_PartialPath.c_str());
    _exit(128 + p_Signal);
}

// Removes the partial file on the signals that end a render: interrupt, termination, a closed
// terminal, and a file-size limit. A signal the caller set to be ignored (nohup, a limit with
// SIGXFSZ ignored, where the write then fails and is reported) stays ignored.
void RemovePartialOnSignals()
{
#ifdef _WIN32
    for (int l_Signal : {SIGINT, SIGTERM})
        std::signal(l_Signal, RemovePartialAndExit);
#else
    for (int l_Signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
        struct sigaction l_Old = {};
        if (sigaction(l_Signal, nullptr, &l_Old) == 0 && l_Old.sa_handler == SIG_IGN)
            continue;
        struct sigaction l_New = {};
        l_New.sa_handler = RemovePartialAndExit;
        sigemptyset(&l_New.sa_mask);
        sigaction(l_Signal, &l_New, nullptr);
    }
#endif
}

int Fail(const std::string& p_Message)
{
    std::fprintf(stderr, "tunewright-render: %s\n", p_Message.c_str());
    return 1;
}

bool ParseNumber(const char* p_Text, double p_Min, double p_Max, double& p_Value)
{
    char* l_End = nullptr;
    const double l_Value = std::strtod(p_Text, &l_End);
    if (l_End == p_Text || *l_End != '\0' || !(l_Value >= p_Min && l_Value <= p_Max))
        return false;
    p_Value = l_Value;
    return true;
}

// The engine's resampler numbers, in order.
const char* const INTERPOLATIONS[] = {"nearest", "linear", "cubic", "spline"};

std::string DefaultOutput(const std::string& p_Song)
{
    if (p_Song == "-")
        return "song.wav";
#ifdef _WIN32
    std::string l_Name = p_Song.substr(p_Song.find_last_of("/\\:") + 1);
#else
    std::string l_Name = p_Song.substr(p_Song.find_last_of('/') + 1);
#endif
    const std::size_t l_Dot = l_Name.rfind('.');
    if (l_Dot != std::string::npos && l_Dot > 0)
        l_Name.erase(l_Dot);
    return (l_Name.empty() ? std::string("song") : l_Name) + ".wav";
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

}  // namespace

int main(int argc, char** argv)
{
    RenderOptions l_Options;
    std::string l_Song, l_Output, l_DataDir;
    bool l_Quiet = false;

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
        double l_Value = 0;
        if (l_Arg == "-h" || l_Arg == "--help") {
            std::fputs(USAGE, stdout);
            return 0;
        } else if (l_Arg == "--version") {
            std::puts("tunewright-render " TUNEWRIGHT_VERSION);
            return 0;
        } else if (l_Arg == "-q" || l_Arg == "--quiet") {
            l_Quiet = true;
        } else if (l_Arg == "-l" || l_Arg == "--loops") {
            NextValue(0, 1000, l_Value);
            l_Options.loops = static_cast<int>(l_Value);
        } else if (l_Arg == "-s" || l_Arg == "--seconds") {
            NextValue(0.001, 6 * 3600, l_Value);
            l_Options.seconds = l_Value;
        } else if (l_Arg == "-r" || l_Arg == "--rate") {
            NextValue(8000, 192000, l_Value);
            l_Options.sampleRate = static_cast<int>(l_Value);
        } else if (l_Arg == "-f" || l_Arg == "--fade") {
            NextValue(0, 60, l_Value);
            l_Options.fadeSeconds = l_Value;
        } else if (l_Arg == "-v" || l_Arg == "--volume") {
            NextValue(0, 1, l_Value);
            l_Options.masterVolume = static_cast<float>(l_Value);
        } else if (l_Arg == "-i" || l_Arg == "--interp") {
            const std::string l_Name = i + 1 < argc ? argv[++i] : "";
            int l_Found = -1;
            for (int l_Index = 0; l_Index < 4; ++l_Index)
                if (l_Name == INTERPOLATIONS[l_Index])
                    l_Found = l_Index;
            if (l_Found < 0) {
                std::fprintf(stderr, "tunewright-render: %s takes nearest, linear, cubic or spline\n",
                             l_Arg.c_str());
                return 2;
            }
            l_Options.resampler = l_Found;
        } else if ((l_Arg == "-o" || l_Arg == "--output" || l_Arg == "-d" || l_Arg == "--data") &&
                   i + 1 < argc) {
            if (argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "tunewright-render: %s needs a path; an empty one is not a path\n",
                             l_Arg.c_str());
                return 2;
            }
            (l_Arg == "-o" || l_Arg == "--output" ? l_Output : l_DataDir) = argv[++i];
        } else if (l_Arg.size() > 1 && l_Arg[0] == '-') {
            std::fprintf(stderr, "tunewright-render: unknown or incomplete option '%s'\n%s", l_Arg.c_str(),
                         USAGE);
            return 2;
        } else if (l_Song.empty() && !l_Arg.empty()) {
            l_Song = l_Arg;
        } else if (l_Output.empty() && !l_Arg.empty()) {
            l_Output = l_Arg;
        } else {
            std::fprintf(stderr, "tunewright-render: %s\n%s",
                         l_Arg.empty() ? "an empty argument is not a path" : "too many arguments", USAGE);
            return 2;
        }
    }
    if (l_Song.empty()) {
        std::fputs("tunewright-render: no song given\n", stderr);
        std::fputs(USAGE, stderr);
        return 2;
    }
    if (l_Output.empty())
        l_Output = DefaultOutput(l_Song);

    l_Options.dataDir = l_DataDir.empty() ? FindDataDir(argv[0]) : l_DataDir;
    if (l_Options.dataDir.empty())
        return Fail("cannot find the instrument samples; point at them with --data DIR");

    // A regular file (or a new one) is written under a temporary name beside it and renamed over
    // it when complete, so that a failed or interrupted render leaves no partial file and never
    // clobbers an older result. A link is followed, not replaced; a device, a FIFO or
    // /dev/stdout is written straight.
    Org::FileTarget l_Target;
    std::string l_Error;
    if (!Org::FindFileTarget(l_Output, l_Target, l_Error))
        return Fail("cannot write " + l_Output + ": " + l_Error);
    const std::string l_WavPath = l_Target.viaTemporary ? l_Target.path + ".partial" : l_Target.path;
    if (l_Target.viaTemporary) {
        g_PartialPath = l_WavPath;
        RemovePartialOnSignals();
    }

    const bool l_ShowProgress = !l_Quiet && isatty(STDERR_FILENO);
    const bool l_Done = RenderSong(l_Song, l_WavPath, l_Options,
                                   l_ShowProgress ? RenderProgress(DrawProgress) : RenderProgress(), l_Error);
    if (!l_Done) {
        if (l_Target.viaTemporary)
            unlink(l_WavPath.c_str());
        if (g_ProgressOpen)
            std::fputc('\n', stderr);
        return Fail(l_Error);
    }
    if (l_Target.viaTemporary && !Org::CommitTemporary(l_WavPath, l_Target, l_Error))
        return Fail("cannot write " + l_Output + ": " + l_Error);
    if (!l_Quiet)
        std::fprintf(stderr, "Wrote %s\n", l_Output.c_str());
    return 0;
}
