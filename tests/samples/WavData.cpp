#include "WavData.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

WavData ReadWav(const std::string& p_Path)
{
    WavData l_Wav;
    SF_INFO l_Info{};
    SNDFILE* l_File = sf_open(p_Path.c_str(), SFM_READ, &l_Info);
    if (!l_File) {
        l_Wav.error = p_Path + ": " + sf_strerror(nullptr);
        return l_Wav;
    }
    l_Wav.format = l_Info.format;
    l_Wav.channels = l_Info.channels;
    l_Wav.rate = l_Info.samplerate;
    l_Wav.samples.resize(static_cast<std::size_t>(l_Info.frames * l_Info.channels));
    const sf_count_t l_Read = sf_read_short(l_File, l_Wav.samples.data(), static_cast<sf_count_t>(l_Wav.samples.size()));
    sf_close(l_File);
    l_Wav.ok = l_Read == static_cast<sf_count_t>(l_Wav.samples.size());
    if (!l_Wav.ok) {
        l_Wav.error = p_Path + ": short read";
    }
    return l_Wav;
}

double Rms(const std::vector<std::int16_t>& p_Samples, std::size_t p_Begin, std::size_t p_End)
{
    if (p_End <= p_Begin) {
        return 0.0;
    }
    double l_Sum = 0.0;
    for (std::size_t l_I = p_Begin; l_I < p_End; ++l_I) {
        const double l_X = p_Samples[l_I] / 32768.0;
        l_Sum += l_X * l_X;
    }
    return std::sqrt(l_Sum / static_cast<double>(p_End - p_Begin));
}

double Peak(const std::vector<std::int16_t>& p_Samples)
{
    int l_Peak = 0;
    for (std::int16_t l_X : p_Samples) {
        l_Peak = std::max(l_Peak, std::abs(static_cast<int>(l_X)));
    }
    return l_Peak / 32768.0;
}

std::vector<double> HarmonicMagnitudes(const std::vector<std::int16_t>& p_Cycle)
{
    const double l_Pi = 3.14159265358979323846;
    const std::size_t l_N = p_Cycle.size();
    std::vector<double> l_Magnitudes;
    for (std::size_t l_H = 1; l_H < l_N / 2; ++l_H) {
        double l_Re = 0.0;
        double l_Im = 0.0;
        for (std::size_t l_I = 0; l_I < l_N; ++l_I) {
            const double l_Angle = 2.0 * l_Pi * static_cast<double>(l_H * l_I) / static_cast<double>(l_N);
            l_Re += p_Cycle[l_I] * std::cos(l_Angle);
            l_Im += p_Cycle[l_I] * std::sin(l_Angle);
        }
        l_Magnitudes.push_back(std::hypot(l_Re, l_Im));
    }
    return l_Magnitudes;
}
