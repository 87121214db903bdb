#include "System.h"

#include "ChannelHandle.h"
#include "Output.h"
#include "RealTimeDriver.h"
#include "Registry.h"
#include "Voices.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace SoundEngine {
namespace {}  // namespace

System::System() { master.owner = this; }

System::~System() = default;

FMOD_RESULT InitSystem(System& p_System, int p_MaxChannels, void* p_DriverData)
{
    const Config& l_Config = p_System.config;
    const bool l_RealTime = OutputOfType(l_Config.output).realtime;
    const unsigned l_BlockFrames = l_RealTime ? RealTimeDriver::BlockFrames(l_Config) : l_Config.blocklength;
    try {
        p_System.voices.assign(std::size_t(p_MaxChannels), Voice());
        p_System.fades.assign(std::size_t(p_MaxChannels) * 2, Fade());
        p_System.mixbuffer.assign(std::size_t(l_BlockFrames) * 2, 0.0f);
        p_System.nrtblock.assign(l_RealTime ? 0 : std::size_t(l_BlockFrames) * 2, 0);
        p_System.output = OutputOfType(l_Config.output).create();
    } catch (const std::bad_alloc&) {
        p_System.voices.clear();
        return FMOD_ERR_MEMORY;
    }
    p_System.master.volume = 1.0f;
    p_System.rampframes = RampFrames(l_Config.rate);

    FMOD_RESULT l_Result = FMOD_OK;
    const OutputFormat l_Format = {l_Config.rate, 2, l_BlockFrames, unsigned(l_Config.blockcount),
                                   l_RealTime ? unsigned(RealTimeDriver::LeadFrames(l_Config) + 0.5) : 0u};
    int l_Reason = 0;
    if (!p_System.output->Open(l_Format, p_DriverData)) {
        l_Result = FMOD_ERR_OUTPUT_INIT;
        l_Reason = p_System.output->Failure();
        p_System.output = CreateFallbackOutput();
        p_System.output->Open(l_Format, nullptr);
    }
    if (l_RealTime)
        p_System.driver = std::make_unique<RealTimeDriver>(p_System, *p_System.output, l_BlockFrames);
    p_System.initialised = true;
    if (l_Result != FMOD_OK)
        errno = l_Reason;
    return l_Result;
}

FMOD_RESULT OutputResult(const System& p_System)
{
    const int l_Reason = p_System.output ? p_System.output->Failure() : 0;
    if (l_Reason == 0)
        return FMOD_OK;
    errno = l_Reason;
    return FMOD_ERR_FILE_BAD;
}

FMOD_RESULT CloseSystem(System& p_System)
{
    if (!p_System.initialised)
        return FMOD_OK;
    p_System.driver.reset();
    p_System.output->Close();
    const int l_Reason = p_System.output->Failure();
    p_System.output.reset();
    p_System.voices.clear();
    p_System.fades.clear();
    p_System.initialised = false;
    RenewSerial(&p_System);
    if (l_Reason == 0)
        return FMOD_OK;
    errno = l_Reason;
    return FMOD_ERR_FILE_BAD;
}

void DestroySound(Sound* p_Sound)
{
    System& l_System = *p_Sound->owner;
    {
        std::lock_guard<std::mutex> l_Mix(l_System.mixlock);
        DropSound(l_System, p_Sound);
    }
    l_System.sounds.erase(p_Sound);
    UnregisterSound(p_Sound);
    delete p_Sound;
}

}  // namespace SoundEngine
