// The decoder on the audio thread: each render quantum is read from the song straight into the
// output, so the page's own work never starves the sound. The page sends the compiled decoder
// (a worklet cannot fetch) and then commands; the processor reports where it is. An editor keeps the
// song here in step with its own by edits, heard from the next quantum on, without reopening.
// Muting and soloing go to the song's own mixing desk. While metered, the song is read track by
// track and summed here, so that each track's level (the library's) and a short window of its sound
// (for a scope) go to the page at no cost of a second reading.
import { createTunewright } from '../index.js';

const REPORT_EVERY = 2048;  // frames between position reports (about 20 per second)
const METER_FRAMES = 1024;  // frames a meter report covers, sent as soon as they are read (about 45 per second)
const SCOPE_STEP = 4;       // frames from one point of a scope to the next: 256 points a report
// Notes played in (a key, a MIDI keyboard, an edit heard) sound from a second song of the module,
// read beside the first: at 1 ms per beat a note added at its next beat starts within a millisecond
// of the quantum it arrives before. A held melody note is carried on before its length (255 beats at
// most) runs out by moving its start to a beat already played, so that it sounds on without a new strike.
const LIVE_TEMPO = 1;
const LIVE_LAST_BEAT = 0x7fffffff;
const LIVE_CARRY = 128;  // beats into a held note before it is carried on
const LIVE_RING = 3;     // seconds the live song is read after its last note ends (drums ring out)
const CLICK_SECONDS = 0.03;
const CLICK_HZ = [1000, 1500];  // a beat's click, a bar's

