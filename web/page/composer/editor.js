// The composer's canvas: a ruler (bars, sections, loop markers, cursor), a piano roll of the melody
// keys, a lane per drum track and a lane of the volume or pan of the notes, all on one time axis
// (geometry.js lays them out). Notes are drawn, moved, resized, selected and erased with pointer
// events (a mouse, a pen or a finger alike), a gesture each (gestures/); every change goes to the
// model as one transaction per gesture. The frame is drawn in layers (layers/), at the screen's own
// resolution (up to MAX_SCALE), and made into pixels off the page's thread where the browser lets
// it be (painter.js).
import { COLOURS } from '../player/roll.js';
import { GAP, Geometry, clamp, id } from './geometry.js';
import { box } from './gestures/box.js';
import { draw } from './gestures/draw.js';
import { erase } from './gestures/erase.js';
import { loop } from './gestures/loop.js';
import { move, resize } from './gestures/move.js';
import { pan, pinch, touch } from './gestures/pan.js';
import { section } from './gestures/section.js';
import { values } from './gestures/values.js';
import { drawBackground, keyName } from './layers/background.js';
import { drawGrid } from './layers/grid.js';
import { drawNotes } from './layers/notes.js';
import { drawOverlay } from './layers/overlay.js';
import { drawValues } from './layers/values.js';
import { Painter } from './painter.js';
import { KEYS, MELODY_TRACKS, TRACKS } from './model.js';

export { COLOURS, keyName };

// Bitmap pixels per CSS pixel at most: a frame's cost is mostly the pixels filled and handed on,
// and at a phone's 3 there are 2.25 times those of 2 for a roll that looks the same.
export const MAX_SCALE = 2;
const bitmapScale = () => Math.min(MAX_SCALE, devicePixelRatio || 1);
const GESTURES = { draw, move, resize, box, erase, values, loop, section, pan, touch, pinch };
const LAYERS = [drawBackground, drawGrid, drawNotes, drawValues, drawOverlay];

export class Editor extends Geometry {
  constructor(p_Canvas, p_Model) {
    super();
    this.canvas = p_Canvas;
    this.painter = new Painter(p_Canvas, () => this.render());
    this.model = p_Model;
    this.gestures = GESTURES;
    this.chosen = 0;             // the track chosen (track list, drum lane, keys 1-8)
    this.melody = 0;             // the melody track the piano roll edits: the last one chosen
    this.cursor = { beat: 0, key: 57 };
    this.selection = new Set();  // id(track, beat) of the selected notes
    this.section = null;         // the bars selected on the ruler: { start, end } in beats, end excluded
    this.tool = 'draw';          // 'draw', 'select', 'erase'
    this.valueField = 'volume';
    this.newNote = { length: 4, volume: 200, pan: 6 };
    this.playhead = null;        // the beat sounding, while playing
    this.drag = null;
    this.onChange = () => {};    // the selection, cursor or view changed
    this.onNote = () => {};      // a note drawn, moved, resized or placed: (track, note), to be heard
    this.frameTimes = [];
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

  // --- Bars and sections ---
  get barBeats() { return this.model.barLayout.perBar * this.model.barLayout.perBeat; }
  barOf(p_Beat) { return Math.floor(p_Beat / this.barBeats); }
  // The whole bars from the one of p_A to the one of p_B, either way round.
  barsBetween(p_A, p_B) {
    const l_Bar = this.barBeats;
    return { start: Math.min(this.barOf(p_A), this.barOf(p_B)) * l_Bar, end: (Math.max(this.barOf(p_A), this.barOf(p_B)) + 1) * l_Bar };
  }
  setSection(p_Section) {
    this.section = p_Section;
    if (p_Section) this.selection.clear();
    this.changed();
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

  // --- Pointer gestures ---
  #down(p_Event) {
    this.canvas.focus();
    this.canvas.setPointerCapture(p_Event.pointerId);
    this.touchy = p_Event.pointerType === 'touch';
    if (this.touchy) {
      this.touches.set(p_Event.pointerId, { x: p_Event.clientX, y: p_Event.clientY });
      if (this.touches.size === 2) {
        this.drag = pinch.start(this);
        return this.render();
      }
      if (this.touches.size > 2) return;
    }
    const l_At = this.at(p_Event);
    const l_Erase = p_Event.button === 2 || this.tool === 'erase' || p_Event.button === 5;
    if (l_At.area === 'ruler') {
      this.drag = loop.start(this, l_At, p_Event.shiftKey) ?? section.start(this, l_At);
      return;
    }
    if (l_At.area === 'values') {
      this.drag = { kind: 'values', values: new Map() };
      return this.#move(p_Event);
    }
    // The keys (and the drum lanes' names) are a handle that scrolls the view: a finger's way.
    if (l_At.area === 'keys') {
      this.drag = pan.start(this, l_At);
      return;
    }
    if (!l_At.area) return;
    if (l_At.area === 'drums' || l_At.area === 'melody') {
      this.track = l_At.track;
      this.cursor = { beat: l_At.beat, key: l_At.key ?? this.cursor.key };
    }
    const l_Note = (this.touchy && this.handleAt(l_At)) || this.noteAt(l_At);
    // A finger on empty space waits to tell a tap, a scroll and a long press apart.
    if (this.touchy && !l_Note) {
      this.drag = touch.start(this, l_At);
      return;
    }
    if (l_Erase) {
      this.drag = { kind: 'erase', erased: new Map() };
      return this.#move(p_Event);
    }
    if (l_Note) {
      const l_Id = id(l_Note.track, l_Note.beat);
      if (p_Event.shiftKey) {
        if (this.selection.has(l_Id)) this.selection.delete(l_Id);
        else this.selection.add(l_Id);
        return this.changed();
      }
      if (!this.selection.has(l_Id)) this.select([l_Note]);
      this.drag = { kind: l_Note.edge ? 'resize' : 'move', from: l_At, beats: 0, keys: 0 };
      return this.changed();
    }
    this.drag = this.tool === 'select' || p_Event.shiftKey ? box.start(l_At, p_Event.shiftKey) : draw.start(this, l_At);
    this.render();
  }

  #move(p_Event) {
    if (this.touches.has(p_Event.pointerId)) this.touches.set(p_Event.pointerId, { x: p_Event.clientX, y: p_Event.clientY });
    const l_Drag = this.drag;
    if (!l_Drag || l_Drag.kind === 'spent') return;
    GESTURES[l_Drag.kind].move(this, l_Drag, this.at(p_Event));
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
    GESTURES[l_Drag.kind].commit?.(this, l_Drag);
    this.changed();
  }

