// MIDI in and out. The files read are written by Debian's python3-mido, not by our own writer, and
// our writer's files are read back by mido too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <tunewright/tunewright.h>

#include "MidiFiles.h"
#include "MidiRoundTrip.h"
#include "OrgFileBuilder.h"
#include "OrgSong.h"
#include "RunTool.h"
#include "SongMidi.h"
#include "TempDir.h"

namespace {

using Events = std::vector<Org::NoteEvent>;

// Runs Python with mido imported (Message as N, MetaMessage as Meta, MidiFile, MidiTrack) and the
// first argument in `path` (the rest in sys.argv); its output.
std::string Mido(const OrgTest::TempDir& p_Dir, const std::string& p_Script, const std::string& p_Path,
                 const std::string& p_More = "")
{
    const std::string l_Text = "import sys\nfrom mido import Message as N, MetaMessage as Meta, MidiFile, "
                               "MidiTrack\npath = sys.argv[1]\n" +
                               p_Script;
    OrgTest::WriteFile(p_Dir.Path("script.py"), std::vector<std::uint8_t>(l_Text.begin(), l_Text.end()));
    const ToolResult l_Run = RunTool(Quoted(TUNEWRIGHT_PYTHON) + " " + Quoted(p_Dir.Path("script.py")) + " " +
                                     Quoted(p_Path) + " " + (p_More.empty() ? "" : Quoted(p_More)));
    EXPECT_EQ(0, l_Run.status) << l_Run.output;
    return l_Run.output;
}

// The bytes of the file mido saves after p_Script has made `m`.
std::vector<std::uint8_t> MidoFile(const OrgTest::TempDir& p_Dir, const std::string& p_Script)
{
    Mido(p_Dir, p_Script + "m.save(path)\n", p_Dir.Path("made.mid"));
    return OrgTest::ReadFile(p_Dir.Path("made.mid"));
}

// Type 1 at 480 ticks per quarter: a conductor with a second, faster tempo that holds for less time
// than the first, from the last note to the loop's end, and the loop markers, a melody
// channel, a channel playing a nine-note chord, and drums (one key no drum has, one never ended).
const char* const BAND = R"(m = MidiFile(type=1, ticks_per_beat=480)
c, v, ch, d = MidiTrack(), MidiTrack(), MidiTrack(), MidiTrack()
m.tracks += [c, v, ch, d]
c += [Meta('time_signature', numerator=3, denominator=4), Meta('set_tempo', tempo=600000),
      Meta('marker', text='loop start', time=960), Meta('set_tempo', tempo=200000, time=960),
      Meta('marker', text='Loop End', time=3840)]
v += [N('program_change', channel=0, program=40), N('control_change', channel=0, control=10, value=0),
      N('note_on', channel=0, note=69, velocity=100), N('note_off', channel=0, note=69, time=480),
      N('note_on', channel=0, note=72, velocity=50), N('note_off', channel=0, note=72, time=240),
      N('note_on', channel=0, note=5, velocity=50), N('note_off', channel=0, note=5, time=240),
      N('control_change', channel=0, control=10, value=127, time=960),
      N('note_on', channel=0, note=60, velocity=127), N('note_off', channel=0, note=60, time=10)]
ch += [N('note_on', channel=1, note=48 + i, velocity=64) for i in range(9)]
ch += [N('note_off', channel=1, note=48 + i, time=960 if i == 0 else 0) for i in range(9)]
d += [N('note_on', channel=9, note=36, velocity=127), N('note_off', channel=9, note=36, time=30),
      N('note_on', channel=9, note=42, velocity=40, time=210), N('note_off', channel=9, note=42, time=10),
      N('note_on', channel=9, note=81, velocity=40), N('note_off', channel=9, note=81),
      N('note_on', channel=9, note=38, velocity=90, time=230), N('note_on', channel=9, note=36, velocity=10),
      N('note_off', channel=9, note=36, time=10)]
)";

void ExpectEvents(const Events& p_Expected, const Events& p_Actual, const std::string& p_What)
{
    ASSERT_EQ(p_Expected.size(), p_Actual.size()) << p_What;
    for (std::size_t i = 0; i < p_Expected.size(); ++i) {
        const Org::NoteEvent& l_Want = p_Expected[i];
        const Org::NoteEvent& l_Got = p_Actual[i];
        EXPECT_EQ(l_Want.pos, l_Got.pos) << p_What << " event " << i;
        EXPECT_EQ(l_Want.note, l_Got.note) << p_What << " event " << i;
        EXPECT_EQ(l_Want.length, l_Got.length) << p_What << " event " << i;
        EXPECT_NEAR(l_Want.volume, l_Got.volume, 2) << p_What << " event " << i;
        EXPECT_EQ(l_Want.pan, l_Got.pan) << p_What << " event " << i;
    }
}

}  // namespace

