// The notes: the other melody tracks faint, the edited track and the drums bright, the selected
// outlined; a gesture in progress shows its outcome.
import { KEYS_WIDTH, RULER, clamp, firstFrom, id } from '../geometry.js';
import { KEYS, MELODY_TRACKS, NOTE_RANGE } from '../model.js';
import { COLOURS } from '../../player/roll.js';

export function drawNotes(p_Editor, p_C, p_Frame) {
  const { width } = p_Editor;
  const l_View = p_Editor.view;
  const l_Drag = p_Editor.drag;
  const l_Moving = l_Drag && (l_Drag.kind === 'move' || l_Drag.kind === 'resize');
  const l_Erased = l_Drag?.kind === 'erase' ? l_Drag.erased : null;
  const l_Edited = p_Editor.melody;
  const l_Lanes = p_Editor.lanes;
  const l_Model = p_Editor.model;
  // A note's id only where a note may be selected or erased.
  const l_Marked = l_Erased?.size || p_Editor.selection.size;
  // The first note that may reach the view: one the longest a note lasts before it (any, of notes
  // being moved, which may come from anywhere).
  const l_From = p_Frame.first - NOTE_RANGE.length[1];
  // The other melody tracks, then the edited one over them, clipped to the roll; then the drums
  // that have a lane, clipped to theirs (a clip for each area, not for each track).
  const l_Order = [...Array(MELODY_TRACKS).keys()].filter((p_Track) => p_Track !== l_Edited);
  l_Order.push(l_Edited, ...l_Lanes);
  for (const [l_Place, l_Track] of l_Order.entries()) {
    const l_Melody = l_Track < MELODY_TRACKS;
    if (l_Place === 0 || l_Place === MELODY_TRACKS) {
      if (!l_Melody) p_C.restore();
      p_C.save();
      p_C.beginPath();
      if (l_Melody) p_C.rect(KEYS_WIDTH, RULER, width, p_Editor.melodyHeight);
      else p_C.rect(KEYS_WIDTH, p_Editor.drumTop, width, l_Lanes.length * p_Editor.laneHeight);
      p_C.clip();
    }
    const l_Faint = l_Melody && l_Track !== l_Edited;
    const l_Colour = COLOURS[l_Track % COLOURS.length];
    const l_Height = p_Editor.rowHeight(l_Track) - 1;
    const l_List = l_Model.notes(l_Track);
    for (let l_At = l_Moving ? 0 : firstFrom(l_List, l_From); l_At < l_List.length; ++l_At) {
      const l_Note = l_List[l_At];
      if (l_Note.beat > p_Frame.last && !l_Moving) break;
      const l_Id = l_Marked ? id(l_Track, l_Note.beat) : null;
      if (l_Erased?.has(l_Id)) continue;
      let { beat: l_Beat, key: l_Key, length: l_Length } = l_Note;
      const l_Selected = l_Marked && p_Editor.selection.has(l_Id);
      if (l_Selected && l_Moving) {
        if (l_Drag.kind === 'move') {
          l_Beat = Math.max(0, l_Beat + l_Drag.beats);
          if (l_Melody) l_Key = clamp(l_Key + l_Drag.keys, 0, KEYS - 1);
        } else l_Length = clamp(l_Length + l_Drag.beats, ...NOTE_RANGE.length);
      }
      if (l_Beat + l_Length < p_Frame.first || l_Beat > p_Frame.last) continue;
      const l_Y = p_Editor.noteY(l_Track, l_Key);
      if (l_Melody && (l_Y > p_Frame.melodyBottom || l_Y + l_Height < RULER)) continue;
      const l_X = p_Editor.x(l_Beat);
      const l_W = Math.max(2, l_Length * l_View.beatWidth - 1);
      p_C.globalAlpha = l_Faint ? 0.3 : 1;
      p_C.fillStyle = l_Colour;
      p_C.fillRect(l_X, l_Y, l_W, l_Height);
      if (l_Selected) {
        p_C.strokeStyle = '#ffffff';
        p_C.lineWidth = 2;
        p_C.strokeRect(l_X + 1, l_Y + 1, l_W - 2, l_Height - 2);
        // A finger's handle to resize it by.
        if (p_Editor.touchy) {
          p_C.fillStyle = '#ffffff';
          p_C.fillRect(l_X + l_W - 3, l_Y + l_Height / 2 - 8, 6, 16);
        }
      }
    }
  }
  p_C.restore();
  p_C.globalAlpha = 1;
  if (l_Drag?.kind === 'draw') {
    const l_Note = l_Drag.note;
    p_C.fillStyle = COLOURS[l_Note.track % COLOURS.length];
    p_C.fillRect(p_Editor.x(l_Note.beat), p_Editor.noteY(l_Note.track, l_Note.key), l_Note.length * l_View.beatWidth - 1, p_Editor.rowHeight(l_Note.track) - 1);
  }
}
