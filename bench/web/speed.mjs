// The WebAssembly decoder's render speed beside the native one's, on the same 16-voice song in the
// same run: SECONDS of it (linear, 48 kHz) through the C interface of libtunewright.so (timed inside
// a Python process, ctypes), through the renderer program (its whole process), and through the
// WebAssembly module in this Node process; each a few times, the fastest pass counts. The passes take
// turns, so that a change in the machine's load weighs on every contender alike.
//   node bench/web/speed.mjs [SECONDS] [OTHER_WEB_BUILD...]   (after scripts/build-web.sh and the
//   plain build; another build folder, e.g. one made with TUNEWRIGHT_WEB_SIMD=0, is measured beside)
import { execFileSync } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import path from 'node:path';

import { dataDir, nativeBuild, orgSong, renderer, webDir, withTempDir } from '../../web/test/kit.js';

const SECONDS = Number(process.argv[2] ?? 60);
const RATE = 48000;
const PASSES = 5;
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

// One pass of the native decoder over p_Song, in seconds, read in BLOCK-frame reads.
function nativeDecoder(p_Song) {
  const l_Script = `
import ctypes, sys, time
lib = ctypes.CDLL(sys.argv[1])
lib.tw_song_open_file.restype = ctypes.c_void_p
lib.tw_song_open_file.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
lib.tw_song_set_loops.argtypes = [ctypes.c_void_p, ctypes.c_int]
lib.tw_song_read_float.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_size_t, ctypes.c_void_p]
lib.tw_song_close.argtypes = [ctypes.c_void_p]
seconds, rate, block = int(sys.argv[3]), ${RATE}, ${BLOCK}
buf = (ctypes.c_float * (2 * block))()
song = lib.tw_song_open_file(sys.argv[2].encode(), None)
lib.tw_song_set_loops(song, -1)
start = time.perf_counter()
for _ in range(0, seconds * rate, block):
    lib.tw_song_read_float(song, rate, block, buf)
print(time.perf_counter() - start)
lib.tw_song_close(song)`;
  const l_Library = path.join(nativeBuild, 'source/org/libtunewright.so.0');
  return Number(execFileSync('python3', ['-c', l_Script, l_Library, p_Song, String(SECONDS)], { stdio: ['ignore', 'pipe', 'ignore'] }));
}

function timed(p_Pass) {
  const l_Start = process.hrtime.bigint();
  p_Pass();
  return Number(process.hrtime.bigint() - l_Start) / 1e9;
}

const builds = [webDir, ...process.argv.slice(3).map((p_Dir) => path.resolve(p_Dir))];
const decoders = await Promise.all(
  builds.map(async (p_Dir) => (await import(path.join(p_Dir, 'index.js'))).createTunewright()));
const song = sixteenVoiceSong();
withTempDir((p_Dir) => {
  const l_Song = path.join(p_Dir, 'sixteen.org');
  writeFileSync(l_Song, song);
  const l_Block = new Float32Array(2 * BLOCK);
  let l_Native = Infinity;
  let l_Decoder = Infinity;
  const l_Wasm = decoders.map(() => Infinity);
  for (let l_Pass = 0; l_Pass < PASSES; ++l_Pass) {
    l_Native = Math.min(l_Native, timed(() =>
      execFileSync(renderer, ['-q', '--force', '-d', dataDir, '-s', String(SECONDS), '--fade', '0', '-r', String(RATE),
        '-o', path.join(p_Dir, 'out.wav'), l_Song], { stdio: 'ignore' })));
    l_Decoder = Math.min(l_Decoder, nativeDecoder(l_Song));
    // Like the native pass, only the reads are timed.
    decoders.forEach((p_Tw, p_Index) => {
      const l_Open = p_Tw.open(song);
      l_Open.loops = -1;
      l_Wasm[p_Index] = Math.min(l_Wasm[p_Index], timed(() => {
        for (let l_Frames = 0; l_Frames < SECONDS * RATE; l_Frames += BLOCK) l_Open.read(BLOCK, RATE, l_Block);
      }));
      l_Open.close();
    });
  }
  console.log(`${SECONDS} s of 16 voices at ${RATE} Hz: native decoder ${l_Decoder.toFixed(3)} s, native renderer ` +
    `${l_Native.toFixed(3)} s (process, WAV writing included)`);
  l_Wasm.forEach((p_Seconds, p_Index) =>
    console.log(`  WebAssembly (${path.relative(process.cwd(), builds[p_Index]) || '.'}) ${p_Seconds.toFixed(3)} s, ` +
      `${(SECONDS / p_Seconds).toFixed(0)}x real time: ${(l_Decoder / p_Seconds).toFixed(2)} of the native ` +
      `decoder's speed, ${(l_Native / p_Seconds).toFixed(2)} of the renderer's`));
});
