// FMOD_Channel_*: one playing voice, named by a handle that may have gone stale. Every change is
// made under the mix lock, so it is heard from the next mixed block on.
#include "Api.h"
#include "RealTimeDriver.h"

#include <algorithm>
#include <cmath>

using namespace SoundEngine;

namespace {

// Reads one value of a live voice into p_Out; a null p_Out is FMOD_ERR_INVALID_PARAM.
template <class Value, class Read>
FMOD_RESULT GetFromVoice(FMOD_CHANNEL* p_Handle, Value* p_Out, Read&& p_Read)
{
    if (p_Out == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithVoice(p_Handle, [&](System&, Voice& p_Voice) {
        *p_Out = p_Read(p_Voice);
        return FMOD_OK;
    });
}

// A position in the sound's frames, from the given time unit.
bool FramesFromUnit(const SoundData& p_Sound, unsigned p_Value, FMOD_TIMEUNIT p_Unit, std::uint64_t& p_Frames)
{
    switch (p_Unit) {
    case FMOD_TIMEUNIT_PCM:
        p_Frames = p_Value;
        return true;
    case FMOD_TIMEUNIT_MS:
        p_Frames = std::uint64_t(p_Value) * unsigned(p_Sound.rate) / 1000;
        return true;
    case FMOD_TIMEUNIT_PCMBYTES:
        p_Frames = p_Value / unsigned(p_Sound.channels * p_Sound.bytespersample);
        return true;
    default:
        return false;
    }
}

}  // namespace

extern "C" {

FMOD_RESULT F_API FMOD_Channel_Stop(FMOD_CHANNEL* channel)
{
    return WithVoice(channel, [](System& p_System, Voice& p_Voice) {
        StopVoice(p_System, p_Voice);
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_SetPaused(FMOD_CHANNEL* channel, FMOD_BOOL paused)
{
    return WithVoice(channel, [paused](System& p_System, Voice& p_Voice) {
        PauseVoice(p_System, p_Voice, paused != 0);
        if (paused == 0 && p_System.driver)
            p_System.driver->Begin();
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_GetPaused(FMOD_CHANNEL* channel, FMOD_BOOL* paused)
{
    return GetFromVoice(channel, paused, [](const Voice& p_Voice) { return FMOD_BOOL(p_Voice.paused); });
}

// Linear gain; above 1 amplifies (the output saturates), below 0 is silence.
FMOD_RESULT F_API FMOD_Channel_SetVolume(FMOD_CHANNEL* channel, float volume)
{
    if (!std::isfinite(volume))
        return FMOD_ERR_INVALID_PARAM;
    return WithVoice(channel, [volume](System&, Voice& p_Voice) {
        p_Voice.volume = std::max(volume, 0.0f);
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_GetVolume(FMOD_CHANNEL* channel, float* volume)
{
    return GetFromVoice(channel, volume, [](const Voice& p_Voice) { return p_Voice.volume; });
}

// -1 full left .. +1 full right; beyond that it is clamped.
FMOD_RESULT F_API FMOD_Channel_SetPan(FMOD_CHANNEL* channel, float pan)
{
    if (!std::isfinite(pan))
        return FMOD_ERR_INVALID_PARAM;
    return WithVoice(channel, [pan](System&, Voice& p_Voice) {
        p_Voice.pan = std::min(std::max(pan, -1.0f), 1.0f);
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_GetPan(FMOD_CHANNEL* channel, float* pan)
{
    return GetFromVoice(channel, pan, [](const Voice& p_Voice) { return p_Voice.pan; });
}

// Frames of the sound played per second; far above the output rate is fine (frames are skipped
// with interpolation), and a negative rate is taken as 0.
FMOD_RESULT F_API FMOD_Channel_SetFrequency(FMOD_CHANNEL* channel, float frequency)
{
    if (!std::isfinite(frequency))
        return FMOD_ERR_INVALID_PARAM;
    return WithVoice(channel, [frequency](System& p_System, Voice& p_Voice) {
        SetVoiceFrequency(p_System, p_Voice, frequency);
        return FMOD_OK;
    });
}

// Moves a voice into a group of its system (or the master's own, the master or null: no group but it).
FMOD_RESULT F_API FMOD_Channel_SetChannelGroup(FMOD_CHANNEL* channel, FMOD_CHANNELGROUP* channelgroup)
{
    return WithVoice(channel, [channelgroup](System& p_System, Voice& p_Voice) {
        if (channelgroup == nullptr ||
            channelgroup == reinterpret_cast<FMOD_CHANNELGROUP*>(&p_System.master)) {
            p_Voice.group = nullptr;
            return FMOD_OK;
        }
        ChannelGroup* l_Group = FindChannelGroup(channelgroup);
        if (l_Group == nullptr || l_Group->owner != &p_System)
            return FMOD_ERR_INVALID_HANDLE;
        p_Voice.group = l_Group;
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_GetFrequency(FMOD_CHANNEL* channel, float* frequency)
{
    return GetFromVoice(channel, frequency, [](const Voice& p_Voice) { return p_Voice.frequency; });
}

// A paused voice still counts as playing. For a stale handle *isplaying is 0 and the result says why.
FMOD_RESULT F_API FMOD_Channel_IsPlaying(FMOD_CHANNEL* channel, FMOD_BOOL* isplaying)
{
    if (isplaying == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    *isplaying = 0;
    return GetFromVoice(channel, isplaying, [](const Voice&) { return FMOD_BOOL(1); });
}

FMOD_RESULT F_API FMOD_Channel_GetCurrentSound(FMOD_CHANNEL* channel, FMOD_SOUND** sound)
{
    return GetFromVoice(channel, sound, [](const Voice& p_Voice) {
        return reinterpret_cast<FMOD_SOUND*>(const_cast<Sound*>(p_Voice.sound));
    });
}

FMOD_RESULT F_API FMOD_Channel_SetPosition(FMOD_CHANNEL* channel, unsigned int position,
                                           FMOD_TIMEUNIT postype)
{
    return WithVoice(channel, [=](System&, Voice& p_Voice) {
        std::uint64_t l_Frames = 0;
        if (!FramesFromUnit(*p_Voice.sound->data, position, postype, l_Frames) ||
            l_Frames >= p_Voice.sound->data->frames)
            return FMOD_ERR_INVALID_PARAM;
        p_Voice.position = l_Frames << 32;
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Channel_GetPosition(FMOD_CHANNEL* channel, unsigned int* position,
                                           FMOD_TIMEUNIT postype)
{
    if (position == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithVoice(channel, [=](System&, Voice& p_Voice) {
        return UnitFromFrames(*p_Voice.sound->data, p_Voice.position >> 32, postype, *position)
                   ? FMOD_OK
                   : FMOD_ERR_INVALID_PARAM;
    });
}
}
