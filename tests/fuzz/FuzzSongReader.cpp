// Loads arbitrary bytes as a song, plays a few seconds of it through the clock and the note
// lookup, jumps to the edge positions, and checks that a song read whole, written out again by
// the tests' own builder of the format and by the library, gives back the bytes it was read from,
// that the strict check calls whole what the reader read whole, and that the events marked as
// starting notes are those the lookup starts. Everything stays in memory.
// Run it with -close_fd_mask=2: every load reports itself on standard error.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "OrgFileBuilder.h"
#include "OrgSong.h"

namespace {

constexpr std::size_t kMagicBytes = 6;

void PlayAWhile(Org::OrgSong& p_Song)
{
    p_Song.Play();
    p_Song.Update(1);
    for (unsigned long l_Tick = 2; l_Tick < 3000; l_Tick += 97) {
        if (p_Song.cursorUpdated)
            for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
                p_Song.GetNoteHit(l_Track);
        p_Song.Update(l_Tick);
    }
    const unsigned int l_Edges[] = {0u, p_Song.GetLoopStart(), p_Song.GetLoopStop(), 0x7FFFFFFFu,
                                    0xFFFFFFFFu};
    for (unsigned int l_Beat : l_Edges) {
        p_Song.SetCursor(l_Beat);
        for (int l_Track = -1; l_Track <= Org::TRACK_COUNT; ++l_Track)
            p_Song.GetNoteHit(l_Track);
        p_Song.Update(5000 + l_Beat % 1000);
    }
}

// The song as the bytes of an Org-02 file, made by the tests' builder rather than the library.
std::vector<std::uint8_t> FileBytes(const Org::OrgSong& p_Song)
{
    OrgTest::SongImage l_Image;
    const Org::Header& l_Header = p_Song.GetHeader();
    l_Image.tempo = l_Header.tempo;
    l_Image.steps_bar = l_Header.steps_bar;
    l_Image.beats_step = l_Header.beats_step;
    l_Image.loopstart = l_Header.loopstart;
    l_Image.loopstop = l_Header.loopstop;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        OrgTest::Track& l_Out = l_Image.tracks[l_Track];
        l_Out.pitch = p_Song.instruments[l_Track].pitch;
        l_Out.id = p_Song.instruments[l_Track].id;
        l_Out.noloop = p_Song.instruments[l_Track].noloop;
        for (const Org::NoteEvent& l_Event : p_Song.GetEvents(l_Track))
            l_Out.events.push_back({l_Event.pos, l_Event.note, l_Event.length, l_Event.volume, l_Event.pan});
    }
    return l_Image.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    const std::vector<std::uint8_t> l_Bytes = FuzzTest::CapDeclaredEvents(p_Data, p_Size);
    Org::OrgSong l_Song;
    const bool l_Loaded = l_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size());
    PlayAWhile(l_Song);

    // A song read whole is exactly what its bytes say, playing it changes none of that, and it
    // takes as many bytes (after the magic) as it declares.
    if (l_Loaded) {
        const std::vector<std::uint8_t> l_Written = FileBytes(l_Song);
        if (l_Written.size() > l_Bytes.size() ||
            !std::equal(l_Written.begin() + kMagicBytes, l_Written.end(), l_Bytes.begin() + kMagicBytes) ||
            l_Song.SaveToMemory() != l_Written)
            std::abort();
    }
    if ((Org::CheckSongBytes(l_Bytes.data(), l_Bytes.size(), true) == Org::SongBytes::WHOLE) != l_Loaded)
        std::abort();
    // The first notes of each track (the lookup scans the whole track for each).
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const std::vector<Org::NoteEvent> l_Events = l_Song.GetEvents(l_Track);
        const std::vector<bool> l_Starts = l_Song.NoteStarts(l_Track);
        for (std::size_t i = 0; i < l_Events.size() && i < 8; ++i) {
            const Org::SampleData l_Hit = l_Song.GetNoteHit(l_Track, static_cast<int>(l_Events[i].pos));
            if (l_Starts[i] && (l_Hit.playing != 1 || l_Hit.note != l_Events[i].note))
                std::abort();
        }
    }
    return 0;
}
