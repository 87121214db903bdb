// The engine's mixer: voice-seconds of audio mixed per CPU second, 48 kHz stereo out. Voices play
// a 256-frame looping waveform at the frequencies the song player uses (about 4 kHz to 1 MHz).
//   BM_EngineMixer/R/V: the whole engine through its public interface, resampler R (0 nearest,
//     1 linear, 2 cubic, 3 spline, 256 our band-limited sinc), V voices, with the kernel set the
//     engine picks (the processor's best, or TUNEWRIGHT_KERNELS's), named in the label.
//   BM_Kernel/K/R/V: the span kernels alone, set K (0 scalar reference, 1 SSE2, 2 AVX2, 3 AVX-512), R as
//     above but 4 for sinc (which here reads the sound itself, not its octave copies: the same work)
//     and 5 for sinc's short filter (which reads a sound's oversampled copy where it reads slower than
//     the sound's own rate; here the sound itself at the same steps, the same work a frame).
//   BM_PlainLoop/V: a textbook linear loop for comparison.
#include <fmod.h>

#include "Engine.h"
#include "Kernels.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr unsigned kBlock = 1024;
constexpr unsigned kWaveFrames = 256;

// The song player's frequency for a note: its base pitch scaled by 44100/1550.
float NoteFrequency(int p_Note)
{
    return float(std::trunc(441.0 * std::pow(2.0, (p_Note - 19.0) / 12.0)) * 44100.0 / 1550.0);
}

float VoiceFrequency(int p_Voice) { return NoteFrequency((19 + p_Voice * 37) % 96); }

std::vector<float> Waveform()
{
    std::vector<float> l_Wave;
    for (unsigned l_Frame = 0; l_Frame < kWaveFrames; ++l_Frame)
        l_Wave.push_back(0.4f * float(std::sin(6.283185307 * l_Frame / kWaveFrames)) +
                         0.1f * float((l_Frame * 37) % 17) / 17.0f);
    return l_Wave;
}

std::string WriteWaveform()
{
    char l_Path[] = "/tmp/tw-bench-XXXXXX.wav";
    const int l_File = mkstemps(l_Path, 4);
    if (l_File >= 0)
        close(l_File);
    SF_INFO l_Info = {};
    l_Info.samplerate = 22050;
    l_Info.channels = 1;
    l_Info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    SNDFILE* l_Sound = sf_open(l_Path, SFM_WRITE, &l_Info);
    const std::vector<float> l_Wave = Waveform();
    sf_writef_float(l_Sound, l_Wave.data(), kWaveFrames);
    sf_close(l_Sound);
    return l_Path;
}

void ReportRate(benchmark::State& p_State, int p_Voices)
{
    const double l_VoiceSeconds = double(p_State.iterations()) * kBlock * p_Voices / kRate;
    p_State.counters["voice_s_per_cpu_s"] = benchmark::Counter(l_VoiceSeconds, benchmark::Counter::kIsRate);
    p_State.counters["x_realtime"] =
        benchmark::Counter(l_VoiceSeconds / p_Voices, benchmark::Counter::kIsRate);
}

// The engine, through its public interface: an offline no-sound system, one Update per block.
void BM_EngineMixer(benchmark::State& p_State)
{
    const auto l_Resampler = FMOD_DSP_RESAMPLER(p_State.range(0));
    const int l_Voices = int(p_State.range(1));
    const std::string l_Path = WriteWaveform();
    FMOD_SYSTEM* l_System = nullptr;
    FMOD_SOUND* l_Sound = nullptr;
    FMOD_System_Create(&l_System);
    FMOD_System_SetOutput(l_System, FMOD_OUTPUTTYPE_NOSOUND_NRT);
    FMOD_System_SetSoftwareFormat(l_System, kRate, FMOD_SOUND_FORMAT_PCM16, 2, 0, l_Resampler);
    FMOD_System_SetDSPBufferSize(l_System, kBlock, 4);
    FMOD_System_Init(l_System, 32, FMOD_INIT_NORMAL, nullptr);
    if (FMOD_System_CreateSound(l_System, l_Path.c_str(), FMOD_SOFTWARE | FMOD_LOOP_NORMAL, nullptr,
                                &l_Sound) != FMOD_OK) {
        p_State.SkipWithError("cannot load the waveform");
        return;
    }
    std::remove(l_Path.c_str());
    for (int l_Voice = 0; l_Voice < l_Voices; ++l_Voice) {
        FMOD_CHANNEL* l_Channel = nullptr;
        FMOD_System_PlaySound(l_System, FMOD_CHANNEL_FREE, l_Sound, 0, &l_Channel);
        FMOD_Channel_SetFrequency(l_Channel, VoiceFrequency(l_Voice));
        FMOD_Channel_SetPan(l_Channel, float(l_Voice % 13) / 6.0f - 1.0f);
        FMOD_Channel_SetVolume(l_Channel, 0.5f);
    }
    for (auto l_Unused : p_State)
        FMOD_System_Update(l_System);
    ReportRate(p_State, l_Voices);
    p_State.SetLabel(SoundEngine::BestKernels().name);
    FMOD_System_Release(l_System);
}

