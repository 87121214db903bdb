#include "Mixer.h"

#include "MixKernel.h"
#include "Voices.h"

#include <algorithm>
#include <cmath>

namespace SoundEngine {
namespace {

struct Gains
{
    float left;
    float right;
};

// Mono sounds are panned with constant power (each side 0.707 at centre); a stereo sound's pan
// is a balance that only ever turns one side down.
// The side gains of a pan change only with the pan, so they are kept with the voice rather
// than worked out with a sine and a cosine for every voice of every block.
Gains VoiceGains(Voice& p_Voice, float p_Master)
{
    const float l_Gain = p_Voice.volume * p_Master;
    if (p_Voice.sound->channels == 1) {
        if (p_Voice.pan != p_Voice.panfor) {
            const float l_Angle = (p_Voice.pan + 1.0f) * 0.785398163f;
            p_Voice.panleft = std::cos(l_Angle);
            p_Voice.panright = std::sin(l_Angle);
            p_Voice.panfor = p_Voice.pan;
        }
        return { p_Voice.panleft * l_Gain, p_Voice.panright * l_Gain };
    }
    return { l_Gain * std::min(1.0f, 1.0f - p_Voice.pan), l_Gain * std::min(1.0f, 1.0f + p_Voice.pan) };
}

// Mixes one voice in spans that end where the sound loops or ends, so the kernel itself never
// checks a bound. A step may exceed a whole loop; the wrap then takes the remainder.
void MixVoice(Voice& p_Voice, float* p_Out, unsigned p_Frames, float p_Master)
{
    const Sound& l_Sound = *p_Voice.sound;
    const Gains l_Gains = VoiceGains(p_Voice, p_Master);
    // Positions below l_End are playable: a loop wraps at its length, a one-shot ends after its last frame.
    const std::uint64_t l_End = l_Sound.loop ? std::uint64_t(l_Sound.frames) << 32
                                             : (std::uint64_t(l_Sound.frames - 1) << 32) + 1;
    const float* l_Data = l_Sound.data.data();
    while (p_Frames > 0) {
        if (p_Voice.position >= l_End) {
            if (!l_Sound.loop)
                break;
            p_Voice.position -= l_End;
            if (p_Voice.position >= l_End)
                p_Voice.position %= l_End;
        }
        unsigned l_Count = p_Frames;
        const std::uint64_t l_Room = l_End - p_Voice.position;
        if (p_Voice.step != 0 && std::uint64_t(l_Count) * p_Voice.step > l_Room)
            l_Count = unsigned((l_Room + p_Voice.step - 1) / p_Voice.step);
        if (l_Sound.channels == 1)
            p_Voice.position = MixSpan<1>(l_Data, p_Voice.position, p_Voice.step, l_Count, p_Out, l_Gains.left, l_Gains.right);
        else
            p_Voice.position = MixSpan<2>(l_Data, p_Voice.position, p_Voice.step, l_Count, p_Out, l_Gains.left, l_Gains.right);
        p_Out += 2 * l_Count;
        p_Frames -= l_Count;
    }
    // A one-shot ends as soon as its last frame is out, not one block later.
    if (!l_Sound.loop && p_Voice.position >= l_End)
        StopVoice(p_Voice);
}

// Saturates instead of wrapping; a NaN (only possible from absurd volumes) comes out as full
// negative scale rather than undefined behaviour. Offset to positive so that truncation rounds to
// nearest; written with min/max so that the compiler vectorises the loop.
inline std::int16_t ToPcm16(float p_Value)
{
    const float l_Offset = std::max(0.0f, std::min(p_Value * 32768.0f + 32768.5f, 65535.5f));
    return std::int16_t(int(l_Offset) - 32768);
}

}

void MixBlock(System& p_System, std::int16_t* p_Out, unsigned p_Frames)
{
    float* l_Mix = p_System.mixbuffer.data();
    std::fill(l_Mix, l_Mix + 2 * std::size_t(p_Frames), 0.0f);
    const float l_Master = p_System.master.volume;
    for (Voice& l_Voice : p_System.voices)
        if (l_Voice.active && !l_Voice.paused)
            MixVoice(l_Voice, l_Mix, p_Frames, l_Master);
    for (std::size_t l_Index = 0; l_Index < 2 * std::size_t(p_Frames); ++l_Index)
        p_Out[l_Index] = ToPcm16(l_Mix[l_Index]);
}

}
