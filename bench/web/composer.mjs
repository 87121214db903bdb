// The composer page's figures, measured (no limits asserted):
//   - its size as a visitor downloads it, each file gzip-compressed, the WebAssembly module included;
//   - the time to draw a frame of the largest bundled song while scrolling it and while drawing a
//     note over it (the editor's drawing alone, and the frames as the browser paces them);
//   - from an edit to its sound: the page's edit reaching the worklet and made there (a round trip
//     through the worklet's port, while playing), against one render quantum;
//   - from a key pressed (the computer's, and a MIDI keyboard's, faked) to the quantum carrying its
//     first sound leaving the worklet: by the worklet's clock (the system's, to the millisecond), and
//     as the worklet's word of it reaching the page (so at most that);
//   - frames while recording a take and scrolling, at 1280 x 900 and at 390 x 844 (a phone's screen,
//     three device pixels to the CSS pixel, touch) with the CPU throttled 4 times: the main thread's
//     work for each frame and the vsyncs missed, and the painter worker's time making each frame's
//     pixels (which Chromium's throttling does not reach: its figure times 4 is the phone's), from
//     Chromium's trace (frames.mjs).
//   node bench/web/composer.mjs   (after scripts/test-web.sh, which builds build/web and installs the
//   tests' puppeteer-core into web/node_modules; the system's Chromium, headless, as the tests use it)
import { readFileSync, readdirSync, statSync } from 'node:fs';
import path from 'node:path';
import { gzipSync } from 'node:zlib';

import { root, servePages, webDir } from '../../web/test/kit.js';
import { stats, traceFrames, vsyncOf } from './frames.mjs';

const FRAMES = 240;
const EDITS = 200;

// The files the composer loads (its page, its scripts and what they import, the module; not the
// zip's code, fetched by Export stems alone).
const PAGE_FILES = ['composer.html', 'metal.css', 'index.js', 'tunewright.js', 'tunewright.wasm',
  'player/audio.js', 'player/worklet.js', 'player/roll.js', 'player/names.js',
  ...readdirSync(path.join(webDir, 'composer'), { recursive: true }).filter((p_Name) => /\.(js|css)$/.test(p_Name)).map((p_Name) => `composer/${p_Name}`)];
let l_Raw = 0;
let l_Packed = 0;
for (const l_File of PAGE_FILES) {
  const l_Bytes = readFileSync(path.join(webDir, l_File));
  l_Raw += l_Bytes.length;
  l_Packed += gzipSync(l_Bytes, { level: 9 }).length;
}
const l_Wasm = gzipSync(readFileSync(path.join(webDir, 'tunewright.wasm')), { level: 9 }).length;
console.log(`composer page with the module: ${(l_Packed / 1024).toFixed(1)} KB gzip-compressed (${(l_Raw / 1024).toFixed(1)} KB raw, ` +
  `${PAGE_FILES.length} files; the WebAssembly alone ${(l_Wasm / 1024).toFixed(1)} KB)`);

const songs = readdirSync(path.join(root, 'songs')).filter((p_Name) => p_Name.endsWith('.org'));
const largest = songs.map((p_Name) => path.join(root, 'songs', p_Name)).sort((p_A, p_B) => statSync(p_B).size - statSync(p_A).size)[0];


