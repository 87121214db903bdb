// The tracks' figures, measured (no limits asserted):
//   - the worklet's reading: a quantum of 128 frames of the largest bundled song mixed by read(), and
//     read apart by readTracks() into the worklet's arrays and summed there, as the pages meter it (in Node);
//   - the player's sixteen scopes and levels: the script time of drawing a frame while that song
//     plays, at 1280 x 900 and on a phone's screen (390 x 844, three device pixels to the CSS pixel)
//     with the CPU throttled 4 times;
//   - the composer's Export stems of that song: its time, the longest task it left the page
//     (the browser's long tasks, 50 ms or more) and the zip's size against the WAVs'.
//   node bench/web/tracks.mjs   (after scripts/test-web.sh, as bench/web/composer.mjs)
import { readFileSync, readdirSync, statSync } from 'node:fs';
import path from 'node:path';

import { root, servePages, webDir } from '../../web/test/kit.js';

const QUANTA = 20000;
const SECONDS = 5;
const songs = readdirSync(path.join(root, 'songs')).filter((p_Name) => p_Name.endsWith('.org'));
const largest = songs.map((p_Name) => path.join(root, 'songs', p_Name)).sort((p_A, p_B) => statSync(p_B).size - statSync(p_A).size)[0];
const bytes = readFileSync(largest);
const stats = (p_Times) => {
  const l_Sorted = [...p_Times].sort((p_A, p_B) => p_A - p_B);
  const l_At = (p_Share) => l_Sorted[Math.min(l_Sorted.length - 1, Math.floor(p_Share * l_Sorted.length))].toFixed(3);
  return `median ${l_At(0.5)} ms, 95% ${l_At(0.95)} ms, worst ${l_Sorted[l_Sorted.length - 1].toFixed(3)} ms`;
};

const { createTunewright } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();
tw.prepareInstruments();
const l_Costs = {};
for (const l_Way of ['mixed', 'apart', 'mixed', 'apart']) {
  const l_Song = tw.open(bytes);
  l_Song.loops = -1;
  const l_Block = new Float32Array(256);
  const l_Into = l_Song.tracks.map(() => new Float32Array(256));
  const l_Start = performance.now();
  for (let l_Quantum = 0; l_Quantum < QUANTA; ++l_Quantum) {
    if (l_Way === 'mixed') l_Song.read(128, 48000, l_Block);
    else {
      const l_Tracks = l_Song.readTracks(128, 48000, l_Into);
      for (let l_At = 0; l_At < 256; ++l_At) l_Block[l_At] = l_Tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track[l_At], 0);
      l_Song.levels();
    }
  }
  l_Costs[l_Way] = Math.min(l_Costs[l_Way] ?? Infinity, ((performance.now() - l_Start) * 1000) / QUANTA);
  l_Song.close();
}
console.log(`${path.basename(largest)}, a quantum of 128 frames at 48000 Hz (${((128 / 48000) * 1e6).toFixed(0)} µs of sound), best of two runs of ${QUANTA}:`);
console.log(`  mixed by read(): ${l_Costs.mixed.toFixed(1)} µs; read apart, summed and metered: ${l_Costs.apart.toFixed(1)} µs`);

const pages = await servePages();
try {
  for (const [l_Width, l_Height, l_Device, l_Throttle] of [[1280, 900, {}, 1], [390, 844, { deviceScaleFactor: 3, hasTouch: true, isMobile: true }, 4]]) {
    const l_Tab = await pages.open('', l_Width, l_Height, l_Device);
    const l_Session = await l_Tab.createCDPSession();
    await l_Session.send('Emulation.setCPUThrottlingRate', { rate: l_Throttle });
    await l_Tab.evaluate((p_Song) => {
      const l_Transfer = new DataTransfer();
      l_Transfer.items.add(new File([new Uint8Array(p_Song)], 'largest.org'));
      document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: l_Transfer, bubbles: true, cancelable: true }));
    }, Array.from(bytes));
    await l_Tab.waitForFunction(() => !document.getElementById('play').disabled);
    await l_Tab.click('#play');
    await l_Tab.waitForFunction(() => window.player.tracks.levels.length > 0, { timeout: 20000 });
    await l_Tab.evaluate(() => { window.player.tracks.frameTimes.length = 0; });
    await new Promise((p_Done) => setTimeout(p_Done, SECONDS * 1000));
    const l_Times = await l_Tab.evaluate(() => [...window.player.tracks.frameTimes]);
    console.log(`  the player's 16 scopes at ${l_Width} x ${l_Height}${l_Throttle > 1 ? `, CPU throttled ${l_Throttle}x` : ''}: ` +
      `script time of a frame's drawing over ${l_Times.length} frames ${stats(l_Times)}`);
    await l_Session.send('Emulation.setCPUThrottlingRate', { rate: 1 });
    await l_Tab.close();
  }

  const l_Tab = await pages.open('composer.html', 1280, 900);
  await l_Tab.waitForFunction(() => window.composer, { timeout: 20000 });
  const l_Export = await l_Tab.evaluate(async (p_Song) => {
    const { tw: l_Tw, model } = window.composer;
    model.load(l_Tw.open(new Uint8Array(p_Song)));
    await new Promise((p_Done) => setTimeout(p_Done, 500));
    const { EXPORT_RATE } = await import('./composer/render.js');
    // Once through, without a fade, in the export worker.
    document.getElementById('export-loops').value = '0';
    document.getElementById('export-fade').value = '0';
    const l_Long = [];
    const l_Observer = new PerformanceObserver((p_List) => p_List.getEntries().forEach((p_Task) => l_Long.push(p_Task.duration)));
    l_Observer.observe({ type: 'longtask' });
    const l_Start = performance.now();
    const { blob: zip, stems } = await window.composer.exports.run('stems', model.song.toBytes(), 'bench');
    const l_Ms = performance.now() - l_Start;
    await new Promise((p_Done) => setTimeout(p_Done, 100));
    l_Observer.disconnect();
    return { ms: l_Ms, long: l_Long, zip: zip.size, stems, wavs: stems * (44 + 4 * Math.ceil(model.song.duration * EXPORT_RATE)), seconds: model.song.duration };
  }, Array.from(bytes));
  console.log(`  Export stems of its ${l_Export.seconds.toFixed(1)} s: ${l_Export.stems} stems in ${(l_Export.ms / 1000).toFixed(2)} s, ` +
    `${l_Export.long.length ? `long tasks of ${l_Export.long.map((p_Ms) => p_Ms.toFixed(0)).join(', ')} ms` : 'no task of 50 ms or more'}; ` +
    `zip ${(l_Export.zip / 2 ** 20).toFixed(1)} MB for ${(l_Export.wavs / 2 ** 20).toFixed(1)} MB of WAVs`);
  await l_Tab.close();
} finally {
  await pages.close();
}
