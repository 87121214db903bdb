// The JavaScript interface against the native programs: the same samples as the renderer, the same
// lengths and beats as tunewright-info, and the C interface's own error messages.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readdirSync, readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import { converter, dataDir, info, oneNoteSong, renderer, root, run, wavSamples, webDir, withTempDir } from './kit.js';

const { createTunewright, interpolations } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();
const songs = readdirSync(path.join(root, 'songs')).filter((p_Name) => p_Name.endsWith('.org')).sort();
// Each bundled song at another rate and resampler, so that together they cover every resampler's path.
const settings = [
  { rate: 48000, interpolation: 'linear' },
  { rate: 44100, interpolation: 'cubic' },
  { rate: 22050, interpolation: 'spline' },
  { rate: 32000, interpolation: 'nearest' },
];

// The module's decoding of p_Bytes against the native renderer's: the first p_Seconds, read in
// uneven blocks as an audio callback would, within 1 LSB and not silent.
function assertMatchesRenderer(p_Name, p_Bytes, { rate, interpolation }, p_Seconds) {
  const l_Native = withTempDir((p_Dir) => {
    const l_Song = path.join(p_Dir, 'song.org');
    const l_Wav = path.join(p_Dir, 'song.wav');
    writeFileSync(l_Song, p_Bytes);
    run(renderer, ['-q', '-d', dataDir, '--seconds', String(p_Seconds), '--fade', '0', '-r', String(rate), '-i', interpolation, '-o', l_Wav, l_Song]);
    return wavSamples(readFileSync(l_Wav));
  });
  assert.equal(l_Native.rate, rate);
  const l_Song = tw.open(p_Bytes);
  l_Song.interpolation = interpolation;
  assert.equal(l_Song.interpolation, interpolation);
  const l_Frames = p_Seconds * rate;
  const l_Ours = new Float32Array(2 * l_Frames);
  for (let l_At = 0; l_At < l_Frames; ) {
    const l_Block = l_Song.read(Math.min(997, l_Frames - l_At), rate);
    l_Ours.set(l_Block, 2 * l_At);
    l_At += l_Block.length / 2;
  }
  l_Song.close();
  // The renderer may write a few frames past the end asked for: the first p_Seconds are compared.
  assert.ok(l_Native.samples.length >= l_Ours.length, p_Name);
  let l_Worst = 0;
  let l_Loud = 0;
  for (let l_Index = 0; l_Index < l_Ours.length; ++l_Index) {
    const l_Ours16 = Math.max(-32768, Math.min(32767, Math.round(l_Ours[l_Index] * 32768)));
    l_Worst = Math.max(l_Worst, Math.abs(l_Ours16 - l_Native.samples[l_Index]));
    l_Loud = Math.max(l_Loud, Math.abs(l_Native.samples[l_Index]));
  }
  assert.ok(l_Loud > 1000, `${p_Name} is not silent`);
  assert.ok(l_Worst <= 1, `${p_Name} at ${rate} Hz, ${interpolation}: off by ${l_Worst}`);
}

test('the first 10 s of each bundled song equal the renderer output within 1 LSB', () => {
  assert.ok(songs.length >= 3);
  songs.forEach((p_Name, p_Index) => {
    assertMatchesRenderer(p_Name, readFileSync(path.join(root, 'songs', p_Name)), settings[p_Index % settings.length], 10);
  });
});

test('a 440 Hz note sounds as the renderer sounds it with every resampler', () => {
  for (const interpolation of interpolations)
    assertMatchesRenderer('note 57', oneNoteSong(57), { rate: 48000, interpolation }, 2);
});

