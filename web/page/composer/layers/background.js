// The roll's ground: the key rows (the black keys' darker, each C marked), the drum lanes with their
// names and the value lane. Each pixel is filled once as far as can be (a frame's cost is mostly
// the pixels filled): the ruler and the gaps in the background colour, the roll in the white keys' rows'.
import { GAP, KEYS_WIDTH, RULER } from '../geometry.js';
import { MELODY_TRACKS } from '../model.js';

const BLACK_KEYS = new Set([1, 3, 6, 8, 10]);
const NOTE_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
export const keyName = (p_Key) => `${NOTE_NAMES[p_Key % 12]}${Math.floor(p_Key / 12)}`;

export function drawBackground(p_Editor, p_C, p_Frame) {
  const { width } = p_Editor;
  const l_View = p_Editor.view;
  p_C.fillStyle = '#15181d';
  p_C.fillRect(0, 0, width, RULER);
  p_C.fillRect(0, p_Frame.melodyBottom, width, GAP);
  p_C.fillRect(0, p_Editor.valuesTop - GAP, width, GAP);

  p_C.save();
  p_C.beginPath();
  p_C.rect(0, RULER, width, p_Editor.melodyHeight);
  p_C.clip();
  p_C.fillStyle = '#22272e';
  p_C.fillRect(KEYS_WIDTH, RULER, width - KEYS_WIDTH, p_Editor.melodyHeight);
  p_C.fillStyle = '#15181d';
  p_C.fillRect(0, RULER, KEYS_WIDTH, p_Editor.melodyHeight);
  p_C.font = `${Math.min(11, l_View.keyHeight)}px sans-serif`;
  const l_TopKey = p_Editor.keyOf(RULER);
  const l_BottomKey = p_Editor.keyOf(p_Frame.melodyBottom - 1);
  for (let l_Key = l_BottomKey; l_Key <= l_TopKey; ++l_Key) {
    const l_Y = p_Editor.keyY(l_Key);
    const l_Black = BLACK_KEYS.has(l_Key % 12);
    if (l_Black) {
      p_C.fillStyle = '#1b1f25';
      p_C.fillRect(KEYS_WIDTH, l_Y, width - KEYS_WIDTH, l_View.keyHeight);
    }
    p_C.fillStyle = l_Black ? '#30353c' : '#d9dde2';
    p_C.fillRect(0, l_Y, KEYS_WIDTH - 2, l_View.keyHeight - 1);
    if (l_Key % 12 === 0) {
      p_C.fillStyle = '#3a414b';
      p_C.fillRect(KEYS_WIDTH, l_Y + l_View.keyHeight - 1, width, 1);
      if (l_View.keyHeight >= 8) {
        p_C.fillStyle = '#333';
        p_C.fillText(keyName(l_Key), 3, l_Y + l_View.keyHeight - 1);
      }
    }
  }
  p_C.restore();

  p_C.font = '11px sans-serif';
  p_C.fillStyle = '#15181d';
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