TEST(MidiImport, KeepsTimingKeysVelocitiesPansAndDrumsAndCountsWhatItDrops)
{
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_File = MidoFile(l_Dir, BAND);
    Org::OrgSong l_Song;
    Org::MidiImportReport l_Report;
    std::string l_Error;
    ASSERT_TRUE(Org::SongFromMidi(l_File.data(), l_File.size(), 4, l_Song, l_Report, l_Error)) << l_Error;

    // 600000 us per quarter of 4 beats; 3/4; 480 ticks are 4 beats until the faster tempo, which
    // makes the loop's last 3840 ticks a third as long.
    const Org::Header& l_Header = l_Song.GetHeader();
    EXPECT_EQ(150, l_Header.tempo);
    EXPECT_EQ(3, l_Header.steps_bar);
    EXPECT_EQ(4, l_Header.beats_step);
    EXPECT_EQ(8u, l_Header.loopstart);
    EXPECT_EQ(16u + 11u, l_Header.loopstop);
    // Velocity twice over as volume, controller 0 and 127 as the pans 0 and 12; the 10-tick note
    // lengthened to a beat; the chord's first seven voices on tracks 1-7.
    ExpectEvents({{0, 57, 4, 200, 0}, {4, 60, 2, 100, 0}, {16, 48, 1, 254, 12}}, l_Song.GetEvents(0),
                 "violin");
    EXPECT_EQ(47, l_Song.instruments[0].id);
    for (int l_Track = 1; l_Track < Org::MELODY_TRACKS; ++l_Track) {
        ExpectEvents({{0, static_cast<std::uint8_t>(35 + l_Track), 8, 128, 6}}, l_Song.GetEvents(l_Track),
                     "chord track " + std::to_string(l_Track));
        EXPECT_EQ(Org::WaveformOfProgram(0), l_Song.instruments[l_Track].id);
    }
    // Drums in the order they first play, every hit one beat at the drum key.
    const std::uint8_t l_Key = Org::IMPORTED_DRUM_KEY;
    ExpectEvents({{0, l_Key, 1, 254, 6}, {4, l_Key, 1, 20, 6}}, l_Song.GetEvents(8), "bass drum");
    ExpectEvents({{2, l_Key, 1, 80, 6}}, l_Song.GetEvents(9), "closed hi-hat");
    ExpectEvents({{4, l_Key, 1, 180, 6}}, l_Song.GetEvents(10), "snare");
    EXPECT_EQ(0, l_Song.instruments[8].id);
    EXPECT_EQ(5, l_Song.instruments[9].id);
    EXPECT_EQ(2, l_Song.instruments[10].id);
    EXPECT_TRUE(l_Song.GetEvents(11).empty());

    EXPECT_EQ(14u, l_Report.notes);
    EXPECT_EQ(1u, l_Report.keysOutOfRange);
    EXPECT_EQ(1u, l_Report.unmappedDrums);
    EXPECT_EQ(1u, l_Report.extraVoices);
    EXPECT_EQ(1u, l_Report.sharedTracks);
    EXPECT_EQ(1u, l_Report.lengthened);
    EXPECT_EQ(1u, l_Report.extraTempos);
    EXPECT_EQ(1u, l_Report.unfinished);
    EXPECT_FALSE(l_Report.damaged);
    const std::string l_Text = Org::DescribeMidiImport(l_Report);
    EXPECT_EQ(8, std::count(l_Text.begin(), l_Text.end(), '\n')) << l_Text;
    EXPECT_NE(std::string::npos, l_Text.find("1 tempo changes followed")) << l_Text;
}

TEST(MidiImport, FollowsTheTempoMapSoThatEveryNoteSoundsWithinHalfABeatOfItsTime)
{
    // A quarter note a note, while the tempo goes from 480000 to 240000 us (the one that holds
    // longest), 960000 and back, one change in the middle of a note; mido gives each note's time.
    OrgTest::TempDir l_Dir;
    const std::string l_Make = R"(m = MidiFile(type=1, ticks_per_beat=96)
c, t = MidiTrack(), MidiTrack()
m.tracks += [c, t]
c += [Meta('set_tempo', tempo=480000), Meta('set_tempo', tempo=240000, time=96 * 8),
      Meta('set_tempo', tempo=960000, time=96 * 24), Meta('set_tempo', tempo=240000, time=96 * 4 + 48)]
for i in range(48):
    t += [N('note_on', note=60 + i % 12, velocity=100), N('note_off', note=60 + i % 12, time=96)]
)";
    const std::vector<std::uint8_t> l_File = MidoFile(l_Dir, l_Make);
    std::vector<double> l_Times;
    std::istringstream l_Printed(Mido(l_Dir, l_Make + R"(now = 0
for e in m:
    now += e.time
    if e.type == 'note_on': print(now)
)",
                                      l_Dir.Path("unused")));
    for (double l_Time = 0; l_Printed >> l_Time;)
        l_Times.push_back(l_Time);
    ASSERT_EQ(48u, l_Times.size());

    Org::OrgSong l_Song;
    Org::MidiImportReport l_Report;
    std::string l_Error;
    ASSERT_TRUE(Org::SongFromMidi(l_File.data(), l_File.size(), 4, l_Song, l_Report, l_Error)) << l_Error;
    const double l_Beat = l_Song.GetHeader().tempo / 1000.0;
    EXPECT_EQ(60, l_Song.GetHeader().tempo);
    const Events& l_Notes = l_Song.GetEvents(0);
    ASSERT_EQ(48u, l_Notes.size());
    for (std::size_t i = 0; i < l_Notes.size(); ++i)
        EXPECT_LE(std::fabs(l_Notes[i].pos * l_Beat - l_Times[i]), l_Beat / 2) << "note " << i;
    // The first eight notes take twice their beats, the slow ones four times: every note after the
    // first is placed elsewhere than its ticks alone would have it.
    EXPECT_EQ(32u, l_Notes[4].pos);
    EXPECT_EQ(47u, l_Report.retimed);
    EXPECT_EQ(3u, l_Report.extraTempos);
    const std::string l_Text = Org::DescribeMidiImport(l_Report);
    EXPECT_NE(std::string::npos, l_Text.find("47 notes placed more than a beat")) << l_Text;
}

