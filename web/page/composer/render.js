// The song rendered into files by the decoder: a 16-bit WAV of the mix, and a zip of a WAV per track
// that sounds (its stems), read with readTracks in slices short enough that the page never stalls,
// then zipped (by fflate) a piece at a time.
import { waveNumber } from '../player/names.js';

export const EXPORT_RATE = 44100;
const SLICE_MS = 10;          // of rendering or zipping between yields to the page (a loaded machine takes longer)
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

// A 16-bit stereo PCM WAV file of interleaved float frames, under the module's header.
export function wav(p_Tw, p_Frames, p_Rate) {
  const l_Pcm = new Int16Array(p_Frames.length);
  toPcm16(p_Frames, l_Pcm, 0);
  const l_Header = p_Tw.wavHeader(p_Frames.length / 2, p_Rate);
  const l_File = new Uint8Array(l_Header.length + l_Pcm.byteLength);
  l_File.set(l_Header);
  l_File.set(bytesOf(l_Pcm), l_Header.length);
  return l_File;
}

// A stem's file name: the track's number, its kind and its instrument (00-melody-12.wav, 08-drum-Bass01.wav).
export function stemName(p_Tw, p_Track, p_Info) {
  const l_Instrument = p_Info.drums ? p_Tw.drumFiles[p_Info.instrument] : waveNumber(p_Info.instrument);
  return `${String(p_Track).padStart(2, '0')}-${p_Info.drums ? 'drum' : 'melody'}-${l_Instrument}.wav`;
}

// Lets the page do its work before going on: a message to itself, which (unlike a chain of timers)
// no browser holds back by milliseconds.
const nextTask = () => new Promise((p_Done) => {
  const l_Channel = new MessageChannel();
  l_Channel.port1.onmessage = () => p_Done();
  l_Channel.port2.postMessage(null);
});

// The song of p_Bytes once through at p_Rate, as { zip: a Blob of a zip of a WAV per track that
// sounds in it, stems: how many }; p_Progress(share done, 0 to 1) after each slice.
export async function renderStems(p_Tw, p_Bytes, p_Rate, p_Progress = () => {}) {
  const l_Song = p_Tw.open(p_Bytes);
  const l_Pcm = [];  // per track, its samples once it has sounded (silent ones take no memory)
  let l_Done = 0;
  let l_Tracks;
  try {
    l_Tracks = l_Song.tracks;
    // The drums the song strikes made first, each in a task of its own (the crash takes the longest).
    for (const l_Drum of new Set(l_Tracks.filter((p_Track) => p_Track.drums && p_Track.notes > 0).map((p_Track) => p_Track.instrument))) {
      p_Tw.prepareInstruments(l_Drum);
      await nextTask();
    }
    const l_Total = Math.ceil(l_Song.duration * p_Rate);
    let l_Slice = FIRST_SLICE;
    const l_Into = l_Tracks.map(() => new Float32Array(2 * MAX_SLICE));
    while (l_Done < l_Total) {
      const l_Start = performance.now();
      const l_Want = Math.min(l_Slice, l_Total - l_Done);
      const l_Read = l_Song.readTracks(l_Want, p_Rate, l_Into);
      l_Read.forEach((p_Samples, p_Track) => {
        if (!l_Pcm[p_Track] && !p_Samples.some((p_Sample) => p_Sample !== 0)) return;
        l_Pcm[p_Track] ??= new Int16Array(2 * l_Total);
        toPcm16(p_Samples, l_Pcm[p_Track], 2 * l_Done);
      });
      const l_Got = l_Read[0].length / 2;
      l_Done += l_Got;
      if (l_Got < l_Want) break;
      // The next slice as long as SLICE_MS took at this one's pace, growing at most twice (a stretch of
      // silence reads fast, the drums' first strikes slowly: the module makes each drum then).
      l_Slice = Math.max(1024, Math.min(MAX_SLICE, 2 * l_Slice, Math.round((l_Slice * SLICE_MS) / Math.max(1, performance.now() - l_Start))));
      p_Progress((0.5 * l_Done) / l_Total);
      await nextTask();
    }
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
        p_Progress(0.5 + (0.5 * l_Zipped) / l_Bytes);
        await nextTask();
        l_Start = performance.now();
      }
    }
    l_Pcm[l_Track] = null;
    if (l_Failed) throw l_Failed;
  }
  l_Zip.end();
  if (l_Failed) throw l_Failed;
  p_Progress(1);
  // The zip's pieces as they came, not copied into one.
  return { zip: new Blob(l_Parts, { type: 'application/zip' }), stems: l_Stems.length };
}
