// The live objects behind the handles of fmod.h. A handle is looked up here before it is used, so a
// released or foreign handle is an error result rather than a fault.
#ifndef TUNEWRIGHT_SOUND_REGISTRY_H
#define TUNEWRIGHT_SOUND_REGISTRY_H

#include "Engine.h"

#include <mutex>

namespace SoundEngine {

// Every call of the flat interface holds this lock from start to end: calls from several threads are
// serialised and no object is released under a call that uses it. The mixer thread never takes it.
std::unique_lock<std::mutex> LockApi();

void RegisterSystem(System* p_System);    // gives the system a fresh serial
void RenewSerial(System* p_System);       // every channel handle of the old serial goes stale
void UnregisterSystem(System* p_System);
System* FindSystem(FMOD_SYSTEM* p_Handle);
System* FindSystemBySerial(std::uint32_t p_Serial);
ChannelGroup* FindChannelGroup(FMOD_CHANNELGROUP* p_Handle);

void RegisterSound(Sound* p_Sound);
void UnregisterSound(Sound* p_Sound);
Sound* FindSound(FMOD_SOUND* p_Handle);

}

#endif
