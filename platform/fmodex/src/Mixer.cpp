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

// Mixes one voice into p_Left/p_Right, ending it once a one-shot has played its last frame.
void MixVoice(const KernelSet& p_Kernels, int p_Resampler, const System& p_System, Voice& p_Voice,
              float* p_Left, float* p_Right, unsigned p_Frames)
{
    const Gains l_Target = VoiceGains(p_Voice, p_System.master.volume);
    p_Voice.gain.Aim(l_Target.left, l_Target.right, p_System.rampframes);
    if (!MixPlayback(p_Kernels, p_Resampler, *p_Voice.sound->data, p_Voice.position, p_Voice.step,
                     p_Voice.gain, p_Left, p_Right, p_Frames))
        EndVoice(p_Voice);
}

// Mixes what is left of a fade into p_Left/p_Right, freeing its entry once it is silent.
void MixFade(const KernelSet& p_Kernels, int p_Resampler, Fade& p_Fade, float* p_Left, float* p_Right,
             unsigned p_Frames)
{
    const unsigned l_Rest = p_Fade.gain.length - p_Fade.gain.done;
    if (!MixPlayback(p_Kernels, p_Resampler, *p_Fade.sound->data, p_Fade.position, p_Fade.step, p_Fade.gain,
                     p_Left, p_Right, std::min(p_Frames, l_Rest)) ||
        p_Fade.gain.length == 0)
        p_Fade.sound = nullptr;
}

bool Sounds(const Voice& p_Voice) { return p_Voice.active && !p_Voice.paused; }

// The mix's two sides, cleared for p_Frames.
void ClearMix(System& p_System, unsigned p_Frames, float*& p_Left, float*& p_Right)
{
    p_Left = p_System.mixbuffer.data();
    p_Right = p_Left + p_System.mixbuffer.size() / 2;
    std::fill(p_Left, p_Left + p_Frames, 0.0f);
    std::fill(p_Right, p_Right + p_Frames, 0.0f);
}

void MixToPcm16(const float* p_Left, const float* p_Right, std::int16_t* p_Out, unsigned p_Frames)
{
    const KernelSet& l_Kernels = BestKernels();
    const unsigned l_Done =
        l_Kernels.pcm16 != nullptr ? l_Kernels.pcm16(p_Left, p_Right, p_Out, p_Frames) : 0;
    ToPcm16Stereo(p_Left + l_Done, p_Right + l_Done, p_Out + 2 * l_Done, p_Frames - l_Done);
}

// The groups' kernel of the best set for the frames it takes, and the plain loop for the rest.
void GroupOut(const GroupSpan& p_Span, float& p_Peak, float& p_Squares)
{
    const GroupKernel l_Kernel = BestKernels().group[p_Span.frames != nullptr][p_Span.mixleft != nullptr];
    const unsigned l_Done = l_Kernel != nullptr ? l_Kernel(p_Span, p_Peak, p_Squares) : 0;
    float l_Squares = 0.0f;
    for (unsigned l_Frame = l_Done; l_Frame < p_Span.count; ++l_Frame) {
        const float l_Left = p_Span.left[l_Frame], l_Right = p_Span.right[l_Frame];
        p_Span.left[l_Frame] = p_Span.right[l_Frame] = 0.0f;
        p_Peak = std::max({p_Peak, std::fabs(l_Left), std::fabs(l_Right)});
        l_Squares += l_Left * l_Left + l_Right * l_Right;
        if (p_Span.frames != nullptr) {
            p_Span.frames[2 * l_Frame] = l_Left;
            p_Span.frames[2 * l_Frame + 1] = l_Right;
        }
        if (p_Span.mixleft != nullptr) {
            p_Span.mixleft[l_Frame] += l_Left;
            p_Span.mixright[l_Frame] += l_Right;
        }
    }
    p_Squares += l_Squares;
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
    float *l_Left, *l_Right;
    ClearMix(p_System, p_Frames, l_Left, l_Right);
    const KernelSet& l_Kernels = BestKernels();
    const int l_Resampler = int(p_System.config.resampler);
    for (Voice& l_Voice : p_System.voices)
        if (Sounds(l_Voice))
            MixVoice(l_Kernels, l_Resampler, p_System, l_Voice, l_Left, l_Right, p_Frames);
    for (Fade& l_Fade : p_System.fades)
        if (l_Fade.sound != nullptr)
            MixFade(l_Kernels, l_Resampler, l_Fade, l_Left, l_Right, p_Frames);
    if (p_Out != nullptr)
        MixToPcm16(l_Left, l_Right, p_Out, p_Frames);
}

