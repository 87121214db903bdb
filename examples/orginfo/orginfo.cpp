// Prints what an Org-02 song holds: its header, its tracks and their note counts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "OrgSong.h"
#include "SongInput.h"

namespace {

void PrintUsage(std::FILE* p_Out)
{
    std::fputs("usage: tunewright-info SONG.org  (- reads the song from standard input)\n"
               "Prints the song's tempo, bar layout, loop points and, per track, its sample,\n"
               "tuning and number of notes.\n",
               p_Out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc != 2) {
        PrintUsage(stderr);
        return 2;
    }

    // Read once, then parsed from memory, so that a pipe or standard input ("-") works.
    const std::string l_Path = argv[1];
    std::vector<std::uint8_t> l_Bytes;
    std::string l_Why;
    const bool l_Read = l_Path == "-" ? Org::ReadSongInput(STDIN_FILENO, l_Bytes, l_Why)
                                      : Org::ReadSongInput(l_Path, l_Bytes, l_Why);
    if (!l_Read) {
        std::fprintf(stderr, "tunewright-info: %s: cannot be read: %s\n", argv[1], l_Why.c_str());
        return 1;
    }
    Org::OrgSong l_Song;
    if (!l_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size())) {
        std::fprintf(stderr, "tunewright-info: %s: holds %zu bytes, fewer than it declares\n", argv[1],
                     l_Bytes.size());
        std::fprintf(stderr, "tunewright-info: %s: cannot be read as a whole Org-02 song\n", argv[1]);
        return 1;
    }

    const Org::Header& l_Header = l_Song.GetHeader();
    std::printf("Song: %s\n", argv[1]);
    std::printf("Tempo: %u ms per beat\n", l_Header.tempo);
    std::printf("Bar layout: %u steps per bar, %u beats per step\n", l_Header.steps_bar, l_Header.beats_step);
    std::printf("Loop: beats %u to %u\n", l_Header.loopstart, l_Header.loopstop);
    std::printf("Track  Kind        Sample  Pitch  Loop  Notes\n");
    unsigned long l_Total = 0;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const Org::Instrument& l_Instrument = l_Song.instruments[l_Track];
        std::printf("%5d  %-10s  %6u  %5u  %4s  %5u\n", l_Track,
                    l_Track < Org::MELODY_TRACKS ? "melody" : "percussion", l_Instrument.id,
                    l_Instrument.pitch, l_Instrument.noloop ? "no" : "yes", l_Instrument.numnotes);
        l_Total += l_Instrument.numnotes;
    }
    std::printf("Notes in all: %lu\n", l_Total);
    return 0;
}
