// Where the editor's frames are made into pixels. Where the browser can hand a canvas to a worker,
// painter-worker.js makes them: the layers record a frame on the page's thread (a Recording) and
// the worker plays it onto the canvas, so that the pixels of a frame, most of its cost on a phone,
// take no time from the page's touches and sound. One frame is with the worker at a time; a frame
// asked for meanwhile is drawn when it is done, with what is then to be shown. Until the worker has
// started, frames wait; where it cannot start, the page draws on the canvas itself.
import { Recording } from './layers/recording.js';

export class Painter {
  constructor(p_Canvas, p_Free) {
    this.canvas = p_Canvas;
    this.free = p_Free;         // called when a frame asked for may be drawn again
    this.size = [p_Canvas.width, p_Canvas.height];
    this.bitmap = [p_Canvas.width, p_Canvas.height];  // the size of the last frame made
    this.context = null;        // the canvas's own, drawn on by the page
    this.worker = null;
    this.recording = null;      // the frame being drawn for the worker
    this.waiting = true;        // the worker is starting, or painting a frame
    this.asked = false;         // a frame was asked for while waiting
    if (typeof p_Canvas.transferControlToOffscreen !== 'function' || typeof Worker !== 'function') {
      this.#drawHere();
      return;
    }
    const l_Worker = new Worker(new URL('./painter-worker.js', import.meta.url), { type: 'module' });
    l_Worker.onerror = (p_Event) => {
      p_Event.preventDefault();
      if (this.worker) {
        // A frame that failed leaves the next ones to be tried.
        console.error(`the composer's painter failed a frame: ${p_Event.message}`);
        return this.#done();
      }
      l_Worker.terminate();
      this.#drawHere();
      this.#done();
    };
    l_Worker.onmessage = ({ data: p_Message }) => {
      if (p_Message.started) return this.#start(l_Worker);
      this.bitmap = [p_Message.width, p_Message.height];
      this.#done();
    };
  }

  #drawHere() {
    this.context = this.canvas.getContext('2d', { alpha: false });
    this.waiting = false;
  }

  #start(p_Worker) {
    const l_Offscreen = this.canvas.transferControlToOffscreen();
    this.worker = p_Worker;
    p_Worker.postMessage({ canvas: l_Offscreen }, [l_Offscreen]);
    this.#done();
  }

  #done() {
    this.waiting = false;
    if (!this.asked) return;
    this.asked = false;
    this.free();
  }

  // The bitmap's size for the frames from now on.
  resize(p_Width, p_Height) {
    this.size = [p_Width, p_Height];
    if (this.context) [this.canvas.width, this.canvas.height] = this.bitmap = this.size;
  }

  // A context to draw a frame on, or null while the last one is still being made.
  begin() {
    if (this.waiting) {
      this.asked = true;
      return null;
    }
    return this.context ?? (this.recording = new Recording());
  }

  // The frame drawn since begin() made into pixels.
  end() {
    if (this.context) return;
    this.waiting = true;
    this.worker.postMessage({ width: this.size[0], height: this.size[1], ops: this.recording.ops });
    this.recording = null;
  }
}
