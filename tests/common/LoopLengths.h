#ifndef TUNEWRIGHT_TESTS_LOOPLENGTHS_H
#define TUNEWRIGHT_TESTS_LOOPLENGTHS_H

// One loop count, one length, to the frame, in every program: the cases each program's length is
// held against, with the length the C interface reads for each. The songs: one with an intro and
// a loop, and one with an intro and an empty loop (which lasts its intro), at 47 ms a beat, read
// at a rate whose 1 ms blocks are not whole frames.
#include <gtest/gtest.h>

#include <tunewright/tunewright.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "OrgFileBuilder.h"

namespace OrgTest {

constexpr int LOOP_LENGTH_RATE = 44100;

struct LoopLengthCase
{
    std::string name;  // the song's file in the folder given
    SongImage image;
    int loops;                  // 0 to 3, and -1: for ever
    bool forever;               // -1 over a loop that is not empty: no length anywhere
    unsigned long long frames;  // what the C interface reads at LOOP_LENGTH_RATE (when not for ever)
};

// Writes both songs into p_Dir and calls p_Check with each case, traced by song and loop count.
template <typename Check> void ForEachLoopLength(const std::string& p_Dir, Check&& p_Check)
{
    SongImage l_Looping = LoopingSong();
    l_Looping.tempo = 47;
    SongImage l_EmptyLoop = l_Looping;
    l_EmptyLoop.loopstart = 5;
    l_EmptyLoop.loopstop = 2;
    for (const auto& [l_Name, l_Image] :
         {std::pair{"looping.org", l_Looping}, std::pair{"empty.org", l_EmptyLoop}}) {
        WriteFile(p_Dir + "/" + l_Name, l_Image.Bytes());
        for (int l_Loops : {0, 1, 2, 3, -1}) {
            SCOPED_TRACE(std::string(l_Name) + " --loops " + std::to_string(l_Loops));
            tw_song* l_Decoder = tw_song_open_file((p_Dir + "/" + l_Name).c_str(), nullptr);
            ASSERT_NE(nullptr, l_Decoder);
            ASSERT_EQ(TW_OK, tw_song_set_loops(l_Decoder, l_Loops));
            std::vector<std::int16_t> l_Buffer(2 * 4096);
            unsigned long long l_Frames = 0;
            for (std::size_t l_Got = 1; l_Got > 0 && l_Frames < 100u * LOOP_LENGTH_RATE;)
                l_Frames += l_Got = tw_song_read_s16(l_Decoder, LOOP_LENGTH_RATE, 4096, l_Buffer.data());
            const double l_Seconds = tw_song_get_duration_seconds(l_Decoder);
            tw_song_close(l_Decoder);
            const bool l_Forever = l_Loops < 0 && l_Image.loopstop > l_Image.loopstart;
            if (l_Forever)
                EXPECT_TRUE(std::isinf(l_Seconds));
            else
                ASSERT_GT(l_Frames, 0u);
            p_Check(LoopLengthCase{l_Name, l_Image, l_Loops, l_Forever, l_Frames});
        }
    }
}

}  // namespace OrgTest

#endif
