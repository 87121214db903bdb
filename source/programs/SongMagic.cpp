#include "SongMagic.h"

#include "OrgSongTypes.h"

std::string ForeignSongProblem(const std::string& p_Name, const std::vector<std::uint8_t>& p_Bytes)
{
    if (Org::HasSongMagic(p_Bytes.data(), p_Bytes.size()))
        return {};
    return "'" + p_Name + "' is not an Org-02 song (it begins with \"" + SongStart(p_Bytes) + "\")";
}

std::string SongStart(const std::vector<std::uint8_t>& p_Bytes)
{
    std::string l_Shown;
    for (std::size_t i = 0; i < p_Bytes.size() && i < sizeof(Org::SONG_MAGIC); ++i)
        l_Shown += p_Bytes[i] >= 0x20 && p_Bytes[i] < 0x7f ? static_cast<char>(p_Bytes[i]) : '?';
    return l_Shown;
}
