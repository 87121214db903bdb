// The roll's ground: the key rows (the black keys' darker, each C marked), the drum lanes with their
// names and the value lane. None of it moves with time, and the rows only with the keys' scroll, so
// both are pictures kept from frame to frame and laid on the canvas in a copy each: the rows a strip
// of a screen's height of rows more on either side, the rest the ruler's, lanes' and gaps' ground,
// drawn again only when what they show changes.
import { GAP, KEYS_WIDTH, RULER } from '../geometry.js';
import { KEYS, MELODY_TRACKS } from '../model.js';

const BLACK_KEYS = new Set([1, 3, 6, 8, 10]);
const NOTE_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
export const keyName = (p_Key) => `${NOTE_NAMES[p_Key % 12]}${Math.floor(p_Key / 12)}`;

// A picture kept from frame to frame, in bitmap pixels, drawn again (by p_Draw(context)) when its
// size or p_Key (what it shows) changes.
class Kept {
  canvas = null;
  key = null;
  get(p_Width, p_Height, p_Key, p_Draw) {
    if (this.canvas?.width !== p_Width || this.canvas.height !== p_Height) this.canvas = new OffscreenCanvas(p_Width, p_Height);
    else if (this.key === p_Key) return this.canvas;
    this.key = p_Key;
    p_Draw(this.canvas.getContext('2d', { alpha: false }));
    return this.canvas;
  }
}

// The key rows from p_From (a row from the top) on, p_Rows of them across the canvas's width, the
// strip's top at p_Top CSS pixels of the rows (a whole bitmap pixel).
function drawRows(p_Editor, p_C, p_From, p_Rows, p_Top) {
  const { width, scale } = p_Editor;
  const l_High = p_Editor.view.keyHeight;
  p_C.setTransform(scale, 0, 0, scale, 0, 0);
  p_C.fillStyle = '#22272e';
  p_C.fillRect(KEYS_WIDTH, 0, width - KEYS_WIDTH, (p_Rows + 1) * l_High);
  p_C.fillStyle = '#15181d';
  p_C.fillRect(0, 0, KEYS_WIDTH, (p_Rows + 1) * l_High);
  p_C.font = `${Math.min(11, l_High)}px sans-serif`;
  for (let l_Row = Math.max(0, p_From); l_Row < Math.min(KEYS, p_From + p_Rows + 1); ++l_Row) {
    const l_Key = KEYS - 1 - l_Row;
    const l_Y = l_Row * l_High - p_Top;
    const l_Black = BLACK_KEYS.has(l_Key % 12);
    if (l_Black) {
      p_C.fillStyle = '#1b1f25';
      p_C.fillRect(KEYS_WIDTH, l_Y, width - KEYS_WIDTH, l_High);
    }
    p_C.fillStyle = l_Black ? '#30353c' : '#d9dde2';
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
  const { width, scale } = p_Editor;
  p_C.setTransform(scale, 0, 0, scale, 0, 0);
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
  const l_Kept = (p_Editor.keptGround ??= { rows: new Kept(), ground: new Kept(), from: 0, size: '' });
  const { width, height, scale } = p_Editor;
  const l_Canvas = p_Editor.canvas;
  const l_High = p_Editor.view.keyHeight;
  if (l_Canvas.width === 0 || l_Canvas.height === 0) return;
  p_C.setTransform(1, 0, 0, 1, 0, 0);

  // The rows: a strip of three screens' height of them from row l_Kept.from, a new one once the
  // view leaves it (or its size changes). Its top is a whole bitmap pixel, as the view's is, so
  // that the copy is pixel for pixel.
  const l_Shown = Math.max(1, Math.ceil(p_Editor.melodyHeight / l_High) + 1);
  const l_First = Math.floor(p_Editor.rowShift / l_High);
  const l_Rows = 3 * l_Shown;
  const l_Size = `${l_Canvas.width} ${width} ${scale} ${l_High} ${l_Rows}`;
  if (l_Kept.size !== l_Size || l_First < l_Kept.from || l_First + l_Shown > l_Kept.from + l_Rows) {
    l_Kept.size = l_Size;
    l_Kept.from = l_First - l_Shown;
  }
  const l_StripTop = Math.floor(l_Kept.from * l_High * scale) / scale;
  const l_Strip = l_Kept.rows.get(l_Canvas.width, Math.ceil((l_Rows + 1) * l_High * scale), `${l_Size} ${l_Kept.from}`,
    (p_Strip) => drawRows(p_Editor, p_Strip, l_Kept.from, l_Rows, l_StripTop));
  const l_Top = Math.round(RULER * scale);
  const l_Bottom = Math.round(p_Frame.melodyBottom * scale);
  const l_From = Math.round((p_Editor.rowShift - l_StripTop) * scale);
  if (l_Bottom > l_Top) p_C.drawImage(l_Strip, 0, l_From, l_Canvas.width, l_Bottom - l_Top, 0, l_Top, l_Canvas.width, l_Bottom - l_Top);

  // The rest: the ruler's band and all below the rows.
  const l_Key = `${width} ${height} ${scale} ${p_Editor.lanes.join()} ${p_Editor.track} ${p_Editor.valueField}`;
  const l_Ground = l_Kept.ground.get(l_Canvas.width, l_Canvas.height, l_Key, (p_Ground) => drawGround(p_Editor, p_Ground, p_Frame));
  p_C.drawImage(l_Ground, 0, 0, l_Canvas.width, l_Top, 0, 0, l_Canvas.width, l_Top);
  const l_Below = Math.max(l_Top, l_Bottom);
  if (l_Canvas.height > l_Below) p_C.drawImage(l_Ground, 0, l_Below, l_Canvas.width, l_Canvas.height - l_Below, 0, l_Below, l_Canvas.width, l_Canvas.height - l_Below);
  p_C.setTransform(scale, 0, 0, scale, 0, 0);
}
