// The engine's own thread for real-time outputs: mixes a block, hands it to the output, and keeps
// to the pace of the monotonic clock even when the output takes data faster than real time.
#ifndef TUNEWRIGHT_SOUND_REALTIMEDRIVER_H
#define TUNEWRIGHT_SOUND_REALTIMEDRIVER_H

#include "Engine.h"
#include "Output.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace SoundEngine {

class RealTimeDriver
{
public:
    // How far the output may run ahead of the wall clock, in milliseconds; with one block of mixing
    // this bounds the delay from a voice change to the device.
    static constexpr unsigned kLeadMilliseconds = 20;
    // A block is at most this long in real time (a shorter DSP block length is kept).
    static constexpr unsigned kMaxBlockMilliseconds = 5;

    RealTimeDriver(System& p_System, Output& p_Output, unsigned p_BlockFrames);
    ~RealTimeDriver();
    RealTimeDriver(const RealTimeDriver&) = delete;
    RealTimeDriver& operator=(const RealTimeDriver&) = delete;

    static unsigned BlockFrames(const Config& p_Config);

private:
    void Run();

    System& system;
    Output& output;
    const unsigned blockframes;
    std::vector<std::int16_t> block;  // only the thread touches it
    std::mutex waitlock;
    std::condition_variable wake;
    bool stopping = false;            // guarded by waitlock
    std::thread thread;
};

}

#endif
