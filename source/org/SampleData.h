#ifndef TUNEWRIGHT_SAMPLEDATA_H
#define TUNEWRIGHT_SAMPLEDATA_H

namespace Org {

// What one track plays at one beat, as the song hands it to the sampler.
struct SampleData {
    int note;        // note number, 0 to 255
    int length;      // beats: whole length when starting, beats left (or 1) when continuing
    int volume;      // 0 to 255, as stored
    float pan;       // -1 left, 0 centre, +1 right (pan byte / 6 - 1)
    int pitch;       // the track's fine tuning
    int sample;      // the track's sample number
    int loop;        // 1 unless the track is marked not looping
    int playing;     // 0 nothing, 1 a note starts here, 2 an earlier note still sounds
    int instrument;  // the track asked for
};

}  // namespace Org

#endif
