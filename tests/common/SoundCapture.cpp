#include "SoundCapture.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <fstream>

namespace PlayerTest {

namespace {

// Below this a sample counts as silence (about -66 dBFS; the mix of no voice is exact zero).
const float g_Quiet = 0.0005f;
// A sound has started once it passes this (about -34 dBFS).
const float g_Sounding = 0.02f;

}  // namespace

long CapturedFrames(const std::string& p_Path)
{
    struct stat l_Stat {};
    if (stat(p_Path.c_str(), &l_Stat) != 0)
        return 0;
    return long(l_Stat.st_size / g_CaptureFrameBytes);
}

std::vector<float> ReadCapture(const std::string& p_Path, long p_First, long p_Last)
{
    std::vector<float> l_Samples;
    if (p_Last <= p_First)
        return l_Samples;
    std::ifstream l_In(p_Path, std::ios::binary);
    l_In.seekg(std::streamoff(p_First) * g_CaptureFrameBytes);
    std::vector<unsigned char> l_Bytes(std::size_t(p_Last - p_First) * g_CaptureFrameBytes);
    l_In.read(reinterpret_cast<char*>(l_Bytes.data()), std::streamsize(l_Bytes.size()));
    const std::size_t l_Frames = std::size_t(l_In.gcount()) / g_CaptureFrameBytes;
    l_Samples.reserve(l_Frames);
    for (std::size_t i = 0; i < l_Frames; ++i) {
        const unsigned char* l_Frame = &l_Bytes[i * g_CaptureFrameBytes];
        const auto l_Left = std::int16_t(l_Frame[0] | (l_Frame[1] << 8));
        const auto l_Right = std::int16_t(l_Frame[2] | (l_Frame[3] << 8));
        l_Samples.push_back((float(l_Left) + float(l_Right)) / 65536.0f);
    }
    return l_Samples;
}

double Rms(const std::vector<float>& p_Samples)
{
    if (p_Samples.empty())
        return 0;
    double l_Sum = 0;
    for (float l_Sample : p_Samples)
        l_Sum += double(l_Sample) * l_Sample;
    return std::sqrt(l_Sum / double(p_Samples.size()));
}

double Peak(const std::vector<float>& p_Samples)
{
    double l_Peak = 0;
    for (float l_Sample : p_Samples)
        l_Peak = std::max(l_Peak, double(std::fabs(l_Sample)));
    return l_Peak;
}

double ToneFrequency(const std::vector<float>& p_Samples, int p_Rate)
{
    // Rising crossings located between samples by linear interpolation.
    double l_First = -1, l_Last = -1;
    long l_Count = 0;
    for (std::size_t i = 1; i < p_Samples.size(); ++i) {
        if (p_Samples[i - 1] < 0 && p_Samples[i] >= 0) {
            const double l_At = double(i - 1) + p_Samples[i - 1] / double(p_Samples[i - 1] - p_Samples[i]);
            if (l_Count++ == 0)
                l_First = l_At;
            l_Last = l_At;
        }
    }
    if (l_Count < 2)
        return 0;
    return double(l_Count - 1) * p_Rate / (l_Last - l_First);
}

std::vector<Note> Notes(const std::vector<float>& p_Samples, long p_MinQuietFrames)
{
    std::vector<Note> l_Notes;
    long l_QuietRun = 0;
    long l_Start = -1;     // first sample above silence after a long enough quiet run
    long l_LastLoud = -1;  // last sample above silence
    for (std::size_t i = 0; i < p_Samples.size(); ++i) {
        const float l_Level = std::fabs(p_Samples[i]);
        if (l_Level < g_Quiet) {
            if (++l_QuietRun == p_MinQuietFrames) {
                l_Start = -1;
                if (!l_Notes.empty() && l_Notes.back().end < 0)
                    l_Notes.back().end = l_LastLoud + 1;
            }
            continue;
        }
        if (l_QuietRun >= p_MinQuietFrames)
            l_Start = long(i);
        l_QuietRun = 0;
        l_LastLoud = long(i);
        if (l_Level >= g_Sounding && l_Start >= 0) {
            l_Notes.push_back({l_Start, -1});
            l_Start = -1;
        }
    }
    return l_Notes;
}

std::vector<Note> Stretches(const std::vector<float>& p_Samples, long p_MinQuietFrames)
{
    std::vector<Note> l_Stretches;
    long l_QuietRun = p_MinQuietFrames;  // the samples' beginning counts as after a gap
    for (std::size_t i = 0; i < p_Samples.size(); ++i) {
        if (std::fabs(p_Samples[i]) < g_Quiet) {
            ++l_QuietRun;
            continue;
        }
        if (l_QuietRun >= p_MinQuietFrames)
            l_Stretches.push_back({long(i), -1});
        l_QuietRun = 0;
        l_Stretches.back().end = long(i) + 1;
    }
    return l_Stretches;
}

}  // namespace PlayerTest
