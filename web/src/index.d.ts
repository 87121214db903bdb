// tables: interpolation-type (the lines up to its end are written from tunewright.h by tools/tables)
/** The decoder's resamplers by name, or by number: a name's index in `interpolations` (0-4). */
export type Interpolation = 'nearest' | 'linear' | 'cubic' | 'spline' | 'sinc' | number;
// tables: end

export interface Track {
  /** The track's instrument: a melody waveform (0-99) on a melody track, a drum (0-11) on a drum track. */
  instrument: number;
  /** Whether the track strikes drums (tracks 8-15) rather than looping a melody waveform (0-7). */
  drums: boolean;
  /** How many notes the track starts (its events with `startsNote`). */
  notes: number;
  /** How many events the track holds. */
  events: number;
  /** The track's fine tune: 1000 plays every key at its pitch. */
  fineTune: number;
  /** Whether the track's notes are marked as not looping (kept for editors). */
  noLoop: boolean;
}

/** A note as an editor writes it. */
export interface Note {
  /** The beat the note starts at, 0-4294967295. */
  beat: number;
  /** 0-95: 12 to an octave, 57 is the A of 440 Hz. */
  key: number;
  /** Beats the note lasts, 1-255. */
  length: number;
  /** 0-254; 200 when left out. */
  volume?: number;
  /** 0 (left) to 12 (right); 6, the centre, when left out. */
  pan?: number;
}

export interface Event {
  /** The beat the event stands at, counted from the song's start. */
  beat: number;
  /** The note: 12 to an octave, 57 is the A of 440 Hz; 0-95 sound. */
  key: number;
  /** Beats the note lasts; 0 starts nothing. */
  length: number;
  /** 0-255. */
  volume: number;
  /** 0 (left) to 12 (right), 6 the centre; 255 keeps the pan of the note it changes. */
  pan: number;
  /** Whether the song starts a note here as it reaches the beat; otherwise the event starts nothing
   * (length 0, or an earlier note still sounds there, whose volume and pan it may change, and which it
   * holds on at its own key and length once the earlier event ends). */
  startsNote: boolean;
}

/**
 * One song. Every method and setter checks its arguments before the song sees them and changes
 * nothing for one it refuses: a TypeError for a value of the wrong type (a string where a number
 * goes, null), a RangeError for one out of range, with the library's own sentence where the song is
 * what refuses it (a tempo of 0, a key of 96). A song being read plays a change from its next `read`.
 */
