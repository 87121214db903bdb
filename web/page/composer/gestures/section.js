// A press on the ruler puts the cursor there; dragged along it, it selects whole bars: a section of
// every track (or of those chosen), which the section commands copy, repeat, insert or delete.
const SLOP = 4;  // pixels the pointer moves before a press is a drag

export const section = {
  start: (p_Editor, p_At) => ({ kind: 'section', from: p_At.beat, x: p_At.x, moved: false }),
  move(p_Editor, p_Drag, p_At) {
    p_Drag.moved ||= Math.abs(p_At.x - p_Drag.x) > SLOP;
    if (p_Drag.moved) p_Editor.setSection(p_Editor.barsBetween(p_Drag.from, p_At.beat));
  },
  commit(p_Editor, p_Drag) {
    if (p_Drag.moved) return;
    p_Editor.cursor.beat = p_Drag.from;
    p_Editor.setSection(null);
  },
};
