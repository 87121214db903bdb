#ifndef TUNEWRIGHT_SONGSTEPPER_H
#define TUNEWRIGHT_SONGSTEPPER_H

// How a song is played against a mixer that runs on its own sample count rather than the wall
// clock (the renderer, the decoder): the song clock runs in steps of one mix block (1 ms, rounded
// down to whole frames). Each step sounds the beat that has just begun, then moves the clock to the
// end of the block about to be mixed, so a beat reached there is struck at the very start of the
// next block: notes start within one block of their beat.
#include "OrgSong.h"
#include "SampleData.h"

namespace Org {

// The voices of the engine a song is mixed on: more than its sixteen tracks, so that a drum left
// ringing keeps its voice while the track starts the next.
constexpr int SONG_VOICES = 32;

class SongStepper
{
public:
    SongStepper(OrgSong& p_Song, int p_Rate);

    // Frames in one mix block at p_Rate: p_Rate / 1000, at least 1.
    static unsigned BlockFrames(int p_Rate)
    {
        return static_cast<unsigned>(p_Rate / 1000 > 1 ? p_Rate / 1000 : 1);
    }
    unsigned BlockFrames() const { return block; }
    // Frames stepped so far: where the next block begins.
    unsigned long long Frame() const { return frame; }

    // The song's milliseconds per frame times p_Factor (> 0) from the next block on: its beats go
    // by faster (above 1) or slower, while the frames go on at the same rate.
    void SetTempoFactor(double p_Factor);
    // The song's own milliseconds that pass by p_Frame with this factor, the clock's ticks there.
    static unsigned long long MsAtFrame(unsigned long long p_Frame, int p_Rate, double p_Factor);

    // Plays the song from p_Beat, as the block beginning at p_Frame; p_Beat is reported as new.
    // From beat 0 at frame 0 this is the start of playback.
    void StartAt(unsigned int p_Beat, unsigned long long p_Frame);

    // One block: sounds a beat that has begun through p_Hit(SampleData) for tracks 0 to 15 in
    // order, then runs the clock to the end of the block. Returns the milliseconds that passed;
    // the caller then mixes the block.
    template <class Hit> int Step(Hit&& p_Hit)
    {
        if (song.cursorUpdated)
            for (int l_Track = 0; l_Track < TRACK_COUNT; ++l_Track)
                p_Hit(song.GetNoteHit(l_Track));
        frame += block;
        return song.Update(Tick(frame));
    }

    // A run of blocks with nothing struck inside it, which a mixer may mix in one piece: one Step,
    // then further Steps while no new beat has begun, p_MaxBlocks (at least 1) in all. Returns the
    // blocks stepped; the next Step strikes the beat that ended the run.
    template <class Hit> unsigned StepRun(Hit&& p_Hit, unsigned p_MaxBlocks)
    {
        Step(p_Hit);
        unsigned l_Blocks = 1;
        for (; l_Blocks < p_MaxBlocks && !song.cursorUpdated; ++l_Blocks)
            Step(p_Hit);
        return l_Blocks;
    }

private:
    // The clock's tick count at a frame: the millisecond the frame falls in.
    unsigned long Tick(unsigned long long p_Frame) const;

    OrgSong& song;
    unsigned long long rate;
    unsigned block;
    unsigned long long frame = 0;
    double factor = 1.0;
    // Where the factor last changed: the clock counts on from this frame and its tick.
    unsigned long long anchorframe = 0;
    unsigned long long anchortick = 0;
};

}  // namespace Org

#endif
