// The track list: each track's name (choosing it), level, instrument, a note to hear it, mute and
// solo; the compact picker of a phone's screen.
import { instrumentName } from '../player/names.js';
import { COLOURS } from './editor.js';
import { INSTRUMENTS, MELODY_TRACKS, TRACKS } from './model.js';

export const trackName = (p_Track) => (p_Track < MELODY_TRACKS ? `Melody ${p_Track + 1}` : `Drum ${p_Track - MELODY_TRACKS + 1}`);

export class TrackList {
  // p_Host: { tw, model, editor, list (the <ol>), picker (the <select>), choose(track),
  // setInstrument(track, n), preview(track), toggle('mute' | 'solo', track), desk() → { muted, soloed } }.
  constructor(p_Host) { Object.assign(this, p_Host); }

  #audible(p_Track) {
    const l_Desk = this.desk();
    return l_Desk.soloed.some(Boolean) ? l_Desk.soloed[p_Track] : !l_Desk.muted[p_Track];
  }

  #build() {
    this.meters = null;
    this.list.replaceChildren(...Array.from({ length: TRACKS }, (_, p_Track) => {
      const l_Row = document.createElement('li');
      const l_Drums = p_Track >= MELODY_TRACKS;
      const l_Options = Array.from({ length: l_Drums ? INSTRUMENTS.drums : INSTRUMENTS.melody },
        (__, p_Instrument) => `<option value="${p_Instrument}">${instrumentName(this.tw, l_Drums, p_Instrument)}</option>`).join('');
      l_Row.innerHTML = `<button class="name" aria-pressed="false"></button>
        <span class="level" role="presentation"></span>
        <select aria-label="${trackName(p_Track)} instrument">${l_Options}</select>
        <button class="hear" aria-label="Hear ${trackName(p_Track)}'s instrument" title="Hear it (I)">♪</button>
        <button class="mute" aria-label="Mute ${trackName(p_Track)}" title="Mute (M)">M</button>
        <button class="solo" aria-label="Solo ${trackName(p_Track)}" title="Solo (O)">S</button>`;
      l_Row.querySelector('.name').textContent = trackName(p_Track);
      l_Row.querySelector('.name').onclick = () => this.choose(p_Track);
      const l_Select = l_Row.querySelector('select');
      l_Select.onchange = () => this.setInstrument(p_Track, Number(l_Select.value));
      // The instrument is heard when the picker is pointed at or reached with the keyboard, and
      // again at each choice.
      l_Select.onfocus = () => this.preview(p_Track);
      l_Select.onpointerenter = (p_Event) => p_Event.pointerType === 'mouse' && this.preview(p_Track);
      l_Row.querySelector('.hear').onclick = () => this.preview(p_Track);
      l_Row.querySelector('.mute').onclick = () => this.toggle('mute', p_Track);
      l_Row.querySelector('.solo').onclick = () => this.toggle('solo', p_Track);
      l_Row.style.setProperty('--colour', COLOURS[p_Track % COLOURS.length]);
      return l_Row;
    }));
  }

  show() {
    if (this.list.children.length !== TRACKS) this.#build();
    if (this.picker.options.length !== TRACKS)
      this.picker.replaceChildren(...Array.from({ length: TRACKS }, (_, p_Track) => new Option(trackName(p_Track), String(p_Track))));
    this.picker.value = String(this.editor.track);
    const l_Desk = this.desk();
    [...this.list.children].forEach((p_Row, p_Track) => {
      const l_Track = this.model.track(p_Track);
      p_Row.querySelector('.name').setAttribute('aria-pressed', String(p_Track === this.editor.track));
      p_Row.querySelector('.name').title = `${l_Track.notes} notes`;
      p_Row.querySelector('select').value = String(l_Track.instrument);
      p_Row.querySelector('.mute').setAttribute('aria-pressed', String(Boolean(l_Desk.muted[p_Track])));
      p_Row.querySelector('.solo').setAttribute('aria-pressed', String(Boolean(l_Desk.soloed[p_Track])));
      p_Row.classList.toggle('silent', !this.#audible(p_Track));
    });
  }

  // Each track's level: its RMS over the last meter report, in decibels from -48 to 0; written with
  // the next frame (reports come between frames, and one frame shows the last of them), and only
  // where a level changed.
  showLevels(p_Levels) {
    const l_Waiting = this.levels !== undefined;
    this.levels = p_Levels;
    if (!l_Waiting) requestAnimationFrame(() => this.#writeLevels());
  }

  #writeLevels() {
    const l_Levels = this.levels;
    this.levels = undefined;
    const l_Rows = this.list.children;
    if (this.meters?.length !== l_Rows.length) this.meters = Array.from(l_Rows, (p_Row) => ({ style: p_Row.querySelector('.level').style, shown: '' }));
    this.meters.forEach((p_Meter, p_Track) => {
      const l_Rms = l_Levels[p_Track]?.rms ?? 0;
      const l_Share = (l_Rms > 0 ? Math.max(0, Math.min(1, 1 + Math.log10(l_Rms) * (20 / 48))) : 0).toFixed(3);
      if (l_Share === p_Meter.shown) return;
      p_Meter.shown = l_Share;
      p_Meter.style.setProperty('--level', l_Share);
    });
  }
}
