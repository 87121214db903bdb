// The composer's canvas drawn off the page's thread: handed the canvas once (its control
// transferred), then a frame at a time, { width, height, ops } (a Recording's list at that bitmap
// size), it makes the frame's pixels and answers { width, height } (the bitmap's size) when done,
// so that the page sends the next frame only then.
import { replay } from './layers/recording.js';

let l_Canvas = null;
let l_C = null;
self.onmessage = ({ data: p_Message }) => {
  if (p_Message.canvas) {
    l_Canvas = p_Message.canvas;
    // Opaque: the compositor blends nothing under it.
    l_C = l_Canvas.getContext('2d', { alpha: false });
    return;
  }
  // A size set anew clears the bitmap and the context's state, even when it is the same.
  if (l_Canvas.width !== p_Message.width) l_Canvas.width = p_Message.width;
  if (l_Canvas.height !== p_Message.height) l_Canvas.height = p_Message.height;
  replay(l_C, p_Message.ops);
  self.postMessage({ width: l_Canvas.width, height: l_Canvas.height });
};
// Loaded: the page may hand the canvas over.
self.postMessage({ started: true });
