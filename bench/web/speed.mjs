// The WebAssembly decoder's render speed beside the native renderer's, on the same 16-voice song in
// the same run: each renders SECONDS of it (linear, 48 kHz) a few times, the fastest pass counts.
//   node bench/web/speed.mjs [SECONDS]   (after scripts/build-web.sh and the plain build)
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import path from 'node:path';

import { dataDir, orgSong, renderer, webDir, withTempDir } from '../../web/test/kit.js';

const SECONDS = Number(process.argv[2] ?? 60);
const RATE = 48000;
const PASSES = 3;
const BLOCK = 1024;

// Every track sounds all the time: held notes on the melody tracks, a long drum (the crash cymbal)
// struck on every beat of the drum tracks, over one short loop.
function sixteenVoiceSong() {
  const l_Beats = 64;
  return orgSong(
    Array.from({ length: 16 }, (_, p_Track) => ({
      instrument: p_Track < 8 ? 10 * p_Track : 7,
      events: Array.from({ length: p_Track < 8 ? 1 : l_Beats }, (__, p_Beat) => ({
        beat: p_Beat, note: 30 + 5 * p_Track, length: p_Track < 8 ? 200 : 1, volume: 100, pan: p_Track % 13,
      })),
    })),
    l_Beats,
  );
}

function fastest(p_Pass) {
  let l_Best = Infinity;
  for (let l_Pass = 0; l_Pass < PASSES; ++l_Pass) {
    const l_Start = process.hrtime.bigint();
    p_Pass();
    l_Best = Math.min(l_Best, Number(process.hrtime.bigint() - l_Start) / 1e9);
  }
  return l_Best;
}

const { createTunewright } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();
const song = sixteenVoiceSong();
withTempDir((p_Dir) => {
  const l_Song = path.join(p_Dir, 'sixteen.org');
  writeFileSync(l_Song, song);
  const l_Native = fastest(() =>
    execFileSync(renderer, ['-q', '-d', dataDir, '-s', String(SECONDS), '--fade', '0', '-r', String(RATE), '-o',
      path.join(p_Dir, 'out.wav'), l_Song]));
  const l_Block = new Float32Array(2 * BLOCK);
  const l_Wasm = fastest(() => {
    const l_Open = tw.open(song);
    l_Open.loops = -1;
    for (let l_Frames = 0; l_Frames < SECONDS * RATE; l_Frames += BLOCK) l_Open.read(BLOCK, RATE, l_Block);
    l_Open.close();
  });
  console.log(`${SECONDS} s of 16 voices at ${RATE} Hz: native renderer ${l_Native.toFixed(3)} s ` +
    `(process, WAV writing included), WebAssembly ${l_Wasm.toFixed(3)} s; WebAssembly runs at ` +
    `${(l_Native / l_Wasm).toFixed(2)} of native speed (${(SECONDS / l_Wasm).toFixed(0)}x real time)`);
});
