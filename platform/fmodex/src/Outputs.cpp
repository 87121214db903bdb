// The outputs the engine offers, one row each, as Outputs.txt lists them for this platform (CMake
// writes them into OutputRows.h); the first is the sound device AUTODETECT picks.
#include "Output.h"

#include <algorithm>
#include <iterator>

namespace SoundEngine {

#define TW_OUTPUT(p_Type, p_RealTime, p_Name) std::unique_ptr<Output> Create##p_Name##Output();
#include "OutputRows.h"
#undef TW_OUTPUT

namespace {

constexpr OutputKind OUTPUTS[] = {
#define TW_OUTPUT(p_Type, p_RealTime, p_Name) {FMOD_OUTPUTTYPE_##p_Type, p_RealTime, Create##p_Name##Output},
#include "OutputRows.h"
#undef TW_OUTPUT
};

constexpr bool HasRow(FMOD_OUTPUTTYPE p_Type)
{
    for (const OutputKind& l_Kind : OUTPUTS) {
        if (l_Kind.type == p_Type)
            return true;
    }
    return false;
}
static_assert(HasRow(FMOD_OUTPUTTYPE_NOSOUND), "every platform needs the no-sound output, the fallback");

const OutputKind* Find(FMOD_OUTPUTTYPE p_Type)
{
    const auto l_Found = std::find_if(std::begin(OUTPUTS), std::end(OUTPUTS),
                                      [p_Type](const OutputKind& p_Kind) { return p_Kind.type == p_Type; });
    return l_Found == std::end(OUTPUTS) ? nullptr : l_Found;
}

}  // namespace

const OutputKind& OutputOfType(FMOD_OUTPUTTYPE p_Type)
{
    const OutputKind* l_Kind = Find(p_Type);
    return l_Kind != nullptr ? *l_Kind : OUTPUTS[0];
}

bool IsOutput(FMOD_OUTPUTTYPE p_Type) { return Find(p_Type) != nullptr; }

std::unique_ptr<Output> CreateFallbackOutput() { return OutputOfType(FMOD_OUTPUTTYPE_NOSOUND).create(); }

}  // namespace SoundEngine
