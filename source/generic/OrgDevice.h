#ifndef TUNEWRIGHT_ORGDEVICE_H
#define TUNEWRIGHT_ORGDEVICE_H

// The process's one pair of sound engine handles, shared by the song library's sampler and the
// program that sets the engine up. A program embedding the library creates and initialises the
// engine through <fmod.h>, stores it here, and only then builds an Org::Sampler.
#include "fmod.h"

#include "OrgExport.h"

namespace Org {
extern ORG_API FMOD_SYSTEM* Device;         // the engine; null until set up, never released
extern ORG_API FMOD_CHANNELGROUP* MasterCG; // its master group, through which the master volume is set
}

#endif
