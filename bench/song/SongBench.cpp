// Song loading against a plain read of the same bytes, and the cost of one beat's lookups.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "OrgFileBuilder.h"
#include "OrgSong.h"

namespace {

std::string g_MaximalPath;
std::string g_TypicalPath;

// 16 tracks of 65535 events, each beat 0..65534 holding a note: about 8 MB.
OrgTest::SongImage MaximalSong()
{
    OrgTest::SongImage l_Image;
    l_Image.loopstop = 65535;
    for (int t = 0; t < 16; ++t) {
        l_Image.tracks[t].events.resize(65535);
        for (std::uint32_t i = 0; i < 65535; ++i)
            l_Image.tracks[t].events[i] = {i, static_cast<std::uint8_t>(i % 96),
                                           static_cast<std::uint8_t>(1 + i % 3), 200, 6};
    }
    return l_Image;
}

// Six tracks of a few hundred notes: the size of an ordinary song.
OrgTest::SongImage TypicalSong()
{
    OrgTest::SongImage l_Image;
    l_Image.loopstart = 64;
    l_Image.loopstop = 1024;
    for (int t : {0, 1, 2, 3, 8, 9}) {
        for (std::uint32_t i = 0; i < 1024; i += 3)
            l_Image.tracks[t].events.push_back({i, static_cast<std::uint8_t>(40 + i % 24), 2, 180, 6});
    }
    return l_Image;
}

void BM_PlainReadMaximal(benchmark::State& p_State)
{
    std::vector<char> l_Buffer;
    for (auto _ : p_State) {
        std::FILE* l_File = std::fopen(g_MaximalPath.c_str(), "rb");
        std::fseek(l_File, 0, SEEK_END);
        l_Buffer.resize(static_cast<std::size_t>(std::ftell(l_File)));
        std::fseek(l_File, 0, SEEK_SET);
        benchmark::DoNotOptimize(std::fread(l_Buffer.data(), 1, l_Buffer.size(), l_File));
        std::fclose(l_File);
        benchmark::ClobberMemory();
    }
}

void BM_LoadMaximal(benchmark::State& p_State)
{
    Org::OrgSong l_Song;
    for (auto _ : p_State)
        benchmark::DoNotOptimize(l_Song.LoadFromFile(g_MaximalPath));
}

// The same bytes already in memory: the parse alone, without the file's read.
void BM_LoadMaximalFromMemory(benchmark::State& p_State)
{
    const std::vector<std::uint8_t> l_Bytes = OrgTest::ReadFile(g_MaximalPath);
    Org::OrgSong l_Song;
    for (auto _ : p_State)
        benchmark::DoNotOptimize(l_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size()));
}

// A new song per load: its columns start empty, so they are grown (and zeroed) each time.
void BM_ConstructMaximal(benchmark::State& p_State)
{
    for (auto _ : p_State) {
        Org::OrgSong l_Song(g_MaximalPath);
        benchmark::DoNotOptimize(l_Song.instruments[0].numnotes);
    }
}

void BM_LoadTypical(benchmark::State& p_State)
{
    Org::OrgSong l_Song;
    for (auto _ : p_State)
        benchmark::DoNotOptimize(l_Song.LoadFromFile(g_TypicalPath));
}

// All sixteen lookups of one beat; the beat near the end of the maximal song is the worst case.
void BM_LookupAllTracksMaximal(benchmark::State& p_State)
{
    Org::OrgSong l_Song(g_MaximalPath);
    const int l_Beat = static_cast<int>(p_State.range(0));
    for (auto _ : p_State)
        for (int t = 0; t < 16; ++t)
            benchmark::DoNotOptimize(l_Song.GetNoteHit(t, l_Beat));
}

}  // namespace

BENCHMARK(BM_PlainReadMaximal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMaximal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMaximalFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConstructMaximal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTypical)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupAllTracksMaximal)->Arg(0)->Arg(32768)->Arg(65534)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    char l_Dir[] = "/tmp/tunewright-bench-XXXXXX";
    if (mkdtemp(l_Dir) == nullptr)
        return 1;
    g_MaximalPath = std::string(l_Dir) + "/maximal.org";
    g_TypicalPath = std::string(l_Dir) + "/typical.org";
    OrgTest::WriteFile(g_MaximalPath, MaximalSong().Bytes());
    OrgTest::WriteFile(g_TypicalPath, TypicalSong().Bytes());
    // Every load reports itself on standard error; the benchmark's table goes to standard output.
    if (std::freopen("/dev/null", "w", stderr) == nullptr)
        return 1;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(g_MaximalPath.c_str());
    std::remove(g_TypicalPath.c_str());
    rmdir(l_Dir);
    return 0;
}
