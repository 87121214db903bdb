// The process's one pair of engine handles, defined in the song library and shared with the player.
#include "OrgDevice.h"

FMOD_SYSTEM* Org::Device;
FMOD_CHANNELGROUP* Org::MasterCG;
