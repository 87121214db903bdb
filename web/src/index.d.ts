/** The decoder's resamplers by name; a number passes through to the engine as it is. */
export type Interpolation = 'nearest' | 'linear' | 'cubic' | 'spline' | 'sinc' | number;

export interface Track {
  /** The track's instrument: a melody waveform (0-99) on a melody track, a drum (0-11) on a drum track. */
  instrument: number;
  /** Whether the track strikes drums (tracks 8-15) rather than looping a melody waveform (0-7). */
  drums: boolean;
  /** How many notes the track starts (its events with `startsNote`). */
  notes: number;
  /** How many events the track holds. */
  events: number;
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
   * (length 0, or an earlier note still sounds there, whose volume and pan it may change). */
  startsNote: boolean;
}

export interface Song {
  /** Seconds the song lasts: the intro plus (loops + 1) passes of its loop; Infinity for loops = -1. */
  readonly duration: number;
  /** Seconds read so far (or sought to). */
  readonly position: number;
  /** Milliseconds per beat. */
  readonly tempo: number;
  /** Repeats of the loop after its first pass: 0 (the default) plays it once, -1 forever. */
  loops: number;
  /** The resampler; 'linear' by default. */
  interpolation: Interpolation;
  /** The master volume, 0.5 by default. */
  volume: number;
  /** The sixteen tracks: eight melody tracks, then eight drum tracks. */
  readonly tracks: Track[];
  /** The events of track `track` (0-15) in the song's order; throws for another track. */
  events(track: number): Event[];
  /** The beat of the song that plays `seconds` into it: past the loop's end, a beat inside the loop. */
  beatAt(seconds: number): number;
  /** Moves to the beat at or before `seconds`; notes held across it sound. */
  seek(seconds: number): void;
  /**
   * The next `frames` frames at `sampleRate` (8000-192000) as interleaved stereo floats; fewer only
   * at the end of the song. With `into`, the frames are written there and a view of it is returned.
   */
  read(frames: number, sampleRate: number, into?: Float32Array): Float32Array;
  /** Frees the song; it cannot be used afterwards. */
  close(): void;
}

export interface Tunewright {
  /** The decoder's version, "major.minor.patch". */
  readonly version: string;
  /** Makes the drums now, which the decoder otherwise makes the first time a song reads them, so
   * that the first read of a song is not delayed (a real-time player calls it at start-up). */
  prepareInstruments(): void;
  /** Opens a song from its bytes; throws an Error with the decoder's message when they are not a song. */
  open(bytes: Uint8Array | ArrayBuffer): Song;
}

export interface Options {
  /** The compiled decoder, where it cannot be fetched (an AudioWorklet). */
  module?: WebAssembly.Module;
  /** Receives the decoder's messages line by line (none are shown without it). */
  log?: (line: string) => void;
}

/** Loads the decoder: in Node from beside this file, on a page by fetch, or from `options.module`. */
export function createTunewright(options?: Options): Promise<Tunewright>;
/** Compiles tunewright.wasm from beside this file (to hand to an AudioWorklet). */
export function compileDecoder(): Promise<WebAssembly.Module>;
export const interpolations: readonly string[];
export default createTunewright;
