// Playing music in: the computer's keyboard as a piano (two rows, laid out as trackers lay them), a
// MIDI keyboard through Web MIDI, each note sounding at once from the worklet's live song, entered
// at the cursor step by step, or recorded into the song as it plays.
import { INSTRUMENTS, MELODY_TRACKS, NOTE_RANGE, TRACKS } from './model.js';

// KeyboardEvent.code (the physical key, whatever the layout prints on it) → semitones above the C
// of the lower row: the Z row with the row above it, then the Q row with the digits an octave up.
export const PIANO = {
  KeyZ: 0, KeyS: 1, KeyX: 2, KeyD: 3, KeyC: 4, KeyV: 5, KeyG: 6, KeyB: 7, KeyH: 8, KeyN: 9, KeyJ: 10, KeyM: 11,
  Comma: 12, KeyL: 13, Period: 14, Semicolon: 15, Slash: 16,
  KeyQ: 12, Digit2: 13, KeyW: 14, Digit3: 15, KeyE: 16, KeyR: 17, Digit5: 18, KeyT: 19, Digit6: 20, KeyY: 21, Digit7: 22, KeyU: 23,
  KeyI: 24, Digit9: 25, KeyO: 26, Digit0: 27, KeyP: 28,
};
export const OCTAVE_KEYS = { Minus: -1, Equal: 1, NumpadSubtract: -1, NumpadAdd: 1 };
const QWERTY = { Comma: ',', Period: '.', Semicolon: ';', Slash: '/', Minus: '-', Equal: '=', NumpadSubtract: '−', NumpadAdd: '+' };

// What each key of p_Codes shows on this machine's layout (QWERTY where the browser cannot tell).
export async function keyLabels(p_Codes) {
  let l_Layout = null;
  try {
    l_Layout = await navigator.keyboard?.getLayoutMap?.();
  } catch {
    // Not allowed here (a frame, say): QWERTY it is.
  }
  return Object.fromEntries(p_Codes.map((p_Code) => [p_Code,
    (l_Layout?.get(p_Code) ?? QWERTY[p_Code] ?? p_Code.replace(/^(Key|Digit)/, '')).toUpperCase()]));
}

// How MIDI's note numbers, velocities and pans come into a song, as the module's MIDI import makes
// them: learnt from a file of 128 notes, the n-th with velocity and controller 10 both n (velocity
// at least 1), so that the page holds no rule of its own. Gives { keyOffset, volume[v], pan[c] }.
export function learnMidi(p_Tw) {
  const l_Events = [];
  for (let l_Value = 0; l_Value < 128; ++l_Value)
    l_Events.push(0, 0xb0, 10, l_Value, 0, 0x90, 60, Math.max(1, l_Value), 1, 0x80, 60, 0);
  l_Events.push(0, 0xff, 0x2f, 0);
  const l_Length = l_Events.length;
  // Format 0, one track, one tick per quarter note (one beat of the song at quantize 1).
  const l_Bytes = new Uint8Array([0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0, 1, 0x4d, 0x54, 0x72, 0x6b,
    l_Length >>> 24, (l_Length >>> 16) & 255, (l_Length >>> 8) & 255, l_Length & 255, ...l_Events]);
  const { song } = p_Tw.openMidi(l_Bytes, { quantize: 1 });
  try {
    const l_Notes = song.notes(0);
    if (l_Notes.length !== 128) throw new Error('the MIDI import did not give one note per velocity');
    return { keyOffset: 60 - l_Notes[0].key, volume: l_Notes.map((p_Note) => p_Note.volume), pan: l_Notes.map((p_Note) => p_Note.pan) };
  } finally {
    song.close();
  }
}

// p_Host: { model, editor, post(command), message(text), status(text), playing(), seconds() (where
// the song plays now), hear() (whether edits are heard) }.
export class Playing {
  constructor(p_Host) {
    Object.assign(this, p_Host);
    this.piano = false;      // the computer's keyboard plays notes
    this.octave = 4;         // the lower row's C is key 12 × octave
    this.pan = null;         // controller 10's pan for the notes played in, once one came
    this.held = new Map();   // a key or MIDI note held → its note
    this.entries = [];       // notes played in, to be entered at the cursor
    this.take = null;        // while recording
    this.settings = { quantise: 1, countIn: false, metronome: true, clickVolume: 0.5, replace: false };
    this.nextId = 0;
  }

