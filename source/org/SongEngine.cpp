#include "SongEngine.h"

#include "SongStepper.h"

namespace Org {

FMOD_RESULT StartSongEngine(const SongEngineSettings& p_Settings, FMOD_SYSTEM** p_System,
                            FMOD_CHANNELGROUP** p_Master)
{
    *p_System = nullptr;
    *p_Master = nullptr;
    FMOD_SYSTEM* l_System = nullptr;
    FMOD_RESULT l_Result = FMOD_System_Create(&l_System);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetOutput(l_System, p_Settings.output);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSoftwareFormat(l_System, p_Settings.rate, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                 static_cast<FMOD_DSP_RESAMPLER>(p_Settings.resampler));
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_SetSpeakerMode(l_System, FMOD_SPEAKERMODE_STEREO);
    if (l_Result == FMOD_OK && p_Settings.mixFrames > 0)
        l_Result = FMOD_System_SetDSPBufferSize(l_System, p_Settings.mixFrames, p_Settings.mixBlocks);
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_Init(l_System, SONG_VOICES, FMOD_INIT_NORMAL, p_Settings.driverData);
    FMOD_CHANNELGROUP* l_Master = nullptr;
    if (l_Result == FMOD_OK)
        l_Result = FMOD_System_GetMasterChannelGroup(l_System, &l_Master);
    if (l_Result != FMOD_OK) {
        if (l_System != nullptr)
            FMOD_System_Release(l_System);
        return l_Result;
    }
    *p_System = l_System;
    *p_Master = l_Master;
    return FMOD_OK;
}

}  // namespace Org
