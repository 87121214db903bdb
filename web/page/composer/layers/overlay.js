// What goes over everything: a box being dragged, the keyboard's cursor, the playhead and the
// ruler's and the keys' edges.
import { KEYS_WIDTH, RULER } from '../geometry.js';
import { MELODY_TRACKS } from '../model.js';

export function drawOverlay(p_Editor, p_C) {
  const { width, height } = p_Editor;
  const l_View = p_Editor.view;
  const l_Drag = p_Editor.drag;
  if (l_Drag?.kind === 'box') {
    p_C.strokeStyle = '#ffffff';
    p_C.lineWidth = 1;
    p_C.setLineDash([4, 3]);
    p_C.strokeRect(l_Drag.x0 + 0.5, l_Drag.y0 + 0.5, l_Drag.x1 - l_Drag.x0, l_Drag.y1 - l_Drag.y0);
    p_C.setLineDash([]);
  }
  const l_CursorX = p_Editor.x(p_Editor.cursor.beat);
  p_C.strokeStyle = '#ffe066';
  p_C.lineWidth = 1;
  if (p_Editor.track < MELODY_TRACKS) p_C.strokeRect(l_CursorX + 0.5, p_Editor.keyY(p_Editor.cursor.key) + 0.5, l_View.beatWidth - 1, l_View.keyHeight - 1);
  else p_C.strokeRect(l_CursorX + 0.5, p_Editor.laneY(p_Editor.track) + 0.5, l_View.beatWidth - 1, p_Editor.laneHeight - 1);
  p_C.fillStyle = '#ffe066';
  p_C.fillRect(l_CursorX, 0, 2, RULER);
  if (p_Editor.playhead !== null) {
    p_C.fillStyle = '#ff4d4d';
    p_C.fillRect(Math.round(p_Editor.x(p_Editor.playhead)), 0, 2, height);
  }
  p_C.fillStyle = '#596370';
  p_C.fillRect(0, RULER - 1, width, 1);
  p_C.fillRect(KEYS_WIDTH - 1, RULER, 1, height - RULER);
}
