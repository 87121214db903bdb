// Loads a song through the installed library and walks its first loop, counting the notes
// that start on the way.
#include <cstdio>

#include <tunewright/OrgSong.h>
#include <tunewright/Sampler.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: downstream SONG.org\n", stderr);
        return 2;
    }
    Org::OrgSong l_Song;
    if (!l_Song.LoadFromFile(argv[1])) {
        std::fprintf(stderr, "downstream: cannot read %s\n", argv[1]);
        return 1;
    }
    int l_Starts = 0;
    for (unsigned l_Beat = 0; l_Beat < l_Song.GetLoopStop(); ++l_Beat)
        for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
            l_Starts += l_Song.GetNoteHit(l_Track, static_cast<int>(l_Beat)).playing == 1;
    std::printf("%s: %d notes start before the loop end at beat %u\n", argv[1], l_Starts,
                l_Song.GetLoopStop());
    return l_Starts > 0 ? 0 : 1;
}
