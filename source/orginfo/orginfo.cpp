// Prints what Org-02 songs hold: tempo, bar layout, loop points, the intro's and the loop's
// lengths, and per track its sample, note count and note range; as text or as JSON lines.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "InstrumentNames.h"
#include "NumberArgument.h"
#include "OrgSong.h"
#include "PrintableText.h"
#include "SongInput.h"
#include "SongLength.h"
#include "SongMagic.h"

namespace {

const char* const USAGE =
    "usage: tunewright-info [--json] [--events] [--loops N [--rate HZ]] SONG.org...  (- reads standard "
    "input)\n"
    "Prints, per song, its tempo (ms per beat and BPM), bar layout and beats per bar, loop\n"
    "points, the length of the intro and of one loop (beats and seconds, as the renderer plays\n"
    "them) and, per track, its sample, tuning, events, notes and range of notes.\n"
    "\n"
    "  --loops N   also the whole song's length with N repeats of the loop after its first pass\n"
    "              (the loop plays N + 1 times after the intro; -1: for ever), in milliseconds\n"
    "              and in frames as tunewright-render and the library read it; in JSON the\n"
    "              fields loops, length_ms, rate and length_frames (null for ever)\n"
    "  --rate HZ   the rate of those frames, 8000 to 192000 (default 48000)\n"
    "  --json      one JSON object per song, one per line (JSON Lines), with the fields\n"
    "              file, tempo_ms, bpm, steps_per_bar, beats_per_step, beats_per_bar,\n"
    "              loop_start, loop_stop, intro_beats, intro_seconds, loop_beats,\n"
    "              loop_seconds, notes and tracks (track, kind, instrument, instrument_name,\n"
    "              pitch, no_loop, events, notes, lowest, highest; lowest and highest are null\n"
    "              without notes, instrument_name for an instrument outside its bank);\n"
    "              a file name that is not UTF-8 shows U+FFFD for its stray bytes, and\n"
    "              file_bytes then holds the name's bytes in hexadecimal\n"
    "  --events    also every event of every track, in the song's order: its beat, key,\n"
    "              length, volume, pan and whether it starts a note; in JSON the track field\n"
    "              event_list, objects with the fields beat, key, length, volume, pan, starts_note\n"
    "  --force     describe a file that does not begin with \"Org-02\" as if it did\n"
    "  --version   the version\n"
    "  -h, --help  this text\n"
    "  --          ends the options: every later argument is a song\n"
    "A song that cannot be read gets a line on standard error; the exit status is then 1.\n";

// What one track plays: its events, the notes among them (events that start a note, by the
// library's rule) and their lowest and highest note numbers.
struct TrackFacts
{
    unsigned events = 0;
    unsigned notes = 0;
    int lowest = -1;  // -1: no notes
    int highest = -1;
};

TrackFacts FactsOf(const Org::OrgSong& p_Song, int p_Track)
{
    TrackFacts l_Facts;
    const std::vector<Org::NoteEvent> l_Events = p_Song.GetEvents(p_Track);
    const std::vector<bool> l_Starts = p_Song.NoteStarts(p_Track);
    l_Facts.events = static_cast<unsigned>(l_Events.size());
    for (std::size_t i = 0; i < l_Events.size(); ++i) {
        const Org::NoteEvent& l_Event = l_Events[i];
        if (!l_Starts[i])
            continue;
        ++l_Facts.notes;
        if (l_Facts.lowest < 0 || l_Event.note < l_Facts.lowest)
            l_Facts.lowest = l_Event.note;
        if (l_Event.note > l_Facts.highest)
            l_Facts.highest = l_Event.note;
    }
    return l_Facts;
}

// What to show beyond the song's facts: every event, and the whole length by a loop count.
struct InfoQuery
{
    bool events = false;  // --events
    bool asked = false;
    int loops = 0;
    int rate = 48000;
};

double Seconds(unsigned long long p_Beats, unsigned p_Tempo)
{
    return static_cast<double>(p_Beats) * p_Tempo / 1000.0;
}

// p_Text as a JSON string. JSON is UTF-8, so a byte that begins no valid sequence (a file name
// from another encoding) becomes U+FFFD; JsonFileBytes keeps the name itself.
std::string JsonString(const std::string& p_Text)
{
    std::string l_Out = "\"";
    for (std::size_t i = 0; i < p_Text.size();) {
        const unsigned char l_Char = static_cast<unsigned char>(p_Text[i]);
        const std::size_t l_Length = Utf8SequenceLength(p_Text, i);
        if (l_Length == 0) {
            l_Out += "\\ufffd";
            ++i;
            continue;
        }
        if (l_Char == '"' || l_Char == '\\') {
            l_Out += '\\';
            l_Out += static_cast<char>(l_Char);
        } else if (l_Char < 0x20) {
            char l_Escape[8];
            std::snprintf(l_Escape, sizeof(l_Escape), "\\u%04x", l_Char);
            l_Out += l_Escape;
        } else {
            l_Out.append(p_Text, i, l_Length);
        }
        i += l_Length;
    }
    return l_Out + "\"";
}

// ,"file_bytes":"HEX" with p_Name's bytes when it is not valid UTF-8 (so that "file" could not
// hold it exactly); empty otherwise.
std::string JsonFileBytes(const std::string& p_Name)
{
    bool l_Valid = true;
    for (std::size_t i = 0, l_Length = 0; i < p_Name.size() && l_Valid; i += l_Length)
        l_Valid = (l_Length = Utf8SequenceLength(p_Name, i)) > 0;
    if (l_Valid)
        return {};
    std::string l_Hex = ",\"file_bytes\":\"";
    for (const unsigned char l_Char : p_Name) {
        static const char s_Digits[] = "0123456789abcdef";
        l_Hex += s_Digits[l_Char >> 4];
        l_Hex += s_Digits[l_Char & 15];
    }
    return l_Hex + "\"";
}

const char* KindOf(int p_Track) { return p_Track < Org::MELODY_TRACKS ? "melody" : "percussion"; }

// Every event of a track, one line each, for --events.
void PrintEventsText(const Org::OrgSong& p_Song, int p_Track)
{
    const std::vector<Org::NoteEvent> l_Events = p_Song.GetEvents(p_Track);
    const std::vector<bool> l_Starts = p_Song.NoteStarts(p_Track);
    for (std::size_t i = 0; i < l_Events.size(); ++i)
        std::printf("       beat %u  key %u  length %u  volume %u  pan %u%s\n", l_Events[i].pos,
                    l_Events[i].note, l_Events[i].length, l_Events[i].volume, l_Events[i].pan,
                    l_Starts[i] ? "" : "  (starts nothing)");
}

// The same as the JSON array event_list.
std::string EventsJson(const Org::OrgSong& p_Song, int p_Track)
{
    const std::vector<Org::NoteEvent> l_Events = p_Song.GetEvents(p_Track);
    const std::vector<bool> l_Starts = p_Song.NoteStarts(p_Track);
    std::string l_Json = ",\"event_list\":[";
    for (std::size_t i = 0; i < l_Events.size(); ++i) {
        char l_Event[128];
        std::snprintf(l_Event, sizeof(l_Event),
                      "%s{\"beat\":%u,\"key\":%u,\"length\":%u,\"volume\":%u,\"pan\":%u,\"starts_note\":%s}",
                      i == 0 ? "" : ",", l_Events[i].pos, l_Events[i].note, l_Events[i].length,
                      l_Events[i].volume, l_Events[i].pan, l_Starts[i] ? "true" : "false");
        l_Json += l_Event;
    }
    return l_Json + "]";
}

void PrintText(const std::string& p_Name, const Org::OrgSong& p_Song, const InfoQuery& p_Query)
{
    const Org::Header& l_Header = p_Song.GetHeader();
    const Org::SongLength l_Length(l_Header);
    std::printf("Song: %s\n", p_Name.c_str());
    if (l_Header.tempo == 0)
        std::printf("Tempo: 0 ms per beat (no BPM: the song does not advance)\n");
    else
        std::printf("Tempo: %u ms per beat (%.2f BPM)\n", l_Header.tempo, 60000.0 / l_Header.tempo);
    std::printf("Bar layout: %u steps per bar, %u beats per step (%u beats per bar)\n", l_Header.steps_bar,
                l_Header.beats_step, unsigned(l_Header.steps_bar) * l_Header.beats_step);
    std::printf("Loop: beats %u to %u\n", l_Header.loopstart, l_Header.loopstop);
    std::printf("Intro: %llu beats, %.3f s\n", l_Length.IntroBeats(),
                Seconds(l_Length.IntroBeats(), l_Header.tempo));
    std::printf("One loop: %llu beats, %.3f s%s\n", l_Length.LoopBeats(),
                Seconds(l_Length.LoopBeats(), l_Header.tempo),
                l_Length.LoopBeats() == 0 ? " (the loop is empty)" : "");
    if (p_Query.asked && l_Length.Forever(p_Query.loops))
        std::printf("Length with --loops -1: for ever\n");
    else if (p_Query.asked)
        std::printf("Length with --loops %d: %llu ms, %llu frames at %d Hz\n", p_Query.loops,
                    l_Length.Ms(p_Query.loops),
                    Org::SongLength::Frames(l_Length.Ms(p_Query.loops), p_Query.rate), p_Query.rate);
    std::printf("Track  Kind        Sample  Name                Pitch  Loop  Events  Notes  Range\n");
    unsigned long l_Total = 0;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const Org::Instrument& l_Instrument = p_Song.instruments[l_Track];
        const TrackFacts l_Facts = FactsOf(p_Song, l_Track);
        const char* l_Name = Org::InstrumentName(l_Track >= Org::MELODY_TRACKS, l_Instrument.id);
        std::printf("%5d  %-10s  %6u  %-18s  %5u  %4s  %6u  %5u  ", l_Track, KindOf(l_Track), l_Instrument.id,
                    l_Name != nullptr ? l_Name : "-", l_Instrument.pitch, l_Instrument.noloop ? "no" : "yes",
                    l_Facts.events, l_Facts.notes);
        if (l_Facts.notes == 0)
            std::printf("-\n");
        else
            std::printf("%d-%d\n", l_Facts.lowest, l_Facts.highest);
        if (p_Query.events)
            PrintEventsText(p_Song, l_Track);
        l_Total += l_Facts.notes;
    }
    std::printf("Notes in all: %lu\n", l_Total);
}

