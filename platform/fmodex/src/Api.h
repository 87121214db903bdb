// Helpers shared by the flat interface's entry points: handle checks in one place.
#ifndef TUNEWRIGHT_SOUND_API_H
#define TUNEWRIGHT_SOUND_API_H

#include "ChannelHandle.h"
#include "Engine.h"
#include "Registry.h"
#include "Voices.h"

#include <cstdint>
#include <mutex>

namespace SoundEngine {

// With the API lock held: the system behind a handle. Null: FMOD_ERR_INVALID_PARAM; released or
// never made: FMOD_ERR_INVALID_HANDLE.
inline FMOD_RESULT FindSystemOrError(FMOD_SYSTEM* p_Handle, System*& p_System)
{
    p_System = nullptr;
    if (p_Handle == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    p_System = FindSystem(p_Handle);
    return p_System != nullptr ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

// The same for a system that must be initialised: FMOD_ERR_UNINITIALIZED before Init.
inline FMOD_RESULT FindInitialisedSystemOrError(FMOD_SYSTEM* p_Handle, System*& p_System)
{
    const FMOD_RESULT l_Result = FindSystemOrError(p_Handle, p_System);
    if (l_Result == FMOD_OK && !p_System->initialised)
        return FMOD_ERR_UNINITIALIZED;
    return l_Result;
}

// Runs p_Action(System&) with the API lock held on the system behind a handle (an initialised one
// when p_Initialised); otherwise returns why the handle names no such system.
template <class Action> FMOD_RESULT WithSystem(FMOD_SYSTEM* p_Handle, bool p_Initialised, Action&& p_Action)
{
    auto l_Api = LockApi();
    System* l_System = nullptr;
    const FMOD_RESULT l_Result = p_Initialised ? FindInitialisedSystemOrError(p_Handle, l_System)
                                               : FindSystemOrError(p_Handle, l_System);
    return l_Result != FMOD_OK ? l_Result : p_Action(*l_System);
}

// Runs p_Action(System&, Voice&) on the live voice a channel handle names, with the API lock and
// the system's mix lock held; otherwise returns why the handle names no live voice.
template <class Action> FMOD_RESULT WithVoice(FMOD_CHANNEL* p_Handle, Action&& p_Action)
{
    if (p_Handle == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    auto l_Api = LockApi();
    const ChannelHandle::Parts l_Parts = ChannelHandle::Decode(p_Handle);
    System* l_System = FindSystemBySerial(l_Parts.serial);
    if (l_System == nullptr)
        return FMOD_ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> l_Mix(l_System->mixlock);
    Voice* l_Voice = nullptr;
    FMOD_RESULT l_Result = ResolveVoice(*l_System, l_Parts, l_Voice);
    if (l_Result != FMOD_OK)
        return l_Result;
    return p_Action(*l_System, *l_Voice);
}

// A position in the sound's frames, in the given time unit; false for a unit that is not one.
inline bool UnitFromFrames(const SoundData& p_Sound, std::uint64_t p_Frames, FMOD_TIMEUNIT p_Unit,
                           unsigned& p_Value)
{
    switch (p_Unit) {
    case FMOD_TIMEUNIT_PCM:
        p_Value = unsigned(p_Frames);
        return true;
    case FMOD_TIMEUNIT_MS:
        p_Value = unsigned(p_Frames * 1000 / unsigned(p_Sound.rate));
        return true;
    case FMOD_TIMEUNIT_PCMBYTES:
        p_Value = unsigned(p_Frames * unsigned(p_Sound.channels * p_Sound.bytespersample));
        return true;
    default:
        return false;
    }
}

}  // namespace SoundEngine

#endif
