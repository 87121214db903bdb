// The roll's ground: the key rows (the black keys' darker, each C marked), the drum lanes with their
// names and the value lane, filled afresh each frame: a few solid fills cost the canvas less than
// copying a kept picture of them would (a copy reads each pixel as well as writing it).
import { GAP, KEYS_WIDTH, RULER } from '../geometry.js';
import { KEYS, MELODY_TRACKS } from '../model.js';

const BLACK_KEYS = new Set([1, 3, 6, 8, 10]);
const NOTE_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
export const keyName = (p_Key) => `${NOTE_NAMES[p_Key % 12]}${Math.floor(p_Key / 12)}`;

// The key rows the roll shows, across the canvas's width (those cut by the ruler or the gap below
// are covered by the ground, drawn after them). The roll's shades are filled a run of rows of one
// shade at a time, their edges on whole bitmap pixels, so that each pixel is filled once (no row
// drawn over a ground) and no edge is blended with what the last frame left there.
function drawRows(p_Editor, p_C) {
  const { width, scale } = p_Editor;
  const l_High = p_Editor.view.keyHeight;
  const l_From = Math.max(0, Math.floor(p_Editor.rowShift / l_High));
  const l_To = Math.min(KEYS, Math.ceil((p_Editor.rowShift + p_Editor.melodyHeight) / l_High));
  const l_Pixel = (p_Y) => Math.round(p_Y * scale) / scale;
  const l_Black = (p_Row) => BLACK_KEYS.has((KEYS - 1 - p_Row) % 12);
  for (let l_Row = l_From, l_End; l_Row < l_To; l_Row = l_End) {
    for (l_End = l_Row + 1; l_End < l_To && l_Black(l_End) === l_Black(l_Row);) ++l_End;
    const l_Top = l_Pixel(p_Editor.keyY(KEYS - 1 - l_Row));
    p_C.fillStyle = l_Black(l_Row) ? '#1b1f25' : '#22272e';
    p_C.fillRect(KEYS_WIDTH, l_Top, width - KEYS_WIDTH, l_Pixel(p_Editor.keyY(KEYS - 1 - l_End)) - l_Top);
  }
  // Below the lowest key, where the view shows more rows than there are.
  const l_Below = l_Pixel(p_Editor.keyY(KEYS - 1 - l_To));
  const l_Bottom = RULER + p_Editor.melodyHeight;
  if (l_Below < l_Bottom) {
    p_C.fillStyle = '#22272e';
    p_C.fillRect(KEYS_WIDTH, l_Below, width - KEYS_WIDTH, l_Bottom - l_Below);
  }
  p_C.fillStyle = '#15181d';
  p_C.fillRect(0, RULER, KEYS_WIDTH, p_Editor.melodyHeight);
  p_C.font = `${Math.min(11, l_High)}px sans-serif`;
  for (let l_Row = l_From; l_Row < l_To; ++l_Row) {
    const l_Key = KEYS - 1 - l_Row;
    const l_Y = p_Editor.keyY(l_Key);
    p_C.fillStyle = l_Black(l_Row) ? '#30353c' : '#d9dde2';
    p_C.fillRect(0, l_Y, KEYS_WIDTH - 2, l_High - 1);
    if (l_Key % 12 === 0) {
      p_C.fillStyle = '#3a414b';
      p_C.fillRect(KEYS_WIDTH, l_Y + l_High - 1, width, 1);
      if (l_High >= 8) {
        p_C.fillStyle = '#333';
        p_C.fillText(keyName(l_Key), 3, l_Y + l_High - 1);
      }
    }
  }
}

// The ground of all but the rows: the ruler's and the gaps', the drum lanes with their names and the
// value lane.
function drawGround(p_Editor, p_C, p_Frame) {
  const { width } = p_Editor;
  p_C.fillStyle = '#15181d';
  p_C.fillRect(0, 0, width, RULER);
  p_C.fillRect(0, p_Frame.melodyBottom, width, GAP);
  p_C.fillRect(0, p_Editor.valuesTop - GAP, width, GAP);
  p_C.font = '11px sans-serif';
  const l_Lanes = p_Editor.lanes;
  const l_LaneHeight = p_Editor.laneHeight;
  p_C.fillRect(0, p_Editor.drumTop, KEYS_WIDTH, l_Lanes.length * l_LaneHeight);
  for (const [l_Lane, l_Track] of l_Lanes.entries()) {
    const l_Y = p_Editor.drumTop + l_Lane * l_LaneHeight;
    p_C.fillStyle = l_Lane % 2 ? '#1d2127' : '#22272e';
    p_C.fillRect(KEYS_WIDTH, l_Y, width, l_LaneHeight);
    p_C.fillStyle = l_Track === p_Editor.track ? '#ffffff' : '#9aa3ad';
    p_C.fillText(`Drum ${l_Track - MELODY_TRACKS + 1}`, 3, l_Y + l_LaneHeight / 2 + 4);
  }
  p_C.fillStyle = '#1b1f25';
  p_C.fillRect(0, p_Editor.valuesTop, width, p_Editor.values);
  p_C.fillStyle = '#9aa3ad';
  p_C.fillText(p_Editor.valueField === 'volume' ? 'Volume' : 'Pan', 3, p_Editor.valuesTop + 14);
}

export function drawBackground(p_Editor, p_C, p_Frame) {
  drawRows(p_Editor, p_C);
  drawGround(p_Editor, p_C, p_Frame);
}
