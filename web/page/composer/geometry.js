// Where everything is on the composer's canvas: a ruler, a piano roll of the melody keys, a lane per
// drum track (on a short screen the chosen one's alone) and a lane of the notes' volume or pan, all
// on one time axis; and what lies under a point. Everything is in CSS pixels.
import { KEYS, MELODY_TRACKS, TRACKS } from './model.js';

export const KEYS_WIDTH = 46;
export const RULER = 30;
export const GAP = 4;
const LANE = 16;
const FOLDED_LANE = 24;  // the one drum lane of a short screen: a finger's height
const VALUES = 70;
const VALUES_LOW = 40;   // on a short screen
const SHORT = 480;       // CSS pixels of canvas height below which the value lane is the low one
const MELODY_SHARE = 0.5;  // of the roll's height at least, else the drum lanes fold into one
const EDGE = 6;    // pixels at a note's end that resize it
const HANDLE = 24; // a finger's handle on a selected note's end, as wide and tall
export const clamp = (p_Value, p_Low, p_High) => Math.min(p_High, Math.max(p_Low, p_Value));
export const id = (p_Track, p_Beat) => `${p_Track}:${p_Beat}`;
// The index of the first of p_List (in beat order) at p_Beat or later.
export function firstFrom(p_List, p_Beat) {
  let [l_Low, l_High] = [0, p_List.length];
  while (l_Low < l_High) {
    const l_Middle = (l_Low + l_High) >> 1;
    if (p_List[l_Middle].beat < p_Beat) l_Low = l_Middle + 1;
    else l_High = l_Middle;
  }
  return l_Low;
}

export class Geometry {
  #lanes = { drum: null, list: [] };  // the lanes last given, while the same

  constructor() {
    this.view = { beatWidth: 12, keyHeight: 10, beat: 0, row: 40 };  // row: key rows scrolled off the top
    this.width = 0;   // the canvas in CSS pixels
    this.height = 0;
    this.scale = 1;   // bitmap pixels per CSS pixel
    this.drum = MELODY_TRACKS;  // the drum track last chosen: the one lane of a short screen
  }

