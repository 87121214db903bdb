// The song rendered into files by the decoder (in the export worker): a 16-bit WAV of the mix, and a
// zip of a WAV per track that sounds (its stems), read in slices between which a Cancel is heard,
// then zipped (by fflate) a piece at a time. The length, loops and fade are those of
// tunewright-render: the song's milliseconds with its loop repeated, in whole mix blocks; the fade
// over the last seconds, the volume set before each of its blocks.
import { waveNumber } from '../player/names.js';

export const EXPORT_RATE = 44100;
const SLICE_MS = 10;          // of rendering or zipping between looks at the messages (a Cancel)
const FIRST_SLICE = 4096;     // frames rendered in the first slice; the next ones are sized by its time
const MAX_SLICE = 16384;      // frames a slice reads at most, into arrays kept from slice to slice
const ZIP_PIECE = 1 << 15;    // bytes handed to the zip at a time (a few ms of deflating)
const ZIP_LEVEL = 1;          // deflate's fastest: stems are mostly silence, which any level packs

// Float samples as 16-bit ones, into p_Into from p_At.
function toPcm16(p_Floats, p_Into, p_At) {
  for (let l_Index = 0; l_Index < p_Floats.length; ++l_Index)
    p_Into[p_At + l_Index] = Math.max(-32768, Math.min(32767, Math.round(p_Floats[l_Index] * 32768)));
}

// The bytes of an Int16Array (little-endian, as every WebAssembly host is).
const bytesOf = (p_Pcm) => new Uint8Array(p_Pcm.buffer, p_Pcm.byteOffset, p_Pcm.byteLength);

// A stem's file name: the track's number, its kind and its instrument (00-melody-12.wav, 08-drum-Bass01.wav).
export function stemName(p_Tw, p_Track, p_Info) {
  const l_Instrument = p_Info.drums ? p_Tw.drumFiles[p_Info.instrument] : waveNumber(p_Info.instrument);
  return `${String(p_Track).padStart(2, '0')}-${p_Info.drums ? 'drum' : 'melody'}-${l_Instrument}.wav`;
}

// Lets the thread hear its messages before going on: a message to itself, which (unlike a chain of
// timers) no browser holds back by milliseconds.
export const nextTask = () => new Promise((p_Done) => {
  const l_Channel = new MessageChannel();
  l_Channel.port1.onmessage = () => p_Done();
  l_Channel.port2.postMessage(null);
});

// The most an export holds: its file's bytes (16-bit stereo frames, all the stems'), kept in memory
// until it is handed over.
export const MAX_EXPORT_BYTES = 2 ** 30;

export class ExportError extends Error {}

// How p_Song is read for an export at p_Rate with p_Loops repeats of its loop and a fade over the
// last p_Fade seconds: { end (where the fade reaches silence), total (frames read: whole blocks),
// block, fade, fadeStart }, as tunewright-render reads it. Refuses (ExportError) a song that lasts no
// time or that p_Files stereo files of its length would not fit in MAX_EXPORT_BYTES.
export function exportPlan(p_Song, p_Rate, p_Loops, p_Fade, p_Files = 1) {
  p_Song.loops = p_Loops;
  const l_Seconds = p_Song.duration;
  p_Song.loops = -1;  // the length is the export's, as the renderer's is its own
  if (!(l_Seconds > 0)) throw new ExportError('The song lasts no time: it has no loop, nor beats before one, to export.');
  const l_Ms = Math.round(l_Seconds * 1000);
  const l_End = Math.floor(l_Ms / 1000) * p_Rate + Math.floor(((l_Ms % 1000) * p_Rate) / 1000);
  const l_Block = Math.max(1, Math.floor(p_Rate / 1000));
  const l_Total = Math.ceil(l_End / l_Block) * l_Block;
  const l_Bytes = p_Files * 4 * l_Total;  // the headers' few bytes aside
  if (l_Bytes > MAX_EXPORT_BYTES) {
    const l_Hours = l_Seconds / 3600;
    throw new ExportError(`The song lasts ${l_Hours >= 1 ? `${l_Hours.toFixed(1)} hours` : `${Math.round(l_Seconds / 60)} minutes`}: ` +
      `its export would take ${(l_Bytes / 2 ** 30).toFixed(1)} GB, more than the ${MAX_EXPORT_BYTES / 2 ** 30} GB an export can hold. Export fewer loops.`);
  }
  const l_Fade = Math.min(l_End, Math.floor(p_Fade * p_Rate));
  return { end: l_End, total: l_Total, block: l_Block, fade: l_Fade, fadeStart: l_Fade > 0 ? Math.ceil((l_End - l_Fade) / l_Block) * l_Block : l_Total };
}

