// The time grid (every step faintly, the beats and bars stronger, the bars numbered on the ruler),
// the section selected on the ruler and the loop.
import { RULER } from '../geometry.js';

export function drawGrid(p_Editor, p_C, p_Frame) {
  const { height } = p_Editor;
  const { perBar, perBeat } = p_Editor.model.barLayout;
  const l_Bar = perBar * perBeat;
  const l_StepLines = p_Editor.view.beatWidth >= 4;
  const l_Section = p_Editor.section;
  if (l_Section) {
    const l_X0 = p_Editor.x(l_Section.start);
    p_C.fillStyle = 'rgba(255,224,102,0.10)';
    p_C.fillRect(l_X0, RULER, p_Editor.x(l_Section.end) - l_X0, height - RULER);
    p_C.fillStyle = 'rgba(255,224,102,0.45)';
    p_C.fillRect(l_X0, 0, p_Editor.x(l_Section.end) - l_X0, 14);
  }
  for (let l_Beat = p_Frame.first; l_Beat <= p_Frame.last; ++l_Beat) {
    const l_IsBar = l_Beat % l_Bar === 0;
    const l_IsBeat = l_Beat % perBeat === 0;
    if (!l_IsBar && !l_IsBeat && !l_StepLines) continue;
    const l_X = Math.round(p_Editor.x(l_Beat));
    p_C.fillStyle = l_IsBar ? 'rgba(230,236,244,0.35)' : l_IsBeat ? 'rgba(230,236,244,0.16)' : 'rgba(230,236,244,0.06)';
    p_C.fillRect(l_X, RULER, 1, height - RULER);
    if (l_IsBar) {
      p_C.fillStyle = '#d0d6de';
      p_C.font = '11px sans-serif';
      p_C.fillText(String(l_Beat / l_Bar + 1), l_X + 3, 12);
    }
    p_C.fillStyle = '#7d8793';
    const l_Tick = l_IsBar ? 16 : l_IsBeat ? 22 : 27;
    p_C.fillRect(l_X, l_Tick, 1, RULER - l_Tick);
  }

  const l_Drag = p_Editor.drag;
  const l_Loop = l_Drag?.kind === 'loop' ? { start: Math.min(l_Drag.start, l_Drag.end), end: Math.max(l_Drag.start, l_Drag.end) } : p_Editor.model.loop;
  if (l_Loop.end > l_Loop.start) {
    const l_X0 = p_Editor.x(l_Loop.start);
    const l_X1 = p_Editor.x(l_Loop.end);
    p_C.fillStyle = 'rgba(116,192,252,0.25)';
    p_C.fillRect(l_X0, 14, l_X1 - l_X0, RULER - 14);
    p_C.fillStyle = '#74c0fc';
    for (const [l_X, l_Dir] of [[l_X0, 1], [l_X1, -1]]) {
      p_C.beginPath();
      p_C.moveTo(l_X, 14);
      p_C.lineTo(l_X + 8 * l_Dir, 14);
      p_C.lineTo(l_X, 26);
      p_C.fill();
      p_C.fillRect(l_X - (l_Dir < 0 ? 1 : 0), 14, 1, height);
    }
  }
}
