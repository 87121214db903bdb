#include "SongBytes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t Little(const std::vector<std::uint8_t>& p_Bytes, std::size_t p_At, int p_Size)
{
    std::uint32_t l_Value = 0;
    for (int l_I = p_Size - 1; l_I >= 0; --l_I) {
        l_Value = (l_Value << 8) | p_Bytes[p_At + l_I];
    }
    return l_Value;
}

}  // namespace

std::vector<std::uint8_t> ReadBytes(const std::string& p_Path)
{
    std::ifstream l_In(p_Path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(l_In), std::istreambuf_iterator<char>());
}

SongBytes DecodeSong(const std::vector<std::uint8_t>& p_Bytes)
{
    SongBytes l_Song;
    if (p_Bytes.size() < 114) {
        l_Song.error = "shorter than the 114-byte header";
        return l_Song;
    }
    l_Song.magic.assign(p_Bytes.begin(), p_Bytes.begin() + 6);
    l_Song.tempo = static_cast<std::uint16_t>(Little(p_Bytes, 6, 2));
    l_Song.stepsBar = p_Bytes[8];
    l_Song.beatsStep = p_Bytes[9];
    l_Song.loopStart = Little(p_Bytes, 10, 4);
    l_Song.loopStop = Little(p_Bytes, 14, 4);
    std::size_t l_Expected = 114;
    std::vector<std::size_t> l_Counts;
    for (int l_T = 0; l_T < 16; ++l_T) {
        const std::size_t l_At = 18 + 6 * l_T;
        SongTrack l_Track;
        l_Track.pitch = static_cast<std::uint16_t>(Little(p_Bytes, l_At, 2));
        l_Track.id = p_Bytes[l_At + 2];
        l_Track.noloop = p_Bytes[l_At + 3];
        l_Counts.push_back(Little(p_Bytes, l_At + 4, 2));
        l_Expected += 8 * l_Counts.back();
        l_Song.tracks.push_back(l_Track);
    }
    if (p_Bytes.size() != l_Expected) {
        l_Song.error = "size " + std::to_string(p_Bytes.size()) + ", counts say " + std::to_string(l_Expected);
        return l_Song;
    }
    std::size_t l_At = 114;
    for (int l_T = 0; l_T < 16; ++l_T) {
        const std::size_t l_N = l_Counts[l_T];
        for (std::size_t l_I = 0; l_I < l_N; ++l_I) {
            SongEvent l_Event;
            l_Event.pos = Little(p_Bytes, l_At + 4 * l_I, 4);
            l_Event.note = p_Bytes[l_At + 4 * l_N + l_I];
            l_Event.length = p_Bytes[l_At + 5 * l_N + l_I];
            l_Event.volume = p_Bytes[l_At + 6 * l_N + l_I];
            l_Event.pan = p_Bytes[l_At + 7 * l_N + l_I];
            l_Song.tracks[l_T].events.push_back(l_Event);
        }
        l_At += 8 * l_N;
    }
    l_Song.ok = true;
    return l_Song;
}

std::vector<std::string> SongFiles(const std::string& p_Folder)
{
    std::vector<std::string> l_Names;
    std::error_code l_Error;
    for (const auto& l_Entry : std::filesystem::directory_iterator(p_Folder, l_Error)) {
        if (l_Entry.path().extension() == ".org") {
            l_Names.push_back(l_Entry.path().filename().string());
        }
    }
    std::sort(l_Names.begin(), l_Names.end());
    return l_Names;
}
