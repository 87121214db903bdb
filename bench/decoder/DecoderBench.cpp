// The decoder's costs, each beside what it is measured against:
//  - opening a song from memory and rendering its first second, beside the renderer program doing
//    the same (its process's CPU time, start-up and sample files included);
//  - steady rendering through tw_song_read_float at 16 voices, in voice-seconds per CPU second, to
//    put beside bench_mixer's BM_EngineMixer/16 (linear interpolation, run in the same session);
//  - the memory of 1 and of 100 songs open at once;
//  - one song read mixed, mixed with each track's level measured, and with every track apart, side by
//    side per resampler (the tracks' read should cost at most 1.5 times the mixed one, the levels at
//    most 3 % more).
#include <tunewright/tunewright.h>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kRate = 48000;
const std::string kSong = std::string(TUNEWRIGHT_SONGS_DIR) + "/greensleeves.org";

std::vector<unsigned char> ReadBytes(const std::string& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(l_In), std::istreambuf_iterator<char>());
}

// A song whose sixteen tracks all sound all the time: long notes held on the eight melody tracks,
// and a long drum struck anew on every beat of the eight drum tracks.
std::vector<unsigned char> SixteenVoiceSong()
{
    const unsigned l_Beats = 64;  // one short loop, repeated: the note lookup stays a small part
    std::vector<unsigned char> l_Out = {'O', 'r', 'g', '-', '0', '2'};
    auto Put16 = [&](unsigned v) {
        l_Out.push_back(v & 0xFF);
        l_Out.push_back((v >> 8) & 0xFF);
    };
    auto Put32 = [&](unsigned v) {
        Put16(v & 0xFFFF);
        Put16(v >> 16);
    };
    Put16(100);  // tempo
    l_Out.push_back(4);
    l_Out.push_back(4);
    Put32(0);
    Put32(l_Beats);
    std::vector<std::vector<std::uint32_t>> l_Positions(16);
    for (int t = 0; t < 16; ++t)
        for (unsigned b = 0; b < l_Beats; b += t < 8 ? 200 : 1)
            l_Positions[t].push_back(b);
    for (int t = 0; t < 16; ++t) {
        Put16(1000);
        l_Out.push_back(t < 8 ? 10 * t : 7);  // melody waveforms; the crash cymbal, 2.4 s long
        l_Out.push_back(0);
        Put16(static_cast<unsigned>(l_Positions[t].size()));
    }
    for (int t = 0; t < 16; ++t) {
        for (std::uint32_t l_Pos : l_Positions[t])
            Put32(l_Pos);
        for (std::size_t i = 0; i < l_Positions[t].size(); ++i)
            l_Out.push_back(static_cast<unsigned char>(30 + 5 * t));  // notes
        for (std::size_t i = 0; i < l_Positions[t].size(); ++i)
            l_Out.push_back(t < 8 ? 200 : 1);  // lengths
        for (std::size_t i = 0; i < l_Positions[t].size(); ++i)
            l_Out.push_back(100);  // volumes
        for (std::size_t i = 0; i < l_Positions[t].size(); ++i)
            l_Out.push_back(static_cast<unsigned char>(t % 13));  // pans
    }
    return l_Out;
}

// Only the first iteration decodes the song's instruments; the rest share that copy, as every song
// opened after a process's first with the same instruments does.
void BM_DecoderOpenAndFirstSecond(benchmark::State& p_State)
{
    const std::vector<unsigned char> l_Bytes = ReadBytes(kSong);
    std::vector<std::int16_t> l_Buffer(2 * kRate);
    tw_set_log_function([](const char*, void*) {}, nullptr);
    for (auto l_Unused : p_State) {
        tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
        benchmark::DoNotOptimize(tw_song_read_s16(l_Song, kRate, kRate, l_Buffer.data()));
        tw_song_close(l_Song);
    }
    tw_set_log_function(nullptr, nullptr);
}
BENCHMARK(BM_DecoderOpenAndFirstSecond)->Unit(benchmark::kMillisecond);

// The renderer program writing the same first second: the CPU time of its whole process.
void BM_RendererProcessFirstSecond(benchmark::State& p_State)
{
    const std::string l_Wav = "/tmp/tw-bench-decoder-" + std::to_string(getpid()) + ".wav";
    const char* l_Argv[] = {TUNEWRIGHT_RENDER_PROGRAM,
                            "-q",
                            "--force",
                            "--seconds",
                            "1",
                            "--fade",
                            "0",
                            "-o",
                            l_Wav.c_str(),
                            kSong.c_str(),
                            nullptr};
    for (auto l_Unused : p_State) {
        pid_t l_Child = 0;
        if (posix_spawn(&l_Child, l_Argv[0], nullptr, nullptr, const_cast<char**>(l_Argv), environ) != 0) {
            p_State.SkipWithError("cannot start the renderer");
            return;
        }
        int l_Status = 0;
        rusage l_Usage = {};
        wait4(l_Child, &l_Status, 0, &l_Usage);
        if (!WIFEXITED(l_Status) || WEXITSTATUS(l_Status) != 0) {
            p_State.SkipWithError("the renderer failed");
            return;
        }
        const double l_Cpu = l_Usage.ru_utime.tv_sec + l_Usage.ru_stime.tv_sec +
                             (l_Usage.ru_utime.tv_usec + l_Usage.ru_stime.tv_usec) / 1e6;
        p_State.SetIterationTime(l_Cpu);
    }
    std::remove(l_Wav.c_str());
}
BENCHMARK(BM_RendererProcessFirstSecond)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_DecoderSteadyFloat16Voices(benchmark::State& p_State)
{
    const std::vector<unsigned char> l_Bytes = SixteenVoiceSong();
    tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
    tw_song_set_loops(l_Song, -1);
    constexpr std::size_t kFrames = 1024;
    std::vector<float> l_Buffer(2 * kFrames);
    tw_song_read_float(l_Song, kRate, kRate, std::vector<float>(2 * kRate).data());  // every voice started
    for (auto l_Unused : p_State)
        benchmark::DoNotOptimize(tw_song_read_float(l_Song, kRate, kFrames, l_Buffer.data()));
    const double l_VoiceSeconds = double(p_State.iterations()) * kFrames * 16 / kRate;
    p_State.counters["voice_s_per_cpu_s"] = benchmark::Counter(l_VoiceSeconds, benchmark::Counter::kIsRate);
    tw_song_close(l_Song);
}
BENCHMARK(BM_DecoderSteadyFloat16Voices);