test('the drums the module makes, by the names it gives them, are the sample files\' samples', () => {
  const l_Drums = tw.drumFiles;
  assert.equal(l_Drums.length, tw.instrumentCount(true));
  assert.deepEqual([tw.waveNames.length, tw.drumNames.length], [tw.instrumentCount(false), l_Drums.length]);
  assert.deepEqual([tw.waveNames[3], tw.drumNames[0], tw.drumNames[5]], ['Square', 'Bass drum', 'Closed hi-hat']);
  const l_M = tw.m;
  const l_Frames = l_M._malloc(4);
  l_Drums.forEach((p_Name, p_Index) => {
    const l_Pcm = l_M._tw_web_drum(p_Index, l_Frames) >> 1;
    const l_Ours = l_M.HEAP16.slice(l_Pcm, l_Pcm + l_M.HEAPU32[l_Frames >> 2]);
    const l_File = wavSamples(readFileSync(path.join(dataDir, 'percussion', `${p_Name}.wav`))).samples;
    assert.ok(Buffer.from(l_Ours.buffer).equals(Buffer.from(l_File.buffer)), p_Name);
  });
  l_M._free(l_Frames);
});

test('duration, tempo, tracks and seeking agree with tunewright-info', () => {
  for (const p_Name of songs) {
    const l_Path = path.join(root, 'songs', p_Name);
    const l_Facts = JSON.parse(run(info, ['--json', l_Path]).toString());
    const l_Song = tw.open(readFileSync(l_Path));
    assert.equal(l_Song.tempo, l_Facts.tempo_ms);
    assert.deepEqual(
      l_Song.tracks,
      l_Facts.tracks.map((p_Track) => ({
        instrument: p_Track.instrument, fineTune: p_Track.pitch, noLoop: p_Track.no_loop,
        drums: p_Track.kind === 'percussion', notes: p_Track.notes, events: p_Track.events,
      })),
    );
    assert.ok(Math.abs(l_Song.duration - (l_Facts.intro_seconds + l_Facts.loop_seconds)) < 1e-3, p_Name);
    l_Song.loops = 2;
    assert.ok(Math.abs(l_Song.duration - (l_Facts.intro_seconds + 3 * l_Facts.loop_seconds)) < 1e-3, p_Name);
    l_Song.loops = -1;
    assert.equal(l_Song.duration, Infinity);
    // A seek lands on the beat at or before the time asked, and reading goes on from there.
    const l_Beat = l_Facts.tempo_ms / 1000;
    const l_Target = l_Facts.intro_seconds + 1.5 * l_Facts.loop_seconds + 0.4 * l_Beat;
    l_Song.seek(l_Target);
    assert.ok(Math.abs(l_Song.position - Math.floor(l_Target / l_Beat) * l_Beat) < 1e-6, p_Name);
    const l_Before = l_Song.position;
    assert.equal(l_Song.read(4800, 48000).length, 9600);
    assert.ok(Math.abs(l_Song.position - (l_Before + 0.1)) < 1e-6);
    l_Song.close();
  }
});

test('a loop count reads as many frames as tunewright-info gives for it', () => {
  const l_Path = path.join(root, 'songs', songs[0]);
  const l_Song = tw.open(readFileSync(l_Path));
  for (const l_Loops of [0, 1]) {
    const l_Facts = JSON.parse(run(info, ['--json', '--loops', String(l_Loops), '--rate', '8000', l_Path]).toString());
    l_Song.loops = l_Loops;
    l_Song.seek(0);
    let l_Frames = 0;
    for (let l_Read; (l_Read = l_Song.read(65536, 8000).length / 2) > 0; ) l_Frames += l_Read;
    assert.equal(l_Frames, l_Facts.length_frames, `--loops ${l_Loops}`);
  }
  l_Song.close();
});

