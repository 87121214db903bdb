// songgen: writes the bundled Org-02 songs, composed note by note in this folder's sources,
// into a folder. The build copies the committed results (songs/*.org) into the data folder.
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "Score.h"
#include "Songs.h"

namespace {

void PrintUsage(std::FILE* p_Out)
{
    std::fputs("usage: songgen [--list] OUTPUT_DIR\n"
               "Writes the bundled songs (harbour-lights.org, drunken-sailor.org, greensleeves.org)\n"
               "into OUTPUT_DIR, creating it if needed. The bytes are the same on every run.\n"
               "  --list   print each song's file, title, tempo, loop and length instead\n"
               "  --help   show this text\n",
               p_Out);
}

std::size_t EventCount(const SongGen::Song& p_Song)
{
    std::size_t l_Count = 0;
    for (const SongGen::Track& l_Track : p_Song.tracks) {
        l_Count += l_Track.events.size();
    }
    return l_Count;
}

void PrintList(const std::vector<SongGen::Song>& p_Songs)
{
    for (const SongGen::Song& l_Song : p_Songs) {
        const double l_LoopSeconds = (l_Song.loopStop - l_Song.loopStart) * l_Song.tempo / 1000.0;
        std::printf("%s\t%s\t%u ms per beat\tloop %u..%u (%.1f s)\t%zu events\n", l_Song.fileName.c_str(),
                    l_Song.title.c_str(), l_Song.tempo, l_Song.loopStart, l_Song.loopStop, l_LoopSeconds,
                    EventCount(l_Song));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bool l_List = false;
    std::vector<std::string> l_Folders;
    for (int l_I = 1; l_I < argc; ++l_I) {
        const std::string l_Arg = argv[l_I];
        if (l_Arg == "--help" || l_Arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (l_Arg == "--list") {
            l_List = true;
        } else if (!l_Arg.empty() && l_Arg[0] == '-') {
            std::fprintf(stderr, "songgen: unknown option %s\n", l_Arg.c_str());
            PrintUsage(stderr);
            return 2;
        } else {
            l_Folders.push_back(l_Arg);
        }
    }
    if (!l_List && (l_Folders.size() != 1 || l_Folders[0].empty())) {
        std::fputs("songgen: give exactly one output folder\n", stderr);
        PrintUsage(stderr);
        return 2;
    }

    std::vector<SongGen::Song> l_Songs;
    try {
        l_Songs = SongGen::AllSongs();
    } catch (const std::exception& p_Error) {
        std::fprintf(stderr, "songgen: a song's score is malformed: %s\n", p_Error.what());
        return 1;
    }
    for (const SongGen::Song& l_Song : l_Songs) {
        const std::string l_Problem = SongGen::Validate(l_Song);
        if (!l_Problem.empty()) {
            std::fprintf(stderr, "songgen: %s: %s\n", l_Song.fileName.c_str(), l_Problem.c_str());
            return 1;
        }
    }
    if (l_List) {
        PrintList(l_Songs);
        return 0;
    }

    const std::filesystem::path l_Folder = l_Folders[0];
    std::error_code l_Error;
    std::filesystem::create_directories(l_Folder, l_Error);
    if (l_Error || !std::filesystem::is_directory(l_Folder)) {
        std::fprintf(stderr, "songgen: cannot create folder %s: %s\n", l_Folder.string().c_str(),
                     l_Error ? l_Error.message().c_str() : "not a folder");
        return 1;
    }
    for (const SongGen::Song& l_Song : l_Songs) {
        const std::filesystem::path l_Path = l_Folder / l_Song.fileName;
        if (!SongGen::SaveSong(l_Song, l_Path.string())) {
            std::fprintf(stderr, "songgen: %s: cannot be written\n", l_Path.string().c_str());
            return 1;
        }
    }
    return 0;
}
