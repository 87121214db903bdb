#ifndef TUNEWRIGHT_SONGRENDERER_H
#define TUNEWRIGHT_SONGRENDERER_H

// Renders a song to a WAV file through the library's own playback path: the song clock in 1 ms
// steps, the sampler, and the sound engine's non-real-time WAV output mixing one block per step.
#include <functional>
#include <string>

namespace Org {
class OrgSong;
}

struct RenderOptions
{
    std::string dataDir;       // folder holding melody/ and percussion/; empty: the built-in ones
    int loops = 2;             // passes of the loop after the intro
    double seconds = 0.0;      // a fixed length instead of loops when above 0
    int sampleRate = 48000;    // output frames per second
    double fadeSeconds = 1.0;  // fade-out at the end (0: none)
    float masterVolume = 0.5f;
    int resampler = 1;  // the engine's resampler (FMOD_DSP_RESAMPLER): 0 nearest .. 3 spline
};

// What a render did: seconds of audio, and voice-seconds (the sum over time of the voices sounding).
struct RenderStats
{
    double audioSeconds = 0.0;
    double voiceSeconds = 0.0;
};

// Called now and then with the share of the song rendered, 0 to 1.
using RenderProgress = std::function<void(double)>;

// Milliseconds the song lasts by the options: its intro and p_Options.loops passes of its loop,
// or p_Options.seconds. 0 when the song has no such length (its loop is empty and no length was
// given).
unsigned long RenderLengthMs(Org::OrgSong& p_Song, const RenderOptions& p_Options);
// Why RenderLengthMs gives 0: a tempo of 0, an empty loop, or no loops and no intro.
std::string NoLengthReason(Org::OrgSong& p_Song, const RenderOptions& p_Options);

// Renders the song file at p_SongPath into the WAV file p_WavPath. False, with a message in
// p_Error (for the file, with the system's reason), when the song cannot be read or the engine
// cannot write the whole file. p_SongPath "-" is standard input.
bool RenderSong(const std::string& p_SongPath, const std::string& p_WavPath, const RenderOptions& p_Options,
                const RenderProgress& p_Progress, std::string& p_Error, RenderStats* p_Stats = nullptr);

#endif
