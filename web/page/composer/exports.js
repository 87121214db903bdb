// The page's side of the exports: each one handed to the export worker with the song's bytes, its
// progress on a bar with a Cancel, the file downloaded when it is done. One export at a time.
import { decoderModule } from '../player/audio.js';
import { EXPORT_RATE } from './render.js';

export class Exports {
  // p_Host: { message(text), status(text), download(blob, name), progress (a <progress>), panel
  // (shown while exporting), cancel (its button), options() → { loops, fade } or a sentence why not }.
  constructor(p_Host) {
    Object.assign(this, p_Host);
    this.worker = null;
    this.running = null;  // { resolve } while an export runs
    this.cancel.onclick = () => this.worker?.postMessage({ type: 'cancel' });
  }

  get busy() { return this.running !== null; }

  #start() {
    if (this.worker) return this.worker;
    this.worker = new Worker(new URL('./export-worker.js', import.meta.url), { type: 'module' });
    this.worker.onmessage = (p_Event) => this.#heard(p_Event.data);
    this.worker.onerror = (p_Event) => this.#heard({ type: 'error', message: p_Event.message || 'the export worker stopped' });
    return this.worker;
  }

  #heard(p_Data) {
    if (p_Data.type === 'progress') {
      this.progress.value = p_Data.done;
      return;
    }
    const l_Running = this.running;
    this.running = null;
    this.panel.hidden = true;
    l_Running?.resolve(p_Data);
  }

  // Renders p_Kind ('wav' or 'stems') of the song of p_Bytes, named p_Name; gives what the worker
  // said at the end ({ type: 'done' | 'cancelled' | 'error', ... }).
  async run(p_Kind, p_Bytes, p_Name) {
    if (this.busy) return this.message('An export is running: wait for it, or cancel it.');
    const l_Options = this.options();
    if (typeof l_Options === 'string') return this.message(l_Options);
    const l_Worker = this.#start();
    this.progress.value = 0;
    this.panel.hidden = false;
    const l_Done = new Promise((p_Resolve) => { this.running = { resolve: p_Resolve }; });
    l_Worker.postMessage({ type: p_Kind, module: await decoderModule, bytes: p_Bytes, rate: EXPORT_RATE, ...l_Options }, [p_Bytes.buffer]);
    const l_End = await l_Done;
    if (l_End.type === 'cancelled') this.status('The export is cancelled.');
    else if (l_End.type === 'error') this.message(l_End.refused ? l_End.message : `The song cannot be exported: ${l_End.message}`);
    else if (p_Kind === 'stems' && l_End.stems === 0) this.message('No track sounds: there are no stems to export.');
    else {
      this.download(l_End.blob, p_Kind === 'wav' ? `${p_Name}.wav` : `${p_Name}-stems.zip`);
      this.status(p_Kind === 'wav' ? 'The WAV is exported.' : `${l_End.stems} stems exported.`);
    }
    return l_End;
  }
}
