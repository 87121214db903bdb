// Dragging selected notes: by their body they move in time (and melody notes in key), by their end
// they resize; the song changes once, when let go.
import { clamp } from '../geometry.js';
import { NOTE_RANGE } from '../model.js';

const follow = (p_Editor, p_Drag, p_At) => {
  p_Drag.beats = p_At.beat - p_Drag.from.beat;
  p_Drag.keys = p_Drag.from.key !== undefined && p_At.area === 'melody' ? p_At.key - p_Drag.from.key : 0;
};

export const move = {
  move: follow,
  commit(p_Editor, p_Drag) {
    p_Editor.moveSelection(p_Drag.beats, p_Drag.keys);
    if (p_Drag.beats || p_Drag.keys) p_Editor.hearFirst();
  },
};

export const resize = {
  move: follow,
  commit(p_Editor, p_Drag) {
    const l_Notes = p_Editor.selected();
    p_Editor.model.edit((p_Edit) => {
      for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, { ...l_Note, length: clamp(l_Note.length + p_Drag.beats, ...NOTE_RANGE.length) });
    });
    if (p_Drag.beats) p_Editor.hearFirst();
  },
};
