// The C interface speaks only when asked: without a log function nothing reaches standard output or
// error and nothing waits, whatever happens (a song read, sought, bad input, an engine that fails to
// start); a song's own log function hears that song alone. This program stands in for the engine's
// start (to make it fail), its version query (an older engine, which would make the layer's start-up
// wait) and usleep (to record a wait), so it is a program of its own, Linux's only.
#include "AudioTestKit.h"

#include <tunewright/tunewright.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "OrgFileBuilder.h"

namespace {

bool g_FailEngine = false;
unsigned long long g_Slept = 0;  // microseconds usleep was asked for, in total

template <typename Function> Function Real(const char* p_Name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, p_Name));
}

}  // namespace

extern "C" FMOD_RESULT F_API FMOD_System_Init(FMOD_SYSTEM* system, int maxchannels, FMOD_INITFLAGS flags,
                                              void* extradriverdata)
{
    using Init = FMOD_RESULT (*)(FMOD_SYSTEM*, int, FMOD_INITFLAGS, void*);
    static const Init l_Real = Real<Init>("FMOD_System_Init");
    return g_FailEngine ? FMOD_ERR_OUTPUT_INIT : l_Real(system, maxchannels, flags, extradriverdata);
}

extern "C" FMOD_RESULT F_API FMOD_System_GetVersion(FMOD_SYSTEM* system, unsigned int* version)
{
    using GetVersion = FMOD_RESULT (*)(FMOD_SYSTEM*, unsigned int*);
    static const GetVersion l_Real = Real<GetVersion>("FMOD_System_GetVersion");
    const FMOD_RESULT l_Result = l_Real(system, version);
    *version = FMOD_VERSION - 1;
    return l_Result;
}

extern "C" int usleep(useconds_t p_Microseconds)
{
    g_Slept += p_Microseconds;
    return 0;
}

namespace {

std::vector<std::uint8_t> NoteSong()
{
    OrgTest::SongImage l_Image;
    l_Image.tempo = 100;
    l_Image.loopstart = 0;
    l_Image.loopstop = 8;
    l_Image.tracks[0].events.push_back({0, 45, 4, 200, 6});
    return l_Image.Bytes();
}

tw_song* Open(const std::vector<std::uint8_t>& p_Bytes)
{
    return tw_song_open_memory(p_Bytes.data(), p_Bytes.size(), nullptr);
}

std::size_t ReadSome(tw_song* p_Song)
{
    std::vector<float> l_Frames(2 * 4800);
    return tw_song_read_float(p_Song, 48000, 4800, l_Frames.data());
}

void Collect(const char* p_Line, void* p_Lines)
{
    static_cast<std::vector<std::string>*>(p_Lines)->push_back(p_Line);
}

const std::string ENGINE_FAILED = "Audio error [No. " + std::to_string(int(FMOD_ERR_OUTPUT_INIT)) + "] ";

TEST(QuietInterface, WithoutALogFunctionNothingIsWrittenAndNothingWaits)
{
    const std::vector<std::uint8_t> l_Bytes = NoteSong();
    g_Slept = 0;
    AudioTest::CapturedOutput l_Output;
    tw_song* l_Song = Open(l_Bytes);
    ASSERT_NE(nullptr, l_Song);
    EXPECT_EQ(4800u, ReadSome(l_Song));
    EXPECT_EQ(TW_OK, tw_song_seek_seconds(l_Song, 0.5));
    EXPECT_EQ(TW_OK, tw_song_set_volume(l_Song, 2.0f));
    EXPECT_EQ(4800u, ReadSome(l_Song));
    tw_song_close(l_Song);

    std::vector<std::uint8_t> l_Truncated = l_Bytes;
    l_Truncated.resize(l_Bytes.size() - 1);
    EXPECT_EQ(nullptr, Open(l_Truncated));
    EXPECT_EQ(nullptr, Open(std::vector<std::uint8_t>(200, 'x')));
    EXPECT_EQ(nullptr, tw_song_open_file("/nonexistent/song.org", nullptr));

    g_FailEngine = true;
    tw_song* l_Failing = Open(l_Bytes);
    EXPECT_EQ(0u, ReadSome(l_Failing));
    tw_song_close(l_Failing);
    g_FailEngine = false;
    l_Output.Stop();
    EXPECT_EQ("", l_Output.out);
    EXPECT_EQ("", l_Output.err);
    EXPECT_EQ(0u, g_Slept);
}

TEST(QuietInterface, ASongsLogFunctionHearsThatSongAloneAndTheProcessWideOneTheRest)
{
    std::vector<std::string> l_Process;
    std::vector<std::string> l_First;
    tw_set_log_function(Collect, &l_Process);
    tw_song* l_Songs[2] = {Open(NoteSong()), Open(NoteSong())};
    EXPECT_EQ(TW_OK, tw_song_set_log_function(l_Songs[0], Collect, &l_First));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_set_log_function(nullptr, Collect, &l_First));
    g_FailEngine = true;
    EXPECT_EQ(0u, ReadSome(l_Songs[0]));
    EXPECT_EQ(0u, ReadSome(l_Songs[1]));
    g_FailEngine = false;
    tw_set_log_function(nullptr, nullptr);
    tw_song_close(l_Songs[0]);
    tw_song_close(l_Songs[1]);

    ASSERT_EQ(1u, l_First.size());
    EXPECT_EQ(0u, l_First[0].rfind(ENGINE_FAILED, 0)) << l_First[0];
    ASSERT_EQ(3u, l_Process.size());
    EXPECT_EQ("Read in 122 bytes.\n", l_Process[0]);
    EXPECT_EQ("Read in 122 bytes.\n", l_Process[1]);
    EXPECT_EQ(l_First[0], l_Process[2]);
}

}  // namespace
