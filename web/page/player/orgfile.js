// The notes of an Org-02 song for drawing: the decoder checks a song before this reads it.
const TRACKS = 16;
const NO_CHANGE = 255;  // an event that changes only volume or pan

export function readSong(p_Bytes) {
  const l_View = new DataView(p_Bytes.buffer, p_Bytes.byteOffset, p_Bytes.byteLength);
  const l_Song = {
    tempo: l_View.getUint16(6, true),
    loopStart: l_View.getUint32(10, true),
    loopEnd: l_View.getUint32(14, true),
    tracks: [],
  };
  let l_At = 18 + 6 * TRACKS;
  for (let l_Track = 0; l_Track < TRACKS; ++l_Track) {
    const l_Count = l_View.getUint16(18 + 6 * l_Track + 4, true);
    const l_Notes = [];
    for (let l_Event = 0; l_Event < l_Count; ++l_Event) {
      const l_Note = p_Bytes[l_At + 4 * l_Count + l_Event];
      if (l_Note !== NO_CHANGE)
        l_Notes.push({
          beat: l_View.getUint32(l_At + 4 * l_Event, true),
          note: l_Note,
          length: p_Bytes[l_At + 5 * l_Count + l_Event],
        });
    }
    l_Song.tracks.push(l_Notes);
    l_At += 8 * l_Count;
  }
  return l_Song;
}
