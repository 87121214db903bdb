// The song's tracks as they play: for each one its instrument, a scope of its own sound and its
// level, as the worklet reads them apart (a meter report about 45 times a second); a click or tap
// mutes the track, a shift-click or a long press solos it, on the library's mixing desk in the
// worklet. Drawn once a frame, each scope only when something new came for it, so that sixteen
// cost little.
import { instrumentName } from './names.js';
import { longPress } from './press.js';
import { COLOURS } from './roll.js';

const HEIGHT = 44;      // CSS pixels of a scope
const BAR = 5;          // of the level bar under it
const STALE = 150;      // ms without a report after which the tracks are shown silent
const FALL = 0.9;       // a level's share kept from one frame to the next as it falls
const MAX_SCALE = 2;    // bitmap pixels per CSS pixel at most
const FRAMES_KEPT = 600;

export class TrackScopes {
  // p_Desk(track, { mute } or { solo }): asks for a track to be muted or soloed (or not).
  constructor(p_Box, p_Desk) {
    this.box = p_Box;
    this.desk = p_Desk;
    this.muted = [];
    this.soloed = [];
    this.levels = [];        // the last report's { peak, rms } per track
    this.reportAt = -Infinity;
    this.frameTimes = [];    // ms of script each frame's drawing took
    this.tiles = [];
    new ResizeObserver(() => this.#fit()).observe(p_Box);
    const l_Frame = () => {
      this.#draw();
      requestAnimationFrame(l_Frame);
    };
    requestAnimationFrame(l_Frame);
  }

  // p_Song: the page's open copy of the song, for the tracks' instruments; p_Tw, for their names.
  setSong(p_Song, p_Tw) {
    const l_Tracks = p_Song.tracks;
    if (this.tiles.length !== l_Tracks.length) this.#build(l_Tracks.length);
    l_Tracks.forEach((p_Track, p_Index) => {
      const l_Tile = this.tiles[p_Index];
      const l_Name = instrumentName(p_Tw, p_Track.drums, p_Track.instrument);
      l_Tile.button.querySelector('.name').textContent = l_Name;
      l_Tile.button.setAttribute('aria-label', `Track ${p_Index + 1}: ${l_Name}`);
      l_Tile.button.classList.toggle('empty', p_Track.notes === 0);
      l_Tile.scope = null;
      l_Tile.dirty = true;
    });
    this.levels = [];
  }

  // The worklet's meter report: each track's peak and RMS and, when asked for, its scope.
  meter(p_Report) {
    this.reportAt = performance.now();
    this.levels = Array.from(p_Report.peak, (p_Peak, p_Track) => ({ peak: p_Peak, rms: p_Report.rms[p_Track] }));
    this.tiles.forEach((p_Tile, p_Track) => {
      p_Tile.scope = p_Report.scope?.subarray(p_Track * p_Report.points, (p_Track + 1) * p_Report.points) ?? null;
      p_Tile.level = Math.max(p_Tile.level, this.levels[p_Track].rms);
      p_Tile.peak = Math.max(p_Tile.peak, this.levels[p_Track].peak);
      p_Tile.dirty = true;
    });
  }

  // The desk's state as the library in the worklet reports it.
  setDesk(p_Desk) {
    this.muted = p_Desk.muted;
    this.soloed = p_Desk.soloed;
    const l_Solo = this.soloed.some(Boolean);
    this.tiles.forEach((p_Tile, p_Track) => {
      p_Tile.button.dataset.muted = String(this.muted[p_Track]);
      p_Tile.button.dataset.soloed = String(this.soloed[p_Track]);
      p_Tile.button.querySelector('.state').textContent = this.soloed[p_Track] ? 'S' : this.muted[p_Track] ? 'M' : '';
      p_Tile.button.classList.toggle('silent', l_Solo ? !this.soloed[p_Track] : this.muted[p_Track]);
    });
  }

  #build(p_Count) {
    this.tiles = Array.from({ length: p_Count }, (_, p_Track) => {
      const l_Button = document.createElement('button');
      l_Button.className = 'track';
      l_Button.title = 'Click or tap: mute · Shift+click or long press: solo';
      l_Button.innerHTML = '<span class="number"></span><span class="name"></span><span class="state"></span><canvas class="scope"></canvas>';
      l_Button.querySelector('.number').textContent = String(p_Track + 1);
      l_Button.style.setProperty('--colour', COLOURS[p_Track % COLOURS.length]);
      const l_Solo = () => this.desk(p_Track, { solo: !this.soloed[p_Track] });
      const l_Pressed = longPress(l_Button, l_Solo);
      l_Button.addEventListener('click', (p_Event) => {
        if (l_Pressed.consume()) return;  // the press that soloed it
        if (p_Event.shiftKey) l_Solo();
        else this.desk(p_Track, { mute: !this.muted[p_Track] });
      });
      const l_Canvas = l_Button.querySelector('canvas');
      l_Canvas.style.height = `${HEIGHT + BAR}px`;
      return { button: l_Button, canvas: l_Canvas, context: l_Canvas.getContext('2d', { alpha: false }), colour: COLOURS[p_Track % COLOURS.length],
        scope: null, level: 0, peak: 0, dirty: true };
    });
    this.box.replaceChildren(...this.tiles.map((p_Tile) => p_Tile.button));
    this.#fit();
  }

