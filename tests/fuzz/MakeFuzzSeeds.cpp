// Writes a few small songs into a folder, as the fuzzer's starting corpus.
#include <cstdio>
#include <string>

#include "OrgFileBuilder.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_fuzz_seeds FOLDER\nWrites seed songs for the song reader fuzzer into FOLDER.\n", stderr);
        return 2;
    }
    const std::string l_Folder = argv[1];

    OrgTest::SongImage l_Blank;
    OrgTest::WriteFile(l_Folder + "/blank.org", l_Blank.Bytes());

    OrgTest::SongImage l_Melody;
    l_Melody.tempo = 120;
    l_Melody.loopstart = 4;
    l_Melody.loopstop = 16;
    l_Melody.tracks[0].id = 3;
    l_Melody.tracks[0].events = {{0, 48, 4, 200, 6}, {2, 0, 0, 100, 255}, {4, 50, 2, 180, 3}, {8, 52, 8, 160, 9}};
    l_Melody.tracks[8].id = 0;
    l_Melody.tracks[8].events = {{0, 40, 1, 200, 6}, {4, 40, 1, 200, 6}, {8, 40, 1, 200, 6}};
    OrgTest::WriteFile(l_Folder + "/melody.org", l_Melody.Bytes());

    OrgTest::SongImage l_Edges;
    l_Edges.tempo = 0;
    l_Edges.loopstart = 0xFFFFFFF0u;
    l_Edges.loopstop = 3;
    l_Edges.tracks[15].events = {{0xFFFFFFF0u, 255, 255, 255, 255}, {0xFFFFFFFFu, 95, 0, 0, 0}};
    OrgTest::WriteFile(l_Folder + "/edges.org", l_Edges.Bytes());

    auto l_Cut = l_Melody.Bytes();
    l_Cut.resize(l_Cut.size() - 5);
    OrgTest::WriteFile(l_Folder + "/truncated.org", l_Cut);
    return 0;
}
