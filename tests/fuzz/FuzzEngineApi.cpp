// Drives the sound engine's C interface with a stream of calls read from the input: each call
// is chosen by a byte, its handles are live, released, null or made-up values, and its numbers
// are taken raw (NaN, infinities, negative counts, huge sizes). Every answer must be a result
// code: never a fault, a leak or undefined behaviour. Only the non-real-time no-sound output is
// ever selected, so nothing is written and no thread runs behind the calls.
#include <fuzzer/FuzzedDataProvider.h>

#include <fmod.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

// Handles the stream has seen, live or released: a released one must be answered as stale.
template <typename Handle> struct Pool
{
    std::vector<Handle*> seen;

    void Add(Handle* p_Handle)
    {
        if (p_Handle != nullptr && seen.size() < 64)
            seen.push_back(p_Handle);
    }
    // One the stream has seen, null, or a made-up value.
    Handle* Pick(FuzzedDataProvider& p_Input) const
    {
        const std::uint8_t l_Choice = p_Input.ConsumeIntegral<std::uint8_t>();
        if (l_Choice < 200 && !seen.empty())
            return seen[l_Choice % seen.size()];
        if (l_Choice < 230)
            return nullptr;
        return reinterpret_cast<Handle*>(p_Input.ConsumeIntegral<std::uintptr_t>());
    }
};

struct Handles
{
    Pool<FMOD_SYSTEM> systems;
    Pool<FMOD_SOUND> sounds;
    Pool<FMOD_CHANNEL> channels;
    Pool<FMOD_CHANNELGROUP> groups;
    std::vector<FMOD_SYSTEM*> created;  // released at the end of the input
};

// A float as the caller may pass it: an ordinary value or any bit pattern.
float AnyFloat(FuzzedDataProvider& p_Input)
{
    if (p_Input.ConsumeBool())
        return p_Input.ConsumeFloatingPointInRange<float>(-4.0f, 200000.0f);
    const std::uint32_t l_Bits = p_Input.ConsumeIntegral<std::uint32_t>();
    float l_Value;
    std::memcpy(&l_Value, &l_Bits, sizeof l_Value);
    return l_Value;
}

// An out-parameter: a place to write, or null.
template <typename T> T* Out(FuzzedDataProvider& p_Input, T& p_Place)
{
    return p_Input.ConsumeIntegral<std::uint8_t>() < 240 ? &p_Place : nullptr;
}

// A value of one of the engine's enumerations, any that a C++ caller can pass: those given a
// FORCEINT member hold 0 to 65536 and more, none of them below 0.
template <typename Enum> Enum AnyEnum(FuzzedDataProvider& p_Input)
{
    return static_cast<Enum>(p_Input.ConsumeIntegralInRange<int>(0, 65536));
}

// Sample files of every kind the engine meets: good ones, a missing one, a folder, a song, an
// empty device.
const std::vector<std::string>& SoundNames()
{
    static const std::vector<std::string> l_Names = {FuzzTest::DataDir() + "/melody/melody0.wav",
                                                     FuzzTest::DataDir() + "/melody/melody57.wav",
                                                     FuzzTest::DataDir() + "/percussion/Bass01.wav",
                                                     FuzzTest::DataDir() + "/percussion/Snare01.wav",
                                                     FuzzTest::DataDir() + "/melody/none.wav",
                                                     FuzzTest::DataDir() + "/melody",
                                                     FuzzTest::DataDir() + "/songs/greensleeves.org",
                                                     "/dev/null",
                                                     ""};
    return l_Names;
}

