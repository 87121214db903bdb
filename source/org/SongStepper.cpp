#include "SongStepper.h"

#include <algorithm>

namespace Org {

SongStepper::SongStepper(OrgSong& p_Song, int p_Rate)
    : song(p_Song), rate(static_cast<unsigned long long>(std::max(1, p_Rate))), block(BlockFrames(p_Rate))
{}

void SongStepper::SetTempoFactor(double p_Factor)
{
    anchortick = Tick(frame);
    anchorframe = frame;
    factor = p_Factor;
}

unsigned long long SongStepper::MsAtFrame(unsigned long long p_Frame, int p_Rate, double p_Factor)
{
    const unsigned long long l_Rate = static_cast<unsigned long long>(std::max(1, p_Rate));
    if (p_Factor == 1.0)
        return p_Frame * 1000 / l_Rate;
    return static_cast<unsigned long long>(static_cast<long double>(p_Frame) * 1000.0L * p_Factor / l_Rate);
}

void SongStepper::StartAt(unsigned int p_Beat, unsigned long long p_Frame)
{
    anchorframe = 0;
    anchortick = 0;
    frame = p_Frame;
    song.Pause();
    song.Update(Tick(frame));  // a stopped clock only takes the time
    song.Play(p_Beat);
}

unsigned long SongStepper::Tick(unsigned long long p_Frame) const
{
    return static_cast<unsigned long>(anchortick +
                                      MsAtFrame(p_Frame - anchorframe, static_cast<int>(rate), factor));
}

}  // namespace Org
