// Where the mixed blocks go. One small class per back end; the engine calls these once per block,
// never per sample.
#ifndef TUNEWRIGHT_SOUND_OUTPUT_H
#define TUNEWRIGHT_SOUND_OUTPUT_H

#include <fmod.h>

#include <cstdint>
#include <memory>

namespace SoundEngine {

struct OutputFormat
{
    int rate;
    int channels;          // interleaved 16-bit frames
    unsigned blockframes;  // frames per Write
    unsigned blockcount;   // blocks a file output may gather before it writes them out
    unsigned leadframes;   // the most a real-time output is ever handed ahead of what it played
};

// The first block a real-time output is handed after its first sound: a short one, which the
// device starts with, so that the sound is heard a few milliseconds after the note rather than
// once a whole block (tens of milliseconds in a program that asked for long ones) has been played.
// The blocks after it are whole.
constexpr unsigned kFirstBlockMilliseconds = 5;
inline unsigned FirstBlockFrames(int p_Rate, unsigned p_BlockFrames)
{
    const unsigned l_Short = unsigned(p_Rate) * kFirstBlockMilliseconds / 1000;
    return l_Short < 1 ? 1 : l_Short < p_BlockFrames ? l_Short : p_BlockFrames;
}

class Output
{
public:
    virtual ~Output() = default;
    // Prepares the device or file; false when it cannot. p_DriverData is Init's extra driver data.
    virtual bool Open(const OutputFormat& p_Format, void* p_DriverData) = 0;
    // Hands over p_Frames frames. A device may block until it has room; failures are dealt with inside.
    virtual void Write(const std::int16_t* p_Frames, unsigned p_Count) = 0;
    // Frames handed over but not yet played by a device with a clock of its own; 0 for outputs that
    // take data as fast as it comes (files, the no-sound output, ALSA's null plugin).
    virtual unsigned QueuedFrames() { return 0; }
    // A sound card: nothing is lost by feeding it only from the first sound on (RealTimeDriver),
    // whereas a recording keeps the silence before it.
    virtual bool IsDevice() const { return false; }
    // Stops promptly (pending device data may be dropped) and completes any file.
    virtual void Close() = 0;
    // The system's error number (errno) of the first open, write, flush or close that failed, 0
    // while all went well. An output that failed writes nothing more. May be asked from any thread.
    virtual int Failure() const { return 0; }
};

// One output the engine offers: an FMOD_OUTPUTTYPE, whether it keeps to a clock of its own (the
// non-real-time ones mix a block per Update) and what makes it. A back end is a file,
// OutputNAME.cpp, defining std::unique_ptr<Output> CreateNAMEOutput() in this namespace, and a row
// of Outputs.txt, which says where it is built and what it needs; FMOD_System_SetOutput and Init
// look the rows up.
struct OutputKind
{
    FMOD_OUTPUTTYPE type;
    bool realtime;
    std::unique_ptr<Output> (*create)();
};

// The kind of p_Type; AUTODETECT (and any type without a row) gives the first row, the platform's
// sound device.
const OutputKind& OutputOfType(FMOD_OUTPUTTYPE p_Type);
// Whether the engine has an output of p_Type.
bool IsOutput(FMOD_OUTPUTTYPE p_Type);
// The no-sound output, which every platform has: it stands in for an output that cannot open.
std::unique_ptr<Output> CreateFallbackOutput();

}  // namespace SoundEngine

#endif
