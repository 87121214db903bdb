// FMOD_System_CreateSound and FMOD_Sound_*: sample files decoded into memory.
#include "Api.h"
#include "SoundCache.h"
#include "SoundLoader.h"
#include "System.h"

#include <memory>
#include <new>

using namespace SoundEngine;

namespace {

// Mode bits this engine honours or may ignore; anything else (3-D, bidirectional loops, Unicode
// names...) would be misread, so it is refused. Memory is taken only as raw 16-bit PCM.
constexpr FMOD_MODE kAcceptedModes = FMOD_LOOP_OFF | FMOD_LOOP_NORMAL | FMOD_2D | FMOD_HARDWARE |
                                     FMOD_SOFTWARE | FMOD_CREATESTREAM | FMOD_CREATESAMPLE | FMOD_OPENMEMORY |
                                     FMOD_OPENMEMORY_POINT | FMOD_OPENRAW;

// Reads the sound that name_or_data and the mode describe: a WAV file by name, or raw PCM in
// memory laid out as exinfo says (shared with other sounds of the same memory if it is pointed at).
FMOD_RESULT ReadSound(const char* p_NameOrData, FMOD_MODE p_Mode, const FMOD_CREATESOUNDEXINFO* p_Info,
                      bool p_Loop, bool p_Octaves, std::shared_ptr<const SoundData>& p_Data)
{
    if ((p_Mode & (FMOD_OPENMEMORY | FMOD_OPENMEMORY_POINT)) == 0)
        return p_Info != nullptr || (p_Mode & FMOD_OPENRAW) != 0
                   ? FMOD_ERR_UNSUPPORTED
                   : LoadSound(p_NameOrData, p_Loop, p_Octaves, p_Data);
    if ((p_Mode & FMOD_OPENRAW) == 0 || p_Info == nullptr)
        return FMOD_ERR_UNSUPPORTED;  // a whole file image in memory is not read
    if (p_Info->cbsize != int(sizeof(FMOD_CREATESOUNDEXINFO)))
        return FMOD_ERR_INVALID_PARAM;
    if (p_Info->format != FMOD_SOUND_FORMAT_PCM16 || p_Info->fileoffset != 0)
        return FMOD_ERR_FORMAT;
    const RawPcm16 l_Raw = {p_NameOrData, p_Info->length, p_Info->numchannels, p_Info->defaultfrequency};
    return (p_Mode & FMOD_OPENMEMORY_POINT) != 0 ? LoadSharedSound(l_Raw, p_Loop, p_Octaves, p_Data)
                                                 : LoadSound(l_Raw, p_Loop, p_Octaves, p_Data);
}

// Runs p_Action(Sound&) with the API lock held on the sound behind a handle; otherwise returns
// why the handle names none.
template <class Action> FMOD_RESULT WithSound(FMOD_SOUND* p_Handle, Action&& p_Action)
{
    if (p_Handle == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    auto l_Api = LockApi();
    Sound* l_Sound = FindSound(p_Handle);
    return l_Sound != nullptr ? p_Action(*l_Sound) : FMOD_ERR_INVALID_HANDLE;
}

}  // namespace

extern "C" {

FMOD_RESULT F_API FMOD_System_CreateSound(FMOD_SYSTEM* system, const char* name_or_data, FMOD_MODE mode,
                                          FMOD_CREATESOUNDEXINFO* exinfo, FMOD_SOUND** sound)
{
    if (name_or_data == nullptr || sound == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSystem(system, true, [&](System& p_System) {
        if ((mode & ~kAcceptedModes) != 0)
            return FMOD_ERR_UNSUPPORTED;

        std::unique_ptr<Sound> l_Sound(new (std::nothrow) Sound);
        if (!l_Sound)
            return FMOD_ERR_MEMORY;
        const bool l_Loop = (mode & FMOD_LOOP_NORMAL) != 0 && (mode & FMOD_LOOP_OFF) == 0;
        // Only a system that resamples with sinc reads the octave copies.
        const bool l_Octaves = p_System.config.resampler == FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC;
        const FMOD_RESULT l_Result = ReadSound(name_or_data, mode, exinfo, l_Loop, l_Octaves, l_Sound->data);
        if (l_Result != FMOD_OK)
            return l_Result;
        l_Sound->owner = &p_System;
        try {
            p_System.sounds.insert(l_Sound.get());
            RegisterSound(l_Sound.get());
        } catch (const std::bad_alloc&) {
            p_System.sounds.erase(l_Sound.get());
            return FMOD_ERR_MEMORY;
        }
        *sound = reinterpret_cast<FMOD_SOUND*>(l_Sound.release());
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Sound_Release(FMOD_SOUND* sound)
{
    return WithSound(sound, [](Sound& p_Sound) {
        DestroySound(&p_Sound);
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_Sound_GetLength(FMOD_SOUND* sound, unsigned int* length, FMOD_TIMEUNIT lengthtype)
{
    if (length == nullptr)
        return FMOD_ERR_INVALID_PARAM;
    return WithSound(sound, [=](Sound& p_Sound) {
        return UnitFromFrames(*p_Sound.data, p_Sound.data->frames, lengthtype, *length)
                   ? FMOD_OK
                   : FMOD_ERR_INVALID_PARAM;
    });
}
}
