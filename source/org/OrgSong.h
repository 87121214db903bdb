#ifndef TUNEWRIGHT_ORGSONG_H
#define TUNEWRIGHT_ORGSONG_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "OrgExport.h"
#include "OrgSongTypes.h"
#include "SampleData.h"

namespace Org {

// What a song's bytes hold, judged strictly. OrgSong itself reads any bytes (short ones fill up
// with blanks); the C interface and the tools refuse what is not WHOLE.
enum class SongBytes { WHOLE, NOT_A_SONG, TRUNCATED };

// NOT_A_SONG when the bytes do not begin with SONG_MAGIC (unless p_AnyMagic), TRUNCATED when they
// end before the head or before the note data that their own note counts declare.
ORG_API SongBytes CheckSongBytes(const void* p_Data, std::size_t p_Size, bool p_AnyMagic = false);

// One song in memory (header, sixteen instruments, sixteen tracks of notes) and its clock.
// The clock counts beats of `tempo` milliseconds and loops from loopstop to loopstart forever.
class ORG_API OrgSong
{
public:
    OrgSong();                                        // the blank song
    OrgSong(std::string filename);                    // the song in that file (blank where it falls short)
    OrgSong(const void* p_Data, std::size_t p_Size);  // the song in those bytes, read as a file's
    ~OrgSong();

    // Song data. Each load stops and rewinds the clock.
    bool LoadBlank();                         // tempo 140, 4/4, loop 0..0, no events; always true
    bool LoadFromFile(std::string filename);  // false if unopenable or shorter than its counts
    // The bytes of an Org-02 file, read exactly as LoadFromFile reads the file (the same
    // message too); false if they are shorter than their counts. Null with size 0 is empty.
    bool LoadFromMemory(const void* p_Data, std::size_t p_Size);
    // False if unopenable or not every byte written; a failed save leaves the old file whole.
    // The new file is written as FILENAME.tmp-PID-N beside it and renamed over it at the end; a
    // library cannot catch signals, so a process killed by one during the save (SIGXFSZ at its
    // default action under a file-size limit, SIGKILL) leaves that temporary behind.
    bool SaveToFile(std::string filename);
    // The bytes of the song as an Org-02 file: exactly what SaveToFile writes.
    std::vector<std::uint8_t> SaveToMemory() const;

    const Header& GetHeader() const;
    std::vector<NoteEvent> GetEvents(int p_Track) const;  // empty for a track outside 0..15
    // Replaces a track's events and its numnotes; false (nothing changed) for a bad track
    // or more than 65535 events.
    bool SetEvents(int p_Track, const std::vector<NoteEvent>& p_Events);
    // One event at a time, for editors; each keeps the other events where they are, and numnotes
    // true. Events a caller cut off by lowering numnotes are dropped by the first change.
    std::size_t EventCount(int p_Track) const;                  // 0 for a track outside 0..15
    NoteEvent GetEvent(int p_Track, std::size_t p_Index) const;  // blank outside the events
    // False (nothing changed) for a bad track or index, or a track holding 65535 events already.
    bool InsertEventAt(int p_Track, std::size_t p_Index, const NoteEvent& p_Event);
    bool SetEventAt(int p_Track, std::size_t p_Index, const NoteEvent& p_Event);
    bool RemoveEventAt(int p_Track, std::size_t p_Index);
    // Per event of a track, whether it starts a note when the song reaches its beat, by
    // GetNoteHit's rule: at each beat the first event in index order that starts there or still
    // sounds there is heard, so an event of length 0, or one that an earlier event covers, starts
    // nothing. Empty for a track outside 0..15.
    std::vector<bool> NoteStarts(int p_Track) const;

    // A run of beats over which a track sounds one thing: the same key, volume and pan, as
    // GetNoteHit gives them at each of its beats.
    struct SoundRun
    {
        std::uint32_t pos;               // its first beat
        std::uint64_t end;               // the beat after its last
        bool struck;                     // a note starts on its first beat (playing 1), else one goes on
        std::uint8_t note, volume, pan;  // as stored (pan NO_PAN sounds in the centre)
    };
    // What a track sounds, as runs in beat order: GetNoteHit at every beat, found without asking it
    // beat by beat. Each beat it plays lies in one run, and a run that goes on differs from the run
    // before it. A note that goes on takes the key of the first event, in index order, that still
    // covers the beat, so a held note can change key and outlast the event that struck it. Empty
    // for a track outside 0..15.
    std::vector<SoundRun> SoundRuns(int p_Track) const;

    // The clock.
    bool Play();                     // toggles playing; returns the new state
    bool Play(unsigned int p_Beat);  // moves to the beat and plays; true
    bool Pause();                    // stops the clock where it is; true
    bool Stop();                     // stops and rewinds to beat 0; true
    bool IsPlaying();
    unsigned int GetCursor();             // the current beat
    long double GetPosition() const;      // the cursor in beats, fraction included
    bool SetCursor(unsigned int p_Beat);  // moves to the beat and reports it as new; true
    int Update();                         // Update(SDL_GetTicks())
    int Update(unsigned long p_Ticks);    // advances to that tick count; returns ms elapsed

    // What a track plays at the current beat, or at a given one.
    SampleData GetNoteHit(int instrument);
    SampleData GetNoteHit(int instrument, int pcursor);

    // Setters store what they are given, unchecked (except the preset table).
    bool SetTempo(unsigned short to);
    bool SetSPBABPS(SPBABPS to);  // false with a message for a value outside the table
    // Any bar layout, preset or not: steps_bar and beats_step as they are stored.
    bool SetBarLayout(std::uint8_t p_StepsBar, std::uint8_t p_BeatsStep);
    bool SetLoopStart(unsigned int to);
    bool SetLoopStop(unsigned int to);
    unsigned short GetTempo();
    SPBABPS GetSPBABPS();  // the preset matching the header, else _ARB
    unsigned int GetLoopStart();
    unsigned int GetLoopStop();

private:
    // The blank song's header, instruments and clock; the columns too when asked (a load
    // that is about to size every column itself skips that).
    void ResetToBlank(bool p_ClearColumns);
    // Events of a track that exist in all five columns (a caller may have changed numnotes).
    std::size_t UsableEvents(int p_Track) const;
    // Cuts every column of the track to its usable events; returns their count.
    std::size_t TrimToUsable(int p_Track);
    // What a track sounds at p_Beat, when p_Event is the first of its p_Count events that covers it.
    struct Heard
    {
        int playing;  // as SampleData's
        int length;   // as SampleData's
        std::uint8_t note, volume, pan;
    };
    Heard HeardAt(int p_Track, std::size_t p_Event, std::size_t p_Count, std::uint32_t p_Beat) const;

    Header header;
    std::vector<std::uint32_t> notepos[TRACK_COUNT];
    std::vector<std::uint8_t> notenote[TRACK_COUNT];
    std::vector<std::uint8_t> notelength[TRACK_COUNT];
    std::vector<std::uint8_t> notevolume[TRACK_COUNT];
    std::vector<std::uint8_t> notepan[TRACK_COUNT];
    long double cursor;
    bool isPlaying;
    bool useLoopPoints;  // cleared by every load; nothing reads it: the loop always applies
    unsigned long msSinceBeat;
    unsigned long msLastUpdate;
    bool updatedSinceReset;  // msLastUpdate holds a time (any tick, 0 included)

public:
    bool cursorUpdated;  // a new beat began (or the song was just loaded)
    Instrument instruments[TRACK_COUNT];
    unsigned long msPerBeat;  // always equal to the header's tempo
};

}  // namespace Org

#endif