TEST(MidiExport, EveryBundledSongComesBackWithItsInstrumentsPlacesAndDrumKeys)
{
    for (const auto& l_Entry : std::filesystem::directory_iterator(TUNEWRIGHT_SONGS_DIR)) {
        const std::vector<std::uint8_t> l_Bytes = OrgTest::ReadFile(l_Entry.path().string());
        const Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
        const std::vector<std::uint8_t> l_File = Org::SongToMidi(l_Song);
        Org::OrgSong l_Back;
        Org::MidiImportReport l_Report;
        std::string l_Error;
        ASSERT_TRUE(Org::SongFromMidi(l_File.data(), l_File.size(), l_Song.GetHeader().beats_step, l_Back,
                                      l_Report, l_Error))
            << l_Error;
        EXPECT_EQ(l_Song.GetHeader().tempo, l_Back.GetHeader().tempo) << l_Entry.path();
        int l_Sounding = 0;
        for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
            // The notes the song strikes, each at its beat and key (a drum's too).
            const auto Struck = [&](const Org::OrgSong& p_Song) {
                std::vector<std::pair<std::uint32_t, int>> l_Struck;
                for (const Org::OrgSong::SoundRun& l_Run : p_Song.SoundRuns(l_Track))
                    if (l_Run.struck)
                        l_Struck.push_back({l_Run.pos, l_Run.note});
                return l_Struck;
            };
            const std::string l_What =
                l_Entry.path().filename().string() + " track " + std::to_string(l_Track);
            EXPECT_EQ(Struck(l_Song), Struck(l_Back)) << l_What;
            if (l_Song.GetEvents(l_Track).empty())
                continue;
            ++l_Sounding;
            EXPECT_EQ(l_Song.instruments[l_Track].id, l_Back.instruments[l_Track].id) << l_What;
        }
        EXPECT_GT(l_Sounding, 8) << l_Entry.path();
    }
}

TEST(MidiImport, ReadsTypeZeroWithRunningStatusAndSkipsSystemExclusiveAndText)
{
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_File = MidoFile(l_Dir, R"(m = MidiFile(type=0, ticks_per_beat=96)
t = MidiTrack(); m.tracks.append(t)
t += [Meta('copyright', text='x'), N('sysex', data=[1, 2, 3]), N('program_change', channel=2, program=56)]
for i, k in enumerate([60, 62, 64, 65]):
    t += [N('note_on', channel=2, note=k, velocity=20 + i), N('note_on', channel=2, note=k, velocity=0, time=48)]
)");
    // One note-on status byte: the rest ride on it.
    EXPECT_EQ(1, std::count(l_File.begin(), l_File.end(), 0x92));
    for (int l_Quantize : {4, 2}) {
        Org::OrgSong l_Song;
        Org::MidiImportReport l_Report;
        std::string l_Error;
        ASSERT_TRUE(Org::SongFromMidi(l_File.data(), l_File.size(), l_Quantize, l_Song, l_Report, l_Error));
        const std::uint32_t l_Step = l_Quantize / 2;  // beats per 48 ticks
        const std::uint8_t l_Length = static_cast<std::uint8_t>(l_Step);
        ExpectEvents({{0, 48, l_Length, 40, 6},
                      {l_Step, 50, l_Length, 42, 6},
                      {2 * l_Step, 52, l_Length, 44, 6},
                      {3 * l_Step, 53, l_Length, 46, 6}},
                     l_Song.GetEvents(0), "quantize " + std::to_string(l_Quantize));
        EXPECT_EQ(35, l_Song.instruments[0].id);  // trumpet
        EXPECT_EQ(500u / l_Quantize, l_Song.GetHeader().tempo);
        EXPECT_EQ("4 notes imported at " + std::to_string(500 / l_Quantize) + " ms per beat.\n",
                  Org::DescribeMidiImport(l_Report));
    }
}

