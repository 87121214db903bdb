// The ALSA output: the PCM device named in Init's FMOD_LINUX_EXTRADRIVERDATA (else "default"),
// 16-bit interleaved, with a buffer of what the engine's thread keeps ahead (at least 20 ms), so
// that a change to a voice is heard within the engine's latency goal. It starts playing with the
// first block rather than when its buffer is full, so the first sound is not held back either.
#include "LazyLibrary.h"
#include "Output.h"

#include "fmodlinux.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace SoundEngine {
namespace {

constexpr unsigned kDeviceLatencyMicroseconds = 20000;
unsigned DeviceLatencyMicroseconds(const OutputFormat& p_Format)
{
    const double l_Lead = double(p_Format.leadframes) * 1e6 / p_Format.rate;
    return std::max(kDeviceLatencyMicroseconds, unsigned(std::min(l_Lead, 1e6)));
}
// A device that has not opened by then counts as one that cannot open. Opening may block inside
// alsa-lib for as long as it likes: the file plugin opening a FIFO that nobody reads, a plugin
// waiting on a sound server. A working device opens within milliseconds.
constexpr auto kOpenTimeout = std::chrono::seconds(2);

// alsa-lib, opened when the first ALSA output opens: a program that never plays in real time
// never loads it.
// clang-format off
#define TW_ALSA_FUNCTIONS(X)                                                                \
    X(snd_lib_error_set_handler) X(snd_pcm_open) X(snd_pcm_nonblock) X(snd_pcm_set_params) \
    X(snd_pcm_get_params) X(snd_pcm_writei) X(snd_pcm_recover) X(snd_pcm_avail)             \
    X(snd_pcm_drop) X(snd_pcm_close) X(snd_pcm_sw_params_malloc) X(snd_pcm_sw_params_free)    \
    X(snd_pcm_sw_params_current) X(snd_pcm_sw_params_set_start_threshold) X(snd_pcm_sw_params)
// clang-format on

TW_LAZY_TABLE(AlsaApi, TW_ALSA_FUNCTIONS)

// Null when the system has no alsa-lib.
const AlsaApi* Alsa() { return LazyTable<AlsaApi>("libasound.so.2"); }

// While the device opens, alsa-lib's own lines on standard error are held back: a device that
// cannot open is reported once, as FMOD_ERR_OUTPUT_INIT from Init.
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsa
{
public:
    QuietAlsa() { Alsa()->snd_lib_error_set_handler(&IgnoreAlsaMessage); }
    ~QuietAlsa() { Alsa()->snd_lib_error_set_handler(nullptr); }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;
};

// ALSA starts a device once its whole buffer is written, which the engine's thread, keeping only its
// lead ahead of the clock, reaches a block or more after the first sound. A device that refuses
// keeps that threshold: it starts late, not never, as the clock's blocks go on filling it.
void StartWithFirstBlock(snd_pcm_t* p_Pcm, unsigned p_BlockFrames)
{
    snd_pcm_sw_params_t* l_Params = nullptr;
    if (Alsa()->snd_pcm_sw_params_malloc(&l_Params) < 0)
        return;
    if (Alsa()->snd_pcm_sw_params_current(p_Pcm, l_Params) >= 0 &&
        Alsa()->snd_pcm_sw_params_set_start_threshold(p_Pcm, l_Params, p_BlockFrames) >= 0)
        Alsa()->snd_pcm_sw_params(p_Pcm, l_Params);
    Alsa()->snd_pcm_sw_params_free(l_Params);
}

// One attempt to open and set up the device, run on a thread of its own so that the caller can
// stop waiting for it. Shared with that thread, which closes the device itself when the caller
// has given up by the time it is done.
struct OpenAttempt
{
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;   // guarded by lock
    bool abandoned = false;  // guarded by lock
    snd_pcm_t* pcm = nullptr;
    snd_pcm_uframes_t buffersize = 0;

