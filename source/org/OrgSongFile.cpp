// Reading and writing the Org-02 file: a 6-byte magic, the 12-byte header, sixteen 6-byte
// instrument records, then for each track five columns (4-byte positions, then notes,
// lengths, volumes and pans of one byte each). All integers are little-endian.
#include "OrgSong.h"

#include "OrgLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "FileOpen.h"
#include "FileReplace.h"
#include "SongInput.h"

namespace Org {

namespace {

static_assert(sizeof(SONG_MAGIC) + sizeof(Header) + sizeof(Instrument) * TRACK_COUNT == SONG_HEAD_BYTES,
              "the head of the file is the magic, the header and the instruments");

constexpr bool HostIsLittleEndian()
{
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return false;
#else
    return true;
#endif
}

std::uint32_t SwapBytes(std::uint32_t p_Value)
{
    return (p_Value >> 24) | ((p_Value >> 8) & 0xFF00u) | ((p_Value << 8) & 0xFF0000u) | (p_Value << 24);
}

std::uint16_t SwapBytes(std::uint16_t p_Value)
{
    return static_cast<std::uint16_t>((p_Value >> 8) | (p_Value << 8));
}

// The header and instrument records are stored in file byte order on any host.
void HeaderToFileOrder(Header& p_Header)
{
    if (HostIsLittleEndian())
        return;
    p_Header.tempo = SwapBytes(p_Header.tempo);
    p_Header.loopstart = SwapBytes(p_Header.loopstart);
    p_Header.loopstop = SwapBytes(p_Header.loopstop);
}

void InstrumentsToFileOrder(Instrument* p_Instruments)
{
    if (HostIsLittleEndian())
        return;
    for (int i = 0; i < TRACK_COUNT; ++i) {
        p_Instruments[i].pitch = SwapBytes(p_Instruments[i].pitch);
        p_Instruments[i].numnotes = SwapBytes(p_Instruments[i].numnotes);
    }
}

// The bytes of a song being parsed, read front to back.
struct ByteCursor
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at;

    // Copies what is left, up to p_Bytes, into p_Buffer; bytes not delivered keep their value.
    // Returns how many were delivered.
    std::size_t Take(void* p_Buffer, std::size_t p_Bytes)
    {
        const std::size_t l_Delivered = std::min(p_Bytes, size - at);
        if (l_Delivered != 0)
            std::memcpy(p_Buffer, data + at, l_Delivered);
        at += l_Delivered;
        return l_Delivered;
    }
};

// True when all p_Bytes were there.
bool ReadBlock(ByteCursor& p_Cursor, void* p_Buffer, std::size_t p_Bytes)
{
    return p_Cursor.Take(p_Buffer, p_Bytes) == p_Bytes;
}

// Reads a column of p_Count entries straight into its storage; entries the data does not
// hold become 0. Resizing keeps old entries rather than clearing them first, so a column
// is written once, by the read, not twice.
template <typename T> bool ReadColumn(ByteCursor& p_Cursor, std::vector<T>& p_Column, std::size_t p_Count)
{
    p_Column.resize(p_Count);
    const std::size_t l_Bytes = p_Count * sizeof(T);
    const std::size_t l_Delivered = p_Cursor.Take(p_Column.data(), l_Bytes);
    if (l_Delivered < l_Bytes)
        std::memset(reinterpret_cast<char*>(p_Column.data()) + l_Delivered, 0, l_Bytes - l_Delivered);
    return l_Delivered == l_Bytes;
}

// The size of a file whose instrument records (in host order) hold these note counts.
std::size_t DeclaredBytes(const Instrument (&p_Instruments)[TRACK_COUNT])
{
    std::size_t l_Bytes = SONG_HEAD_BYTES;
    for (const Instrument& l_Instrument : p_Instruments)
        l_Bytes += 8 * static_cast<std::size_t>(l_Instrument.numnotes);
    return l_Bytes;
}

void Append(std::vector<std::uint8_t>& p_Bytes, const void* p_Data, std::size_t p_Size)
{
    const std::uint8_t* l_Data = static_cast<const std::uint8_t*>(p_Data);
    p_Bytes.insert(p_Bytes.end(), l_Data, l_Data + p_Size);
}

// Appends exactly p_Count entries of a byte column, padding with zeros where it is short.
void AppendColumn(std::vector<std::uint8_t>& p_Bytes, const std::vector<std::uint8_t>& p_Column,
                  std::size_t p_Count)
{
    const std::size_t l_Held = std::min(p_Column.size(), p_Count);
    Append(p_Bytes, p_Column.data(), l_Held);
    p_Bytes.resize(p_Bytes.size() + p_Count - l_Held, 0);
}

}  // namespace

bool OrgSong::LoadFromFile(std::string filename)
{
    std::vector<std::uint8_t> l_Bytes;
    std::string l_Ignored;
    const bool l_Read = ReadSongInput(filename, l_Bytes, l_Ignored);
    // An unreadable path loads as the blank song, like an empty file.
    const bool l_Complete = LoadFromMemory(l_Bytes.data(), l_Bytes.size());
    return l_Read && l_Complete;
}

