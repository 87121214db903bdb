#ifndef TUNEWRIGHT_TESTS_MIDIFILES_H
#define TUNEWRIGHT_TESTS_MIDIFILES_H

// Standard MIDI Files made byte by byte, as large as asked: the load the import is bounded against.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace OrgTest {

// A type 0 file of exactly p_Size bytes (at least 30): one track of notes on middle C in running
// status, three bytes an event, a tick apart. With p_Ended each note is ended by the next event;
// without, every event starts a note that never ends.
inline std::vector<std::uint8_t> MidiFileOfSize(std::size_t p_Size, bool p_Ended)
{
    std::vector<std::uint8_t> l_File = {'M', 'T', 'h', 'd', 0,  0,   0,   6,   0,
                                        0,   0,   1,   0,   96, 'M', 'T', 'r', 'k'};
    const std::size_t l_Length = p_Size - 22;
    for (int l_Shift = 24; l_Shift >= 0; l_Shift -= 8)
        l_File.push_back(static_cast<std::uint8_t>(l_Length >> l_Shift));
    l_File.reserve(p_Size);
    // Whole events between the first note and the end of the track (4 bytes each); what is left
    // over lengthens the first time, written with leading zero groups.
    const std::size_t l_Events = (p_Size - l_File.size() - 8) / 3;
    l_File.insert(l_File.end(), (p_Size - l_File.size() - 8) % 3, 0x80);
    l_File.insert(l_File.end(), {0, 0x90, 60, 100});
    for (std::size_t i = 0; i < l_Events; ++i)
        l_File.insert(l_File.end(), {1, 60, static_cast<std::uint8_t>(p_Ended && i % 2 == 0 ? 0 : 100)});
    l_File.insert(l_File.end(), {0, 0xFF, 0x2F, 0});
    return l_File;
}

}  // namespace OrgTest

#endif
