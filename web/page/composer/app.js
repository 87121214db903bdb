// The composer: a song written note by note in the browser. The song lives in the decoder (model.js
// keeps its history); the canvas (editor.js) edits it; the player's worklet plays a second copy of
// it, which follows every edit as it is made, so that a change is heard while the song plays.
import { createTunewright } from '../index.js';
import { decoderModule, makeNode } from '../player/audio.js';
import { acceptDrops } from '../player/drop.js';
import { COLOURS, Editor, keyName } from './editor.js';
import { INSTRUMENTS, KEYS, MELODY_TRACKS, Model, NOTE_RANGE, TRACKS, learnLimits } from './model.js';
import { OCTAVE_KEYS, PIANO, Playing, keyLabels } from './play.js';
import { instrumentName } from '../player/names.js';
import { EXPORT_RATE, renderStems, wav } from './render.js';

const AUTOSAVE = 'tunewright-composer';
const AUTOSAVE_DELAY = 400;  // ms after the last edit
const PREVIEW_SECONDS = 0.6;
const $ = (p_Id) => document.getElementById(p_Id);

const tw = await createTunewright({ module: await decoderModule });
learnLimits(tw);
const model = new Model(tw);
const editor = new Editor($('editor'), model);
// desk: the tracks muted and soloed, a flag each, as the library in the worklet reports them.
const state = { name: 'untitled', playing: false, unsaved: false, desk: { muted: [], soloed: [] }, levels: [], clip: null };
let audio = null;  // { context, node } once the worklet is ready
// Notes played in: heard from the worklet's live song, entered or recorded.
const playing = new Playing({
  model, editor, message, status,
  post: (p_Command) => post(p_Command),
  playing: () => state.playing,
  seconds: () => (audio?.report ? audio.report.position + Math.max(0, audio.context.currentTime - audio.report.at) : 0),
  hear: () => $('hear').checked,
});
editor.onNote = (p_Track, p_Note) => playing.hearNote(p_Track, p_Note);

function message(p_Text) { $('message').textContent = p_Text; }
function status(p_Text) { $('status').textContent = p_Text; }

// Runs p_Edit; a value the song refuses shows its reason instead.
function attempt(p_Edit) {
  try {
    p_Edit();
    message('');
    return true;
  } catch (p_Error) {
    message(p_Error.message);
    return false;
  } finally {
    editor.changed();
  }
}