  // Each scope's bitmap at the screen's resolution (at most MAX_SCALE), its CSS size as laid out.
  #fit() {
    const l_Scale = Math.min(MAX_SCALE, devicePixelRatio || 1);
    for (const l_Tile of this.tiles) {
      const l_Width = Math.round(l_Tile.canvas.clientWidth * l_Scale);
      const l_Height = Math.round((HEIGHT + BAR) * l_Scale);
      if (l_Width === l_Tile.canvas.width && l_Height === l_Tile.canvas.height) continue;
      l_Tile.canvas.width = l_Width;
      l_Tile.canvas.height = l_Height;
      l_Tile.dirty = true;
    }
  }

  #draw() {
    const l_Start = performance.now();
    // No report for a while (paused, ended): the levels fall and the scopes go flat.
    const l_Stale = l_Start - this.reportAt > STALE;
    for (const l_Tile of this.tiles) {
      if (l_Stale && (l_Tile.scope || l_Tile.level > 0 || l_Tile.peak > 0)) {
        l_Tile.scope = null;
        l_Tile.dirty = true;
      }
      if (l_Tile.dirty) this.#drawTile(l_Tile);
    }
    this.frameTimes.push(performance.now() - l_Start);
    if (this.frameTimes.length > FRAMES_KEPT) this.frameTimes.shift();
  }

  #drawTile(p_Tile) {
    const l_C = p_Tile.context;
    const { width, height } = p_Tile.canvas;
    const l_Scope = (HEIGHT / (HEIGHT + BAR)) * height;
    l_C.fillStyle = '#0d0f12';
    l_C.fillRect(0, 0, width, height);
    l_C.fillStyle = '#2b3440';
    l_C.fillRect(0, Math.floor(l_Scope / 2), width, 1);
    const l_Points = p_Tile.scope;
    if (l_Points) {
      // ±0.25 fills the scope (a track of a mix is seldom louder); a louder one is cut at its edges.
      const l_Middle = l_Scope / 2;
      const l_Y = (p_Sample) => Math.max(1, Math.min(l_Scope - 1, l_Middle - 2 * l_Scope * p_Sample));
      const l_Step = width / (l_Points.length - 1);
      l_C.strokeStyle = p_Tile.colour;
      l_C.lineWidth = Math.max(1, width / 120);
      l_C.beginPath();
      l_C.moveTo(0, l_Y(l_Points[0]));
      for (let l_Point = 1; l_Point < l_Points.length; ++l_Point) l_C.lineTo(l_Point * l_Step, l_Y(l_Points[l_Point]));
      l_C.stroke();
    }
    // The level: RMS as a bar, the peak as a tick, on a scale of decibels from -48 to 0.
    const l_Width = (p_Value) => (p_Value > 0 ? Math.max(0, Math.min(1, 1 + Math.log10(p_Value) * (20 / 48))) : 0) * width;
    const l_Bar = height - l_Scope;
    l_C.fillStyle = '#1d2128';
    l_C.fillRect(0, l_Scope, width, l_Bar);
    l_C.fillStyle = p_Tile.colour;
    l_C.fillRect(0, l_Scope + 1, l_Width(p_Tile.level), l_Bar - 1);
    if (p_Tile.peak > 0) l_C.fillRect(Math.max(0, l_Width(p_Tile.peak) - 2), l_Scope + 1, 2, l_Bar - 1);
    p_Tile.level *= FALL;
    p_Tile.peak *= FALL;
    if (p_Tile.level < 1e-4 && p_Tile.peak < 1e-4) p_Tile.level = p_Tile.peak = 0;
    // Falling levels are drawn again next frame; a still scope only when a report comes.
    p_Tile.dirty = p_Tile.level > 0 || p_Tile.peak > 0;
  }
}