void PrintJson(const std::string& p_Name, const Org::OrgSong& p_Song, const InfoQuery& p_Query)
{
    const Org::Header& l_Header = p_Song.GetHeader();
    const Org::SongLength l_Length(l_Header);
    std::printf("{\"file\":%s%s,\"tempo_ms\":%u,", JsonString(p_Name).c_str(), JsonFileBytes(p_Name).c_str(),
                l_Header.tempo);
    if (l_Header.tempo == 0)
        std::printf("\"bpm\":null,");
    else
        std::printf("\"bpm\":%.6g,", 60000.0 / l_Header.tempo);
    std::printf("\"steps_per_bar\":%u,\"beats_per_step\":%u,\"beats_per_bar\":%u,", l_Header.steps_bar,
                l_Header.beats_step, unsigned(l_Header.steps_bar) * l_Header.beats_step);
    std::printf("\"loop_start\":%u,\"loop_stop\":%u,", l_Header.loopstart, l_Header.loopstop);
    std::printf("\"intro_beats\":%llu,\"intro_seconds\":%.3f,\"loop_beats\":%llu,\"loop_seconds\":%.3f,",
                l_Length.IntroBeats(), Seconds(l_Length.IntroBeats(), l_Header.tempo), l_Length.LoopBeats(),
                Seconds(l_Length.LoopBeats(), l_Header.tempo));
    if (p_Query.asked && l_Length.Forever(p_Query.loops))
        std::printf("\"loops\":-1,\"length_ms\":null,\"rate\":%d,\"length_frames\":null,", p_Query.rate);
    else if (p_Query.asked)
        std::printf("\"loops\":%d,\"length_ms\":%llu,\"rate\":%d,\"length_frames\":%llu,", p_Query.loops,
                    l_Length.Ms(p_Query.loops), p_Query.rate,
                    Org::SongLength::Frames(l_Length.Ms(p_Query.loops), p_Query.rate));
    std::string l_Tracks;
    unsigned long l_Total = 0;
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track) {
        const Org::Instrument& l_Instrument = p_Song.instruments[l_Track];
        const TrackFacts l_Facts = FactsOf(p_Song, l_Track);
        const char* l_Name = Org::InstrumentName(l_Track >= Org::MELODY_TRACKS, l_Instrument.id);
        char l_Line[256];
        std::snprintf(l_Line, sizeof(l_Line),
                      "%s{\"track\":%d,\"kind\":\"%s\",\"instrument\":%u,\"instrument_name\":%s,\"pitch\":%u,"
                      "\"no_loop\":%s,\"events\":%u,\"notes\":%u,",
                      l_Track == 0 ? "" : ",", l_Track, KindOf(l_Track), l_Instrument.id,
                      l_Name != nullptr ? JsonString(l_Name).c_str() : "null", l_Instrument.pitch,
                      l_Instrument.noloop ? "true" : "false", l_Facts.events, l_Facts.notes);
        l_Tracks += l_Line;
        if (l_Facts.notes == 0)
            std::snprintf(l_Line, sizeof(l_Line), "\"lowest\":null,\"highest\":null");
        else
            std::snprintf(l_Line, sizeof(l_Line), "\"lowest\":%d,\"highest\":%d", l_Facts.lowest,
                          l_Facts.highest);
        l_Tracks += l_Line;
        if (p_Query.events)
            l_Tracks += EventsJson(p_Song, l_Track);
        l_Tracks += "}";
        l_Total += l_Facts.notes;
    }
    std::printf("\"notes\":%lu,\"tracks\":[%s]}\n", l_Total, l_Tracks.c_str());
}

