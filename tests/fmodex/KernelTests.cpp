// Every SIMD span kernel against the scalar reference, frame by frame, where kernels go wrong:
// reads across a loop's seam and past a one-shot's end, steps of 0, of a hair and of 4096 frames,
// spans that do not fill the lanes, and gain ramps.
#include "Kernels.h"
#include "PortableMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace SoundEngine;

namespace {

struct TestSound
{
    std::vector<float> data;  // kGuardFrames of guard on both sides, as the loader lays it out
    unsigned frames;
    int channels;
    bool loop;
    const float* Frame0() const { return data.data() + kGuardFrames * channels; }
    // The first position a span may not reach (as the mixer bounds its spans).
    std::uint64_t End() const
    {
        return loop ? std::uint64_t(frames) << 32 : (std::uint64_t(frames - 1) << 32) + 1;
    }
};

TestSound MakeSound(unsigned p_Frames, int p_Channels, bool p_Loop, std::mt19937& p_Random)
{
    std::uniform_real_distribution<float> l_Full(-1.0f, 1.0f);
    TestSound l_Sound = {std::vector<float>((p_Frames + 2 * kGuardFrames) * p_Channels), p_Frames, p_Channels,
                         p_Loop};
    for (float& l_Sample : l_Sound.data)  // the guards too: both kernels must read the same memory
        l_Sample = l_Full(p_Random);
    return l_Sound;
}

std::vector<const KernelSet*> SimdSets()
{
    std::vector<const KernelSet*> l_Sets;
    for (const KernelSet* l_Set : {Sse2Kernels(), Avx2Kernels(), Avx512Kernels()})
        if (l_Set != nullptr)
            l_Sets.push_back(l_Set);
    return l_Sets;
}

TEST(Kernels, TheProcessorsBestSetIsUsedUnlessOneIsAskedFor)
{
    const KernelSet& l_Fastest = ChooseKernels(nullptr);
#if defined(__x86_64__) || defined(__i386__)
    ASSERT_NE(Sse2Kernels(), nullptr);
    EXPECT_STREQ(l_Fastest.name, Avx512Kernels() != nullptr ? "avx512"
                                 : Avx2Kernels() != nullptr ? "avx2"
                                                            : "sse2");
#else
    EXPECT_STREQ(l_Fastest.name, "scalar");
#endif
    EXPECT_EQ(&BestKernels(), &ChooseKernels(std::getenv("TUNEWRIGHT_KERNELS")));
    // Each set this processor runs can be asked for by name; others, and unknown names, give the fastest.
    EXPECT_EQ(&ChooseKernels("scalar"), &ReferenceKernels());
    for (const KernelSet* l_Set : SimdSets())
        EXPECT_EQ(&ChooseKernels(l_Set->name), l_Set);
    if (Avx512Kernels() == nullptr) {
        EXPECT_EQ(&ChooseKernels("avx512"), &l_Fastest);
    }
    EXPECT_EQ(&ChooseKernels("AVX2 "), &l_Fastest);
}

// Every set against the reference; run on a thread of its own, as the engine runs the kernels:
// Windows starts a 32-bit program's threads with the stack aligned to 4 bytes only, where the
// kernels' vectors need 16 to 64.
void CompareEverySimdKernelWithTheReference()
{
    std::mt19937 l_Random(12);
    const std::uint64_t l_One = std::uint64_t(1) << 32;
    const std::uint64_t l_Steps[] = {0, 1, l_One / 3, l_One, l_One + l_One / 7, 3 * l_One - 5, 4096 * l_One};
    const unsigned l_Counts[] = {1, 3, 7, 8, 13, 31, 64};
    const std::vector<const KernelSet*> l_Sets = SimdSets();
    ASSERT_FALSE(l_Sets.empty()) << "no SIMD kernels on this processor";
    float l_Worst = 0.0f;
    int l_Spans = 0;
    for (int l_Channels = 1; l_Channels <= 2; ++l_Channels)
        for (unsigned l_Frames : {1u, 3u, 37u})
            for (bool l_Loop : {true, false}) {
                const TestSound l_Sound = MakeSound(l_Frames, l_Channels, l_Loop, l_Random);
                for (std::uint64_t l_Step : l_Steps)
                    for (unsigned l_Count : l_Counts) {
                        // Start just before the end, so the span reads the guard frames, or anywhere.
                        const std::uint64_t l_Back =
                            std::min<std::uint64_t>(l_Sound.End() - 1, l_Step * (l_Count / 2) + 12345);
                        const std::uint64_t l_Start = l_Random() % 2 == 0
                                                          ? l_Sound.End() - 1 - l_Back
                                                          : (std::uint64_t(l_Random()) << 8) % l_Sound.End();
                        unsigned l_Span = l_Count;
                        if (l_Step != 0)
                            l_Span = unsigned(std::min<std::uint64_t>(
                                l_Count, (l_Sound.End() - l_Start + l_Step - 1) / l_Step));
                        const SpanGain l_Gain = {0.8f, -0.3f, 0.1f, 1.0f, 0.25f, 0.5f / 64.0f};
                        std::vector<float> l_Out(2 * l_Count + 2);
                        for (float& l_Sample : l_Out)
                            l_Sample = float(l_Random() % 1000) / 1000.0f;
                        for (int l_Resampler = 0; l_Resampler < kSpanKernels; ++l_Resampler)
                            for (int l_Ramped = 0; l_Ramped < 2; ++l_Ramped) {
                                std::vector<float> l_Expected = l_Out;
                                const std::uint64_t l_End =
                                    ReferenceKernels().span[l_Resampler][l_Channels - 1][l_Ramped](
                                        l_Sound.Frame0(), l_Start, l_Step, l_Span, l_Expected.data(),
                                        l_Expected.data() + l_Count + 1, l_Gain);
                                for (const KernelSet* l_Set : l_Sets) {
                                    std::vector<float> l_Got = l_Out;
                                    EXPECT_EQ(l_Set->span[l_Resampler][l_Channels - 1][l_Ramped](
                                                  l_Sound.Frame0(), l_Start, l_Step, l_Span, l_Got.data(),
                                                  l_Got.data() + l_Count + 1, l_Gain),
                                              l_End);
                                    for (std::size_t l_Index = 0; l_Index < l_Got.size(); ++l_Index) {
                                        const float l_Error = std::fabs(l_Got[l_Index] - l_Expected[l_Index]);
                                        l_Worst = std::max(l_Worst, l_Error);
                                        ASSERT_LE(l_Error, 1e-6f)
                                            << l_Set->name << " resampler " << l_Resampler << " channels "
                                            << l_Channels << " frames " << l_Frames
                                            << (l_Loop ? " loop" : " one-shot") << " step " << l_Step
                                            << " count " << l_Span << (l_Ramped ? " ramped" : "")
                                            << " sample " << l_Index;
                                    }
                                    ++l_Spans;
                                }
                            }
                    }
            }
    ::testing::Test::RecordProperty("worst_error", std::to_string(l_Worst));
    std::printf("%d spans compared; worst difference %.3g of full scale\n", l_Spans, double(l_Worst));
}

TEST(Kernels, EverySimdKernelMatchesTheReferenceWithin1e6OfFullScale)
{
    std::thread(CompareEverySimdKernelWithTheReference).join();
}

TEST(Kernels, EveryFastPcm16ConversionMatchesToPcm16)
{
    // Past full scale both ways, infinities, NaN and the points where rounding turns, on both
    // sides, over a block that fills no set's lanes exactly.
    const float l_Edges[] = {0.0f,
                             -0.0f,
                             1.0f,
                             -1.0f,
                             0.99998f,
                             -1.00002f,
                             0.5f / 32768.0f,
                             -0.5f / 32768.0f,
                             1.5f / 32768.0f,
                             1e9f,
                             -1e9f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()};
    const unsigned l_Frames = 37;
    std::mt19937 l_Random(16);
    std::uniform_real_distribution<float> l_Wide(-1.5f, 1.5f);
    std::vector<float> l_Left(l_Frames), l_Right(l_Frames);
    for (unsigned l_Frame = 0; l_Frame < l_Frames; ++l_Frame) {
        const unsigned l_Edge = l_Frame % (std::size(l_Edges) + 3);
        l_Left[l_Frame] = l_Edge < std::size(l_Edges) ? l_Edges[l_Edge] : l_Wide(l_Random);
        l_Right[l_Frame] =
            l_Edge < std::size(l_Edges) ? l_Edges[std::size(l_Edges) - 1 - l_Edge] : l_Wide(l_Random);
    }
    if (Avx512Kernels() != nullptr) {
        EXPECT_NE(Avx512Kernels()->pcm16, nullptr);
    }
    for (const KernelSet* l_Set : SimdSets()) {
        if (l_Set->pcm16 == nullptr)
            continue;
        std::vector<std::int16_t> l_Out(2 * l_Frames, 12345);
        const unsigned l_Done = l_Set->pcm16(l_Left.data(), l_Right.data(), l_Out.data(), l_Frames);
        ASSERT_LE(l_Done, l_Frames) << l_Set->name;
        EXPECT_GT(l_Done, 0u) << l_Set->name;
        for (unsigned l_Frame = 0; l_Frame < l_Frames; ++l_Frame) {
            const bool l_Converted = l_Frame < l_Done;
            EXPECT_EQ(l_Out[2 * l_Frame], l_Converted ? ToPcm16(l_Left[l_Frame]) : 12345)
                << l_Set->name << " frame " << l_Frame << " left " << l_Left[l_Frame];
            EXPECT_EQ(l_Out[2 * l_Frame + 1], l_Converted ? ToPcm16(l_Right[l_Frame]) : 12345)
                << l_Set->name << " frame " << l_Frame << " right " << l_Right[l_Frame];
        }
    }
}

// A group's block written out, added into the mix, measured and cleared, by every set's kernel in
// each of its four forms, as the plain loop does each frame: the frames and sums exactly, the peak
// exactly, the squares to float rounding.
TEST(Kernels, EveryGroupKernelWritesAddsMeasuresAndClearsAsThePlainLoop)
{
    const unsigned l_Frames = 77;  // whole vectors of every width, and some over
    std::mt19937 l_Random(40);
    std::uniform_real_distribution<float> l_Wide(-1.5f, 1.5f);
    std::vector<float> l_Left(l_Frames), l_Right(l_Frames), l_MixLeft(l_Frames), l_MixRight(l_Frames);
    for (std::vector<float>* l_Side : {&l_Left, &l_Right, &l_MixLeft, &l_MixRight})
        for (float& l_Sample : *l_Side)
            l_Sample = l_Wide(l_Random);
    l_Right[50] = -1.75f;  // the peak, on the right and negative
    for (const KernelSet* l_Set : SimdSets())
        for (int l_Written = 0; l_Written < 2; ++l_Written)
            for (int l_Added = 0; l_Added < 2; ++l_Added) {
                SCOPED_TRACE(std::string(l_Set->name) + (l_Written ? " written" : "") +
                             (l_Added ? " added" : ""));
                ASSERT_NE(l_Set->group[l_Written][l_Added], nullptr);
                std::vector<float> l_GroupLeft = l_Left, l_GroupRight = l_Right;
                std::vector<float> l_Out(2 * l_Frames, 7.0f), l_IntoLeft = l_MixLeft,
                                                              l_IntoRight = l_MixRight;
                const GroupSpan l_Span = {l_GroupLeft.data(),
                                          l_GroupRight.data(),
                                          l_Frames,
                                          l_Written ? l_Out.data() : nullptr,
                                          l_Added ? l_IntoLeft.data() : nullptr,
                                          l_Added ? l_IntoRight.data() : nullptr};
                float l_Peak = 0.25f, l_Squares = 1.0f;
                const unsigned l_Done = l_Set->group[l_Written][l_Added](l_Span, l_Peak, l_Squares);
                ASSERT_LE(l_Done, l_Frames);
                ASSERT_GE(l_Done, l_Frames - 15);
                double l_Expected = 1.0;
                float l_ExpectedPeak = 0.25f;
                for (unsigned l_Frame = 0; l_Frame < l_Frames; ++l_Frame) {
                    const bool l_Taken = l_Frame < l_Done;
                    EXPECT_EQ(l_GroupLeft[l_Frame], l_Taken ? 0.0f : l_Left[l_Frame]);
                    EXPECT_EQ(l_GroupRight[l_Frame], l_Taken ? 0.0f : l_Right[l_Frame]);
                    EXPECT_EQ(l_Out[2 * l_Frame], l_Taken && l_Written ? l_Left[l_Frame] : 7.0f);
                    EXPECT_EQ(l_Out[2 * l_Frame + 1], l_Taken && l_Written ? l_Right[l_Frame] : 7.0f);
                    EXPECT_EQ(l_IntoLeft[l_Frame],
                              l_MixLeft[l_Frame] + (l_Taken && l_Added ? l_Left[l_Frame] : 0.0f));
                    EXPECT_EQ(l_IntoRight[l_Frame],
                              l_MixRight[l_Frame] + (l_Taken && l_Added ? l_Right[l_Frame] : 0.0f));
                    if (l_Taken) {
                        l_ExpectedPeak = std::max(
                            {l_ExpectedPeak, std::fabs(l_Left[l_Frame]), std::fabs(l_Right[l_Frame])});
                        l_Expected += double(l_Left[l_Frame]) * l_Left[l_Frame] +
                                      double(l_Right[l_Frame]) * l_Right[l_Frame];
                    }
                }
                EXPECT_EQ(l_Peak, l_ExpectedPeak);
                EXPECT_NEAR(l_Squares, l_Expected, 1e-5 * l_Expected);
            }
}

}  // namespace

