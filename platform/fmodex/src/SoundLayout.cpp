#include "SoundLayout.h"

#include "SincOctaves.h"
#include "SincOversampled.h"

#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

namespace SoundEngine {

FMOD_RESULT LayOutSound(const SampleFormat& p_Format, bool p_Loop, bool p_Octaves,
                        const std::function<bool(float*)>& p_Read, std::shared_ptr<const SoundData>& p_Data)
{
    const unsigned l_Frames = p_Format.frames;
    const int l_Channels = p_Format.channels;
    const std::size_t l_Guard = std::size_t(kGuardFrames) * l_Channels;
    const std::size_t l_Samples = std::size_t(l_Frames) * l_Channels;
    const unsigned l_Copies = p_Loop ? (kUnrolledLoopFrames + l_Frames - 1) / l_Frames : 1;
    const std::size_t l_Playable = std::size_t(l_Frames) * l_Copies * l_Channels;
    std::shared_ptr<SoundData> l_Sound;
    try {
        l_Sound = std::make_shared<SoundData>();
        l_Sound->samples.resize(l_Playable + 2 * l_Guard);  // zeros: a one-shot's guards stay silent
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    }
    std::vector<float>& l_Data = l_Sound->samples;
    float* l_First = l_Data.data() + l_Guard;
    if (!p_Read(l_First))
        return FMOD_ERR_FORMAT;

    // A float file may hold anything; keep the mixer's arithmetic finite.
    for (float& l_Sample : l_Data)
        if (!std::isfinite(l_Sample))
            l_Sample = 0.0f;
    // A loop goes on round its seam, however short it is: repeated, then guarded on both sides.
    if (p_Loop) {
        for (std::size_t l_Index = l_Samples; l_Index < l_Playable + l_Guard; ++l_Index)
            l_First[l_Index] = l_First[l_Index % l_Samples];
        for (std::size_t l_Index = 0; l_Index < l_Guard; ++l_Index)
            l_First[-1 - std::ptrdiff_t(l_Index)] = l_First[l_Samples - 1 - l_Index % l_Samples];
    }

    l_Sound->frames = l_Frames;
    l_Sound->playable = l_Frames * l_Copies;
    l_Sound->channels = l_Channels;
    l_Sound->rate = p_Format.rate;
    l_Sound->bytespersample = p_Format.bytespersample;
    l_Sound->loop = p_Loop;
    if (p_Octaves) {
        try {
            BuildOctaves(*l_Sound);
            BuildOversampled(*l_Sound);
        } catch (const std::bad_alloc&) {
            return FMOD_ERR_MEMORY;
        }
    }
    p_Data = std::move(l_Sound);
    return FMOD_OK;
}

}  // namespace SoundEngine
