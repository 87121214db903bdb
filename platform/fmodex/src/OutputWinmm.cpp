// The Windows output: the wave mapper through waveOut, 16-bit interleaved. Blocks are queued as
// they are mixed; the engine's thread keeps about 20 ms queued ahead, so that a change to a voice
// is heard within the engine's latency goal of 30 ms. A device that ran dry simply plays on from
// the next block queued, which is how waveOut recovers from an underrun.
#include "Output.h"

#include <windows.h>
// after windows.h, whose types it uses
#include <mmsystem.h>

#include <cstring>
#include <vector>

namespace SoundEngine {
namespace {

// Headers in the ring: more than the ~20 ms lead needs at the smallest block, so that Write never
// waits for the device while the engine keeps to its lead.
constexpr unsigned kBuffers = 16;
// Longest wait for a played buffer before the device counts as stuck and the output goes mute.
constexpr DWORD kStuckMilliseconds = 2000;

class WinmmOutput final : public Output
{
public:
    ~WinmmOutput() override { Close(); }

    bool Open(const OutputFormat& p_Format, void*) override
    {
        WAVEFORMATEX l_Format = {};
        l_Format.wFormatTag = WAVE_FORMAT_PCM;
        l_Format.nChannels = WORD(p_Format.channels);
        l_Format.nSamplesPerSec = DWORD(p_Format.rate);
        l_Format.wBitsPerSample = 16;
        l_Format.nBlockAlign = WORD(l_Format.nChannels * 2);
        l_Format.nAvgBytesPerSec = l_Format.nSamplesPerSec * l_Format.nBlockAlign;
        played = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (played == nullptr)
            return false;
        if (waveOutOpen(&device, WAVE_MAPPER, &l_Format, DWORD_PTR(played), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
            device = nullptr;
            CloseHandle(played);
            played = nullptr;
            return false;
        }
        channels = p_Format.channels;
        capacity = p_Format.blockframes;
        headers.assign(kBuffers, WAVEHDR());
        samples.assign(kBuffers, std::vector<std::int16_t>(std::size_t(capacity) * unsigned(channels)));
        next = 0;
        broken = false;
        return true;
    }

    void Write(const std::int16_t* p_Frames, unsigned p_Count) override
    {
        while (p_Count > 0 && !broken) {
            const unsigned l_Frames = p_Count < capacity ? p_Count : capacity;
            WAVEHDR& l_Header = headers[next];
            if (!WaitFree(l_Header)) {
                broken = true;
                return;
            }
            std::memcpy(samples[next].data(), p_Frames, std::size_t(l_Frames) * unsigned(channels) * 2);
            l_Header = WAVEHDR();
            l_Header.lpData = reinterpret_cast<LPSTR>(samples[next].data());
            l_Header.dwBufferLength = DWORD(l_Frames * unsigned(channels) * 2);
            if (waveOutPrepareHeader(device, &l_Header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
                waveOutWrite(device, &l_Header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                broken = true;
                return;
            }
            next = (next + 1) % kBuffers;
            p_Frames += std::size_t(l_Frames) * unsigned(channels);
            p_Count -= l_Frames;
        }
    }

    // Frames in buffers the device has not finished playing.
    bool IsDevice() const override { return true; }

    unsigned QueuedFrames() override
    {
        if (device == nullptr || broken)
            return 0;
        unsigned l_Queued = 0;
        for (const WAVEHDR& l_Header : headers) {
            if ((l_Header.dwFlags & WHDR_PREPARED) != 0 && (l_Header.dwFlags & WHDR_DONE) == 0)
                l_Queued += unsigned(l_Header.dwBufferLength) / (unsigned(channels) * 2);
        }
        return l_Queued;
    }

    void Close() override
    {
        if (device != nullptr) {
            waveOutReset(device);  // marks every queued buffer done
            for (WAVEHDR& l_Header : headers) {
                if ((l_Header.dwFlags & WHDR_PREPARED) != 0)
                    waveOutUnprepareHeader(device, &l_Header, sizeof(WAVEHDR));
            }
            waveOutClose(device);
            device = nullptr;
        }
        if (played != nullptr) {
            CloseHandle(played);
            played = nullptr;
        }
    }

private:
    // Waits until the device has played the buffer behind p_Header, then releases it; false when
    // the device stopped playing altogether.
    bool WaitFree(WAVEHDR& p_Header)
    {
        if ((p_Header.dwFlags & WHDR_PREPARED) == 0)
            return true;
        DWORD l_Waited = 0;
        while ((p_Header.dwFlags & WHDR_DONE) == 0) {
            if (l_Waited >= kStuckMilliseconds)
                return false;
            WaitForSingleObject(played, 10);
            l_Waited += 10;
        }
        return waveOutUnprepareHeader(device, &p_Header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    }

    HWAVEOUT device = nullptr;
    HANDLE played = nullptr;
    std::vector<WAVEHDR> headers;
    std::vector<std::vector<std::int16_t>> samples;
    unsigned next = 0;
    unsigned capacity = 0;
    int channels = 2;
    bool broken = false;
};

}  // namespace

std::unique_ptr<Output> CreateWinmmOutput() { return std::make_unique<WinmmOutput>(); }

}  // namespace SoundEngine
