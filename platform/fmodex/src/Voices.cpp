#include "Voices.h"

#include <algorithm>
#include <cmath>

namespace SoundEngine {

unsigned ChooseFreeVoice(const System& p_System)
{
    unsigned l_Oldest = 0;
    for (unsigned l_Slot = 0; l_Slot < p_System.voices.size(); ++l_Slot) {
        const Voice& l_Voice = p_System.voices[l_Slot];
        if (!l_Voice.active)
            return l_Slot;
        if (l_Voice.startorder < p_System.voices[l_Oldest].startorder)
            l_Oldest = l_Slot;
    }
    return l_Oldest;
}

FMOD_CHANNEL* StartVoice(System& p_System, unsigned p_Slot, const Sound& p_Sound, bool p_Paused, bool p_SameHandle)
{
    Voice& l_Voice = p_System.voices[p_Slot];
    if (!p_SameHandle || !l_Voice.active) {
        l_Voice.stolenhistory = (l_Voice.stolenhistory << 1) | (l_Voice.active ? 1u : 0u);
        l_Voice.generation = (l_Voice.generation + 1) & ChannelHandle::kGenerationMask;
    }
    l_Voice.sound = &p_Sound;
    l_Voice.position = 0;
    l_Voice.volume = 1.0f;
    l_Voice.pan = 0.0f;
    l_Voice.active = true;
    l_Voice.paused = p_Paused;
    l_Voice.startorder = ++p_System.startcounter;
    SetVoiceFrequency(p_System, l_Voice, float(p_Sound.rate));
    return ChannelHandle::Encode(p_System.serial, p_Slot, l_Voice.generation);
}

FMOD_RESULT ResolveVoice(System& p_System, const ChannelHandle::Parts& p_Handle, Voice*& p_Voice)
{
    p_Voice = nullptr;
    if (p_Handle.slot >= p_System.voices.size())
        return FMOD_ERR_INVALID_HANDLE;
    Voice& l_Voice = p_System.voices[p_Handle.slot];
    std::uint32_t l_Age = (l_Voice.generation - p_Handle.generation) & ChannelHandle::kGenerationMask;
    if (l_Age == 0) {
        if (!l_Voice.active)
            return FMOD_ERR_INVALID_HANDLE;
        p_Voice = &l_Voice;
        return FMOD_OK;
    }
    // The slot has started l_Age sounds since; the history remembers whether the first of those
    // took over the handle's voice while it still played.
    if (l_Age <= 64 && ((l_Voice.stolenhistory >> (l_Age - 1)) & 1u) != 0)
        return FMOD_ERR_CHANNEL_STOLEN;
    return FMOD_ERR_INVALID_HANDLE;
}

void StopVoice(Voice& p_Voice)
{
    p_Voice.active = false;
    p_Voice.sound = nullptr;
}

void SetVoiceFrequency(const System& p_System, Voice& p_Voice, float p_Frequency)
{
    double l_Limit = double(p_System.config.rate) * 4096.0;
    double l_Frequency = std::min(std::max(double(p_Frequency), 0.0), l_Limit);
    p_Voice.frequency = float(l_Frequency);
    p_Voice.step = std::uint64_t(l_Frequency / p_System.config.rate * 4294967296.0);
}

}