void OneCall(FuzzedDataProvider& p_Input, Handles& p_Handles)
{
    FMOD_SYSTEM* l_NewSystem = nullptr;
    FMOD_SOUND* l_NewSound = nullptr;
    FMOD_CHANNEL* l_NewChannel = nullptr;
    FMOD_CHANNELGROUP* l_NewGroup = nullptr;
    unsigned l_Unsigned = 0;
    int l_Int = 0;
    float l_Float = 0;
    FMOD_BOOL l_Bool = 0;
    switch (p_Input.ConsumeIntegralInRange<int>(0, 30)) {
    case 0:
        if (p_Handles.created.size() < 4 && FMOD_System_Create(Out(p_Input, l_NewSystem)) == FMOD_OK &&
            l_NewSystem != nullptr) {
            FMOD_System_SetOutput(l_NewSystem, FMOD_OUTPUTTYPE_NOSOUND_NRT);
            p_Handles.created.push_back(l_NewSystem);
            p_Handles.systems.Add(l_NewSystem);
        }
        break;
    case 1: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        if (FMOD_System_Release(l_System) == FMOD_OK)
            for (FMOD_SYSTEM*& l_Created : p_Handles.created)
                if (l_Created == l_System)
                    l_Created = nullptr;
        break;
    }
    case 2:
        FMOD_System_Close(p_Handles.systems.Pick(p_Input));
        break;
    case 3: {
        auto* l_Handle = p_Handles.systems.Pick(p_Input);
        FMOD_System_GetVersion(l_Handle, Out(p_Input, l_Unsigned));
        break;
    }
    case 4: {
        // Anything but the outputs that open a device, write a file or start a thread.
        static const FMOD_OUTPUTTYPE l_Outputs[] = {FMOD_OUTPUTTYPE_NOSOUND_NRT, FMOD_OUTPUTTYPE_UNKNOWN,
                                                    FMOD_OUTPUTTYPE_DSOUND, FMOD_OUTPUTTYPE_ESD,
                                                    static_cast<FMOD_OUTPUTTYPE>(4096)};
        FMOD_System_SetOutput(p_Handles.systems.Pick(p_Input), p_Input.PickValueInArray(l_Outputs));
        break;
    }
    case 5: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        const int l_Rate = p_Input.ConsumeIntegral<int>();
        const auto l_Format = AnyEnum<FMOD_SOUND_FORMAT>(p_Input);
        const int l_Outputs = p_Input.ConsumeIntegral<int>();
        const int l_Inputs = p_Input.ConsumeIntegral<int>();
        FMOD_System_SetSoftwareFormat(l_System, l_Rate, l_Format, l_Outputs, l_Inputs,
                                      AnyEnum<FMOD_DSP_RESAMPLER>(p_Input));
        break;
    }
    case 6: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        FMOD_System_SetSpeakerMode(l_System, AnyEnum<FMOD_SPEAKERMODE>(p_Input));
        break;
    }
    case 7: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        const unsigned l_Length = p_Input.ConsumeIntegral<unsigned>();
        FMOD_System_SetDSPBufferSize(l_System, l_Length, p_Input.ConsumeIntegral<int>());
        break;
    }
    case 8: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        const int l_Voices = p_Input.ConsumeBool() ? p_Input.ConsumeIntegralInRange<int>(-1, 40)
                                                   : p_Input.ConsumeIntegral<int>();
        const FMOD_INITFLAGS l_Flags =
            p_Input.ConsumeBool() ? FMOD_INIT_NORMAL : p_Input.ConsumeIntegral<unsigned>();
        FMOD_System_Init(l_System, l_Voices, l_Flags, nullptr);
        break;
    }
    case 9:
        FMOD_System_Update(p_Handles.systems.Pick(p_Input));
        break;
    case 10: {
        auto* l_Handle = p_Handles.systems.Pick(p_Input);
        FMOD_System_GetMasterChannelGroup(l_Handle, Out(p_Input, l_NewGroup));
        p_Handles.groups.Add(l_NewGroup);
        break;
    }
    case 11: {
        auto* l_Handle = p_Handles.systems.Pick(p_Input);
        FMOD_System_GetChannelsPlaying(l_Handle, Out(p_Input, l_Int));
        break;
    }
    case 12: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        const std::string& l_Name =
            SoundNames()[p_Input.ConsumeIntegralInRange<std::size_t>(0, SoundNames().size() - 1)];
        const FMOD_MODE l_Mode = p_Input.ConsumeBool() ? p_Input.PickValueInArray({0x41u, 0x42u, 0u, 0x80u})
                                                       : p_Input.ConsumeIntegral<unsigned>();
        FMOD_CREATESOUNDEXINFO* l_Info = nullptr;
        const char* l_Path = p_Input.ConsumeIntegral<std::uint8_t>() < 250 ? l_Name.c_str() : nullptr;
        FMOD_System_CreateSound(l_System, l_Path, l_Mode, l_Info, Out(p_Input, l_NewSound));
        p_Handles.sounds.Add(l_NewSound);
        break;
    }
    case 13: {
        FMOD_SYSTEM* l_System = p_Handles.systems.Pick(p_Input);
        // The channel index type has only FREE (-1) and REUSE (-2): a C++ caller can pass no
        // more than -2 to 1, and 0 and 1 name voices.
        const auto l_Index = static_cast<FMOD_CHANNELINDEX>(p_Input.ConsumeIntegralInRange<int>(-2, 1));
        FMOD_SOUND* l_Sound = p_Handles.sounds.Pick(p_Input);
        const FMOD_BOOL l_Paused = p_Input.ConsumeIntegral<int>();
        // FMOD_CHANNEL_REUSE reads the channel passed in.
        l_NewChannel = p_Handles.channels.Pick(p_Input);
        FMOD_System_PlaySound(l_System, l_Index, l_Sound, l_Paused, Out(p_Input, l_NewChannel));
        p_Handles.channels.Add(l_NewChannel);
        break;
    }
    case 14:
        FMOD_Sound_Release(p_Handles.sounds.Pick(p_Input));
        break;
    case 15: {
        FMOD_SOUND* l_Sound = p_Handles.sounds.Pick(p_Input);
        unsigned* l_Length = Out(p_Input, l_Unsigned);
        FMOD_Sound_GetLength(l_Sound, l_Length, p_Input.ConsumeIntegral<unsigned>());
        break;
    }
    case 16:
        FMOD_Channel_Stop(p_Handles.channels.Pick(p_Input));
        break;
    case 17: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_SetPaused(l_Channel, p_Input.ConsumeIntegral<int>());
        break;
    }
    case 18: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_GetPaused(l_Handle, Out(p_Input, l_Bool));
        break;
    }
    case 19: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_SetVolume(l_Channel, AnyFloat(p_Input));
        break;
    }
    case 20: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_GetVolume(l_Handle, Out(p_Input, l_Float));
        break;
    }
    case 21: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_SetPan(l_Channel, AnyFloat(p_Input));
        break;
    }
    case 22: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_GetPan(l_Handle, Out(p_Input, l_Float));
        break;
    }
    case 23: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_SetFrequency(l_Channel, AnyFloat(p_Input));
        break;
    }
    case 24: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_GetFrequency(l_Handle, Out(p_Input, l_Float));
        break;
    }
    case 25: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_IsPlaying(l_Handle, Out(p_Input, l_Bool));
        break;
    }
    case 26: {
        auto* l_Handle = p_Handles.channels.Pick(p_Input);
        FMOD_Channel_GetCurrentSound(l_Handle, Out(p_Input, l_NewSound));
        break;
    }
    case 27: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        const unsigned l_Position = p_Input.ConsumeIntegral<unsigned>();
        FMOD_Channel_SetPosition(l_Channel, l_Position, p_Input.ConsumeIntegral<unsigned>());
        break;
    }
    case 28: {
        FMOD_CHANNEL* l_Channel = p_Handles.channels.Pick(p_Input);
        unsigned* l_Position = Out(p_Input, l_Unsigned);
        FMOD_Channel_GetPosition(l_Channel, l_Position, p_Input.ConsumeIntegral<unsigned>());
        break;
    }
    case 29: {
        FMOD_CHANNELGROUP* l_Group = p_Handles.groups.Pick(p_Input);
        FMOD_ChannelGroup_SetVolume(l_Group, AnyFloat(p_Input));
        break;
    }
    default: {
        auto* l_Handle = p_Handles.groups.Pick(p_Input);
        FMOD_ChannelGroup_GetVolume(l_Handle, Out(p_Input, l_Float));
        break;
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* p_Data, std::size_t p_Size)
{
    FuzzedDataProvider l_Input(p_Data, p_Size);
    Handles l_Handles;
    for (int l_Calls = 0; l_Calls < 256 && l_Input.remaining_bytes() > 0; ++l_Calls)
        OneCall(l_Input, l_Handles);
    // Releasing a system releases its sounds and voices: nothing stays for the next input.
    for (FMOD_SYSTEM* l_System : l_Handles.created)
        if (l_System != nullptr && FMOD_System_Release(l_System) != FMOD_OK)
            __builtin_trap();
    return 0;
}
