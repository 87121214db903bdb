// Drawing in the value lane: each note the pointer passes over takes the volume or pan at its height.
import { id } from '../geometry.js';
import { NOTE_RANGE } from '../model.js';

export const values = {
  move(p_Editor, p_Drag, p_At) {
    const l_Value = p_Editor.valueAt(p_At.y, NOTE_RANGE[p_Editor.valueField]);
    for (const l_Note of p_Editor.valueNotes())
      if (p_At.beat >= l_Note.beat && p_At.beat < l_Note.beat + Math.max(1, l_Note.length))
        p_Drag.values.set(id(l_Note.track, l_Note.beat), { note: l_Note, value: l_Value });
  },
  commit(p_Editor, p_Drag) {
    p_Editor.model.edit((p_Edit) => {
      for (const { note, value } of p_Drag.values.values()) {
        const { track, ...l_Note } = note;
        p_Edit.note(track, l_Note.beat, { ...l_Note, [p_Editor.valueField]: value });
      }
    });
  },
};
