// The value lane: a bar per note it shows; the volume or pan the song changes while a note of the
// edited track sounds, as dots.
import { id } from '../geometry.js';
import { NOTE_RANGE } from '../model.js';
import { COLOURS } from '../../player/roll.js';

export function drawValues(p_Editor, p_C, p_Frame) {
  const { height } = p_Editor;
  const l_Field = p_Editor.valueField;
  const l_Drag = p_Editor.drag;
  const l_Values = l_Drag?.kind === 'values' ? l_Drag.values : null;
  const [l_Low, l_High] = NOTE_RANGE[l_Field];
  const l_Span = p_Editor.values - 8;
  p_C.fillStyle = '#c8ced6';
  for (const l_Change of p_Editor.model.changes(p_Editor.track)) {
    const l_Value = l_Change[l_Field];
    if (l_Change.beat < p_Frame.first || l_Change.beat > p_Frame.last || l_Value > l_High) continue;
    p_C.fillRect(p_Editor.x(l_Change.beat) + p_Editor.view.beatWidth / 2 - 1, height - 5 - ((l_Value - l_Low) / (l_High - l_Low)) * l_Span, 3, 3);
  }
  // The edited track's notes read where the song keeps them (not copied each frame).
  const { notes: l_Notes, track: l_Edited } = p_Editor.valueSource();
  for (const l_Note of l_Notes) {
    if (l_Note.beat > p_Frame.last || l_Note.beat + l_Note.length < p_Frame.first) continue;
    const l_Track = l_Edited ?? l_Note.track;
    const l_Value = l_Values?.get(id(l_Track, l_Note.beat))?.value ?? l_Note[l_Field];
    const l_H = ((l_Value - l_Low) / (l_High - l_Low)) * l_Span;
    p_C.fillStyle = COLOURS[l_Track % COLOURS.length];
    p_C.fillRect(p_Editor.x(l_Note.beat), height - 4 - l_H, Math.max(3, p_Editor.view.beatWidth - 2), Math.max(1, l_H));
  }
}
