#ifndef TUNEWRIGHT_TESTS_MIDIROUNDTRIP_H
#define TUNEWRIGHT_TESTS_MIDIROUNDTRIP_H

// A song that the MIDI import made holds only what MIDI holds: exported and imported again (at
// its own beats per step), it must come back the same, with nothing reported lost.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "OrgSong.h"
#include "SongMidi.h"

namespace OrgTest {

inline bool SameEvents(const std::vector<Org::NoteEvent>& p_A, const std::vector<Org::NoteEvent>& p_B)
{
    return std::equal(p_A.begin(), p_A.end(), p_B.begin(), p_B.end(),
                      [](const Org::NoteEvent& p_X, const Org::NoteEvent& p_Y) {
                          return p_X.pos == p_Y.pos && p_X.note == p_Y.note && p_X.length == p_Y.length &&
                                 p_X.volume == p_Y.volume && p_X.pan == p_Y.pan;
                      });
}

// Empty when p_Imported survives the round trip, else what differs.
inline std::string MidiRoundTripProblem(const Org::OrgSong& p_Imported)
{
    const std::vector<std::uint8_t> l_File = Org::SongToMidi(p_Imported);
    const Org::Header& l_Header = p_Imported.GetHeader();
    Org::OrgSong l_Again;
    Org::MidiImportReport l_Report;
    std::string l_Error;
    if (!Org::SongFromMidi(l_File.data(), l_File.size(), l_Header.beats_step, l_Again, l_Report, l_Error))
        return "the export is refused: " + l_Error;
    // The report's first line counts the notes; any other tells of a loss.
    const std::string l_Text = Org::DescribeMidiImport(l_Report);
    if (l_Text.find('\n') + 1 != l_Text.size())
        return "importing the export reports: " + l_Text;
    const Org::Header& l_Back = l_Again.GetHeader();
    if (l_Back.tempo != l_Header.tempo || l_Back.steps_bar != l_Header.steps_bar ||
        l_Back.beats_step != l_Header.beats_step || l_Back.loopstart != l_Header.loopstart ||
        l_Back.loopstop != l_Header.loopstop)
        return "the header differs";
    // Melody tracks keep their places; drum tracks keep their drums.
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        if (!SameEvents(p_Imported.GetEvents(l_Track), l_Again.GetEvents(l_Track)))
            return "track " + std::to_string(l_Track) + " differs";
        if (l_Track >= Org::MELODY_TRACKS &&
            l_Again.instruments[l_Track].id != p_Imported.instruments[l_Track].id &&
            !l_Again.GetEvents(l_Track).empty())
            return "drum track " + std::to_string(l_Track) + " plays another drum";
    }
    return "";
}

}  // namespace OrgTest

#endif
