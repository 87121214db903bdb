// The sound engine's objects behind the opaque handles of fmod.h.
// Fields marked "mix" belong to the mixer and are read or written only with System::mixlock held.
#ifndef TUNEWRIGHT_SOUND_ENGINE_H
#define TUNEWRIGHT_SOUND_ENGINE_H

#include <fmod.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace SoundEngine {

class Output;
class RealTimeDriver;
struct System;

// A whole sample decoded to float, interleaved, with one guard frame after the last so that the
// interpolator can always read the frame after its position: a copy of frame 0 for a looping
// sound (the loop closes without a click), a copy of the last frame for a one-shot.
struct Sound
{
    System* owner = nullptr;
    std::vector<float> data;
    unsigned frames = 0;
    int channels = 1;
    int rate = 44100;           // the file's own sample rate, a voice's default frequency
    int bytespersample = 2;     // of the file's encoding, for FMOD_TIMEUNIT_PCMBYTES
    bool loop = false;
};

// One voice slot. Its handle is (system serial, slot index, generation); the generation grows each
// time the slot starts a sound, so every older handle of the slot is stale.
struct Voice
{
    const Sound* sound = nullptr;      // mix
    std::uint64_t position = 0;        // mix: frames into the sound, 32.32 fixed point
    std::uint64_t step = 0;            // mix: position advance per output frame, 32.32
    float volume = 1.0f;               // mix
    float pan = 0.0f;                  // mix: -1 left .. +1 right
    float panfor = 2.0f;               // mix: the pan that panleft and panright were worked out for
    float panleft = 0.0f;              // mix: constant-power side gains of a mono sound at that pan
    float panright = 0.0f;             // mix
    float frequency = 0.0f;            // mix: Hz
    bool active = false;               // mix: false once stopped or ended
    bool paused = false;               // mix
    std::uint32_t generation = 0;      // mix
    std::uint64_t stolenhistory = 0;   // mix: bit i set when generation - 1 - i was stolen
    std::uint64_t startorder = 0;      // mix: when the slot last started a sound, for stealing
};

struct ChannelGroup
{
    System* owner = nullptr;
    float volume = 1.0f;  // mix
};

// Settings made before Init.
struct Config
{
    FMOD_OUTPUTTYPE output = FMOD_OUTPUTTYPE_AUTODETECT;
    int rate = 48000;
    int outputchannels = 2;
    FMOD_DSP_RESAMPLER resampler = FMOD_DSP_RESAMPLER_LINEAR;
    FMOD_SPEAKERMODE speakermode = FMOD_SPEAKERMODE_STEREO;
    unsigned blocklength = 1024;  // frames mixed per block (per Update on NRT outputs)
    int blockcount = 4;
};

struct System
{
    std::uint32_t serial = 0;  // names the system inside channel handles; renewed by Close
    Config config;
    bool initialised = false;
    std::unordered_set<Sound*> sounds;

    std::mutex mixlock;
    std::vector<Voice> voices;       // mix
    ChannelGroup master;             // mix (volume)
    std::uint64_t startcounter = 0;  // mix
    std::vector<float> mixbuffer;    // mix: one block of interleaved stereo float

    std::unique_ptr<Output> output;
    std::unique_ptr<RealTimeDriver> driver;  // null on NRT outputs: Update mixes instead
    std::vector<std::int16_t> nrtblock;      // the block an NRT Update mixes into

    System();
    ~System();
};

}

#endif