bool OrgSong::LoadFromMemory(const void* p_Data, std::size_t p_Size)
{
    ResetToBlank(false);  // the blank song; every column is sized below
    ByteCursor l_Cursor = {static_cast<const std::uint8_t*>(p_Data), p_Data == nullptr ? 0 : p_Size, 0};

    char l_Magic[sizeof(SONG_MAGIC)];  // read past, not compared: other versions load by the same layout
    bool l_Complete = ReadBlock(l_Cursor, l_Magic, sizeof(l_Magic));

    HeaderToFileOrder(header);  // bytes the data does not supply keep their blank values
    l_Complete &= ReadBlock(l_Cursor, &header, sizeof(header));
    HeaderToFileOrder(header);
    SetTempo(header.tempo);

    l_Complete &= ReadBlock(l_Cursor, instruments, sizeof(instruments));
    InstrumentsToFileOrder(instruments);

    for (int l_Track = 0; l_Track < TRACK_COUNT; ++l_Track) {
        const std::size_t l_Count = instruments[l_Track].numnotes;
        l_Complete &= ReadColumn(l_Cursor, notepos[l_Track], l_Count);
        if (!HostIsLittleEndian())
            for (std::uint32_t& l_Pos : notepos[l_Track])
                l_Pos = SwapBytes(l_Pos);
        l_Complete &= ReadColumn(l_Cursor, notenote[l_Track], l_Count);
        l_Complete &= ReadColumn(l_Cursor, notelength[l_Track], l_Count);
        l_Complete &= ReadColumn(l_Cursor, notevolume[l_Track], l_Count);
        l_Complete &= ReadColumn(l_Cursor, notepan[l_Track], l_Count);
    }

    // The count the header declares, not what the data delivered.
    char l_Message[64];
    std::snprintf(l_Message, sizeof l_Message, "Read in %zu bytes.\n", DeclaredBytes(instruments));
    Log(l_Message, stderr);
    return l_Complete;
}

SongBytes CheckSongBytes(const void* p_Data, std::size_t p_Size, bool p_AnyMagic)
{
    if (!p_AnyMagic && !HasSongMagic(p_Data, p_Size))
        return SongBytes::NOT_A_SONG;
    if (p_Data == nullptr || p_Size < SONG_HEAD_BYTES)
        return SongBytes::TRUNCATED;
    Instrument l_Instruments[TRACK_COUNT];
    std::memcpy(l_Instruments, static_cast<const std::uint8_t*>(p_Data) + sizeof(SONG_MAGIC) + sizeof(Header),
                sizeof(l_Instruments));
    InstrumentsToFileOrder(l_Instruments);
    return p_Size < DeclaredBytes(l_Instruments) ? SongBytes::TRUNCATED : SongBytes::WHOLE;
}

bool OrgSong::SaveToFile(std::string filename)
{
    std::vector<std::uint8_t> l_Bytes;
    try {
        l_Bytes = SaveToMemory();
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A regular file is replaced only once the new one is complete, so that a save that fails
    // (a full disk, a file-size limit) leaves the old song whole; anything else is written straight.
    FileTarget l_Target;
    std::string l_Error;
    if (!FindFileTarget(filename, l_Target, l_Error))
        return false;
    std::string l_Temporary;
    std::FILE* l_File = l_Target.viaTemporary ? CreateTemporary(l_Target, l_Temporary, l_Error)
                                              : OpenForWritingNow(l_Target.path);
    if (l_File == nullptr)
        return false;
    const bool l_Written =
        std::fwrite(l_Bytes.data(), 1, l_Bytes.size(), l_File) == l_Bytes.size() && std::fflush(l_File) == 0;
    const bool l_Closed = std::fclose(l_File) == 0;
    if (!l_Target.viaTemporary)
        return l_Written && l_Closed;
    if (!l_Written || !l_Closed) {
        RemoveFile(l_Temporary);
        return false;
    }
    return CommitTemporary(l_Temporary, l_Target, l_Error);
}

std::vector<std::uint8_t> OrgSong::SaveToMemory() const
{
    Header l_Header = header;
    HeaderToFileOrder(l_Header);
    Instrument l_Instruments[TRACK_COUNT];
    std::memcpy(l_Instruments, instruments, sizeof(l_Instruments));
    InstrumentsToFileOrder(l_Instruments);

    std::vector<std::uint8_t> l_Bytes;
    l_Bytes.reserve(DeclaredBytes(instruments));
    Append(l_Bytes, SONG_MAGIC, sizeof(SONG_MAGIC));
    Append(l_Bytes, &l_Header, sizeof(l_Header));
    Append(l_Bytes, l_Instruments, sizeof(l_Instruments));

    // Exactly numnotes events per track, so the file always agrees with its own counts.
    for (int l_Track = 0; l_Track < TRACK_COUNT; ++l_Track) {
        const std::size_t l_Count = instruments[l_Track].numnotes;
        const std::size_t l_Held = std::min(notepos[l_Track].size(), l_Count);
        for (std::size_t i = 0; i < l_Count; ++i) {
            const std::uint32_t l_Pos = i < l_Held ? notepos[l_Track][i] : 0;
            const std::uint32_t l_FileOrder = HostIsLittleEndian() ? l_Pos : SwapBytes(l_Pos);
            Append(l_Bytes, &l_FileOrder, sizeof(l_FileOrder));
        }
        AppendColumn(l_Bytes, notenote[l_Track], l_Count);
        AppendColumn(l_Bytes, notelength[l_Track], l_Count);
        AppendColumn(l_Bytes, notevolume[l_Track], l_Count);
        AppendColumn(l_Bytes, notepan[l_Track], l_Count);
    }
    return l_Bytes;
}

}  // namespace Org
