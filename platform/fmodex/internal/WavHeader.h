// The header of a 16-bit PCM WAV file, the one the engine's WAV writer, the renderer, samplegen and
// the C interface (tw_wav_header, which the web composer asks for) all write.
#ifndef TUNEWRIGHT_SOUND_WAVHEADER_H
#define TUNEWRIGHT_SOUND_WAVHEADER_H

#include <cstdint>

namespace WavHeader {

constexpr unsigned BYTES = 44;
// The most sound bytes its sizes can count (the RIFF size counts the header after its first 8).
constexpr std::uint32_t MAX_DATA_BYTES = 0xFFFFFFFFu - (BYTES - 8);

// p_Value's p_Bytes lowest bytes at p_At, least significant first, as WAV stores numbers.
inline void PutLittle(unsigned char* p_At, std::uint32_t p_Value, int p_Bytes)
{
    for (int l_Byte = 0; l_Byte < p_Bytes; ++l_Byte)
        p_At[l_Byte] = static_cast<unsigned char>(p_Value >> (8 * l_Byte));
}

// The BYTES of the header at p_Out for p_DataBytes of sound (at most MAX_DATA_BYTES) in
// p_Channels channels at p_Rate frames a second.
inline void Write(unsigned char* p_Out, std::uint32_t p_Rate, unsigned p_Channels, std::uint32_t p_DataBytes)
{
    const unsigned l_FrameBytes = p_Channels * 2;
    const char* const l_Tags[] = {"RIFF", "WAVE", "fmt ", "data"};
    const unsigned l_TagAt[] = {0, 8, 12, 36};
    for (int l_Tag = 0; l_Tag < 4; ++l_Tag)
        for (int l_Char = 0; l_Char < 4; ++l_Char)
            p_Out[l_TagAt[l_Tag] + l_Char] = static_cast<unsigned char>(l_Tags[l_Tag][l_Char]);
    PutLittle(p_Out + 4, p_DataBytes + (BYTES - 8), 4);
    PutLittle(p_Out + 16, 16, 4);  // the plain PCM format record's size
    PutLittle(p_Out + 20, 1, 2);   // integer PCM
    PutLittle(p_Out + 22, p_Channels, 2);
    PutLittle(p_Out + 24, p_Rate, 4);
    PutLittle(p_Out + 28, p_Rate * l_FrameBytes, 4);  // bytes per second
    PutLittle(p_Out + 32, l_FrameBytes, 2);
    PutLittle(p_Out + 34, 16, 2);  // bits per sample
    PutLittle(p_Out + 40, p_DataBytes, 4);
}

}  // namespace WavHeader

#endif
