// The sound engine as the WebAssembly decoder has it: no sound device, no file writer and no sample
// files (the built-in bank comes from memory), only mixes read into the caller's buffer. What the
// engine names for those here refuses, as a missing device or file does.
#include "Output.h"
#include "SoundLoader.h"

#include <cerrno>

namespace SoundEngine {
namespace {

class MissingOutput final : public Output
{
public:
    bool Open(const OutputFormat&, void*) override { return false; }
    void Write(const std::int16_t*, unsigned) override {}
    void Close() override {}
    int Failure() const override { return ENODEV; }
};

}  // namespace

std::unique_ptr<Output> CreateAlsaOutput() { return std::make_unique<MissingOutput>(); }

std::unique_ptr<Output> CreateWavWriterOutput() { return std::make_unique<MissingOutput>(); }

FMOD_RESULT LoadSound(const char*, bool, bool, std::shared_ptr<const SoundData>&)
{
    return FMOD_ERR_FILE_NOTFOUND;
}

}  // namespace SoundEngine