// The kernels alone: each voice's block in spans cut at the loop's end, as the mixer cuts them,
// at steady gains, into a float mix (left side, then right).
void BM_Kernel(benchmark::State& p_State)
{
    const SoundEngine::KernelSet* l_Sets[] = {&SoundEngine::ReferenceKernels(), SoundEngine::Sse2Kernels(),
                                              SoundEngine::Avx2Kernels(), SoundEngine::Avx512Kernels()};
    const SoundEngine::KernelSet* l_Set = l_Sets[p_State.range(0)];
    if (l_Set == nullptr) {
        p_State.SkipWithError("this processor has no such kernels");
        return;
    }
    const int l_Resampler = int(p_State.range(1));
    const int l_Voices = int(p_State.range(2));
    p_State.SetLabel(l_Set->name);
    // The waveform repeated to kUnrolledLoopFrames with the loop's guard frames around it, as the engine
    // lays it out; spans run to the end of the repeats and wrap by whole passes.
    const std::vector<float> l_Wave = Waveform();
    const unsigned l_Guard = SoundEngine::kGuardFrames;
    const unsigned l_Repeated =
        (SoundEngine::kUnrolledLoopFrames + kWaveFrames - 1) / kWaveFrames * kWaveFrames;
    std::vector<float> l_Data(l_Repeated + 2 * l_Guard);
    for (unsigned l_Index = 0; l_Index < l_Data.size(); ++l_Index)
        l_Data[l_Index] = l_Wave[(l_Index + kWaveFrames - l_Guard) % kWaveFrames];
    const std::uint64_t l_Length = std::uint64_t(kWaveFrames) << 32;
    const std::uint64_t l_End = std::uint64_t(l_Repeated) << 32;
    std::vector<std::uint64_t> l_Positions(l_Voices, 0);
    std::vector<float> l_Mix(2 * kBlock);
    const SoundEngine::SpanKernel l_Kernel = l_Set->span[l_Resampler][0][0];
    for (auto l_Unused : p_State) {
        std::fill(l_Mix.begin(), l_Mix.end(), 0.0f);
        for (int l_Voice = 0; l_Voice < l_Voices; ++l_Voice) {
            const std::uint64_t l_Step = std::uint64_t(VoiceFrequency(l_Voice) / kRate * 4294967296.0);
            const float l_Pan = float(l_Voice % 13) / 6.0f - 1.0f;
            const SoundEngine::SpanGain l_Gain = {0.5f * std::cos((l_Pan + 1.0f) * 0.785398f),
                                                  0.5f * std::sin((l_Pan + 1.0f) * 0.785398f),
                                                  0,
                                                  0,
                                                  0,
                                                  0};
            std::uint64_t& l_Position = l_Positions[l_Voice];
            for (unsigned l_Done = 0; l_Done < kBlock;) {
                if (l_Position >= l_End)
                    l_Position %= l_Length;
                const unsigned l_Count = unsigned(
                    std::min<std::uint64_t>(kBlock - l_Done, (l_End - l_Position + l_Step - 1) / l_Step));
                l_Position = l_Kernel(l_Data.data() + l_Guard, l_Position, l_Step, l_Count,
                                      l_Mix.data() + l_Done, l_Mix.data() + kBlock + l_Done, l_Gain);
                l_Done += l_Count;
            }
        }
        benchmark::DoNotOptimize(l_Mix.data());
    }
    ReportRate(p_State, l_Voices);
}

// A plain reference: the textbook loop, with a double position, a wrap test per frame and the pan
// gains worked out once per block.
void BM_PlainLoop(benchmark::State& p_State)
{
    const int l_Voices = int(p_State.range(0));
    const std::vector<float> l_Wave = Waveform();
    std::vector<double> l_Positions(l_Voices, 0.0);
    std::vector<float> l_Mix(2 * kBlock);
    std::vector<std::int16_t> l_Out(2 * kBlock);
    for (auto l_Unused : p_State) {
        std::fill(l_Mix.begin(), l_Mix.end(), 0.0f);
        for (int l_Voice = 0; l_Voice < l_Voices; ++l_Voice) {
            const double l_Step = VoiceFrequency(l_Voice) / kRate;
            const float l_Pan = float(l_Voice % 13) / 6.0f - 1.0f;
            const float l_Left = 0.5f * std::cos((l_Pan + 1.0f) * 0.785398f);
            const float l_Right = 0.5f * std::sin((l_Pan + 1.0f) * 0.785398f);
            double& l_Position = l_Positions[l_Voice];
            for (unsigned l_Frame = 0; l_Frame < kBlock; ++l_Frame) {
                const unsigned l_Index = unsigned(l_Position);
                const float l_Fraction = float(l_Position - l_Index);
                const float l_Next = l_Wave[(l_Index + 1) % kWaveFrames];
                const float l_Sample = l_Wave[l_Index] + (l_Next - l_Wave[l_Index]) * l_Fraction;
                l_Mix[2 * l_Frame] += l_Sample * l_Left;
                l_Mix[2 * l_Frame + 1] += l_Sample * l_Right;
                l_Position += l_Step;
                if (l_Position >= kWaveFrames)
                    l_Position -= kWaveFrames;
            }
        }
        for (unsigned l_Index = 0; l_Index < 2 * kBlock; ++l_Index)
            l_Out[l_Index] = std::int16_t(
                std::lrint(std::fmax(-32768.0f, std::fmin(32767.0f, l_Mix[l_Index] * 32768.0f))));
        benchmark::DoNotOptimize(l_Out.data());
    }
    ReportRate(p_State, l_Voices);
}

}  // namespace

BENCHMARK(BM_EngineMixer)->ArgsProduct({{0, 1, 2, 3, FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC}, {1, 4, 16, 32}});
BENCHMARK(BM_Kernel)->ArgsProduct({{0, 1, 2, 3},
                                   {0, 1, 2, 3, SoundEngine::RESAMPLE_SINC,
                                    SoundEngine::RESAMPLE_SINC_OVERSAMPLED},
                                   {1, 16, 32}});
BENCHMARK(BM_PlainLoop)->Arg(1)->Arg(4)->Arg(16)->Arg(32);
BENCHMARK_MAIN();
