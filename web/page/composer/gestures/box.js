// A box selection: the notes it touches in the area it began in (the edited melody track, or the
// drum lanes) are selected, or added to the selection.
export const box = {
  start: (p_At, p_Add) => ({ kind: 'box', area: p_At.area, x0: p_At.x, y0: p_At.y, x1: p_At.x, y1: p_At.y, add: p_Add }),
  move(p_Editor, p_Drag, p_At) {
    p_Drag.x1 = p_At.x;
    p_Drag.y1 = p_At.y;
  },
  commit(p_Editor, p_Drag) {
    const l_Tracks = p_Drag.area === 'melody' ? [p_Editor.melody] : p_Editor.lanes;
    p_Editor.select(p_Editor.notesIn(l_Tracks, Math.min(p_Drag.x0, p_Drag.x1), Math.min(p_Drag.y0, p_Drag.y1),
      Math.max(p_Drag.x0, p_Drag.x1), Math.max(p_Drag.y0, p_Drag.y1)), p_Drag.add);
  },
};
