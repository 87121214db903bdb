#include "WavWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace SampleGen {

namespace {

void PutU16(std::vector<std::uint8_t>& p_Bytes, std::uint16_t p_Value)
{
    p_Bytes.push_back(static_cast<std::uint8_t>(p_Value & 0xFF));
    p_Bytes.push_back(static_cast<std::uint8_t>(p_Value >> 8));
}

void PutU32(std::vector<std::uint8_t>& p_Bytes, std::uint32_t p_Value)
{
    PutU16(p_Bytes, static_cast<std::uint16_t>(p_Value & 0xFFFF));
    PutU16(p_Bytes, static_cast<std::uint16_t>(p_Value >> 16));
}

void PutTag(std::vector<std::uint8_t>& p_Bytes, const char* p_Tag)
{
    p_Bytes.insert(p_Bytes.end(), p_Tag, p_Tag + 4);
}

}  // namespace

bool WriteWav16Mono(const std::string& p_Path, std::uint32_t p_SampleRate,
                    const std::vector<std::int16_t>& p_Samples, std::string& p_Error)
{
    const std::uint32_t l_DataBytes = static_cast<std::uint32_t>(p_Samples.size() * 2);
    std::vector<std::uint8_t> l_Bytes;
    l_Bytes.reserve(44 + l_DataBytes);
    PutTag(l_Bytes, "RIFF");
    PutU32(l_Bytes, 36 + l_DataBytes);
    PutTag(l_Bytes, "WAVE");
    PutTag(l_Bytes, "fmt ");
    PutU32(l_Bytes, 16);               // size of the format block
    PutU16(l_Bytes, 1);                // integer PCM
    PutU16(l_Bytes, 1);                // one channel
    PutU32(l_Bytes, p_SampleRate);
    PutU32(l_Bytes, p_SampleRate * 2); // bytes per second
    PutU16(l_Bytes, 2);                // bytes per frame
    PutU16(l_Bytes, 16);               // bits per sample
    PutTag(l_Bytes, "data");
    PutU32(l_Bytes, l_DataBytes);
    for (std::int16_t l_Sample : p_Samples) {
        PutU16(l_Bytes, static_cast<std::uint16_t>(l_Sample));
    }

    std::FILE* l_File = std::fopen(p_Path.c_str(), "wb");
    if (!l_File) {
        p_Error = p_Path + ": " + std::strerror(errno);
        return false;
    }
    const bool l_Written = std::fwrite(l_Bytes.data(), 1, l_Bytes.size(), l_File) == l_Bytes.size();
    const bool l_Closed = std::fclose(l_File) == 0;
    if (!l_Written || !l_Closed) {
        p_Error = p_Path + ": write failed";
        return false;
    }
    return true;
}

}  // namespace SampleGen
