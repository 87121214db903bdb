// The JavaScript interface's own guards: reads of any length within bounded memory, and every
// argument checked before the module sees it (which would convert it on the way).
import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';

import { oneNoteSong, webDir } from './kit.js';

const { createTunewright } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();
const bytes = oneNoteSong(57);  // 2 s: 20 beats of 100 ms

// p_Song read to its end in blocks of p_Block frames at 8000 Hz, as one array.
function readAll(p_Song, p_Block) {
  const l_Blocks = [];
  for (let l_Block; (l_Block = p_Song.read(p_Block, 8000)).length > 0; ) l_Blocks.push(l_Block);
  return Float32Array.from(l_Blocks.flatMap((p_Samples) => Array.from(p_Samples)));
}

test('a read beyond what a size counts is refused; one of any length below mixes in the same memory', () => {
  const l_Blocks = tw.open(bytes);
  const l_Expected = readAll(l_Blocks, 128);
  l_Blocks.close();
  assert.ok(l_Expected.length >= 2 * 16000);
  const l_Heap = tw.m.HEAPU8.length;
  const l_Song = tw.open(bytes);
  // Sizes whose bytes wrap a 32-bit count (to 0, or to a 505 MB buffer).
  for (const l_Frames of [2 ** 29, 2 ** 30, 600000000])
    assert.throws(() => l_Song.read(l_Frames, 8000), { name: 'RangeError', message: /frames is \d+, outside its range/ });
  // The module goes on: the most frames a read takes, of a song far shorter; then into a buffer
  // longer than the song.
  assert.deepEqual(l_Song.read(536870911, 8000), l_Expected);
  l_Song.close();
  const l_Into = new Float32Array(l_Expected.length + 1000);
  const l_Buffered = tw.open(bytes);
  assert.deepEqual(l_Buffered.read(l_Into.length / 2, 8000, l_Into), l_Expected);
  l_Buffered.close();
  assert.equal(tw.m.HEAPU8.length, l_Heap);
});

test('every argument is checked: a TypeError for the wrong type, a RangeError out of range, nothing changed', async () => {
  const l_Song = tw.open(bytes);
  l_Song.loops = 1;
  l_Song.volume = 0.3;
  l_Song.interpolation = 2;
  const l_Before = { bytes: l_Song.toBytes(), duration: l_Song.duration };
  const l_Midi = l_Song.toMidi();
  // [error, the argument its message names, the call]
  const l_Refused = [
    [RangeError, 'track', () => l_Song.events(NaN)],
    [TypeError, 'track', () => l_Song.events(null)],
    [TypeError, 'track', () => l_Song.events({})],
    [RangeError, 'track', () => l_Song.events(2 ** 32)],
    [TypeError, 'track', () => l_Song.events('1')],
    [RangeError, 'track', () => l_Song.notes(16)],
    [RangeError, 'loops', () => (l_Song.loops = 2 ** 32 - 1)],
    [TypeError, 'loops', () => (l_Song.loops = '2')],
    [TypeError, 'volume', () => (l_Song.volume = null)],
    [TypeError, 'volume', () => (l_Song.volume = '0.2')],
    [RangeError, 'volume', () => (l_Song.volume = 1e39)],
    [RangeError, 'interpolation', () => (l_Song.interpolation = 2.5)],
    [TypeError, 'interpolation', () => (l_Song.interpolation = null)],
    [RangeError, 'interpolation', () => (l_Song.interpolation = 'squiggly')],
    [TypeError, 'tempo', () => (l_Song.tempo = '90')],
    [TypeError, 'seconds', () => l_Song.seek('1')],
    [RangeError, 'seconds', () => l_Song.seek(-1)],
    [TypeError, 'seconds', () => l_Song.beatAt(null)],
    [RangeError, 'seconds', () => l_Song.beatAt(NaN)],
    [TypeError, 'perBeat', () => l_Song.setBarLayout(4, '4')],
    [TypeError, 'end', () => l_Song.setLoop(0, '8')],
    [TypeError, 'track', () => l_Song.setInstrument('1', 3)],
    [TypeError, 'fineTune', () => l_Song.setFineTune(0, null)],
    [TypeError, 'noLoop', () => l_Song.setNoLoop(0, 'no')],
    [TypeError, 'note', () => l_Song.addNote(0, null)],
    [TypeError, 'key', () => l_Song.addNote(0, { beat: 1, key: '5', length: 1 })],
    [TypeError, 'volume', () => l_Song.addNote(0, { beat: 1, key: 5, length: 1, volume: null })],
    [TypeError, 'beat', () => l_Song.removeNote(0, '0')],
    [TypeError, 'frames', () => l_Song.read('10', 8000)],
    [RangeError, 'sampleRate', () => l_Song.read(10, 8000.5)],
    [TypeError, 'into', () => l_Song.read(10, 8000, [])],
    [RangeError, 'into', () => l_Song.read(10, 8000, new Float32Array(19))],
    [TypeError, 'bytes', () => tw.open('Org-02')],
    [TypeError, 'options', () => tw.openMidi(l_Midi, null)],
    [TypeError, 'quantize', () => tw.openMidi(l_Midi, { quantize: '4' })],
    [TypeError, 'drums', () => tw.instrumentCount('drums')],
    [RangeError, 'track', () => l_Song.setMute(16, true)],
    [TypeError, 'mute', () => l_Song.setMute(0, 1)],
    [TypeError, 'solo', () => l_Song.setSolo(0, 'yes')],
    [RangeError, 'track', () => l_Song.soloed(-1)],
    [RangeError, 'gain', () => l_Song.setGain(0, 1.5)],
    [TypeError, 'gain', () => l_Song.setGain(0, '0.5')],
    [RangeError, 'tempoFactor', () => (l_Song.tempoFactor = 0.2)],
    [TypeError, 'tempoFactor', () => (l_Song.tempoFactor = null)],
    [RangeError, 'pitchShift', () => (l_Song.pitchShift = NaN)],
    [TypeError, 'levelMetering', () => (l_Song.levelMetering = 1)],
    [RangeError, 'frames', () => l_Song.readTracks(-1, 8000)],
    [TypeError, 'into', () => l_Song.readTracks(10, 8000, [new Float32Array(20)])],
    [RangeError, 'into', () => l_Song.readTracks(10, 8000, Array.from({ length: 16 }, () => new Float32Array(19)))],
    [RangeError, 'drum', () => tw.prepareInstruments(12)],
  ];
  for (const [l_Error, l_Name, l_Call] of l_Refused)
    assert.throws(l_Call, (p_Error) => p_Error.constructor === l_Error && p_Error.message.includes(l_Name), String(l_Call));
  await assert.rejects(createTunewright({ log: 'console' }), { name: 'TypeError', message: /options\.log/ });
  await assert.rejects(createTunewright({ module: new Uint8Array(8) }), { name: 'TypeError', message: /options\.module/ });
  // The getters give what the song holds, and the song plays as one given only the values it took.
  assert.deepEqual([l_Song.loops, l_Song.volume, l_Song.interpolation], [1, Math.fround(0.3), 'cubic']);
  assert.deepEqual({ bytes: l_Song.toBytes(), duration: l_Song.duration }, l_Before);
  assert.equal(l_Song.position, 0);
  const l_Same = tw.open(bytes);
  Object.assign(l_Same, { loops: 1, volume: 0.3, interpolation: 'cubic' });
  assert.deepEqual(l_Song.read(8000, 8000), l_Same.read(8000, 8000));
  l_Same.close();
  l_Song.close();
});
