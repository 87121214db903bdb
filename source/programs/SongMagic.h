#ifndef TUNEWRIGHT_SONGMAGIC_H
#define TUNEWRIGHT_SONGMAGIC_H

#include <cstdint>
#include <string>
#include <vector>

// Why the tools turn down p_Bytes read from p_Name unless forced: "'NAME' is not an Org-02 song
// (it begins with "...")". Empty when the bytes begin with the song magic. The library itself
// loads such files; only the tools ask for --force first.
std::string ForeignSongProblem(const std::string& p_Name, const std::vector<std::uint8_t>& p_Bytes);

// The first bytes, as many as the magic holds, as one line of text: anything unprintable as '?'.
std::string SongStart(const std::vector<std::uint8_t>& p_Bytes);

#endif
