// The mixer's span kernels: one voice's run of frames, resampled and added into the stereo mix.
// Each resampler exists as a plain scalar reference and as SIMD variants (SSE2, AVX2, AVX-512)
// generated from one source; BestKernels picks the fastest the processor runs, or the one asked for.
#ifndef TUNEWRIGHT_SOUND_KERNELS_H
#define TUNEWRIGHT_SOUND_KERNELS_H

#include <fmod.h>

#include <algorithm>
#include <cstdint>

#include "Pcm16.h"

// SIMD kernels are built for x86 (32 and 64 bit) with GCC or clang; elsewhere only the reference.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TW_SIMD_X86 1
#else
#define TW_SIMD_X86 0
#endif
// The AVX-512 kernels come with the same builds, Windows ones too: Win64 keeps its stack aligned
// to 16 bytes only, and mingw's GCC spills the kernels' 64-byte vectors there with unaligned moves
// (32-bit x86 realigns the frame instead); the kernel tests run the 64-bit build under Wine.
#define TW_SIMD_AVX512 TW_SIMD_X86
// WebAssembly SIMD runs the SSE2 kernels through emscripten's mapping of the SSE2 intrinsics
// (built with -msimd128 -msse2); every engine that runs such a module has the instructions.
#if defined(__EMSCRIPTEN__) && defined(__wasm_simd128__) && defined(__SSE2__)
#define TW_SIMD_WASM_SSE2 1
#else
#define TW_SIMD_WASM_SSE2 0
#endif

namespace SoundEngine {

// Resamplers, numbered as FMOD_DSP_RESAMPLER; SINC is our band-limited one (SincKernel.h).
enum Resampler {
    RESAMPLE_NEAREST = FMOD_DSP_RESAMPLER_NOINTERP,
    RESAMPLE_LINEAR = FMOD_DSP_RESAMPLER_LINEAR,
    RESAMPLE_CUBIC = FMOD_DSP_RESAMPLER_CUBIC,
    RESAMPLE_SPLINE = FMOD_DSP_RESAMPLER_SPLINE,
    RESAMPLE_SINC = FMOD_DSP_RESAMPLER_TUNEWRIGHT_SINC,
    // Not a resampler of its own: SINC's kernel for a sound's oversampled copies (SincOversampled.h),
    // which it reads wherever the sound has one for the voice's step.
    RESAMPLE_SINC_OVERSAMPLED = FMOD_DSP_RESAMPLER_MAX
};
constexpr int kResamplerCount = FMOD_DSP_RESAMPLER_MAX;
constexpr int kSpanKernels = RESAMPLE_SINC_OVERSAMPLED + 1;  // every resampler and SINC_OVERSAMPLED

// Frames a sound keeps before its first and after its last frame, so that every resampler can
// read its widest neighbourhood without a bound check: copies of the other end of the loop for a
// looping sound, silence for a one-shot.
// (The SIMD kernels read whole vectors of up to four floats past the widest neighbourhood, and
// AVX-512's window reads sixteen floats from a vector's first tap, the rest of the window masked
// to the last lane's neighbourhood and one frame more; the sinc kernel reads 15 frames before and
// 16 after the frame at or before its position.)
constexpr unsigned kGuardFrames = 16;

// The gain of a span's frames. Steady: p_Left/p_Right throughout. Ramped: frame i has
// left + (toleft - left) * S(x + dx * i), S(u) = u * u * (3 - 2 * u) (a smoothstep, whose
// slope is 0 at both ends), and the same on the right.
struct SpanGain
{
    float left;
    float right;
    float toleft;
    float toright;
    float x;
    float dx;
};

// Adds p_Count frames of one voice into the stereo mix, whose left and right sides are kept apart
// (p_Left, p_Right: no lane shuffling to interleave them in every kernel). p_Data points at the
// sound's frame 0 (interleaved, guard frames around it); the read position p_Position is in frames,
// 32.32 fixed point, advancing by p_Step per output frame. The caller keeps every position of the
// span below the sound's end. Returns the position after the span.
using SpanKernel = std::uint64_t (*)(const float* p_Data, std::uint64_t p_Position, std::uint64_t p_Step,
                                     unsigned p_Count, float* p_Left, float* p_Right, const SpanGain& p_Gain);

// Converts whole runs of a block's float mix (left and right apart) to interleaved 16-bit stereo
// exactly as ToPcm16 does each sample; returns the frames done, from the first, leaving the rest
// to the mixer.
using Pcm16Kernel = unsigned (*)(const float* p_Left, const float* p_Right, std::int16_t* p_Out,
                                 unsigned p_Frames);

// One group's block, for a read that keeps groups apart: its two sides (left, right) are
// measured into the largest magnitude p_Peak and the sum of squares p_Squares (added to what they
// hold), written to frames as interleaved stereo when it is not null, added into the mix's sides
// mixleft and mixright when they are not null, and cleared for the next group. One pass reads
// each sample once.
struct GroupSpan
{
    float* left;
    float* right;
    unsigned count;
    float* frames;
    float* mixleft;
    float* mixright;
};
// Returns the frames done, from the first, leaving the rest to the mixer. Indexed [frames][mix]:
// whether the span has p_Frames, and mix sides.
using GroupKernel = unsigned (*)(const GroupSpan& p_Span, float& p_Peak, float& p_Squares);

// Every kernel of one instruction set: span[resampler][channels - 1][ramped], and pcm16 and group
// where the set has them faster than the mixer's own (else null).
struct KernelSet
{
    const char* name;
    SpanKernel span[kSpanKernels][2][2];
    Pcm16Kernel pcm16;
    GroupKernel group[2][2];
};

const KernelSet& ReferenceKernels();
// Null when this build or this processor has no such variant.
const KernelSet* Sse2Kernels();
const KernelSet* Avx2Kernels();
const KernelSet* Avx512Kernels();
// The set named p_Wanted ("scalar", "sse2", "avx2" or "avx512") when this build and processor run
// it; otherwise, and for null, the fastest set they run.
const KernelSet& ChooseKernels(const char* p_Wanted);
// The set the mixer uses, chosen once: ChooseKernels of the environment's TUNEWRIGHT_KERNELS, so that
// one machine can measure what a processor with fewer instructions gets.
const KernelSet& BestKernels();

}  // namespace SoundEngine

#endif