TEST(MidiImport, HostileBytesAreRefusedOrReadAsFarAsTheyGo)
{
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_File = MidoFile(l_Dir, BAND);
    Org::OrgSong l_Song;
    ASSERT_TRUE(l_Song.SetEvents(0, {{0, 60, 1, 100, 6}}));
    Org::MidiImportReport l_Report;
    std::string l_Error;
    const auto Import = [&](const std::vector<std::uint8_t>& p_Bytes) {
        return Org::SongFromMidi(p_Bytes.data(), p_Bytes.size(), 4, l_Song, l_Report, l_Error);
    };
    struct Refusal
    {
        std::vector<std::uint8_t> bytes;
        std::string why;
    };
    std::vector<std::uint8_t> l_Type2 = l_File, l_NoDivision = l_File;
    l_Type2[9] = 2;
    l_NoDivision[12] = l_NoDivision[13] = 0;
    for (const Refusal& l_Case : {Refusal{{'M', 'T', 'h', 'd'}, "not a Standard MIDI File"},
                                  Refusal{l_Type2, "type 2"}, Refusal{l_NoDivision, "division is 0"}}) {
        EXPECT_FALSE(Import(l_Case.bytes));
        EXPECT_NE(std::string::npos, l_Error.find(l_Case.why)) << l_Error;
        EXPECT_EQ(1u, l_Song.GetEvents(0).size()) << "a refused file changes nothing";
    }
    EXPECT_FALSE(Org::SongFromMidi(l_File.data(), l_File.size(), 0, l_Song, l_Report, l_Error));

    // Cut anywhere inside a chunk, the file is read up to the cut and said to be damaged.
    for (std::size_t l_Size = 14; l_Size < l_File.size(); ++l_Size) {
        const std::vector<std::uint8_t> l_Cut(l_File.begin(), l_File.begin() + static_cast<long>(l_Size));
        ASSERT_TRUE(Import(l_Cut)) << l_Size;
        EXPECT_TRUE(l_Report.damaged || l_File[l_Size] == 'M') << l_Size;
    }
    // A chunk longer than the file, a delta of five bytes, a data byte with no status before it.
    const std::vector<std::uint8_t> l_Head(l_File.begin(), l_File.begin() + 14);
    for (const std::vector<std::uint8_t>& l_Chunk :
         {std::vector<std::uint8_t>{'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0x90, 60, 100},
          std::vector<std::uint8_t>{'M', 'T', 'r', 'k', 0, 0, 0, 8, 0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60,
                                    1},
          std::vector<std::uint8_t>{'M', 'T', 'r', 'k', 0, 0, 0, 3, 0, 60, 100}}) {
        std::vector<std::uint8_t> l_Bytes = l_Head;
        l_Bytes.insert(l_Bytes.end(), l_Chunk.begin(), l_Chunk.end());
        ASSERT_TRUE(Import(l_Bytes));
        EXPECT_TRUE(l_Report.damaged);
    }
    // Bytes changed at random: read or refused, never a crash (the sanitizer builds watch), and
    // what is read holds only what MIDI holds, so that it comes back the same through MIDI.
    std::uint32_t l_Seed = 12345;
    for (int l_Round = 0; l_Round < 3000; ++l_Round) {
        std::vector<std::uint8_t> l_Bytes = l_File;
        for (int l_Flip = 0; l_Flip < 4; ++l_Flip) {
            l_Seed = l_Seed * 1664525u + 1013904223u;
            l_Bytes[14 + (l_Seed >> 8) % (l_Bytes.size() - 14)] = static_cast<std::uint8_t>(l_Seed >> 24);
        }
        if (Import(l_Bytes)) {
            ASSERT_EQ("", OrgTest::MidiRoundTripProblem(l_Song)) << "round " << l_Round;
        }
    }
}

TEST(MidiImport, SaysSoWhenItHoldsTheTempoOrTracksAreMissing)
{
    // A tempo of 0 us per quarter note, and a header that promises two tracks more than follow.
    OrgTest::TempDir l_Dir;
    std::vector<std::uint8_t> l_File = MidoFile(l_Dir, R"(m = MidiFile(type=1, ticks_per_beat=96)
t = MidiTrack(); m.tracks.append(t)
t += [Meta('set_tempo', tempo=0), N('note_on', note=60, velocity=64), N('note_off', note=60, time=96)]
)");
    l_File[11] = static_cast<std::uint8_t>(l_File[11] + 2);
    // Through the C interface, whose report carries each line both ways.
    tw_midi_report l_Report = {};
    tw_song* l_Song = tw_song_open_midi(l_File.data(), l_File.size(), 4, &l_Report, nullptr);
    ASSERT_NE(nullptr, l_Song);
    EXPECT_EQ(1, tw_song_get_tempo_ms(l_Song));
    tw_song_close(l_Song);
    std::vector<char> l_Text(static_cast<std::size_t>(tw_midi_report_text(&l_Report, nullptr, 0)) + 1);
    tw_midi_report_text(&l_Report, l_Text.data(), l_Text.size());
    EXPECT_EQ("1 notes imported at 1 ms per beat.\n"
              "The tempo gives beats shorter than 1 ms or longer than 65535 ms, which a song cannot "
              "hold: it takes 1 ms per beat.\n"
              "The file ends early or holds a malformed event: it was read up to there.\n",
              std::string(l_Text.data()));
}

TEST(MidiImport, ReadsNoMoreThanTheLargestFileAndHoldsNoMoreEventsThanASongNeeds)
{
    // As large as the bound, its notes ended: more events than any song's export has.
    std::vector<std::uint8_t> l_File = OrgTest::MidiFileOfSize(TW_MAX_MIDI_BYTES, true);
    tw_midi_report l_Report = {};
    int l_Code = 1;
    tw_song* l_Song = tw_song_open_midi(l_File.data(), l_File.size(), 4, &l_Report, &l_Code);
    ASSERT_NE(nullptr, l_Song);
    EXPECT_EQ(TW_OK, l_Code);
    tw_song_close(l_Song);
    const std::size_t l_Events = (l_File.size() - 30) / 3 + 1;  // MidiFileOfSize's, half of them note starts
    EXPECT_EQ(l_Events - 2 * Org::MIDI_NOTES_MAX, l_Report.excess_events);
    EXPECT_EQ(0u, l_Report.damaged);
    std::vector<char> l_Text(static_cast<std::size_t>(tw_midi_report_text(&l_Report, nullptr, 0)) + 1);
    tw_midi_report_text(&l_Report, l_Text.data(), l_Text.size());
    EXPECT_NE(std::string::npos,
              std::string(l_Text.data())
                  .find(std::to_string(l_Report.excess_events) + " events dropped: an import holds at most"))
        << l_Text.data();
    // A byte more is refused before it is read.
    l_File.push_back(0);
    EXPECT_EQ(nullptr, tw_song_open_midi(l_File.data(), l_File.size(), 4, &l_Report, &l_Code));
    EXPECT_EQ(TW_ERROR_TOO_LARGE, l_Code);
}

TEST(MidiImport, TheCInterfaceSharesTheImportItsReportAndTheExport)
{
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_File = MidoFile(l_Dir, BAND);
    Org::OrgSong l_Song;
    Org::MidiImportReport l_Expected;
    std::string l_Error;
    ASSERT_TRUE(Org::SongFromMidi(l_File.data(), l_File.size(), 4, l_Song, l_Expected, l_Error));

    tw_midi_report l_Report = {};
    int l_Code = 1;
    tw_song* l_Opened = tw_song_open_midi(l_File.data(), l_File.size(), 4, &l_Report, &l_Code);
    ASSERT_NE(nullptr, l_Opened);
    EXPECT_EQ(TW_OK, l_Code);
    EXPECT_EQ(150, tw_song_get_tempo_ms(l_Opened));
    EXPECT_EQ(1u, l_Report.extra_voices);
    // Every count crosses the interface both ways: the text of the C report is the library's.
    const std::string l_Text = Org::DescribeMidiImport(l_Expected);
    const int l_Length = tw_midi_report_text(&l_Report, nullptr, 0);
    ASSERT_EQ(static_cast<int>(l_Text.size()), l_Length);
    std::vector<char> l_Buffer(l_Text.size() + 1, 'x');
    EXPECT_EQ(l_Length, tw_midi_report_text(&l_Report, l_Buffer.data(), l_Buffer.size()));
    EXPECT_EQ(l_Text, std::string(l_Buffer.data()));

    // The export, into a buffer too small and then into one that fits.
    const std::vector<std::uint8_t> l_Midi = Org::SongToMidi(l_Song);
    std::vector<std::uint8_t> l_Out(l_Midi.size(), 0);
    EXPECT_EQ(static_cast<int>(l_Midi.size()), tw_song_save_midi(l_Opened, nullptr, 0));
    EXPECT_EQ(static_cast<int>(l_Midi.size()), tw_song_save_midi(l_Opened, l_Out.data(), 10));
    EXPECT_TRUE(std::equal(l_Midi.begin(), l_Midi.begin() + 10, l_Out.begin()));
    EXPECT_EQ(static_cast<int>(l_Midi.size()), tw_song_save_midi(l_Opened, l_Out.data(), l_Out.size()));
    EXPECT_EQ(l_Midi, l_Out);
    tw_song_close(l_Opened);

    const std::uint8_t l_NotMidi[] = {'O', 'r', 'g', '-', '0', '2'};
    for (const auto& [l_Data, l_Quantize, l_Want] :
         {std::tuple{static_cast<const void*>(nullptr), 4, TW_ERROR_INVALID_ARGUMENT},
          std::tuple{static_cast<const void*>(l_File.data()), 0, TW_ERROR_BAD_QUANTIZE},
          std::tuple{static_cast<const void*>(l_NotMidi), 4, TW_ERROR_NOT_MIDI}}) {
        EXPECT_EQ(nullptr, tw_song_open_midi(l_Data, sizeof l_NotMidi, l_Quantize, nullptr, &l_Code));
        EXPECT_EQ(l_Want, l_Code);
        EXPECT_STRNE("Unknown error code.", tw_error_string(l_Code));
    }
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_song_save_midi(nullptr, nullptr, 0));
    EXPECT_EQ(TW_ERROR_INVALID_ARGUMENT, tw_midi_report_text(nullptr, nullptr, 0));
}