    static void Run(const std::shared_ptr<OpenAttempt>& p_Attempt, OutputFormat p_Format,
                    std::string p_Device)
    {
        snd_pcm_t* l_Pcm = nullptr;
        snd_pcm_uframes_t l_BufferSize = 0;
        {
            const QuietAlsa l_Quiet;
            // Opened non-blocking so that a busy device fails at once; writes block from then on,
            // which paces the engine's thread on a real device.
            if (Alsa()->snd_pcm_open(&l_Pcm, p_Device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) <
                0) {
                l_Pcm = nullptr;
            } else if (Alsa()->snd_pcm_nonblock(l_Pcm, 0) < 0 ||
                       Alsa()->snd_pcm_set_params(l_Pcm, SND_PCM_FORMAT_S16, SND_PCM_ACCESS_RW_INTERLEAVED,
                                                  unsigned(p_Format.channels), unsigned(p_Format.rate), 1,
                                                  DeviceLatencyMicroseconds(p_Format)) < 0) {
                Alsa()->snd_pcm_close(l_Pcm);
                l_Pcm = nullptr;
            } else {
                snd_pcm_uframes_t l_Period = 0;
                if (Alsa()->snd_pcm_get_params(l_Pcm, &l_BufferSize, &l_Period) < 0)
                    l_BufferSize = 0;
                StartWithFirstBlock(l_Pcm, FirstBlockFrames(p_Format.rate, p_Format.blockframes));
            }
        }
        std::lock_guard<std::mutex> l_Lock(p_Attempt->lock);
        if (p_Attempt->abandoned) {
            if (l_Pcm != nullptr)
                Alsa()->snd_pcm_close(l_Pcm);
            return;
        }
        p_Attempt->pcm = l_Pcm;
        p_Attempt->buffersize = l_BufferSize;
        p_Attempt->finished = true;
        p_Attempt->done.notify_all();
    }
};

// The PCM a program asked for through Init's driver data, or ALSA's "default".
std::string DeviceName(const void* p_DriverData)
{
    const auto* l_Data = static_cast<const FMOD_LINUX_EXTRADRIVERDATA*>(p_DriverData);
    if (l_Data == nullptr || l_Data->output_driver_arguments == nullptr ||
        *l_Data->output_driver_arguments == '\0')
        return "default";
    return l_Data->output_driver_arguments;
}

class AlsaOutput final : public Output
{
public:
    ~AlsaOutput() override { Close(); }

    bool Open(const OutputFormat& p_Format, void* p_DriverData) override
    {
        if (Alsa() == nullptr)
            return false;
        const auto l_Attempt = std::make_shared<OpenAttempt>();
        try {
            std::thread(&OpenAttempt::Run, l_Attempt, p_Format, DeviceName(p_DriverData)).detach();
        } catch (const std::system_error&) {
            return false;
        }
        {
            std::unique_lock<std::mutex> l_Lock(l_Attempt->lock);
            if (!l_Attempt->done.wait_for(l_Lock, kOpenTimeout, [&] { return l_Attempt->finished; })) {
                l_Attempt->abandoned = true;  // the thread closes the device if it ever opens
                return false;
            }
            pcm = l_Attempt->pcm;
            buffersize = l_Attempt->buffersize;
        }
        if (pcm == nullptr)
            return false;
        channels = p_Format.channels;
        broken = false;
        return true;
    }

    void Write(const std::int16_t* p_Frames, unsigned p_Count) override
    {
        while (p_Count > 0 && !broken) {
            snd_pcm_sframes_t l_Written = Alsa()->snd_pcm_writei(pcm, p_Frames, p_Count);
            if (l_Written < 0) {
                // An underrun or a suspend is recovered silently; anything else leaves the device
                // mute for the rest of the run while the engine carries on mixing.
                if (Alsa()->snd_pcm_recover(pcm, int(l_Written), 1) < 0)
                    broken = true;
                continue;
            }
            p_Frames += l_Written * channels;
            p_Count -= unsigned(l_Written);
        }
    }

    // What fills the device's buffer. The null plugin always has the whole buffer free, so it reads
    // as 0 there, and the engine paces itself by the clock instead.
    bool IsDevice() const override { return true; }

    unsigned QueuedFrames() override
    {
        if (pcm == nullptr || broken)
            return 0;
        const snd_pcm_sframes_t l_Free = Alsa()->snd_pcm_avail(pcm);
        if (l_Free < 0 || snd_pcm_uframes_t(l_Free) >= buffersize)
            return 0;
        return unsigned(buffersize - snd_pcm_uframes_t(l_Free));
    }

    void Close() override
    {
        if (pcm != nullptr) {
            Alsa()->snd_pcm_drop(pcm);
            Alsa()->snd_pcm_close(pcm);
        }
        pcm = nullptr;
    }

private:
    snd_pcm_t* pcm = nullptr;
    snd_pcm_uframes_t buffersize = 0;
    int channels = 2;
    bool broken = false;
};

}  // namespace

std::unique_ptr<Output> CreateAlsaOutput() { return std::make_unique<AlsaOutput>(); }

}  // namespace SoundEngine
