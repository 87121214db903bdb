// The twelve drum samples: format, one-shot shape (clean start, decay, clean end), character.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "WavData.h"

namespace {

// In the order of the percussion bank.
const std::vector<std::string> DRUMS = {"Bass01", "Bass02", "Snare01", "Snare02", "Tom01", "HiClose",
                                        "HiOpen", "Crash", "Per01", "Per02", "Bass03", "Tom02"};

class Percussion : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Drums.clear();
        for (const std::string& l_Name : DRUMS) {
            s_Drums[l_Name] = ReadWav(std::string(TW_DATA_DIR) + "/percussion/" + l_Name + ".wav");
        }
    }

    void SetUp() override
    {
        for (const std::string& l_Name : DRUMS) {
            ASSERT_TRUE(s_Drums[l_Name].ok) << s_Drums[l_Name].error;
        }
    }

    static double Seconds(const std::string& p_Name)
    {
        return static_cast<double>(s_Drums[p_Name].samples.size()) / s_Drums[p_Name].rate;
    }

    // Zero crossings per second: a rough measure of how high a sound sits.
    static double CrossingRate(const std::string& p_Name)
    {
        const std::vector<std::int16_t>& l_S = s_Drums[p_Name].samples;
        int l_Crossings = 0;
        for (std::size_t l_I = 1; l_I < l_S.size(); ++l_I) {
            if ((l_S[l_I - 1] < 0) != (l_S[l_I] < 0)) {
                ++l_Crossings;
            }
        }
        return l_Crossings / Seconds(p_Name);
    }

    static std::map<std::string, WavData> s_Drums;
};

std::map<std::string, WavData> Percussion::s_Drums;

TEST_F(Percussion, EveryDrumIsSixteenBitMonoAt44100Hz)
{
    for (const std::string& l_Name : DRUMS) {
        const WavData& l_Wav = s_Drums[l_Name];
        EXPECT_EQ(l_Wav.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16) << l_Name;
        EXPECT_EQ(l_Wav.channels, 1) << l_Name;
        EXPECT_EQ(l_Wav.rate, 44100) << l_Name;
    }
}

TEST_F(Percussion, LengthsSuitOneShots)
{
    for (const std::string& l_Name : DRUMS) {
        EXPECT_GE(Seconds(l_Name), 0.1) << l_Name;
        EXPECT_LE(Seconds(l_Name), 3.0) << l_Name;
    }
    EXPECT_LT(Seconds("HiClose"), 0.25);
    EXPECT_LT(Seconds("HiClose"), Seconds("HiOpen"));
    EXPECT_LT(Seconds("HiOpen"), Seconds("Crash"));
    EXPECT_GE(Seconds("Crash"), 1.5);
}

TEST_F(Percussion, StartsAndEndsWithoutAClick)
{
    for (const std::string& l_Name : DRUMS) {
        const std::vector<std::int16_t>& l_S = s_Drums[l_Name].samples;
        const double l_Peak = Peak(l_S);
        EXPECT_EQ(l_S.front(), 0) << l_Name;
        EXPECT_EQ(l_S.back(), 0) << l_Name;
        // The first four samples stay within 5% of the peak (a rise from silence, not a step),
        // the last eight within 0.5% (a tail that has already died away).
        for (std::size_t l_I = 0; l_I < 4; ++l_I) {
            EXPECT_LE(std::abs(l_S[l_I]) / 32768.0, 0.05 * l_Peak) << l_Name << " sample " << l_I;
        }
        for (std::size_t l_I = 0; l_I < 8; ++l_I) {
            EXPECT_LE(std::abs(l_S[l_S.size() - 1 - l_I]) / 32768.0, 0.005 * l_Peak) << l_Name << " from the end";
        }
    }
}

TEST_F(Percussion, DecaysToSilence)
{
    for (const std::string& l_Name : DRUMS) {
        const std::vector<std::int16_t>& l_S = s_Drums[l_Name].samples;
        const std::size_t l_N = l_S.size();
        const double l_Peak = Peak(l_S);
        EXPECT_GT(l_Peak, 0.5) << l_Name << " is too quiet";
        // The last tenth is at least 40 dB below the peak, and the sound fades over its length.
        EXPECT_LT(Rms(l_S, l_N - l_N / 10, l_N), 0.01 * l_Peak) << l_Name;
        EXPECT_GT(Rms(l_S, 0, l_N / 4), 10.0 * Rms(l_S, l_N - l_N / 4, l_N)) << l_Name;
    }
}

TEST_F(Percussion, DrumsSoundWhereTheirNamesSay)
{
    // Bass drums and toms are low, cymbals high, snares and the two other sounds in between.
    for (const char* l_Low : {"Bass01", "Bass02", "Bass03"}) {
        EXPECT_LT(CrossingRate(l_Low), 400.0) << l_Low;
    }
    for (const char* l_Tom : {"Tom01", "Tom02"}) {
        EXPECT_LT(CrossingRate(l_Tom), 800.0) << l_Tom;
    }
    EXPECT_GT(CrossingRate("Tom01"), CrossingRate("Tom02"));  // the first tom is the higher
    for (const char* l_Cymbal : {"HiClose", "HiOpen", "Crash"}) {
        EXPECT_GT(CrossingRate(l_Cymbal), 14500.0) << l_Cymbal;
    }
    for (const char* l_Mid : {"Snare01", "Snare02", "Per01", "Per02"}) {
        EXPECT_GT(CrossingRate(l_Mid), 400.0) << l_Mid;
        EXPECT_LT(CrossingRate(l_Mid), 14000.0) << l_Mid;
    }
}

}  // namespace
