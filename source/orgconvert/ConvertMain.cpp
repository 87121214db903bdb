// tunewright-convert: converts songs between Org-02 files and Standard MIDI Files.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Complaint.h"
#include "OrgLog.h"
#include "OrgSong.h"
#include "PrintableText.h"
#include "RenderOutput.h"
#include "SongInput.h"
#include "SongMagic.h"
#include "SongMidi.h"
#include "SongOptions.h"

namespace {

const char* const USAGE =
    "usage: tunewright-convert [options] IN OUT\n"
    "Converts a song between Org-02 (.org) and Standard MIDI Files (.mid, .midi). The formats\n"
    "follow the names; IN or OUT of - is standard input or output.\n"
    "\n"
    "  --from FORMAT      org or midi: IN's format (default: by its name, else by its first bytes)\n"
    "  --to FORMAT        org or midi: OUT's format (default: by its name; needed for -)\n"
    "  --quantize STEPS   song beats per MIDI quarter note when reading MIDI, 1 to 64 (default 4)\n"
    "  --force            write over an existing file, and convert a song whose magic is not\n"
    "                     Org-02 (the input itself is never written over)\n"
    "  -q, --quiet        print nothing but errors (not even what a MIDI import dropped)\n"
    "  --version          the version\n"
    "  -h, --help         this text\n"
    "  --                 ends the options: every later argument is a file\n"
    "What a MIDI import drops or changes (a ninth voice, later tempos, notes outside the keys) is\n"
    "counted on standard error.\n";

const OutputWords WORDS = {"the song being converted", "song data"};

enum class Format { UNKNOWN, ORG, MIDI };

Format FormatOfWord(std::string p_Word)
{
    for (char& l_Char : p_Word)
        l_Char = static_cast<char>(l_Char >= 'A' && l_Char <= 'Z' ? l_Char - 'A' + 'a' : l_Char);
    if (p_Word == "org")
        return Format::ORG;
    if (p_Word == "mid" || p_Word == "midi")
        return Format::MIDI;
    return Format::UNKNOWN;
}

Format FormatOfName(const std::string& p_Path)
{
    const std::string l_Name = PathFileName(p_Path);
    const std::size_t l_Dot = l_Name.rfind('.');
    return l_Dot == std::string::npos || l_Dot == 0 ? Format::UNKNOWN
                                                    : FormatOfWord(l_Name.substr(l_Dot + 1));
}

void Silent(const char*, void*) {}
void ToStandardError(const char* p_Line, void*) { std::fputs(p_Line, stderr); }

bool WriteAll(int p_Fd, const std::vector<std::uint8_t>& p_Bytes, std::string& p_Error)
{
    std::size_t l_Done = 0;
    while (l_Done < p_Bytes.size()) {
        const ssize_t l_Written = write(p_Fd, p_Bytes.data() + l_Done, p_Bytes.size() - l_Done);
        if (l_Written < 0 && errno == EINTR)
            continue;
        if (l_Written <= 0) {
            p_Error = std::strerror(l_Written < 0 ? errno : EIO);
            return false;
        }
        l_Done += static_cast<std::size_t>(l_Written);
    }
    return true;
}

struct Settings
{
    Format from = Format::UNKNOWN;
    Format to = Format::UNKNOWN;
    int quantize = Org::MIDI_QUANTIZE_DEFAULT;
    bool force = false;
    bool quiet = false;
};

// Reads p_In into p_Song by its format; false once it has said why not.
bool ReadSong(const std::string& p_In, Settings& p_Settings, Org::OrgSong& p_Song)
{
    std::vector<std::uint8_t> l_Bytes;
    std::string l_Error;
    // One byte past the larger of a song and a MIDI file tells an input too large for its format.
    const std::size_t l_Limit = std::max(Org::MAX_SONG_BYTES, Org::MAX_MIDI_BYTES) + 1;
    const bool l_Read = p_In == "-" ? Org::ReadBoundedInput(STDIN_FILENO, l_Limit, l_Bytes, l_Error)
                                    : Org::ReadBoundedInput(p_In, l_Limit, l_Bytes, l_Error);
    if (!l_Read) {
        Complain("cannot open '" + p_In + "': " + l_Error);
        return false;
    }
    if (l_Bytes.empty()) {
        Complain("'" + p_In + "' is empty");
        return false;
    }
    if (p_Settings.from == Format::UNKNOWN) {
        p_Settings.from = Org::HasMidiMagic(l_Bytes.data(), l_Bytes.size()) ? Format::MIDI : Format::ORG;
        if (!Org::HasMidiMagic(l_Bytes.data(), l_Bytes.size()) &&
            !Org::HasSongMagic(l_Bytes.data(), l_Bytes.size())) {
            Complain("cannot tell the format of '" + p_In + "' (it begins with \"" + SongStart(l_Bytes) +
                     "\"); give --from");
            return false;
        }
    }
    const bool l_Midi = p_Settings.from == Format::MIDI;
    const std::size_t l_Most = l_Midi ? Org::MAX_MIDI_BYTES : Org::MAX_SONG_BYTES;
    if (l_Bytes.size() > l_Most) {
        Complain("'" + p_In + "' is larger than any " + (l_Midi ? "MIDI file the import reads" : "song") +
                 " (" + std::to_string(l_Most) + " bytes)");
        return false;
    }
    if (p_Settings.from == Format::MIDI) {
        Org::MidiImportReport l_Report;
        if (!Org::SongFromMidi(l_Bytes.data(), l_Bytes.size(), p_Settings.quantize, p_Song, l_Report,
                               l_Error)) {
            Complain("'" + p_In + "': " + l_Error);
            return false;
        }
        if (!p_Settings.quiet)
            std::fputs(Org::DescribeMidiImport(l_Report).c_str(), stderr);
        return true;
    }
    const std::string l_Foreign = ForeignSongProblem(p_In, l_Bytes);
    if (!p_Settings.force && !l_Foreign.empty()) {
        Complain(l_Foreign + "; give --force to convert it anyway");
        return false;
    }
    if (!p_Song.LoadFromMemory(l_Bytes.data(), l_Bytes.size())) {
        Complain("'" + p_In + "' ends before its own note data (it holds " + std::to_string(l_Bytes.size()) +
                 " bytes)");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Settings l_Settings;
    SongOptions l_Files;
    OptionReader l_Reader("tunewright-convert", USAGE, argc, argv);
    l_Reader.WithoutPlayingOptions();
    const auto Own = [&](OptionReader& p_Reader) {
        const std::string& l_Arg = p_Reader.Option();
        std::string l_Word;
        if (l_Arg == "-q" || l_Arg == "--quiet") {
            l_Settings.quiet = true;
        } else if (l_Arg == "--force") {
            l_Settings.force = true;
        } else if (l_Arg == "--quantize") {
            return p_Reader.Count(1, Org::MIDI_QUANTIZE_MAX, l_Settings.quantize) ? 1 : 2;
        } else if (l_Arg == "--from" || l_Arg == "--to") {
            if (!p_Reader.Word(l_Word))
                return 2;
            Format& l_Format = l_Arg == "--from" ? l_Settings.from : l_Settings.to;
            l_Format = FormatOfWord(l_Word);
            if (l_Format == Format::UNKNOWN)
                return p_Reader.Usage(l_Arg + " takes org or midi");
        } else {
            return 0;
        }
        return 1;
    };
    const int l_Parsed = l_Reader.Read(l_Files, Own);
    if (l_Parsed >= 0)
        return l_Parsed;
    if (l_Files.songs.size() != 2)
        return l_Reader.Usage("give one input and one output");
    const std::string& l_In = l_Files.songs[0];
    const std::string& l_Out = l_Files.songs[1];
    if (l_Settings.from == Format::UNKNOWN && l_In != "-")
        l_Settings.from = FormatOfName(l_In);
    if (l_Settings.to == Format::UNKNOWN) {
        if (l_Out == "-")
            return l_Reader.Usage("give --to org or --to midi to write standard output");
        l_Settings.to = FormatOfName(l_Out);
        if (l_Settings.to == Format::UNKNOWN)
            return l_Reader.Usage("cannot tell a format from the name " + l_Out +
                                  "; name it .org, .mid or .midi, or give --to");
    }
    // The library's messages never go to standard output, where the song may be going.
    Org::SetLogFunction(l_Settings.quiet ? Silent : ToStandardError, nullptr);

    // The output is looked at first, so that a refusal comes before any message about the input.
    const SongIdentity l_Input = IdentifySong(l_In);
    std::string l_Error;
    if (!RenderOutput::Allowed(l_Out, l_Input, l_Settings.force, l_Error, WORDS)) {
        Complain(l_Error);
        return 1;
    }
    Org::OrgSong l_Song;
    if (!ReadSong(l_In, l_Settings, l_Song))
        return 1;
    const std::vector<std::uint8_t> l_Bytes =
        l_Settings.to == Format::MIDI ? Org::SongToMidi(l_Song) : l_Song.SaveToMemory();

    RenderOutput l_Output;
    if (!l_Output.Open(l_Out, l_Input, l_Settings.force, l_Error, WORDS)) {
        Complain(l_Error);
        return 1;
    }
    const std::string l_Name = l_Out == "-" ? std::string("standard output") : l_Out;
    if (!WriteAll(l_Output.Fd(), l_Bytes, l_Error) || !l_Output.Commit(l_Error)) {
        Complain("cannot write " + l_Name + ": " + l_Error);
        return 1;
    }
    if (!l_Settings.quiet)
        std::fprintf(stderr, "Wrote %s\n", PrintableText(l_Name).c_str());
    return 0;
}
