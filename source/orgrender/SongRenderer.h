#ifndef TUNEWRIGHT_SONGRENDERER_H
#define TUNEWRIGHT_SONGRENDERER_H

// Renders a song as the library's decoder (Org::SongDecoder) reads it, the song clock in 1 ms
// steps on the engine's non-real-time mixer, and hands its 16-bit frames to the one
// AudioFileWriter; the renderer adds the length, the fade at the end and the progress. The engine's
// own WAV writer output is not used here: it writes WAV only, and only to a file it can seek in.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AudioFileWriter.h"
#include "OrgSongTypes.h"

namespace Org {
class OrgSong;
}

struct RenderOptions
{
    std::string dataDir;       // folder holding melody/ and percussion/; empty: the built-in ones
    int loops = 1;             // repeats of the loop after its first pass (SongLength); -1 needs seconds
    double seconds = 0.0;      // a fixed length instead of loops when above 0
    int sampleRate = 48000;    // output frames per second
    double fadeSeconds = 1.0;  // fade-out at the end (0: none)
    float masterVolume = 0.5f;
    int resampler = 1;  // the engine's resampler (FMOD_DSP_RESAMPLER), ours included
    AudioFormat format = AudioFormat::WAV;
    int channels = 2;  // 1: the mean of the stereo mix
    // The mixing desk (Org::SongDecoder's settings): the tempo factor shortens or lengthens a
    // render by loops, not one by seconds.
    bool mute[Org::TRACK_COUNT] = {};
    bool solo[Org::TRACK_COUNT] = {};
    double tempoFactor = 1.0;
    double pitchShift = 0.0;  // semitones
};

// Where a render's stems go: a descriptor per track, -1 for a track given none. After the render,
// sounded tells which stems got any sample but silence.
struct StemOutputs
{
    int fds[Org::TRACK_COUNT];
    bool sounded[Org::TRACK_COUNT] = {};
    StemOutputs()
    {
        for (int& l_Fd : fds)
            l_Fd = -1;
    }
};

// What a render did: seconds of audio, and voice-seconds (the sum over time of the voices sounding).
struct RenderStats
{
    double audioSeconds = 0.0;
    double voiceSeconds = 0.0;
};

// Called now and then with the share of the song rendered, 0 to 1.
using RenderProgress = std::function<void(double)>;

// Milliseconds the render lasts by the options: the song's intro and p_Options.loops + 1 passes of
// its loop (SongLength) at the tempo factor, or p_Options.seconds. 0 when it lasts no time.
unsigned long long RenderLengthMs(const Org::OrgSong& p_Song, const RenderOptions& p_Options);

// Reads the song at p_SongPath ("-": standard input) into p_Bytes. False, with a message naming
// it, when it cannot be read or is empty.
bool ReadSongBytes(const std::string& p_SongPath, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error);

// Makes p_Song of p_Bytes (named p_Name in messages) and finds its length by the options. False,
// with the reason, when the samples are missing, the song is cut short, it has no length, or its
// render could not be written in p_Options.format.
bool PrepareSong(const std::vector<std::uint8_t>& p_Bytes, const std::string& p_Name,
                 const RenderOptions& p_Options, std::unique_ptr<Org::OrgSong>& p_Song,
                 unsigned long long& p_LengthMs, std::string& p_Error);

// Renders p_LengthMs of a prepared song into the open descriptor p_Fd, as p_Options.format. False,
// with the reason (the system's words for a failed write), when the engine, a sample file under
// p_Options.dataDir or a write fails. With p_Stems, each track's own frames go to its descriptor
// too, all from one read of the tracks apart, and the mix (p_Fd, which may then be -1 for none)
// is their sum, as a measured read mixes it.
bool RenderToDescriptor(std::unique_ptr<Org::OrgSong> p_Song, unsigned long long p_LengthMs, int p_Fd,
                        const RenderOptions& p_Options, const RenderProgress& p_Progress,
                        std::string& p_Error, RenderStats* p_Stats = nullptr, StemOutputs* p_Stems = nullptr);

// All of the above at once: the song file at p_SongPath into the file p_OutPath (created, or
// truncated), with no check of either. For tests and benchmarks; the program decides more.
bool RenderSong(const std::string& p_SongPath, const std::string& p_OutPath, const RenderOptions& p_Options,
                const RenderProgress& p_Progress, std::string& p_Error, RenderStats* p_Stats = nullptr);

#endif
