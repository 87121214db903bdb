// The sound engine's objects behind the opaque handles of fmod.h.
// Fields marked "mix" belong to the mixer and are read or written only with System::mixlock held.
#ifndef TUNEWRIGHT_SOUND_ENGINE_H
#define TUNEWRIGHT_SOUND_ENGINE_H

#include <fmod.h>

#include "Kernels.h"
#include "MixCallback.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace SoundEngine {

class Output;
class RealTimeDriver;
struct System;
struct ChannelGroup;

// A short loop is laid out repeated to at least this many frames, so that the mixer hands the
// kernels long spans instead of cutting one at every pass of a 256-frame waveform.
constexpr unsigned kUnrolledLoopFrames = 4096;

// A whole sample decoded to float, interleaved, with kGuardFrames (Kernels.h) before its first
// and after its last frame, so that a resampler can read its neighbourhood anywhere in the sound:
// for a looping sound the guards continue the loop round its seam (the frames after the end are
// the first ones, those before the start the last ones); for a one-shot they are silence.
// A looping sound's frames are repeated to kUnrolledLoopFrames or more.
// Never changed once made, so that sounds decoded from the same memory can share one.
struct SoundData
{
    std::vector<float> samples;
    unsigned frames = 0;
    unsigned playable = 0;  // frames laid out: `frames` times the loop's repeats
    int channels = 1;
    int rate = 44100;        // the file's own sample rate, a voice's default frequency
    int bytespersample = 2;  // of the file's encoding, for FMOD_TIMEUNIT_PCMBYTES
    bool loop = false;
    // Made only for systems that resample with sinc: the band-limited octave copies of the
    // samples (SincOctaves.h), laid out like them, octave k + 1 at [k].
    std::vector<std::vector<float>> octaves;
    // Likewise: the samples and octave copies at kSincOversampling times their rate, each through
    // one band's filter, [level * kSincBands + band], empty where not made (SincOversampled.h).
    std::vector<std::vector<float>> oversampled;

    const float* Frame0() const { return samples.data() + std::size_t(kGuardFrames) * channels; }
};

// A sound of one system: its own handle over decoded data it may share with other sounds.
struct Sound
{
    System* owner = nullptr;
    std::shared_ptr<const SoundData> data;
};

// A voice's left and right gain moving from one value to another over a short window, so that no
// change of volume, pan or master volume, no start and no stop steps the waveform. At rest
// (length 0) the gain is `to`; otherwise it has covered `done` of `length` frames.
struct GainRamp
{
    float from[2] = {0.0f, 0.0f};
    float to[2] = {0.0f, 0.0f};
    unsigned done = 0;
    unsigned length = 0;

    // The gain the last mixed frame had.
    float Now(int p_Side) const;
    bool Silent() const { return length == 0 && to[0] == 0.0f && to[1] == 0.0f; }
    // Heads for p_Left/p_Right from the present gain over p_Length frames (no change if already there).
    void Aim(float p_Left, float p_Right, unsigned p_Length);
};

// One voice slot. Its handle is (system serial, slot index, generation); the generation grows each
// time the slot starts a sound, so every older handle of the slot is stale.
struct Voice
{
    const Sound* sound = nullptr;     // mix
    std::uint64_t position = 0;       // mix: frames into the sound, 32.32 fixed point
    std::uint64_t step = 0;           // mix: position advance per output frame, 32.32
    float volume = 1.0f;              // mix
    float pan = 0.0f;                 // mix: -1 left .. +1 right
    float panfor = 2.0f;              // mix: the pan that panleft and panright were worked out for
    float panleft = 0.0f;             // mix: constant-power side gains of a mono sound at that pan
    float panright = 0.0f;            // mix
    GainRamp gain;                    // mix: what the mixer applies, heading for volume, pan and master
    float frequency = 0.0f;           // mix: Hz
    ChannelGroup* group = nullptr;    // mix: the group besides the master whose volume scales it
    bool active = false;              // mix: false once stopped or ended
    bool paused = false;              // mix
    std::uint32_t generation = 0;     // mix
    std::uint64_t stolenhistory = 0;  // mix: bit i set when generation - 1 - i was stolen
    std::uint64_t startorder = 0;     // mix: when the slot last started a sound, for stealing
};

// The last moments of a voice that was stopped, stolen or paused while it sounded: it plays on,
// its gain ramping to silence, after its slot has moved on. Nothing names it; sound is null when
// the entry is free.
struct Fade
{
    const Sound* sound = nullptr;   // mix
    ChannelGroup* group = nullptr;  // mix: the group of the voice it was
    std::uint64_t position = 0;     // mix
    std::uint64_t step = 0;         // mix
    GainRamp gain;                  // mix
};

struct ChannelGroup
{
    System* owner = nullptr;
    float volume = 1.0f;  // mix
    int apart = -1;       // mix: the group's place in the read now keeping groups apart, or -1
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
    // Set by SetDSPBufferSize: a real-time output then keeps the program's block and buffer count
    // (RealTimeDriver) instead of the engine's short default.
    bool blocksasked = false;
};

// Length of every gain ramp and fade-out: the longest power of two frames within kRampLongest,
// which is 2 to 3 ms at the usual rates (128 frames at 44.1 and 48 kHz, 64 at 32 kHz) and never
// under 1.5 ms. A smoothstep ramp's spectrum falls 18 dB per octave beyond 1/length. On a 500 Hz
// sine, a note change in mid-cycle leaves above 5 kHz a little more than the held tone's own floor
// with a 1 ms ramp, and less with 2 ms; longer would only blunt drum attacks and keep a stopped
// voice sounding longer. A power of two makes every ramp position k / length an exact float, so
// a ramp sounds the same however the mix is cut into blocks: one long block or many short ones
// give the same samples.
constexpr double kRampLongest = 0.003;
constexpr unsigned RampFrames(int p_Rate)
{
    const double l_Longest = p_Rate * kRampLongest;
    unsigned l_Frames = 1;
    while (2.0 * l_Frames <= l_Longest)
        l_Frames *= 2;
    return l_Frames;
}

struct System
{
    std::uint32_t serial = 0;  // names the system inside channel handles; renewed by Close
    Config config;
    bool initialised = false;
    std::unordered_set<Sound*> sounds;

    std::mutex mixlock;
    std::vector<Voice> voices;  // mix
    std::vector<Fade> fades;    // mix: room for two per voice
    unsigned rampframes = 1;    // frames of every gain ramp and fade-out, from the output rate
    ChannelGroup master;        // mix (volume)
    std::vector<std::unique_ptr<ChannelGroup>> groups;  // made by CreateChannelGroup, kept to Release
    std::uint64_t startcounter = 0;                     // mix
    std::vector<float> mixbuffer;  // mix: one block of float, all its left side then all its right
    // Only for reads that keep groups apart (FMOD_System_ReadMixGroups), made by the first: one
    // group's block at a time, laid out as mixbuffer and all zero between groups, and the voices
    // and fades of the groups kept apart (a voice's slot, or voices.size() + a fade's), as met
    // in the first half and by group in the second.
    std::vector<float> groupbuffer;         // mix
    std::vector<std::uint32_t> apartorder;  // mix

    std::unique_ptr<Output> output;
    std::unique_ptr<RealTimeDriver> driver;  // null on NRT outputs: Update mixes instead
    std::vector<std::int16_t> nrtblock;      // the block an NRT Update mixes into
    MixCallback mixcallback;                 // run by the driver's thread before each block

    System();
    ~System();
};

}  // namespace SoundEngine

#endif