namespace {

// The song in p_Image, exported and imported again at its own beats per step.
Org::OrgSong ThroughMidi(const OrgTest::SongImage& p_Image, Org::MidiImportReport& p_Report)
{
    const std::vector<std::uint8_t> l_Bytes = p_Image.Bytes();
    const Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
    const std::vector<std::uint8_t> l_Midi = Org::SongToMidi(l_Song);
    Org::OrgSong l_Back;
    std::string l_Error;
    EXPECT_TRUE(
        Org::SongFromMidi(l_Midi.data(), l_Midi.size(), p_Image.beats_step, l_Back, p_Report, l_Error))
        << l_Error;
    return l_Back;
}

}  // namespace

TEST(MidiExport, WritesWhatEachTrackSoundsHeldNotesThatTakeAnotherKeyIncluded)
{
    // Ten events a beat apart, two beats long: once the first has ended, each later one holds the
    // note on at its own key, 11 beats at 10 keys. A struck key that MIDI cannot hold sounds
    // nothing, and one that a held note takes leaves the note as it was; a held drum is one hit.
    OrgTest::SongImage l_Image;
    for (std::uint8_t i = 0; i < 10; ++i)
        l_Image.tracks[0].events.push_back({i, static_cast<std::uint8_t>(40 + i), 2, 200, 6});
    l_Image.tracks[1].events = {
        {0, 100, 4, 200, 6}, {2, 50, 4, 200, 6}, {10, 60, 4, 200, 6}, {12, 120, 4, 200, 6}};
    l_Image.tracks[8].events = {{0, 40, 2, 200, 6}, {1, 50, 3, 200, 6}};
    Org::MidiImportReport l_Report;
    Org::OrgSong l_Back = ThroughMidi(l_Image, l_Report);
    EXPECT_EQ(13u, l_Report.notes);

    Events l_Keys = {{0, 40, 2, 200, 6}};
    for (std::uint8_t i = 1; i < 10; ++i)
        l_Keys.push_back({i + 1u, static_cast<std::uint8_t>(40 + i), 1, 200, 6});
    ExpectEvents(l_Keys, l_Back.GetEvents(0), "a note that takes a key a beat");
    ExpectEvents({{4, 50, 2, 200, 6}, {10, 60, 6, 200, 6}}, l_Back.GetEvents(1), "keys MIDI cannot hold");
    ExpectEvents({{0, 40, 1, 200, 6}}, l_Back.GetEvents(8), "a held drum, at the key it was struck at");
    // The song made of the file sounds the same key as the song on every beat.
    const std::vector<std::uint8_t> l_Bytes = l_Image.Bytes();
    Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
    for (int l_Beat = 0; l_Beat < 12; ++l_Beat) {
        const Org::SampleData l_Want = l_Song.GetNoteHit(0, l_Beat), l_Got = l_Back.GetNoteHit(0, l_Beat);
        EXPECT_EQ(l_Want.playing != 0, l_Got.playing != 0) << l_Beat;
        EXPECT_EQ(l_Want.note, l_Got.note) << l_Beat;
    }
}

