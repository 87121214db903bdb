// The composer's Export WAV of the largest bundled song (2 loops, a fade of 1 s), rendered in its
// worker: the export's time from the click to the file, and the page's frames meanwhile (the gaps
// between animation frames, as the page's clock gives them: worst and 95th percentile), with the
// long tasks (50 ms or more) it left on the page; the same gaps of the page idle just before. No
// limits asserted.
//   node bench/web/export.mjs   (after scripts/test-web.sh, which builds build/web)
import { readFileSync, readdirSync, statSync } from 'node:fs';
import path from 'node:path';

import { root, servePages } from '../../web/test/kit.js';

const ROUNDS = 3;
const songs = readdirSync(path.join(root, 'songs')).filter((p_Name) => p_Name.endsWith('.org')).map((p_Name) => path.join(root, 'songs', p_Name));
const largest = songs.sort((p_A, p_B) => statSync(p_B).size - statSync(p_A).size)[0];

const pages = await servePages();
try {
  const l_Tab = await pages.open('composer.html', 1280, 900);
  await l_Tab.waitForFunction(() => window.composer?.model.song, { timeout: 20000 });
  for (let l_Round = 0; l_Round < ROUNDS; ++l_Round) {
    const l_Figures = await l_Tab.evaluate(async (p_Song) => {
      const { tw, model, exports } = window.composer;
      model.load(tw.open(new Uint8Array(p_Song)));
      document.getElementById('export-loops').value = '2';
      document.getElementById('export-fade').value = '1';
      await new Promise((p_Done) => setTimeout(p_Done, 300));
      const l_Gaps = [];
      const l_Long = [];
      const l_Observer = new PerformanceObserver((p_List) => p_List.getEntries().forEach((p_Task) => l_Long.push(p_Task.duration)));
      l_Observer.observe({ type: 'longtask' });
      let l_Running = true;
      let l_Last = performance.now();
      const l_Frame = (p_Now) => {
        l_Gaps.push(p_Now - l_Last);
        l_Last = p_Now;
        if (l_Running) requestAnimationFrame(l_Frame);
      };
      requestAnimationFrame(l_Frame);
      // The same page idle first, for what its frames are without an export.
      await new Promise((p_Done) => setTimeout(p_Done, 400));
      const l_Idle = l_Gaps.splice(0).sort((p_A, p_B) => p_A - p_B);
      const l_Start = performance.now();
      const l_End = await exports.run('wav', model.song.toBytes(), 'bench');
      const l_Ms = performance.now() - l_Start;
      l_Running = false;
      l_Observer.disconnect();
      l_Gaps.sort((p_A, p_B) => p_A - p_B);
      return { ms: l_Ms, bytes: l_End.blob.size, seconds: (l_End.blob.size - 44) / 4 / 44100, frames: l_Gaps.length,
        worst: l_Gaps.at(-1), p95: l_Gaps[Math.floor(0.95 * (l_Gaps.length - 1))], long: l_Long,
        idle: [l_Idle.at(-1), l_Idle[Math.floor(0.95 * (l_Idle.length - 1))]] };
    }, Array.from(readFileSync(largest)));
    console.log(`${path.basename(largest)}, ${l_Figures.seconds.toFixed(1)} s of WAV: exported in ${l_Figures.ms.toFixed(0)} ms; ` +
      `${l_Figures.frames} frames meanwhile, worst gap ${l_Figures.worst.toFixed(1)} ms, 95% ${l_Figures.p95.toFixed(1)} ms ` +
      `(idle: ${l_Figures.idle[0].toFixed(1)}, ${l_Figures.idle[1].toFixed(1)} ms); ` +
      `${l_Figures.long.length ? `long tasks of ${l_Figures.long.map((p_Ms) => p_Ms.toFixed(0)).join(', ')} ms` : 'no long task'}`);
  }
  await l_Tab.close();
} finally {
  await pages.close();
}