test('a song written in JavaScript saves the notes tunewright-info lists', () => {
  const l_Song = tw.createSong();
  l_Song.tempo = 80;
  l_Song.setBarLayout(3, 4);
  l_Song.setLoop(8, 24);
  l_Song.setInstrument(1, 60);
  l_Song.addNote(1, { beat: 4, key: 60, length: 2 });
  l_Song.addNote(1, { beat: 0, key: 57, length: 4, volume: 254, pan: 0 });
  l_Song.addNote(1, { beat: 4, key: 62, length: 3, pan: 12 });
  l_Song.addNote(9, { beat: 2, key: 40, length: 1 });
  l_Song.addNote(9, { beat: 3, key: 40, length: 1 });
  assert.equal(l_Song.removeNote(9, 3), true);
  assert.equal(l_Song.removeNote(9, 3), false);
  assert.throws(() => l_Song.addNote(1, { beat: 9, key: 96, length: 1 }), { name: 'RangeError', message: /key is outside 0 to 95/ });
  assert.throws(() => l_Song.addNote(1, { beat: 9, key: 1, length: 300 }), { name: 'RangeError', message: /length is outside 1 to 255/ });
  assert.throws(() => (l_Song.tempo = 0), { name: 'RangeError', message: /tempo is outside/ });
  assert.throws(() => l_Song.setLoop(9, 8), { name: 'RangeError', message: /loop ends before it starts/ });
  const l_Notes = { 1: [[0, 57, 4, 254, 0], [4, 62, 3, 200, 12]], 9: [[2, 40, 1, 200, 6]] };
  const l_Bytes = l_Song.toBytes();
  const l_Facts = withTempDir((p_Dir) => {
    writeFileSync(path.join(p_Dir, 'made.org'), l_Bytes);
    return JSON.parse(run(info, ['--json', '--events', path.join(p_Dir, 'made.org')]).toString());
  });
  assert.deepEqual([l_Facts.tempo_ms, l_Facts.steps_per_bar, l_Facts.beats_per_step, l_Facts.loop_start, l_Facts.loop_stop], [80, 3, 4, 8, 24]);
  const l_Listed = Object.fromEntries(l_Facts.tracks.filter((p_Track) => p_Track.events > 0)
    .map((p_Track) => [p_Track.track, p_Track.event_list.map((e) => [e.beat, e.key, e.length, e.volume, e.pan])]));
  assert.deepEqual(l_Listed, l_Notes);
  const l_Again = tw.open(l_Bytes);
  assert.deepEqual([l_Again.notes(1), l_Again.loop, l_Again.barLayout, l_Again.tracks[1].instrument],
    [l_Song.notes(1), { start: 8, end: 24 }, { perBar: 3, perBeat: 4 }, 60]);
  l_Again.close();
  l_Song.close();
});

test('MIDI goes out and comes in as tunewright-convert takes it, with the same report', () => {
  const l_Org = readFileSync(path.join(root, 'songs', songs[0]));
  const l_Native = withTempDir((p_Dir) => {
    const [l_Song, l_Midi, l_Back] = ['song.org', 'song.mid', 'back.org'].map((p_Name) => path.join(p_Dir, p_Name));
    writeFileSync(l_Song, l_Org);
    run(converter, ['-q', l_Song, l_Midi]);
    // The program's report is on standard error, before the line naming what it wrote.
    const l_Run = spawnSync(converter, ['--quantize', '2', l_Midi, l_Back], { encoding: 'utf8' });
    assert.equal(l_Run.status, 0, l_Run.stderr);
    return { midi: readFileSync(l_Midi), back: readFileSync(l_Back), report: l_Run.stderr.replace(/Wrote .*\n$/, '') };
  });
  const l_Song = tw.open(l_Org);
  assert.deepEqual(l_Song.toMidi(), new Uint8Array(l_Native.midi));
  const { song: l_Back, report: l_Report } = tw.openMidi(l_Native.midi, { quantize: 2 });
  assert.deepEqual(l_Back.toBytes(), new Uint8Array(l_Native.back));
  assert.equal(l_Report.text, l_Native.report);
  assert.equal(l_Report.notes, l_Back.tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track.notes, 0));
  assert.deepEqual([l_Report.damaged, l_Report.tempoMs], [false, l_Back.tempo]);
  assert.throws(() => tw.openMidi(l_Native.midi, { quantize: 0 }), { name: 'RangeError' });
  assert.throws(() => tw.openMidi(l_Org), { message: /no Standard MIDI File/ });
  l_Back.close();
  l_Song.close();
});