TEST(MidiExport, KeepsEveryTempoTheSlowestIncluded)
{
    // A MIDI quarter note lasts at most 2^24 - 1 us (16.78 s); these steps last up to 70 minutes.
    for (const auto& [l_Tempo, l_BeatsStep] :
         {std::pair{65535, 4}, {65535, 64}, {65535, 1}, {4195, 4}, {16778, 1}}) {
        OrgTest::SongImage l_Image;
        l_Image.tempo = static_cast<std::uint16_t>(l_Tempo);
        l_Image.beats_step = static_cast<std::uint8_t>(l_BeatsStep);
        l_Image.loopstart = 3;
        l_Image.loopstop = 16;
        l_Image.tracks[0].events = {{0, 40, 4, 200, 6}, {5, 41, 255, 100, 6}};
        const std::string l_Case =
            std::to_string(l_Tempo) + " ms, " + std::to_string(l_BeatsStep) + " beats a step";
        Org::MidiImportReport l_Report;
        const Org::OrgSong l_Back = ThroughMidi(l_Image, l_Report);
        EXPECT_EQ(l_Tempo, l_Back.GetHeader().tempo) << l_Case;
        EXPECT_EQ(l_BeatsStep, l_Back.GetHeader().beats_step) << l_Case;
        EXPECT_EQ(3u, l_Back.GetHeader().loopstart) << l_Case;
        ExpectEvents({{0, 40, 4, 200, 6}, {5, 41, 255, 100, 6}}, l_Back.GetEvents(0), l_Case);
        EXPECT_EQ(2u, l_Report.notes) << Org::DescribeMidiImport(l_Report);
    }
    // Another reader plays the file at the song's own speed: 260 beats of 65535 ms.
    OrgTest::TempDir l_Dir;
    OrgTest::SongImage l_Slow;
    l_Slow.tempo = 65535;
    l_Slow.tracks[0].events = {{5, 41, 255, 100, 6}};
    const std::vector<std::uint8_t> l_Bytes = l_Slow.Bytes();
    OrgTest::WriteFile(l_Dir.Path("slow.mid"), Org::SongToMidi(Org::OrgSong(l_Bytes.data(), l_Bytes.size())));
    EXPECT_EQ("17039.10\n", Mido(l_Dir, "print('%.2f' % MidiFile(path).length)\n", l_Dir.Path("slow.mid")));
}

