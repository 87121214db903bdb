#include "Dsp.h"

#include <cmath>

namespace SampleGen {

std::uint64_t Random::Next()
{
    State += 0x9E3779B97F4A7C15ULL;
    std::uint64_t l_Z = State;
    l_Z = (l_Z ^ (l_Z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    l_Z = (l_Z ^ (l_Z >> 27)) * 0x94D049BB133111EBULL;
    return l_Z ^ (l_Z >> 31);
}

double Random::Uniform()
{
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

double Random::Signed()
{
    return Uniform() * 2.0 - 1.0;
}

Biquad::Biquad(double p_B0, double p_B1, double p_B2, double p_A1, double p_A2)
    : B0(p_B0), B1(p_B1), B2(p_B2), A1(p_A1), A2(p_A2)
{
}

Biquad Biquad::LowPass(double p_Rate, double p_Hz, double p_Q)
{
    const double l_W = 2.0 * PI * p_Hz / p_Rate;
    const double l_Alpha = std::sin(l_W) / (2.0 * p_Q);
    const double l_Cos = std::cos(l_W);
    const double l_A0 = 1.0 + l_Alpha;
    return Biquad((1.0 - l_Cos) / 2.0 / l_A0, (1.0 - l_Cos) / l_A0, (1.0 - l_Cos) / 2.0 / l_A0,
                  -2.0 * l_Cos / l_A0, (1.0 - l_Alpha) / l_A0);
}

Biquad Biquad::HighPass(double p_Rate, double p_Hz, double p_Q)
{
    const double l_W = 2.0 * PI * p_Hz / p_Rate;
    const double l_Alpha = std::sin(l_W) / (2.0 * p_Q);
    const double l_Cos = std::cos(l_W);
    const double l_A0 = 1.0 + l_Alpha;
    return Biquad((1.0 + l_Cos) / 2.0 / l_A0, -(1.0 + l_Cos) / l_A0, (1.0 + l_Cos) / 2.0 / l_A0,
                  -2.0 * l_Cos / l_A0, (1.0 - l_Alpha) / l_A0);
}

Biquad Biquad::BandPass(double p_Rate, double p_Hz, double p_Q)
{
    const double l_W = 2.0 * PI * p_Hz / p_Rate;
    const double l_Alpha = std::sin(l_W) / (2.0 * p_Q);
    const double l_Cos = std::cos(l_W);
    const double l_A0 = 1.0 + l_Alpha;
    return Biquad(l_Alpha / l_A0, 0.0, -l_Alpha / l_A0, -2.0 * l_Cos / l_A0, (1.0 - l_Alpha) / l_A0);
}

double Biquad::Run(double p_In)
{
    const double l_Out = B0 * p_In + B1 * X1 + B2 * X2 - A1 * Y1 - A2 * Y2;
    X2 = X1;
    X1 = p_In;
    Y2 = Y1;
    Y1 = l_Out;
    return l_Out;
}

}  // namespace SampleGen
