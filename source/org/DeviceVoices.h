#ifndef TUNEWRIGHT_DEVICEVOICES_H
#define TUNEWRIGHT_DEVICEVOICES_H

// Track voices on the process's engine (Org::Device), through the audio device layer: where
// Org::Sampler plays what the note rules ask.
#include "AudioDevice.h"
#include "SamplerRules.h"

namespace Org {

class DeviceVoices final : public VoiceOutput
{
public:
    void Stop(FMOD_CHANNEL** p_Channel) override { FMOD_StopSound(p_Channel); }
    FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Pan, unsigned int p_Volume,
                       FMOD_CHANNEL* p_Channel) override
    {
        return FMOD_PlaySound(p_Sound, p_Frequency, p_Pan, p_Volume, p_Channel, true);
    }
};

}  // namespace Org

#endif