export interface Song {
  /** Seconds the song lasts: the intro plus (loops + 1) passes of its loop; Infinity for loops = -1. */
  readonly duration: number;
  /** Seconds read so far (or sought to). */
  readonly position: number;
  /** Milliseconds per beat, 1-65535. */
  tempo: number;
  /** Ruler beats in a bar and song beats in a ruler beat, as an editor draws the grid (1-255 each). */
  readonly barLayout: { perBar: number; perBeat: number };
  setBarLayout(perBar: number, perBeat: number): void;
  /** After beat `end` the song plays on from `start`; equal, there is no loop. */
  readonly loop: { start: number; end: number };
  /** Sets the loop; `end` at or after `start`. */
  setLoop(start: number, end: number): void;
  /** A melody waveform (0-99) on tracks 0-7, a drum (0-11) on tracks 8-15. */
  setInstrument(track: number, instrument: number): void;
  /** 0-65535; each 100 above or below 1000 moves the track's notes by one unit of the sampler's table. */
  setFineTune(track: number, fineTune: number): void;
  setNoLoop(track: number, noLoop: boolean): void;
  /** Every event of the track in the song's order. */
  notes(track: number): Required<Note>[];
  /** Puts a note at its beat, in place of an event already there. */
  addNote(track: number, note: Note): void;
  /** Removes the event at `beat`; false when there was none. */
  removeNote(track: number, beat: number): boolean;
  /** The song as the bytes of an Org-02 file. */
  toBytes(): Uint8Array;
  /** The song as the bytes of a type 1 Standard MIDI File (the rules of tunewright-convert). */
  toMidi(): Uint8Array;
  /** Repeats of the loop after its first pass, -1 to 2147483647: 0 (the default) plays it once, -1 forever. */
  loops: number;
  /** The resampler; 'linear' by default. Set by name or number, it reads back as the name. */
  interpolation: Interpolation;
  /** The master volume, 0.5 by default: 0 or more, finite. It reads back as the 32-bit float the song holds. */
  volume: number;
  /** The sixteen tracks: eight melody tracks, then eight drum tracks. */
  readonly tracks: Track[];
  /** The events of track `track` (0-15) in the song's order; a RangeError for another track. */
  events(track: number): Event[];
  /** The beat of the song that plays `seconds` (0 or more) into it: past the loop's end, a beat inside the loop. */
  beatAt(seconds: number): number;
  /** Moves to the beat at or before `seconds` (0 or more); notes held across it sound. */
  seek(seconds: number): void;
  /**
   * The next `frames` frames at `sampleRate` (8000-192000) as interleaved stereo floats; fewer only
   * at the end of the song. With `into` (of at least 2 * `frames` samples), the frames are written
   * there and a view of it is returned. `frames` is 0 to 536870911, the most whose bytes a 32-bit
   * size counts; however many, the module mixes them in pieces through the same small buffer.
   */
  read(frames: number, sampleRate: number, into?: Float32Array): Float32Array;
  /** Whether track `track` (0-15) is muted. */
  muted(track: number): boolean;
  /** Mutes track `track` or unmutes it; a muted track sounds only while soloed. Heard from the next read. */
  setMute(track: number, mute: boolean): void;
  /** Whether track `track` is soloed. */
  soloed(track: number): boolean;
  /** Solos track `track` or not: while any track is soloed, only the soloed ones sound, muted or not. */
  setSolo(track: number, solo: boolean): void;
  /** The factor track `track` is scaled by, 0-1. */
  gain(track: number): number;
  /** Scales track `track` by `gain`, 0 (silent) to 1 (as the song has it, the default); ramped, no click. */
  setGain(track: number, gain: number): void;
  /** The song's beats this many times as fast, 0.25-4 (1 by default), pitch unchanged; `duration`,
   * `position` and `seek` follow it. It reads back as the song holds it. */
  tempoFactor: number;
  /** Semitones every note is moved by, -24 to 24, fractions allowed (0 by default); tempo unchanged. */
  pitchShift: number;
  /** Whether `read` measures each track's level too (false by default; `readTracks` always does).
   * A measuring read adds the tracks up track by track: its floats may differ in their last bits. */
  levelMetering: boolean;
  /** Each track's largest absolute sample and root mean square over the last measuring read (all of
   * it, however many pieces it was mixed in); empty before the first. */
  levels(): { peak: number; rms: number }[];
  /**
   * The next `frames` frames of every track apart, one Float32Array of interleaved stereo per track,
   * shorter only at the end of the song; added up they are what `read` gives (within 1e-6), the
   * master volume and each track's gain applied, a muted track silent. With `into` (one Float32Array
   * per track, each of at least 2 * `frames` samples), the frames are written there and views of
   * them are returned.
   */
  readTracks(frames: number, sampleRate: number, into?: Float32Array[]): Float32Array[];
  /** Frees the song; it cannot be used afterwards. */
  close(): void;
}

