// Reading a plain WAV file (integer PCM or float, mono or stereo, all its data present) straight
// from its bytes, so that a program's own sample files need no libsndfile, nor the codec
// libraries that come with it.
#ifndef TUNEWRIGHT_SOUND_PLAINWAV_H
#define TUNEWRIGHT_SOUND_PLAINWAV_H

#include "SoundLayout.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace SoundEngine {

// Where a plain WAV file's samples stand in its bytes, and how they are encoded.
struct PlainWav
{
    SampleFormat format = {};
    bool isfloat = false;
    std::size_t offset = 0;  // of the first frame
};

// Whether p_Bytes is a plain WAV file: RIFF/WAVE with a PCM (8, 16, 24 or 32 bit) or 32-bit float
// format, plain or extensible, one or two channels, and a data chunk whose whole frames are all in
// the bytes. Anything else (another encoding, a cut or odd file) is left to libsndfile.
bool ParsePlainWav(const std::vector<unsigned char>& p_Bytes, PlainWav& p_Wav);

// The samples of a plain WAV file, interleaved, as libsndfile's normalised float read gives them:
// integers times 2^-(bits - 1), 8-bit ones first less 128; float ones as they are.
void DecodePlainWav(const std::vector<unsigned char>& p_Bytes, const PlainWav& p_Wav, float* p_Out);

}  // namespace SoundEngine

#endif
