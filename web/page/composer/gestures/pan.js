// Moving the view by hand: a drag on the keys, one finger on empty space (a tap there is the tool's
// click, a long press starts a box selection), and two fingers that pinch and pan.
import { KEYS_WIDTH, RULER, clamp } from '../geometry.js';
import { box } from './box.js';
import { LONG_PRESS, SLOP } from '../../player/press.js';

export const pan = {
  start: (p_Editor, p_At) => ({ kind: 'pan', x: p_At.x, y: p_At.y, beat: p_Editor.view.beat, row: p_Editor.view.row }),
  move(p_Editor, p_Drag, p_At) {
    p_Editor.view.beat = p_Drag.beat;
    p_Editor.view.row = p_Drag.row;
    p_Editor.scroll((p_Drag.x - p_At.x) / p_Editor.view.beatWidth, (p_Drag.y - p_At.y) / p_Editor.view.keyHeight);
  },
};

// A finger down on empty space, waiting to tell a tap, a scroll and a long press apart.
export const touch = {
  start(p_Editor, p_At) {
    return { ...pan.start(p_Editor, p_At), kind: 'touch', at: p_At, timer: setTimeout(() => touch.longPress(p_Editor), LONG_PRESS) };
  },
  move(p_Editor, p_Drag, p_At) {
    if (Math.hypot(p_At.x - p_Drag.x, p_At.y - p_Drag.y) < SLOP) return;
    clearTimeout(p_Drag.timer);
    p_Drag.kind = 'pan';
    pan.move(p_Editor, p_Drag, p_At);
  },
  // Held still: a box selection begins there.
  longPress(p_Editor) {
    const l_Drag = p_Editor.drag;
    if (l_Drag?.kind !== 'touch') return;
    navigator.vibrate?.(15);
    p_Editor.drag = box.start(l_Drag.at, true);
    p_Editor.render();
  },
  // A tap: the tool's click there (draw places a note of the next note's length).
  commit(p_Editor, p_Drag) {
    const l_At = p_Drag.at;
    if (p_Editor.tool === 'select') p_Editor.select([]);
    else if (p_Editor.tool === 'draw' && l_At.track !== undefined) p_Editor.gestures.draw.commit(p_Editor, p_Editor.gestures.draw.start(p_Editor, l_At));
  },
};

const middle = (p_Editor) => {
  const [l_A, l_B] = [...p_Editor.touches.values()];
  const l_Box = p_Editor.canvas.getBoundingClientRect();
  return { a: l_A, b: l_B, x: (l_A.x + l_B.x) / 2 - l_Box.left, y: (l_A.y + l_B.y) / 2 - l_Box.top };
};

// Two fingers: whatever one began is dropped; from now on they zoom and pan the view.
export const pinch = {
  start(p_Editor) {
    clearTimeout(p_Editor.drag?.timer);
    const l_Mid = middle(p_Editor);
    const l_View = p_Editor.view;
    return { kind: 'pinch', dx: Math.max(40, Math.abs(l_Mid.a.x - l_Mid.b.x)), dy: Math.max(40, Math.abs(l_Mid.a.y - l_Mid.b.y)),
      beatWidth: l_View.beatWidth, keyHeight: l_View.keyHeight,
      beat: l_View.beat + (l_Mid.x - KEYS_WIDTH) / l_View.beatWidth, row: l_View.row + (l_Mid.y - RULER) / l_View.keyHeight };
  },
  move(p_Editor, p_Drag) {
    if (p_Editor.touches.size < 2) return;
    const l_Mid = middle(p_Editor);
    const l_View = p_Editor.view;
    l_View.beatWidth = clamp(p_Drag.beatWidth * (Math.max(40, Math.abs(l_Mid.a.x - l_Mid.b.x)) / p_Drag.dx), 2, 64);
    l_View.keyHeight = clamp(p_Drag.keyHeight * (Math.max(40, Math.abs(l_Mid.a.y - l_Mid.b.y)) / p_Drag.dy), 5, 28);
    // The beat and key that were under the fingers' middle stay under it.
    l_View.beat = p_Drag.beat - (l_Mid.x - KEYS_WIDTH) / l_View.beatWidth;
    l_View.row = p_Drag.row - (l_Mid.y - RULER) / l_View.keyHeight;
    p_Editor.scroll(0, 0);
  },
};
