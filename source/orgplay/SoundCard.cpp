#include "SoundCard.h"

#include <fmod.h>
#include <fmod_errors.h>
#ifdef __linux__
#include <fmodlinux.h>
#endif

#include "OrgDevice.h"
#include "SongEngine.h"

namespace {

// The rate the player's engine runs at too.
constexpr int SOUND_CARD_RATE = 48000;
// Mixed in 20 ms blocks, the device holding three: the engine's thread wakes 50 times a second,
// the device never holds less than 20 ms between its wake-ups, and a key's pause, seek or volume is
// still heard within 40 ms (a block's wait, then the 20 ms still queued; the player's goal is 50).
constexpr unsigned MIX_FRAMES = SOUND_CARD_RATE / 50;
constexpr int MIX_BLOCKS = 3;

}  // namespace

bool OpenSoundCard(const std::string& p_Device, int p_Resampler, std::string& p_Error)
{
    void* l_DriverData = nullptr;
#ifdef __linux__
    FMOD_LINUX_EXTRADRIVERDATA l_Linux = {p_Device.c_str(), nullptr};
    l_DriverData = &l_Linux;
#else
    if (!p_Device.empty()) {
        p_Error = "choosing a sound device (--device) is not supported on this system";
        return false;
    }
#endif
    Org::SongEngineSettings l_Settings;
    l_Settings.output = FMOD_OUTPUTTYPE_AUTODETECT;
    l_Settings.rate = SOUND_CARD_RATE;
    l_Settings.resampler = p_Resampler;
    l_Settings.mixFrames = MIX_FRAMES;
    l_Settings.mixBlocks = MIX_BLOCKS;
    l_Settings.driverData = l_DriverData;
    const FMOD_RESULT l_Result = Org::StartSongEngine(l_Settings, &Org::Device, &Org::MasterCG);
    if (l_Result == FMOD_OK)
        return true;
    // The engine would go on into a silent output; a player that cannot be heard stops instead.
    const std::string l_Name =
        p_Device.empty() ? std::string("the default sound device") : "the sound device '" + p_Device + "'";
    p_Error = l_Result == FMOD_ERR_OUTPUT_INIT
                  ? "no sound device: cannot open " + l_Name
                  : "cannot start the sound engine: " + std::string(FMOD_ErrorString(l_Result));
    return false;
}

void CloseSoundCard()
{
    if (Org::Device != nullptr)
        FMOD_System_Release(Org::Device);
    Org::Device = nullptr;
    Org::MasterCG = nullptr;
}
