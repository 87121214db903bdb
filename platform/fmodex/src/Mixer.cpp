#include "Mixer.h"

#include "Kernels.h"
#include "PortableMath.h"
#include "SincOctaves.h"
#include "SincOversampled.h"
#include "SincTable.h"
#include "Voices.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if TW_SIMD_WASM_SSE2
#include <wasm_simd128.h>
#endif

namespace SoundEngine {
namespace {

struct Gains
{
    float left;
    float right;
};

// Mono sounds are panned with constant power (each side 0.707 at centre); a stereo sound's pan
// is a balance that only ever turns one side down.
// The side gains of a pan change only with the pan, so they are kept with the voice rather
// than worked out with a sine and a cosine for every voice of every block.
Gains VoiceGains(Voice& p_Voice, float p_Master)
{
    const float l_Gain = p_Voice.group == nullptr ? p_Voice.volume * p_Master
                                                  : p_Voice.volume * p_Voice.group->volume * p_Master;
    if (p_Voice.sound->data->channels == 1) {
        if (p_Voice.pan != p_Voice.panfor) {
            const float l_Angle = (p_Voice.pan + 1.0f) * 0.785398163f;
            p_Voice.panleft = float(PortableMath::Cos(l_Angle));
            p_Voice.panright = float(PortableMath::Sin(l_Angle));
            p_Voice.panfor = p_Voice.pan;
        }
        return {p_Voice.panleft * l_Gain, p_Voice.panright * l_Gain};
    }
    return {l_Gain * std::min(1.0f, 1.0f - p_Voice.pan), l_Gain * std::min(1.0f, 1.0f + p_Voice.pan)};
}

// Mixes one playing sound in spans that end where the sound loops or ends, or where its gain ramp
// ends, so the kernel itself never checks a bound. A step may exceed a whole loop; the wrap then
// takes the remainder. Returns false once a one-shot has played its last frame.
bool MixPlayback(const KernelSet& p_Kernels, int p_Resampler, const SoundData& p_Sound,
                 std::uint64_t& p_Position, std::uint64_t p_Step, GainRamp& p_Gain, float* p_Left,
                 float* p_Right, unsigned p_Frames)
{
    // Positions below l_End are playable: a loop runs on through its repeats and wraps by whole
    // passes of its length, a one-shot ends after its last frame.
    // The sinc resampler reads a band-limited octave copy when the step is 2 or more (a loop's
    // copy has repeats of its own), and that level's oversampled copy for the step's band where
    // the sound has one.
    unsigned l_Shift = 0, l_Oversampling = 0;
    int l_Kernel = p_Resampler;
    const float* l_Data = p_Sound.Frame0();
    if (p_Resampler == RESAMPLE_SINC) {
        l_Data = OctaveFor(p_Sound, p_Step, l_Shift);
        if (const float* l_Copy = OversampledFor(p_Sound, l_Shift, SincBand(p_Step >> l_Shift))) {
            l_Data = l_Copy;
            l_Oversampling = kSincOversampleShift;
            l_Kernel = RESAMPLE_SINC_OVERSAMPLED;
        }
    }
    // In an octave copy the step is read shifted right; its dropped bits (under 2^-22 of the pitch)
    // are dropped from the voice's own step too, so that a span's positions in the copy are exactly
    // the voice's shifted and the samples do not depend on where the mix is cut into blocks.
    p_Step &= ~((std::uint64_t(1) << l_Shift) - 1);
    const std::uint64_t l_Length = std::uint64_t(p_Sound.frames) << 32;
    const std::uint64_t l_End = p_Sound.loop ? std::uint64_t(OctaveFrames(p_Sound, l_Shift)) << (32 + l_Shift)
                                             : l_Length - (std::uint64_t(1) << 32) + 1;
    const auto& l_Kernels = p_Kernels.span[l_Kernel][p_Sound.channels - 1];
    while (p_Frames > 0) {
        if (p_Position >= l_End) {
            if (!p_Sound.loop)
                break;
            p_Position %= l_Length;
        }
        unsigned l_Count = p_Frames;
        const std::uint64_t l_Room = l_End - p_Position;
        if (p_Step != 0 && std::uint64_t(l_Count) * p_Step > l_Room)
            l_Count = unsigned((l_Room + p_Step - 1) / p_Step);
        SpanGain l_Gain = {p_Gain.to[0], p_Gain.to[1], p_Gain.to[0], p_Gain.to[1], 0.0f, 0.0f};
        const bool l_Ramped = p_Gain.length != 0;
        if (l_Ramped) {
            l_Count = std::min(l_Count, p_Gain.length - p_Gain.done);
            const float l_Length = float(p_Gain.length);
            l_Gain = {
                p_Gain.from[0], p_Gain.from[1], p_Gain.to[0], p_Gain.to[1], float(p_Gain.done + 1) / l_Length,
                1.0f / l_Length};
            p_Gain.done += l_Count;
            if (p_Gain.done == p_Gain.length)
                p_Gain.length = 0;
        }
        l_Kernels[l_Ramped](l_Data, p_Position >> l_Shift << l_Oversampling,
                            p_Step >> l_Shift << l_Oversampling, l_Count, p_Left, p_Right, l_Gain);
        p_Position += std::uint64_t(l_Count) * p_Step;
        p_Left += l_Count;
        p_Right += l_Count;
        p_Frames -= l_Count;
    }
    // Between blocks a loop's position lies within its first pass.
    if (p_Sound.loop) {
        p_Position %= l_Length;
        return true;
    }
    // A one-shot ends as soon as its last frame is out, not one block later.
    return p_Position < l_End;
}

// The block's two sides as interleaved 16-bit stereo, as ToPcm16 gives each sample.
void ToPcm16Stereo(const float* p_Left, const float* p_Right, std::int16_t* p_Out, unsigned p_Frames)
{
    unsigned l_Frame = 0;
#if defined(__SSE2__)
    // Four frames at a time: the same steps as ToPcm16 (NaN too: the min and max take their
    // operands in the order that keeps std::min and std::max's answer), then a signed
    // saturating pack, which is exact here because every value is already in range.
    const __m128 l_Scale = _mm_set1_ps(32768.0f), l_Offset = _mm_set1_ps(32768.5f);
    const __m128 l_Top = _mm_set1_ps(65535.5f), l_Zero = _mm_setzero_ps();
    const __m128i l_Half = _mm_set1_epi32(32768);
    const auto l_Convert = [&](const float* p_From) {
        const __m128 l_Value = _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(p_From), l_Scale), l_Offset);
        const __m128 l_Clamped = _mm_max_ps(_mm_min_ps(l_Top, l_Value), l_Zero);
#if TW_SIMD_WASM_SSE2
        // WebAssembly's own truncation: the SSE2 one is emulated there a lane at a time, with checks
        // for NaN and range that a clamped value never needs. Both give the same integers here.
        const __m128i l_Whole = (__m128i)wasm_i32x4_trunc_sat_f32x4((v128_t)l_Clamped);
#else
        const __m128i l_Whole = _mm_cvttps_epi32(l_Clamped);
#endif
        return _mm_sub_epi32(l_Whole, l_Half);
    };
    for (; l_Frame + 4 <= p_Frames; l_Frame += 4) {
        const __m128i l_Left = l_Convert(p_Left + l_Frame);
        const __m128i l_Right = l_Convert(p_Right + l_Frame);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(p_Out + 2 * l_Frame),
            _mm_packs_epi32(_mm_unpacklo_epi32(l_Left, l_Right), _mm_unpackhi_epi32(l_Left, l_Right)));
    }