// The engine's own sine, cosine and powers of two, which its tables are built from on every
// platform alike, against the C library's long double versions, over the arguments the tables use
// and more. Ours are within 2 units in the last place of glibc's; mingw's long double sine is
// itself a few units out, hence the bound of 8 (a wrong term of a series is billions of units out).
TEST(PortableMath, SineCosineAndPowersOfTwoWithinEightUnitsInTheLastPlace)
{
    const auto l_Ulps = [](double p_Got, long double p_Exact) {
        const double l_Exact = double(p_Exact);
        return std::fabs(p_Got - l_Exact) / (std::nextafter(std::fabs(l_Exact), 1e300) - std::fabs(l_Exact));
    };
    double l_Worst[3] = {0, 0, 0};
    for (int i = -200000; i <= 200000; ++i) {
        const double l_Angle = i * 0.0003 + 1e-9;  // -60 to 60
        l_Worst[0] = std::max(l_Worst[0], l_Ulps(PortableMath::Sin(l_Angle), std::sin((long double)l_Angle)));
        l_Worst[1] = std::max(l_Worst[1], l_Ulps(PortableMath::Cos(l_Angle), std::cos((long double)l_Angle)));
        const double l_Power = i * 0.00005;  // -10 to 10
        l_Worst[2] =
            std::max(l_Worst[2], l_Ulps(PortableMath::Exp2(l_Power), std::exp2((long double)l_Power)));
    }
    EXPECT_LE(l_Worst[0], 8.0);
    EXPECT_LE(l_Worst[1], 8.0);
    EXPECT_LE(l_Worst[2], 8.0);
    EXPECT_EQ(PortableMath::Exp2(-3.0), 0.125);
    EXPECT_EQ(PortableMath::Exp2(7.0), 128.0);
    std::printf("worst: sin %.2f, cos %.2f, exp2 %.2f units in the last place\n", l_Worst[0], l_Worst[1],
                l_Worst[2]);
}
