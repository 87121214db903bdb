// The song being written: one song of the decoder holds it (every value goes through the module,
// which checks it), with the history of edits for undo and redo. Each edit is a transaction of
// changes, each change remembering the value before it, so that undo puts back exactly what was
// there. Whoever listens (the audio, the view, the autosave) hears every change made to the song.
//
// Songs also hold events an editor does not write (a length of 0 or a pan of 255: the volume or pan
// of a note already sounding, changed on a later beat). The notes here leave them out and the
// editor cannot pick them; a transaction that writes over one keeps the whole song before and after
// it, so that undo and redo put back what no call could.
export const HISTORY = 500;  // transactions kept for undo

// The song's tracks, keys and instruments and the values a note may take, as the library gives them:
// learnt by learnLimits once the module is loaded, before anything is drawn.
export let TRACKS = 0;
export let MELODY_TRACKS = 0;
export let KEYS = 0;
export const INSTRUMENTS = { melody: 0, drums: 0 };
export const NOTE_RANGE = {};  // per field, [lowest, highest]
export function learnLimits(p_Tw) {
  const l_Song = p_Tw.createSong();
  TRACKS = l_Song.tracks.length;
  MELODY_TRACKS = l_Song.tracks.filter((p_Track) => !p_Track.drums).length;
  l_Song.close();
  Object.assign(NOTE_RANGE, p_Tw.noteRange);
  KEYS = NOTE_RANGE.key[1] + 1;
  INSTRUMENTS.melody = p_Tw.instrumentCount(false);
  INSTRUMENTS.drums = p_Tw.instrumentCount(true);
}

const FIELDS = ['beat', 'key', 'length', 'volume', 'pan'];
export const sameNote = (p_A, p_B) => p_A === p_B || (p_A && p_B && FIELDS.every((p_Field) => p_A[p_Field] === p_B[p_Field]));
// Whether the song takes p_Event back as a note: every field within the library's range.
const writable = (p_Event) =>
  FIELDS.every((p_Field) => p_Event[p_Field] >= NOTE_RANGE[p_Field][0] && p_Event[p_Field] <= NOTE_RANGE[p_Field][1]);

export class Model {
  constructor(p_Tw) {
    this.tw = p_Tw;
    this.song = null;
    this.listeners = [];
    this.undoStack = [];
    this.redoStack = [];
    this.pending = null;
  }

  // p_Listener({ type: 'load' }) when a new song replaces the last, ({ type: 'change', calls }) for
  // each transaction done, undone or redone (calls: [name, ...arguments] as the song takes them, so
  // that another copy of the song can follow), ({ type: 'replace' }) when an undo or a redo put
  // back a whole version of the song, and ({ type: 'history' }) when a kept history came back.
  listen(p_Listener) { this.listeners.push(p_Listener); }
  #tell(p_Event) { for (const l_Listener of this.listeners) l_Listener(p_Event); }