namespace {

// A song of melody and drums whose notes MIDI holds, with a volume change inside a held note.
OrgTest::SongImage RoundTripSong()
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 120;
    l_Song.loopstart = 8;
    l_Song.loopstop = 40;
    l_Song.tracks[0].id = 3;
    l_Song.tracks[0].events = {{0, 57, 4, 200, 6}, {4, 60, 2, 201, 0}, {6, 62, 1, 0, 12},
                               {7, 60, 1, 100, 6}, {8, 60, 4, 100, 3}, {9, 61, 1, 50, 255}};
    l_Song.tracks[1].id = 47;
    l_Song.tracks[1].events = {{0, 95, 255, 254, 9}, {300, 0, 1, 2, 4}};
    l_Song.tracks[8].id = 2;
    l_Song.tracks[8].events = {{0, 40, 1, 200, 6}, {4, 40, 1, 100, 6}};
    l_Song.tracks[12].id = 7;
    l_Song.tracks[12].events = {{16, 40, 1, 254, 6}};
    return l_Song;
}

ToolResult Convert(const OrgTest::TempDir& p_Dir, const std::string& p_Arguments)
{
    // In braces, so that the messages are caught whatever the arguments redirect.
    return RunTool("cd " + Quoted(p_Dir.Path()) + " && { " + Quoted(TUNEWRIGHT_CONVERT_PROGRAM) + " " +
                   p_Arguments + "; }");
}

}  // namespace

TEST(ConvertProgram, ASongSurvivesSongToMidiToSong)
{
    OrgTest::TempDir l_Dir;
    const OrgTest::SongImage l_Image = RoundTripSong();
    OrgTest::WriteFile(l_Dir.Path("song.org"), l_Image.Bytes());
    const ToolResult l_Out = Convert(l_Dir, "song.org SONG.MIDI");
    ASSERT_EQ(0, l_Out.status) << l_Out.output;
    EXPECT_EQ("Read in 202 bytes.\nWrote SONG.MIDI\n", l_Out.output);

    // What mido reads in our file: tempo, signature, markers, and per track its channels, programs
    // and keys.
    EXPECT_EQ("384 480000 4/4 ['loop start@768', 'loop end@3840']\n"
              "0 [0] [80] [69, 72, 74, 72, 72]\n"
              "1 [1] [40] [107, 12]\n"
              "2 [9] [] [38, 38]\n"
              "3 [9] [] [49]\n",
              Mido(l_Dir, R"(m = MidiFile(path)
c = m.tracks[0]; now = 0; marks = []
for e in c:
    now += e.time
    if e.type == 'marker': marks.append('%s@%d' % (e.text, now))
sig = [e for e in c if e.type == 'time_signature'][0]
print(m.ticks_per_beat, [e.tempo for e in c if e.type == 'set_tempo'][0], '%d/%d' % (sig.numerator, sig.denominator), marks)
for i, t in enumerate(m.tracks[1:]):
    print(i, sorted({e.channel for e in t if hasattr(e, 'channel')}), [e.program for e in t if e.type == 'program_change'],
          [e.note for e in t if e.type == 'note_on'])
)",
                   l_Dir.Path("SONG.MIDI")));

    // Back, read from standard input by its magic and written to standard output.
    const ToolResult l_Back = Convert(l_Dir, "- - --to org <SONG.MIDI >back.org");
    ASSERT_EQ(0, l_Back.status) << l_Back.output;
    EXPECT_EQ("10 notes imported at 120 ms per beat.\nWrote standard output\n", l_Back.output);

    // As tunewright-info --json --events reads the two songs: the same header, and on each track of
    // each instrument every note at its beat, key and length, with its pan and its volume within
    // rounding. The change inside a held note starts no note and stays behind; drums come back at
    // the drum key.
    EXPECT_EQ("", Mido(l_Dir, R"(import json, subprocess
def song(name):
    o = json.loads(subprocess.run([sys.argv[2], '--json', '--events', path + '/' + name], capture_output=True).stdout)
    return ([o[f] for f in ('tempo_ms', 'beats_per_bar', 'loop_start', 'loop_stop')],
            {(t['kind'], t['instrument']): [e for e in t['event_list'] if e['starts_note']] for t in o['tracks'] if t['notes']})
(head, a), (back_head, b) = song('song.org'), song('back.org')
if head != back_head or sorted(a) != sorted(b): print(head, back_head, sorted(a), sorted(b))
for k in a:
    if len(a[k]) != len(b.get(k, [])): print(k, a[k], b.get(k))
    for x, y in zip(a[k], b.get(k, [])):
        if ([x[f] for f in ('beat', 'length', 'pan')] != [y[f] for f in ('beat', 'length', 'pan')] or
                (k[0] == 'melody' and x['key'] != y['key']) or abs(x['volume'] - y['volume']) > 2): print(k, x, y)
)",
                       l_Dir.Path(), TUNEWRIGHT_INFO_PROGRAM));
}

