// The composer's canvas: a ruler (bars, loop markers, cursor), a piano roll of the 96 keys for the
// melody tracks, a lane per drum track (on a short screen the chosen one's alone) and a lane of the
// volume or pan of the notes, all on one time axis. Notes are drawn, moved, resized, selected and erased with pointer events (a mouse, a
// pen or a finger alike); every change goes to the model as one transaction per gesture. On a touch
// screen one finger on empty space scrolls (a tap is the tool's click), two pinch and pan, and a
// long press selects. Everything is laid out in CSS pixels, drawn at the screen's own resolution
// (up to MAX_SCALE).
import { COLOURS } from '../player/roll.js';
import { KEYS, MELODY_TRACKS, NOTE_RANGE, TRACKS } from './model.js';

export { COLOURS };

const KEYS_WIDTH = 46;
const RULER = 30;
const LANE = 16;
const FOLDED_LANE = 24;  // the one drum lane of a short screen: a finger's height
const VALUES = 70;
const VALUES_LOW = 40;   // on a short screen
const SHORT = 480;       // CSS pixels of canvas height below which the value lane is the low one
const MELODY_SHARE = 0.5;  // of the roll's height at least, else the drum lanes fold into one
const GAP = 4;
const EDGE = 6;  // pixels at a note's end that resize it
const HANDLE = 24;  // a finger's handle on a selected note's end, as wide and tall
const SLOP = 10;    // pixels a finger moves before a touch is a scroll
const LONG_PRESS = 500;  // ms
// Bitmap pixels per CSS pixel at most: a frame's cost is mostly the pixels filled and handed on,
// and at a phone's 3 there are 2.25 times those of 2 for a roll that looks the same.
export const MAX_SCALE = 2;
const bitmapScale = () => Math.min(MAX_SCALE, devicePixelRatio || 1);
const BLACK_KEYS = new Set([1, 3, 6, 8, 10]);
const NOTE_NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
export const keyName = (p_Key) => `${NOTE_NAMES[p_Key % 12]}${Math.floor(p_Key / 12)}`;
const id = (p_Track, p_Beat) => `${p_Track}:${p_Beat}`;
const clamp = (p_Value, p_Low, p_High) => Math.min(p_High, Math.max(p_Low, p_Value));