#endif
    for (; l_Frame < p_Frames; ++l_Frame) {
        p_Out[2 * l_Frame] = ToPcm16(p_Left[l_Frame]);
        p_Out[2 * l_Frame + 1] = ToPcm16(p_Right[l_Frame]);
    }
}

// The sides a voice of p_Group adds into: its group's own block when the read keeps the group
// apart (cleared when its first voice of the block comes), else the mix.
void Destination(ChannelGroup* p_Group, unsigned p_Frames, float*& p_Left, float*& p_Right)
{
    if (p_Group == nullptr || !p_Group->routed)
        return;
    p_Left = p_Group->mixbuffer.data();
    p_Right = p_Left + p_Group->mixbuffer.size() / 2;
    if (!p_Group->sounded) {
        std::fill(p_Left, p_Left + p_Frames, 0.0f);
        std::fill(p_Right, p_Right + p_Frames, 0.0f);
        p_Group->sounded = true;
    }
}

// p_Into[i] += p_From[i] for p_Frames samples (the buffers never overlap).
void AddInto(float* p_Into, const float* p_From, unsigned p_Frames)
{
    const KernelSet& l_Kernels = BestKernels();
    unsigned l_Frame = l_Kernels.add != nullptr ? l_Kernels.add(p_Into, p_From, p_Frames) : 0;
#if defined(__SSE2__)
    for (; l_Frame + 4 <= p_Frames; l_Frame += 4)
        _mm_storeu_ps(p_Into + l_Frame,
                      _mm_add_ps(_mm_loadu_ps(p_Into + l_Frame), _mm_loadu_ps(p_From + l_Frame)));
#endif
    for (; l_Frame < p_Frames; ++l_Frame)
        p_Into[l_Frame] += p_From[l_Frame];
}

