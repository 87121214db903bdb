// Dragging a loop marker on the ruler (or, with Shift, a new loop).
export const loop = {
  // The loop gesture a press on the ruler at p_At starts, if any.
  start(p_Editor, p_At, p_Shift) {
    const l_Loop = p_Editor.model.loop;
    const l_Near = (p_Beat) => Math.abs(p_Editor.x(p_Beat) - p_At.x) < 8;
    if (l_Loop.start !== l_Loop.end && l_Near(l_Loop.end)) return { kind: 'loop', start: l_Loop.start, end: l_Loop.end, which: 'end' };
    if (l_Loop.start !== l_Loop.end && l_Near(l_Loop.start)) return { kind: 'loop', start: l_Loop.start, end: l_Loop.end, which: 'start' };
    return p_Shift ? { kind: 'loop', start: p_At.beat, end: p_At.beat, which: 'end' } : null;
  },
  move(p_Editor, p_Drag, p_At) { p_Drag[p_Drag.which] = p_At.beat; },
  commit(p_Editor, p_Drag) {
    p_Editor.model.edit((p_Edit) => p_Edit.set('loop', [Math.min(p_Drag.start, p_Drag.end), Math.max(p_Drag.start, p_Drag.end)]));
  },
};