class TunewrightProcessor extends AudioWorkletProcessor {
  constructor(p_Options) {
    super();
    this.song = null;
    this.playing = false;
    this.sinceReport = 0;
    this.block = new Float32Array(2 * 128);
    this.liveBlock = new Float32Array(2 * 128);
    this.live = null;
    this.voices = [];
    this.liveUntil = 0;  // frame (of currentFrame) up to which the live song is read
    this.record = null;  // while recording: the grid, the metronome, the count-in
    this.click = null;   // the metronome's click being mixed: { at, hz, gain }
    this.meter = null;   // while metered: { scopes, frames, points, peak, squares, scope }
    this.stems = [];     // each track's frames of the quantum, read apart
    this.port.onmessage = (p_Event) => this.command(p_Event.data);
    createTunewright({ module: p_Options.processorOptions.module }).then((p_Tw) => {
      this.tw = p_Tw;
      // Before any song plays, so that the first play is not held up making them.
      p_Tw.prepareInstruments();
      this.live = p_Tw.createSong();
      this.live.tempo = LIVE_TEMPO;
      this.live.setLoop(0, LIVE_LAST_BEAT);
      this.live.loops = -1;
      this.voices = this.live.tracks.map((p_Track, p_Index) => ({ track: p_Index, drums: p_Track.drums, id: null, held: false, start: 0, used: 0, releaseAt: Infinity }));
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
          this.live.volume = p_Command.volume;
          this.tracks = this.song.tracks.length;
          // desk: { muted, soloed }, a flag per track, for another version of a song the page mutes.
          p_Command.desk?.muted.forEach((p_On, p_Track) => this.song.setMute(p_Track, p_On));
          p_Command.desk?.soloed.forEach((p_On, p_Track) => this.song.setSolo(p_Track, p_On));
          if (l_At > 0) this.song.seek(l_At);
          this.playing = Boolean(p_Command.play);
          this.port.postMessage({ type: 'opened', duration: this.song.duration, tempo: this.song.tempo });
          this.reportDesk();
          break;
        }
        case 'desk':
          // A track muted or soloed (or not): mute and solo, either or both, as flags.
          if (p_Command.mute !== undefined) this.song?.setMute(p_Command.track, p_Command.mute);
          if (p_Command.solo !== undefined) this.song?.setSolo(p_Command.track, p_Command.solo);
          this.reportDesk();
          break;
        case 'meter':
          // on: the tracks are read apart and metered; scopes: with a window of each one's sound.
          this.meter = p_Command.on ? { scopes: Boolean(p_Command.scopes) } : null;
          this.stems = [];
          break;
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
        case 'noteOn':
          this.noteOn(p_Command);
          break;
        case 'noteOff':
          this.noteOff(p_Command.id);
          break;
        case 'record':
          // Counted in (frames of clicks before the song goes on), clicks at each beat of the bar layout.
          this.record = p_Command.on ? { ...p_Command, countIn: Math.round(p_Command.countInSeconds * sampleRate), since: 0, started: false } : null;
          this.click = null;
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

  // The beat of the song a note played now lands on: the nearest of the grid of p_Steps beats.
  gridBeat(p_Steps) {
    const l_Beat = this.song.beatAt(this.song.position + (p_Steps * this.song.tempo) / 2000);
    return Math.floor(l_Beat / p_Steps) * p_Steps;
  }

  noteOn(p_Note) {
    const l_Live = this.live;
    const l_Voices = this.voices.filter((p_Voice) => p_Voice.drums === p_Note.drums);
    // A free voice, the longest unused; else the oldest held one is taken.
    const l_Rank = (p_Voice) => (p_Voice.held ? currentFrame + 1 : 0) + p_Voice.used;
    const l_Voice = l_Voices.reduce((p_Best, p_Voice) => (l_Rank(p_Voice) < l_Rank(p_Best) ? p_Voice : p_Best));
    const l_Track = l_Voice.track;
    for (const l_Note of l_Live.notes(l_Track)) l_Live.removeNote(l_Track, l_Note.beat);
    const l_Info = l_Live.tracks[l_Track];
    if (l_Info.instrument !== p_Note.instrument) l_Live.setInstrument(l_Track, p_Note.instrument);
    if (l_Info.fineTune !== p_Note.fineTune) l_Live.setFineTune(l_Track, p_Note.fineTune);
    if (l_Info.noLoop !== p_Note.noLoop) l_Live.setNoLoop(l_Track, p_Note.noLoop);
    const l_Start = l_Live.beatAt(l_Live.position) + 1;
    l_Live.addNote(l_Track, { beat: l_Start, key: p_Note.key, length: p_Note.drums ? 1 : 255, volume: p_Note.volume, pan: p_Note.pan });
    Object.assign(l_Voice, { id: p_Note.id, held: !p_Note.drums, start: l_Start, used: currentFrame, key: p_Note.key, volume: p_Note.volume, pan: p_Note.pan,
      releaseAt: p_Note.seconds ? currentFrame + p_Note.seconds * sampleRate : Infinity });
    this.liveUntil = Infinity;
    l_Voice.report = Boolean(p_Note.report);
    if (p_Note.record && this.record && this.song) this.port.postMessage({ type: 'noteBeat', id: p_Note.id, on: this.gridBeat(this.record.quantise) });
    if (p_Note.record) this.recording = (this.recording ?? new Set()).add(p_Note.id);
  }

  noteOff(p_Id) {
    if (this.recording?.delete(p_Id) && this.record && this.song)
      this.port.postMessage({ type: 'noteBeat', id: p_Id, off: this.gridBeat(this.record.quantise) });
    const l_Voice = this.voices.find((p_Voice) => p_Voice.id === p_Id && p_Voice.held);
    if (!l_Voice) return;
    l_Voice.held = false;
    const l_Live = this.live;
    const l_End = l_Live.beatAt(l_Live.position) + 1;
    l_Live.removeNote(l_Voice.track, l_Voice.start);
    l_Live.addNote(l_Voice.track, { beat: l_Voice.start, key: l_Voice.key, length: Math.max(1, Math.min(255, l_End - l_Voice.start)), volume: l_Voice.volume, pan: l_Voice.pan });
    if (!this.voices.some((p_Voice) => p_Voice.held)) this.liveUntil = currentFrame + LIVE_RING * sampleRate;
  }

  // Ends the notes whose time is up and carries on the held ones.
  tendVoices() {
    const l_Beat = this.live.beatAt(this.live.position);
    for (const l_Voice of this.voices) {
      if (!l_Voice.held) continue;
      if (currentFrame >= l_Voice.releaseAt) this.noteOff(l_Voice.id);
      else if (l_Beat - l_Voice.start > LIVE_CARRY) {
        this.live.removeNote(l_Voice.track, l_Voice.start);
        l_Voice.start = l_Beat - 1;
        this.live.addNote(l_Voice.track, { beat: l_Voice.start, key: l_Voice.key, length: 255, volume: l_Voice.volume, pan: l_Voice.pan });
      }
    }
  }

  // The metronome: a click where a beat of the bar layout starts within the p_Frames to come.
  clicks(p_Frames) {
    const l_Record = this.record;
    if (!l_Record.metronome) return;
    const { perBar, perBeat } = l_Record;
    if (l_Record.countIn > 0) {
      const l_Beat = Math.round((perBeat * this.song.tempo * sampleRate) / 1000);
      for (let l_Frame = 0; l_Frame < p_Frames; ++l_Frame) {
        const l_At = l_Record.since + l_Frame;
        if (l_At % l_Beat === 0 && l_At < l_Record.countIn) this.click = { at: -l_Frame, hz: CLICK_HZ[l_At === 0 ? 1 : 0] };
      }
      return;
    }
    const l_Song = this.song;
    const l_From = l_Song.position;
    const l_BeatAt = (p_Frame) => l_Song.beatAt(l_From + p_Frame / sampleRate);
    const l_First = l_BeatAt(0);
    let l_Frame = -1;
    if (!l_Record.started) l_Frame = 0;  // the take's first beat
    else if (l_BeatAt(p_Frames) !== l_First) {
      // The first frame of the next beat, by halving.
      let l_Low = 0, l_High = p_Frames;
      while (l_High - l_Low > 1) {
        const l_Middle = (l_Low + l_High) >> 1;
        if (l_BeatAt(l_Middle) === l_First) l_Low = l_Middle;
        else l_High = l_Middle;
      }
      l_Frame = l_High;
    }
    l_Record.started = true;
    if (l_Frame < 0) return;
    const l_Beat = l_BeatAt(l_Frame);
    if (l_Beat % perBeat === 0) this.click = { at: -l_Frame, hz: CLICK_HZ[l_Beat % (perBar * perBeat) === 0 ? 1 : 0] };
  }

  // Adds the click being made to the first p_Frames of the output.
  mixClick(p_Left, p_Right, p_Frames) {
    const l_Click = this.click;
    if (!l_Click) return;
    const l_Gain = this.record?.volume ?? 0.5;
    const l_Length = CLICK_SECONDS * sampleRate;
    for (let l_Frame = Math.max(0, -l_Click.at); l_Frame < p_Frames; ++l_Frame) {
      const l_Age = l_Click.at + l_Frame;
      if (l_Age >= l_Length) break;
      const l_Sample = l_Gain * Math.exp(-l_Age / (l_Length / 5)) * Math.sin((2 * Math.PI * l_Click.hz * l_Age) / sampleRate);
      p_Left[l_Frame] += l_Sample;
      p_Right[l_Frame] += l_Sample;
    }
    l_Click.at += p_Frames;
    if (l_Click.at >= l_Length) this.click = null;
  }

  // What the song's desk holds, as the library tells it: a flag per track for muted and for soloed.
  reportDesk() {
    if (!this.song) return;
    const l_Tracks = Array.from({ length: this.tracks }, (_, p_Track) => p_Track);
    this.port.postMessage({ type: 'desk', muted: l_Tracks.map((p_Track) => this.song.muted(p_Track)),
      soloed: l_Tracks.map((p_Track) => this.song.soloed(p_Track)) });
  }

  // Reads p_Frames of p_Song's tracks apart into the output, summed, and gathers each one's level
  // and scope; sends them once METER_FRAMES are read. Gives the frames read.
  readApart(p_Song, p_Left, p_Right, p_Frames) {
    const l_Count = this.tracks;
    if (this.stems.length !== l_Count || this.stems[0].length < 2 * p_Frames)
      this.stems = Array.from({ length: l_Count }, () => new Float32Array(2 * p_Frames));
    const l_Stems = p_Song.readTracks(p_Frames, sampleRate, this.stems);
    const l_Got = l_Stems[0].length / 2;
    for (let l_Frame = 0; l_Frame < l_Got; ++l_Frame) {
      let l_L = 0, l_R = 0;
      for (let l_Track = 0; l_Track < l_Count; ++l_Track) {
        l_L += l_Stems[l_Track][2 * l_Frame];
        l_R += l_Stems[l_Track][2 * l_Frame + 1];
      }
      p_Left[l_Frame] = l_L;
      p_Right[l_Frame] = l_R;
    }
    const l_Meter = this.meter;
    if (!l_Meter.peak) {
      Object.assign(l_Meter, { frames: 0, points: 0, peak: new Float32Array(l_Count), squares: new Float64Array(l_Count),
        scope: l_Meter.scopes ? new Float32Array(l_Count * (METER_FRAMES / SCOPE_STEP)) : null });
    }
    const l_Levels = p_Song.levels();
    for (let l_Track = 0; l_Track < l_Count; ++l_Track) {
      l_Meter.peak[l_Track] = Math.max(l_Meter.peak[l_Track], l_Levels[l_Track].peak);
      l_Meter.squares[l_Track] += l_Levels[l_Track].rms ** 2 * l_Got;
    }
    // A point of each scope every SCOPE_STEP frames of the report: the track's left and right averaged.
    const l_Points = METER_FRAMES / SCOPE_STEP;
    if (l_Meter.scope)
      for (let l_Frame = (SCOPE_STEP - (l_Meter.frames % SCOPE_STEP)) % SCOPE_STEP; l_Frame < l_Got && l_Meter.points < l_Points; l_Frame += SCOPE_STEP, ++l_Meter.points)
        for (let l_Track = 0; l_Track < l_Count; ++l_Track)
          l_Meter.scope[l_Track * l_Points + l_Meter.points] = 0.5 * (l_Stems[l_Track][2 * l_Frame] + l_Stems[l_Track][2 * l_Frame + 1]);
    l_Meter.frames += l_Got;
    if (l_Meter.frames >= METER_FRAMES) {
      const l_Rms = Float32Array.from(l_Meter.squares, (p_Squares) => Math.sqrt(p_Squares / l_Meter.frames));
      const l_Report = { type: 'meter', peak: l_Meter.peak, rms: l_Rms, scope: l_Meter.scope, points: l_Points };
      this.port.postMessage(l_Report, [l_Meter.peak.buffer, l_Rms.buffer, ...(l_Meter.scope ? [l_Meter.scope.buffer] : [])]);
      l_Meter.peak = null;
    }
    return l_Got;
  }

  report() {
    if (this.song)
      this.port.postMessage({ type: 'position', position: this.song.position, duration: this.song.duration });
  }

  process(p_Inputs, p_Outputs) {
    const [l_Left, l_Channel] = p_Outputs[0];
    const l_Right = l_Channel ?? l_Left;
    const l_Frames = l_Left.length;
    const l_Record = this.record;
    let l_Song = this.playing && this.song;
    if (l_Song && l_Record) {
      this.clicks(l_Frames);
      if (l_Record.countIn > 0) {
        l_Record.since += l_Frames;
        l_Song = null;  // the song waits for the count-in
        if (l_Record.since >= l_Record.countIn) l_Record.countIn = 0;
      }
    }
    if (l_Song) {
      let l_Got;
      if (this.meter) l_Got = this.readApart(l_Song, l_Left, l_Right, l_Frames);
      else {
        if (this.block.length < 2 * l_Frames) this.block = new Float32Array(2 * l_Frames);
        const l_Mixed = l_Song.read(l_Frames, sampleRate, this.block);
        l_Got = l_Mixed.length / 2;
        for (let l_Frame = 0; l_Frame < l_Got; ++l_Frame) {
          l_Left[l_Frame] = l_Mixed[2 * l_Frame];
          l_Right[l_Frame] = l_Mixed[2 * l_Frame + 1];
        }
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
    }
    if (this.live && currentFrame < this.liveUntil) {
      this.tendVoices();
      if (this.liveBlock.length < 2 * l_Frames) this.liveBlock = new Float32Array(2 * l_Frames);
      const l_Mixed = this.live.read(l_Frames, sampleRate, this.liveBlock);
      let l_Heard = false;
      for (let l_Frame = 0; l_Frame < l_Frames; ++l_Frame) {
        l_Left[l_Frame] += l_Mixed[2 * l_Frame];
        l_Right[l_Frame] += l_Mixed[2 * l_Frame + 1];
        l_Heard ||= l_Mixed[2 * l_Frame] !== 0;
      }
      // A note asked to be reported is told of once this quantum carries its first sound (wall: the
      // system's clock in ms as it leaves, the one clock a worklet has that the page shares).
      if (l_Heard)
        for (const l_Voice of this.voices)
          if (l_Voice.report) {
            l_Voice.report = false;
            this.port.postMessage({ type: 'sounded', id: l_Voice.id, frame: currentFrame, wall: Date.now() });
          }
    }
    this.mixClick(l_Left, l_Right, l_Frames);
    return true;
  }
}

registerProcessor('tunewright', TunewrightProcessor);
