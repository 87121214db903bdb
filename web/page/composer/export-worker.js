// Exports rendered away from the page: the WAV of the mix or the zip of stems (render.js), with the
// progress posted after each slice and a Cancel heard between slices. The page hands over the
// compiled decoder, so nothing is fetched again.
import { createTunewright } from '../index.js';
import { ExportError, nextTask, renderStems, renderWav } from './render.js';

let g_Tw = null;
let g_Cancelled = false;

class Cancelled extends Error {}

const PROGRESS_MS = 50;  // between the progress messages, so that the page has little to do
let g_Told = 0;

const progress = async (p_Done) => {
  if (performance.now() - g_Told >= PROGRESS_MS || p_Done === 1) {
    g_Told = performance.now();
    postMessage({ type: 'progress', done: p_Done });
  }
  // A message to this worker (a Cancel) is heard before the next slice.
  await nextTask();
  if (g_Cancelled) throw new Cancelled();
};

onmessage = async (p_Event) => {
  const l_Data = p_Event.data;
  if (l_Data.type === 'cancel') {
    g_Cancelled = true;
    return;
  }
  g_Cancelled = false;
  try {
    g_Tw ??= await createTunewright({ module: l_Data.module });
    const l_Options = { rate: l_Data.rate, loops: l_Data.loops, fade: l_Data.fade };
    if (l_Data.type === 'wav') postMessage({ type: 'done', blob: await renderWav(g_Tw, l_Data.bytes, l_Options, progress) });
    else {
      const { zip, stems } = await renderStems(g_Tw, l_Data.bytes, l_Data.rate, progress, l_Options);
      postMessage({ type: 'done', blob: zip, stems });
    }
  } catch (p_Error) {
    if (p_Error instanceof Cancelled) postMessage({ type: 'cancelled' });
    else postMessage({ type: 'error', message: p_Error.message, refused: p_Error instanceof ExportError });
  }
};
