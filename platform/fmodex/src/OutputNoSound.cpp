// The no-sound output: blocks are mixed (voices advance and end as usual) and then discarded.
#include "Output.h"

namespace SoundEngine {
namespace {

class NoSoundOutput final : public Output
{
public:
    bool Open(const OutputFormat&, void*) override { return true; }
    void Write(const std::int16_t*, unsigned) override {}
    void Close() override {}
};

}

std::unique_ptr<Output> CreateNoSoundOutput()
{
    return std::make_unique<NoSoundOutput>();
}

}