  // The first selected note heard (of a moved or resized group, one is enough).
  hearFirst() {
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

  // The notes the value lane shows and changes: the selected ones (each with its track), or else
  // the edited track's, as the song lists them (not to be changed): { notes, track } (track: the
  // edited one, or null for the selected).
  valueSource() {
    const l_Selected = this.selection.size ? this.selected() : [];
    return l_Selected.length ? { notes: l_Selected, track: null } : { notes: this.model.notes(this.track), track: this.track };
  }

  // Those notes, each with its track.
  valueNotes() {
    const { notes, track } = this.valueSource();
    return track === null ? notes : notes.map((p_Note) => ({ track, ...p_Note }));
  }

  // --- Edits of the selection (pointer and keyboard alike) ---
  // Moves the selected notes p_Beats later and p_Keys higher (drum notes keep their key); as far
  // as the song's first beat and the keys allow.
  moveSelection(p_Beats, p_Keys) {
    const l_Notes = this.selected();
    if (!l_Notes.length) return;
    const l_Beats = Math.max(p_Beats, -Math.min(...l_Notes.map((p_Note) => p_Note.beat)));
    // A drum note's key is its pitch, moved as a melody note's is.
    const l_Held = l_Notes.map((p_Note) => p_Note.key);
    const l_Keys = clamp(p_Keys, -Math.min(...l_Held), KEYS - 1 - Math.max(...l_Held));
    if (l_Beats === 0 && l_Keys === 0) return;
    this.model.edit((p_Edit) => {
      for (const l_Note of l_Notes) p_Edit.note(l_Note.track, l_Note.beat, null);
      for (const { track, ...l_Note } of l_Notes) p_Edit.note(track, l_Note.beat + l_Beats, { ...l_Note, key: l_Note.key + l_Keys });
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

  // The beat playing shown (null: none), the view scrolled on to keep it in sight.
  follow(p_Beat) {
    if (p_Beat === this.playhead) return;
    this.playhead = p_Beat;
    const l_View = this.view;
    if (p_Beat !== null && (p_Beat < l_View.beat || p_Beat > l_View.beat + this.beatsShown - 2)) this.scroll(p_Beat - l_View.beat, 0);
    this.render();
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
    this.painter.resize(Math.round(l_Width * l_Scale), Math.round(l_Height * l_Scale));
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
    // The painter still making the last frame draws this one when it is done.
    const l_C = this.painter.begin();
    if (!l_C) return;
    this.drawOn(l_C);
    this.painter.end();
    this.frameTimes.push(performance.now() - l_Start);
    if (this.frameTimes.length > 600) this.frameTimes.shift();
  }

  // The frame as the view, the song and the gesture under way show it, on p_C (a 2D context or a
  // Recording of one) of the bitmap's size.
  drawOn(p_C) {
    p_C.setTransform(this.scale, 0, 0, this.scale, 0, 0);
    if (!this.model.loaded) {
      p_C.fillStyle = '#15181d';
      return p_C.fillRect(0, 0, this.width, this.height);
    }
    const l_Frame = { first: Math.floor(this.view.beat), last: Math.ceil(this.view.beat + this.beatsShown), melodyBottom: this.drumTop - GAP };
    for (const l_Layer of LAYERS) l_Layer(this, p_C, l_Frame);
  }
}
