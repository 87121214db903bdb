// The decoder on the audio thread: each render quantum is read from the song straight into the
// output, so the page's own work never starves the sound. The page sends the compiled decoder
// (a worklet cannot fetch) and then commands; the processor reports where it is. An editor keeps the
// song here in step with its own by edits, heard from the next quantum on, without reopening.
import { createTunewright } from '../index.js';

const REPORT_EVERY = 2048;  // frames between position reports (about 20 per second)

class TunewrightProcessor extends AudioWorkletProcessor {
  constructor(p_Options) {
    super();
    this.song = null;
    this.playing = false;
    this.sinceReport = 0;
    this.block = new Float32Array(2 * 128);
    this.port.onmessage = (p_Event) => this.command(p_Event.data);
    createTunewright({ module: p_Options.processorOptions.module }).then((p_Tw) => {
      this.tw = p_Tw;
      // Before any song plays, so that the first play is not held up making them.
      p_Tw.prepareInstruments();
      this.port.postMessage({ type: 'ready' });
    }, (p_Error) => this.port.postMessage({ type: 'error', message: String(p_Error) }));
  }

  command(p_Command) {
    try {
      switch (p_Command.type) {
        case 'open': {
          // keepPosition: the new song goes on from where the last one was (another version of it).
          const l_At = p_Command.keepPosition ? this.song?.position : undefined;
          this.song?.close();
          this.song = null;
          this.song = this.tw.open(p_Command.bytes);
          this.song.loops = p_Command.loops;
          this.song.volume = p_Command.volume;
          if (l_At > 0) this.song.seek(l_At);
          this.playing = Boolean(p_Command.play);
          this.port.postMessage({ type: 'opened', duration: this.song.duration, tempo: this.song.tempo });
          break;
        }
        case 'play':
          this.playing = true;
          break;
        case 'pause':
          this.playing = false;
          break;
        case 'seek':
          this.song?.seek(p_Command.seconds);
          this.report();
          break;
        case 'volume':
          if (this.song) this.song.volume = p_Command.volume;
          break;
        case 'loops':
          if (this.song) this.song.loops = p_Command.loops;
          this.report();
          break;
        case 'edit':
          // Each call [name, ...arguments] goes to the song: a method, or a property set when the
          // name ends in '='. Answered once all are made, so that a sender can tell when.
          for (const [l_Name, ...l_Arguments] of p_Command.calls) {
            if (l_Name.endsWith('=')) this.song[l_Name.slice(0, -1)] = l_Arguments[0];
            else this.song[l_Name](...l_Arguments);
          }
          this.port.postMessage({ type: 'edited', id: p_Command.id });
          break;
      }
    } catch (p_Error) {
      this.port.postMessage({ type: 'error', message: p_Error.message });
    }
  }

  report() {
    if (this.song)
      this.port.postMessage({ type: 'position', position: this.song.position, duration: this.song.duration });
  }

  process(p_Inputs, p_Outputs) {
    const [l_Left, l_Right] = p_Outputs[0];
    if (!this.playing || !this.song) return true;
    const l_Frames = l_Left.length;
    if (this.block.length < 2 * l_Frames) this.block = new Float32Array(2 * l_Frames);
    const l_Mixed = this.song.read(l_Frames, sampleRate, this.block);
    const l_Got = l_Mixed.length / 2;
    for (let l_Frame = 0; l_Frame < l_Got; ++l_Frame) {
      l_Left[l_Frame] = l_Mixed[2 * l_Frame];
      (l_Right ?? l_Left)[l_Frame] = l_Mixed[2 * l_Frame + 1];
    }
    this.sinceReport += l_Frames;
    if (this.sinceReport >= REPORT_EVERY || l_Got < l_Frames) {
      this.sinceReport = 0;
      this.report();
    }
    if (l_Got < l_Frames) {
      this.playing = false;
      this.port.postMessage({ type: 'ended' });
    }
    return true;
  }
}

registerProcessor('tunewright', TunewrightProcessor);
