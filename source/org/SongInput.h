#ifndef TUNEWRIGHT_SONGINPUT_H
#define TUNEWRIGHT_SONGINPUT_H

// Reading the bytes of a song from a path or an open descriptor, without ever blocking forever.
#include <cstdint>
#include <string>
#include <vector>

#include "OrgExport.h"

namespace Org {

// How long an input that is not a regular file (a FIFO, a device) may stay silent before it
// delivers its first bytes; a FIFO with no writer is refused after this.
constexpr int SONG_INPUT_WAIT_MS = 2000;

// Replaces p_Bytes by the bytes of the song at p_Path, up to MAX_SONG_BYTES. A regular file is
// read as it is; anything else is opened without blocking and refused when nothing arrives
// within SONG_INPUT_WAIT_MS, while a FIFO whose writer is present is read to its end.
// False, with the reason (the system's words where it has them) in p_Error, when the path
// cannot be opened or read.
ORG_API bool ReadSongInput(const std::string& p_Path, std::vector<std::uint8_t>& p_Bytes,
                           std::string& p_Error);

// As ReadSongInput with p_Limit in place of MAX_SONG_BYTES: given one byte more, a caller learns
// whether the input holds more than any song can. Internal to the library.
bool ReadBoundedInput(const std::string& p_Path, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes,
                      std::string& p_Error);

// The same from a descriptor that is already open (standard input); it is left open.
ORG_API bool ReadSongInput(int p_Fd, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error);

// As ReadSongInput from a descriptor, with p_Limit in place of MAX_SONG_BYTES. Internal to the library.
bool ReadBoundedInput(int p_Fd, std::size_t p_Limit, std::vector<std::uint8_t>& p_Bytes, std::string& p_Error);

}  // namespace Org

#endif
