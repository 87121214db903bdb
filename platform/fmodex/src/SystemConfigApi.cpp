// FMOD_System_Set*: settings that belong before Init; afterwards they answer FMOD_ERR_INITIALIZED.
#include "Api.h"
#include "Output.h"

#include <cstring>

using namespace SoundEngine;

namespace {

// Runs p_Change on the configuration of a valid system that is not initialised yet.
template <class Change> FMOD_RESULT ChangeConfig(FMOD_SYSTEM* p_Handle, Change&& p_Change)
{
    return WithSystem(p_Handle, false, [&p_Change](System& p_System) {
        return p_System.initialised ? FMOD_ERR_INITIALIZED : p_Change(p_System.config);
    });
}

}  // namespace

extern "C" {

FMOD_RESULT F_API FMOD_System_SetOutput(FMOD_SYSTEM* system, FMOD_OUTPUTTYPE output)
{
    return ChangeConfig(system, [output](Config& p_Config) {
        // AUTODETECT is the platform's sound device; FMOD Ex's other outputs are not ours.
        if (output == FMOD_OUTPUTTYPE_AUTODETECT || IsOutput(output)) {
            p_Config.output = OutputOfType(output).type;
            return FMOD_OK;
        }
        return output > FMOD_OUTPUTTYPE_AUTODETECT && output <= FMOD_OUTPUTTYPE_ESD ? FMOD_ERR_UNSUPPORTED
                                                                                    : FMOD_ERR_INVALID_PARAM;
    });
}

// The mixer produces 16-bit stereo; 0 output channels means "as the speaker mode says".
FMOD_RESULT F_API FMOD_System_SetSoftwareFormat(FMOD_SYSTEM* system, int samplerate, FMOD_SOUND_FORMAT format,
                                                int numoutputchannels, int maxinputchannels,
                                                FMOD_DSP_RESAMPLER resamplemethod)
{
    return ChangeConfig(system, [=](Config& p_Config) {
        // Sinc's number before it took 4, which programs built then still pass.
        constexpr int OLD_SINC = 0x100;
        // A C caller may pass any int (-1 among them), which a C++ enum cannot be compared as: the
        // number is read as an int.
        static_assert(sizeof(resamplemethod) == sizeof(int), "the resampler is passed as an int");
        int l_Number = 0;
        std::memcpy(&l_Number, &resamplemethod, sizeof l_Number);
        if (l_Number == OLD_SINC)
            l_Number = FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC;
        if (samplerate < 8000 || samplerate > 192000 || maxinputchannels < -1 ||
            format < FMOD_SOUND_FORMAT_NONE || format > FMOD_SOUND_FORMAT_PCMFLOAT ||
            l_Number < FMOD_DSP_RESAMPLER_NOINTERP || l_Number >= FMOD_DSP_RESAMPLER_MAX)
            return FMOD_ERR_INVALID_PARAM;
        const auto l_Resampler = static_cast<FMOD_DSP_RESAMPLER>(l_Number);
        if (format != FMOD_SOUND_FORMAT_PCM16)
            return FMOD_ERR_OUTPUT_FORMAT;
        if (numoutputchannels != 0 && numoutputchannels != 2)
            return FMOD_ERR_UNSUPPORTED;
        p_Config.rate = samplerate;
        p_Config.outputchannels = 2;
        p_Config.resampler = l_Resampler;
        return FMOD_OK;
    });
}

FMOD_RESULT F_API FMOD_System_SetSpeakerMode(FMOD_SYSTEM* system, FMOD_SPEAKERMODE speakermode)
{
    return ChangeConfig(system, [speakermode](Config& p_Config) {
        if (speakermode == FMOD_SPEAKERMODE_STEREO) {
            p_Config.speakermode = speakermode;
            return FMOD_OK;
        }
        return speakermode == FMOD_SPEAKERMODE_RAW || speakermode == FMOD_SPEAKERMODE_MONO
                   ? FMOD_ERR_UNSUPPORTED
                   : FMOD_ERR_INVALID_PARAM;
    });
}

// bufferlength is the frames of one DSP block: what one Update mixes on an NRT output, and the
// real-time thread's block (up to 50 ms), numbuffers of them the most it keeps ahead of the clock
// (RealTimeDriver).
FMOD_RESULT F_API FMOD_System_SetDSPBufferSize(FMOD_SYSTEM* system, unsigned int bufferlength, int numbuffers)
{
    return ChangeConfig(system, [=](Config& p_Config) {
        if (bufferlength < 1 || bufferlength > 65536 || numbuffers < 1 || numbuffers > 64)
            return FMOD_ERR_INVALID_PARAM;
        p_Config.blocklength = bufferlength;
        p_Config.blockcount = numbuffers;
        p_Config.blocksasked = true;
        return FMOD_OK;
    });
}
}
