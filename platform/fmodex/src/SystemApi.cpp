// FMOD_System_*: creating, initialising, updating and releasing a system.
#include "Api.h"
#include "Mixer.h"
#include "Output.h"
#include "System.h"
#include "fmod_mixcallback.h"
#include "fmod_readmix.h"

#include <algorithm>
#include <cstddef>

#include <cerrno>
#include <new>
#include <vector>

using namespace SoundEngine;

namespace {

// Sets p_Handle's mix callback outside the API lock: a call under way, which is waited for, may be
// calling into the engine. A system released meanwhile by another thread is that caller's fault,
// as any call on a system being released is.
FMOD_RESULT SetMixCallback(FMOD_SYSTEM* p_Handle, FMOD_MIX_CALLBACK p_Callback, void* p_UserData)
{
    System* l_System = nullptr;
    {
        auto l_Api = LockApi();
        const FMOD_RESULT l_Result = FindSystemOrError(p_Handle, l_System);
        if (l_Result != FMOD_OK)
            return l_Result;
    }
    l_System->mixcallback.Set(p_Callback, p_UserData);
    return FMOD_OK;
}

}  // namespace

extern "C" {

FMOD_RESULT F_API FMOD_System_SetMixCallback(FMOD_SYSTEM* system, FMOD_MIX_CALLBACK callback, void* userdata)
{
    return SetMixCallback(system, callback, userdata);
}

FMOD_RESULT F_API FMOD_System_Create(FMOD_SYSTEM** system)
{
    if (system == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    auto l_Api = LockApi();
    System* l_System = new (std::nothrow) System;
    if (l_System == nullptr)
        return FMOD_ERR_MEMORY;
    RegisterSystem(l_System);
    *system = reinterpret_cast<FMOD_SYSTEM*>(l_System);
    return FMOD_OK;
}

FMOD_RESULT F_API FMOD_System_Release(FMOD_SYSTEM* system)
{
    // Closing joins the engine's thread under the API lock, which a callback under way may wait for.
    SetMixCallback(system, nullptr, nullptr);
    return WithSystem(system, false, [](System& p_System) {
        // Everything is released even when the output failed; the failure is still reported.
        const FMOD_RESULT l_Result = CloseSystem(p_System);
        const int l_Reason = errno;
        std::vector<Sound*> l_Sounds(p_System.sounds.begin(), p_System.sounds.end());
        for (Sound* l_Sound : l_Sounds)
            DestroySound(l_Sound);
        UnregisterSystem(&p_System);
        delete &p_System;
        if (l_Result != FMOD_OK)
            errno = l_Reason;
        return l_Result;
    });
}

FMOD_RESULT F_API FMOD_System_Close(FMOD_SYSTEM* system)
{
    SetMixCallback(system, nullptr, nullptr);  // as Release does
    return WithSystem(system, false, [](System& p_System) { return CloseSystem(p_System); });
}

FMOD_RESULT F_API FMOD_System_GetVersion(FMOD_SYSTEM* system, unsigned int* version)
{
    if (version == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSystem(system, false, [version](System&) {
        *version = FMOD_VERSION;
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_System_Init(FMOD_SYSTEM* system, int maxchannels, FMOD_INITFLAGS flags,
                                   void* extradriverdata)
{
    return WithSystem(system, false, [=](System& p_System) {
        if (p_System.initialised)
            return FMOD_ERR_INITIALIZED;
        if (maxchannels < 1 || unsigned(maxchannels) > ChannelHandle::kMaxVoices)
            return FMOD_ERR_INVALID_PARAM;
        if (flags != FMOD_INIT_NORMAL)
            return FMOD_ERR_UNSUPPORTED;
        return InitSystem(p_System, maxchannels, extradriverdata);
    });
}

// Real-time outputs mix on their own thread, so there is nothing to do; an NRT output mixes
// exactly one DSP block here and hands it to its output.
FMOD_RESULT F_API FMOD_System_Update(FMOD_SYSTEM* system)
{
    return WithSystem(system, true, [](System& p_System) {
        if (p_System.driver)
            return OutputResult(p_System);  // the engine's thread writes; its failures show here
        {
            std::lock_guard<std::mutex> l_Mix(p_System.mixlock);
            MixBlock(p_System, p_System.nrtblock.data(), p_System.config.blocklength);
        }
        p_System.output->Write(p_System.nrtblock.data(), p_System.config.blocklength);
        return OutputResult(p_System);
    });
}

FMOD_RESULT F_API FMOD_System_GetMasterChannelGroup(FMOD_SYSTEM* system, FMOD_CHANNELGROUP** channelgroup)
{
    if (channelgroup == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSystem(system, true, [channelgroup](System& p_System) {
        *channelgroup = reinterpret_cast<FMOD_CHANNELGROUP*>(&p_System.master);
        return FMOD_OK;
    });
}

// A group of the system besides the master: its volume scales its voices as the master's scales all.
// It lives as long as the system; the name is not kept.
FMOD_RESULT F_API FMOD_System_CreateChannelGroup(FMOD_SYSTEM* system, const char*,
                                                 FMOD_CHANNELGROUP** channelgroup)
{
    if (channelgroup == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    *channelgroup = nullptr;
    return WithSystem(system, true, [channelgroup](System& p_System) {
        try {
            auto l_Group = std::make_unique<ChannelGroup>();
            l_Group->owner = &p_System;
            std::lock_guard<std::mutex> l_Mix(p_System.mixlock);
            p_System.groups.push_back(std::move(l_Group));
        } catch (const std::bad_alloc&) {
            return FMOD_ERR_MEMORY;
        }
        *channelgroup = reinterpret_cast<FMOD_CHANNELGROUP*>(p_System.groups.back().get());
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_System_GetChannelsPlaying(FMOD_SYSTEM* system, int* channels)
{
    if (channels == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSystem(system, false, [channels](System& p_System) {
        std::lock_guard<std::mutex> l_Mix(p_System.mixlock);
        int l_Count = 0;
        for (const Voice& l_Voice : p_System.voices)
            l_Count += l_Voice.active ? 1 : 0;
        *channels = l_Count;
        return FMOD_OK;
    });
}
}

// The system a caller reads its mix from, for p_Frames frames of one block: initialised, and with
// no real-time output (which mixes on its own thread).
static FMOD_RESULT FindReadableSystem(FMOD_SYSTEM* p_Handle, unsigned int p_Frames, System*& p_System)
{
    const FMOD_RESULT l_Result = FindInitialisedSystemOrError(p_Handle, p_System);
    if (l_Result != FMOD_OK)
        return l_Result;
    if (p_System->driver)
        return FMOD_ERR_UNSUPPORTED;
    return p_Frames < 1 || p_Frames > p_System->config.blocklength ? FMOD_ERR_INVALID_PARAM : FMOD_OK;
}

extern "C" FMOD_RESULT F_API FMOD_System_ReadMix(FMOD_SYSTEM* system, short* pcm16, float* mix,
                                                 unsigned int frames)
{
    auto l_Api = LockApi();
    System* l_System = nullptr;
    const FMOD_RESULT l_Result = FindReadableSystem(system, frames, l_System);
    if (l_Result != FMOD_OK)
        return l_Result;
    // The mix itself needs only this system's lock, so systems of other threads mix meanwhile.
    std::lock_guard<std::mutex> l_Mix(l_System->mixlock);
    l_Api.unlock();
    // A caller that takes only the float mix does not pay for its 16-bit form.
    MixBlock(*l_System, pcm16 != nullptr ? l_System->nrtblock.data() : nullptr, frames);
    if (pcm16 != nullptr)
        std::copy(l_System->nrtblock.begin(), l_System->nrtblock.begin() + 2 * std::ptrdiff_t(frames), pcm16);
    if (mix != nullptr)
        InterleavedMix(*l_System, mix, frames);
    return FMOD_OK;
}

extern "C" FMOD_RESULT F_API FMOD_System_ReadMixGroups(FMOD_SYSTEM* system, short* pcm16, float* mix,
                                                       unsigned int frames, FMOD_CHANNELGROUP* const* groups,
                                                       float* const* groupmix, int* sounded, float* peaks,
                                                       double* squares, int count)
{
    if (count < 0 || count > kMostApartGroups || (count > 0 && groups == nullptr))
        return FMOD_ERR_INVALID_PARAM;
    auto l_Api = LockApi();
    System* l_System = nullptr;
    const FMOD_RESULT l_Result = FindReadableSystem(system, frames, l_System);
    if (l_Result != FMOD_OK)
        return l_Result;
    // Only the system's own groups count, so the search stays within them.
    ChannelGroup* l_Groups[kMostApartGroups];
    for (int l_Index = 0; l_Index < count; ++l_Index) {
        const auto l_Own =
            std::find_if(l_System->groups.begin(), l_System->groups.end(), [&](const auto& p_Group) {
                return reinterpret_cast<FMOD_CHANNELGROUP*>(p_Group.get()) == groups[l_Index];
            });
        if (l_Own == l_System->groups.end())
            return FMOD_ERR_INVALID_HANDLE;
        l_Groups[l_Index] = l_Own->get();
        for (int l_Before = 0; l_Before < l_Index; ++l_Before)
            if (l_Groups[l_Before] == l_Groups[l_Index])
                return FMOD_ERR_INVALID_PARAM;
    }
    std::lock_guard<std::mutex> l_Mix(l_System->mixlock);
    l_Api.unlock();
    if (!MakeApartRoom(*l_System))
        return FMOD_ERR_MEMORY;
    GroupReads l_Reads;
    l_Reads.frames = groupmix;
    l_Reads.sounded = sounded;
    l_Reads.peaks = peaks;
    l_Reads.squares = squares;
    MixBlockApart(*l_System, pcm16 != nullptr ? l_System->nrtblock.data() : nullptr, frames, l_Groups, count,
                  pcm16 != nullptr || mix != nullptr, l_Reads);
    if (pcm16 != nullptr)
        std::copy(l_System->nrtblock.begin(), l_System->nrtblock.begin() + 2 * std::ptrdiff_t(frames), pcm16);
    if (mix != nullptr)
        InterleavedMix(*l_System, mix, frames);
    return FMOD_OK;
}
