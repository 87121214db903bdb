// What both pages share to sound a song: the decoder compiled once on the page, and an AudioWorklet
// node with the decoder in it (worklet.js), which the page feeds with commands.
import { compileDecoder } from '../index.js';

export const decoderModule = compileDecoder();

// A worklet node with the decoder in it, on p_Context, connected to its output once ready.
export async function makeNode(p_Context) {
  await p_Context.audioWorklet.addModule(new URL('./worklet.js', import.meta.url));
  const l_Node = new AudioWorkletNode(p_Context, 'tunewright', {
    numberOfInputs: 0,
    outputChannelCount: [2],
    processorOptions: { module: await decoderModule },
  });
  await new Promise((p_Ready, p_Fail) => {
    l_Node.port.onmessage = (p_Event) =>
      p_Event.data.type === 'ready' ? p_Ready() : p_Fail(new Error(p_Event.data.message));
  });
  l_Node.connect(p_Context.destination);
  return l_Node;
}