// Reads p_Plan's frames of p_Song through p_Read(frames) (a read of the mix or of the tracks, which
// gives how many it read), in slices of about SLICE_MS, a block at a time in the fade; p_Slice(done)
// after each slice, awaited (where a Cancel is heard).
async function readPlanned(p_Song, p_Plan, p_Read, p_Slice) {
  const l_Volume = p_Song.volume;
  let l_Done = 0;
  let l_Slice = FIRST_SLICE;
  while (l_Done < p_Plan.total) {
    const l_Start = performance.now();
    const l_SliceEnd = Math.min(p_Plan.total, l_Done + l_Slice);
    while (l_Done < l_SliceEnd) {
      const l_Fading = l_Done >= p_Plan.fadeStart;
      const l_Want = l_Fading ? Math.min(p_Plan.block, p_Plan.total - l_Done) : Math.min(l_SliceEnd, p_Plan.fadeStart) - l_Done;
      if (l_Fading) p_Song.volume = (l_Volume * Math.max(0, p_Plan.end - l_Done)) / p_Plan.fade;
      const l_Got = p_Read(l_Done, l_Want);
      l_Done += l_Got;
      if (l_Got < l_Want) return l_Done;
    }
    // The next slice as long as SLICE_MS took at this one's pace, growing at most twice (a stretch of
    // silence reads fast, the drums' first strikes slowly: the module makes each drum then).
    l_Slice = Math.max(1024, Math.min(MAX_SLICE, 2 * l_Slice, Math.round((l_Slice * SLICE_MS) / Math.max(1, performance.now() - l_Start))));
    await p_Slice(l_Done);
  }
  return l_Done;
}

// The drums p_Song strikes made first, each in a slice of its own (the crash takes the longest).
async function prepareDrums(p_Tw, p_Tracks, p_Slice) {
  for (const l_Drum of new Set(p_Tracks.filter((p_Track) => p_Track.drums && p_Track.notes > 0).map((p_Track) => p_Track.instrument))) {
    p_Tw.prepareInstruments(l_Drum);
    await p_Slice();
  }
}

// The song of p_Bytes at p_Options.rate (loops, fade in seconds) as a WAV Blob; p_Progress(share
// done, 0 to 1) after each slice, awaited.
export async function renderWav(p_Tw, p_Bytes, p_Options, p_Progress = async () => {}) {
  const l_Song = p_Tw.open(p_Bytes);
  try {
    const l_Plan = exportPlan(l_Song, p_Options.rate, p_Options.loops, p_Options.fade);
    await prepareDrums(p_Tw, l_Song.tracks, () => p_Progress(0));
    const l_Into = new Float32Array(2 * MAX_SLICE);
    const l_Parts = [];
    const l_Done = await readPlanned(l_Song, l_Plan, (p_At, p_Frames) => {
      const l_Read = l_Song.read(p_Frames, p_Options.rate, l_Into);
      const l_Pcm = new Int16Array(l_Read.length);
      toPcm16(l_Read, l_Pcm, 0);
      l_Parts.push(l_Pcm);
      return l_Read.length / 2;
    }, (p_Done) => p_Progress(p_Done / l_Plan.total));
    return new Blob([p_Tw.wavHeader(l_Done, p_Options.rate), ...l_Parts], { type: 'audio/wav' });
  } finally {
    l_Song.close();
  }
}

