// Imports arbitrary bytes as a Standard MIDI File, at a quantise that follows the input's size,
// and checks that whatever the import reads holds only what MIDI holds: exported and imported
// again it comes back the same, with nothing reported lost. Everything stays in memory.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "MidiRoundTrip.h"
#include "OrgSong.h"
#include "SongMidi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    const int l_Quantize = 1 + static_cast<int>(p_Size % Org::MIDI_QUANTIZE_MAX);
    Org::OrgSong l_Song;
    Org::MidiImportReport l_Report;
    std::string l_Error;
    if (!Org::SongFromMidi(p_Data, p_Size, l_Quantize, l_Song, l_Report, l_Error))
        return 0;
    if (Org::DescribeMidiImport(l_Report).empty() || !OrgTest::MidiRoundTripProblem(l_Song).empty())
        std::abort();
    return 0;
}
