// Writes the fuzz targets' starting corpora: a few small songs (for the song reader and the
// render path), a few call streams (for the engine's C interface), the songs again behind the
// arguments the library's C interface target reads first, and every song of the song folder
// (the bundled ones too) as a MIDI file for the MIDI import.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "OrgFileBuilder.h"
#include "OrgSong.h"
#include "SongMidi.h"

namespace {

void WriteSongs(const std::string& p_Folder)
{
    OrgTest::SongImage l_Blank;
    OrgTest::WriteFile(p_Folder + "/blank.org", l_Blank.Bytes());

    OrgTest::SongImage l_Melody;
    l_Melody.tempo = 120;
    l_Melody.loopstart = 4;
    l_Melody.loopstop = 16;
    l_Melody.tracks[0].id = 3;
    l_Melody.tracks[0].events = {
        {0, 48, 4, 200, 6}, {2, 0, 0, 100, 255}, {4, 50, 2, 180, 3}, {8, 52, 8, 160, 9}};
    l_Melody.tracks[8].id = 0;
    l_Melody.tracks[8].events = {{0, 40, 1, 200, 6}, {4, 40, 1, 200, 6}, {8, 40, 1, 200, 6}};
    OrgTest::WriteFile(p_Folder + "/melody.org", l_Melody.Bytes());

    OrgTest::SongImage l_Edges;
    l_Edges.tempo = 0;
    l_Edges.loopstart = 0xFFFFFFF0u;
    l_Edges.loopstop = 3;
    l_Edges.tracks[15].events = {{0xFFFFFFF0u, 255, 255, 255, 255}, {0xFFFFFFFFu, 95, 0, 0, 0}};
    OrgTest::WriteFile(p_Folder + "/edges.org", l_Edges.Bytes());

    auto l_Cut = l_Melody.Bytes();
    l_Cut.resize(l_Cut.size() - 5);
    OrgTest::WriteFile(p_Folder + "/truncated.org", l_Cut);
}

// A call stream as the engine target reads it. Its reader takes numbers from the end of the
// input, most significant byte first, so the values are gathered in the order they are read
// and the whole is reversed at the end.
class CallStream
{
public:
    CallStream& Byte(std::uint8_t p_Value)
    {
        m_Read.push_back(p_Value);
        return *this;
    }
    CallStream& Int(std::uint32_t p_Value)
    {
        for (int l_Shift = 24; l_Shift >= 0; l_Shift -= 8)
            m_Read.push_back(std::uint8_t(p_Value >> l_Shift));
        return *this;
    }
    std::vector<std::uint8_t> Bytes() const
    {
        return std::vector<std::uint8_t>(m_Read.rbegin(), m_Read.rend());
    }

private:
    std::vector<std::uint8_t> m_Read;
};

void WriteCallStreams(const std::string& p_Folder)
{
    // The ordinary life of an engine: create, start with 32 voices, take the master group, load
    // a looping sample, play it on a free voice, set its volume, mix ten blocks.
    CallStream l_Calls;
    l_Calls.Byte(0).Byte(0);                                           // System_Create, a place for it
    l_Calls.Byte(8).Byte(0).Byte(1).Byte(33).Byte(1);                  // System_Init(system 0, 32, normal)
    l_Calls.Byte(10).Byte(0).Byte(0);                                  // GetMasterChannelGroup
    l_Calls.Byte(12).Byte(0).Byte(0).Byte(1).Byte(1).Byte(0).Byte(0);  // CreateSound(melody0, looping)
    // PlaySound(free, sound 0, not paused: a whole int is read offset by its minimum).
    l_Calls.Byte(13).Byte(0).Byte(1).Byte(0).Int(0x80000000u).Byte(0).Byte(0);
    l_Calls.Byte(19).Byte(0).Byte(0).Int(0x3F000000u);  // Channel_SetVolume(0.5)
    for (int l_Block = 0; l_Block < 10; ++l_Block)
        l_Calls.Byte(9).Byte(0);  // System_Update
    OrgTest::WriteFile(p_Folder + "/ordinary.calls", l_Calls.Bytes());

    // Streams of noise of a few lengths, the same on every run.
    std::mt19937 l_Random(2026);
    for (std::size_t l_Length : {16u, 64u, 256u, 1024u}) {
        std::vector<std::uint8_t> l_Noise(l_Length);
        for (std::uint8_t& l_Byte : l_Noise)
            l_Byte = std::uint8_t(l_Random());
        OrgTest::WriteFile(p_Folder + "/noise" + std::to_string(l_Length) + ".calls", l_Noise);
    }
}

// The arguments fuzz_c_api reads before the song, in its order: linear interpolation, no repeats,
// volume 0.5, the fourth of its usual rates (48 kHz), a seek to 1 s, track 3, 4800 frames a read,
// error code 0.
std::vector<std::uint8_t> ApiArguments()
{
    std::vector<std::uint8_t> l_Bytes;
    auto l_Add = [&l_Bytes](const auto& p_Value) {
        std::uint8_t l_Raw[sizeof p_Value];
        std::memcpy(l_Raw, &p_Value, sizeof p_Value);
        l_Bytes.insert(l_Bytes.end(), l_Raw, l_Raw + sizeof p_Value);
    };
    l_Add(std::int32_t(1));
    l_Add(std::int32_t(0));
    l_Add(0.5f);
    l_Add(std::int32_t(6));
    l_Add(1.0);
    l_Add(std::int32_t(3));
    l_Add(std::uint16_t(4800));
    l_Add(std::int32_t(0));
    return l_Bytes;
}

void WriteApiInputs(const std::string& p_SongFolder, const std::string& p_Folder)
{
    for (const char* l_Name : {"blank.org", "melody.org", "edges.org", "truncated.org"}) {
        std::vector<std::uint8_t> l_Input = ApiArguments();
        const std::vector<std::uint8_t> l_Song = OrgTest::ReadFile(p_SongFolder + "/" + l_Name);
        l_Input.insert(l_Input.end(), l_Song.begin(), l_Song.end());
        OrgTest::WriteFile(p_Folder + "/" + l_Name, l_Input);
    }
}

void WriteMidiFiles(const std::string& p_SongFolder, const std::string& p_Folder)
{
    for (const auto& l_Entry : std::filesystem::directory_iterator(p_SongFolder)) {
        const std::vector<std::uint8_t> l_Bytes = OrgTest::ReadFile(l_Entry.path().string());
        const Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
        OrgTest::WriteFile(p_Folder + "/" + l_Entry.path().stem().string() + ".mid", Org::SongToMidi(l_Song));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: make_fuzz_seeds SONG_FOLDER CALL_FOLDER API_FOLDER MIDI_FOLDER\n"
                   "Writes seed songs (for fuzz_song_reader and fuzz_song_render) into SONG_FOLDER,\n"
                   "seed call streams (for fuzz_engine_api) into CALL_FOLDER, the songs behind\n"
                   "arguments (for fuzz_c_api) into API_FOLDER and every song of SONG_FOLDER as\n"
                   "MIDI (for fuzz_midi_import) into MIDI_FOLDER.\n",
                   stderr);
        return 2;
    }
    WriteSongs(argv[1]);
    WriteCallStreams(argv[2]);
    WriteApiInputs(argv[1], argv[3]);
    WriteMidiFiles(argv[1], argv[4]);
    return 0;
}