  // The track a note played in goes to and what it plays there: on a melody track the key; on a
  // drum track the key's place in its octave picks one of the drums, on the drum track that has it
  // (the chosen one first), else on an empty one, which takes that drum. A short screen, which shows
  // one drum lane, then shows that track's.
  #target(p_Key) {
    const l_Target = this.#drumTarget(p_Key);
    const { editor } = this;
    if (l_Target && l_Target.track >= MELODY_TRACKS && editor.folded && editor.drum !== l_Target.track) {
      editor.drum = l_Target.track;
      editor.render();
    }
    return l_Target;
  }

  #drumTarget(p_Key) {
    const { editor, model } = this;
    const l_Track = editor.track;
    if (l_Track < MELODY_TRACKS) return { track: l_Track, key: p_Key };
    const l_Drum = p_Key % 12;
    if (l_Drum >= INSTRUMENTS.drums) return null;
    const l_Drums = [l_Track, ...Array.from({ length: TRACKS - MELODY_TRACKS }, (_, p_Lane) => MELODY_TRACKS + p_Lane)];
    const l_Has = l_Drums.find((p_Drum) => model.track(p_Drum).instrument === l_Drum);
    if (l_Has !== undefined) return { track: l_Has, key: editor.drumKey(l_Has) };
    const l_Empty = l_Drums.find((p_Drum) => model.notes(p_Drum).length === 0);
    if (l_Empty === undefined) return this.message(`No drum track plays drum ${l_Drum} and none is empty to take it.`), null;
    model.edit((p_Edit) => p_Edit.set('instrument', l_Drum, l_Empty));
    return { track: l_Empty, key: editor.drumKey(l_Empty) };
  }

  // Sounds p_Note ({ track, key, volume, pan }) from the live song: for p_Seconds, else until
  // release(p_Id).
  sound(p_Id, p_Note, p_Seconds = 0, p_Extra = {}) {
    const l_Track = this.model.track(p_Note.track);
    // report: the worklet tells when this note's first sound leaves it (a benchmark asks).
    if (this.report) p_Extra = { ...p_Extra, report: true };
    this.post({ type: 'noteOn', id: p_Id, drums: p_Note.track >= MELODY_TRACKS, instrument: l_Track.instrument, fineTune: l_Track.fineTune,
      noLoop: l_Track.noLoop, key: p_Note.key, volume: p_Note.volume, pan: p_Note.pan, seconds: p_Seconds, ...p_Extra });
  }

  // A note of an edit heard briefly, when edits are heard.
  hearNote(p_Track, p_Note) {
    if (this.hear()) this.sound(`edit${++this.nextId}`, { track: p_Track, ...p_Note }, 0.3);
  }

  // A key of either keyboard goes down (p_Id names it till it comes up): the note sounds; it is
  // recorded while recording, else entered at the cursor when the song is not playing.
  press(p_Id, p_Key, p_Volume = this.editor.newNote.volume) {
    if (this.held.has(p_Id) || p_Key < NOTE_RANGE.key[0] || p_Key > NOTE_RANGE.key[1]) return;
    const l_Target = this.#target(p_Key);
    if (!l_Target) return;
    const l_Note = { ...l_Target, volume: p_Volume, pan: this.pan ?? this.editor.newNote.pan };
    this.held.set(p_Id, l_Note);
    this.sound(p_Id, l_Note, 0, { record: Boolean(this.take) });
    if (this.take) this.take.played.set(p_Id, { ...l_Note });
    else if (!this.playing()) this.#enter(l_Note);
  }

  // Step entry, once the input in hand is handled: the notes of a chord all sound before any is
  // written, and the worklet's word that a note sounds does not wait behind the edits and the page
  // showing them.
  #enter(p_Note) {
    this.entries.push(p_Note);
    if (this.entries.length === 1) setTimeout(() => this.enterPending());
  }

  // Enters the notes played in and not yet entered (before another key does what it does).
  enterPending() {
    for (const l_Note of this.entries.splice(0)) this.editor.enterNote(l_Note.track, l_Note);
  }

  release(p_Id) {
    if (!this.held.delete(p_Id)) return;
    this.post({ type: 'noteOff', id: p_Id });
  }

  releaseAll() { for (const l_Id of [...this.held.keys()]) this.release(l_Id); }

  // The computer's keyboard: whether p_Event was a key of the piano (or its octave keys), handled.
  key(p_Event, p_Down) {
    if (!this.piano || p_Event.ctrlKey || p_Event.metaKey || p_Event.altKey) return false;
    const l_Code = p_Event.code;
    if (OCTAVE_KEYS[l_Code]) {
      if (p_Down) {
        this.octave = Math.max(0, Math.min(7, this.octave + OCTAVE_KEYS[l_Code]));
        this.status(`The keyboard plays from C${this.octave}.`);
      }
      return true;
    }
    if (PIANO[l_Code] === undefined) return false;
    if (p_Down && !p_Event.repeat) this.press(`key:${l_Code}`, 12 * this.octave + PIANO[l_Code]);
    else if (!p_Down) this.release(`key:${l_Code}`);
    return true;
  }

  // --- A MIDI keyboard ---
  // Asks for Web MIDI (only now, the user having turned it on) and listens to every input, those
  // plugged in later too, on p_Channel (1-16) or on all (0).
  async midiOn(p_Tw, p_Channel) {
    this.midiChannel = p_Channel;
    if (this.midi) return true;
    if (!navigator.requestMIDIAccess) return this.message('This browser has no Web MIDI.'), false;
    try {
      this.midiMap ??= learnMidi(p_Tw);
      this.midi = await navigator.requestMIDIAccess();
    } catch (p_Error) {
      this.message(`No MIDI: ${p_Error.message}`);
      return false;
    }
    const l_Heard = new WeakSet();
    this.midiHandler = (p_Event) => this.#midiMessage(p_Event.data);
    const l_Listen = () => {
      for (const l_Input of this.midi.inputs.values())
        if (!l_Heard.has(l_Input)) {
          l_Heard.add(l_Input);
          l_Input.addEventListener('midimessage', this.midiHandler);
          l_Input.open?.().catch(() => {});
        }
      const l_Names = [...this.midi.inputs.values()].map((p_Input) => p_Input.name);
      this.status(l_Names.length ? `MIDI from ${l_Names.join(', ')}` : 'No MIDI keyboard is plugged in.');
    };
    this.midiListen = l_Listen;
    this.midi.addEventListener('statechange', l_Listen);
    l_Listen();
    return true;
  }

  midiOff() {
    if (!this.midi) return;
    for (const l_Input of this.midi.inputs.values()) l_Input.removeEventListener('midimessage', this.midiHandler);
    this.midi.removeEventListener('statechange', this.midiListen);
    this.midi = null;
    for (const l_Id of [...this.held.keys()]) if (l_Id.startsWith('midi:')) this.release(l_Id);
  }

  #midiMessage(p_Data) {
    const [l_Status, l_First, l_Second] = p_Data;
    const l_Channel = (l_Status & 15) + 1;
    if (this.midiChannel && l_Channel !== this.midiChannel) return;
    const l_Kind = l_Status & 0xf0;
    const l_Id = `midi:${l_Channel}:${l_First}`;
    const l_Map = this.midiMap;
    if (l_Kind === 0x90 && l_Second > 0) this.press(l_Id, l_First - l_Map.keyOffset, l_Map.volume[l_Second]);
    else if (l_Kind === 0x80 || l_Kind === 0x90) this.release(l_Id);
    else if (l_Kind === 0xb0 && l_First === 10) this.pan = l_Map.pan[l_Second];
  }

  // --- Recording ---
  // Starts a take (the song then plays from the cursor): the notes played land on their beats.
  startTake() {
    const { model, editor } = this;
    this.take = { mark: model.mark(), start: editor.cursor.beat, played: new Map(), tracks: new Set(), written: new Set(), refused: 0 };
    const { perBar, perBeat } = model.barLayout;
    const l_Settings = this.settings;
    this.post({ type: 'record', on: true, quantise: l_Settings.quantise, metronome: l_Settings.metronome, volume: l_Settings.clickVolume,
      perBar, perBeat, countInSeconds: l_Settings.countIn ? (perBar * perBeat * model.tempo) / 1000 : 0 });
  }

  // The worklet's beat for a note recorded: where it began, then where it ended.
  noteBeat(p_Data) {
    const l_Note = this.take?.played.get(p_Data.id);
    if (!l_Note) return;
    if (p_Data.on !== undefined) {
      l_Note.on = p_Data.on;
      // A chord: a melody note played while another of the take is held goes to the next track.
      if (l_Note.track < MELODY_TRACKS) {
        const l_Held = new Set([...this.take.played.values()].filter((p_Other) => p_Other !== l_Note && p_Other.on !== undefined).map((p_Other) => p_Other.track));
        const l_Free = Array.from({ length: MELODY_TRACKS }, (_, p_Step) => (l_Note.track + p_Step) % MELODY_TRACKS).find((p_Track) => !l_Held.has(p_Track));
        if (l_Free !== undefined) l_Note.track = l_Free;
      }
    } else if (l_Note.on !== undefined) {
      this.#write(l_Note, p_Data.off);
      this.take.played.delete(p_Data.id);
    }
  }

  // Writes a note of the take from p_Note.on to p_Off (past the loop's end when it wrapped round)
  // on its track, or, when a note of the take already sounds there (a chord), on the next melody
  // track that is free over its beats; with none free the note is left out and counted.
  #write(p_Note, p_Off) {
    const { model } = this;
    const l_Take = this.take;
    const l_Steps = this.settings.quantise;
    const l_Loop = model.loop;
    const l_End = p_Off > p_Note.on ? p_Off : p_Off < p_Note.on && l_Loop.end > p_Note.on ? l_Loop.end : p_Note.on + l_Steps;
    const l_Length = Math.max(NOTE_RANGE.length[0], Math.min(NOTE_RANGE.length[1], l_End - p_Note.on));
    const l_Note = { beat: p_Note.on, key: p_Note.key, length: l_Length, volume: p_Note.volume, pan: p_Note.pan };
    const l_Ours = (p_Track, p_Other) => l_Take.written.has(`${p_Track}:${p_Other.beat}`);
    const l_Overlaps = (p_Other) => p_Other.beat < l_Note.beat + l_Length && l_Note.beat < p_Other.beat + p_Other.length;
    const l_Free = (p_Track) => !model.notes(p_Track).some((p_Other) => l_Overlaps(p_Other) && (l_Ours(p_Track, p_Other) || (!this.settings.replace && p_Other.beat !== l_Note.beat)));
    let l_Track = p_Note.track;
    if (l_Track < MELODY_TRACKS)
      l_Track = Array.from({ length: MELODY_TRACKS }, (_, p_Step) => (p_Note.track + p_Step) % MELODY_TRACKS).find(l_Free);
    if (l_Track === undefined) {
      ++l_Take.refused;
      return;
    }
    model.edit((p_Edit) => {
      if (this.settings.replace)
        for (const l_Other of model.notes(l_Track)) if (l_Overlaps(l_Other) && !l_Ours(l_Track, l_Other)) p_Edit.note(l_Track, l_Other.beat, null);
      p_Edit.note(l_Track, l_Note.beat, l_Note);
    });
    l_Take.tracks.add(l_Track);
    l_Take.written.add(`${l_Track}:${l_Note.beat}`);
  }

  // Ends the take: notes still held end where the song is; with replace, what the take went over
  // on its tracks goes; the whole take is one step to undo.
  endTake() {
    const l_Take = this.take;
    if (!l_Take) return;
    const { model } = this;
    this.post({ type: 'record', on: false });
    const l_Seconds = this.seconds();
    const l_Now = model.beatAt(l_Seconds);
    for (const l_Note of l_Take.played.values()) if (l_Note.on !== undefined) this.#write(l_Note, l_Now);
    if (this.settings.replace && l_Take.tracks.size) {
      const l_Loop = model.loop;
      const l_Wrapped = (l_Seconds * 1000) / model.tempo >= l_Loop.end && l_Loop.end > l_Loop.start;
      const [l_From, l_To] = l_Wrapped ? [Math.min(l_Take.start, l_Loop.start), l_Loop.end] : [l_Take.start, l_Now];
      model.edit((p_Edit) => {
        for (const l_Track of l_Take.tracks)
          for (const l_Other of model.notes(l_Track))
            if (l_Other.beat >= l_From && l_Other.beat < l_To && !l_Take.written.has(`${l_Track}:${l_Other.beat}`)) p_Edit.note(l_Track, l_Other.beat, null);
      });
    }
    model.squash(l_Take.mark);
    this.take = null;
    if (l_Take.refused) this.message(`${l_Take.refused} notes of the take were left out: no melody track was free for them (a track plays one note at a time).`);
  }
}
