// A channel handle is not a pointer but a number packed into one: the system's serial, the voice
// slot and the slot's generation when the handle was made. Decoding never dereferences anything.
#ifndef TUNEWRIGHT_SOUND_CHANNELHANDLE_H
#define TUNEWRIGHT_SOUND_CHANNELHANDLE_H

#include <fmod.h>

#include <cstdint>

namespace SoundEngine {
namespace ChannelHandle {

// 64-bit pointers: 16 bits serial, 16 bits slot, 32 bits generation.
// 32-bit pointers:  6 bits serial, 12 bits slot, 14 bits generation.
constexpr bool kWide = sizeof(std::uintptr_t) >= 8;
constexpr unsigned kSerialBits = kWide ? 16 : 6;
constexpr unsigned kSlotBits = kWide ? 16 : 12;
constexpr unsigned kGenerationBits = kWide ? 32 : 14;
constexpr std::uint32_t kSerialMask = (1u << kSerialBits) - 1;
constexpr std::uint32_t kSlotMask = (1u << kSlotBits) - 1;
constexpr std::uint32_t kGenerationMask =
    kGenerationBits >= 32 ? 0xFFFFFFFFu : (1u << kGenerationBits) - 1;
constexpr unsigned kMaxVoices = kSlotMask;

struct Parts
{
    std::uint32_t serial;
    unsigned slot;
    std::uint32_t generation;
};

// The serial is never 0, so no encoded handle is null.
inline FMOD_CHANNEL* Encode(std::uint32_t p_Serial, unsigned p_Slot, std::uint32_t p_Generation)
{
    std::uintptr_t l_Value = std::uintptr_t(p_Serial & kSerialMask)
        | (std::uintptr_t(p_Slot & kSlotMask) << kSerialBits)
        | (std::uintptr_t(p_Generation & kGenerationMask) << (kSerialBits + kSlotBits));
    return reinterpret_cast<FMOD_CHANNEL*>(l_Value);
}

inline Parts Decode(FMOD_CHANNEL* p_Handle)
{
    std::uintptr_t l_Value = reinterpret_cast<std::uintptr_t>(p_Handle);
    Parts l_Parts;
    l_Parts.serial = std::uint32_t(l_Value & kSerialMask);
    l_Parts.slot = unsigned((l_Value >> kSerialBits) & kSlotMask);
    l_Parts.generation = std::uint32_t((l_Value >> (kSerialBits + kSlotBits)) & kGenerationMask);
    return l_Parts;
}

}
}

#endif
