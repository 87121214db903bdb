// A system's mix callback (fmod_mixcallback.h): set from any thread, run by the engine's.
#ifndef TUNEWRIGHT_SOUND_MIXCALLBACK_H
#define TUNEWRIGHT_SOUND_MIXCALLBACK_H

#include "fmod_mixcallback.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace SoundEngine {

class MixCallback
{
public:
    // Once it returns, no call of the callback before is still under way (but from the call itself,
    // which may change what comes next without waiting on itself).
    void Set(FMOD_MIX_CALLBACK p_Callback, void* p_UserData)
    {
        if (running.load() == std::this_thread::get_id()) {
            callback = p_Callback;
            userdata = p_UserData;
            return;
        }
        std::lock_guard<std::mutex> l_Lock(lock);
        callback = p_Callback;
        userdata = p_UserData;
    }

    void Run(unsigned long long p_Frame, int p_Rate)
    {
        std::lock_guard<std::mutex> l_Lock(lock);
        if (callback == nullptr)
            return;
        running.store(std::this_thread::get_id());
        callback(userdata, p_Frame, p_Rate);
        running.store(std::thread::id());
    }

private:
    std::mutex lock;                         // held through a call
    FMOD_MIX_CALLBACK callback = nullptr;    // guarded by lock
    void* userdata = nullptr;                // guarded by lock
    std::atomic<std::thread::id> running{};  // the thread inside a call, if any
};

}  // namespace SoundEngine

#endif
