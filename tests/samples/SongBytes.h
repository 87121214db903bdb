#ifndef TUNEWRIGHT_TESTS_SAMPLES_SONGBYTES_H
#define TUNEWRIGHT_TESTS_SAMPLES_SONGBYTES_H

#include <cstdint>
#include <string>
#include <vector>

// An Org-02 file decoded straight from its bytes, independently of the song library.
struct SongEvent {
    std::uint32_t pos;
    std::uint8_t note, length, volume, pan;
};

struct SongTrack {
    std::uint16_t pitch;
    std::uint8_t id, noloop;
    std::vector<SongEvent> events;
};

struct SongBytes {
    bool ok = false;        // the counts and the file size agree
    std::string error;
    std::string magic;
    std::uint16_t tempo = 0;
    std::uint8_t stepsBar = 0, beatsStep = 0;
    std::uint32_t loopStart = 0, loopStop = 0;
    std::vector<SongTrack> tracks;
};

std::vector<std::uint8_t> ReadBytes(const std::string& p_Path);
SongBytes DecodeSong(const std::vector<std::uint8_t>& p_Bytes);
// The *.org files of a folder, by name, sorted.
std::vector<std::string> SongFiles(const std::string& p_Folder);

#endif
