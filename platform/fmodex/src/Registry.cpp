#include "Registry.h"

#include "ChannelHandle.h"

#include <unordered_map>
#include <unordered_set>

namespace SoundEngine {
namespace {

struct Registry
{
    std::mutex apilock;
    std::uint32_t lastserial = 0;
    std::unordered_map<std::uint32_t, System*> systems;
    std::unordered_set<Sound*> sounds;
};

// Never destroyed: a program may exit with its engine still running (and its handles still held).
Registry& TheRegistry()
{
    static Registry* l_Registry = new Registry;
    return *l_Registry;
}

std::uint32_t NextSerial(Registry& p_Registry)
{
    // Serials wrap within the bits a channel handle has for them; skip 0 and any still in use.
    do {
        p_Registry.lastserial = (p_Registry.lastserial + 1) & ChannelHandle::kSerialMask;
    } while (p_Registry.lastserial == 0 || p_Registry.systems.count(p_Registry.lastserial) != 0);
    return p_Registry.lastserial;
}

}

std::unique_lock<std::mutex> LockApi()
{
    return std::unique_lock<std::mutex>(TheRegistry().apilock);
}

void RegisterSystem(System* p_System)
{
    Registry& l_Registry = TheRegistry();
    p_System->serial = NextSerial(l_Registry);
    l_Registry.systems[p_System->serial] = p_System;
}

void RenewSerial(System* p_System)
{
    Registry& l_Registry = TheRegistry();
    l_Registry.systems.erase(p_System->serial);
    p_System->serial = NextSerial(l_Registry);
    l_Registry.systems[p_System->serial] = p_System;
}

void UnregisterSystem(System* p_System)
{
    TheRegistry().systems.erase(p_System->serial);
}

System* FindSystem(FMOD_SYSTEM* p_Handle)
{
    System* l_Wanted = reinterpret_cast<System*>(p_Handle);
    for (const auto& l_Entry : TheRegistry().systems)
        if (l_Entry.second == l_Wanted)
            return l_Wanted;
    return nullptr;
}

System* FindSystemBySerial(std::uint32_t p_Serial)
{
    Registry& l_Registry = TheRegistry();
    auto l_Found = l_Registry.systems.find(p_Serial);
    return l_Found == l_Registry.systems.end() ? nullptr : l_Found->second;
}

ChannelGroup* FindChannelGroup(FMOD_CHANNELGROUP* p_Handle)
{
    ChannelGroup* l_Wanted = reinterpret_cast<ChannelGroup*>(p_Handle);
    for (const auto& l_Entry : TheRegistry().systems) {
        if (&l_Entry.second->master == l_Wanted)
            return l_Wanted;
        for (const auto& l_Group : l_Entry.second->groups)
            if (l_Group.get() == l_Wanted)
                return l_Wanted;
    }
    return nullptr;
}

void RegisterSound(Sound* p_Sound)
{
    TheRegistry().sounds.insert(p_Sound);
}

void UnregisterSound(Sound* p_Sound)
{
    TheRegistry().sounds.erase(p_Sound);
}

Sound* FindSound(FMOD_SOUND* p_Handle)
{
    Sound* l_Wanted = reinterpret_cast<Sound*>(p_Handle);
    return TheRegistry().sounds.count(l_Wanted) != 0 ? l_Wanted : nullptr;
}

}
