// A flag that one thread raises once and another waits on, each wait bounded by a time on the
// monotonic clock. The engine's thread waits on it between blocks, tens of times a second: on Linux
// a wait is one private futex call, where a condition variable's costs a second call to hand its
// mutex back (glibc marks the mutex contended on every wake) and std::future's a shared futex,
// which the kernel must look up through the page tables.
#ifndef TUNEWRIGHT_SOUND_STOPFLAG_H
#define TUNEWRIGHT_SOUND_STOPFLAG_H

#include <atomic>
#include <chrono>
#include <climits>

#ifdef __linux__
#include <cerrno>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#else
#include <condition_variable>
#include <mutex>
#endif

namespace SoundEngine {

class StopFlag
{
public:
    using Clock = std::chrono::steady_clock;

    // Raises the flag and ends every wait on it.
    void Raise();

    // True once the flag is raised; else waits for it until p_Until, and says whether it came.
    bool WaitUntil(Clock::time_point p_Until);

private:
#ifdef __linux__
    static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free,
                  "the futex waits on the atomic's own word");
    std::atomic<int> raised{0};
#else
    std::mutex lock;
    std::condition_variable wake;
    bool raised = false;  // guarded by lock
#endif
};

#ifdef __linux__

inline void StopFlag::Raise()
{
    raised.store(1, std::memory_order_release);
    syscall(SYS_futex, reinterpret_cast<int*>(&raised), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

inline bool StopFlag::WaitUntil(Clock::time_point p_Until)
{
    // steady_clock is CLOCK_MONOTONIC, the clock FUTEX_WAIT_BITSET takes absolute times on.
    const auto l_Since = std::chrono::duration_cast<std::chrono::nanoseconds>(p_Until.time_since_epoch());
    const long long l_Ns = l_Since.count() < 0 ? 0 : l_Since.count();
    const struct timespec l_At = {static_cast<std::time_t>(l_Ns / 1000000000),
                                  static_cast<long>(l_Ns % 1000000000)};
    while (raised.load(std::memory_order_acquire) == 0) {
        const long l_Result = syscall(SYS_futex, reinterpret_cast<int*>(&raised), FUTEX_WAIT_BITSET_PRIVATE,
                                      0, &l_At, nullptr, FUTEX_BITSET_MATCH_ANY);
        if (l_Result != 0 && errno == ETIMEDOUT)
            return raised.load(std::memory_order_acquire) != 0;
        // Woken, or interrupted, or the word changed before the wait began: look again.
    }
    return true;
}

#else

inline void StopFlag::Raise()
{
    {
        std::lock_guard<std::mutex> l_Lock(lock);
        raised = true;
    }
    wake.notify_all();
}

inline bool StopFlag::WaitUntil(Clock::time_point p_Until)
{
    std::unique_lock<std::mutex> l_Lock(lock);
    return wake.wait_until(l_Lock, p_Until, [this] { return raised; });
}

#endif

}  // namespace SoundEngine

#endif
