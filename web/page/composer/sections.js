// Edits of whole bars across tracks, and pasting that never destroys silently: every operation is
// one transaction of the model (one step to undo), made of its note calls alone.
import { MELODY_TRACKS, TRACKS, sameNote } from './model.js';

// The tracks a section covers: 'all', 'melody', 'drums', or the one chosen (p_Chosen).
export function sectionTracks(p_Which, p_Chosen) {
  const l_All = [...Array(TRACKS).keys()];
  if (p_Which === 'melody') return l_All.filter((p_Track) => p_Track < MELODY_TRACKS);
  if (p_Which === 'drums') return l_All.filter((p_Track) => p_Track >= MELODY_TRACKS);
  if (p_Which === 'chosen') return [p_Chosen];
  return l_All;
}

// The notes of p_Tracks that start from p_Start up to p_End (excluded), each with its track.
export function notesBetween(p_Model, p_Tracks, p_Start, p_End) {
  return p_Tracks.flatMap((p_Track) => p_Model.notes(p_Track).filter((p_Note) => p_Note.beat >= p_Start && p_Note.beat < p_End)
    .map((p_Note) => ({ track: p_Track, ...p_Note })));
}

// A clip of a section: its notes with their beats from its start, and its length in beats.
export function copySection(p_Model, p_Tracks, p_Section) {
  return { length: p_Section.end - p_Section.start,
    notes: notesBetween(p_Model, p_Tracks, p_Section.start, p_Section.end).map((p_Note) => ({ ...p_Note, beat: p_Note.beat - p_Section.start })) };
}

// Writes p_Notes ({ track, beat, ... }) through p_Edit where their beats are free; a note already on
// one of their beats is replaced (p_Replace) or keeps its place and the pasted note is left out.
// Adds to p_Count's placed, replaced and refused.
function place(p_Model, p_Edit, p_Notes, p_Replace, p_Count) {
  for (const { track, ...l_Note } of p_Notes) {
    const l_There = p_Model.noteAt(track, l_Note.beat);
    if (l_There && !p_Replace && !sameNote(l_There, l_Note)) {
      ++p_Count.refused;
      continue;
    }
    if (l_There && !sameNote(l_There, l_Note)) ++p_Count.replaced;
    p_Edit.note(track, l_Note.beat, l_Note);
    ++p_Count.placed;
  }
}

// Pastes p_Clip's notes from p_At, p_Times times, p_Clip.length beats apart, in one transaction. Gives { placed, replaced, refused, notes } (notes:
// those pasted, each with its track).
export function paste(p_Model, p_Clip, p_At, p_Replace, p_Times = 1) {
  const l_Count = { placed: 0, replaced: 0, refused: 0 };
  const l_Pasted = [];
  p_Model.edit((p_Edit) => {
    for (let l_Time = 0; l_Time < p_Times; ++l_Time) {
      const l_Notes = p_Clip.notes.map((p_Note) => ({ ...p_Note, beat: p_At + l_Time * p_Clip.length + p_Note.beat }));
      place(p_Model, p_Edit, l_Notes, p_Replace, l_Count);
      l_Pasted.push(...l_Notes.filter((p_Note) => sameNote(p_Model.noteAt(p_Note.track, p_Note.beat), p_Note)));
    }
  });
  return { ...l_Count, notes: l_Pasted };
}

// The notes of p_Tracks in p_Section taken away.
export function clearSection(p_Model, p_Tracks, p_Section) {
  const l_Notes = notesBetween(p_Model, p_Tracks, p_Section.start, p_Section.end);
  p_Model.edit((p_Edit) => { for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, null); });
  return l_Notes.length;
}

// Moves every note from p_From on by p_Beats (later, or back when negative) on every track, in p_Edit.
function shift(p_Model, p_Edit, p_From, p_Beats) {
  const l_Moved = notesBetween(p_Model, [...Array(TRACKS).keys()], p_From, Infinity);
  for (const l_Note of l_Moved) p_Edit.note(l_Note.track, l_Note.beat, null);
  for (const { track, ...l_Note } of l_Moved) p_Edit.note(track, l_Note.beat + p_Beats, { ...l_Note, beat: l_Note.beat + p_Beats });
}

// The loop's points moved by p_Point, when the song has a loop.
function moveLoop(p_Model, p_Edit, p_Point) {
  const { start, end } = p_Model.loop;
  if (start !== end) p_Edit.set('loop', [p_Point(start, 'start'), p_Point(end, 'end')]);
}

// p_Beats of empty bars put in at p_At, everything from there on moved later: the loop's start
// from there on, its end after it.
export function insertBars(p_Model, p_At, p_Beats) {
  p_Model.edit((p_Edit) => {
    shift(p_Model, p_Edit, p_At, p_Beats);
    moveLoop(p_Model, p_Edit, (p_Beat, p_Which) => (p_Beat > p_At || (p_Beat === p_At && p_Which === 'start') ? p_Beat + p_Beats : p_Beat));
  });
}

// The bars of p_Section taken out of the song, everything after them moved back; a loop point
// inside them goes to where they were.
export function deleteBars(p_Model, p_Section) {
  const { start: l_Start, end: l_End } = p_Section;
  p_Model.edit((p_Edit) => {
    for (const l_Note of notesBetween(p_Model, [...Array(TRACKS).keys()], l_Start, l_End)) p_Edit.note(l_Note.track, l_Note.beat, null);
    shift(p_Model, p_Edit, l_End, l_Start - l_End);
    moveLoop(p_Model, p_Edit, (p_Beat) => (p_Beat >= l_End ? p_Beat - (l_End - l_Start) : Math.min(p_Beat, l_Start)));
  });
}

// The melody notes of p_Tracks in p_Section p_Keys higher, as far as the keys allow them all.
export function transposeSection(p_Model, p_Tracks, p_Section, p_Keys, p_KeyCount) {
  const l_Notes = notesBetween(p_Model, p_Tracks.filter((p_Track) => p_Track < MELODY_TRACKS), p_Section.start, p_Section.end);
  if (!l_Notes.length) return 0;
  const l_Keys = Math.max(-Math.min(...l_Notes.map((p_Note) => p_Note.key)), Math.min(p_Keys, p_KeyCount - 1 - Math.max(...l_Notes.map((p_Note) => p_Note.key))));
  if (l_Keys === 0) return 0;
  p_Model.edit((p_Edit) => { for (const { track, ...l_Note } of l_Notes) p_Edit.note(track, l_Note.beat, { ...l_Note, key: l_Note.key + l_Keys }); });
  return l_Keys;
}
