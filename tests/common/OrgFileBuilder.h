#ifndef TUNEWRIGHT_TESTS_ORGFILEBUILDER_H
#define TUNEWRIGHT_TESTS_ORGFILEBUILDER_H

// Builds the bytes of an Org-02 file independently of the library's writer, so tests can
// check the reader against the format rather than against itself.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace OrgTest {

struct Event
{
    std::uint32_t pos;
    std::uint8_t note, length, volume, pan;
};

struct Track
{
    std::uint16_t pitch = 1000;
    std::uint8_t id = 0;
    std::uint8_t noloop = 0;
    std::vector<Event> events;
};

struct SongImage
{
    std::string magic = "Org-02";
    std::uint16_t tempo = 140;
    std::uint8_t steps_bar = 4, beats_step = 4;
    std::uint32_t loopstart = 0, loopstop = 64;
    Track tracks[16];

    std::vector<std::uint8_t> Bytes() const
    {
        std::vector<std::uint8_t> l_Out(magic.begin(), magic.end());
        auto Put16 = [&](std::uint32_t v) {
            l_Out.push_back(v & 0xFF);
            l_Out.push_back((v >> 8) & 0xFF);
        };
        auto Put32 = [&](std::uint32_t v) {
            Put16(v & 0xFFFF);
            Put16(v >> 16);
        };
        Put16(tempo);
        l_Out.push_back(steps_bar);
        l_Out.push_back(beats_step);
        Put32(loopstart);
        Put32(loopstop);
        for (const Track& t : tracks) {
            Put16(t.pitch);
            l_Out.push_back(t.id);
            l_Out.push_back(t.noloop);
            Put16(static_cast<std::uint32_t>(t.events.size()));
        }
        for (const Track& t : tracks) {
            for (const Event& e : t.events)
                Put32(e.pos);
            for (const Event& e : t.events)
                l_Out.push_back(e.note);
            for (const Event& e : t.events)
                l_Out.push_back(e.length);
            for (const Event& e : t.events)
                l_Out.push_back(e.volume);
            for (const Event& e : t.events)
                l_Out.push_back(e.pan);
        }
        return l_Out;
    }
};

// 4 beats of intro and a loop of 8 at 50 ms a beat, a note in each on track 0: with the two loops
// the programs play by default, 1 s.
inline SongImage LoopingSong()
{
    SongImage l_Song;
    l_Song.tempo = 50;
    l_Song.loopstart = 4;
    l_Song.loopstop = 12;
    l_Song.tracks[0].events = {{0, 57, 4, 200, 6}, {4, 60, 8, 200, 6}};
    return l_Song;
}

inline void WriteFile(const std::string& p_Path, const std::vector<std::uint8_t>& p_Bytes)
{
    std::ofstream l_Out(p_Path, std::ios::binary | std::ios::trunc);
    l_Out.write(reinterpret_cast<const char*>(p_Bytes.data()), static_cast<std::streamsize>(p_Bytes.size()));
}

inline std::vector<std::uint8_t> ReadFile(const std::string& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(l_In), std::istreambuf_iterator<char>());
}

}  // namespace OrgTest

#endif
