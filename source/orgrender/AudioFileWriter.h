#ifndef TUNEWRIGHT_AUDIOFILEWRITER_H
#define TUNEWRIGHT_AUDIOFILEWRITER_H

// The renderer's one way of writing audio onto an open descriptor (a file, a pipe, a terminal), in
// the format the user asked for: raw little-endian 16-bit frames by our own code, FLAC and Ogg
// Vorbis through libsndfile, which is loaded only then (SndFileLibrary.h).
//
// WAV is written as a header followed by the raw data. The header's sizes are known before the
// first frame is mixed (the render's length is fixed by its loops or seconds), so it is written
// once, first, with its final values; a WAV writer that fills the sizes in at the end by seeking
// back cannot write to a pipe. A file and a pipe therefore get the same bytes, and no "unknown
// length" convention is needed.
#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

struct SndFileWriterApi;

enum class AudioFormat { WAV, FLAC, OGG, RAW };

// The format a lower-case word names ("wav", "flac", "ogg", "raw"); false for any other word.
bool FormatFromWord(const std::string& p_Word, AudioFormat& p_Format);
// The word, which is also the file name extension, of p_Format.
const char* FormatWord(AudioFormat p_Format);
// The extension of the last part of p_Path, lower-cased and without its dot; empty when none.
std::string PathExtension(const std::string& p_Path);

class AudioFileWriter
{
public:
    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Why p_Frames frames of p_Channels cannot be written as p_Format (a WAV file counts its bytes
    // in 32 bits); empty when they can.
    static std::string CannotHold(AudioFormat p_Format, int p_Channels, unsigned long long p_Frames);

    // Starts a stream of exactly p_Frames frames on p_Fd, which stays open and owned by the caller.
    // False, with the reason, when the header cannot be written, or libsndfile is missing or
    // refuses the format.
    bool Open(int p_Fd, AudioFormat p_Format, int p_Rate, int p_Channels, unsigned long long p_Frames,
              std::string& p_Error);
    // Writes p_Count interleaved stereo frames, as one channel (the mean of the two) when the
    // stream is mono. False, with the system's reason, once any write has failed.
    bool Write(const std::int16_t* p_Stereo, std::size_t p_Count, std::string& p_Error);
    // Ends the stream (an encoder's last data, a FLAC file's totals). False, with the reason, when
    // that or any earlier write failed.
    bool Close(std::string& p_Error);

private:
    // libsndfile's view of the descriptor: positions count from the end of the WAV header, and a
    // descriptor that is not a regular file is a stream that only moves forward.
    static sf_count_t GetLength(void* p_Self);
    static sf_count_t Seek(sf_count_t p_Offset, int p_Whence, void* p_Self);
    static sf_count_t Read(void* p_Buffer, sf_count_t p_Bytes, void* p_Self);
    static sf_count_t WriteBytes(const void* p_Buffer, sf_count_t p_Bytes, void* p_Self);
    static sf_count_t Tell(void* p_Self);
    bool WriteAll(const void* p_Buffer, std::size_t p_Bytes);
    bool Failed(std::string& p_Error) const;

    // Writes p_Count frames of p_Channels ourselves, as little-endian 16-bit samples.
    bool WritePcm(const std::int16_t* p_Frames, std::size_t p_Count);

    const SndFileWriterApi* sndfile = nullptr;  // set while FLAC or Ogg is written
    SNDFILE* file = nullptr;
    int fd = -1;
    bool seekable = false;
    long long base = 0;      // bytes before libsndfile's first (the WAV header)
    long long position = 0;  // where a stream stands, after the base
    int failure = 0;         // the first write's errno, 0 while all went well
    int channels = 2;
    std::vector<std::int16_t> mono;
    std::vector<unsigned char> bytes;  // little-endian samples, on a big-endian system
};

#endif
