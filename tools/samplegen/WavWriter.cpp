#include "WavWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "WavHeader.h"

namespace SampleGen {

bool WriteWav16Mono(const std::string& p_Path, std::uint32_t p_SampleRate,
                    const std::vector<std::int16_t>& p_Samples, std::string& p_Error)
{
    const std::uint32_t l_DataBytes = static_cast<std::uint32_t>(p_Samples.size() * 2);
    std::vector<std::uint8_t> l_Bytes(WavHeader::BYTES + l_DataBytes);
    WavHeader::Write(l_Bytes.data(), p_SampleRate, 1, l_DataBytes);
    for (std::size_t l_Index = 0; l_Index < p_Samples.size(); ++l_Index)
        WavHeader::PutLittle(&l_Bytes[WavHeader::BYTES + 2 * l_Index],
                             static_cast<std::uint16_t>(p_Samples[l_Index]), 2);

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
