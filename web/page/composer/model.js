// The song being written: one song of the decoder holds it (every value goes through the module,
// which checks it), with the history of edits for undo and redo. Each edit is a transaction of
// changes, each change remembering the value before it, so that undo puts back exactly what was
// there. Whoever listens (the audio, the view, the autosave) hears every change made to the song.
export const HISTORY = 500;  // transactions kept for undo
export const TRACKS = 16;
export const MELODY_TRACKS = 8;

const sameNote = (p_A, p_B) =>
  p_A === p_B || (p_A && p_B && ['beat', 'key', 'length', 'volume', 'pan'].every((p_Field) => p_A[p_Field] === p_B[p_Field]));

export class Model {
  constructor(p_Tw) {
    this.tw = p_Tw;
    this.song = null;
    this.listeners = [];
    this.undoStack = [];
    this.redoStack = [];
    this.pending = null;
  }

  // p_Listener({ type: 'load' }) when a whole song replaces the last, and ({ type: 'change',
  // calls }) for each transaction done, undone or redone: calls are [name, ...arguments] as the
  // song takes them, so that another copy of the song can follow.
  listen(p_Listener) { this.listeners.push(p_Listener); }
  #tell(p_Event) { for (const l_Listener of this.listeners) l_Listener(p_Event); }

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
        const l_Notes = this.song.notes(l_Track);
        this.tracks[l_Track].list = l_Notes;
        this.tracks[l_Track].byBeat = new Map(l_Notes.map((p_Note) => [p_Note.beat, p_Note]));
      }
    if (p_Tracks) {
      const l_Info = this.song.tracks;
      this.tracks.forEach((p_Track, p_Index) => Object.assign(p_Track, l_Info[p_Index], { list: p_Track.list, byBeat: p_Track.byBeat }));
    }
    this.tempo = this.song.tempo;
    this.barLayout = this.song.barLayout;
    this.loop = this.song.loop;
  }

  notes(p_Track) { return this.tracks[p_Track].list; }
  noteAt(p_Track, p_Beat) { return this.tracks[p_Track].byBeat.get(p_Beat) ?? null; }

  // Runs p_Body(edit) as one transaction: edit.note(track, beat, note or null) puts a note at a
  // beat or takes it away, edit.set(what, value, track) sets 'tempo', 'barLayout' ([perBar,
  // perBeat]), 'loop' ([start, end]), 'instrument', 'fineTune' or 'noLoop'. A value the song
  // refuses undoes the whole transaction and is thrown again. Returns whether anything changed.
  edit(p_Body) {
    const l_Changes = [];
    const l_Tracks = new Set();
    const l_Apply = (p_Change, p_Value) => {
      this.#apply(p_Change, p_Value);
      if (p_Change.track !== undefined) l_Tracks.add(p_Change.track);
    };
    const l_Edit = {
      note: (p_Track, p_Beat, p_Note) => {
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
      for (const l_Change of l_Changes.reverse()) this.#apply(l_Change, l_Change.before);
      this.#refresh(l_Tracks);
      throw p_Error;
    }
    if (l_Changes.length === 0) return false;
    this.undoStack.push(l_Changes);
    if (this.undoStack.length > HISTORY) this.undoStack.shift();
    this.redoStack = [];
    this.#done(l_Changes, 'after', l_Tracks);
    return true;
  }

  undo() { return this.#step(this.undoStack, this.redoStack, 'before'); }
  redo() { return this.#step(this.redoStack, this.undoStack, 'after'); }

  #step(p_From, p_To, p_Side) {
    const l_Changes = p_From.pop();
    if (!l_Changes) return false;
    const l_Order = p_Side === 'before' ? [...l_Changes].reverse() : l_Changes;
    const l_Tracks = new Set();
    for (const l_Change of l_Order) {
      this.#apply(l_Change, l_Change[p_Side]);
      if (l_Change.track !== undefined) l_Tracks.add(l_Change.track);
    }
    p_To.push(l_Changes);
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
