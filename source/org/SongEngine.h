#ifndef TUNEWRIGHT_SONGENGINE_H
#define TUNEWRIGHT_SONGENGINE_H

// The engine a song is played on, set up one way for every player of songs but the windowed one:
// stereo 16-bit output at a rate, a resampler, SONG_VOICES voices. The decoder (and the renderer
// through it) mixes without a device and reads the mix back; tunewright-play outputs to the sound
// card. Nothing is printed: a failure is the caller's to report.
#include <fmod.h>

namespace Org {

struct SongEngineSettings
{
    FMOD_OUTPUTTYPE output = FMOD_OUTPUTTYPE_NOSOUND_NRT;
    int rate = 48000;
    int resampler = FMOD_DSP_RESAMPLER_LINEAR;  // an FMOD_DSP_RESAMPLER, ours included
    unsigned mixFrames = 0;                     // the most frames one mix makes; 0: the engine's own
    int mixBlocks = 1;                          // with mixFrames: blocks a device's buffer holds
    void* driverData = nullptr;                 // handed to FMOD_System_Init
};

// Creates and starts the engine into *p_System with its master channel group in *p_Master. On a
// failure both are left null, the engine released, and the failing step's result returned.
FMOD_RESULT StartSongEngine(const SongEngineSettings& p_Settings, FMOD_SYSTEM** p_System,
                            FMOD_CHANNELGROUP** p_Master);

}  // namespace Org

#endif
