// samplegen: writes the sampler's instrument files (one hundred looping melody waveforms and
// twelve one-shot drums, synthesised by source/samples) into a data folder, laid out as the
// sampler reads them, or the same bank as a C++ source for the library.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "BankSource.h"
#include "MelodyBank.h"
#include "Percussion.h"
#include "WavWriter.h"

namespace {

void PrintUsage(std::FILE* p_Out)
{
    std::fputs("usage: samplegen [--list] OUTPUT_DIR\n"
               "Writes OUTPUT_DIR/melody/melody0.wav .. melody99.wav (one 256-sample cycle each,\n"
               "16-bit mono) and the twelve drums OUTPUT_DIR/percussion/*.wav (16-bit mono,\n"
               "44100 Hz). The output is the same on every run.\n"
               "  --list   print the name of every sample instead of writing files\n"
               "  --source FILE  write the whole bank as a C++ source file instead (no folder)\n"
               "  --melody-source FILE  the same for the melody waveforms alone\n"
               "  --help   show this text\n",
               p_Out);
}

void PrintList()
{
    const std::vector<SampleGen::Timbre> l_Bank = SampleGen::MelodyBank();
    for (std::size_t l_I = 0; l_I < l_Bank.size(); ++l_I) {
        std::printf("melody/melody%zu.wav\t%s\n", l_I, l_Bank[l_I].name.c_str());
    }
    for (const SampleGen::Drum& l_Drum : SampleGen::PercussionBank()) {
        std::printf("percussion/%s\t%.3f s\n", l_Drum.fileName.c_str(),
                    static_cast<double>(l_Drum.pcm.size()) / SampleGen::DRUM_RATE);
    }
}

bool MakeFolder(const std::filesystem::path& p_Path)
{
    std::error_code l_Error;
    std::filesystem::create_directories(p_Path, l_Error);
    if (l_Error || !std::filesystem::is_directory(p_Path)) {
        std::fprintf(stderr, "samplegen: cannot create folder %s: %s\n", p_Path.string().c_str(),
                     l_Error ? l_Error.message().c_str() : "not a folder");
        return false;
    }
    return true;
}

// Writes the melody waveforms into p_Root/melody, then the drums into p_Root/percussion; false,
// said on standard error, at the first that cannot be made or written.
bool WriteBank(const std::filesystem::path& p_Root)
{
    std::vector<std::vector<std::int16_t>> l_Cycles;
    std::string l_Error;
    bool l_Written = SampleGen::RenderMelodyBank(l_Cycles, l_Error);
    for (std::size_t l_I = 0; l_Written && l_I < l_Cycles.size(); ++l_I) {
        const std::filesystem::path l_Path = p_Root / "melody" / ("melody" + std::to_string(l_I) + ".wav");
        l_Written =
            SampleGen::WriteWav16Mono(l_Path.string(), SampleGen::MELODY_RATE, l_Cycles[l_I], l_Error);
    }
    if (l_Written) {
        for (const SampleGen::Drum& l_Drum : SampleGen::PercussionBank()) {
            l_Written =
                l_Written && SampleGen::WriteWav16Mono((p_Root / "percussion" / l_Drum.fileName).string(),
                                                       SampleGen::DRUM_RATE, l_Drum.pcm, l_Error);
        }
    }
    if (!l_Written)
        std::fprintf(stderr, "samplegen: %s\n", l_Error.c_str());
    return l_Written;
}

}  // namespace

int main(int argc, char** argv)
{
    bool l_List = false;
    std::string l_Source;
    bool l_WithDrums = true;
    std::vector<std::string> l_Folders;
    for (int l_I = 1; l_I < argc; ++l_I) {
        const std::string l_Arg = argv[l_I];
        if (l_Arg == "--help" || l_Arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (l_Arg == "--list") {
            l_List = true;
        } else if ((l_Arg == "--source" || l_Arg == "--melody-source") && l_I + 1 < argc) {
            l_Source = argv[++l_I];
            l_WithDrums = l_Arg == "--source";
        } else if (!l_Arg.empty() && l_Arg[0] == '-') {
            std::fprintf(stderr, "samplegen: unknown option %s\n", l_Arg.c_str());
            PrintUsage(stderr);
            return 2;
        } else {
            l_Folders.push_back(l_Arg);
        }
    }
    if (l_List) {
        PrintList();
        return 0;
    }
    if (!l_Source.empty()) {
        std::string l_Error;
        if (!l_Folders.empty() || !SampleGen::WriteBankSource(l_Source, l_WithDrums, l_Error)) {
            std::fprintf(stderr, "samplegen: %s\n",
                         l_Folders.empty() ? l_Error.c_str() : "--source takes no folder");
            return 1;
        }
        return 0;
    }
    if (l_Folders.size() != 1 || l_Folders[0].empty()) {
        std::fputs("samplegen: give exactly one output folder\n", stderr);
        PrintUsage(stderr);
        return 2;
    }

    const std::filesystem::path l_Root = l_Folders[0];
    if (!MakeFolder(l_Root / "melody") || !MakeFolder(l_Root / "percussion")) {
        return 1;
    }
    return WriteBank(l_Root) ? 0 : 1;
}