export interface Tunewright {
  /** The decoder's version, "major.minor.patch". */
  readonly version: string;
  /** Makes the drums now, which the decoder otherwise makes the first time a song reads them, so
   * that the first read of a song is not delayed (a real-time player calls it at start-up); with
   * `drum` (0-11), that drum only. */
  prepareInstruments(drum?: number): void;
  /** The values an editor may write in a note, as the song checks them: per field, [lowest, highest]
   * (beat 0-4294967295, key 0-95, length 1-255, volume 0-254, pan 0-12). */
  readonly noteRange: Record<'beat' | 'key' | 'length' | 'volume' | 'pan', [number, number]>;
  /** The melody waveforms' names ("Sine", "Square", "Bass saw", ...), in the order a melody track's
   * instrument counts them. */
  readonly waveNames: string[];
  /** The drums' names ("Bass drum", "Snare", "Closed hi-hat", ...), in the order a drum track's
   * instrument counts them. */
  readonly drumNames: string[];
  /** The drums' sample file names (Bass01, ...: percussion/Bass01.wav of the data), in the same order. */
  readonly drumFiles: string[];
  /** The 44-byte header of a 16-bit PCM WAV file of `frames` frames (stereo unless `channels` is 1). */
  wavHeader(frames: number, sampleRate: number, channels?: 1 | 2): Uint8Array;
  /** How many instruments a track takes: 100 waveforms on a melody track (`drums` false), 12 drums on a drum track. */
  instrumentCount(drums: boolean): number;
  /** An empty song to write: 140 ms per beat, a bar layout of 4 and 4, no loop, no notes; the drum
   * tracks on a kit of one drum each (bass drum, snare, closed and open hi-hat, toms, crash, clap). */
  createSong(): Song;
  /** Opens a song from its bytes; throws an Error with the decoder's message when they are not a song
   * (a TypeError for anything but a Uint8Array or an ArrayBuffer). */
  open(bytes: Uint8Array | ArrayBuffer): Song;
  /**
   * Makes a song of a Standard MIDI File (type 0 or 1), its times quantised to `quantize` song beats
   * per quarter note (1-64, default 4; a RangeError otherwise, a TypeError for options or a quantize
   * of another type); throws an Error with the decoder's message for bytes that are no such file, or
   * more than TW_MAX_MIDI_BYTES of the C interface.
   */
  openMidi(bytes: Uint8Array | ArrayBuffer, options?: { quantize?: number }): { song: Song; report: MidiReport };
}

/** What a MIDI import dropped or changed (tw_midi_report); a dropped note is counted once. */
export interface MidiReport {
  /** Notes in the song made. */
  notes: number;
  /** Melody notes outside keys 0-95 (MIDI 12-107): dropped. */
  keysOutOfRange: number;
  /** Channel 10 notes of a key no drum has: dropped. */
  unmappedDrums: number;
  /** Notes after the last beat a song holds: dropped. */
  beyondLastBeat: number;
  /** A ninth voice sounding at once on one channel: dropped. */
  extraVoices: number;
  /** Voices beyond the melody tracks their channel got (channels share eight): dropped. */
  sharedTracks: number;
  /** Hits of drums beyond the eight drum tracks: dropped. */
  extraDrums: number;
  /** Drum hits on a beat the same drum already hits: dropped. */
  sameBeatHits: number;
  /** Notes beyond a track's 65535 events: dropped. */
  overfullTracks: number;
  /** Notes of no length once quantised: given one beat. */
  lengthened: number;
  /** Notes over 255 beats: cut to 255. */
  shortened: number;
  /** Notes never ended: ended where the file ends. */
  unfinished: number;
  /** Tempo changes: followed, the song keeping one tempo (see retimed). */
  extraTempos: number;
  /** Program changes after a channel's first note: ignored. */
  programChanges: number;
  /** Pitch bends, aftertouch, controllers but pan: ignored. */
  ignoredEvents: number;
  /** Melody channels that got no track (more than eight played). */
  channelsWithoutTrack: number;
  /** "loop end" came before "loop start": the loop is the whole song. */
  loopIgnored: boolean;
  /** The file ends early or holds a malformed event: read up to there. */
  damaged: boolean;
  /** The song's milliseconds per beat. */
  tempoMs: number;
  /** The song's tempo gives under 1 or over 65535 ms per beat: held there. */
  tempoHeld: boolean;
  /** Events past the most an import holds (TW_MAX_MIDI_EVENTS, as the export of any song has): dropped. */
  excessEvents: number;
  /** Notes the file's tempo changes placed more than one song beat away from where their ticks at the
   * song's one tempo would have put them. */
  retimed: number;
  /** The decoder's English lines for all of the above. */
  text: string;
}

export interface Options {
  /** The compiled decoder, where it cannot be fetched (an AudioWorklet). */
  module?: WebAssembly.Module;
  /** Receives the decoder's messages line by line (none are shown without it). */
  log?: (line: string) => void;
}

/** Loads the decoder: in Node from beside this file, on a page by fetch, or from `options.module`;
 * rejects with a TypeError for options of another type. */
export function createTunewright(options?: Options): Promise<Tunewright>;
/** Compiles tunewright.wasm from beside this file (to hand to an AudioWorklet). */
export function compileDecoder(): Promise<WebAssembly.Module>;
export const interpolations: readonly string[];
export default createTunewright;
