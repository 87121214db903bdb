// The sound: the player's worklet plays a copy of the song, which follows every edit as it is made
// (so that a change is heard while the song plays), muted and soloed on its own mixing desk (the
// song itself keeps every note); playing, stopping, a take's recording and the playhead.
import { makeNode } from '../player/audio.js';
import { MELODY_TRACKS } from './model.js';

const PREVIEW_SECONDS = 0.6;
export const NO_LOOP = 'The song ends where its loop ends: give it a loop (on the ruler or in the Loop fields).';
export const NO_SOUND = 'No sound here: the audio did not start.';

export class Sound {
  // p_Host: { model, editor, playing, message(text), desk(desk) (the library's mutes and solos came),
  // levels(levels) (each track's { peak, rms }, [] when stopped), recording(on) }.
  constructor(p_Host) {
    Object.assign(this, p_Host);
    this.audio = null;      // { context, node, waiting, report } once the worklet is ready
    this.isPlaying = false;
    this.deskState = { muted: [], soloed: [] };
    this.editId = 0;
    this.metering = true;   // the tracks read apart, for their levels
  }

  // Where the song plays now, in seconds (0 before any report).
  seconds() {
    const l_Audio = this.audio;
    return l_Audio?.report ? l_Audio.report.position + Math.max(0, l_Audio.context.currentTime - l_Audio.report.at) : 0;
  }

  post(p_Command) { this.audio?.node.port.postMessage(p_Command); }

  // Sends the edits p_Calls to the worklet; the promise is kept until it has made them.
  postEdits(p_Calls) {
    if (!this.audio) return Promise.resolve();
    const l_Id = ++this.editId;
    return new Promise((p_Done) => {
      this.audio.waiting.set(l_Id, p_Done);
      this.post({ type: 'edit', id: l_Id, calls: p_Calls });
    });
  }

  // Kept until the worklet has done every command sent before (it does them in the order sent).
  settled() { return this.postEdits([]); }

  // Hands the worklet the song, muted and soloed as the last one was; p_Keep: another version of the
  // one it plays, which goes on from where it is (else a new song, stopped).
  sendSong(p_Keep = false) {
    if (!this.audio) return;
    const l_Desk = this.deskState.muted.length ? { desk: this.deskState } : {};
    this.post({ type: 'open', bytes: this.model.toBytes(), loops: -1, volume: 0.5, play: p_Keep && this.isPlaying, keepPosition: p_Keep, ...l_Desk });
    if (!p_Keep) this.#setPlaying(false);
  }

  // Mutes or solos a track (p_Kind: 'mute' or 'solo'), or no longer; the desk follows once the
  // worklet's library reports it.
  toggle(p_Kind, p_Track) {
    const l_On = p_Kind === 'mute' ? this.deskState.muted[p_Track] : this.deskState.soloed[p_Track];
    this.post({ type: 'desk', track: p_Track, [p_Kind]: !l_On });
  }

  // The worklet node on p_Context, following the song from now on (the page's own output, or an
  // offline context that renders it).
  async attach(p_Context) {
    const l_Node = await makeNode(p_Context);
    const l_Audio = { context: p_Context, node: l_Node, waiting: new Map(), report: null };
    this.audio = l_Audio;
    l_Node.port.postMessage({ type: 'meter', on: this.metering });
    l_Node.port.onmessage = (p_Event) => {
      const l_Data = p_Event.data;
      if (l_Data.type === 'edited') {
        l_Audio.waiting.get(l_Data.id)?.();
        l_Audio.waiting.delete(l_Data.id);
      } else if (l_Data.type === 'position') l_Audio.report = { position: l_Data.position, at: p_Context.currentTime };
      else if (l_Data.type === 'ended') this.stop();
      // A report sent before the worklet heard the meters stop is none to show.
      else if (l_Data.type === 'meter' && this.metering) this.levels(Array.from(l_Data.peak, (p_Peak, p_Track) => ({ peak: p_Peak, rms: l_Data.rms[p_Track] })));
      else if (l_Data.type === 'desk') {
        this.deskState = { muted: l_Data.muted, soloed: l_Data.soloed };
        this.desk(this.deskState);
      } else if (l_Data.type === 'noteBeat') this.playing.noteBeat(l_Data);
      else if (l_Data.type === 'sounded') l_Audio.sounded?.(l_Data);
      else if (l_Data.type === 'error') this.message(l_Data.message);
    };
    this.sendSong();
    return l_Node;
  }