  get melodyTop() { return RULER; }
  get values() { return this.height < SHORT ? VALUES_LOW : VALUES; }
  // Whether a lane per drum track would leave the melody less than its share of the roll: then
  // only the chosen drum track has a lane.
  get folded() { return this.height - RULER - this.values - 2 * GAP - (TRACKS - MELODY_TRACKS) * LANE < MELODY_SHARE * this.height; }
  // The drum tracks that have a lane, top down (the same list while they are the same: not to be changed).
  get lanes() {
    const l_Drum = this.folded ? this.drum : -1;
    if (this.#lanes.drum !== l_Drum)
      this.#lanes = { drum: l_Drum, list: l_Drum >= 0 ? [l_Drum] : Array.from({ length: TRACKS - MELODY_TRACKS }, (_, p_Lane) => MELODY_TRACKS + p_Lane) };
    return this.#lanes.list;
  }
  get laneHeight() { return this.folded ? FOLDED_LANE : LANE; }
  get drumTop() { return this.height - this.values - GAP - this.lanes.length * this.laneHeight; }
  get valuesTop() { return this.height - this.values; }
  get melodyHeight() { return this.drumTop - GAP - RULER; }
  get beatsShown() { return (this.width - KEYS_WIDTH) / this.view.beatWidth; }
  get rowsShown() { return this.melodyHeight / this.view.keyHeight; }
  x(p_Beat) { return KEYS_WIDTH + (p_Beat - this.view.beat) * this.view.beatWidth; }
  beatOf(p_X) { return Math.max(0, Math.floor(this.view.beat + (p_X - KEYS_WIDTH) / this.view.beatWidth)); }
  // The key rows scrolled off the top in CSS pixels, in whole bitmap pixels: the rows' edges (and
  // the notes on them) fall on whole pixels, not blurred across two.
  get rowShift() { return Math.round(this.view.row * this.view.keyHeight * this.scale) / this.scale; }
  keyY(p_Key) { return RULER + (KEYS - 1 - p_Key) * this.view.keyHeight - this.rowShift; }
  keyOf(p_Y) { return clamp(KEYS - 1 - Math.floor((p_Y - RULER + this.rowShift) / this.view.keyHeight), 0, KEYS - 1); }
  // A drum track's lane (one folded away is drawn where the shown one is).
  laneY(p_Track) { return this.drumTop + Math.max(0, this.lanes.indexOf(p_Track)) * this.laneHeight; }
  noteY(p_Track, p_Key) { return p_Track < MELODY_TRACKS ? this.keyY(p_Key) : this.laneY(p_Track); }
  rowHeight(p_Track) { return p_Track < MELODY_TRACKS ? this.view.keyHeight : this.laneHeight; }
  // The value a point at p_Y of the value lane sets, within p_Range.
  valueAt(p_Y, [p_Low, p_High]) { return clamp(Math.round(p_Low + ((this.height - 4 - p_Y) / (this.values - 8)) * (p_High - p_Low)), p_Low, p_High); }

  // Which part of the canvas a pointer event is in, and the beat and track or key there.
  at(p_Event) {
    const l_Box = this.canvas.getBoundingClientRect();
    const l_X = p_Event.clientX - l_Box.left - this.canvas.clientLeft;
    const l_Y = p_Event.clientY - l_Box.top - this.canvas.clientTop;
    const l_At = { x: l_X, y: l_Y, beat: this.beatOf(l_X) };
    if (l_Y < RULER) l_At.area = 'ruler';
    else if (l_Y >= this.valuesTop) l_At.area = 'values';
    else if (l_Y >= this.drumTop) {
      l_At.area = 'drums';
      const l_Lanes = this.lanes;
      l_At.track = l_Lanes[clamp(Math.floor((l_Y - this.drumTop) / this.laneHeight), 0, l_Lanes.length - 1)];
    } else if (l_Y < this.drumTop - GAP) {
      l_At.area = 'melody';
      l_At.key = this.keyOf(l_Y);
      l_At.track = this.melody;
    }
    if (l_X < KEYS_WIDTH && l_At.area !== 'ruler') l_At.area = 'keys';
    return l_At;
  }

  // The note of p_At's track under it, if any: { track, ...note, edge } (edge: on its resizing end).
  noteAt(p_At) {
    if (p_At.area !== 'melody' && p_At.area !== 'drums') return null;
    const l_Beats = this.view.beat + (p_At.x - KEYS_WIDTH) / this.view.beatWidth;
    for (const l_Note of this.model.notes(p_At.track)) {
      if (l_Note.beat > l_Beats) break;
      if (l_Beats < l_Note.beat + l_Note.length && (p_At.area === 'drums' || l_Note.key === p_At.key))
        return { track: p_At.track, ...l_Note, edge: this.x(l_Note.beat + l_Note.length) - p_At.x < Math.min(EDGE, (l_Note.length * this.view.beatWidth) / 3) };
    }
    return null;
  }

  // A selected note's resizing handle under a finger: { track, ...note, edge: true }.
  handleAt(p_At) {
    if (p_At.area !== 'melody' && p_At.area !== 'drums') return null;
    for (const l_Note of this.selected()) {
      if (l_Note.track !== p_At.track) continue;
      const l_Middle = this.noteY(l_Note.track, l_Note.key) + this.rowHeight(l_Note.track) / 2;
      if (Math.abs(this.x(l_Note.beat + l_Note.length) - p_At.x) <= HANDLE / 2 && Math.abs(l_Middle - p_At.y) <= HANDLE / 2)
        return { ...l_Note, edge: true };
    }
    return null;
  }

  // The notes of p_Tracks a box from (p_X0, p_Y0) to (p_X1, p_Y1) touches, each with its track.
  notesIn(p_Tracks, p_X0, p_Y0, p_X1, p_Y1) {
    const l_Hits = [];
    for (const l_Track of p_Tracks)
      for (const l_Note of this.model.notes(l_Track)) {
        const l_Left = this.x(l_Note.beat);
        const l_Top = this.noteY(l_Track, l_Note.key);
        if (l_Left < p_X1 && l_Left + Math.max(1, l_Note.length) * this.view.beatWidth > p_X0 && l_Top < p_Y1 && l_Top + this.rowHeight(l_Track) > p_Y0)
          l_Hits.push({ track: l_Track, ...l_Note });
      }
    return l_Hits;
  }
}