void Mix(System& p_System, std::int16_t* p_Out, unsigned p_Frames, ChannelGroup* const* p_Groups, int p_Count,
         bool p_Sum)
{
    float* l_Left = p_System.mixbuffer.data();
    float* l_Right = l_Left + p_System.mixbuffer.size() / 2;
    std::fill(l_Left, l_Left + p_Frames, 0.0f);
    std::fill(l_Right, l_Right + p_Frames, 0.0f);
    const KernelSet& l_Kernels = BestKernels();
    const int l_Resampler = KernelResampler(p_System.config.resampler);
    const float l_Master = p_System.master.volume;
    const bool l_Apart = p_Count > 0;
    for (Voice& l_Voice : p_System.voices) {
        if (!l_Voice.active || l_Voice.paused)
            continue;
        const Gains l_Target = VoiceGains(l_Voice, l_Master);
        l_Voice.gain.Aim(l_Target.left, l_Target.right, p_System.rampframes);
        float* l_ToLeft = l_Left;
        float* l_ToRight = l_Right;
        if (l_Apart)
            Destination(l_Voice.group, p_Frames, l_ToLeft, l_ToRight);
        if (!MixPlayback(l_Kernels, l_Resampler, *l_Voice.sound->data, l_Voice.position, l_Voice.step,
                         l_Voice.gain, l_ToLeft, l_ToRight, p_Frames))
            EndVoice(l_Voice);
    }
    for (Fade& l_Fade : p_System.fades) {
        if (l_Fade.sound == nullptr)
            continue;
        float* l_ToLeft = l_Left;
        float* l_ToRight = l_Right;
        if (l_Apart)
            Destination(l_Fade.group, p_Frames, l_ToLeft, l_ToRight);
        const unsigned l_Rest = l_Fade.gain.length - l_Fade.gain.done;
        if (!MixPlayback(l_Kernels, l_Resampler, *l_Fade.sound->data, l_Fade.position, l_Fade.step,
                         l_Fade.gain, l_ToLeft, l_ToRight, std::min(p_Frames, l_Rest)) ||
            l_Fade.gain.length == 0)
            l_Fade.sound = nullptr;
    }
    // The groups kept apart join the mix in the order asked, so that it is their sum.
    for (int l_Index = 0; p_Sum && l_Index < p_Count; ++l_Index) {
        const ChannelGroup& l_Group = *p_Groups[l_Index];
        if (!l_Group.sounded)
            continue;
        const float* l_GroupLeft = l_Group.mixbuffer.data();
        const float* l_GroupRight = l_GroupLeft + l_Group.mixbuffer.size() / 2;
        AddInto(l_Left, l_GroupLeft, p_Frames);
        AddInto(l_Right, l_GroupRight, p_Frames);
    }
    if (p_Out == nullptr)
        return;
    const unsigned l_Done =
        l_Kernels.pcm16 != nullptr ? l_Kernels.pcm16(l_Left, l_Right, p_Out, p_Frames) : 0;
    ToPcm16Stereo(l_Left + l_Done, l_Right + l_Done, p_Out + 2 * l_Done, p_Frames - l_Done);
}

