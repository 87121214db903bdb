// The engine's own thread for real-time outputs: mixes a block, hands it to the output, and keeps
// to the pace of the monotonic clock even when the output takes data faster than real time.
#ifndef TUNEWRIGHT_SOUND_REALTIMEDRIVER_H
#define TUNEWRIGHT_SOUND_REALTIMEDRIVER_H

#include "Engine.h"
#include "Output.h"
#include "StopFlag.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace SoundEngine {

class RealTimeDriver
{
public:
    // Unless the program set the DSP buffer size: how far the output may run ahead of the wall
    // clock, in milliseconds (with one block of mixing this bounds the delay from a voice change to
    // the device), and the longest block (a shorter DSP block length is kept).
    static constexpr unsigned kLeadMilliseconds = 20;
    static constexpr unsigned kMaxBlockMilliseconds = 5;
    // A program that set the DSP buffer size gets blocks of its length, up to this, and a lead of
    // its count less one blocks (at least one), as FMOD Ex's latency is length times count: fewer
    // wake-ups for a program that can wait longer for a change to be heard.
    static constexpr unsigned kMaxAskedBlockMilliseconds = 50;

    RealTimeDriver(System& p_System, Output& p_Output, unsigned p_BlockFrames);
    ~RealTimeDriver();
    RealTimeDriver(const RealTimeDriver&) = delete;
    RealTimeDriver& operator=(const RealTimeDriver&) = delete;

    // A sound has started. A device is fed from the first sound on, or from kFirstSoundWait after
    // Init when nothing sounds by then: silence mixed while a program still loads its sounds would
    // otherwise be queued ahead of its first one, which is then heard a lead later.
    void Begin();
    static constexpr auto kFirstSoundWait = std::chrono::milliseconds(500);

    static unsigned BlockFrames(const Config& p_Config);
    // Frames the output may run ahead of the wall clock.
    static double LeadFrames(const Config& p_Config);

private:
    void Run();

    System& system;
    Output& output;
    const unsigned blockframes;
    std::vector<std::int16_t> block;  // only the thread touches it
    std::mutex waitlock;
    std::condition_variable wake;
    bool stopping = false;  // guarded by waitlock
    bool begun = false;     // guarded by waitlock
    StopFlag stop;          // raised when the thread is to end
    std::thread thread;
};

}  // namespace SoundEngine

#endif