// Reads and prints one song; false, after a line on standard error, when it cannot be read.
bool ShowSong(const std::string& p_Path, bool p_Json, bool p_Force, const InfoQuery& p_Query)
{
    // Read once, then parsed from memory, so that a pipe or standard input ("-") works.
    std::vector<std::uint8_t> l_Bytes;
    std::string l_Why;
    const bool l_Read = p_Path == "-" ? Org::ReadSongInput(STDIN_FILENO, l_Bytes, l_Why)
                                      : Org::ReadSongInput(p_Path, l_Bytes, l_Why);
    if (!l_Read) {
        std::fprintf(stderr, "tunewright-info: %s: cannot be read: %s\n", PrintableText(p_Path).c_str(),
                     l_Why.c_str());
        return false;
    }
    const Org::SongBytes l_Check = Org::CheckSongBytes(l_Bytes.data(), l_Bytes.size(), p_Force);
    if (l_Check == Org::SongBytes::NOT_A_SONG) {
        std::fprintf(stderr, "tunewright-info: %s; give --force to describe it anyway\n",
                     PrintableText(ForeignSongProblem(p_Path, l_Bytes)).c_str());
        return false;
    }
    if (l_Check == Org::SongBytes::TRUNCATED) {
        std::fprintf(stderr,
                     "tunewright-info: %s: cannot be read as a whole Org-02 song "
                     "(holds %zu bytes, fewer than it declares)\n",
                     PrintableText(p_Path).c_str(), l_Bytes.size());
        return false;
    }
    const Org::OrgSong l_Song(l_Bytes.data(), l_Bytes.size());
    if (p_Json)
        PrintJson(p_Path, l_Song, p_Query);
    else
        PrintText(p_Path, l_Song, p_Query);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    bool l_Json = false;
    bool l_Force = false;
    InfoQuery l_Query;
    std::vector<std::string> l_Paths;
    bool l_OptionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string l_Arg = argv[i];
        // A song: any word after "--", and a word that is not an option ("-" is standard input).
        if (l_OptionsEnded || l_Arg.size() <= 1 || l_Arg[0] != '-') {
            l_Paths.push_back(l_Arg);
            continue;
        }
        if (l_Arg == "--") {
            l_OptionsEnded = true;
            continue;
        }
        if (l_Arg == "--help" || l_Arg == "-h") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (l_Arg == "--version") {
            std::puts("tunewright-info " TUNEWRIGHT_VERSION);
            return 0;
        }
        if (l_Arg == "--json") {
            l_Json = true;
        } else if (l_Arg == "--events") {
            l_Query.events = true;
        } else if (l_Arg == "--force") {
            l_Force = true;
        } else if (l_Arg == "--loops" || l_Arg == "--rate") {
            const bool l_Loops = l_Arg == "--loops";
            const long l_Min = l_Loops ? -1 : 8000, l_Max = l_Loops ? 1000 : 192000;
            long l_Value = 0;
            if (i + 1 >= argc || !ParseInteger(argv[i + 1], l_Min, l_Max, l_Value)) {
                std::fprintf(stderr, "tunewright-info: %s takes a whole number from %ld to %ld\n",
                             l_Arg.c_str(), l_Min, l_Max);
                return 2;
            }
            ++i;
            (l_Loops ? l_Query.loops : l_Query.rate) = static_cast<int>(l_Value);
            l_Query.asked = l_Query.asked || l_Loops;
        } else {
            std::fprintf(stderr, "tunewright-info: unknown option %s\n", PrintableText(l_Arg).c_str());
            std::fputs(USAGE, stderr);
            return 2;
        }
    }
    if (l_Paths.empty()) {
        std::fputs(USAGE, stderr);
        return 2;
    }

    bool l_AllRead = true;
    for (std::size_t i = 0; i < l_Paths.size(); ++i) {
        if (!l_Json && i > 0)
            std::putchar('\n');
        l_AllRead = ShowSong(l_Paths[i], l_Json, l_Force, l_Query) && l_AllRead;
        std::fflush(stdout);  // each song's facts before the next song's messages
    }
    return l_AllRead ? 0 : 1;
}
