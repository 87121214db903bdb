// Drawing a note: pressed where it starts, dragged to its length; placed when let go, heard.
import { clamp } from '../geometry.js';
import { NOTE_RANGE } from '../model.js';

export const draw = {
  start(p_Editor, p_At) {
    const l_Key = p_At.area === 'melody' ? p_At.key : p_Editor.drumKey(p_At.track);
    return { kind: 'draw', note: { track: p_At.track, beat: p_At.beat, key: l_Key, ...p_Editor.newNote } };
  },
  move(p_Editor, p_Drag, p_At) { p_Drag.note.length = clamp(p_At.beat - p_Drag.note.beat + 1, ...NOTE_RANGE.length); },
  commit(p_Editor, p_Drag) {
    const { track, ...l_Note } = p_Drag.note;
    p_Editor.model.edit((p_Edit) => p_Edit.note(track, l_Note.beat, l_Note));
    p_Editor.newNote.length = l_Note.length;
    p_Editor.select([p_Drag.note]);
    p_Editor.onNote(track, l_Note);
  },
};
