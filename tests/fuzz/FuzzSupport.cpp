#include "FuzzSupport.h"

#include <algorithm>
#include <cstdlib>

// A small quarantine: ASan keeps freed memory from reuse for a while to catch use after free,
// 256 MiB of it by default, which every input's columns run through. 16 MiB still spans many
// inputs' worth of frees. Allocations the process cannot have fail as they would in a release
// build (the library reports them) instead of ending the run.
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=16:allocator_may_return_null=1";
}

namespace FuzzTest {

namespace {

// Where the sixteen instrument records start and how long each is; the count is its last field.
constexpr std::size_t kInstrumentsAt = 18;
constexpr std::size_t kInstrumentBytes = 6;
constexpr std::size_t kCountAt = 4;
constexpr int kTracks = 16;

}  // namespace

std::vector<std::uint8_t> CapDeclaredEvents(const std::uint8_t* p_Data, std::size_t p_Size)
{
    std::vector<std::uint8_t> l_Bytes(p_Data, p_Data + p_Size);
    for (int l_Track = 0; l_Track < kTracks; ++l_Track) {
        const std::size_t l_At = kInstrumentsAt + kInstrumentBytes * std::size_t(l_Track) + kCountAt;
        if (l_At + 2 > l_Bytes.size())
            break;
        const unsigned l_Count = l_Bytes[l_At] | (unsigned(l_Bytes[l_At + 1]) << 8);
        const unsigned l_Capped = std::min<unsigned>(l_Count, kMaxDeclaredEvents);
        l_Bytes[l_At] = std::uint8_t(l_Capped & 0xFF);
        l_Bytes[l_At + 1] = std::uint8_t(l_Capped >> 8);
    }
    return l_Bytes;
}

std::string DataDir()
{
    const char* l_Dir = std::getenv("TUNEWRIGHT_DATA_DIR");
    return l_Dir != nullptr && l_Dir[0] != '\0' ? l_Dir : TUNEWRIGHT_FUZZ_DATA_DIR;
}

}  // namespace FuzzTest