// --- Bytes in and out ---
const toBase64Url = (p_Bytes) => {
  let l_Text = '';
  for (let l_At = 0; l_At < p_Bytes.length; l_At += 0x8000) l_Text += String.fromCharCode(...p_Bytes.subarray(l_At, l_At + 0x8000));
  return btoa(l_Text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
};
const fromBase64Url = (p_Text) => Uint8Array.from(atob(p_Text.replace(/-/g, '+').replace(/_/g, '/')), (p_Char) => p_Char.charCodeAt(0));
const through = async (p_Bytes, p_Stream) => new Uint8Array(await new Response(new Blob([p_Bytes]).stream().pipeThrough(p_Stream)).arrayBuffer());

// The link that holds the whole song: its Org-02 bytes, deflated and in base64url.
async function shareLink() {
  const l_Packed = await through(model.song.toBytes(), new CompressionStream('deflate-raw'));
  return `${location.origin}${location.pathname}#song=${toBase64Url(l_Packed)}`;
}

function download(p_Bytes, p_Name, p_Type) {
  const l_Link = document.createElement('a');
  l_Link.href = URL.createObjectURL(new Blob([p_Bytes], { type: p_Type }));
  l_Link.download = p_Name;
  document.body.append(l_Link);
  l_Link.click();
  l_Link.remove();
  setTimeout(() => URL.revokeObjectURL(l_Link.href), 10000);
}

// --- MIDI: through the module's MIDI calls, once it has them (tw.openMidi(bytes) gives a song and
// the report of what the import dropped, song.toMidi() its Standard MIDI File); without them the
// page says so. ---
const midi = {
  get available() { return typeof tw.openMidi === 'function'; },
  // The song, and what the import dropped or changed in one line (empty when nothing was).
  open(p_Bytes) {
    const { song, report } = tw.openMidi(p_Bytes);
    return { song, losses: report.text.split('\n').slice(1).filter(Boolean).join(' ') };
  },
  save(p_Song) { return p_Song.toMidi(); },
};

// --- Loading and saving ---
function loadSong(p_Song, p_Name) {
  if (autosaveTimer) autosave();  // the last edits of the song put aside
  state.name = p_Name;
  document.title = `${p_Name} – tunewright composer`;
  model.load(p_Song);
  editor.cursor = { beat: 0, key: 57 };
  editor.home();
  showSong();
}

// Opens p_Bytes (.org, or .mid through the MIDI calls); the current song stays when they are not one.
function openBytes(p_Bytes, p_Name) {
  const l_Midi = /\.midi?$/i.test(p_Name);
  try {
    if (l_Midi && !midi.available) throw new Error('this page cannot read MIDI files yet.');
    const l_Opened = l_Midi ? midi.open(p_Bytes) : { song: tw.open(p_Bytes), losses: '' };
    loadSong(l_Opened.song, p_Name.replace(/\.(org|midi?)$/i, ''));
    message(l_Opened.losses);
    return true;
  } catch (p_Error) {
    message(`${p_Name} cannot be opened: ${p_Error.message}`);
    return false;
  }
}

async function openFile(p_File) { openBytes(new Uint8Array(await p_File.arrayBuffer()), p_File.name); }

// A new song, ready to write: a song lasts to the end of its loop, so it starts with one of four bars.
function blankSong() {
  const l_Song = tw.createSong();
  const { perBar, perBeat } = l_Song.barLayout;
  l_Song.setLoop(0, 4 * perBar * perBeat);
  return l_Song;
}

const actions = {
  newSong() {
    if (state.unsaved && !confirm(`Put “${state.name}” aside for a new song? Its changes since it was saved are not in a file.`)) return;
    loadSong(blankSong(), 'untitled');
  },
  save() {
    download(model.song.toBytes(), `${state.name}.org`, 'application/octet-stream');
    state.unsaved = false;
  },
  exportMidi() {
    if (!midi.available) return message('This page cannot write MIDI files yet.');
    download(midi.save(model.song), `${state.name}.mid`, 'audio/midi');
  },
  // The song once through, rendered by the decoder.
  exportWav() {
    const l_Song = tw.open(model.song.toBytes());
    try {
      download(wav(tw, l_Song.read(Math.ceil(l_Song.duration * EXPORT_RATE), EXPORT_RATE), EXPORT_RATE), `${state.name}.wav`, 'audio/wav');
    } finally {
      l_Song.close();
    }
  },
  // The same, a WAV per track that sounds, in a zip; rendered a slice at a time, its progress on
  // the button.
  async exportStems() {
    const l_Button = $('export-stems');
    if (l_Button.disabled) return;
    const l_Label = l_Button.textContent;
    l_Button.disabled = true;
    try {
      const { zip, stems } = await renderStems(tw, model.song.toBytes(), EXPORT_RATE, (p_Done) => {
        l_Button.textContent = `Stems ${Math.floor(100 * p_Done)}%`;
      });
      if (stems === 0) return message('No track sounds: there are no stems to export.');
      download(zip, `${state.name}-stems.zip`, 'application/zip');
      status(`${stems} stems exported.`);
    } catch (p_Error) {
      message(`The stems cannot be exported: ${p_Error.message}`);
    } finally {
      l_Button.textContent = l_Label;
      l_Button.disabled = false;
    }
  },
  async share() {
    const l_Link = await shareLink();
    history.replaceState(null, '', l_Link);
    $('share-row').hidden = false;
    $('share-link').value = l_Link;
    $('share-link').select();
    try {
      await navigator.clipboard.writeText(l_Link);
      status('The link is copied.');
    } catch {
      status('Copy the link from the field below.');
    }
  },
};

// --- Autosave: the song after each edit, offered back on the next visit ---
let autosaveTimer = 0;
function autosave() {
  clearTimeout(autosaveTimer);
  autosaveTimer = 0;
  try {
    localStorage.setItem(AUTOSAVE, JSON.stringify({ name: state.name, song: toBase64Url(model.song.toBytes()), at: Date.now() }));
  } catch {
    // Storage full or refused: the song itself is unharmed.
  }
}
addEventListener('pagehide', () => autosaveTimer && autosave());

function offerAutosave() {
  let l_Saved;
  try {
    l_Saved = JSON.parse(localStorage.getItem(AUTOSAVE));
  } catch {
    return;
  }
  if (!l_Saved?.song) return;
  $('restore-text').textContent = `“${l_Saved.name}” was being written here on ${new Date(l_Saved.at).toLocaleString()}.`;
  $('restore').hidden = false;
  $('restore-yes').onclick = () => {
    $('restore').hidden = true;
    try {
      openBytes(fromBase64Url(l_Saved.song), `${l_Saved.name}.org`);
    } catch {
      message('The song kept here cannot be read.');
    }
  };
  $('restore-no').onclick = () => {
    $('restore').hidden = true;
    localStorage.removeItem(AUTOSAVE);
  };
}

// --- Sound: the worklet's copy of the song, muted and soloed on its own mixing desk (the song
// itself keeps every note) ---
const audible = (p_Track) => (state.desk.soloed.some(Boolean) ? state.desk.soloed[p_Track] : !state.desk.muted[p_Track]);
let editId = 0;

function post(p_Command) { audio?.node.port.postMessage(p_Command); }

// Sends the edits p_Calls to the worklet; the promise is kept until it has made them.
function postEdits(p_Calls) {
  if (!audio) return Promise.resolve();
  const l_Id = ++editId;
  return new Promise((p_Done) => {
    audio.waiting.set(l_Id, p_Done);
    post({ type: 'edit', id: l_Id, calls: p_Calls });
  });
}
// Kept until the worklet has done every command sent before (it does them in the order sent).
const settled = () => postEdits([]);

// Hands the worklet the song, muted and soloed as the last one was; p_Keep: another version of the
// one it plays, which goes on from where it is (else a new song, stopped).
function sendSong(p_Keep = false) {
  if (!audio) return;
  const l_Desk = state.desk.muted.length ? { desk: state.desk } : {};
  post({ type: 'open', bytes: model.song.toBytes(), loops: -1, volume: 0.5, play: p_Keep && state.playing, keepPosition: p_Keep, ...l_Desk });
  if (!p_Keep) setPlaying(false);
}

// Mutes or solos a track (p_Kind: 'mute' or 'solo'), or no longer; the track list follows once the
// worklet's library reports it.
function toggle(p_Kind, p_Track) {
  const l_On = p_Kind === 'mute' ? state.desk.muted[p_Track] : state.desk.soloed[p_Track];
  post({ type: 'desk', track: p_Track, [p_Kind]: !l_On });
}

// Each track's level in the track list: its RMS over the last meter report, in decibels from -48 to 0.
function showLevels(p_Levels) {
  state.levels = p_Levels;
  const l_Rows = $('tracks').children;
  for (let l_Track = 0; l_Track < l_Rows.length; ++l_Track) {
    const l_Rms = p_Levels[l_Track]?.rms ?? 0;
    const l_Share = l_Rms > 0 ? Math.max(0, Math.min(1, 1 + Math.log10(l_Rms) * (20 / 48))) : 0;
    l_Rows[l_Track].querySelector('.level').style.setProperty('--level', l_Share.toFixed(3));
  }
}

// The worklet node on p_Context, following the song from now on (the page's own output, or an
// offline context that renders it).
async function attachAudio(p_Context) {
  const l_Node = await makeNode(p_Context);
  audio = { context: p_Context, node: l_Node, waiting: new Map(), report: null };
  // The tracks read apart, for their levels.
  l_Node.port.postMessage({ type: 'meter', on: true });
  l_Node.port.onmessage = (p_Event) => {
    const l_Data = p_Event.data;
    if (l_Data.type === 'edited') {
      audio.waiting.get(l_Data.id)?.();
      audio.waiting.delete(l_Data.id);
    } else if (l_Data.type === 'position') audio.report = { position: l_Data.position, at: p_Context.currentTime };
    else if (l_Data.type === 'ended') stop();
    else if (l_Data.type === 'meter') showLevels(Array.from(l_Data.peak, (p_Peak, p_Track) => ({ peak: p_Peak, rms: l_Data.rms[p_Track] })));
    else if (l_Data.type === 'desk') {
      state.desk = { muted: l_Data.muted, soloed: l_Data.soloed };
      showTracks();
    }
    else if (l_Data.type === 'noteBeat') playing.noteBeat(l_Data);
    else if (l_Data.type === 'sounded') audio.sounded?.(l_Data);
    else if (l_Data.type === 'error') message(l_Data.message);
  };
  sendSong();
  return l_Node;
}

// Seconds into the song at which p_Beat starts (before the loop's end, the first time through).
const secondsOf = (p_Beat) => ((p_Beat + 0.5) * model.tempo) / 1000;

function setPlaying(p_Playing) {
  state.playing = p_Playing;
  if (!p_Playing) editor.playhead = null;
  editor.render();
  if (p_Playing) requestAnimationFrame(followPlayhead);
}

function followPlayhead() {
  if (!state.playing || !audio) return;
  const l_Report = audio.report;
  if (l_Report) {
    const l_Beat = model.song.beatAt(l_Report.position + Math.max(0, audio.context.currentTime - l_Report.at));
    if (l_Beat !== editor.playhead) {
      editor.playhead = l_Beat;
      const l_View = editor.view;
      if (l_Beat < l_View.beat || l_Beat > l_View.beat + editor.beatsShown - 2) editor.scroll(l_Beat - l_View.beat, 0);
      editor.render();
    }
  }
  requestAnimationFrame(followPlayhead);
}

// p_FromCursor: from the cursor even with notes selected (a take starts there).
async function play(p_FromCursor = false) {
  if (!audio) return message('No sound here: the audio did not start.');
  if (model.loop.end === model.loop.start) return message('The song ends where its loop ends: give it a loop (on the ruler or in the Loop fields).');
  const l_Selected = p_FromCursor ? [] : editor.selected();
  const l_From = l_Selected.length ? Math.min(...l_Selected.map((p_Note) => p_Note.beat)) : editor.cursor.beat;
  audio.report = { position: secondsOf(l_From) - 0.0005, at: audio.context.currentTime };
  post({ type: 'seek', seconds: secondsOf(l_From) });
  post({ type: 'play' });
  setPlaying(true);
  // An offline context (a test's) renders when told to; the page's own waits for a gesture.
  if (audio.context instanceof AudioContext) await audio.context.resume();
}

function stop() {
  if (playing.take) {
    playing.endTake();
    $('record').setAttribute('aria-pressed', 'false');
    editor.changed();
  }
  post({ type: 'pause' });
  setPlaying(false);
  showLevels([]);
}

// Starts a take from the cursor (the song playing), or ends the one being recorded.
async function record() {
  if (playing.take) return stop();
  if (!audio) return message('No sound here: the audio did not start.');
  if (state.playing) stop();
  if (model.loop.end === model.loop.start) return message('The song ends where its loop ends: give it a loop (on the ruler or in the Loop fields).');
  Object.assign(playing.settings, { quantise: Number($('quantise').value), countIn: $('count-in').checked, metronome: $('metronome').checked,
    clickVolume: Number($('click-volume').value), replace: $('punch').value === 'replace' });
  playing.startTake();
  $('record').setAttribute('aria-pressed', 'true');
  await play(true);
  // The playhead waits out the count-in.
  if (playing.settings.countIn && audio.report) audio.report.at += (model.barLayout.perBar * model.barLayout.perBeat * model.tempo) / 1000;
}

function setPiano(p_On) {
  playing.releaseAll();
  playing.piano = p_On;
  $('piano').setAttribute('aria-pressed', String(p_On));
  status(p_On ? `The keyboard plays notes from C${playing.octave} (\` for shortcuts).` : 'The keyboard does shortcuts.');
}

// Plays a note of p_Track's instrument, as notes played in sound: from the worklet's live song.
function preview(p_Track) {
  if (!audio) return message('No sound here: the audio did not start.');
  playing.sound(`preview${++playing.nextId}`, { track: p_Track, key: p_Track < MELODY_TRACKS ? 57 : 48, volume: 200, pan: 6 }, PREVIEW_SECONDS);
  // The page's own context waits for a gesture (this one); an offline context renders when told to.
  if (audio.context instanceof AudioContext) audio.context.resume();
}

// --- Showing the song ---
const trackName = (p_Track) => (p_Track < MELODY_TRACKS ? `Melody ${p_Track + 1}` : `Drum ${p_Track - MELODY_TRACKS + 1}`);

function showTracks() {
  const l_List = $('tracks');
  if (l_List.children.length !== TRACKS) {
    l_List.replaceChildren(...Array.from({ length: TRACKS }, (_, p_Track) => {
      const l_Row = document.createElement('li');
      const l_Drums = p_Track >= MELODY_TRACKS;
      const l_Options = Array.from({ length: l_Drums ? INSTRUMENTS.drums : INSTRUMENTS.melody },
        (__, p_Instrument) => `<option value="${p_Instrument}">${instrumentName(tw, l_Drums, p_Instrument)}</option>`).join('');
      l_Row.innerHTML = `<button class="name" aria-pressed="false"></button>
        <span class="level" role="presentation"></span>
        <select aria-label="${trackName(p_Track)} instrument">${l_Options}</select>
        <button class="hear" aria-label="Hear ${trackName(p_Track)}'s instrument" title="Hear it (I)">♪</button>
        <button class="mute" aria-label="Mute ${trackName(p_Track)}" title="Mute (M)">M</button>
        <button class="solo" aria-label="Solo ${trackName(p_Track)}" title="Solo (O)">S</button>`;
      l_Row.querySelector('.name').textContent = trackName(p_Track);
      l_Row.querySelector('.name').onclick = () => chooseTrack(p_Track);
      const l_Select = l_Row.querySelector('select');
      l_Select.onchange = () => {
        if (attempt(() => model.edit((p_Edit) => p_Edit.set('instrument', Number(l_Select.value), p_Track)))) preview(p_Track);
      };
      l_Row.querySelector('.hear').onclick = () => preview(p_Track);
      l_Row.querySelector('.mute').onclick = () => toggle('mute', p_Track);
      l_Row.querySelector('.solo').onclick = () => toggle('solo', p_Track);
      l_Row.style.setProperty('--colour', COLOURS[p_Track % COLOURS.length]);
      return l_Row;
    }));
  }
  const l_Picker = $('track-picker');
  if (l_Picker.options.length !== TRACKS)
    l_Picker.replaceChildren(...Array.from({ length: TRACKS }, (_, p_Track) => new Option(trackName(p_Track), String(p_Track))));
  l_Picker.value = String(editor.track);
  [...l_List.children].forEach((p_Row, p_Track) => {
    const l_Track = model.tracks[p_Track];
    p_Row.querySelector('.name').setAttribute('aria-pressed', String(p_Track === editor.track));
    p_Row.querySelector('.name').title = `${l_Track.notes} notes`;
    p_Row.querySelector('select').value = String(l_Track.instrument);
    p_Row.querySelector('.mute').setAttribute('aria-pressed', String(Boolean(state.desk.muted[p_Track])));
    p_Row.querySelector('.solo').setAttribute('aria-pressed', String(Boolean(state.desk.soloed[p_Track])));
    p_Row.classList.toggle('silent', !audible(p_Track));
  });
}

function chooseTrack(p_Track) {
  editor.track = p_Track;
  editor.changed();
}

// The fields show the song's values and the selection's (or the next note's).
function showSong() {
  const l_Fields = { tempo: model.tempo, 'per-bar': model.barLayout.perBar, 'per-beat': model.barLayout.perBeat, 'loop-start': model.loop.start, 'loop-end': model.loop.end };
  const l_Selected = editor.selected();
  const l_Note = l_Selected[0] ?? editor.newNote;
  Object.assign(l_Fields, { length: l_Note.length, volume: l_Note.volume, pan: l_Note.pan });
  for (const [l_Id, l_Value] of Object.entries(l_Fields)) if (document.activeElement !== $(l_Id)) $(l_Id).value = String(l_Value);
  $('undo').disabled = model.undoStack.length === 0;
  $('redo').disabled = model.redoStack.length === 0;
  $('export-midi').disabled = !midi.available;
  const l_Track = editor.track < MELODY_TRACKS ? ` · cursor ${keyName(editor.cursor.key)}` : '';
  status(`${trackName(editor.track)} · beat ${editor.cursor.beat}${l_Track} · ${l_Selected.length} selected`);
  showTracks();
}
editor.onChange = showSong;

// The song is kept once it is changed: a song opened (a file, a link) does not take the place of
// the one written here before until it is written in itself.
model.listen((p_Event) => {
  state.unsaved = p_Event.type !== 'load';
  if (p_Event.type === 'load') sendSong();
  else if (p_Event.type === 'replace') sendSong(true);
  else if (p_Event.calls.length) postEdits(p_Event.calls);
  editor.prune();
  if (p_Event.type !== 'load') {
    clearTimeout(autosaveTimer);
    autosaveTimer = setTimeout(autosave, AUTOSAVE_DELAY);
  }
});

// --- Controls ---
const edit = (p_Body) => attempt(() => model.edit(p_Body));
const commands = {
  undo: () => attempt(() => model.undo()),
  redo: () => attempt(() => model.redo()),
  cut() { commands.copy(); attempt(() => editor.deleteSelection()); },
  copy() { state.clip = editor.copy() ?? state.clip; },
  paste() { attempt(() => editor.paste(state.clip)); },
  transpose(p_Keys) {
    if (!editor.selection.size) return status('Select the notes to transpose first.');
    attempt(() => editor.moveSelection(0, p_Keys));
  },
  tool(p_Tool) {
    editor.tool = p_Tool;
    document.querySelector(`input[name="tool"][value="${p_Tool}"]`).checked = true;
  },
};

$('new').onclick = actions.newSong;
$('open').onclick = () => $('file').click();
$('file').onchange = () => $('file').files[0] && openFile($('file').files[0]);
$('save').onclick = actions.save;
$('export-midi').onclick = actions.exportMidi;
$('export-wav').onclick = () => attempt(actions.exportWav);
$('export-stems').onclick = actions.exportStems;
$('share').onclick = actions.share;
$('play').onclick = () => play();
$('stop').onclick = stop;
$('record').onclick = record;
$('piano').onclick = () => setPiano(!playing.piano);
$('track-picker').onchange = () => chooseTrack(Number($('track-picker').value));
$('menu').onclick = () => {
  const l_Open = $('drop').classList.toggle('menu-open');
  $('menu').setAttribute('aria-expanded', String(l_Open));
};
for (let l_Channel = 1; l_Channel <= 16; ++l_Channel) $('midi-channel').append(new Option(String(l_Channel), String(l_Channel)));
const midiInput = async () => {
  if (!$('midi').checked) return playing.midiOff();
  if (!(await playing.midiOn(tw, Number($('midi-channel').value)))) $('midi').checked = false;
};
$('midi').onchange = midiInput;
$('midi-channel').onchange = midiInput;
keyLabels([...Object.keys(PIANO), ...Object.keys(OCTAVE_KEYS)]).then((p_Labels) => {
  const l_Row = (p_Codes) => p_Codes.map((p_Code) => p_Labels[p_Code]).join(' ');
  $('piano-low').textContent = l_Row(['KeyZ', 'KeyS', 'KeyX', 'KeyD', 'KeyC', 'KeyV', 'KeyG', 'KeyB', 'KeyH', 'KeyN', 'KeyJ', 'KeyM']);
  $('piano-high').textContent = l_Row(['KeyQ', 'Digit2', 'KeyW', 'Digit3', 'KeyE', 'KeyR', 'Digit5', 'KeyT', 'Digit6', 'KeyY', 'Digit7', 'KeyU']);
  $('piano-octave').textContent = l_Row(['Minus', 'Equal']);
});
$('undo').onclick = commands.undo;
$('redo').onclick = commands.redo;
$('down12').onclick = () => commands.transpose(-12);
$('down1').onclick = () => commands.transpose(-1);
$('up1').onclick = () => commands.transpose(1);
$('up12').onclick = () => commands.transpose(12);
$('shortcuts').onclick = () => $('keys').showModal();
for (const l_Radio of document.querySelectorAll('input[name="tool"]')) l_Radio.onchange = () => commands.tool(l_Radio.value);
$('lane').onchange = () => {
  editor.valueField = $('lane').value;
  editor.render();
};
const numberField = (p_Id, p_Apply) => $(p_Id).addEventListener('change', () => {
  const l_Value = Number($(p_Id).value);
  if (!Number.isInteger(l_Value)) return showSong();
  p_Apply(l_Value);
  showSong();
});
numberField('tempo', (p_Value) => edit((p_Edit) => p_Edit.set('tempo', p_Value)));
numberField('per-bar', (p_Value) => edit((p_Edit) => p_Edit.set('barLayout', [p_Value, model.barLayout.perBeat])));
numberField('per-beat', (p_Value) => edit((p_Edit) => p_Edit.set('barLayout', [model.barLayout.perBar, p_Value])));
numberField('loop-start', (p_Value) => edit((p_Edit) => p_Edit.set('loop', [p_Value, Math.max(p_Value, model.loop.end)])));
numberField('loop-end', (p_Value) => edit((p_Edit) => p_Edit.set('loop', [Math.min(p_Value, model.loop.start), p_Value])));
// Length, volume and pan: those of the selected notes, or of the next note drawn.
for (const l_Field of ['length', 'volume', 'pan'])
  numberField(l_Field, (p_Value) => {
    const [l_Low, l_High] = NOTE_RANGE[l_Field];
    if (p_Value < l_Low || p_Value > l_High) return message(`The ${l_Field} is from ${l_Low} to ${l_High}.`);
    editor.newNote[l_Field] = p_Value;
    if (editor.selection.size) attempt(() => editor.setSelected(l_Field, p_Value));
  });

acceptDrops($('drop'), openFile);

// The keyboard: everywhere but in a field or a list, where the keys are theirs (but Space, which
// plays and stops wherever the focus is but on a control that Space works: a field, a check box, a
// radio button, a slider, a list; on a button it plays, not clicks).
const ownsSpace = (p_Target) => p_Target instanceof HTMLInputElement || p_Target instanceof HTMLSelectElement ||
  p_Target instanceof HTMLTextAreaElement || Boolean(p_Target.isContentEditable);
document.addEventListener('keydown', (p_Event) => {
  const l_Target = p_Event.target;
  if (p_Event.code === 'Space' && !ownsSpace(l_Target) && !$('keys').open && !p_Event.ctrlKey && !p_Event.metaKey && !p_Event.altKey) {
    p_Event.preventDefault();
    if (p_Event.repeat) return;
    if (p_Event.shiftKey) record();
    else if (state.playing) stop();
    else play();
    return;
  }
  if (l_Target instanceof HTMLInputElement || l_Target instanceof HTMLSelectElement || $('keys').open) return;
  if (playing.key(p_Event, true)) return p_Event.preventDefault();
  playing.enterPending();
  if (p_Event.code === 'Backquote' && !p_Event.ctrlKey && !p_Event.metaKey) {
    setPiano(!playing.piano);
    return p_Event.preventDefault();
  }
  const l_Ctrl = p_Event.ctrlKey || p_Event.metaKey;
  const l_Key = p_Event.key.length === 1 ? p_Event.key.toLowerCase() : p_Event.key;
  const l_Selection = editor.selection.size > 0;
  const l_Cursor = editor.cursor;
  const l_Step = model.barLayout.perBeat;
  const l_Digit = /^Digit([1-8])$/.exec(p_Event.code);
  if (l_Ctrl) {
    const l_Do = { z: p_Event.shiftKey ? commands.redo : commands.undo, y: commands.redo, a: () => editor.selectAll(), x: commands.cut,
      c: commands.copy, v: commands.paste, s: actions.save, o: () => $('file').click() }[l_Key];
    if (p_Event.altKey && l_Key === 'n') actions.newSong();
    else if (l_Do) l_Do();
    else return;
  } else if (l_Digit && !p_Event.altKey) chooseTrack(Number(l_Digit[1]) - 1 + (p_Event.shiftKey ? MELODY_TRACKS : 0));
  else if (l_Target instanceof HTMLButtonElement && l_Key === 'Enter') return;
  else {
    switch (l_Key) {
      case 'Delete': case 'Backspace': attempt(() => editor.deleteSelection()); break;
      case 'Escape': editor.select([]); break;
      case 'Enter': attempt(() => editor.placeNote()); break;
      case 'ArrowUp': case 'ArrowDown': {
        const l_Keys = (l_Key === 'ArrowUp' ? 1 : -1) * (p_Event.shiftKey ? 12 : 1);
        if (l_Selection) commands.transpose(l_Keys);
        else {
          l_Cursor.key = Math.max(0, Math.min(KEYS - 1, l_Cursor.key + l_Keys));
          editor.reveal();
        }
        break;
      }
      case 'ArrowLeft': case 'ArrowRight': {
        const l_Beats = (l_Key === 'ArrowRight' ? 1 : -1) * (p_Event.shiftKey ? l_Step : 1);
        if (l_Selection) attempt(() => editor.moveSelection(l_Beats, 0));
        else {
          l_Cursor.beat = Math.max(0, l_Cursor.beat + l_Beats);
          editor.reveal();
        }
        break;
      }
      case 'd': commands.tool('draw'); break;
      case 's': commands.tool('select'); break;
      case 'e': commands.tool('erase'); break;
      case 'm': toggle('mute', editor.track); break;
      case 'o': toggle('solo', editor.track); break;
      case 'i': preview(editor.track); break;
      case 'l': $('lane').value = editor.valueField = editor.valueField === 'volume' ? 'pan' : 'volume'; editor.render(); break;
      case '=': case '+': editor.zoom(1.25, 'beats'); break;
      case '-': editor.zoom(0.8, 'beats'); break;
      case ']': editor.zoom(1.25, 'keys'); break;
      case '[': editor.zoom(0.8, 'keys'); break;
      case 'PageUp': editor.scroll(0, -editor.rowsShown / 2); break;
      case 'PageDown': editor.scroll(0, editor.rowsShown / 2); break;
      case 'Home': l_Cursor.beat = 0; editor.reveal(); break;
      case '?': $('keys').showModal(); break;
      default: return;
    }
  }
  p_Event.preventDefault();
});

// A key let go ends its note wherever the focus went; Space let go on a button does not click it.
document.addEventListener('keyup', (p_Event) => {
  if (p_Event.code === 'Space' && p_Event.target instanceof HTMLButtonElement) p_Event.preventDefault();
  playing.key(p_Event, false);
});
addEventListener('blur', () => playing.releaseAll());

// The song of the link, else a blank one (an autosaved song is offered).
const l_Shared = /^#song=([A-Za-z0-9_-]+)$/.exec(location.hash);
let l_Opened = false;
if (l_Shared) {
  try {
    l_Opened = openBytes(await through(fromBase64Url(l_Shared[1]), new DecompressionStream('deflate-raw')), 'shared.org');
  } catch (p_Error) {
    message(`The link holds no song: ${p_Error.message}`);
  }
}
if (!l_Opened) {
  loadSong(blankSong(), 'untitled');
  offerAutosave();
}
if ('serviceWorker' in navigator && location.protocol !== 'file:') navigator.serviceWorker.register('sw.js').catch(() => {});
// The audio graph is made now, so that play only has to resume it (a user's gesture).
const sound = attachAudio(new AudioContext({ latencyHint: 'interactive' })).catch((p_Error) => message(`No sound: ${p_Error.message}`));
// What tests and benchmarks reach from outside.
window.composer = { tw, model, editor, playing, sound, attachAudio, settled, play, stop, record, setPiano, get audio() { return audio; }, get isPlaying() { return state.playing; },
  get desk() { return state.desk; }, get levels() { return state.levels; } };