export class Editor {
  constructor(p_Canvas, p_Model) {
    this.canvas = p_Canvas;
    // Opaque: the compositor blends nothing under it.
    this.context = p_Canvas.getContext('2d', { alpha: false });
    this.model = p_Model;
    this.view = { beatWidth: 12, keyHeight: 10, beat: 0, row: 40 };  // row: key rows scrolled off the top
    this.chosen = 0;             // the track chosen (track list, drum lane, keys 1-8)
    this.melody = 0;             // the melody track the piano roll edits: the last one chosen
    this.drum = MELODY_TRACKS;   // the drum track last chosen: the one lane of a short screen
    this.cursor = { beat: 0, key: 57 };
    this.selection = new Set();  // id(track, beat) of the selected notes
    this.tool = 'draw';          // 'draw', 'select', 'erase'
    this.valueField = 'volume';
    this.newNote = { length: 4, volume: 200, pan: 6 };
    this.playhead = null;        // the beat sounding, while playing
    this.drag = null;
    this.onChange = () => {};    // the selection, cursor or view changed
    this.onNote = () => {};      // a note drawn, moved, resized or placed: (track, note), to be heard
    this.frameTimes = [];
    this.width = 0;              // the canvas in CSS pixels
    this.height = 0;
    this.scale = 1;              // bitmap pixels per CSS pixel
    this.touches = new Map();    // pointerId → { x, y } of the fingers down
    this.touchy = false;         // the last pointer was a finger: handles are shown
    p_Canvas.addEventListener('pointerdown', (p_Event) => this.#down(p_Event));
    p_Canvas.addEventListener('pointermove', (p_Event) => this.#move(p_Event));
    p_Canvas.addEventListener('pointerup', (p_Event) => this.#up(p_Event));
    p_Canvas.addEventListener('pointercancel', (p_Event) => {
      this.touches.delete(p_Event.pointerId);
      clearTimeout(this.drag?.timer);
      this.drag = null;
      this.render();
    });
    p_Canvas.addEventListener('contextmenu', (p_Event) => p_Event.preventDefault());
    p_Canvas.addEventListener('wheel', (p_Event) => this.#wheel(p_Event), { passive: false });
    new ResizeObserver(() => this.#fit()).observe(p_Canvas);
  }

  get track() { return this.chosen; }
  set track(p_Track) {
    this.chosen = p_Track;
    if (p_Track < MELODY_TRACKS) this.melody = p_Track;
    else this.drum = p_Track;
  }

  // --- Geometry ---
  get melodyTop() { return RULER; }
  get values() { return this.height < SHORT ? VALUES_LOW : VALUES; }
  // Whether a lane per drum track would leave the melody less than its share of the roll: then
  // only the chosen drum track has a lane.
  get folded() { return this.height - RULER - this.values - 2 * GAP - (TRACKS - MELODY_TRACKS) * LANE < MELODY_SHARE * this.height; }
  // The drum tracks that have a lane, top down.
  get lanes() {
    return this.folded ? [this.drum] : Array.from({ length: TRACKS - MELODY_TRACKS }, (_, p_Lane) => MELODY_TRACKS + p_Lane);
  }
  get laneHeight() { return this.folded ? FOLDED_LANE : LANE; }
  get drumTop() { return this.height - this.values - GAP - this.lanes.length * this.laneHeight; }
  get valuesTop() { return this.height - this.values; }
  get melodyHeight() { return this.drumTop - GAP - RULER; }
  get beatsShown() { return (this.width - KEYS_WIDTH) / this.view.beatWidth; }
  get rowsShown() { return this.melodyHeight / this.view.keyHeight; }
  x(p_Beat) { return KEYS_WIDTH + (p_Beat - this.view.beat) * this.view.beatWidth; }
  beatOf(p_X) { return Math.max(0, Math.floor(this.view.beat + (p_X - KEYS_WIDTH) / this.view.beatWidth)); }
  keyY(p_Key) { return RULER + (KEYS - 1 - p_Key - this.view.row) * this.view.keyHeight; }
  keyOf(p_Y) { return clamp(KEYS - 1 - Math.floor(this.view.row + (p_Y - RULER) / this.view.keyHeight), 0, KEYS - 1); }
  // A drum track's lane (one folded away is drawn where the shown one is).
  laneY(p_Track) { return this.drumTop + Math.max(0, this.lanes.indexOf(p_Track)) * this.laneHeight; }
  noteY(p_Track, p_Key) { return p_Track < MELODY_TRACKS ? this.keyY(p_Key) : this.laneY(p_Track); }
  rowHeight(p_Track) { return p_Track < MELODY_TRACKS ? this.view.keyHeight : this.laneHeight; }

  // Which part of the canvas a point is in, and the beat and track or key there.
  #at(p_Event) {
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
  #noteAt(p_At) {
    if (p_At.area !== 'melody' && p_At.area !== 'drums') return null;
    const l_Beats = this.view.beat + (p_At.x - KEYS_WIDTH) / this.view.beatWidth;
    for (const l_Note of this.model.notes(p_At.track)) {
      if (l_Note.beat > l_Beats) break;
      if (l_Beats < l_Note.beat + l_Note.length && (p_At.area === 'drums' || l_Note.key === p_At.key))
        return { track: p_At.track, ...l_Note, edge: this.x(l_Note.beat + l_Note.length) - p_At.x < Math.min(EDGE, (l_Note.length * this.view.beatWidth) / 3) };
    }
    return null;
  }

  // The selected notes, each with its track.
  selected() {
    const l_Notes = [];
    for (const l_Id of this.selection) {
      const [l_Track, l_Beat] = l_Id.split(':').map(Number);
      const l_Note = this.model.noteAt(l_Track, l_Beat);
      if (l_Note) l_Notes.push({ track: l_Track, ...l_Note });
    }
    return l_Notes;
  }

  select(p_Notes, p_Add = false) {
    if (!p_Add) this.selection.clear();
    for (const l_Note of p_Notes) this.selection.add(id(l_Note.track, l_Note.beat));
    this.changed();
  }

  selectAll() {
    const l_Tracks = [this.melody];
    for (let l_Track = MELODY_TRACKS; l_Track < TRACKS; ++l_Track) l_Tracks.push(l_Track);
    this.select(l_Tracks.flatMap((p_Track) => this.model.notes(p_Track).map((p_Note) => ({ track: p_Track, ...p_Note }))));
  }

  // Drops from the selection what the song no longer holds (after an undo, say).
  prune() {
    for (const l_Id of this.selection) {
      const [l_Track, l_Beat] = l_Id.split(':').map(Number);
      if (!this.model.noteAt(l_Track, l_Beat)) this.selection.delete(l_Id);
    }
  }

  changed() {
    this.onChange();
    this.render();
  }

  // A selected note's resizing handle under a finger: { track, ...note, edge: true }.
  #handleAt(p_At) {
    if (p_At.area !== 'melody' && p_At.area !== 'drums') return null;
    for (const l_Note of this.selected()) {
      if (l_Note.track !== p_At.track) continue;
      const l_Middle = this.noteY(l_Note.track, l_Note.key) + this.rowHeight(l_Note.track) / 2;
      if (Math.abs(this.x(l_Note.beat + l_Note.length) - p_At.x) <= HANDLE / 2 && Math.abs(l_Middle - p_At.y) <= HANDLE / 2)
        return { ...l_Note, edge: true };
    }
    return null;
  }

  // --- Pointer gestures ---
  #down(p_Event) {
    this.canvas.focus();
    this.canvas.setPointerCapture(p_Event.pointerId);
    this.touchy = p_Event.pointerType === 'touch';
    if (this.touchy) {
      this.touches.set(p_Event.pointerId, { x: p_Event.clientX, y: p_Event.clientY });
      if (this.touches.size === 2) return this.#pinch();
      if (this.touches.size > 2) return;
    }
    const l_At = this.#at(p_Event);
    const l_Erase = p_Event.button === 2 || this.tool === 'erase' || p_Event.button === 5;
    if (l_At.area === 'ruler') {
      const l_Loop = this.model.loop;
      const l_Near = (p_Beat) => Math.abs(this.x(p_Beat) - l_At.x) < 8;
      if (l_Loop.start !== l_Loop.end && l_Near(l_Loop.end)) this.drag = { kind: 'loop', start: l_Loop.start, end: l_Loop.end, which: 'end' };
      else if (l_Loop.start !== l_Loop.end && l_Near(l_Loop.start)) this.drag = { kind: 'loop', start: l_Loop.start, end: l_Loop.end, which: 'start' };
      else if (p_Event.shiftKey) this.drag = { kind: 'loop', start: l_At.beat, end: l_At.beat, which: 'end' };
      else {
        this.cursor.beat = l_At.beat;
        this.changed();
      }
      return;
    }
    if (l_At.area === 'values') {
      this.drag = { kind: 'values', values: new Map() };
      this.#move(p_Event);
      return;
    }
    // The keys (and the drum lanes' names) are a handle that scrolls the view: a finger's way.
    if (l_At.area === 'keys') {
      this.drag = { kind: 'pan', x: l_At.x, y: l_At.y, beat: this.view.beat, row: this.view.row };
      return;
    }
    if (!l_At.area) return;
    if (l_At.area === 'drums' || l_At.area === 'melody') {
      this.track = l_At.track;
      this.cursor = { beat: l_At.beat, key: l_At.key ?? this.cursor.key };
    }
    const l_Note = (this.touchy && this.#handleAt(l_At)) || this.#noteAt(l_At);
    // A finger on empty space waits to tell a tap, a scroll and a long press apart.
    if (this.touchy && !l_Note) {
      this.drag = { kind: 'touch', at: l_At, x: l_At.x, y: l_At.y, beat: this.view.beat, row: this.view.row,
        timer: setTimeout(() => this.#longPress(), LONG_PRESS) };
      return;
    }
    if (l_Erase) {
      this.drag = { kind: 'erase', erased: new Map() };
      this.#move(p_Event);
      return;
    }
    if (l_Note) {
      const l_Id = id(l_Note.track, l_Note.beat);
      if (p_Event.shiftKey) {
        if (this.selection.has(l_Id)) this.selection.delete(l_Id);
        else this.selection.add(l_Id);
        this.changed();
        return;
      }
      if (!this.selection.has(l_Id)) this.select([l_Note]);
      this.drag = { kind: l_Note.edge ? 'resize' : 'move', from: l_At, beats: 0, keys: 0 };
      this.changed();
      return;
    }
    if (this.tool === 'select' || p_Event.shiftKey) {
      this.drag = { kind: 'box', area: l_At.area, x0: l_At.x, y0: l_At.y, x1: l_At.x, y1: l_At.y, add: p_Event.shiftKey };
      return;
    }
    const l_Key = l_At.area === 'melody' ? l_At.key : this.drumKey(l_At.track);
    this.drag = { kind: 'draw', note: { track: l_At.track, beat: l_At.beat, key: l_Key, ...this.newNote } };
    this.render();
  }

  // The first selected note heard (of a moved or resized group, one is enough).
  #hearFirst() {
    const [l_First] = this.selected();
    if (l_First) {
      const { track, ...l_Note } = l_First;
      this.onNote(track, l_Note);
    }
  }

  // The key a new drum note gets: that of the lane's nearest note before, or a drum's own pitch.
  drumKey(p_Track) {
    const l_Notes = this.model.notes(p_Track);
    const l_Before = l_Notes.filter((p_Note) => p_Note.beat <= this.cursor.beat).pop() ?? l_Notes[0];
    return l_Before ? l_Before.key : 48;
  }

  // Two fingers: whatever one began is dropped; from now on they zoom and pan the view.
  #pinch() {
    clearTimeout(this.drag?.timer);
    const [l_A, l_B] = [...this.touches.values()];
    const l_Box = this.canvas.getBoundingClientRect();
    const l_Mid = { x: (l_A.x + l_B.x) / 2 - l_Box.left, y: (l_A.y + l_B.y) / 2 - l_Box.top };
    const l_View = this.view;
    this.drag = { kind: 'pinch', dx: Math.max(40, Math.abs(l_A.x - l_B.x)), dy: Math.max(40, Math.abs(l_A.y - l_B.y)),
      beatWidth: l_View.beatWidth, keyHeight: l_View.keyHeight,
      beat: l_View.beat + (l_Mid.x - KEYS_WIDTH) / l_View.beatWidth, row: l_View.row + (l_Mid.y - RULER) / l_View.keyHeight };
    this.render();
  }

  #pinchMove() {
    const l_Drag = this.drag;
    const [l_A, l_B] = [...this.touches.values()];
    const l_Box = this.canvas.getBoundingClientRect();
    const l_Mid = { x: (l_A.x + l_B.x) / 2 - l_Box.left, y: (l_A.y + l_B.y) / 2 - l_Box.top };
    const l_View = this.view;
    l_View.beatWidth = clamp(l_Drag.beatWidth * (Math.max(40, Math.abs(l_A.x - l_B.x)) / l_Drag.dx), 2, 64);
    l_View.keyHeight = clamp(l_Drag.keyHeight * (Math.max(40, Math.abs(l_A.y - l_B.y)) / l_Drag.dy), 5, 28);
    // The beat and key that were under the fingers' middle stay under it.
    l_View.beat = l_Drag.beat - (l_Mid.x - KEYS_WIDTH) / l_View.beatWidth;
    l_View.row = l_Drag.row - (l_Mid.y - RULER) / l_View.keyHeight;
    this.scroll(0, 0);
  }

  // A finger held still: the note under it joins the selection, or a box selection begins there.
  #longPress() {
    const l_Drag = this.drag;
    if (l_Drag?.kind !== 'touch') return;
    const l_At = l_Drag.at;
    navigator.vibrate?.(15);
    this.drag = { kind: 'box', area: l_At.area, x0: l_At.x, y0: l_At.y, x1: l_At.x, y1: l_At.y, add: true };
    this.render();
  }

  #move(p_Event) {
    if (this.touches.has(p_Event.pointerId)) this.touches.set(p_Event.pointerId, { x: p_Event.clientX, y: p_Event.clientY });
    const l_Drag = this.drag;
    if (!l_Drag) return;
    if (l_Drag.kind === 'pinch') return this.touches.size >= 2 && this.#pinchMove();
    const l_At = this.#at(p_Event);
    if (l_Drag.kind === 'touch') {
      if (Math.hypot(l_At.x - l_Drag.x, l_At.y - l_Drag.y) < SLOP) return;
      clearTimeout(l_Drag.timer);
      l_Drag.kind = 'pan';
    }
    switch (l_Drag.kind) {
      case 'draw':
        l_Drag.note.length = clamp(l_At.beat - l_Drag.note.beat + 1, ...NOTE_RANGE.length);
        break;
      case 'move':
      case 'resize':
        l_Drag.beats = l_At.beat - l_Drag.from.beat;
        l_Drag.keys = l_Drag.from.key !== undefined && l_At.area === 'melody' ? l_At.key - l_Drag.from.key : 0;
        break;
      case 'box':
        l_Drag.x1 = l_At.x;
        l_Drag.y1 = l_At.y;
        break;
      case 'erase': {
        const l_Note = this.#noteAt(l_At);
        if (l_Note) l_Drag.erased.set(id(l_Note.track, l_Note.beat), l_Note);
        break;
      }
      case 'values': {
        const [l_Low, l_High] = NOTE_RANGE[this.valueField];
        const l_Value = Math.round(l_Low + ((this.height - 4 - l_At.y) / (this.values - 8)) * (l_High - l_Low));
        for (const l_Note of this.#valueNotes())
          if (l_At.beat >= l_Note.beat && l_At.beat < l_Note.beat + Math.max(1, l_Note.length))
            l_Drag.values.set(id(l_Note.track, l_Note.beat), { note: l_Note, value: clamp(l_Value, l_Low, l_High) });
        break;
      }
      case 'loop':
        l_Drag[l_Drag.which] = l_At.beat;
        break;
      case 'pan':
        this.view.beat = l_Drag.beat;
        this.view.row = l_Drag.row;
        this.scroll((l_Drag.x - l_At.x) / this.view.beatWidth, (l_Drag.y - l_At.y) / this.view.keyHeight);
        break;
    }
    this.render();
  }

  #up(p_Event) {
    const l_Finger = this.touches.delete(p_Event.pointerId);
    const l_Drag = this.drag;
    // The other finger of a pinch, still down, does nothing more.
    if (l_Drag?.kind === 'pinch' || l_Drag?.kind === 'spent') {
      this.drag = l_Finger && this.touches.size ? { kind: 'spent' } : null;
      return;
    }
    this.drag = null;
    if (!l_Drag) return;
    clearTimeout(l_Drag.timer);
    if (l_Drag.kind === 'touch') return this.#tap(l_Drag.at);
    const l_Apply = this.commit[l_Drag.kind];
    if (l_Apply) l_Apply.call(this, l_Drag);
    this.changed();
  }

