#include "BankSounds.h"

#include <cstdint>
#include <mutex>
#include <set>
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

// An engine that is never played, only owns sounds, and is never released: a song may open
// during exit, and the engine's own globals must outlive it.
struct Keeper
{
    std::mutex lock;
    FMOD_SYSTEM* system = nullptr;
    std::set<std::pair<const BuiltinBank::Sample*, bool>> held;
};

Keeper* StartKeeper()
{
    Keeper* l_Keeper = new Keeper;
    if (FMOD_System_Create(&l_Keeper->system) != FMOD_OK)
        return l_Keeper;
    if (FMOD_System_SetOutput(l_Keeper->system, FMOD_OUTPUTTYPE_NOSOUND_NRT) != FMOD_OK ||
        FMOD_System_Init(l_Keeper->system, 1, FMOD_INIT_NORMAL, nullptr) != FMOD_OK) {
        FMOD_System_Release(l_Keeper->system);
        l_Keeper->system = nullptr;
    }
    return l_Keeper;
}

// Holds p_Sample's decoded copy from now on. Sharing only saves work: if the keeper cannot
// hold it, each song decodes the sample itself.
void KeepBankSample(const BuiltinBank::Sample& p_Sample, bool p_Loop)
{
    static Keeper* const l_Keeper = StartKeeper();
    std::lock_guard<std::mutex> l_Lock(l_Keeper->lock);
    if (l_Keeper->system == nullptr || l_Keeper->held.count({&p_Sample, p_Loop}) != 0)
        return;
    FMOD_SOUND* l_Sound = nullptr;
    if (CreateSound(l_Keeper->system, p_Sample, p_Loop, &l_Sound) == FMOD_OK)
        l_Keeper->held.insert({&p_Sample, p_Loop});
}

}  // namespace

FMOD_SOUND* MakeBankSound(FMOD_SYSTEM* p_System, const BuiltinBank::Sample& p_Sample, bool p_Loop)
{
    KeepBankSample(p_Sample, p_Loop);
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
