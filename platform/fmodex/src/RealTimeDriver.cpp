#include "RealTimeDriver.h"

#include "Mixer.h"

#include <algorithm>
#include <chrono>

namespace SoundEngine {
namespace {

using Clock = std::chrono::steady_clock;

// Behind the clock by more than this (a stalled machine), the thread gives up the lost time instead
// of rushing out blocks to catch up.
constexpr auto kMaxLag = std::chrono::milliseconds(200);

Clock::duration FramesToDuration(double p_Frames, int p_Rate)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(p_Frames / p_Rate));
}

}  // namespace

RealTimeDriver::RealTimeDriver(System& p_System, Output& p_Output, unsigned p_BlockFrames)
    : system(p_System), output(p_Output), blockframes(p_BlockFrames), block(std::size_t(p_BlockFrames) * 2)
{
    thread = std::thread(&RealTimeDriver::Run, this);
}

RealTimeDriver::~RealTimeDriver()
{
    {
        std::lock_guard<std::mutex> l_Lock(waitlock);
        stopping = true;
    }
    wake.notify_all();
    stop.Raise();
    thread.join();
}

void RealTimeDriver::Begin()
{
    {
        std::lock_guard<std::mutex> l_Lock(waitlock);
        if (begun)
            return;
        begun = true;
    }
    wake.notify_all();
}

unsigned RealTimeDriver::BlockFrames(const Config& p_Config)
{
    const unsigned l_Milliseconds = p_Config.blocksasked ? kMaxAskedBlockMilliseconds : kMaxBlockMilliseconds;
    const unsigned l_Limit = std::max(1u, unsigned(p_Config.rate) * l_Milliseconds / 1000);
    return std::min(p_Config.blocklength, l_Limit);
}

double RealTimeDriver::LeadFrames(const Config& p_Config)
{
    if (!p_Config.blocksasked)
        return double(p_Config.rate) * kLeadMilliseconds / 1000.0;
    return double(BlockFrames(p_Config)) * std::max(1, p_Config.blockcount - 1);
}

void RealTimeDriver::Run()
{
    const int l_Rate = system.config.rate;
    const double l_Lead = LeadFrames(system.config);
    if (output.IsDevice()) {
        std::unique_lock<std::mutex> l_Lock(waitlock);
        wake.wait_for(l_Lock, kFirstSoundWait, [this] { return begun || stopping; });
        if (stopping)
            return;
    }
    Clock::time_point l_Start = Clock::now();
    std::uint64_t l_Written = 0;
    unsigned l_Frames = output.IsDevice() ? FirstBlockFrames(l_Rate, blockframes) : blockframes;
    for (;; l_Frames = blockframes) {
        // The next block may go out once the output would be no more than l_Lead frames ahead.
        const Clock::time_point l_Due =
            l_Start + FramesToDuration(double(l_Written + l_Frames) - l_Lead, l_Rate);
        if (stop.WaitUntil(l_Due))
            return;
        const Clock::time_point l_Now = Clock::now();
        if (l_Now - l_Due > kMaxLag)
            l_Start += l_Now - l_Due;
        system.mixcallback.Run(l_Written, l_Rate);
        {
            std::lock_guard<std::mutex> l_Lock(system.mixlock);
            MixBlock(system, block.data(), l_Frames);
        }
        // The device write may block; no lock is held here.
        output.Write(block.data(), l_Frames);
        l_Written += l_Frames;
        // A device with a clock of its own sets the pace: the schedule follows what it still holds,
        // so a device clock a little faster or slower than the monotonic one never starves or floods.
        const unsigned l_Queued = output.QueuedFrames();
        if (l_Queued > 0)
            l_Start = Clock::now() - FramesToDuration(double(l_Written) - l_Queued, l_Rate);
    }
}

}  // namespace SoundEngine
