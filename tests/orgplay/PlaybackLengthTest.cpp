// The length tunewright-play plans for a song and a loop count, to the frame the C interface reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopLengths.h"
#include "OrgSong.h"
#include "SongLength.h"
#include "SongPlayback.h"
#include "TempDir.h"

// -1 over a loop plays for ever, which the planned length says with 0.
TEST(SongPlayback, ALoopCountPlansTheLengthTheCInterfaceReads)
{
    OrgTest::TempDir l_Dir;
    OrgTest::ForEachLoopLength(l_Dir.Path(), [](const OrgTest::LoopLengthCase& p_Case) {
        Org::OrgSong l_Song;
        const std::vector<std::uint8_t> l_Bytes = p_Case.image.Bytes();
        ASSERT_TRUE(l_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size()));
        const unsigned long long l_Planned = Org::SongLength::Frames(
            SongPlayback::LengthMs(l_Song, p_Case.loops, 0.0), OrgTest::LOOP_LENGTH_RATE);
        EXPECT_EQ(p_Case.forever ? 0u : p_Case.frames, l_Planned);
    });
}
