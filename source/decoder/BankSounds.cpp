#include "BankSounds.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <utility>

#include "AudioDevice.h"

namespace Org {

namespace {

// The sample pointed at, not copied: sounds of the same sample share its decoded copy.
FMOD_RESULT CreateSound(FMOD_SYSTEM* p_System, const BuiltinBank::Sample& p_Sample, bool p_Loop,
                        FMOD_SOUND** p_Sound)
{
    FMOD_CREATESOUNDEXINFO l_Info = {};
    l_Info.cbsize = sizeof l_Info;
    l_Info.length = p_Sample.frames * sizeof(std::int16_t);
    l_Info.numchannels = 1;
    l_Info.defaultfrequency = static_cast<int>(p_Sample.rate);
    l_Info.format = FMOD_SOUND_FORMAT_PCM16;
    const FMOD_MODE l_Mode =
        FMOD_SOFTWARE | FMOD_OPENMEMORY_POINT | FMOD_OPENRAW | (p_Loop ? FMOD_LOOP_NORMAL : FMOD_LOOP_OFF);
    return FMOD_System_CreateSound(p_System, reinterpret_cast<const char*>(p_Sample.pcm), l_Mode, &l_Info,
                                   p_Sound);
}

// Engines that are never played, only own sounds, and are never released: a song may open during
// exit, and the engine's own globals must outlive them. One for each resampler a song asks for,
// as the engine prepares a sound for its resampler (the band-limited one reads octave copies).
struct Keeper
{
    std::mutex lock;
    std::map<int, FMOD_SYSTEM*> systems;  // null where an engine could not start
    std::set<std::tuple<const BuiltinBank::Sample*, bool, int>> held;
};

FMOD_SYSTEM* StartKeeperSystem(int p_Resampler)
{
    FMOD_SYSTEM* l_System = nullptr;
    if (FMOD_System_Create(&l_System) != FMOD_OK)
        return nullptr;
    if (FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND_NRT) != FMOD_OK ||
        FMOD_System_SetSoftwareFormat(l_System, 48000, FMOD_SOUND_FORMAT_PCM16, 2, 0,
                                      static_cast<FMOD_DSP_RESAMPLER>(p_Resampler)) != FMOD_OK ||
        FMOD_System_Init(l_System, 1, FMOD_INIT_NORMAL, nullptr) != FMOD_OK) {
        FMOD_System_Release(l_System);
        return nullptr;
    }
    return l_System;
}

// Holds p_Sample's decoded copy, as an engine with p_Resampler prepares it, from now on. Sharing
// only saves work: if the keeper cannot hold it, each song decodes the sample itself.
void KeepBankSample(const BuiltinBank::Sample& p_Sample, bool p_Loop, int p_Resampler)
{
    static Keeper* const l_Keeper = new Keeper;
    std::lock_guard<std::mutex> l_Lock(l_Keeper->lock);
    if (!l_Keeper->held.insert({&p_Sample, p_Loop, p_Resampler}).second)
        return;
    auto l_Found = l_Keeper->systems.find(p_Resampler);
    if (l_Found == l_Keeper->systems.end())
        l_Found = l_Keeper->systems.emplace(p_Resampler, StartKeeperSystem(p_Resampler)).first;
    FMOD_SOUND* l_Sound = nullptr;
    if (l_Found->second != nullptr)
        CreateSound(l_Found->second, p_Sample, p_Loop, &l_Sound);
}

}  // namespace

FMOD_SOUND* MakeBankSound(FMOD_SYSTEM* p_System, int p_Resampler, const BuiltinBank::Sample& p_Sample,
                          bool p_Loop)
{
    KeepBankSample(p_Sample, p_Loop, p_Resampler);
    FMOD_SOUND* l_Sound = nullptr;
    FmodErrorCheck(CreateSound(p_System, p_Sample, p_Loop, &l_Sound));
    return l_Sound;
}

FMOD_SOUND* MakeFileSound(FMOD_SYSTEM* p_System, const std::string& p_Path, bool p_Loop)
{
    FMOD_SOUND* l_Sound = nullptr;
    const FMOD_MODE l_Mode = FMOD_SOFTWARE | (p_Loop ? FMOD_LOOP_NORMAL : FMOD_LOOP_OFF);
    if (FMOD_System_CreateSound(p_System, p_Path.c_str(), l_Mode, nullptr, &l_Sound) != FMOD_OK)
        return nullptr;
    return l_Sound;
}

}  // namespace Org
