// The JavaScript interface of the tunewright decoder: songs opened from bytes, read as float
// stereo at any rate. The same module runs in Node, on a page and in an AudioWorklet; the compiled
// WebAssembly comes from wherever it can there (a file, a fetch, or the caller).
import createTunewrightModule from './tunewright.js';
// The C header's tables and limits, written beside this file by the build (tools/tables).
import {
  INTERPOLATIONS, ERRORS, MIDI_REPORT, MIDI_FLAGS, MIN_TEMPO_FACTOR, MAX_TEMPO_FACTOR, MAX_PITCH_SHIFT, MAX_TRACK_GAIN,
  MAX_QUANTIZE, TRACK_DRUMS, WAV_HEADER_BYTES,
} from './tables.js';

const FLOAT_BYTES = 4;
const EVENT_BYTES = 12;  // sizeof(tw_event): beat (4 bytes), key, length, volume, pan, starts_note, 3 reserved
const OUT_OF_MEMORY = ERRORS.TW_ERROR_OUT_OF_MEMORY;
// TW_ERROR_BAD_TRACK to TW_ERROR_TOO_MANY_EVENTS: a value the song refuses, thrown as a RangeError.
const FIRST_EDIT_ERROR = ERRORS.TW_ERROR_BAD_TRACK, LAST_EDIT_ERROR = ERRORS.TW_ERROR_TOO_MANY_EVENTS;
const NO_EVENT = ERRORS.TW_ERROR_NO_EVENT, EVENT_EXISTS = ERRORS.TW_ERROR_EVENT_EXISTS;
const INT_MIN = -0x80000000, INT_MAX = 0x7fffffff, UINT32_MAX = 0xffffffff;  // what the C calls' int and uint32_t hold
const LOOP_FOREVER = -1;  // tw_song_set_loops: the loop repeats forever
const RATE_MIN = 8000, RATE_MAX = 192000;  // the rates tw_song_read_float takes
// The most frames a read gives: as many as one tw_song_read_float could take, their floats' bytes
// counted in the module's 32-bit size_t. A read mixes them a piece at a time through a scratch buffer
// of PIECE_FRAMES on the heap, so the module's memory stays the same however many are asked for.
const READ_MAX_FRAMES = Math.floor(UINT32_MAX / (2 * FLOAT_BYTES));
const PIECE_FRAMES = 8192;
const FLOAT_MAX = (2 - 2 ** -23) * 2 ** 127;  // the largest finite float, as tw_song_set_volume takes it
// A read of the tracks apart goes through a scratch buffer per track of TRACK_PIECE_FRAMES.
const TRACK_PIECE_FRAMES = 2048;
// A note's bytes that no byte can hold go to the library as a value it refuses for the same reason
// (key 255, length 0, volume 255, pan 255), so that its error names the field.
const REFUSED = { key: 255, length: 0, volume: 255, pan: 255 };

// The checks every argument passes before it reaches the module, which would otherwise convert it
// on the way (a string to a number, NaN or 2^32 to 0): a TypeError for a value of the wrong type, a
// RangeError for one outside what the C call takes. Each gives the value back.

const isNumber = (p_Value) => typeof p_Value === 'number';
const isObject = (p_Value) => typeof p_Value === 'object' && p_Value !== null;
const isBoolean = (p_Value) => typeof p_Value === 'boolean';

// p_Value as a message names it.
function shown(p_Value) {
  if (typeof p_Value === 'string') return JSON.stringify(p_Value.length > 40 ? `${p_Value.slice(0, 40)}...` : p_Value);
  if (typeof p_Value === 'bigint') return `${p_Value}n`;
  if (isObject(p_Value)) return Object.prototype.toString.call(p_Value);
  return String(p_Value);
}

// p_Value when p_Is(p_Value) holds, else a TypeError saying it must be p_What.
function ofType(p_Value, p_Name, p_What, p_Is) {
  if (!p_Is(p_Value)) throw new TypeError(`${p_Name} must be ${p_What}, not ${shown(p_Value)}.`);
  return p_Value;
}

function outOfRange(p_Value, p_Name, p_Range) {
  return new RangeError(`${p_Name} is ${shown(p_Value)}, outside its range: ${p_Range}.`);
}

// p_Value as a whole number within p_Min..p_Max (by default an int, as the C call takes it).
function integer(p_Value, p_Name, p_Min = INT_MIN, p_Max = INT_MAX) {
  ofType(p_Value, p_Name, 'a number', isNumber);
  if (!Number.isInteger(p_Value) || p_Value < p_Min || p_Value > p_Max)
    throw outOfRange(p_Value, p_Name, `a whole number from ${p_Min} to ${p_Max}`);
  return p_Value;
}

