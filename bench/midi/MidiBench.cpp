// The MIDI import on the largest file it reads (Org::MAX_MIDI_BYTES, more events than it holds):
// the time of one import, and the most memory it has allocated at once, counted by this program's
// own operator new.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "MidiFiles.h"
#include "OrgSong.h"
#include "SongMidi.h"

namespace {

// Each block carries its size before it, so that a delete can take it off the count.
constexpr std::size_t HEAD = alignof(std::max_align_t);
std::atomic<std::size_t> g_Live{0}, g_Peak{0};

void* Allocate(std::size_t p_Size)
{
    void* l_Block = std::malloc(p_Size + HEAD);
    if (l_Block == nullptr)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(l_Block) = p_Size;
    const std::size_t l_Live = g_Live += p_Size;
    for (std::size_t l_Peak = g_Peak; l_Live > l_Peak && !g_Peak.compare_exchange_weak(l_Peak, l_Live);)
        ;
    return static_cast<char*>(l_Block) + HEAD;
}

void Free(void* p_Memory)
{
    if (p_Memory == nullptr)
        return;
    char* l_Block = static_cast<char*>(p_Memory) - HEAD;
    g_Live -= *reinterpret_cast<std::size_t*>(l_Block);
    std::free(l_Block);
}

// Imports the largest file there is, its notes ended (range 1) or never ended (0), every round.
void BM_MidiImportLargest(benchmark::State& p_State)
{
    const std::vector<std::uint8_t> l_File =
        OrgTest::MidiFileOfSize(Org::MAX_MIDI_BYTES, p_State.range(0) != 0);
    std::size_t l_Most = 0;
    Org::MidiImportReport l_Report;
    for (auto l_Unused : p_State) {
        Org::OrgSong l_Song;
        std::string l_Error;
        const std::size_t l_Before = g_Live;
        g_Peak = l_Before;
        benchmark::DoNotOptimize(
            Org::SongFromMidi(l_File.data(), l_File.size(), 4, l_Song, l_Report, l_Error));
        l_Most = std::max(l_Most, g_Peak - l_Before);
    }
    p_State.counters["file_MiB"] = double(l_File.size()) / (1 << 20);
    p_State.counters["peak_MiB"] = double(l_Most) / (1 << 20);
    p_State.counters["notes_kept"] = double(l_Report.notes);
    p_State.counters["events_dropped"] = double(l_Report.excessEvents);
}
BENCHMARK(BM_MidiImportLargest)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

void* operator new(std::size_t p_Size) { return Allocate(p_Size); }
void* operator new[](std::size_t p_Size) { return Allocate(p_Size); }
void operator delete(void* p_Memory) noexcept { Free(p_Memory); }
void operator delete[](void* p_Memory) noexcept { Free(p_Memory); }
void operator delete(void* p_Memory, std::size_t) noexcept { Free(p_Memory); }
void operator delete[](void* p_Memory, std::size_t) noexcept { Free(p_Memory); }

BENCHMARK_MAIN();
