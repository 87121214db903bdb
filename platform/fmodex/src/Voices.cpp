#include "Voices.h"

#include <algorithm>
#include <cmath>

namespace SoundEngine {
namespace {

float Smoothstep(float p_U) { return p_U * p_U * (3.0f - 2.0f * p_U); }

// Hands what a voice sounds to a free fade entry (or the one closest to its end) and leaves the
// voice silent. A voice that has not sounded yet needs no fade.
void FadeOut(System& p_System, Voice& p_Voice)
{
    if (p_Voice.sound == nullptr || p_Voice.gain.Silent() || p_System.fades.empty()) {
        p_Voice.gain = GainRamp();
        return;
    }
    Fade* l_Entry = &p_System.fades.front();
    for (Fade& l_Fade : p_System.fades) {
        if (l_Fade.sound == nullptr) {
            l_Entry = &l_Fade;
            break;
        }
        if (l_Fade.gain.done > l_Entry->gain.done)
            l_Entry = &l_Fade;
    }
    l_Entry->sound = p_Voice.sound;
    l_Entry->group = p_Voice.group;
    l_Entry->position = p_Voice.position;
    l_Entry->step = p_Voice.step;
    l_Entry->gain = p_Voice.gain;
    l_Entry->gain.Aim(0.0f, 0.0f, p_System.rampframes);
    p_Voice.gain = GainRamp();
}

}  // namespace

float GainRamp::Now(int p_Side) const
{
    if (length == 0)
        return to[p_Side];
    return from[p_Side] + (to[p_Side] - from[p_Side]) * Smoothstep(float(done) / float(length));
}

void GainRamp::Aim(float p_Left, float p_Right, unsigned p_Length)
{
    if (p_Left == to[0] && p_Right == to[1])
        return;
    from[0] = Now(0);
    from[1] = Now(1);
    to[0] = p_Left;
    to[1] = p_Right;
    done = 0;
    length = p_Length;
}

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

FMOD_CHANNEL* StartVoice(System& p_System, unsigned p_Slot, const Sound& p_Sound, bool p_Paused,
                         bool p_SameHandle)
{
    Voice& l_Voice = p_System.voices[p_Slot];
    FadeOut(p_System, l_Voice);
    if (!p_SameHandle || !l_Voice.active) {
        l_Voice.stolenhistory = (l_Voice.stolenhistory << 1) | (l_Voice.active ? 1u : 0u);
        l_Voice.generation = (l_Voice.generation + 1) & ChannelHandle::kGenerationMask;
    }
    l_Voice.sound = &p_Sound;
    l_Voice.position = 0;
    l_Voice.volume = 1.0f;
    l_Voice.pan = 0.0f;
    l_Voice.group = nullptr;
    l_Voice.active = true;
    l_Voice.paused = p_Paused;
    l_Voice.startorder = ++p_System.startcounter;
    SetVoiceFrequency(p_System, l_Voice, float(p_Sound.data->rate));
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

void StopVoice(System& p_System, Voice& p_Voice)
{
    FadeOut(p_System, p_Voice);
    EndVoice(p_Voice);
}

void PauseVoice(System& p_System, Voice& p_Voice, bool p_Paused)
{
    if (p_Paused && !p_Voice.paused)
        FadeOut(p_System, p_Voice);
    p_Voice.paused = p_Paused;
}

void EndVoice(Voice& p_Voice)
{
    p_Voice.active = false;
    p_Voice.sound = nullptr;
    p_Voice.gain = GainRamp();
}

void DropSound(System& p_System, const Sound* p_Sound)
{
    for (Voice& l_Voice : p_System.voices)
        if (l_Voice.active && l_Voice.sound == p_Sound)
            EndVoice(l_Voice);
    for (Fade& l_Fade : p_System.fades)
        if (l_Fade.sound == p_Sound)
            l_Fade.sound = nullptr;
}

void SetVoiceFrequency(const System& p_System, Voice& p_Voice, float p_Frequency)
{
    double l_Limit = double(p_System.config.rate) * 4096.0;
    double l_Frequency = std::min(std::max(double(p_Frequency), 0.0), l_Limit);
    p_Voice.frequency = float(l_Frequency);
    p_Voice.step = std::uint64_t(l_Frequency / p_System.config.rate * 4294967296.0);
}

}  // namespace SoundEngine