// p_Value as a finite number within p_Min..p_Max.
function finite(p_Value, p_Name, p_Min, p_Max = Number.MAX_VALUE) {
  ofType(p_Value, p_Name, 'a number', isNumber);
  if (!(p_Value >= p_Min && p_Value <= p_Max))
    throw outOfRange(p_Value, p_Name, `a finite number ${p_Max === Number.MAX_VALUE ? `of ${p_Min} or more` : `from ${p_Min} to ${p_Max}`}`);
  return p_Value;
}

// Song bytes: a Uint8Array (a Node Buffer is one) or an ArrayBuffer, as a Uint8Array.
function songBytes(p_Bytes) {
  ofType(p_Bytes, 'bytes', 'a Uint8Array or an ArrayBuffer', (p_Value) => p_Value instanceof Uint8Array || p_Value instanceof ArrayBuffer);
  return p_Bytes instanceof ArrayBuffer ? new Uint8Array(p_Bytes) : p_Bytes;
}

// The compiled module, found as the environment allows. In Node the loader cannot fetch a path,
// so the bytes are read from beside this file.
async function compileDecoder() {
  const l_Url = new URL('./tunewright.wasm', import.meta.url);
  if (typeof process === 'object' && process.versions && process.versions.node) {
    const { readFile } = await import('node:fs/promises');
    return WebAssembly.compile(await readFile(l_Url));
  }
  if (typeof WebAssembly.compileStreaming === 'function')
    return WebAssembly.compileStreaming(fetch(l_Url));
  return WebAssembly.compile(await (await fetch(l_Url)).arrayBuffer());
}

class Song {
  #tw;
  #handle;
  #scratch = 0;

  constructor(p_Tw, p_Handle) {
    this.#tw = p_Tw;
    this.#handle = p_Handle;
  }

  #live() {
    if (this.#handle === 0) throw new Error('The song is closed.');
    return this.#handle;
  }