// What a read of BM_DecoderReadForms gives: the mix, the mix with the levels, or every track apart.
enum ReadForm { MIXED, METERED, TRACKS };

void BM_DecoderReadForms(benchmark::State& p_State)
{
    const std::vector<unsigned char> l_Bytes = ReadBytes(kSong);
    tw_song* l_Song = tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr);
    const auto l_Form = static_cast<ReadForm>(p_State.range(1));
    tw_song_set_loops(l_Song, -1);
    tw_song_set_interpolation(l_Song, static_cast<int>(p_State.range(0)));
    tw_song_set_level_metering(l_Song, l_Form == METERED ? 1 : 0);
    constexpr std::size_t kFrames = 1024;
    std::vector<float> l_Mix(2 * kFrames);
    std::vector<std::vector<float>> l_Tracks(16, std::vector<float>(2 * kFrames));
    float* l_Pointers[16];
    for (int l_Track = 0; l_Track < 16; ++l_Track)
        l_Pointers[l_Track] = l_Tracks[l_Track].data();
    tw_song_read_float(l_Song, kRate, kRate, std::vector<float>(2 * kRate).data());  // instruments made
    for (auto l_Unused : p_State)
        benchmark::DoNotOptimize(l_Form == TRACKS
                                     ? tw_song_read_tracks_float(l_Song, kRate, kFrames, l_Pointers)
                                     : tw_song_read_float(l_Song, kRate, kFrames, l_Mix.data()));
    p_State.SetItemsProcessed(static_cast<std::int64_t>(p_State.iterations() * kFrames));
    tw_song_close(l_Song);
}
BENCHMARK(BM_DecoderReadForms)
    ->ArgNames({"interpolation", "form"})
    ->ArgsProduct({{TW_INTERPOLATION_LINEAR, TW_INTERPOLATION_SINC}, {MIXED, METERED, TRACKS}});

long ResidentKiB()
{
    long l_Pages = 0, l_Resident = 0;
    std::FILE* l_File = std::fopen("/proc/self/statm", "r");
    if (l_File != nullptr) {
        if (std::fscanf(l_File, "%ld %ld", &l_Pages, &l_Resident) != 2)
            l_Resident = 0;
        std::fclose(l_File);
    }
    return l_Resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Resident memory added by songs open at once, each having rendered its first block (so that its
// engine and instruments exist). The first song also brings in the built-in bank's pages it uses
// and the one decoded copy of its instruments that every later song shares.
void BM_DecoderMemory(benchmark::State& p_State)
{
    const int l_Count = static_cast<int>(p_State.range(0));
    const std::vector<unsigned char> l_Bytes = ReadBytes(kSong);
    std::int16_t l_Frames[2 * 64];
    tw_set_log_function([](const char*, void*) {}, nullptr);
    for (auto l_Unused : p_State) {
        const long l_Before = ResidentKiB();
        std::vector<tw_song*> l_Songs;
        for (int i = 0; i < l_Count; ++i) {
            l_Songs.push_back(tw_song_open_memory(l_Bytes.data(), l_Bytes.size(), nullptr));
            tw_song_read_s16(l_Songs.back(), kRate, 64, l_Frames);
        }
        const long l_After = ResidentKiB();
        p_State.counters["KiB_total"] = double(l_After - l_Before);
        p_State.counters["KiB_per_song"] = double(l_After - l_Before) / l_Count;
        for (tw_song* l_Song : l_Songs)
            tw_song_close(l_Song);
    }
    tw_set_log_function(nullptr, nullptr);
}
BENCHMARK(BM_DecoderMemory)->Arg(1)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

// Writing a whole song note by note, as an editor does: every track filled with 65535 events in
// beat order through tw_song_insert_event.
void BM_DecoderFillEveryTrack(benchmark::State& p_State)
{
    const std::uint32_t l_Events = 65535;
    int l_Tracks = 0;
    for (auto l_Unused : p_State) {
        tw_song* l_Song = tw_song_new(nullptr);
        l_Tracks = tw_song_get_track_count(l_Song);
        for (int l_Track = 0; l_Track < l_Tracks; ++l_Track)
            for (std::uint32_t l_Beat = 0; l_Beat < l_Events; ++l_Beat) {
                const tw_event l_Event = {l_Beat, static_cast<std::uint8_t>(l_Beat % 96), 1, 200, 6, 0, {0, 0, 0}};
                benchmark::DoNotOptimize(tw_song_insert_event(l_Song, l_Track, &l_Event));
            }
        tw_song_close(l_Song);
    }
    p_State.SetItemsProcessed(p_State.iterations() * l_Tracks * l_Events);
}
BENCHMARK(BM_DecoderFillEveryTrack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
