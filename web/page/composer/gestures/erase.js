// Erasing: every note the pointer passes over goes, in one transaction when let go.
import { id } from '../geometry.js';

export const erase = {
  move(p_Editor, p_Drag, p_At) {
    const l_Note = p_Editor.noteAt(p_At);
    if (l_Note) p_Drag.erased.set(id(l_Note.track, l_Note.beat), l_Note);
  },
  commit(p_Editor, p_Drag) {
    p_Editor.model.edit((p_Edit) => {
      for (const l_Note of p_Drag.erased.values()) p_Edit.note(l_Note.track, l_Note.beat, null);
    });
    p_Editor.prune();
  },
};
