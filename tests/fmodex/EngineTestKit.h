// Helpers for the sound engine's tests: sample files made on the spot, and an offline system whose
// mix is captured in a WAV file and read back.
#ifndef TUNEWRIGHT_ENGINETESTKIT_H
#define TUNEWRIGHT_ENGINETESTKIT_H

#include <fmod.h>

#include "Engine.h"

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace EngineTest {

constexpr int kRate = 48000;
// Frames over which the engine ramps every gain change, start and stop at kRate.
constexpr unsigned kRampFrames = SoundEngine::RampFrames(kRate);

// A fresh directory under the system's temporary directory, removed with its files on destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& p_Name) const { return path + "/" + p_Name; }
    const std::string path;
};

// Writes interleaved float samples as a sound file; p_Format is a libsndfile format such as
// SF_FORMAT_WAV | SF_FORMAT_PCM_16.
void WriteSound(const std::string& p_Path, const std::vector<float>& p_Samples, int p_Channels, int p_Rate,
                int p_Format = SF_FORMAT_WAV | SF_FORMAT_PCM_16);

// p_Frames frames of a sine with p_Period frames per cycle, copied to every channel.
std::vector<float> Sine(unsigned p_Frames, double p_Period, float p_Amplitude, int p_Channels = 1);

// Interleaved 16-bit stereo, as the engine mixes it.
struct Stereo
{
    std::vector<std::int16_t> samples;
    std::size_t Frames() const { return samples.size() / 2; }
    std::int16_t Left(std::size_t p_Frame) const { return samples[2 * p_Frame]; }
    std::int16_t Right(std::size_t p_Frame) const { return samples[2 * p_Frame + 1]; }
    // One channel (0 left, 1 right) of frames [p_First, p_First + p_Count) as floats.
    std::vector<float> Channel(int p_Channel, std::size_t p_First = 0, std::size_t p_Count = SIZE_MAX) const;
};

// Reads a 16-bit stereo WAV file (the WAV writer's output) as it stands.
Stereo ReadStereo(const std::string& p_Path);

// A system on the offline WAV writer: each Update mixes exactly one block into the file.
class OfflineSystem
{
public:
    explicit OfflineSystem(unsigned p_BlockFrames = 480, int p_MaxChannels = 32,
                           FMOD_DSP_RESAMPLER p_Resampler = FMOD_DSP_RESAMPLER_LINEAR);
    ~OfflineSystem();
    OfflineSystem(const OfflineSystem&) = delete;
    OfflineSystem& operator=(const OfflineSystem&) = delete;

    FMOD_SOUND* Load(const std::string& p_Path, FMOD_MODE p_Mode);
    FMOD_CHANNEL* Play(FMOD_SOUND* p_Sound);
    void Render(unsigned p_Blocks);
    // Everything mixed so far, read back from the file while it is still being written.
    Stereo Mixed() const { return ReadStereo(output); }

    TempDir dir;
    const std::string output;
    const unsigned blockframes;
    FMOD_SYSTEM* system = nullptr;
};

// Frequency of a tone from its rising zero crossings, interpolated between samples.
double MeasureFrequency(const std::vector<float>& p_Samples, int p_Rate);
float Peak(const std::vector<float>& p_Samples);
// Energy of the Hann-windowed samples between p_FromHz and p_ToHz, by a plain DFT.
double BandEnergy(const std::vector<float>& p_Samples, int p_Rate, double p_FromHz, double p_ToHz);
float Rms(const std::vector<float>& p_Samples);

}  // namespace EngineTest

#endif