  // Throws for an error code (a RangeError for a value the song refuses); gives back any other result.
  #check(p_Code) {
    if (p_Code >= 0) return p_Code;
    const l_Text = this.#tw.errorText(p_Code);
    throw p_Code <= FIRST_EDIT_ERROR && p_Code >= LAST_EDIT_ERROR ? new RangeError(l_Text) : new Error(l_Text);
  }

  // Calls p_Use(address) with p_Bytes bytes of the module's memory, freed afterwards.
  #withMemory(p_Bytes, p_Use) {
    const l_M = this.#tw.m;
    const l_At = l_M._malloc(Math.max(1, p_Bytes));
    if (l_At === 0) throw new Error(this.#tw.errorText(OUT_OF_MEMORY));
    try {
      return p_Use(l_At);
    } finally {
      l_M._free(l_At);
    }
  }

  // Hands p_Value to the song through the setter p_Set; gives it back once the song has taken it.
  #set(p_Set, p_Value) {
    this.#check(p_Set(this.#live(), p_Value));
    return p_Value;
  }

  get duration() { return this.#tw.m._tw_song_get_duration_seconds(this.#live()); }
  get position() { return this.#tw.m._tw_song_get_position_seconds(this.#live()); }
  get tempo() { return this.#tw.m._tw_song_get_tempo_ms(this.#live()); }
  // Milliseconds per beat, 1-65535.
  set tempo(p_Ms) { this.#set(this.#tw.m._tw_song_set_tempo_ms, integer(p_Ms, 'tempo')); }

  // Ruler beats in a bar and song beats in a ruler beat, as an editor draws the grid.
  get barLayout() {
    return this.#withMemory(8, (p_At) => {
      this.#check(this.#tw.m._tw_song_get_bar_layout(this.#live(), p_At, p_At + 4));
      return { perBar: this.#tw.m.HEAP32[p_At >> 2], perBeat: this.#tw.m.HEAP32[(p_At >> 2) + 1] };
    });
  }
  setBarLayout(p_PerBar, p_PerBeat) {
    this.#check(this.#tw.m._tw_song_set_bar_layout(this.#live(), integer(p_PerBar, 'perBar'),
      integer(p_PerBeat, 'perBeat')));
  }

  // After beat `end` the song plays on from `start`; equal, there is no loop.
  get loop() {
    return this.#withMemory(8, (p_At) => {
      this.#check(this.#tw.m._tw_song_get_loop(this.#live(), p_At, p_At + 4));
      return { start: this.#tw.m.HEAPU32[p_At >> 2], end: this.#tw.m.HEAPU32[(p_At >> 2) + 1] };
    });
  }
  setLoop(p_Start, p_End) {
    this.#check(this.#tw.m._tw_song_set_loop(this.#live(), integer(p_Start, 'start', 0, UINT32_MAX),
      integer(p_End, 'end', 0, UINT32_MAX)));
  }

  setInstrument(p_Track, p_Instrument) {
    this.#check(this.#tw.m._tw_song_set_track_instrument(this.#live(), integer(p_Track, 'track'),
      integer(p_Instrument, 'instrument')));
  }
  setFineTune(p_Track, p_FineTune) {
    this.#check(this.#tw.m._tw_song_set_track_fine_tune(this.#live(), integer(p_Track, 'track'),
      integer(p_FineTune, 'fineTune')));
  }
  setNoLoop(p_Track, p_NoLoop) {
    ofType(p_NoLoop, 'noLoop', 'true or false', isBoolean);
    this.#check(this.#tw.m._tw_song_set_track_no_loop(this.#live(), integer(p_Track, 'track'), p_NoLoop ? 1 : 0));
  }

  // Every event of a track in the song's order, each { beat, key, length, volume, pan }.
  notes(p_Track) {
    return this.events(p_Track).map(({ beat, key, length, volume, pan }) => ({ beat, key, length, volume, pan }));
  }

  // Puts a note at its beat, in place of an event already there.
  addNote(p_Track, p_Note) {
    const l_Track = integer(p_Track, 'track');
    const { beat, key, length, volume = 200, pan = 6 } = ofType(p_Note, 'note', 'an object', isObject);
    const l_Fields = { key, length, volume, pan };
    for (const l_Name in l_Fields) {
      const l_Value = ofType(l_Fields[l_Name], l_Name, 'a number', isNumber);
      if (!Number.isInteger(l_Value) || l_Value < 0 || l_Value > 255) l_Fields[l_Name] = REFUSED[l_Name];
    }
    const l_M = this.#tw.m;
    this.#withMemory(EVENT_BYTES, (p_At) => {
      l_M.HEAPU8.fill(0, p_At, p_At + EVENT_BYTES);
      l_M.HEAPU32[p_At >> 2] = integer(beat, 'beat', 0, UINT32_MAX);
      l_M.HEAPU8.set([l_Fields.key, l_Fields.length, l_Fields.volume, l_Fields.pan], p_At + 4);
      let l_Result = l_M._tw_song_insert_event(this.#live(), l_Track, p_At);
      if (l_Result === EVENT_EXISTS) l_Result = l_M._tw_song_replace_event(this.#live(), l_Track, p_At);
      this.#check(l_Result);
    });
  }

  // Removes the event at p_Beat; false when there was none.
  removeNote(p_Track, p_Beat) {
    const l_Result = this.#tw.m._tw_song_remove_event(this.#live(), integer(p_Track, 'track'),
      integer(p_Beat, 'beat', 0, UINT32_MAX));
    if (l_Result === NO_EVENT) return false;
    this.#check(l_Result);
    return true;
  }

  // The song as the bytes of an Org-02 file.
  toBytes() { return this.#saved(this.#tw.m._tw_song_save_memory); }

  // The song as the bytes of a type 1 Standard MIDI File.
  toMidi() { return this.#saved(this.#tw.m._tw_song_save_midi); }

  // The bytes a caller-buffer save (p_Save(song, buffer, capacity)) gives.
  #saved(p_Save) {
    const l_Size = this.#check(p_Save(this.#live(), 0, 0));
    return this.#withMemory(l_Size, (p_At) => {
      this.#check(p_Save(this.#live(), p_At, l_Size));
      return this.#tw.m.HEAPU8.slice(p_At, p_At + l_Size);
    });
  }

  // The library keeps these three without a getter: each is kept here as the song took it (the
  // volume as the float it holds), once the call has succeeded.
  #loops = 0;
  get loops() { return this.#loops; }
  set loops(p_Repeats) { this.#loops = this.#set(this.#tw.m._tw_song_set_loops, integer(p_Repeats, 'loops', LOOP_FOREVER)); }

  #interpolation = 1;
  // Set by a name ('nearest', 'linear', 'cubic', 'spline', 'sinc') or by its index there, the C
  // library's number for it; read as the name.
  get interpolation() { return INTERPOLATIONS[this.#interpolation]; }
  set interpolation(p_Method) {
    ofType(p_Method, 'interpolation', 'a name or a number', (p_Value) => typeof p_Value === 'string' || isNumber(p_Value));
    const l_Number = isNumber(p_Method) ? integer(p_Method, 'interpolation', 0, INTERPOLATIONS.length - 1) : INTERPOLATIONS.indexOf(p_Method);
    if (l_Number < 0) throw new RangeError(`Unknown interpolation "${p_Method}": one of ${INTERPOLATIONS.join(', ')}.`);
    this.#interpolation = this.#set(this.#tw.m._tw_song_set_interpolation, l_Number);
  }

  #volume = 0.5;
  get volume() { return this.#volume; }
  set volume(p_Volume) {
    this.#volume = Math.fround(this.#set(this.#tw.m._tw_song_set_volume, finite(p_Volume, 'volume', 0, FLOAT_MAX)));
  }

  // Lands on the beat at or before p_Seconds.
  seek(p_Seconds) { this.#set(this.#tw.m._tw_song_seek_seconds, finite(p_Seconds, 'seconds', 0)); }

  // Per track (the melody tracks, then the drum tracks): its instrument, whether it plays drums, the
  // notes it starts and its events.
  get tracks() {
    const l_Handle = this.#live();
    const l_M = this.#tw.m;
    return Array.from({ length: l_M._tw_song_get_track_count(l_Handle) }, (_, p_Track) => {
      const l_Events = this.events(p_Track);
      return {
        instrument: l_M._tw_song_get_track_instrument(l_Handle, p_Track),
        fineTune: l_M._tw_song_get_track_fine_tune(l_Handle, p_Track),
        noLoop: l_M._tw_song_get_track_no_loop(l_Handle, p_Track) === 1,
        drums: l_M._tw_song_get_track_kind(l_Handle, p_Track) === TRACK_DRUMS,
        notes: l_Events.filter((p_Event) => p_Event.startsNote).length,
        events: l_Events.length,
      };
    });
  }

  // A track's events in the song's order, each { beat, key, length, volume, pan, startsNote }.
  events(p_Track) {
    const l_Handle = this.#live();
    const l_M = this.#tw.m;
    integer(p_Track, 'track', 0, l_M._tw_song_get_track_count(l_Handle) - 1);
    const l_Count = this.#check(l_M._tw_song_get_track_events(l_Handle, p_Track, 0, 0));
    if (l_Count === 0) return [];
    return this.#withMemory(l_Count * EVENT_BYTES, (p_Buffer) => {
      this.#check(l_M._tw_song_get_track_events(l_Handle, p_Track, p_Buffer, l_Count));
      return Array.from({ length: l_Count }, (_, p_Index) => {
        const l_At = p_Buffer + p_Index * EVENT_BYTES;
        const [l_Key, l_Length, l_Volume, l_Pan, l_Starts] = l_M.HEAPU8.subarray(l_At + 4, l_At + 9);
        return { beat: l_M.HEAPU32[l_At >> 2], key: l_Key, length: l_Length, volume: l_Volume, pan: l_Pan, startsNote: l_Starts !== 0 };
      });
    });
  }

  // The beat of the song that plays p_Seconds into it: past the loop's end, a beat inside the loop.
  beatAt(p_Seconds) {
    return this.#withMemory(4, (p_Beat) => {
      this.#check(this.#tw.m._tw_song_get_beat_at_seconds(this.#live(), finite(p_Seconds, 'seconds', 0), p_Beat));
      return this.#tw.m.HEAPU32[p_Beat >> 2];
    });
  }

  // The next p_Frames frames at p_SampleRate, interleaved stereo; shorter only at the song's end.
  // With p_Into (a Float32Array of at least 2 * p_Frames) the frames go there and a view of it
  // comes back, so that a caller reading block after block allocates nothing.
  read(p_Frames, p_SampleRate, p_Into) {
    this.#live();
    integer(p_Frames, 'frames', 0, READ_MAX_FRAMES);
    integer(p_SampleRate, 'sampleRate', RATE_MIN, RATE_MAX);
    if (p_Into !== undefined) {
      ofType(p_Into, 'into', 'a Float32Array', (p_Value) => p_Value instanceof Float32Array);
      if (p_Into.length < 2 * p_Frames)
        throw new RangeError(`into holds ${p_Into.length} samples, fewer than the ${2 * p_Frames} of ${p_Frames} frames.`);
      return p_Into.subarray(0, 2 * this.#mix(p_Frames, p_SampleRate, (p_Piece, p_At) => p_Into.set(p_Piece, p_At)));
    }
    // The pieces are gathered, so that a read past the song's end takes only the memory of what it had.
    const l_Pieces = [];
    const l_Got = this.#mix(p_Frames, p_SampleRate, (p_Piece) => l_Pieces.push(p_Piece.slice()));
    if (l_Pieces.length === 1) return l_Pieces[0];
    const l_Mixed = new Float32Array(2 * l_Got);
    l_Pieces.reduce((p_At, p_Piece) => (l_Mixed.set(p_Piece, p_At), p_At + p_Piece.length), 0);
    return l_Mixed;
  }

  // Mixes p_Frames frames through the scratch buffer, up to PIECE_FRAMES at a time, handing
  // p_Take(samples, offset in samples) each piece as a view of the heap that the next piece reuses.
  // Gives the frames mixed.
  #mix(p_Frames, p_SampleRate, p_Take) {
    const l_M = this.#tw.m;
    if (this.#scratch === 0 && p_Frames > 0) {
      this.#scratch = l_M._malloc(PIECE_FRAMES * 2 * FLOAT_BYTES);
      if (this.#scratch === 0) throw new Error(this.#tw.errorText(OUT_OF_MEMORY));
    }
    let l_Done = 0;
    while (l_Done < p_Frames) {
      const l_Want = Math.min(PIECE_FRAMES, p_Frames - l_Done);
      const l_Got = l_M._tw_song_read_float(this.#handle, p_SampleRate, l_Want, this.#scratch);
      if (l_M._tw_song_get_level_metering(this.#handle) === 1) this.#addLevels(l_Done, l_Got);
      // The heap may have grown during the read: look at it afresh.
      const l_At = this.#scratch / FLOAT_BYTES;
      p_Take(l_M.HEAPF32.subarray(l_At, l_At + 2 * l_Got), 2 * l_Done);
      l_Done += l_Got;
      if (l_Got < l_Want) break;
    }
    return l_Done;
  }

  // The mixing desk, heard from the next read on; the song itself is not changed. A muted track
  // sounds only while soloed; while any track is soloed, only the soloed ones sound.
  muted(p_Track) { return this.#check(this.#tw.m._tw_song_get_track_mute(this.#live(), this.#track(p_Track))) === 1; }
  setMute(p_Track, p_Mute) {
    ofType(p_Mute, 'mute', 'true or false', isBoolean);
    this.#check(this.#tw.m._tw_song_set_track_mute(this.#live(), this.#track(p_Track), p_Mute ? 1 : 0));
  }
  soloed(p_Track) { return this.#check(this.#tw.m._tw_song_get_track_solo(this.#live(), this.#track(p_Track))) === 1; }
  setSolo(p_Track, p_Solo) {
    ofType(p_Solo, 'solo', 'true or false', isBoolean);
    this.#check(this.#tw.m._tw_song_set_track_solo(this.#live(), this.#track(p_Track), p_Solo ? 1 : 0));
  }
  gain(p_Track) { return this.#tw.m._tw_song_get_track_gain(this.#live(), this.#track(p_Track)); }
  setGain(p_Track, p_Gain) {
    this.#check(this.#tw.m._tw_song_set_track_gain(this.#live(), this.#track(p_Track), finite(p_Gain, 'gain', 0, MAX_TRACK_GAIN)));
  }
  // The beats p_Factor times as fast (0.25-4), pitch unchanged; durations, positions and seeks follow.
  get tempoFactor() { return this.#tw.m._tw_song_get_tempo_factor(this.#live()); }
  set tempoFactor(p_Factor) {
    this.#set(this.#tw.m._tw_song_set_tempo_factor, finite(p_Factor, 'tempoFactor', MIN_TEMPO_FACTOR, MAX_TEMPO_FACTOR));
  }
  // Every note moved by semitones (-24 to 24, fractions allowed), tempo unchanged.
  get pitchShift() { return this.#tw.m._tw_song_get_pitch_shift(this.#live()); }
  set pitchShift(p_Semitones) {
    this.#set(this.#tw.m._tw_song_set_pitch_shift, finite(p_Semitones, 'pitchShift', -MAX_PITCH_SHIFT, MAX_PITCH_SHIFT));
  }
  // Whether read() measures each track's level too (readTracks() always does).
  get levelMetering() { return this.#check(this.#tw.m._tw_song_get_level_metering(this.#live())) === 1; }
  set levelMetering(p_On) {
    ofType(p_On, 'levelMetering', 'true or false', isBoolean);
    this.#set(this.#tw.m._tw_song_set_level_metering, p_On ? 1 : 0);
  }

  #track(p_Track) { return integer(p_Track, 'track', 0, this.#tw.m._tw_song_get_track_count(this.#live()) - 1); }

  // Each track's { peak, rms } over the last measured read, whatever pieces it was mixed in.
  #levels = [];
  levels() { return this.#levels.map((p_Level) => ({ ...p_Level })); }

  // Adds the levels of the piece of p_Frames frames just read to those of the read so far (p_Done frames).
  #addLevels(p_Done, p_Frames) {
    const l_M = this.#tw.m;
    const l_Count = l_M._tw_song_get_track_count(this.#handle);
    this.#withMemory(2 * l_Count * FLOAT_BYTES, (p_At) => {
      this.#check(l_M._tw_song_get_track_levels(this.#handle, p_At, p_At + l_Count * FLOAT_BYTES));
      const l_Floats = l_M.HEAPF32.subarray(p_At / FLOAT_BYTES, p_At / FLOAT_BYTES + 2 * l_Count);
      this.#levels = Array.from({ length: l_Count }, (_, p_Track) => {
        const l_Before = p_Done === 0 ? { peak: 0, rms: 0 } : this.#levels[p_Track];
        const l_Squares = l_Before.rms ** 2 * p_Done + l_Floats[l_Count + p_Track] ** 2 * p_Frames;
        const l_Total = p_Done + p_Frames;
        return { peak: Math.max(l_Before.peak, l_Floats[p_Track]), rms: l_Total === 0 ? 0 : Math.sqrt(l_Squares / l_Total) };
      });
    });
  }

  // The next p_Frames frames of every track apart, as floats: one Float32Array per track of
  // interleaved stereo, shorter only at the song's end. They add up to what read() gives. With p_Into
  // (a Float32Array per track, each of at least 2 * p_Frames) the frames go there and views of them
  // come back, so that a player reading quantum after quantum allocates no sound.
  readTracks(p_Frames, p_SampleRate, p_Into) {
    this.#live();
    integer(p_Frames, 'frames', 0, READ_MAX_FRAMES);
    integer(p_SampleRate, 'sampleRate', RATE_MIN, RATE_MAX);
    const l_M = this.#tw.m;
    const l_Count = l_M._tw_song_get_track_count(this.#handle);
    if (p_Into !== undefined) {
      const l_Floats = (p_Value) => p_Value instanceof Float32Array;
      ofType(p_Into, 'into', `an array of ${l_Count} Float32Arrays`,
        (p_Value) => Array.isArray(p_Value) && p_Value.length === l_Count && p_Value.every(l_Floats));
      const l_Short = p_Into.find((p_Track) => p_Track.length < 2 * p_Frames);
      if (l_Short) throw new RangeError(`into holds a track of ${l_Short.length} samples, fewer than the ${2 * p_Frames} of ${p_Frames} frames.`);
    }
    const l_PieceBytes = TRACK_PIECE_FRAMES * 2 * FLOAT_BYTES;
    return this.#withMemory(l_Count * (4 + l_PieceBytes), (p_At) => {
      const l_Buffers = p_At + 4 * l_Count;
      for (let l_Track = 0; l_Track < l_Count; ++l_Track) l_M.HEAPU32[(p_At >> 2) + l_Track] = l_Buffers + l_Track * l_PieceBytes;
      const l_Pieces = p_Into ? null : Array.from({ length: l_Count }, () => []);
      let l_Done = 0;
      while (l_Done < p_Frames) {
        const l_Want = Math.min(TRACK_PIECE_FRAMES, p_Frames - l_Done);
        const l_Got = l_M._tw_song_read_tracks_float(this.#handle, p_SampleRate, l_Want, p_At);
        this.#addLevels(l_Done, l_Got);
        for (let l_Track = 0; l_Track < l_Count; ++l_Track) {
          const l_From = (l_Buffers + l_Track * l_PieceBytes) / FLOAT_BYTES;
          if (p_Into) p_Into[l_Track].set(l_M.HEAPF32.subarray(l_From, l_From + 2 * l_Got), 2 * l_Done);
          else l_Pieces[l_Track].push(l_M.HEAPF32.slice(l_From, l_From + 2 * l_Got));
        }
        l_Done += l_Got;
        if (l_Got < l_Want) break;
      }
      if (p_Into) return p_Into.map((p_Track) => p_Track.subarray(0, 2 * l_Done));
      return l_Pieces.map((p_Pieces) => {
        const l_Track = new Float32Array(2 * l_Done);
        p_Pieces.reduce((p_Offset, p_Piece) => (l_Track.set(p_Piece, p_Offset), p_Offset + p_Piece.length), 0);
        return l_Track;
      });
    });
  }

  close() {
    if (this.#handle === 0) return;
    this.#tw.m._tw_song_close(this.#handle);
    this.#tw.m._free(this.#scratch);
    this.#handle = 0;
    this.#scratch = 0;
  }
}

class Tunewright {
  constructor(p_Module) {
    this.m = p_Module;
    const l_Version = p_Module._tw_version();
    this.version = `${l_Version >> 16}.${(l_Version >> 8) & 0xff}.${l_Version & 0xff}`;
  }

  errorText(p_Code) { return this.m.UTF8ToString(this.m._tw_error_string(integer(p_Code, 'code'))); }

  // Makes now the drums that the module otherwise makes the first time a song reads them (the
  // crash cymbal alone takes tens of milliseconds), so that a player's first read is not delayed;
  // p_Drum: that drum only (a page making them one task at a time).
  prepareInstruments(p_Drum) {
    if (p_Drum !== undefined) integer(p_Drum, 'drum', 0, this.instrumentCount(true) - 1);
    const l_Frames = this.m._malloc(4);
    if (p_Drum !== undefined) this.m._tw_web_drum(p_Drum, l_Frames);
    else for (let l_Drum = 0; this.m._tw_web_drum(l_Drum, l_Frames) !== 0; ++l_Drum);
    this.m._free(l_Frames);
  }

  // The values an editor may write in a note, as the song checks them: per field, [lowest, highest].
  get noteRange() {
    const l_M = this.m;
    const l_At = l_M._malloc(2 * EVENT_BYTES);
    if (l_At === 0) throw new Error(this.errorText(OUT_OF_MEMORY));
    try {
      l_M._tw_get_event_range(l_At, l_At + EVENT_BYTES);
      const l_Field = (p_Event) => {
        const [l_Key, l_Length, l_Volume, l_Pan] = l_M.HEAPU8.subarray(p_Event + 4, p_Event + 8);
        return { beat: l_M.HEAPU32[p_Event >> 2], key: l_Key, length: l_Length, volume: l_Volume, pan: l_Pan };
      };
      const l_Lowest = l_Field(l_At), l_Highest = l_Field(l_At + EVENT_BYTES);
      return Object.fromEntries(Object.keys(l_Lowest).map((p_Name) => [p_Name, [l_Lowest[p_Name], l_Highest[p_Name]]]));
    } finally {
      l_M._free(l_At);
    }
  }

  // The instruments' names in their order, as the library names them (a track's instrument picks
  // one): the melody waveforms' and the drums'; and the drums' sample files, by which the tests find
  // the data the module's drums must match.
  #names = {};
  #listed(p_Key, p_Name) {
    if (!this.#names[p_Key]) {
      const l_List = [];
      for (let l_Name; (l_Name = p_Name(l_List.length)) !== 0; ) l_List.push(this.m.UTF8ToString(l_Name));
      this.#names[p_Key] = l_List;
    }
    return [...this.#names[p_Key]];
  }
  get waveNames() {
    return this.#listed('waves', (p_Index) => this.m._tw_instrument_name(0, p_Index));
  }
  get drumNames() {
    return this.#listed('drums', (p_Index) => this.m._tw_instrument_name(TRACK_DRUMS, p_Index));
  }
  get drumFiles() {
    return this.#listed('drumFiles', (p_Index) => this.m._tw_web_drum_name(p_Index));
  }

  // The header of a 16-bit PCM WAV file of p_Frames frames, as the renderer writes it.
  wavHeader(p_Frames, p_SampleRate, p_Channels = 2) {
    const l_M = this.m;
    const l_At = l_M._malloc(WAV_HEADER_BYTES);
    if (l_At === 0) throw new Error(this.errorText(OUT_OF_MEMORY));
    try {
      const l_Result = l_M._tw_wav_header(integer(p_SampleRate, 'sampleRate', RATE_MIN, RATE_MAX),
        integer(p_Channels, 'channels', 1, 2), integer(p_Frames, 'frames', 0, UINT32_MAX), l_At);
      if (l_Result < 0) throw new RangeError(`frames is ${p_Frames}, more than a WAV file holds.`);
      return l_M.HEAPU8.slice(l_At, l_At + WAV_HEADER_BYTES);
    } finally {
      l_M._free(l_At);
    }
  }

  // How many instruments a track takes: waveforms on a melody track, drums on a drum track.
  instrumentCount(p_Drums) {
    ofType(p_Drums, 'drums', 'true or false', isBoolean);
    return this.m._tw_get_instrument_count(p_Drums ? TRACK_DRUMS : 0);
  }

  // An empty song to write: 140 ms per beat, a bar layout of 4 and 4, no loop, no notes, a drum kit
  // of one drum a drum track.
  createSong() {
    const l_Handle = this.m._tw_song_new(0);
    if (l_Handle === 0) throw new Error(this.errorText(OUT_OF_MEMORY));
    return new Song(this, l_Handle);
  }

  // A song from its bytes (a Uint8Array, an ArrayBuffer or a Node Buffer); throws an Error
  // carrying the decoder's own message when they are not a whole song.
  open(p_Bytes) {
    return this.#opened(p_Bytes, 0, (p_Data, p_Size, p_Error) => this.m._tw_song_open_memory(p_Data, p_Size, p_Error));
  }

  // A song made of a Standard MIDI File (type 0 or 1) quantised to p_Options.quantize song beats per
  // quarter note (1-64, default 4), and the report of what the import dropped or changed:
  // { song, report }, report holding the counts of tw_midi_report and `text`, the decoder's English
  // lines. Throws an Error with the decoder's message for bytes that are no such file.
  openMidi(p_Bytes, p_Options = {}) {
    const { quantize = 4 } = ofType(p_Options, 'options', 'an object', isObject);
    integer(quantize, 'quantize', 1, MAX_QUANTIZE);
    const l_M = this.m;
    const l_ReportBytes = MIDI_REPORT.length * 4;
    let l_Report = null;
    const l_Song = this.#opened(p_Bytes, l_ReportBytes, (p_Data, p_Size, p_Error, p_Report) => {
      const l_Handle = l_M._tw_song_open_midi(p_Data, p_Size, quantize, p_Report, p_Error);
      if (l_Handle === 0) return 0;
      l_Report = {};
      MIDI_REPORT.forEach((p_Name, p_Index) => {
        const l_Value = l_M.HEAPU32[(p_Report >> 2) + p_Index];
        l_Report[p_Name] = MIDI_FLAGS.includes(p_Name) ? l_Value !== 0 : l_Value;
      });
      const l_Length = l_M._tw_midi_report_text(p_Report, 0, 0);
      const l_Text = l_M._malloc(l_Length + 1);
      if (l_Text === 0) {
        l_M._tw_song_close(l_Handle);
        throw new Error(this.errorText(OUT_OF_MEMORY));
      }
      l_M._tw_midi_report_text(p_Report, l_Text, l_Length + 1);
      l_Report.text = l_M.UTF8ToString(l_Text);
      l_M._free(l_Text);
      return l_Handle;
    });
    return { song: l_Song, report: l_Report };
  }

  // A song p_Open(data, size, error, scratch) makes of p_Bytes copied into the module, with
  // p_Scratch bytes of room for it besides; all of it freed again whether or not it opens.
  #opened(p_Bytes, p_Scratch, p_Open) {
    const l_Bytes = songBytes(p_Bytes);
    const l_M = this.m;
    const l_Data = l_M._malloc(Math.max(1, l_Bytes.length));
    const l_Error = l_M._malloc(4 + p_Scratch);
    try {
      if (l_Data === 0 || l_Error === 0) throw new Error(this.errorText(OUT_OF_MEMORY));
      l_M.HEAPU8.set(l_Bytes, l_Data);
      const l_Handle = p_Open(l_Data, l_Bytes.length, l_Error, l_Error + 4);
      if (l_Handle === 0) throw new Error(this.errorText(l_M.HEAP32[l_Error >> 2]));
      return new Song(this, l_Handle);
    } finally {
      l_M._free(l_Data);
      l_M._free(l_Error);
    }
  }
}

// The decoder, ready to open songs. p_Options.module: a compiled WebAssembly.Module (an audio
// worklet gets it from its page, having no fetch of its own); otherwise it is found beside this file.
// p_Options.log: a function that receives the decoder's messages, line by line.
export async function createTunewright(p_Options = {}) {
  ofType(p_Options, 'options', 'an object', isObject);
  if (p_Options.module !== undefined)
    ofType(p_Options.module, 'options.module', 'a WebAssembly.Module', (p_Value) => p_Value instanceof WebAssembly.Module);
  if (p_Options.log !== undefined) ofType(p_Options.log, 'options.log', 'a function', (p_Value) => typeof p_Value === 'function');
  const l_Compiled = p_Options.module ?? (await compileDecoder());
  const l_Module = await createTunewrightModule({
    instantiateWasm(p_Imports, p_Done) {
      WebAssembly.instantiate(l_Compiled, p_Imports).then((p_Instance) => p_Done(p_Instance));
      return {};
    },
    // The decoder's messages (what it read, what it could not do) go to p_Options.log, or nowhere.
    print: p_Options.log ?? (() => {}),
    printErr: p_Options.log ?? (() => {}),
  });
  return new Tunewright(l_Module);
}

export { INTERPOLATIONS as interpolations, compileDecoder };
export default createTunewright;