  // A finger's tap on empty space: the tool's click there (draw places a note of the next note's length).
  #tap(p_At) {
    if (this.tool === 'select') this.select([]);
    else if (this.tool === 'draw' && p_At.track !== undefined) {
      const l_Key = p_At.area === 'melody' ? p_At.key : this.drumKey(p_At.track);
      this.commit.draw.call(this, { note: { track: p_At.track, beat: p_At.beat, key: l_Key, ...this.newNote } });
    }
    this.changed();
  }

  // What each gesture does to the song when it ends.
  commit = {
    draw(p_Drag) {
      const { track, ...l_Note } = p_Drag.note;
      this.model.edit((p_Edit) => p_Edit.note(track, l_Note.beat, l_Note));
      this.newNote.length = l_Note.length;
      this.select([p_Drag.note]);
      this.onNote(track, l_Note);
    },
    move(p_Drag) {
      this.moveSelection(p_Drag.beats, p_Drag.keys);
      if (p_Drag.beats || p_Drag.keys) this.#hearFirst();
    },
    resize(p_Drag) {
      const l_Notes = this.selected();
      this.model.edit((p_Edit) => {
        for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, { ...l_Note, length: clamp(l_Note.length + p_Drag.beats, ...NOTE_RANGE.length) });
      });
      if (p_Drag.beats) this.#hearFirst();
    },
    box(p_Drag) {
      const [l_X0, l_X1] = [Math.min(p_Drag.x0, p_Drag.x1), Math.max(p_Drag.x0, p_Drag.x1)];
      const [l_Y0, l_Y1] = [Math.min(p_Drag.y0, p_Drag.y1), Math.max(p_Drag.y0, p_Drag.y1)];
      const l_Tracks = p_Drag.area === 'melody' ? [this.melody] : this.lanes;
      const l_Hits = [];
      for (const l_Track of l_Tracks)
        for (const l_Note of this.model.notes(l_Track)) {
          const l_Left = this.x(l_Note.beat);
          const l_Top = this.noteY(l_Track, l_Note.key);
          if (l_Left < l_X1 && l_Left + Math.max(1, l_Note.length) * this.view.beatWidth > l_X0 && l_Top < l_Y1 && l_Top + this.rowHeight(l_Track) > l_Y0)
            l_Hits.push({ track: l_Track, ...l_Note });
        }
      this.select(l_Hits, p_Drag.add);
    },
    erase(p_Drag) {
      this.model.edit((p_Edit) => {
        for (const l_Note of p_Drag.erased.values()) p_Edit.note(l_Note.track, l_Note.beat, null);
      });
      this.prune();
    },
    values(p_Drag) {
      this.model.edit((p_Edit) => {
        for (const { note, value } of p_Drag.values.values()) {
          const { track, ...l_Note } = note;
          p_Edit.note(track, l_Note.beat, { ...l_Note, [this.valueField]: value });
        }
      });
    },
    loop(p_Drag) {
      const l_Start = Math.min(p_Drag.start, p_Drag.end);
      this.model.edit((p_Edit) => p_Edit.set('loop', [l_Start, Math.max(p_Drag.start, p_Drag.end)]));
    },
  };

  // The notes the value lane shows and changes: the selected ones, or else the edited track's.
  #valueNotes() {
    const l_Selected = this.selected();
    if (l_Selected.length) return l_Selected;
    return this.model.notes(this.track).map((p_Note) => ({ track: this.track, ...p_Note }));
  }

  // --- Edits of the selection (pointer and keyboard alike) ---
  // Moves the selected notes p_Beats later and p_Keys higher (drum notes keep their key); as far
  // as the song's first beat and the keys allow.
  moveSelection(p_Beats, p_Keys) {
    const l_Notes = this.selected();
    if (!l_Notes.length) return;
    const l_Beats = Math.max(p_Beats, -Math.min(...l_Notes.map((p_Note) => p_Note.beat)));
    const l_Melody = l_Notes.filter((p_Note) => p_Note.track < MELODY_TRACKS).map((p_Note) => p_Note.key);
    const l_Keys = l_Melody.length ? clamp(p_Keys, -Math.min(...l_Melody), KEYS - 1 - Math.max(...l_Melody)) : 0;
    if (l_Beats === 0 && l_Keys === 0) return;
    this.model.edit((p_Edit) => {
      for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, null);
      for (const { track, ...l_Note } of l_Notes)
        p_Edit.note(track, l_Note.beat + l_Beats, { ...l_Note, key: track < MELODY_TRACKS ? l_Note.key + l_Keys : l_Note.key });
    });
    this.select(l_Notes.map((p_Note) => ({ track: p_Note.track, beat: p_Note.beat + l_Beats })));
  }

  // Sets p_Field of every selected note to p_Value.
  setSelected(p_Field, p_Value) {
    const l_Notes = this.selected();
    this.model.edit((p_Edit) => {
      for (const { track, ...l_Note } of l_Notes) p_Edit.note(track, l_Note.beat, { ...l_Note, [p_Field]: p_Value });
    });
  }

  deleteSelection() {
    const l_Notes = this.selected();
    this.model.edit((p_Edit) => { for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, null); });
    this.selection.clear();
    this.changed();
  }

  // The selected notes as a clip: each with its track and its beat from the clip's first.
  copy() {
    const l_Notes = this.selected();
    if (!l_Notes.length) return null;
    const l_First = Math.min(...l_Notes.map((p_Note) => p_Note.beat));
    return l_Notes.map((p_Note) => ({ ...p_Note, beat: p_Note.beat - l_First }));
  }

  // Puts a clip at the cursor, on the tracks it came from; the pasted notes become the selection.
  paste(p_Clip) {
    if (!p_Clip?.length) return;
    const l_At = this.cursor.beat;
    this.model.edit((p_Edit) => {
      for (const { track, ...l_Note } of p_Clip) p_Edit.note(track, l_At + l_Note.beat, { ...l_Note, beat: l_At + l_Note.beat });
    });
    this.select(p_Clip.map((p_Note) => ({ track: p_Note.track, beat: l_At + p_Note.beat })));
  }

  // Places a note at the cursor on the chosen track (keyboard entry), heard; the cursor moves past
  // it and nothing stays selected, so that the arrows go on moving the cursor.
  placeNote() {
    const l_Key = this.track < MELODY_TRACKS ? this.cursor.key : this.drumKey(this.track);
    this.enterNote(this.track, { key: l_Key, volume: this.newNote.volume, pan: this.newNote.pan });
    this.onNote(this.track, { key: l_Key, ...this.newNote });
  }

  // Step entry: p_Note ({ key, volume, pan }) of the next note's length at the cursor on p_Track,
  // the cursor on its key and past its end.
  enterNote(p_Track, p_Note) {
    const l_Note = { ...p_Note, beat: this.cursor.beat, length: this.newNote.length };
    this.model.edit((p_Edit) => p_Edit.note(p_Track, l_Note.beat, l_Note));
    this.selection.clear();
    if (p_Track < MELODY_TRACKS) this.cursor.key = l_Note.key;
    this.cursor.beat += l_Note.length;
    this.reveal();
  }

  // --- View ---
  #wheel(p_Event) {
    p_Event.preventDefault();
    if (p_Event.ctrlKey) this.zoom(p_Event.deltaY < 0 ? 1.25 : 0.8, p_Event.shiftKey ? 'keys' : 'beats');
    else if (p_Event.shiftKey || Math.abs(p_Event.deltaX) > Math.abs(p_Event.deltaY))
      this.scroll((p_Event.deltaX || p_Event.deltaY) / this.view.beatWidth, 0);
    else this.scroll(0, p_Event.deltaY / this.view.keyHeight);
  }

  scroll(p_Beats, p_Rows) {
    this.view.beat = Math.max(0, this.view.beat + p_Beats);
    this.view.row = clamp(this.view.row + p_Rows, 0, Math.max(0, KEYS - this.rowsShown));
    this.render();
  }

  zoom(p_Factor, p_Axis) {
    if (p_Axis === 'keys') this.view.keyHeight = clamp(this.view.keyHeight * p_Factor, 5, 28);
    else this.view.beatWidth = clamp(this.view.beatWidth * p_Factor, 2, 64);
    this.scroll(0, 0);
  }

  // Scrolls so that the cursor is in view.
  reveal() {
    const l_View = this.view;
    if (this.cursor.beat < l_View.beat || this.cursor.beat >= l_View.beat + this.beatsShown - 1)
      l_View.beat = Math.max(0, this.cursor.beat - Math.floor(this.beatsShown / 4));
    const l_Row = KEYS - 1 - this.cursor.key;
    if (l_Row < l_View.row || l_Row >= l_View.row + this.rowsShown - 1) l_View.row = l_Row - Math.floor(this.rowsShown / 2);
    this.scroll(0, 0);
    this.changed();
  }

  // Shows the notes of the song just loaded: its lowest melody notes near the bottom.
  home() {
    const l_Keys = [];
    for (let l_Track = 0; l_Track < MELODY_TRACKS; ++l_Track) for (const l_Note of this.model.notes(l_Track)) l_Keys.push(l_Note.key);
    const l_Middle = l_Keys.length ? (Math.min(...l_Keys) + Math.max(...l_Keys)) / 2 : 57;
    this.view.beat = 0;
    this.view.row = KEYS - 1 - l_Middle - this.rowsShown / 2;
    this.selection.clear();
    this.scroll(0, 0);
  }

  // The view as large as the canvas is on the page, its bitmap that many device pixels (up to
  // MAX_SCALE to a CSS pixel); the keys in the middle of the view stay there.
  #fit() {
    const l_Width = this.canvas.clientWidth;
    const l_Height = this.canvas.clientHeight;
    const l_Scale = bitmapScale();
    if (this.width === l_Width && this.height === l_Height && this.scale === l_Scale) return;
    const l_Middle = this.view.row + this.rowsShown / 2;
    [this.width, this.height, this.scale] = [l_Width, l_Height, l_Scale];
    this.canvas.width = Math.round(l_Width * l_Scale);
    this.canvas.height = Math.round(l_Height * l_Scale);
    this.view.row = l_Middle - this.rowsShown / 2;
    this.scroll(0, 0);
  }

  // --- Drawing ---
  render() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.draw();
    });
  }

  draw() {
    const l_Start = performance.now();
    if (this.scale !== bitmapScale()) this.#fit();
    const l_C = this.context;
    const { width, height } = this;
    const l_View = this.view;
    l_C.setTransform(this.scale, 0, 0, this.scale, 0, 0);
    const l_MelodyBottom = this.drumTop - GAP;
    // Each pixel is filled once as far as can be (a frame's cost is mostly the pixels filled): the
    // ruler and the gaps in the background colour, the roll in the white keys' rows' colour.
    l_C.fillStyle = '#15181d';
    if (!this.model.song) return l_C.fillRect(0, 0, width, height);
    l_C.fillRect(0, 0, width, RULER);
    l_C.fillRect(0, l_MelodyBottom, width, GAP);
    l_C.fillRect(0, this.valuesTop - GAP, width, GAP);
    const l_First = Math.floor(l_View.beat);
    const l_Last = Math.ceil(l_View.beat + this.beatsShown);

    // Key rows: the black keys' rows darker, each C marked.
    l_C.save();
    l_C.beginPath();
    l_C.rect(0, RULER, width, this.melodyHeight);
    l_C.clip();
    l_C.fillStyle = '#22272e';
    l_C.fillRect(KEYS_WIDTH, RULER, width - KEYS_WIDTH, this.melodyHeight);
    l_C.fillStyle = '#15181d';
    l_C.fillRect(0, RULER, KEYS_WIDTH, this.melodyHeight);
    l_C.font = `${Math.min(11, l_View.keyHeight)}px sans-serif`;
    const l_TopKey = this.keyOf(RULER);
    const l_BottomKey = this.keyOf(l_MelodyBottom - 1);
    for (let l_Key = l_BottomKey; l_Key <= l_TopKey; ++l_Key) {
      const l_Y = this.keyY(l_Key);
      const l_Black = BLACK_KEYS.has(l_Key % 12);
      if (l_Black) {
        l_C.fillStyle = '#1b1f25';
        l_C.fillRect(KEYS_WIDTH, l_Y, width - KEYS_WIDTH, l_View.keyHeight);
      }
      l_C.fillStyle = l_Black ? '#30353c' : '#d9dde2';
      l_C.fillRect(0, l_Y, KEYS_WIDTH - 2, l_View.keyHeight - 1);
      if (l_Key % 12 === 0) {
        l_C.fillStyle = '#3a414b';
        l_C.fillRect(KEYS_WIDTH, l_Y + l_View.keyHeight - 1, width, 1);
        if (l_View.keyHeight >= 8) {
          l_C.fillStyle = '#333';
          l_C.fillText(keyName(l_Key), 3, l_Y + l_View.keyHeight - 1);
        }
      }
    }
    l_C.restore();
    // Drum lanes and the value lane.
    l_C.font = '11px sans-serif';
    l_C.fillStyle = '#15181d';
    const l_Lanes = this.lanes;
    const l_LaneHeight = this.laneHeight;
    l_C.fillRect(0, this.drumTop, KEYS_WIDTH, l_Lanes.length * l_LaneHeight);
    for (const [l_Lane, l_Track] of l_Lanes.entries()) {
      const l_Y = this.drumTop + l_Lane * l_LaneHeight;
      l_C.fillStyle = l_Lane % 2 ? '#1d2127' : '#22272e';
      l_C.fillRect(KEYS_WIDTH, l_Y, width, l_LaneHeight);
      l_C.fillStyle = l_Track === this.track ? '#ffffff' : '#9aa3ad';
      l_C.fillText(`Drum ${l_Track - MELODY_TRACKS + 1}`, 3, l_Y + l_LaneHeight / 2 + 4);
    }
    l_C.fillStyle = '#1b1f25';
    l_C.fillRect(0, this.valuesTop, width, this.values);
    l_C.fillStyle = '#9aa3ad';
    l_C.fillText(this.valueField === 'volume' ? 'Volume' : 'Pan', 3, this.valuesTop + 14);

    // The grid: every clock beat faintly, the ruler's beats and bars stronger.
    const { perBar, perBeat } = this.model.barLayout;
    const l_Bar = perBar * perBeat;
    const l_StepLines = l_View.beatWidth >= 4;
    for (let l_Beat = l_First; l_Beat <= l_Last; ++l_Beat) {
      const l_IsBar = l_Beat % l_Bar === 0;
      const l_IsBeat = l_Beat % perBeat === 0;
      if (!l_IsBar && !l_IsBeat && !l_StepLines) continue;
      const l_X = Math.round(this.x(l_Beat));
      l_C.fillStyle = l_IsBar ? 'rgba(230,236,244,0.35)' : l_IsBeat ? 'rgba(230,236,244,0.16)' : 'rgba(230,236,244,0.06)';
      l_C.fillRect(l_X, RULER, 1, height - RULER);
      if (l_IsBar) {
        l_C.fillStyle = '#d0d6de';
        l_C.font = '11px sans-serif';
        l_C.fillText(String(l_Beat / l_Bar + 1), l_X + 3, 12);
      }
      l_C.fillStyle = '#7d8793';
      const l_Tick = l_IsBar ? 16 : l_IsBeat ? 22 : 27;
      l_C.fillRect(l_X, l_Tick, 1, RULER - l_Tick);
    }

    // The loop on the ruler.
    const l_Loop = this.drag?.kind === 'loop' ? { start: Math.min(this.drag.start, this.drag.end), end: Math.max(this.drag.start, this.drag.end) } : this.model.loop;
    if (l_Loop.end > l_Loop.start) {
      const l_X0 = this.x(l_Loop.start);
      const l_X1 = this.x(l_Loop.end);
      l_C.fillStyle = 'rgba(116,192,252,0.25)';
      l_C.fillRect(l_X0, 14, l_X1 - l_X0, RULER - 14);
      l_C.fillStyle = '#74c0fc';
      for (const [l_X, l_Dir] of [[l_X0, 1], [l_X1, -1]]) {
        l_C.beginPath();
        l_C.moveTo(l_X, 14);
        l_C.lineTo(l_X + 8 * l_Dir, 14);
        l_C.lineTo(l_X, 26);
        l_C.fill();
        l_C.fillRect(l_X - (l_Dir < 0 ? 1 : 0), 14, 1, height);
      }
    }

    // Notes: the other melody tracks faint, the edited track and the drums bright, the selected
    // outlined; a gesture in progress shows its outcome.
    const l_Drag = this.drag;
    const l_Moving = l_Drag && (l_Drag.kind === 'move' || l_Drag.kind === 'resize');
    const l_Erased = l_Drag?.kind === 'erase' ? l_Drag.erased : null;
    const l_Values = l_Drag?.kind === 'values' ? l_Drag.values : null;
    const l_Edited = this.melody;
    // The other melody tracks, then the edited one over them, clipped to the roll; then the drums
    // that have a lane, clipped to theirs (a clip for each area, not for each track).
    const l_Order = [...Array(MELODY_TRACKS).keys()].filter((p_Track) => p_Track !== l_Edited);
    l_Order.push(l_Edited, ...l_Lanes);
    for (const [l_Place, l_Track] of l_Order.entries()) {
      const l_Melody = l_Track < MELODY_TRACKS;
      if (l_Place === 0 || l_Place === MELODY_TRACKS) {
        if (!l_Melody) l_C.restore();
        l_C.save();
        l_C.beginPath();
        if (l_Melody) l_C.rect(KEYS_WIDTH, RULER, width, this.melodyHeight);
        else l_C.rect(KEYS_WIDTH, this.drumTop, width, l_Lanes.length * l_LaneHeight);
        l_C.clip();
      }
      const l_Faint = l_Melody && l_Track !== l_Edited;
      const l_Colour = COLOURS[l_Track % COLOURS.length];
      const l_Height = this.rowHeight(l_Track) - 1;
      for (const l_Note of this.model.notes(l_Track)) {
        if (l_Note.beat > l_Last) break;
        const l_Id = id(l_Track, l_Note.beat);
        if (l_Erased?.has(l_Id)) continue;
        let { beat: l_Beat, key: l_Key, length: l_Length } = l_Note;
        const l_Selected = this.selection.has(l_Id);
        if (l_Selected && l_Moving) {
          if (l_Drag.kind === 'move') {
            l_Beat = Math.max(0, l_Beat + l_Drag.beats);
            if (l_Melody) l_Key = clamp(l_Key + l_Drag.keys, 0, KEYS - 1);
          } else l_Length = clamp(l_Length + l_Drag.beats, ...NOTE_RANGE.length);
        }
        if (l_Beat + l_Length < l_First) continue;
        const l_Y = this.noteY(l_Track, l_Key);
        if (l_Melody && (l_Y > l_MelodyBottom || l_Y + l_Height < RULER)) continue;
        const l_X = this.x(l_Beat);
        const l_W = Math.max(2, l_Length * l_View.beatWidth - 1);
        l_C.globalAlpha = l_Faint ? 0.3 : 1;
        l_C.fillStyle = l_Colour;
        l_C.fillRect(l_X, l_Y, l_W, l_Height);
        if (l_Selected) {
          l_C.strokeStyle = '#ffffff';
          l_C.lineWidth = 2;
          l_C.strokeRect(l_X + 1, l_Y + 1, l_W - 2, l_Height - 2);
          // A finger's handle to resize it by.
          if (this.touchy) {
            l_C.fillStyle = '#ffffff';
            l_C.fillRect(l_X + l_W - 3, l_Y + l_Height / 2 - 8, 6, 16);
          }
        }
      }
    }
    l_C.restore();
    l_C.globalAlpha = 1;
    if (l_Drag?.kind === 'draw') {
      const l_Note = l_Drag.note;
      l_C.fillStyle = COLOURS[l_Note.track % COLOURS.length];
      l_C.fillRect(this.x(l_Note.beat), this.noteY(l_Note.track, l_Note.key), l_Note.length * l_View.beatWidth - 1, this.rowHeight(l_Note.track) - 1);
    }

    // The value lane: a bar per note it shows; the volume or pan the song changes while a note of
    // the edited track sounds, as dots.
    const [l_Low, l_High] = NOTE_RANGE[this.valueField];
    l_C.fillStyle = '#c8ced6';
    for (const l_Change of this.model.changes(this.track)) {
      const l_Value = l_Change[this.valueField];
      if (l_Change.beat < l_First || l_Change.beat > l_Last || l_Value > l_High) continue;
      l_C.fillRect(this.x(l_Change.beat) + l_View.beatWidth / 2 - 1, height - 5 - ((l_Value - l_Low) / (l_High - l_Low)) * (this.values - 8), 3, 3);
    }
    for (const l_Note of this.#valueNotes()) {
      if (l_Note.beat > l_Last || l_Note.beat + l_Note.length < l_First) continue;
      const l_Value = l_Values?.get(id(l_Note.track, l_Note.beat))?.value ?? l_Note[this.valueField];
      const l_H = ((l_Value - l_Low) / (l_High - l_Low)) * (this.values - 8);
      l_C.fillStyle = COLOURS[l_Note.track % COLOURS.length];
      l_C.fillRect(this.x(l_Note.beat), height - 4 - l_H, Math.max(3, l_View.beatWidth - 2), Math.max(1, l_H));
    }

    if (l_Drag?.kind === 'box') {
      l_C.strokeStyle = '#ffffff';
      l_C.lineWidth = 1;
      l_C.setLineDash([4, 3]);
      l_C.strokeRect(l_Drag.x0 + 0.5, l_Drag.y0 + 0.5, l_Drag.x1 - l_Drag.x0, l_Drag.y1 - l_Drag.y0);
      l_C.setLineDash([]);
    }
    // The keyboard's cursor, and the playhead.
    const l_CursorX = this.x(this.cursor.beat);
    l_C.strokeStyle = '#ffe066';
    l_C.lineWidth = 1;
    if (this.track < MELODY_TRACKS) l_C.strokeRect(l_CursorX + 0.5, this.keyY(this.cursor.key) + 0.5, l_View.beatWidth - 1, l_View.keyHeight - 1);
    else l_C.strokeRect(l_CursorX + 0.5, this.laneY(this.track) + 0.5, l_View.beatWidth - 1, l_LaneHeight - 1);
    l_C.fillStyle = '#ffe066';
    l_C.fillRect(l_CursorX, 0, 2, RULER);
    if (this.playhead !== null) {
      l_C.fillStyle = '#ff4d4d';
      l_C.fillRect(Math.round(this.x(this.playhead)), 0, 2, height);
    }
    // The ruler's and the keys' edges.
    l_C.fillStyle = '#596370';
    l_C.fillRect(0, RULER - 1, width, 1);
    l_C.fillRect(KEYS_WIDTH - 1, RULER, 1, height - RULER);
    this.frameTimes.push(performance.now() - l_Start);
    if (this.frameTimes.length > 600) this.frameTimes.shift();
  }
}
