#ifndef TUNEWRIGHT_TESTS_SAMPLES_WAVDATA_H
#define TUNEWRIGHT_TESTS_SAMPLES_WAVDATA_H

#include <cstdint>
#include <string>
#include <vector>

// A WAV file as libsndfile reads it (an independent reader, not the generator's writer).
struct WavData {
    bool ok = false;
    std::string error;
    int format = 0;      // libsndfile's format word
    int channels = 0;
    int rate = 0;
    std::vector<std::int16_t> samples;
};

WavData ReadWav(const std::string& p_Path);

// Root-mean-square and peak of 16-bit samples, as fractions of full scale.
double Rms(const std::vector<std::int16_t>& p_Samples, std::size_t p_Begin, std::size_t p_End);
double Peak(const std::vector<std::int16_t>& p_Samples);

// Magnitudes of harmonics 1..127 of one 256-sample cycle (plain DFT).
std::vector<double> HarmonicMagnitudes(const std::vector<std::int16_t>& p_Cycle);

#endif