test('what is not a whole song is refused with the decoder\'s message', () => {
  const l_Junk = new Uint8Array(300).map((_, p_Index) => (p_Index * 37) & 0xff);
  assert.throws(() => tw.open(l_Junk), { message: /not an Org-02 song: it does not begin with "Org-02"/ });
  assert.throws(() => tw.open(oneNoteSong(57).subarray(0, 120)), { message: /shorter than its own note counts/ });
  const l_Song = tw.open(oneNoteSong(57));
  assert.throws(() => (l_Song.interpolation = 'squiggly'), { message: /Unknown interpolation "squiggly"/ });
  assert.throws(() => (l_Song.loops = -2), { message: /outside its range/ });
  assert.throws(() => l_Song.read(10, 1000), { message: /8000 to 192000/ });
  l_Song.close();
  assert.throws(() => l_Song.read(10, 48000), { message: /closed/ });
});

test('the tracks read apart add up to the mix; mute, solo, gain, tempo and pitch act on them', () => {
  const l_Bytes = readFileSync(path.join(root, 'songs', 'greensleeves.org'));
  const l_Apart = tw.open(l_Bytes);
  const l_Mixed = tw.open(l_Bytes);
  const l_Tracks = l_Apart.readTracks(20000, 48000);  // more than one piece
  const l_Mix = l_Mixed.read(20000, 48000);
  assert.equal(l_Tracks.length, 16);
  let l_Worst = 0;
  for (let i = 0; i < l_Mix.length; ++i)
    l_Worst = Math.max(l_Worst, Math.abs(l_Tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track[i], 0) - l_Mix[i]));
  assert.ok(l_Worst <= 1e-6, `the tracks' sum is off by ${l_Worst}`);
  // Read into a caller's arrays, the same frames.
  const l_Again = tw.open(l_Bytes);
  assert.deepEqual(l_Again.readTracks(20000, 48000, l_Tracks.map(() => new Float32Array(2 * 20000 + 2))), l_Tracks);
  l_Again.close();
  // The levels of the whole read, however many pieces it took.
  const l_Loud = l_Apart.levels().reduce((p_Best, p_Level, p_Track, p_All) => (p_Level.peak > p_All[p_Best].peak ? p_Track : p_Best), 0);
  const l_Own = l_Tracks[l_Loud];
  assert.equal(l_Apart.levels()[l_Loud].peak, l_Own.reduce((p_Peak, p_Sample) => Math.max(p_Peak, Math.abs(p_Sample)), 0));
  const l_Rms = Math.sqrt(l_Own.reduce((p_Sum, p_Sample) => p_Sum + p_Sample * p_Sample, 0) / l_Own.length);
  assert.ok(Math.abs(l_Apart.levels()[l_Loud].rms - l_Rms) <= 1e-5 * l_Rms);

  const l_Desk = tw.open(l_Bytes);
  l_Desk.setMute(l_Loud, true);
  l_Desk.setSolo(l_Loud, true);  // solo wins over mute
  l_Desk.setGain(l_Loud, 0.5);
  l_Desk.levelMetering = true;
  assert.deepEqual([l_Desk.muted(l_Loud), l_Desk.soloed(l_Loud), l_Desk.gain(l_Loud), l_Desk.levelMetering], [true, true, 0.5, true]);
  assert.deepEqual(l_Desk.read(20000, 48000), l_Own.map((p_Sample) => Math.fround(p_Sample * 0.5)));
  assert.equal(l_Desk.levels()[l_Loud].peak, Math.fround(l_Apart.levels()[l_Loud].peak * 0.5));
  const l_Length = l_Desk.duration;
  l_Desk.tempoFactor = 2;
  l_Desk.pitchShift = 12;
  assert.deepEqual([l_Desk.tempoFactor, l_Desk.pitchShift, l_Desk.duration], [2, 12, l_Length / 2]);
  for (const l_Song of [l_Apart, l_Mixed, l_Desk]) l_Song.close();
});
