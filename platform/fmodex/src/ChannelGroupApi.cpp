// FMOD_ChannelGroup_*: the master group, whose volume scales every voice from the next block on.
#include "Api.h"

#include <algorithm>
#include <cmath>

using namespace SoundEngine;

namespace {

template <class Action>
FMOD_RESULT WithGroup(FMOD_CHANNELGROUP* p_Handle, Action&& p_Action)
{
    if (p_Handle == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    auto l_Api = LockApi();
    ChannelGroup* l_Group = FindChannelGroup(p_Handle);
    if (l_Group == nullptr || !l_Group->owner->initialised)
        return FMOD_ERR_INVALID_HANDLE;
    std::lock_guard<std::mutex> l_Mix(l_Group->owner->mixlock);
    p_Action(*l_Group);
    return FMOD_OK;
}

}

extern "C" {

FMOD_RESULT F_API FMOD_ChannelGroup_SetVolume(FMOD_CHANNELGROUP* channelgroup, float volume)
{
    if (!std::isfinite(volume))
        return FMOD_ERR_INVALID_PARAM;
    return WithGroup(channelgroup, [volume](ChannelGroup& p_Group) { p_Group.volume = std::max(volume, 0.0f); });
}

FMOD_RESULT F_API FMOD_ChannelGroup_GetVolume(FMOD_CHANNELGROUP* channelgroup, float* volume)
{
    if (volume == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithGroup(channelgroup, [volume](ChannelGroup& p_Group) { *volume = p_Group.volume; });
}

}
