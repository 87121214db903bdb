#ifndef TUNEWRIGHT_TESTS_PLAYER_SOUNDCAPTURE_H
#define TUNEWRIGHT_TESTS_PLAYER_SOUNDCAPTURE_H

// What the player sent to ALSA, as the file plugin wrote it (raw 16-bit little-endian stereo
// at 48 kHz), and what a listener would hear in it: loudness, pitch and note onsets.
#include <string>
#include <vector>

namespace PlayerTest {

const int g_CaptureRate = 48000;
const int g_CaptureFrameBytes = 4;

// Frames written to the capture file so far.
long CapturedFrames(const std::string& p_Path);
// Frames p_First to p_Last - 1, left and right averaged, scaled to -1 .. 1.
std::vector<float> ReadCapture(const std::string& p_Path, long p_First, long p_Last);

double Rms(const std::vector<float>& p_Samples);
double Peak(const std::vector<float>& p_Samples);
// The frequency of the dominant tone, from its rising zero crossings (0 when there are fewer
// than two).
double ToneFrequency(const std::vector<float>& p_Samples, int p_Rate);
// A sound that starts after at least p_MinQuietFrames frames of silence: its first sample and
// the one after its last (-1 while it still sounds at the end of the samples).
struct Note {
    long start = 0, end = -1;
    bool operator==(const Note& p_Other) const { return start == p_Other.start && end == p_Other.end; }
};
std::vector<Note> Notes(const std::vector<float>& p_Samples, long p_MinQuietFrames);
// The sound between gaps of at least p_MinQuietFrames silent frames, each from its first to just
// after its last sample above silence; unlike a note it may begin with the samples, and its end
// is never -1.
std::vector<Note> Stretches(const std::vector<float>& p_Samples, long p_MinQuietFrames);

}  // namespace PlayerTest

#endif
