// Render throughput: voice-seconds of audio per CPU second, for each bundled song and for a
// song that keeps all sixteen tracks sounding. Measured twice side by side: the render itself
// in this process, and the whole renderer program (start-up, sample loading, WAV writing).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>

#include "OrgFileBuilder.h"
#include "SongRenderer.h"

namespace {

double CpuSeconds(int p_Who)
{
    rusage l_Usage = {};
    getrusage(p_Who, &l_Usage);
    return l_Usage.ru_utime.tv_sec + l_Usage.ru_stime.tv_sec +
           (l_Usage.ru_utime.tv_usec + l_Usage.ru_stime.tv_usec) / 1e6;
}

// Eight held melody notes (new ones each bar) and eight drum tracks struck every beat, with
// long crashes, so that all sixteen voices sound throughout.
OrgTest::SongImage AllTracksSong()
{
    OrgTest::SongImage l_Song;
    l_Song.tempo = 120;
    l_Song.loopstart = 0;
    l_Song.loopstop = 256;
    for (int t = 0; t < 8; ++t) {
        l_Song.tracks[t].id = static_cast<std::uint8_t>(t * 11);
        for (std::uint32_t l_Beat = 0; l_Beat < 256; l_Beat += 16)
            l_Song.tracks[t].events.push_back({l_Beat, static_cast<std::uint8_t>(36 + t * 5 + l_Beat % 7), 16,
                                               180, static_cast<std::uint8_t>(t + 2)});
    }
    for (int t = 8; t < 16; ++t) {
        l_Song.tracks[t].id = 7;  // crash: the longest drum
        for (std::uint32_t l_Beat = 0; l_Beat < 256; ++l_Beat)
            l_Song.tracks[t].events.push_back({l_Beat, static_cast<std::uint8_t>(30 + t), 1, 150, 6});
    }
    return l_Song;
}

void Measure(const std::string& p_Name, const std::string& p_Song, const std::string& p_Dir)
{
    RenderOptions l_Options;
    l_Options.dataDir = TUNEWRIGHT_DATA_DIR;
    RenderStats l_Stats;
    std::string l_Error;
    const double l_Before = CpuSeconds(RUSAGE_SELF);
    if (!RenderSong(p_Song, p_Dir + "/inprocess.wav", l_Options, RenderProgress(), l_Error, &l_Stats)) {
        std::printf("%-22s failed: %s\n", p_Name.c_str(), l_Error.c_str());
        return;
    }
    const double l_InProcess = CpuSeconds(RUSAGE_SELF) - l_Before;

    const double l_ChildrenBefore = CpuSeconds(RUSAGE_CHILDREN);
    const std::string l_Command = std::string("'") + TUNEWRIGHT_RENDER_PROGRAM + "' -q --force '" + p_Song +
                                  "' '" + p_Dir + "/program.wav' --data '" + TUNEWRIGHT_DATA_DIR + "'";
    const int l_Status = std::system(l_Command.c_str());
    const double l_Program = CpuSeconds(RUSAGE_CHILDREN) - l_ChildrenBefore;
    if (l_Status != 0) {
        std::printf("%-22s renderer program failed\n", p_Name.c_str());
        return;
    }
    std::printf("%-22s %8.1f %7.2f %10.1f %9.3f %9.3f %11.0f %11.0f %8.0fx\n", p_Name.c_str(),
                l_Stats.audioSeconds, l_Stats.voiceSeconds / l_Stats.audioSeconds, l_Stats.voiceSeconds,
                l_InProcess, l_Program, l_Stats.voiceSeconds / l_InProcess, l_Stats.voiceSeconds / l_Program,
                l_Stats.audioSeconds / l_Program);
}

}  // namespace

// With "--write-all-tracks FILE", only writes the song that keeps sixteen voices sounding, for
// bench/compare.sh.
int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--write-all-tracks") {
        OrgTest::WriteFile(argv[2], AllTracksSong().Bytes());
        return 0;
    }
    const std::string l_Dir = std::filesystem::temp_directory_path() / "tunewright-render-bench";
    std::filesystem::create_directories(l_Dir);
    // Song loads report themselves on standard error; keep the table readable.
    if (std::freopen("/dev/null", "w", stderr) == nullptr)
        return 1;

    std::printf("%-22s %8s %7s %10s %9s %9s %11s %11s %9s\n", "song", "audio s", "voices", "voice-s", "cpu s",
                "prog cpu", "v-s/cpu s", "prog v-s/s", "realtime");
    std::vector<std::filesystem::path> l_Songs;
    for (const auto& l_Entry : std::filesystem::directory_iterator(TUNEWRIGHT_SONGS_DIR))
        if (l_Entry.path().extension() == ".org")
            l_Songs.push_back(l_Entry.path());
    std::sort(l_Songs.begin(), l_Songs.end());
    for (const auto& l_Song : l_Songs)
        Measure(l_Song.stem().string(), l_Song.string(), l_Dir);

    const std::string l_AllTracks = l_Dir + "/all-tracks.org";
    OrgTest::WriteFile(l_AllTracks, AllTracksSong().Bytes());
    Measure("all 16 tracks", l_AllTracks, l_Dir);
    std::filesystem::remove_all(l_Dir);
    return 0;
}
