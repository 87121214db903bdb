// Loads arbitrary bytes as a song, plays a few seconds of it through the clock and the note
// lookup, jumps to the edge positions, and checks that saving and reloading keeps the song.
// Run it with -close_fd_mask=2: every load reports itself on standard error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "OrgSong.h"

namespace {

std::string TempPath(const char* p_Name)
{
    return std::string("/tmp/tunewright-fuzz-") + std::to_string(getpid()) + "-" + p_Name;
}

void WriteAll(const std::string& p_Path, const std::uint8_t* p_Data, std::size_t p_Size)
{
    std::FILE* l_File = std::fopen(p_Path.c_str(), "wb");
    if (l_File == nullptr)
        std::abort();
    if (p_Size != 0 && std::fwrite(p_Data, 1, p_Size, l_File) != p_Size)
        std::abort();
    std::fclose(l_File);
}

unsigned long TotalEvents(const Org::OrgSong& p_Song)
{
    unsigned long l_Total = 0;
    for (const Org::Instrument& l_Instrument : p_Song.instruments)
        l_Total += l_Instrument.numnotes;
    return l_Total;
}

void PlayAWhile(Org::OrgSong& p_Song)
{
    // Huge songs (a few stray bytes in the counts make one) get fewer steps, to keep the
    // fuzzer exploring rather than scanning millions of events per input.
    const unsigned long l_Step = TotalEvents(p_Song) > 20000 ? 1000 : 97;
    p_Song.Play();
    p_Song.Update(1);
    for (unsigned long l_Tick = 2; l_Tick < 3000; l_Tick += l_Step) {
        if (p_Song.cursorUpdated)
            for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
                p_Song.GetNoteHit(l_Track);
        p_Song.Update(l_Tick);
    }
    const unsigned int l_Edges[] = {0u, p_Song.GetLoopStart(), p_Song.GetLoopStop(), 0x7FFFFFFFu, 0xFFFFFFFFu};
    for (unsigned int l_Beat : l_Edges) {
        p_Song.SetCursor(l_Beat);
        for (int l_Track = -1; l_Track <= Org::TRACK_COUNT; ++l_Track)
            p_Song.GetNoteHit(l_Track);
        p_Song.Update(5000 + l_Beat % 1000);
    }
}

bool SameSong(const Org::OrgSong& p_A, const Org::OrgSong& p_B)
{
    if (std::memcmp(&p_A.GetHeader(), &p_B.GetHeader(), sizeof(Org::Header)) != 0 ||
        std::memcmp(p_A.instruments, p_B.instruments, sizeof(p_A.instruments)) != 0)
        return false;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const auto l_A = p_A.GetEvents(l_Track);
        const auto l_B = p_B.GetEvents(l_Track);
        if (l_A.size() != l_B.size() ||
            (!l_A.empty() && std::memcmp(l_A.data(), l_B.data(), l_A.size() * sizeof(Org::NoteEvent)) != 0))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    const std::string l_In = TempPath("in.org");
    const std::string l_Out = TempPath("out.org");
    WriteAll(l_In, p_Data, p_Size);

    Org::OrgSong l_Song(l_In);
    Org::OrgSong l_Untouched(l_In);
    PlayAWhile(l_Song);

    if (!l_Untouched.SaveToFile(l_Out))
        std::abort();
    Org::OrgSong l_Reloaded;
    if (!l_Reloaded.LoadFromFile(l_Out))
        std::abort();
    if (TotalEvents(l_Untouched) <= 20000 && !SameSong(l_Untouched, l_Reloaded))
        std::abort();

    std::remove(l_In.c_str());
    std::remove(l_Out.c_str());
    return 0;
}