const pages = await servePages();
try {
  const l_Tab = await pages.open('composer.html', 1280, 900);
  await l_Tab.waitForFunction(() => window.composer, { timeout: 20000 });
  const l_Figures = await l_Tab.evaluate(async (p_Song, p_Frames, p_Edits) => {
    const { tw, model, editor, sound, settled, play, stop } = window.composer;
    await sound;
    model.load(tw.open(new Uint8Array(p_Song)));
    editor.home();
    const l_NextFrame = () => new Promise((p_Done) => requestAnimationFrame(p_Done));
    const l_Gaps = [];
    // Scrolling: a frame scrolls a quarter of a beat, the browser pacing the frames.
    editor.frameTimes.length = 0;
    let l_Last = await l_NextFrame();
    for (let l_Frame = 0; l_Frame < p_Frames; ++l_Frame) {
      editor.scroll(0.25, l_Frame % 60 < 30 ? 0.2 : -0.2);
      const l_Now = await l_NextFrame();
      l_Gaps.push(l_Now - l_Last);
      l_Last = l_Now;
    }
    const l_Scroll = [...editor.frameTimes];
    // Drawing: a note's length dragged out over the song, one frame per pointer move.
    editor.frameTimes.length = 0;
    editor.drag = { kind: 'draw', note: { track: editor.melody, beat: Math.floor(editor.view.beat), key: 60, length: 1, volume: 200, pan: 6 } };
    for (let l_Frame = 0; l_Frame < p_Frames; ++l_Frame) {
      editor.drag.note.length = 1 + (l_Frame % 40);
      editor.render();
      await l_NextFrame();
    }
    editor.drag = null;
    const l_Draw = [...editor.frameTimes];
    // An edit made and undone (the song's copy in the page, its notes read again).
    const l_Edits = [];
    for (let l_Edit = 0; l_Edit < p_Edits; ++l_Edit) {
      const l_Start = performance.now();
      model.edit((p_Edit) => p_Edit.note(0, 100000 + l_Edit, { key: 60, length: 4, volume: 200, pan: 6 }));
      l_Edits.push(performance.now() - l_Start);
    }
    // From an edit to the worklet having made it, while the song plays.
    await play();
    const l_Trips = [];
    for (let l_Edit = 0; l_Edit < p_Edits; ++l_Edit) {
      const l_Start = performance.now();
      model.undo();
      await settled();
      l_Trips.push(performance.now() - l_Start);
    }
    stop();
    // From a key pressed to its sound leaving the worklet: the computer's keyboard, then MIDI.
    const l_Wait = (p_Ms) => new Promise((p_Done) => setTimeout(p_Done, p_Ms));
    const { playing, setPiano } = window.composer;
    const l_Audio = window.composer.audio;
    setPiano(true);
    const l_Input = Object.assign(new EventTarget(), { name: 'bench' });
    const l_Access = Object.assign(new EventTarget(), { inputs: new Map([['a', l_Input]]), outputs: new Map() });
    navigator.requestMIDIAccess = async () => l_Access;
    await playing.midiOn(tw, 0);
    playing.report = true;
    const l_Latency = { keys: [], midi: [], keysLeft: [], midiLeft: [] };
    for (let l_Press = 0; l_Press < 2 * 100; ++l_Press) {
      const l_Midi = l_Press % 2 === 1;
      const l_Sounded = new Promise((p_Done) => { l_Audio.sounded = p_Done; });
      const l_Start = performance.now();
      const l_Wall = performance.timeOrigin + l_Start;
      if (l_Midi) l_Input.dispatchEvent(Object.assign(new Event('midimessage'), { data: new Uint8Array([0x90, 72, 100]) }));
      else document.dispatchEvent(new KeyboardEvent('keydown', { code: 'KeyZ', key: 'z', bubbles: true }));
      const { wall } = await l_Sounded;
      (l_Midi ? l_Latency.midi : l_Latency.keys).push(performance.now() - l_Start);
      (l_Midi ? l_Latency.midiLeft : l_Latency.keysLeft).push(Math.max(0, wall - l_Wall));
      await l_Wait(30);
      if (l_Midi) l_Input.dispatchEvent(Object.assign(new Event('midimessage'), { data: new Uint8Array([0x80, 72, 0]) }));
      else document.dispatchEvent(new KeyboardEvent('keyup', { code: 'KeyZ', key: 'z', bubbles: true }));
      await l_Wait(20);
    }
    playing.report = false;
    setPiano(false);
    const l_Context = new AudioContext();
    const l_Rates = { rate: l_Context.sampleRate, base: l_Context.baseLatency, output: l_Context.outputLatency };
    l_Context.close();
    return { scroll: l_Scroll, gaps: l_Gaps, draw: l_Draw, edits: l_Edits, trips: l_Trips, latency: l_Latency, audio: l_Rates, notes: model.tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track.list.length, 0) };
  }, Array.from(readFileSync(largest)), FRAMES, EDITS);
  console.log(`${path.basename(largest)} (${l_Figures.notes} notes) at 1280 x 900 in headless Chromium:`);
  console.log(`  scrolling: drawing a frame ${stats(l_Figures.scroll)}; frame to frame ${stats(l_Figures.gaps)}`);
  console.log(`  dragging a note out: drawing a frame ${stats(l_Figures.draw)}`);
  console.log(`  an edit in the page's song (notes read back, listeners told): ${stats(l_Figures.edits)}`);
  const l_Quantum = (1000 * 128) / l_Figures.audio.rate;
  console.log(`  edit to the worklet having made it, playing: ${stats(l_Figures.trips)}; heard at the next quantum ` +
    `(${l_Quantum.toFixed(2)} ms at ${l_Figures.audio.rate} Hz), the device's own latency (${(1000 * l_Figures.audio.base).toFixed(1)} ms base, ` +
    `${(1000 * l_Figures.audio.output).toFixed(1)} ms output) after that`);
  console.log(`  key to its sound leaving the worklet, by its clock: the computer's keyboard ${stats(l_Figures.latency.keysLeft)}; MIDI ${stats(l_Figures.latency.midiLeft)} ` +
    `(against one quantum + 10 ms: ${(l_Quantum + 10).toFixed(2)} ms)`);
  console.log(`  key to the worklet's word of its sound reaching the page: the computer's keyboard ${stats(l_Figures.latency.keys)}; MIDI ${stats(l_Figures.latency.midi)}`);
  await l_Tab.close();

  // Recording a take of the largest song while scrolling it: the editor's drawing, and the main
  // thread's work for each frame and the frames missed, from a trace.
  for (const [l_Width, l_Height, l_Device, l_Throttle] of [[1280, 900, {}, 1], [390, 844, { deviceScaleFactor: 3, hasTouch: true, isMobile: true }, 4]]) {
    const l_Phone = await pages.open('composer.html', l_Width, l_Height, l_Device);
    await l_Phone.waitForFunction(() => window.composer, { timeout: 20000 });
    const l_Vsync = await vsyncOf(l_Phone);
    const l_Session = await l_Phone.createCDPSession();
    await l_Session.send('Emulation.setCPUThrottlingRate', { rate: l_Throttle });
    await l_Phone.evaluate(async (p_Song) => {
      const { tw, model, editor, sound, record } = window.composer;
      await sound;
      model.load(tw.open(new Uint8Array(p_Song)));
      editor.home();
      await record();
    }, Array.from(readFileSync(largest)));
    const l_Frames = await traceFrames(l_Phone, l_Vsync, () => l_Phone.evaluate(async (p_Count) => {
      const { editor } = window.composer;
      const l_NextFrame = () => new Promise((p_Done) => requestAnimationFrame(p_Done));
      editor.frameTimes.length = 0;
      const l_Times = [await l_NextFrame()];
      for (let l_Frame = 0; l_Frame < p_Count; ++l_Frame) {
        editor.scroll(0.25, l_Frame % 60 < 30 ? 0.2 : -0.2);
        l_Times.push(await l_NextFrame());
      }
      return l_Times;
    }, FRAMES));
    const l_Draw = await l_Phone.evaluate(() => {
      window.composer.stop();
      return [...window.composer.editor.frameTimes];
    });
    const l_Over = (p_Times) => p_Times.filter((p_Ms) => p_Ms >= 16).length;
    console.log(`  recording and scrolling at ${l_Width} x ${l_Height}${l_Throttle > 1 ? `, CPU throttled ${l_Throttle}x` : ''}, ${l_Frames.frames} frames:`);
    console.log(`    the editor's drawing (script) ${stats(l_Draw)}`);
    console.log(`    main thread, making each frame (script, style, layout, paint, commit) ${stats(l_Frames.render)}; ${l_Over(l_Frames.render)} of ${l_Frames.render.length} frames 16 ms or more`);
    console.log(`    main thread, every task of each frame ${stats(l_Frames.busy)}; ${l_Over(l_Frames.busy)} frames 16 ms or more`);
    if (l_Frames.workers.length) {
      const l_Scaled = l_Frames.workers.map((p_Ms) => p_Ms * l_Throttle);
      console.log(`    the painter worker, making each of ${l_Frames.workers.length} frames' pixels (its thread's time, not throttled) ${stats(l_Frames.workers)}` +
        (l_Throttle > 1 ? `; ${l_Throttle}x that, as a phone's processor would take it, ${stats(l_Scaled)}; ${l_Over(l_Scaled)} frames 16 ms or more` : ''));
    }
    console.log(`    vsyncs missed ${(100 * l_Frames.dropped).toFixed(1)} % (vsync ${l_Vsync.toFixed(1)} ms)`);
    await l_Session.send('Emulation.setCPUThrottlingRate', { rate: 1 });
    await l_Phone.close();
  }
} finally {
  await pages.close();
}
