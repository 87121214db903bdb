#include "AudioFileWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "OutputPlatform.h"
#include "SndFileLibrary.h"
#include "WavHeader.h"

namespace {

struct FormatEntry
{
    AudioFormat format;
    const char* word;
    int sndfile;  // libsndfile's format; 0 for the raw data we write ourselves (WAV: after a header)
};

const FormatEntry FORMATS[] = {
    {AudioFormat::WAV, "wav", 0},
    {AudioFormat::FLAC, "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {AudioFormat::OGG, "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {AudioFormat::RAW, "raw", 0},
};

const FormatEntry& Entry(AudioFormat p_Format)
{
    return *std::find_if(std::begin(FORMATS), std::end(FORMATS),
                         [&](const FormatEntry& p_Entry) { return p_Entry.format == p_Format; });
}

constexpr unsigned WAV_HEADER_BYTES = WavHeader::BYTES;
constexpr unsigned long long WAV_MAX_DATA_BYTES = WavHeader::MAX_DATA_BYTES;

void PutLittle(unsigned char*& p_At, unsigned long p_Value, int p_Bytes)
{
    for (int i = 0; i < p_Bytes; ++i)
        *p_At++ = static_cast<unsigned char>(p_Value >> (8 * i));
}

bool LittleEndian()
{
    const std::uint16_t l_One = 1;
    unsigned char l_First;
    std::memcpy(&l_First, &l_One, 1);
    return l_First == 1;
}

}  // namespace

bool FormatFromWord(const std::string& p_Word, AudioFormat& p_Format)
{
    for (const FormatEntry& l_Entry : FORMATS)
        if (p_Word == l_Entry.word) {
            p_Format = l_Entry.format;
            return true;
        }
    return false;
}

const char* FormatWord(AudioFormat p_Format) { return Entry(p_Format).word; }

std::string PathExtension(const std::string& p_Path)
{
    const std::string l_Name = PathFileName(p_Path);
    const std::size_t l_Dot = l_Name.rfind('.');
    if (l_Dot == std::string::npos || l_Dot == 0)
        return "";
    std::string l_Extension = l_Name.substr(l_Dot + 1);
    for (char& l_Char : l_Extension)
        l_Char = static_cast<char>(std::tolower(static_cast<unsigned char>(l_Char)));
    return l_Extension;
}

AudioFileWriter::~AudioFileWriter()
{
    if (file != nullptr)
        sndfile->sf_close(file);
}

std::string AudioFileWriter::CannotHold(AudioFormat p_Format, int p_Channels, unsigned long long p_Frames)
{
    const unsigned long long l_Bytes = p_Frames * static_cast<unsigned>(p_Channels) * sizeof(std::int16_t);
    if (p_Format != AudioFormat::WAV || l_Bytes <= WAV_MAX_DATA_BYTES)
        return "";
    return "a WAV file holds at most 4 GiB of sound and this render needs " + std::to_string(l_Bytes >> 30) +
           " GiB; write .flac or .raw, or lower --rate or the length";
}

bool AudioFileWriter::Open(int p_Fd, AudioFormat p_Format, int p_Rate, int p_Channels,
                           unsigned long long p_Frames, std::string& p_Error)
{
    fd = p_Fd;
    channels = p_Channels;
    // A file opened for appending (a shell's >>) writes at its end whatever the position: a stream.
    seekable = RegularSize(p_Fd) >= 0 && !AppendOnly(p_Fd);
    base = seekable ? SeekDescriptor(p_Fd, 0, SEEK_CUR) : 0;
    position = 0;
    failure = 0;

    if (p_Format == AudioFormat::WAV) {
        p_Error = CannotHold(p_Format, p_Channels, p_Frames);
        if (!p_Error.empty())
            return false;
        unsigned char l_Header[WAV_HEADER_BYTES];
        WavHeader::Write(l_Header, static_cast<std::uint32_t>(p_Rate), static_cast<unsigned>(p_Channels),
                         static_cast<std::uint32_t>(p_Frames * p_Channels * 2));
        if (!WriteAll(l_Header, sizeof(l_Header)))
            return !Failed(p_Error);
        base += WAV_HEADER_BYTES;
        position = 0;
    }

    if (Entry(p_Format).sndfile == 0)
        return true;
    const char* l_Library = nullptr;
    sndfile = SndFileWriter(l_Library);
    if (sndfile == nullptr) {
        p_Error = std::string("writing ") + FormatWord(p_Format) + " needs libsndfile (" + l_Library +
                  "), which cannot be loaded; write .wav or .raw";
        return false;
    }
    SF_VIRTUAL_IO l_Io = {GetLength, Seek, Read, WriteBytes, Tell};
    SF_INFO l_Info = {};
    l_Info.samplerate = p_Rate;
    l_Info.channels = p_Channels;
    l_Info.format = Entry(p_Format).sndfile;
    file = sndfile->sf_open_virtual(&l_Io, SFM_WRITE, &l_Info, this);
    if (file == nullptr) {
        if (!Failed(p_Error))
            p_Error = sndfile->sf_strerror(nullptr);
        return false;
    }
    return true;
}

bool AudioFileWriter::Write(const std::int16_t* p_Stereo, std::size_t p_Count, std::string& p_Error)
{
    const std::int16_t* l_Frames = p_Stereo;
    if (channels == 1) {
        mono.resize(p_Count);
        for (std::size_t i = 0; i < p_Count; ++i)
            mono[i] = static_cast<std::int16_t>((p_Stereo[2 * i] + p_Stereo[2 * i + 1]) / 2);
        l_Frames = mono.data();
    }
    if (file == nullptr) {
        WritePcm(l_Frames, p_Count);
        return !Failed(p_Error);
    }
    const sf_count_t l_Written = sndfile->sf_writef_short(file, l_Frames, static_cast<sf_count_t>(p_Count));
    if (Failed(p_Error))
        return false;
    if (l_Written != static_cast<sf_count_t>(p_Count)) {
        p_Error = sndfile->sf_strerror(file);
        return false;
    }
    return true;
}

bool AudioFileWriter::WritePcm(const std::int16_t* p_Frames, std::size_t p_Count)
{
    const std::size_t l_Samples = p_Count * static_cast<std::size_t>(channels);
    if (LittleEndian())
        return WriteAll(p_Frames, l_Samples * sizeof(std::int16_t));
    bytes.resize(l_Samples * 2);
    unsigned char* l_At = bytes.data();
    for (std::size_t i = 0; i < l_Samples; ++i)
        PutLittle(l_At, static_cast<std::uint16_t>(p_Frames[i]), 2);
    return WriteAll(bytes.data(), bytes.size());
}

bool AudioFileWriter::Close(std::string& p_Error)
{
    const int l_Closed = file != nullptr ? sndfile->sf_close(file) : 0;
    file = nullptr;
    if (Failed(p_Error))
        return false;
    if (l_Closed != 0) {
        p_Error = sndfile->sf_error_number(l_Closed);
        return false;
    }
    return true;
}

bool AudioFileWriter::Failed(std::string& p_Error) const
{
    if (failure == 0)
        return false;
    p_Error = std::strerror(failure);
    return true;
}

bool AudioFileWriter::WriteAll(const void* p_Buffer, std::size_t p_Bytes)
{
    const char* l_At = static_cast<const char*>(p_Buffer);
    while (failure == 0 && p_Bytes > 0) {
        const ssize_t l_Done = write(fd, l_At, p_Bytes);
        if (l_Done < 0 && errno == EINTR)
            continue;
        if (l_Done <= 0) {
            failure = l_Done < 0 ? errno : EIO;
            break;
        }
        l_At += l_Done;
        p_Bytes -= static_cast<std::size_t>(l_Done);
        position += l_Done;
    }
    return failure == 0;
}

sf_count_t AudioFileWriter::GetLength(void* p_Self)
{
    AudioFileWriter& l_Self = *static_cast<AudioFileWriter*>(p_Self);
    const long long l_Size = l_Self.seekable ? RegularSize(l_Self.fd) : -1;
    if (l_Size >= 0)
        return std::max<sf_count_t>(0, l_Size - l_Self.base);
    return l_Self.position;
}

sf_count_t AudioFileWriter::Seek(sf_count_t p_Offset, int p_Whence, void* p_Self)
{
    AudioFileWriter& l_Self = *static_cast<AudioFileWriter*>(p_Self);
    if (l_Self.seekable) {
        const long long l_To =
            SeekDescriptor(l_Self.fd, p_Whence == SEEK_SET ? l_Self.base + p_Offset : p_Offset, p_Whence);
        return l_To < 0 ? -1 : l_To - l_Self.base;
    }
    // A stream stays where it is: only a seek that goes nowhere succeeds.
    const sf_count_t l_To = p_Whence == SEEK_SET ? p_Offset : l_Self.position + p_Offset;
    return p_Whence != SEEK_END && l_To == l_Self.position ? l_To : -1;
}

sf_count_t AudioFileWriter::Read(void*, sf_count_t, void*) { return 0; }  // written, never read

sf_count_t AudioFileWriter::WriteBytes(const void* p_Buffer, sf_count_t p_Bytes, void* p_Self)
{
    AudioFileWriter& l_Self = *static_cast<AudioFileWriter*>(p_Self);
    const long long l_Before = l_Self.position;
    l_Self.WriteAll(p_Buffer, static_cast<std::size_t>(p_Bytes));
    return l_Self.position - l_Before;
}

sf_count_t AudioFileWriter::Tell(void* p_Self)
{
    AudioFileWriter& l_Self = *static_cast<AudioFileWriter*>(p_Self);
    if (l_Self.seekable) {
        const long long l_At = SeekDescriptor(l_Self.fd, 0, SEEK_CUR);
        return l_At < 0 ? -1 : l_At - l_Self.base;
    }
    return l_Self.position;
}
