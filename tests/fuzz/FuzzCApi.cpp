// Drives the public C interface as an embedding program might, with hostile values everywhere:
// the input's first bytes choose the calls' arguments (any int, float or double bit pattern), the
// rest is opened from memory as a song. Every call must return one of its documented results,
// and reads must never write outside the buffer given to them.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tunewright/tunewright.h"

namespace {

// Reads the arguments from the front of the input; zeros once it runs out.
class Arguments
{
public:
    Arguments(const std::uint8_t* p_Data, std::size_t p_Size) : data(p_Data), size(p_Size) {}

    template <typename T> T Next()
    {
        T l_Value{};
        const std::size_t l_Take = std::min(sizeof(T), size - used);
        std::memcpy(&l_Value, data + used, l_Take);
        used += l_Take;
        return l_Value;
    }
    const std::uint8_t* Rest() const { return data + used; }
    std::size_t RestSize() const { return size - used; }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t used = 0;
};

// A broken promise of the interface: says which, then ends the run for libFuzzer to keep the input.
#define CHECK(p_Holds)                                                                                       \
    do {                                                                                                     \
        if (!(p_Holds)) {                                                                                    \
            std::fprintf(stderr, "fuzz_c_api: %s does not hold (line %d)\n", #p_Holds, __LINE__);            \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

bool IsResult(int p_Result) { return p_Result <= TW_OK && p_Result >= TW_ERROR_TOO_MANY_EVENTS; }

// A sample rate: mostly the ones players use, sometimes anything at all.
int PickRate(std::int32_t p_Raw)
{
    static const int l_Rates[] = {8000, 22050, 44100, 48000, 96000, 192000, 0, -1, 7999, 192001};
    return (p_Raw & 1) ? p_Raw : l_Rates[std::uint32_t(p_Raw >> 1) % (sizeof l_Rates / sizeof *l_Rates)];
}

// Reads p_Frames frames in both formats into buffers with guard bytes after them; the guards must
// be left alone and a read never claims more frames than asked. Returns the frames of the second.
std::size_t ReadBoth(tw_song* p_Song, int p_Rate, std::size_t p_Frames)
{
    constexpr std::size_t kGuard = 16;
    std::vector<std::int16_t> l_Pcm(2 * p_Frames + kGuard, 0x5A5A);
    std::vector<float> l_Float(2 * p_Frames + kGuard, 1234.5f);
    const std::size_t l_GotPcm = tw_song_read_s16(p_Song, p_Rate, p_Frames, l_Pcm.data());
    const std::size_t l_GotFloat = tw_song_read_float(p_Song, p_Rate, p_Frames, l_Float.data());
    CHECK(l_GotPcm <= p_Frames && l_GotFloat <= p_Frames);
    for (std::size_t l_At = 2 * p_Frames; l_At < l_Pcm.size(); ++l_At)
        CHECK(l_Pcm[l_At] == 0x5A5A && l_Float[l_At] == 1234.5f);
    for (std::size_t l_At = 0; l_At < 2 * l_GotFloat; ++l_At)
        CHECK(!std::isnan(l_Float[l_At]));
    return l_GotFloat;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    Arguments l_Args(p_Data, p_Size);
    const std::int32_t l_Interpolation = l_Args.Next<std::int32_t>();
    const std::int32_t l_Loops = l_Args.Next<std::int32_t>();
    const float l_Volume = l_Args.Next<float>();
    const std::int32_t l_Rate = l_Args.Next<std::int32_t>();
    const double l_Seek = l_Args.Next<double>();
    const std::int32_t l_Track = l_Args.Next<std::int32_t>();
    const std::uint16_t l_Frames = l_Args.Next<std::uint16_t>();
    const std::int32_t l_Error = l_Args.Next<std::int32_t>();

    // The library's messages (each open reports itself) go nowhere.
    tw_set_log_function([](const char*, void*) {}, nullptr);
    CHECK(tw_error_string(l_Error) != nullptr);
    int l_Opened = 1;
    tw_song* l_Song = tw_song_open_memory(l_Args.Rest(), l_Args.RestSize(), &l_Opened);
    CHECK(IsResult(l_Opened) && (l_Song != nullptr) == (l_Opened == TW_OK));
    if (l_Song == nullptr)
        return 0;

    CHECK(IsResult(tw_song_set_interpolation(l_Song, l_Interpolation)));
    CHECK(IsResult(tw_song_set_loops(l_Song, l_Loops)));
    CHECK(IsResult(tw_song_set_volume(l_Song, l_Volume)));
    const int l_PickedRate = PickRate(l_Rate);
    // At most a tenth of a second a read, so that each input stays quick.
    const std::size_t l_Read = l_Frames % 4800;
    ReadBoth(l_Song, l_PickedRate, l_Read);

    const double l_Duration = tw_song_get_duration_seconds(l_Song);
    CHECK(!std::isnan(l_Duration) && l_Duration >= 0);
    const int l_Seeked = tw_song_seek_seconds(l_Song, l_Seek);
    CHECK(IsResult(l_Seeked));
    const double l_Position = tw_song_get_position_seconds(l_Song);
    CHECK(!std::isnan(l_Position) && l_Position >= 0);
    // The end is read in whole mix blocks (1 ms, rounded down to whole frames): the last frame may
    // lie up to a block past the duration.
    if (l_Seeked == TW_OK && std::isfinite(l_Duration))
        CHECK(l_Position <= l_Duration + 0.001 + 1e-9);
    ReadBoth(l_Song, l_PickedRate, l_Read / 2);
    // Sought to its end, a song that ends reads nothing more.
    CHECK(tw_song_seek_seconds(l_Song, std::isfinite(l_Duration) ? l_Duration : 1e12) == TW_OK);
    const std::size_t l_AtEnd = ReadBoth(l_Song, 48000, 64);
    // (Seeks stop at 9.6e10 s: a song that lasts longer is not at its end there.)
    CHECK(!(l_Duration < 9.6e10) || l_AtEnd == 0);

    CHECK(tw_song_get_tempo_ms(l_Song) >= 0);
    const int l_Tracks = tw_song_get_track_count(l_Song);
    const bool l_TrackExists = l_Track >= 0 && l_Track < l_Tracks;
    CHECK((tw_song_get_track_instrument(l_Song, l_Track) >= 0) == l_TrackExists);
    CHECK((tw_song_get_track_kind(l_Song, l_Track) >= 0) == l_TrackExists);
    // Events into a buffer of a hostile size: never more than it holds, always the whole count.
    tw_event l_Events[8];
    const int l_Count = tw_song_get_track_events(l_Song, l_Track, l_Events, l_Frames % 9);
    CHECK((l_Count >= 0) == l_TrackExists && l_Count == tw_song_get_track_event_count(l_Song, l_Track));
    for (int l_Each = 0; l_Each < l_Tracks; ++l_Each)
        CHECK(tw_song_get_track_instrument(l_Song, l_Each) >= 0 &&
              tw_song_get_track_event_count(l_Song, l_Each) >= 0);
    std::uint32_t l_Beat = 0;
    CHECK(IsResult(tw_song_get_beat_at_seconds(l_Song, l_Seek, &l_Beat)));

    // Hostile edits between reads, from the same arguments: each gives a documented result, and what
    // the song then holds saves to bytes that open as the very same song.
    const tw_event l_Event = {std::uint32_t(l_Error),
                              std::uint8_t(l_Frames),
                              std::uint8_t(l_Frames >> 8),
                              std::uint8_t(l_Rate),
                              std::uint8_t(l_Rate >> 8),
                              0,
                              {0, 0, 0}};
    CHECK(IsResult(tw_song_set_tempo_ms(l_Song, l_Error)));
    CHECK(IsResult(tw_song_set_loop(l_Song, std::uint32_t(l_Loops), std::uint32_t(l_Error))));
    CHECK(IsResult(tw_song_set_track_instrument(l_Song, l_Track, l_Interpolation)));
    CHECK(IsResult(tw_song_insert_event(l_Song, l_Track, &l_Event)));
    CHECK(IsResult(tw_song_replace_event(l_Song, l_Track & 15, &l_Event)));
    ReadBoth(l_Song, l_PickedRate, l_Read / 4);
    CHECK(IsResult(tw_song_remove_event(l_Song, l_Track & 15, l_Beat)));
    const int l_Size = tw_song_save_memory(l_Song, nullptr, 0);
    CHECK(l_Size > 0);
    std::vector<std::uint8_t> l_Saved(static_cast<std::size_t>(l_Size));
    CHECK(tw_song_save_memory(l_Song, l_Saved.data(), l_Saved.size()) == l_Size);
    tw_song* l_Again = tw_song_open_memory(l_Saved.data(), l_Saved.size(), nullptr);
    CHECK(l_Again != nullptr);
    std::vector<std::uint8_t> l_Resaved(l_Saved.size());
    CHECK(tw_song_save_memory(l_Again, l_Resaved.data(), l_Resaved.size()) == l_Size && l_Resaved == l_Saved);
    tw_song_close(l_Again);
    tw_song_close(l_Song);
    return 0;
}
