// FMOD_System_PlaySound: a sound starts on a voice slot.
#include "Api.h"
#include "RealTimeDriver.h"

using namespace SoundEngine;

namespace {

// The slot a playback goes to: FMOD_CHANNEL_FREE takes a free slot or steals the oldest;
// FMOD_CHANNEL_REUSE restarts the live voice the passed handle names, else acts as FREE;
// a slot number takes that slot, stealing whatever plays there.
FMOD_RESULT ChooseSlot(System& p_System, FMOD_CHANNELINDEX p_Index, FMOD_CHANNEL* p_Previous,
                       unsigned& p_Slot, bool& p_SameHandle)
{
    p_SameHandle = false;
    if (p_Index == FMOD_CHANNEL_REUSE && p_Previous != nullptr) {
        const ChannelHandle::Parts l_Parts = ChannelHandle::Decode(p_Previous);
        Voice* l_Voice = nullptr;
        if (l_Parts.serial == p_System.serial && ResolveVoice(p_System, l_Parts, l_Voice) == FMOD_OK) {
            p_Slot = l_Parts.slot;
            p_SameHandle = true;
            return FMOD_OK;
        }
    }
    if (p_Index == FMOD_CHANNEL_FREE || p_Index == FMOD_CHANNEL_REUSE) {
        p_Slot = ChooseFreeVoice(p_System);
        return FMOD_OK;
    }
    if (int(p_Index) < 0 || unsigned(p_Index) >= p_System.voices.size())
        return FMOD_ERR_INVALID_PARAM;
    p_Slot = unsigned(p_Index);
    return FMOD_OK;
}

}  // namespace

extern "C" {

FMOD_RESULT F_API FMOD_System_PlaySound(FMOD_SYSTEM* system, FMOD_CHANNELINDEX channelid, FMOD_SOUND* sound,
                                        FMOD_BOOL paused, FMOD_CHANNEL** channel)
{
    FMOD_CHANNEL* l_Previous = channel != nullptr ? *channel : nullptr;
    if (channel != nullptr)
        *channel = nullptr;
    if (sound == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSystem(system, true, [&](System& p_System) {
        Sound* l_Sound = FindSound(sound);
        if (l_Sound == nullptr)
            return FMOD_ERR_INVALID_HANDLE;
        if (l_Sound->owner != &p_System)
            return FMOD_ERR_INVALID_PARAM;

        {
            std::lock_guard<std::mutex> l_Mix(p_System.mixlock);
            unsigned l_Slot = 0;
            bool l_SameHandle = false;
            const FMOD_RESULT l_Result = ChooseSlot(p_System, channelid, l_Previous, l_Slot, l_SameHandle);
            if (l_Result != FMOD_OK)
                return l_Result;
            FMOD_CHANNEL* l_Handle = StartVoice(p_System, l_Slot, *l_Sound, paused != 0, l_SameHandle);
            if (channel != nullptr)
                *channel = l_Handle;
        }
        // A voice started paused is set up before it sounds: the device is fed once it is unpaused.
        if (p_System.driver && paused == 0)
            p_System.driver->Begin();
        return FMOD_OK;
    });
}
}
