#include "AudioDevice.h"

#include <fmod_errors.h>

#include <cstdio>

#ifdef ORG_BUILDING_LIBRARY
#include "OrgLog.h"
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

void InitFMOD()
{
    FmodErrorCheck(FMOD_System_Create(&Org::Device));

    // A failed query leaves the version unknown; it is then taken as the headers' own, so that the
    // failure is reported once above rather than again as a mismatch with a five-second wait.
    unsigned int l_Version = FMOD_VERSION;
    FmodErrorCheck(FMOD_System_GetVersion(Org::Device, &l_Version));
    if (l_Version < unsigned(FMOD_VERSION)) {
        printf("LIBRARY VERSION MISMATCH!\n--\nlibfmodex: %08x\nfmod.h: %08x\n--\n"
               "The FMOD version installed must be the same or as new as the headers used to compile the\n"
               "application or else the application will fail to execute properly.\n\n"
               "Continuing in five seconds. Press Ctrl+C to exit.\n\n",
               l_Version, unsigned(FMOD_VERSION));
        usleep(5000000);
        return;
    }

#ifndef _WIN32
    FmodErrorCheck(FMOD_System_SetOutput(Org::Device, FMOD_OUTPUTTYPE_ALSA));
#endif
    FmodErrorCheck(FMOD_System_SetSoftwareFormat(Org::Device, 48000, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                                 FMOD_DSP_RESAMPLER_LINEAR));
    FmodErrorCheck(FMOD_System_SetSpeakerMode(Org::Device, FMOD_SPEAKERMODE_STEREO));
    FmodErrorCheck(FMOD_System_Init(Org::Device, 32, FMOD_INIT_NORMAL, nullptr));
    FmodErrorCheck(FMOD_System_GetMasterChannelGroup(Org::Device, &Org::MasterCG));
}

void FmodErrorCheck(FMOD_RESULT p_Result)
{
    if (p_Result == FMOD_OK)
        return;
#ifdef ORG_BUILDING_LIBRARY
    // The library's messages go through its replaceable log function.
    char l_Block[512];
    snprintf(l_Block, sizeof l_Block, "Audio error [No. %d] \n--\n%s\n--\n\n", int(p_Result),
             FMOD_ErrorString(p_Result));
    Org::Log(l_Block, stdout);
#else
    printf("Audio error [No. %d] \n--\n%s\n--\n\n", int(p_Result), FMOD_ErrorString(p_Result));
#endif
}

FMOD_SOUND* FMOD_LoadSample(std::string p_Filename, int p_Loop)
{
    FMOD_SOUND* l_Sound = nullptr;
    if (Org::Device == nullptr) {
#ifdef ORG_BUILDING_LIBRARY
        Org::Log("FMOD hiccuped. Expect problems with samples missing.", stderr);
#else
        fputs("FMOD hiccuped. Expect problems with samples missing.", stderr);
#endif
        InitFMOD();
    }
    const FMOD_MODE l_Mode =
        p_Loop != 0 ? (FMOD_SOFTWARE | FMOD_LOOP_NORMAL) : (FMOD_SOFTWARE | FMOD_LOOP_OFF);
    FmodErrorCheck(FMOD_System_CreateSound(Org::Device, p_Filename.c_str(), l_Mode, nullptr, &l_Sound));
    return l_Sound;
}

FMOD_CHANNEL* FMOD_PlaySound(FMOD_SOUND* p_Sound, unsigned int p_Frequency, float p_Panning,
                             unsigned int p_Volume, FMOD_CHANNEL* p_Channel, bool p_Reserve)
{
    if (Org::Device == nullptr)
        InitFMOD();
    return PlayVoiceOn(
        Org::Device, [](FMOD_RESULT p_Result, void*) { FmodErrorCheck(p_Result); }, nullptr, p_Sound,
        p_Frequency, p_Panning, p_Volume, p_Channel, p_Reserve);
}

FMOD_CHANNEL* PlayVoiceOn(FMOD_SYSTEM* p_System, ResultCheck p_Check, void* p_User, FMOD_SOUND* p_Sound,
                          unsigned int p_Frequency, float p_Panning, unsigned int p_Volume,
                          FMOD_CHANNEL* p_Channel, bool p_Reserve)
{
    FMOD_CHANNEL* l_Channel = p_Channel;
    bool l_FailTwo = false;

    // A held, live voice is only re-set; otherwise the sound starts on a free voice. A new voice
    // starts paused and is let go once its volume, pan and frequency are set: the engine mixes on
    // a thread of its own, and would otherwise now and then sound the first block of a note at the
    // sample's own rate and full volume.
    bool l_Started = false;
    auto l_TryPlay = [&]() {
        const FMOD_RESULT l_Played =
            FMOD_System_PlaySound(p_System, FMOD_CHANNEL_FREE, p_Sound, 1, &l_Channel);
        p_Check(l_Played, p_User);
        l_Started = l_Played == FMOD_OK;
    };
    if (p_Channel == nullptr || !p_Reserve)
        l_TryPlay();

    const float l_Volume = float(double(p_Volume) + 25.0) / 255.0f;
    FMOD_RESULT l_Result = FMOD_Channel_SetVolume(l_Channel, l_Volume);
    if (l_Result != FMOD_OK && !l_FailTwo) {
        // The voice ended or was taken: start the sound afresh, once. Only the second try is reported.
        l_FailTwo = true;
        l_TryPlay();
        l_Result = FMOD_Channel_SetVolume(l_Channel, l_Volume);
    }
    p_Check(l_Result, p_User);
    p_Check(FMOD_Channel_SetPan(l_Channel, p_Panning), p_User);
    p_Check(FMOD_Channel_SetFrequency(l_Channel, float(p_Frequency)), p_User);
    if (l_Started)
        p_Check(FMOD_Channel_SetPaused(l_Channel, 0), p_User);
    return l_Channel;
}

void FMOD_StopSound(FMOD_CHANNEL** p_Channel)
{
    FMOD_Channel_Stop(*p_Channel);
    *p_Channel = nullptr;
}

std::string toString(int p_Number)
{
    char l_Buffer[255];
    sprintf(l_Buffer, "%d", p_Number);
    return std::string(l_Buffer);
}

#ifdef _WIN32
void usleep(unsigned long long p_Microseconds) { Sleep(DWORD(p_Microseconds / 1000ULL)); }
#endif