TEST(ConvertProgram, ReadsBackTheMidiFileOfTheLargestSong)
{
    // 16 tracks of 65535 events in groups far apart: a 255-beat note held under short notes on
    // every other beat, which come first in the track, so that each short note and each return to
    // the held one is a note of the file (almost two notes an event), each with a pan of its own.
    OrgTest::SongImage l_Image;
    l_Image.loopstop = 0xFFFFFF00u;
    for (OrgTest::Track& l_Track : l_Image.tracks) {
        l_Track.id =
            static_cast<std::uint8_t>(&l_Track - l_Image.tracks) % Org::MELODY_TRACKS;  // drums apart
        std::vector<OrgTest::Event> l_Held;
        for (std::uint32_t l_Beat = 0; l_Track.events.size() + l_Held.size() < 65535; l_Beat += 8388000) {
            l_Held.push_back({l_Beat, 30, 255, 200, 12});
            for (std::uint32_t i = 1; i < 255 && l_Track.events.size() + l_Held.size() < 65535; i += 2)
                l_Track.events.push_back({l_Beat + i, static_cast<std::uint8_t>(31 + i % 60), 1, 100, 0});
        }
        l_Track.events.insert(l_Track.events.end(), l_Held.begin(), l_Held.end());
    }
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_Bytes = l_Image.Bytes();
    ASSERT_EQ(Org::MAX_SONG_BYTES, l_Bytes.size());
    OrgTest::WriteFile(l_Dir.Path("largest.org"), l_Bytes);
    const ToolResult l_Out = Convert(l_Dir, "-q largest.org largest.mid");
    ASSERT_EQ(0, l_Out.status) << l_Out.output;
    const std::uintmax_t l_Size = std::filesystem::file_size(l_Dir.Path("largest.mid"));
    EXPECT_GT(l_Size, 2 * Org::MAX_SONG_BYTES);
    EXPECT_LE(l_Size, Org::MAX_MIDI_BYTES);

    // Back, every track full: each melody track's first 65535 notes, every drum hit.
    const ToolResult l_Back = Convert(l_Dir, "largest.mid back.org");
    ASSERT_EQ(0, l_Back.status) << l_Back.output;
    EXPECT_EQ(0u, l_Back.output.rfind("1048560 notes imported at 140 ms per beat.\n", 0)) << l_Back.output;
    EXPECT_EQ(std::string::npos, l_Back.output.find("events dropped")) << l_Back.output;
}

TEST(ConvertProgram, WritesOverNothingUnlessForcedAndNeverOverItsInput)
{
    OrgTest::TempDir l_Dir;
    const std::vector<std::uint8_t> l_Song = RoundTripSong().Bytes();
    OrgTest::WriteFile(l_Dir.Path("song.org"), l_Song);
    OrgTest::WriteFile(l_Dir.Path("old.mid"), {'o', 'l', 'd'});
    std::filesystem::create_symlink("song.org", l_Dir.Path("link.mid"));
    struct Case
    {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case l_Cases[] = {
        {"song.org old.mid", 1, "old.mid exists; give --force to replace it"},
        {"--force --to midi song.org link.mid", 1,
         "link.mid is the song being converted; it is never written over"},
        {"song.org -", 2, "give --to org or --to midi to write standard output"},
        {"song.org song.txt", 2,
         "cannot tell a format from the name song.txt; name it .org, .mid or .midi, or give --to"},
        {"--force old.mid new.org", 1,
         "'old.mid': not a Standard MIDI File (it does not begin with an MThd header)"},
        {"--loops 2 song.org new.mid", 2, "unknown or incomplete option '--loops'"},
    };
    for (const Case& l_Case : l_Cases) {
        const ToolResult l_Run = Convert(l_Dir, l_Case.arguments);
        EXPECT_EQ(l_Case.status, l_Run.status) << l_Case.arguments;
        // A bad command line is followed by the usage.
        EXPECT_EQ(0u, l_Run.output.rfind("tunewright-convert: " + l_Case.message + "\n", 0)) << l_Run.output;
    }
    EXPECT_EQ(l_Song, OrgTest::ReadFile(l_Dir.Path("song.org")));
    EXPECT_EQ(std::vector<std::uint8_t>({'o', 'l', 'd'}), OrgTest::ReadFile(l_Dir.Path("old.mid")));
    EXPECT_FALSE(std::filesystem::exists(l_Dir.Path("new.org")));

    const ToolResult l_Forced = Convert(l_Dir, "-q --force song.org old.mid");
    EXPECT_EQ(0, l_Forced.status);
    EXPECT_EQ("", l_Forced.output);
    const std::vector<std::uint8_t> l_Midi = OrgTest::ReadFile(l_Dir.Path("old.mid"));
    EXPECT_TRUE(Org::HasMidiMagic(l_Midi.data(), l_Midi.size()));
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(l_Dir.Path()),
                               std::filesystem::directory_iterator()))
        << "no temporary is left behind";
}