// The song of p_Bytes at p_Rate as { zip: a Blob of a zip of a WAV per track that sounds in it,
// stems: how many }, with p_Options' loops and fade (by default once through, no fade);
// p_Progress(share done, 0 to 1) after each slice, awaited.
export async function renderStems(p_Tw, p_Bytes, p_Rate, p_Progress = async () => {}, p_Options = { loops: 0, fade: 0 }) {
  const l_Song = p_Tw.open(p_Bytes);
  const l_Pcm = [];  // per track, its samples once it has sounded (silent ones take no memory)
  let l_Done = 0;
  let l_Tracks;
  try {
    l_Tracks = l_Song.tracks;
    const l_Plan = exportPlan(l_Song, p_Rate, p_Options.loops, p_Options.fade, Math.max(1, l_Tracks.filter((p_Track) => p_Track.notes > 0).length));
    await prepareDrums(p_Tw, l_Tracks, () => p_Progress(0));
    const l_Into = l_Tracks.map(() => new Float32Array(2 * MAX_SLICE));
    l_Done = await readPlanned(l_Song, l_Plan, (p_At, p_Frames) => {
      const l_Read = l_Song.readTracks(p_Frames, p_Rate, l_Into);
      l_Read.forEach((p_Samples, p_Track) => {
        if (!l_Pcm[p_Track] && !p_Samples.some((p_Sample) => p_Sample !== 0)) return;
        l_Pcm[p_Track] ??= new Int16Array(2 * l_Plan.total);
        toPcm16(p_Samples, l_Pcm[p_Track], 2 * p_At);
      });
      return l_Read[0].length / 2;
    }, (p_Done) => p_Progress((0.5 * p_Done) / l_Plan.total));
  } finally {
    l_Song.close();
  }

  // The zip's code is fetched only by those who export stems.
  const { Zip, ZipDeflate } = await import('../vendor/fflate.js');
  const l_Parts = [];
  let l_Failed = null;
  const l_Zip = new Zip((p_Error, p_Data) => (p_Error ? (l_Failed = p_Error) : l_Parts.push(p_Data)));
  const l_Stems = l_Tracks.map((p_Info, p_Track) => p_Track).filter((p_Track) => l_Pcm[p_Track]);
  const l_Bytes = l_Stems.length * 4 * l_Done;
  let l_Zipped = 0;
  for (const l_Track of l_Stems) {
    const l_File = new ZipDeflate(stemName(p_Tw, l_Track, l_Tracks[l_Track]), { level: ZIP_LEVEL });
    l_Zip.add(l_File);
    const l_Data = bytesOf(l_Pcm[l_Track].subarray(0, 2 * l_Done));
    l_File.push(p_Tw.wavHeader(l_Done, p_Rate), l_Data.length === 0);
    let l_Start = performance.now();
    for (let l_At = 0; l_At < l_Data.length; l_At += ZIP_PIECE) {
      l_File.push(l_Data.subarray(l_At, l_At + ZIP_PIECE), l_At + ZIP_PIECE >= l_Data.length);
      l_Zipped += Math.min(ZIP_PIECE, l_Data.length - l_At);
      if (performance.now() - l_Start > SLICE_MS) {
        await p_Progress(0.5 + (0.5 * l_Zipped) / l_Bytes);
        l_Start = performance.now();
      }
    }
    l_Pcm[l_Track] = null;
    if (l_Failed) throw l_Failed;
  }
  l_Zip.end();
  if (l_Failed) throw l_Failed;
  await p_Progress(1);
  // The zip's pieces as they came, not copied into one.
  return { zip: new Blob(l_Parts, { type: 'application/zip' }), stems: l_Stems.length };
}
