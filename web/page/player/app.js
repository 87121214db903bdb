// The web player: songs are checked and drawn here through the decoder (no byte of a song is
// read in JavaScript), and played by the decoder inside an AudioWorklet (worklet.js), which this
// page feeds with the compiled decoder and commands.
import { createTunewright } from '../index.js';
import { decoderModule, makeNode } from './audio.js';
import { acceptDrops } from './drop.js';
import { PianoRoll } from './roll.js';
import { TrackScopes } from './tracks.js';

export { makeNode };

const BUNDLED = ['harbour-lights', 'greensleeves', 'drunken-sailor'];
const SEEK_STEP = 5;  // seconds the arrow keys move
const $ = (p_Id) => document.getElementById(p_Id);

const checker = decoderModule.then((p_Module) => createTunewright({ module: p_Module }));
const roll = new PianoRoll($('roll'));
const tracks = new TrackScopes($('tracks'), async (p_Track, p_Change) => {
  if (audio) (await ensureAudio()).port.postMessage({ type: 'desk', track: p_Track, ...p_Change });
});
// song: the page's own open copy of the current song, which the piano roll draws.
const state = { bytes: null, song: null, name: '', duration: 0, position: 0, playing: false };
let audio = null;  // { context, node, ready } once the first play made them

function message(p_Text) { $('message').textContent = p_Text; }

function clock(p_Seconds) {
  if (!Number.isFinite(p_Seconds)) return '∞';
  const l_Whole = Math.floor(p_Seconds);
  return `${Math.floor(l_Whole / 60)}:${String(l_Whole % 60).padStart(2, '0')}`;
}

function showPosition() {
  $('time').textContent = `${clock(state.position)} / ${clock(state.duration)}`;
  if (!$('seek').matches(':active') && Number.isFinite(state.duration) && state.duration > 0)
    $('seek').value = String(Math.round((1000 * state.position) / state.duration));
  roll.draw(state.position);
}

function onWorkletMessage(p_Event) {
  const l_Data = p_Event.data;
  if (l_Data.type === 'position') {
    state.position = l_Data.position;
    state.duration = l_Data.duration;
    showPosition();
  } else if (l_Data.type === 'meter') {
    tracks.meter(l_Data);
  } else if (l_Data.type === 'desk') {
    tracks.setDesk(l_Data);
  } else if (l_Data.type === 'ended') {
    setPlaying(false);
  } else if (l_Data.type === 'error') {
    message(l_Data.message);
  }
}

async function ensureAudio() {
  if (!audio) {
    const l_Context = new AudioContext({ latencyHint: 'interactive' });
    audio = { context: l_Context, node: makeNode(l_Context) };
    // The tracks read apart, each one's level and scope reported for the tracks' view.
    audio.node.then((p_Node) => p_Node.port.postMessage({ type: 'meter', on: true, scopes: true }));
  }
  const l_Node = await audio.node;
  l_Node.port.onmessage = onWorkletMessage;
  return l_Node;
}

function settings() { return { loops: Number($('loops').value), volume: Number($('volume').value) / 100 }; }

function setPlaying(p_Playing) {
  state.playing = p_Playing;
  $('play').textContent = p_Playing ? 'Pause' : 'Play';
}

// Checks p_Bytes with the decoder; a song is shown and made ready to play, anything else is
// refused with the decoder's reason and the current song stays.
async function load(p_Bytes, p_Name) {
  let l_Song;
  try {
    l_Song = (await checker).open(p_Bytes);
    l_Song.loops = settings().loops;
  } catch (p_Error) {
    l_Song?.close();
    message(`${p_Name} cannot be played: ${p_Error.message}`);
    return;
  }
  message('');
  state.song?.close();
  Object.assign(state, { bytes: p_Bytes, song: l_Song, name: p_Name, duration: l_Song.duration, position: 0 });
  $('title').textContent = p_Name;
  document.title = `${p_Name} – tunewright`;
  roll.setSong(l_Song);
  tracks.setSong(l_Song, await checker);
  $('play').disabled = false;
  $('seek').disabled = false;
  showPosition();
  if (audio) {
    const l_Node = await ensureAudio();
    l_Node.port.postMessage({ type: 'open', bytes: p_Bytes, ...settings() });
  }
  setPlaying(false);
}

async function togglePlay() {
  if (!state.bytes) return;
  if (state.playing) {
    (await ensureAudio()).port.postMessage({ type: 'pause' });
    setPlaying(false);
    return;
  }
  const l_First = !audio;
  const l_Node = await ensureAudio();
  if (l_First) l_Node.port.postMessage({ type: 'open', bytes: state.bytes, ...settings() });
  if (state.position > 0) l_Node.port.postMessage({ type: 'seek', seconds: state.position });
  await audio.context.resume();
  l_Node.port.postMessage({ type: 'play' });
  setPlaying(true);
}

async function seekTo(p_Seconds) {
  if (!state.bytes || !Number.isFinite(state.duration)) return;
  state.position = Math.max(0, Math.min(p_Seconds, state.duration));
  showPosition();
  if (audio) (await ensureAudio()).port.postMessage({ type: 'seek', seconds: state.position });
}

async function openFile(p_File) {
  load(new Uint8Array(await p_File.arrayBuffer()), p_File.name.replace(/\.org$/i, ''));
}

for (const l_Name of BUNDLED) {
  const l_Button = document.createElement('button');
  l_Button.textContent = l_Name.replace(/-/g, ' ');
  l_Button.addEventListener('click', async () => {
    const l_Response = await fetch(`songs/${l_Name}.org`);
    load(new Uint8Array(await l_Response.arrayBuffer()), l_Name);
  });
  $('bundled').append(l_Button);
}
$('open').onclick = () => $('file').click();
$('file').addEventListener('change', () => $('file').files[0] && openFile($('file').files[0]));
$('play').addEventListener('click', togglePlay);
$('seek').addEventListener('input', () => seekTo((Number($('seek').value) / 1000) * state.duration));
$('volume').addEventListener('input', async () => {
  if (audio) (await ensureAudio()).port.postMessage({ type: 'volume', volume: settings().volume });
});
$('loops').addEventListener('change', async () => {
  if (audio) (await ensureAudio()).port.postMessage({ type: 'loops', loops: settings().loops });
  else if (state.bytes) load(state.bytes, state.name);
});
acceptDrops($('drop'), openFile);
document.addEventListener('keydown', (p_Event) => {
  if (p_Event.target instanceof HTMLInputElement && p_Event.target.type !== 'range') return;
  const l_Volume = $('volume');
  switch (p_Event.key) {
    case ' ': togglePlay(); break;
    case 'ArrowLeft': seekTo(state.position - SEEK_STEP); break;
    case 'ArrowRight': seekTo(state.position + SEEK_STEP); break;
    case 'ArrowUp': l_Volume.value = String(Number(l_Volume.value) + 5); l_Volume.dispatchEvent(new Event('input')); break;
    case 'ArrowDown': l_Volume.value = String(Number(l_Volume.value) - 5); l_Volume.dispatchEvent(new Event('input')); break;
    default: return;
  }
  p_Event.preventDefault();
});
// What tests and benchmarks reach from outside.
window.player = { tracks, get song() { return state.song; } };
// Offline once loaded: the service worker keeps every file of the player.
if ('serviceWorker' in navigator && location.protocol !== 'file:')
  navigator.serviceWorker.register('sw.js').catch(() => {});
roll.draw(0);
// The audio graph is made now, so that play only has to resume it; the context stays suspended
// until the first play (a user's gesture).
ensureAudio().catch((p_Error) => message(`No sound: ${p_Error.message}`));
