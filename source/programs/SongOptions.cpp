#include "SongOptions.h"

#include <algorithm>
#include <cstdio>

#include "Complaint.h"
#include "NumberArgument.h"
#include "Resamplers.h"
#include <tunewright/tunewright.h>

bool ParseTrackList(const std::string& p_Text, bool (&p_Tracks)[Org::TRACK_COUNT], std::string& p_Error)
{
    bool l_Marked[Org::TRACK_COUNT] = {};
    std::size_t l_Start = 0;
    do {
        const std::size_t l_Comma = std::min(p_Text.find(',', l_Start), p_Text.size());
        const std::string l_Item = p_Text.substr(l_Start, l_Comma - l_Start);
        // A range's dash is looked for after the first character, which may be a sign.
        const std::size_t l_Dash = l_Item.find('-', 1);
        long l_From = 0, l_To = 0;
        const bool l_Good =
            l_Dash == std::string::npos
                ? ParseInteger(l_Item.c_str(), 0, Org::TRACK_COUNT - 1, l_From) && (l_To = l_From, true)
                : ParseInteger(l_Item.substr(0, l_Dash).c_str(), 0, Org::TRACK_COUNT - 1, l_From) &&
                      ParseInteger(l_Item.substr(l_Dash + 1).c_str(), 0, Org::TRACK_COUNT - 1, l_To) &&
                      l_From <= l_To;
        if (!l_Good) {
            p_Error = "'" + l_Item + "' in '" + p_Text + "' is no track: give tracks 0 to " +
                      std::to_string(Org::TRACK_COUNT - 1) + " and ranges, such as 0,3,8-15";
            return false;
        }
        for (long l_Track = l_From; l_Track <= l_To; ++l_Track)
            l_Marked[l_Track] = true;
        l_Start = l_Comma + 1;
    } while (l_Start <= p_Text.size());
    for (int l_Track = 0; l_Track < Org::TRACK_COUNT; ++l_Track)
        p_Tracks[l_Track] = p_Tracks[l_Track] || l_Marked[l_Track];
    return true;
}

OptionReader::OptionReader(const char* p_Program, const char* p_Usage, int p_Argc, char** p_Argv)
    : program(p_Program), usage(p_Usage), argc(p_Argc), argv(p_Argv)
{
    SetProgramName(p_Program);
}

void OptionReader::Complain(const std::string& p_Message) const { ::Complain(p_Message); }

int OptionReader::Usage(const std::string& p_Message) const
{
    Complain(p_Message);
    std::fputs(UsageText(usage).c_str(), stderr);
    return 2;
}

bool OptionReader::Number(double p_Min, double p_Max, double& p_Value)
{
    if (next >= argc || !ParseNumber(argv[next], p_Min, p_Max, p_Value)) {
        char l_Range[64];
        std::snprintf(l_Range, sizeof l_Range, "%g to %g", p_Min, p_Max);
        Complain(option + " takes a number from " + l_Range);
        return false;
    }
    ++next;
    return true;
}

bool OptionReader::Count(long p_Min, long p_Max, int& p_Value)
{
    long l_Count = 0;
    if (next >= argc || !ParseInteger(argv[next], p_Min, p_Max, l_Count)) {
        Complain(option + " takes a whole number from " + std::to_string(p_Min) + " to " +
                 std::to_string(p_Max));
        return false;
    }
    ++next;
    p_Value = static_cast<int>(l_Count);
    return true;
}

bool OptionReader::Word(std::string& p_Value)
{
    if (next >= argc) {
        Usage("unknown or incomplete option '" + option + "'");
        return false;
    }
    p_Value = argv[next++];
    return true;
}

bool OptionReader::Path(std::string& p_Value)
{
    if (!Word(p_Value))
        return false;
    if (p_Value.empty()) {
        Complain(option + " needs a path; an empty one is not a path");
        return false;
    }
    return true;
}

int OptionReader::Read(SongOptions& p_Options, const std::function<int(OptionReader&)>& p_Own)
{
    bool l_OptionsEnded = false;
    while (next < argc) {
        option = argv[next++];
        if (l_OptionsEnded || option.size() <= 1 || option[0] != '-') {
            if (option.empty())
                return Usage("an empty argument is not a path");
            p_Options.songs.push_back(option);
            continue;
        }
        const int l_Own = p_Own(*this);
        if (l_Own == 1)
            continue;
        if (l_Own != 0)
            return 2;
        double l_Value = 0;
        std::string l_Word;
        if (option == "--") {
            l_OptionsEnded = true;
        } else if (option == "-h" || option == "--help") {
            std::fputs(UsageText(usage).c_str(), stdout);
            return 0;
        } else if (option == "--version") {
            std::printf("%s %s\n", program, TUNEWRIGHT_VERSION);
            return 0;
        } else if (!playing) {
            return Usage("unknown or incomplete option '" + option + "'");
        } else if (option == "-l" || option == "--loops") {
            if (!Count(-1, 1000, p_Options.loops))
                return 2;
        } else if (option == "-s" || option == "--seconds") {
            if (!Number(0.001, 6 * 3600, p_Options.seconds))
                return 2;
        } else if (option == "-v" || option == "--volume") {
            if (!Number(0, 1, l_Value))
                return 2;
            p_Options.volume = static_cast<float>(l_Value);
        } else if (option == "-i" || option == "--interp") {
            p_Options.resampler = ResamplerNamed(next < argc ? argv[next++] : "");
            if (p_Options.resampler < 0) {
                Complain(option + " takes " + ResamplerChoices());
                return 2;
            }
        } else if (option == "--mute" || option == "--solo") {
            std::string l_Error;
            if (!Word(l_Word))
                return 2;
            if (!ParseTrackList(l_Word, option == "--mute" ? p_Options.mute : p_Options.solo, l_Error)) {
                Complain(option + ": " + l_Error);
                return 2;
            }
        } else if (option == "--tempo") {
            if (!Number(TW_MIN_TEMPO_FACTOR, TW_MAX_TEMPO_FACTOR,
                        p_Options.tempo))
                return 2;
        } else if (option == "--transpose") {
            if (!Number(-TW_MAX_PITCH_SHIFT, TW_MAX_PITCH_SHIFT,
                        p_Options.transpose))
                return 2;
        } else if (option == "-d" || option == "--data") {
            if (!Path(p_Options.dataDir))
                return 2;
        } else {
            return Usage("unknown or incomplete option '" + option + "'");
        }
    }
    if (p_Options.songs.empty())
        return Usage("no song given");
    return -1;
}
