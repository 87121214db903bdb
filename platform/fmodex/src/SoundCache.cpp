#include "SoundCache.h"

#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <tuple>

namespace SoundEngine {
namespace {

using Key = std::tuple<const void*, unsigned, int, int, bool, bool>;

// Weak, so that the cache never keeps a copy alive after its sounds, nor trusts memory that
// nothing promises to hold any more.
struct Cache
{
    std::mutex lock;
    std::map<Key, std::weak_ptr<const SoundData>> entries;
};

Cache& TheCache()
{
    static Cache* const l_Cache = new Cache;  // never destroyed: sounds may be made during exit
    return *l_Cache;
}

}  // namespace

FMOD_RESULT LoadSharedSound(const RawPcm16& p_Raw, bool p_Loop, bool p_Octaves,
                            std::shared_ptr<const SoundData>& p_Data)
{
    const Key l_Key{p_Raw.data, p_Raw.bytes, p_Raw.channels, p_Raw.rate, p_Loop, p_Octaves};
    Cache& l_Cache = TheCache();
    // Held while decoding, so that two systems asking at once decode the memory once.
    std::lock_guard<std::mutex> l_Lock(l_Cache.lock);
    auto l_Found = l_Cache.entries.find(l_Key);
    if (l_Found != l_Cache.entries.end()) {
        if (std::shared_ptr<const SoundData> l_Data = l_Found->second.lock()) {
            p_Data = std::move(l_Data);
            return FMOD_OK;
        }
    }
    std::shared_ptr<const SoundData> l_Data;
    const FMOD_RESULT l_Result = LoadSound(p_Raw, p_Loop, p_Octaves, l_Data);
    if (l_Result != FMOD_OK)
        return l_Result;
    try {
        for (auto l_Entry = l_Cache.entries.begin(); l_Entry != l_Cache.entries.end();)
            l_Entry = l_Entry->second.expired() ? l_Cache.entries.erase(l_Entry) : std::next(l_Entry);
        l_Cache.entries[l_Key] = l_Data;
    } catch (const std::bad_alloc&) {
        // Not shared, but still a good sound.
    }
    p_Data = std::move(l_Data);
    return FMOD_OK;
}

}  // namespace SoundEngine