bool MakeApartRoom(System& p_System)
{
    try {
        p_System.groupbuffer.resize(p_System.mixbuffer.size());
        p_System.apartorder.resize(2 * (p_System.voices.size() + p_System.fades.size()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

namespace {

// The groups' place in a read that keeps them apart, -1 for a voice of no such group.
int ApartPlace(const ChannelGroup* p_Group) { return p_Group == nullptr ? -1 : p_Group->apart; }

// Mixes the voices and fades of no group kept apart straight into p_Left/p_Right and lists the
// others by group: group i's entries (a voice's slot, or voices.size() + a fade's) from
// p_Starts[i] to p_Starts[i + 1] of the returned list, each group's in the order the mix meets them
// (voices by slot, then fades), so that a group's own block adds them as the mix would.
const std::uint32_t* MixOthersAndListGroups(System& p_System, const KernelSet& p_Kernels, int p_Resampler,
                                            int p_Count, float* p_Left, float* p_Right, unsigned p_Frames,
                                            std::uint32_t* p_Starts)
{
    const std::uint32_t l_Voices = std::uint32_t(p_System.voices.size());
    std::uint32_t* l_Met = p_System.apartorder.data();
    std::uint32_t* l_ByGroup = l_Met + p_System.apartorder.size() / 2;
    std::uint32_t l_Listed = 0;
    std::fill(p_Starts, p_Starts + p_Count + 1, 0u);
    for (std::uint32_t l_Slot = 0; l_Slot < l_Voices; ++l_Slot) {
        Voice& l_Voice = p_System.voices[l_Slot];
        if (!Sounds(l_Voice))
            continue;
        if (const int l_Group = ApartPlace(l_Voice.group); l_Group >= 0) {
            l_Met[l_Listed++] = l_Slot;
            ++p_Starts[l_Group + 1];
        } else {
            MixVoice(p_Kernels, p_Resampler, p_System, l_Voice, p_Left, p_Right, p_Frames);
        }
    }
    for (std::uint32_t l_Entry = 0; l_Entry < p_System.fades.size(); ++l_Entry) {
        Fade& l_Fade = p_System.fades[l_Entry];
        if (l_Fade.sound == nullptr)
            continue;
        if (const int l_Group = ApartPlace(l_Fade.group); l_Group >= 0) {
            l_Met[l_Listed++] = l_Voices + l_Entry;
            ++p_Starts[l_Group + 1];
        } else {
            MixFade(p_Kernels, p_Resampler, l_Fade, p_Left, p_Right, p_Frames);
        }
    }
    std::uint32_t l_Next[kMostApartGroups];
    for (int l_Index = 0; l_Index < p_Count; ++l_Index) {
        p_Starts[l_Index + 1] += p_Starts[l_Index];
        l_Next[l_Index] = p_Starts[l_Index];
    }
    for (std::uint32_t l_At = 0; l_At < l_Listed; ++l_At) {
        const std::uint32_t l_Entry = l_Met[l_At];
        const ChannelGroup* l_Group =
            l_Entry < l_Voices ? p_System.voices[l_Entry].group : p_System.fades[l_Entry - l_Voices].group;
        l_ByGroup[l_Next[ApartPlace(l_Group)]++] = l_Entry;
    }
    return l_ByGroup;
}

}  // namespace

void MixBlockApart(System& p_System, std::int16_t* p_Out, unsigned p_Frames, ChannelGroup* const* p_Groups,
                   int p_Count, bool p_Sum, const GroupReads& p_Reads)
{
    float *l_Left, *l_Right;
    ClearMix(p_System, p_Frames, l_Left, l_Right);
    const KernelSet& l_Kernels = BestKernels();
    const int l_Resampler = int(p_System.config.resampler);
    for (int l_Index = 0; l_Index < p_Count; ++l_Index)
        p_Groups[l_Index]->apart = l_Index;
    std::uint32_t l_Starts[kMostApartGroups + 1];
    const std::uint32_t* l_ByGroup = MixOthersAndListGroups(p_System, l_Kernels, l_Resampler, p_Count, l_Left,
                                                            l_Right, p_Frames, l_Starts);

    // Each group in turn in one block, which stays in the cache while it is written out, measured
    // and (p_Sum) added into the mix, in the order asked.
    const std::uint32_t l_Voices = std::uint32_t(p_System.voices.size());
    float* l_GroupLeft = p_System.groupbuffer.data();
    float* l_GroupRight = l_GroupLeft + p_System.groupbuffer.size() / 2;
    for (int l_Index = 0; l_Index < p_Count; ++l_Index) {
        p_Groups[l_Index]->apart = -1;
        float* l_Frames = p_Reads.frames != nullptr ? p_Reads.frames[l_Index] : nullptr;
        const bool l_Sounded = l_Starts[l_Index] != l_Starts[l_Index + 1];
        if (p_Reads.sounded != nullptr)
            p_Reads.sounded[l_Index] = l_Sounded ? 1 : 0;
        float l_Peak = 0.0f, l_Squares = 0.0f;
        if (l_Sounded) {
            for (std::uint32_t l_At = l_Starts[l_Index]; l_At < l_Starts[l_Index + 1]; ++l_At) {
                const std::uint32_t l_Entry = l_ByGroup[l_At];
                if (l_Entry < l_Voices)
                    MixVoice(l_Kernels, l_Resampler, p_System, p_System.voices[l_Entry], l_GroupLeft,
                             l_GroupRight, p_Frames);
                else
                    MixFade(l_Kernels, l_Resampler, p_System.fades[l_Entry - l_Voices], l_GroupLeft,
                            l_GroupRight, p_Frames);
            }
            GroupOut({l_GroupLeft, l_GroupRight, p_Frames, l_Frames, p_Sum ? l_Left : nullptr,
                      p_Sum ? l_Right : nullptr},
                     l_Peak, l_Squares);
        } else if (l_Frames != nullptr) {
            std::fill(l_Frames, l_Frames + 2 * std::size_t(p_Frames), 0.0f);
        }
        if (p_Reads.peaks != nullptr && p_Reads.squares != nullptr) {
            p_Reads.peaks[l_Index] = l_Peak;
            p_Reads.squares[l_Index] = l_Squares;
        }
    }
    if (p_Out != nullptr)
        MixToPcm16(l_Left, l_Right, p_Out, p_Frames);
}

void InterleavedMix(const System& p_System, float* p_Out, unsigned p_Frames)
{
    Interleave(p_System.mixbuffer.data(), p_System.mixbuffer.data() + p_System.mixbuffer.size() / 2, p_Out,
               p_Frames);
}

}  // namespace SoundEngine