// Two sides of p_Frames frames as interleaved stereo.
void Interleave(const float* p_Left, const float* p_Right, float* p_Out, unsigned p_Frames)
{
    unsigned l_Frame = 0;
#if defined(__SSE2__)
    for (; l_Frame + 4 <= p_Frames; l_Frame += 4) {
        const __m128 l_LeftFour = _mm_loadu_ps(p_Left + l_Frame),
                     l_RightFour = _mm_loadu_ps(p_Right + l_Frame);
        _mm_storeu_ps(p_Out + 2 * l_Frame, _mm_unpacklo_ps(l_LeftFour, l_RightFour));
        _mm_storeu_ps(p_Out + 2 * l_Frame + 4, _mm_unpackhi_ps(l_LeftFour, l_RightFour));
    }
#endif
    for (; l_Frame < p_Frames; ++l_Frame) {
        p_Out[2 * l_Frame] = p_Left[l_Frame];
        p_Out[2 * l_Frame + 1] = p_Right[l_Frame];
    }
}

}  // namespace

void MixBlock(System& p_System, std::int16_t* p_Out, unsigned p_Frames)
{
    Mix(p_System, p_Out, p_Frames, nullptr, 0, false);
}

void MixBlockApart(System& p_System, std::int16_t* p_Out, unsigned p_Frames, ChannelGroup* const* p_Groups,
                   int p_Count, bool p_Sum)
{
    for (int l_Index = 0; l_Index < p_Count; ++l_Index) {
        p_Groups[l_Index]->routed = true;
        p_Groups[l_Index]->sounded = false;
    }
    Mix(p_System, p_Out, p_Frames, p_Groups, p_Count, p_Sum);
    for (int l_Index = 0; l_Index < p_Count; ++l_Index)
        p_Groups[l_Index]->routed = false;
}

void GroupMix(const ChannelGroup& p_Group, float* p_Out, unsigned p_Frames)
{
    if (!p_Group.sounded) {
        std::fill(p_Out, p_Out + 2 * std::size_t(p_Frames), 0.0f);
        return;
    }
    Interleave(p_Group.mixbuffer.data(), p_Group.mixbuffer.data() + p_Group.mixbuffer.size() / 2, p_Out,
               p_Frames);
}

void GroupLevel(const ChannelGroup& p_Group, unsigned p_Frames, float& p_Peak, double& p_Squares)
{
    p_Peak = 0.0f;
    p_Squares = 0.0;
    if (!p_Group.sounded)
        return;
    const KernelSet& l_Kernels = BestKernels();
    float l_Peak = 0.0f, l_Squares = 0.0f;
    const float* l_Left = p_Group.mixbuffer.data();
    for (const float* l_Side : {l_Left, l_Left + p_Group.mixbuffer.size() / 2}) {
        unsigned l_Frame =
            l_Kernels.level != nullptr ? l_Kernels.level(l_Side, p_Frames, l_Peak, l_Squares) : 0;
        for (; l_Frame < p_Frames; ++l_Frame) {
            l_Peak = std::max(l_Peak, std::fabs(l_Side[l_Frame]));
            l_Squares += l_Side[l_Frame] * l_Side[l_Frame];
        }
    }
    p_Peak = l_Peak;
    p_Squares = l_Squares;
}

void InterleavedMix(const System& p_System, float* p_Out, unsigned p_Frames)
{
    Interleave(p_System.mixbuffer.data(), p_System.mixbuffer.data() + p_System.mixbuffer.size() / 2, p_Out,
               p_Frames);
}

}  // namespace SoundEngine