  // The tracks read apart, for their levels (p_On), or the song read whole when no level is shown.
  meter(p_On) {
    if (p_On === this.metering) return;
    this.metering = p_On;
    this.post({ type: 'meter', on: p_On });
    if (!p_On) this.levels([]);
  }

  // Seconds into the song at which p_Beat starts (before the loop's end, the first time through).
  #secondsOf(p_Beat) { return ((p_Beat + 0.5) * this.model.tempo) / 1000; }

  #setPlaying(p_Playing) {
    this.isPlaying = p_Playing;
    if (!p_Playing) this.editor.follow(null);
    this.editor.render();
    if (p_Playing) requestAnimationFrame(() => this.#followPlayhead());
  }

  #followPlayhead() {
    if (!this.isPlaying || !this.audio) return;
    if (this.audio.report) this.editor.follow(this.model.beatAt(this.seconds()));
    requestAnimationFrame(() => this.#followPlayhead());
  }

  // From the first selected note, the section or the cursor (p_FromCursor: from the cursor even
  // with notes selected: a take starts there).
  async play(p_FromCursor = false) {
    const { editor, model } = this;
    if (!this.audio) return this.message(NO_SOUND);
    if (model.loop.end === model.loop.start) return this.message(NO_LOOP);
    const l_Selected = p_FromCursor ? [] : editor.selected();
    const l_From = l_Selected.length ? Math.min(...l_Selected.map((p_Note) => p_Note.beat)) : editor.section && !p_FromCursor ? editor.section.start : editor.cursor.beat;
    this.audio.report = { position: this.#secondsOf(l_From) - 0.0005, at: this.audio.context.currentTime };
    this.post({ type: 'seek', seconds: this.#secondsOf(l_From) });
    this.post({ type: 'play' });
    this.#setPlaying(true);
    // An offline context (a test's) renders when told to; the page's own waits for a gesture.
    if (this.audio.context instanceof AudioContext) await this.audio.context.resume();
  }

  stop() {
    if (this.playing.take) {
      this.playing.endTake();
      this.recording(false);
      this.editor.changed();
    }
    this.post({ type: 'pause' });
    this.#setPlaying(false);
    this.levels([]);
  }

  // Starts a take from the cursor (the song playing) with p_Settings (playing.settings'), or ends
  // the one being recorded.
  async record(p_Settings) {
    const { model, playing } = this;
    if (playing.take) return this.stop();
    if (!this.audio) return this.message(NO_SOUND);
    if (this.isPlaying) this.stop();
    if (model.loop.end === model.loop.start) return this.message(NO_LOOP);
    Object.assign(playing.settings, p_Settings);
    playing.startTake();
    this.recording(true);
    await this.play(true);
    // The playhead waits out the count-in.
    if (playing.settings.countIn && this.audio.report) this.audio.report.at += (model.barLayout.perBar * model.barLayout.perBeat * model.tempo) / 1000;
  }

  // Plays a note of p_Track's instrument, as notes played in sound: from the worklet's live song.
  preview(p_Track) {
    if (!this.audio) return this.message(NO_SOUND);
    this.playing.sound(`preview${++this.playing.nextId}`, { track: p_Track, key: p_Track < MELODY_TRACKS ? 57 : 48, volume: 200, pan: 6 }, PREVIEW_SECONDS);
    // The page's own context waits for a gesture (this one); an offline context renders when told to.
    if (this.audio.context instanceof AudioContext) this.audio.context.resume();
  }
}