  // The song becomes the one of p_Bytes (a version of it), keeping the history.
  #replace(p_Bytes) {
    const l_Song = this.tw.open(p_Bytes);
    this.song.close();
    this.song = l_Song;
    this.#refresh();
  }

  // Replaces the song with p_Song (a Song of the module), forgetting the history.
  load(p_Song) {
    this.song?.close();
    this.song = p_Song;
    this.undoStack = [];
    this.redoStack = [];
    this.#refresh();
    this.#tell({ type: 'load' });
  }

  // The tracks and their notes as the song gives them, read again after each change.
  #refresh(p_Tracks) {
    if (!p_Tracks) this.tracks = this.song.tracks;
    for (let l_Track = 0; l_Track < TRACKS; ++l_Track)
      if (!p_Tracks || p_Tracks.has(l_Track)) {
        const l_Events = this.song.notes(l_Track);
        Object.assign(this.tracks[l_Track], {
          list: l_Events.filter(writable),
          changes: l_Events.filter((p_Event) => !writable(p_Event)),
          byBeat: new Map(l_Events.map((p_Event) => [p_Event.beat, p_Event])),
        });
      }
    if (p_Tracks) {
      const l_Info = this.song.tracks;
      this.tracks.forEach((p_Track, p_Index) => Object.assign(p_Track, l_Info[p_Index], { list: p_Track.list, changes: p_Track.changes, byBeat: p_Track.byBeat }));
    }
    this.tempo = this.song.tempo;
    this.barLayout = this.song.barLayout;
    this.loop = this.song.loop;
  }

  // Whether a song is loaded; the song's bytes (an Org-02 file) and MIDI file; the beat playing
  // p_Seconds in; a track's settings ({ instrument, drums, notes, fineTune, noLoop, ... }).
  get loaded() { return this.song !== null; }
  toBytes() { return this.song.toBytes(); }
  toMidi() { return this.song.toMidi(); }
  beatAt(p_Seconds) { return this.song.beatAt(p_Seconds); }
  track(p_Track) { return this.tracks[p_Track]; }

  // The notes of a track, in beat order; changes(): its events that are no notes to edit.
  notes(p_Track) { return this.tracks[p_Track].list; }
  changes(p_Track) { return this.tracks[p_Track].changes; }
  // The note at p_Beat of p_Track, if any (an event that is no note to edit is none).
  noteAt(p_Track, p_Beat) {
    const l_Event = this.tracks[p_Track].byBeat.get(p_Beat);
    return l_Event && writable(l_Event) ? l_Event : null;
  }

  // Runs p_Body(edit) as one transaction: edit.note(track, beat, note or null) puts a note at a
  // beat or takes it away, edit.set(what, value, track) sets 'tempo', 'barLayout' ([perBar,
  // perBeat]), 'loop' ([start, end]), 'instrument', 'fineTune' or 'noLoop'. A value the song
  // refuses undoes the whole transaction and is thrown again. Returns whether anything changed.
  edit(p_Body) {
    const l_Changes = [];
    const l_Tracks = new Set();
    let l_Song = null;  // the song's bytes before, once an event no call can put back is written over
    const l_Apply = (p_Change, p_Value) => {
      this.#apply(p_Change, p_Value);
      if (p_Change.track !== undefined) l_Tracks.add(p_Change.track);
    };
    const l_Edit = {
      note: (p_Track, p_Beat, p_Note) => {
        const l_Event = this.tracks[p_Track].byBeat.get(p_Beat);
        if (l_Event && !writable(l_Event) && !l_Song) {
          // The song as it was before this transaction: its changes so far taken back, kept, made again.
          for (const l_Change of [...l_Changes].reverse()) this.#apply(l_Change, l_Change.before);
          l_Song = this.song.toBytes();
          for (const l_Change of l_Changes) this.#apply(l_Change, l_Change.after);
        }
        const l_Before = this.noteAt(p_Track, p_Beat);
        const l_After = p_Note && { ...p_Note, beat: p_Beat };
        if (sameNote(l_Before, l_After)) return;
        const l_Change = { what: 'note', track: p_Track, beat: p_Beat, before: l_Before, after: l_After };
        l_Apply(l_Change, l_After);
        l_Changes.push(l_Change);
        // Later changes in this transaction see this one.
        const l_Map = this.tracks[p_Track].byBeat;
        if (l_After) l_Map.set(p_Beat, l_After);
        else l_Map.delete(p_Beat);
      },
      set: (p_What, p_Value, p_Track) => {
        const l_Before = this.#current(p_What, p_Track);
        if (JSON.stringify(l_Before) === JSON.stringify(p_Value)) return;
        const l_Change = { what: p_What, track: p_Track, before: l_Before, after: p_Value };
        l_Apply(l_Change, p_Value);
        l_Changes.push(l_Change);
        if (p_Track === undefined) this.#refresh(new Set());
        else this.tracks[p_Track][p_What] = p_Value;
      },
    };
    try {
      p_Body(l_Edit);
    } catch (p_Error) {
      if (l_Song) this.#replace(l_Song);
      else {
        for (const l_Change of l_Changes.reverse()) this.#apply(l_Change, l_Change.before);
        this.#refresh(l_Tracks);
      }
      throw p_Error;
    }
    if (l_Changes.length === 0) return false;
    this.undoStack.push({ changes: l_Changes, before: l_Song, after: l_Song && this.song.toBytes() });
    if (this.undoStack.length > HISTORY) this.undoStack.shift();
    this.redoStack = [];
    this.#done(l_Changes, 'after', l_Tracks);
    return true;
  }

  // A point in the history that squash(mark) later makes one step of everything done since (a take
  // recorded note by note is undone at once).
  mark() { return { depth: this.undoStack.length, bytes: this.song.toBytes() }; }
  squash(p_Mark) {
    const l_Entries = this.undoStack.splice(p_Mark.depth);
    if (!l_Entries.length) return;
    const l_Whole = l_Entries.some((p_Entry) => p_Entry.before);
    this.undoStack.push({ changes: l_Entries.flatMap((p_Entry) => p_Entry.changes), before: l_Whole ? p_Mark.bytes : null,
      after: l_Whole ? this.song.toBytes() : null });
  }

  get canUndo() { return this.undoStack.length > 0; }
  get canRedo() { return this.redoStack.length > 0; }

  // The history as plain data (song versions as base64 by p_Text), the newest steps of each stack
  // whose text stays within p_Budget characters; restoreHistory(history, p_Bytes) takes it back.
  history(p_Text, p_Budget) {
    const l_Entry = (p_Entry) => ({ changes: p_Entry.changes, before: p_Entry.before && p_Text(p_Entry.before), after: p_Entry.after && p_Text(p_Entry.after) });
    let l_Left = p_Budget;
    const l_Newest = (p_Stack) => {
      const l_Kept = [];
      for (let l_At = p_Stack.length - 1; l_At >= 0; --l_At) {
        const l_Text = JSON.stringify(l_Entry(p_Stack[l_At]));
        if (l_Text.length > l_Left) break;
        l_Left -= l_Text.length;
        l_Kept.unshift(l_Text);
      }
      return l_Kept;
    };
    return `{"undo":[${l_Newest(this.undoStack).join(',')}],"redo":[${l_Newest(this.redoStack).join(',')}]}`;
  }
  restoreHistory(p_History, p_Bytes) {
    const l_Entry = (p_Entry) => ({ changes: p_Entry.changes, before: p_Entry.before && p_Bytes(p_Entry.before), after: p_Entry.after && p_Bytes(p_Entry.after) });
    this.undoStack = p_History.undo.map(l_Entry).slice(-HISTORY);
    this.redoStack = p_History.redo.map(l_Entry).slice(-HISTORY);
    this.#tell({ type: 'history' });
  }

  undo() { return this.#step(this.undoStack, this.redoStack, 'before'); }
  redo() { return this.#step(this.redoStack, this.undoStack, 'after'); }

  #step(p_From, p_To, p_Side) {
    const l_Entry = p_From.pop();
    if (!l_Entry) return false;
    p_To.push(l_Entry);
    if (l_Entry[p_Side]) {
      this.#replace(l_Entry[p_Side]);
      this.#tell({ type: 'replace' });
      return true;
    }
    const l_Changes = l_Entry.changes;
    const l_Order = p_Side === 'before' ? [...l_Changes].reverse() : l_Changes;
    const l_Tracks = new Set();
    for (const l_Change of l_Order) {
      this.#apply(l_Change, l_Change[p_Side]);
      if (l_Change.track !== undefined) l_Tracks.add(l_Change.track);
    }
    this.#done(l_Order, p_Side, l_Tracks);
    return true;
  }

  #done(p_Changes, p_Side, p_Tracks) {
    this.#refresh(p_Tracks);
    this.#tell({ type: 'change', calls: p_Changes.map((p_Change) => Model.call(p_Change, p_Change[p_Side])) });
  }

  #current(p_What, p_Track) {
    switch (p_What) {
      case 'tempo': return this.song.tempo;
      case 'barLayout': return [this.song.barLayout.perBar, this.song.barLayout.perBeat];
      case 'loop': return [this.song.loop.start, this.song.loop.end];
      default: return this.song.tracks[p_Track][p_What];
    }
  }

  // The call that gives a song p_Value for p_Change: [name, ...arguments].
  static call(p_Change, p_Value) {
    switch (p_Change.what) {
      case 'note': return p_Value ? ['addNote', p_Change.track, p_Value] : ['removeNote', p_Change.track, p_Change.beat];
      case 'tempo': return ['tempo=', p_Value];
      case 'barLayout': return ['setBarLayout', ...p_Value];
      case 'loop': return ['setLoop', ...p_Value];
      default: return [`set${p_Change.what[0].toUpperCase()}${p_Change.what.slice(1)}`, p_Change.track, p_Value];
    }
  }

  #apply(p_Change, p_Value) {
    const [l_Name, ...l_Arguments] = Model.call(p_Change, p_Value);
    if (l_Name.endsWith('=')) this.song[l_Name.slice(0, -1)] = l_Arguments[0];
    else this.song[l_Name](...l_Arguments);
  }
}
