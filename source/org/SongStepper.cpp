#include "SongStepper.h"

#include <algorithm>

namespace Org {

SongStepper::SongStepper(OrgSong& p_Song, int p_Rate)
    : song(p_Song), rate(static_cast<unsigned long long>(std::max(1, p_Rate))), block(BlockFrames(p_Rate))
{}

void SongStepper::StartAt(unsigned int p_Beat, unsigned long long p_Frame)
{
    frame = p_Frame;
    song.Pause();
    song.Update(Tick(frame));  // a stopped clock only takes the time
    song.Play(p_Beat);
}

unsigned long SongStepper::Tick(unsigned long long p_Frame) const
{
    return static_cast<unsigned long>(p_Frame * 1000 / rate);
}

}  // namespace Org
