// The composer: a song written note by note in the browser. The song lives in the decoder (model.js
// keeps its history); the canvas (editor.js) edits it; the player's worklet plays a copy of it that
// follows every edit (sound.js). What goes around them has a file each: the track list, the
// keyboard, the bars' edits (sections.js), the link and autosave codec, the autosave, and the
// exports, rendered in a worker. This file wires them to the page's controls.
import { createTunewright } from '../index.js';
import { decoderModule } from '../player/audio.js';
import { acceptDrops } from '../player/drop.js';
import { Autosave, historyBytes } from './autosave.js';
import { LINK_PREFIX, LinkError, MAX_LINK, readFragment, songFragment } from './codec.js';
import { Editor, keyName } from './editor.js';
import { Exports } from './exports.js';
import { installKeys } from './keymap.js';
import { KEYS, MELODY_TRACKS, Model, NOTE_RANGE, learnLimits } from './model.js';
import { OCTAVE_KEYS, PIANO, Playing, keyLabels } from './play.js';
import { clearSection, copySection, deleteBars, insertBars, paste, sectionTracks, transposeSection } from './sections.js';
import { Sound } from './sound.js';
import { TrackList, trackName } from './tracklist.js';

const $ = (p_Id) => document.getElementById(p_Id);

const tw = await createTunewright({ module: await decoderModule });
learnLimits(tw);
const model = new Model(tw);
const editor = new Editor($('editor'), model);
// desk: the tracks muted and soloed, a flag each, as the library in the worklet reports them.
const state = { name: 'untitled', unsaved: false, desk: { muted: [], soloed: [] }, levels: [], clip: null };
// Notes played in: heard from the worklet's live song, entered or recorded.
const playing = new Playing({
  model, editor, message, status,
  post: (p_Command) => post(p_Command),
  playing: () => sound.isPlaying,
  seconds: () => sound.seconds(),
  hear: () => $('hear').checked,
});
editor.onNote = (p_Track, p_Note) => playing.hearNote(p_Track, p_Note);

// The message line; p_Offer: { label, run } a button beside it that does what the message offers.
function message(p_Text, p_Offer = null) {
  $('message-text').textContent = p_Text;
  $('message').hidden = !p_Text;
  $('message-do').hidden = !p_Offer;
  if (p_Offer) {
    $('message-do').textContent = p_Offer.label;
    $('message-do').onclick = () => (message(''), p_Offer.run());
  }
}
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

function download(p_Data, p_Name, p_Type) {
  const l_Link = document.createElement('a');
  l_Link.href = URL.createObjectURL(p_Data instanceof Blob ? p_Data : new Blob([p_Data], { type: p_Type }));
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
// The autosave's word on start goes after one already in the message line (a bad link's, say).
const autosave = new Autosave({ model, status, message, name: () => state.name, ask: askRestore,
  addMessage: (p_Text) => message($('message').hidden ? p_Text : `${$('message-text').textContent} ${p_Text}`) });

function loadSong(p_Song, p_Name) {
  autosave.flush();  // the last edits of the song put aside
  state.name = p_Name;
  document.title = `${p_Name} – tunewright composer`;
  model.load(p_Song);
  editor.cursor = { beat: 0, key: 57 };
  editor.section = null;
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

function askRestore(p_Text, p_Restore, p_Discard) {
  $('restore-text').textContent = p_Text;
  $('restore').hidden = false;
  $('restore-yes').onclick = () => {
    $('restore').hidden = true;
    p_Restore();
  };
  $('restore-no').onclick = () => {
    $('restore').hidden = true;
    p_Discard();
  };
}

// The export's loops and fade from their fields, or the sentence why they are not ones.
function exportOptions() {
  const l_Loops = Number($('export-loops').value);
  const l_Fade = Number($('export-fade').value);
  if (!Number.isInteger(l_Loops) || l_Loops < Number($('export-loops').min) || l_Loops > Number($('export-loops').max))
    return `The loops to export are a whole number from ${$('export-loops').min} to ${$('export-loops').max}.`;
  if (!Number.isFinite(l_Fade) || l_Fade < 0 || l_Fade > Number($('export-fade').max))
    return `The fade is from 0 to ${$('export-fade').max} seconds.`;
  return { loops: l_Loops, fade: l_Fade };
}
const exports = new Exports({ message, status, download: (p_Blob, p_Name) => download(p_Blob, p_Name), progress: $('export-progress'),
  panel: $('export-panel'), cancel: $('export-cancel'), options: exportOptions });

const actions = {
  newSong() {
    if (state.unsaved && !confirm(`Put “${state.name}” aside for a new song? Its changes since it was saved are not in a file.`)) return;
    loadSong(blankSong(), 'untitled');
  },
  save() {
    download(model.toBytes(), `${state.name}.org`, 'application/octet-stream');
    state.unsaved = false;
  },
  exportMidi() {
    if (!midi.available) return message('This page cannot write MIDI files yet.');
    download(midi.save(model), `${state.name}.mid`, 'audio/midi');
  },
  exportWav: () => exports.run('wav', model.toBytes(), state.name),
  exportStems: () => exports.run('stems', model.toBytes(), state.name),
  async share() {
    const l_Link = `${location.origin}${location.pathname}${await songFragment(model.toBytes())}`;
    if (l_Link.length > MAX_LINK) {
      $('share-row').hidden = true;
      return message(`This song is too large for a link: it takes ${l_Link.length.toLocaleString('en')} characters, more than the ` +
        `${MAX_LINK / 1e6} MB a link can hold. Save it as a file to share it.`, { label: 'Save', run: actions.save });
    }
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

// --- Sound ---
const sound = new Sound({ model, editor, playing, message,
  desk: (p_Desk) => { state.desk = p_Desk; trackList.show(); },
  levels: (p_Levels) => { state.levels = p_Levels; trackList.showLevels(p_Levels); },
  recording: (p_On) => $('record').setAttribute('aria-pressed', String(p_On)) });
// The levels are read only while the track list shows them (a phone's screen folds it away).
new ResizeObserver(([p_Entry]) => sound.meter(p_Entry.contentRect.height > 0)).observe($('tracks'));
const post = (p_Command) => sound.post(p_Command);
const settled = () => sound.settled();
const play = (p_FromCursor) => sound.play(p_FromCursor);
const stop = () => sound.stop();
const toggle = (p_Kind, p_Track) => sound.toggle(p_Kind, p_Track);
const preview = (p_Track) => sound.preview(p_Track);
const record = () => sound.record({ quantise: Number($('quantise').value), countIn: $('count-in').checked, metronome: $('metronome').checked,
  clickVolume: Number($('click-volume').value), replace: $('punch').value === 'replace' });

function setPiano(p_On) {
  playing.releaseAll();
  playing.piano = p_On;
  $('piano').setAttribute('aria-pressed', String(p_On));
  status(p_On ? `The keyboard plays notes from C${playing.octave} (\` for shortcuts).` : 'The keyboard does shortcuts.');
}

// --- Showing the song ---
function chooseTrack(p_Track) {
  editor.track = p_Track;
  editor.changed();
}

const trackList = new TrackList({ tw, model, editor, list: $('tracks'), picker: $('track-picker'), choose: chooseTrack, preview, toggle,
  desk: () => state.desk,
  setInstrument: (p_Track, p_Instrument) => {
    if (attempt(() => model.edit((p_Edit) => p_Edit.set('instrument', p_Instrument, p_Track)))) preview(p_Track);
  } });

// The fields show the song's values and the selection's (or the next note's).
function showSong() {
  const l_Fields = { tempo: model.tempo, 'per-bar': model.barLayout.perBar, 'per-beat': model.barLayout.perBeat, 'loop-start': model.loop.start, 'loop-end': model.loop.end };
  const l_Selected = editor.selected();
  const l_Note = l_Selected[0] ?? editor.newNote;
  const l_Chosen = model.track(editor.track);
  Object.assign(l_Fields, { length: l_Note.length, volume: l_Note.volume, pan: l_Note.pan, 'fine-tune': l_Chosen.fineTune });
  for (const [l_Id, l_Value] of Object.entries(l_Fields)) if (document.activeElement !== $(l_Id)) $(l_Id).value = String(l_Value);
  $('no-loop').checked = l_Chosen.noLoop;
  $('no-loop').disabled = l_Chosen.drums;  // a drum plays once through anyway
  $('undo').disabled = !model.canUndo;
  $('redo').disabled = !model.canRedo;
  $('export-midi').disabled = !midi.available;
  $('bars-row').hidden = !editor.section;
  if (editor.section) $('bars-text').textContent = `Bars ${editor.section.start / editor.barBeats + 1}–${editor.section.end / editor.barBeats}:`;
  const l_Track = editor.track < MELODY_TRACKS ? ` · cursor ${keyName(editor.cursor.key)}` : '';
  status(`${trackName(editor.track)} · beat ${editor.cursor.beat}${l_Track} · ${l_Selected.length} selected`);
  trackList.show();
}
editor.onChange = showSong;

// The song is kept once it is changed: a song opened (a file, a link) does not take the place of
// the one written here before until it is written in itself.
model.listen((p_Event) => {
  if (p_Event.type === 'history') return showSong();
  state.unsaved = p_Event.type !== 'load';
  if (p_Event.type === 'load') sound.sendSong();
  else if (p_Event.type === 'replace') sound.sendSong(true);
  else if (p_Event.calls.length) sound.postEdits(p_Event.calls);
  editor.prune();
  if (p_Event.type !== 'load') autosave.soon();
});

// --- Controls ---
const edit = (p_Body) => attempt(() => model.edit(p_Body));
const replacing = () => $('paste-over').value === 'replace';
const chosenTracks = () => sectionTracks($('section-tracks').value, editor.track);
// The count of the Times field, or null (said why) when it is not one.
function times() {
  const l_Times = Number($('times').value);
  if (Number.isInteger(l_Times) && l_Times >= 1 && l_Times <= Number($('times').max)) return l_Times;
  message(`Times is a whole number from 1 to ${$('times').max}.`);
  return null;
}
// What a paste did, in the message line: every note written over is counted.
function pasted(p_Done) {
  const l_Notes = (p_Count) => `${p_Count} note${p_Count === 1 ? '' : 's'}`;
  let l_Text = `${l_Notes(p_Done.placed)} pasted`;
  if (p_Done.replaced) l_Text += `; ${l_Notes(p_Done.replaced)} in the way replaced`;
  if (p_Done.refused) l_Text += `; ${l_Notes(p_Done.refused)} not pasted: a note was in the way (Paste over notes is refused)`;
  message(`${l_Text}.`);
}

const commands = {
  undo: () => attempt(() => model.undo()),
  redo: () => attempt(() => model.redo()),
  cut() {
    commands.copy();
    if (editor.section) attempt(() => clearSection(model, chosenTracks(), editor.section));
    else attempt(() => editor.deleteSelection());
  },
  copy() {
    if (editor.section) state.clip = copySection(model, chosenTracks(), editor.section);
    else {
      const l_Notes = editor.copy();
      if (l_Notes) state.clip = { length: 0, notes: l_Notes };
    }
  },
  paste() {
    if (!state.clip?.notes.length) return status('Copy notes or bars first.');
    let l_Done;
    if (attempt(() => (l_Done = paste(model, state.clip, editor.cursor.beat, replacing())))) {
      editor.select(l_Done.notes);
      pasted(l_Done);
    }
  },
  // The section's bars again after it, Times times.
  duplicate() {
    if (!editor.section) return status('Select bars on the ruler first.');
    const l_Times = times();
    if (l_Times === null) return;
    const l_Clip = copySection(model, chosenTracks(), editor.section);
    let l_Done;
    if (attempt(() => (l_Done = paste(model, l_Clip, editor.section.end, replacing(), l_Times)))) {
      editor.setSection({ start: editor.section.start, end: editor.section.end + l_Times * l_Clip.length });
      pasted(l_Done);
    }
  },
  // Times empty bars before the section (or the cursor's bar).
  insertBars() {
    const l_Times = times();
    if (l_Times === null) return;
    const l_At = editor.section?.start ?? editor.barOf(editor.cursor.beat) * editor.barBeats;
    attempt(() => insertBars(model, l_At, l_Times * editor.barBeats));
  },
  deleteBars() {
    if (!editor.section) return status('Select bars on the ruler first.');
    const l_Section = editor.section;
    if (attempt(() => deleteBars(model, l_Section))) editor.setSection(null);
  },
  delete() {
    if (editor.section) attempt(() => clearSection(model, chosenTracks(), editor.section));
    else attempt(() => editor.deleteSelection());
  },
  transpose(p_Keys) {
    if (!editor.selection.size && editor.section) return attempt(() => transposeSection(model, chosenTracks(), editor.section, p_Keys, KEYS));
    if (!editor.selection.size) return status('Select the notes to transpose first.');
    attempt(() => editor.moveSelection(0, p_Keys));
  },
  moveSelection: (p_Beats) => attempt(() => editor.moveSelection(p_Beats, 0)),
  placeNote: () => attempt(() => editor.placeNote()),
  tool(p_Tool) {
    editor.tool = p_Tool;
    document.querySelector(`input[name="tool"][value="${p_Tool}"]`).checked = true;
  },
  lane() {
    $('lane').value = editor.valueField = editor.valueField === 'volume' ? 'pan' : 'volume';
    editor.render();
  },
};

$('new').onclick = actions.newSong;
$('open').onclick = () => $('file').click();
$('file').onchange = () => $('file').files[0] && openFile($('file').files[0]);
$('save').onclick = actions.save;
$('export-midi').onclick = actions.exportMidi;
$('export-wav').onclick = actions.exportWav;
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
$('copy').onclick = commands.copy;
$('cut').onclick = commands.cut;
$('paste').onclick = commands.paste;
$('duplicate').onclick = commands.duplicate;
$('insert-bars').onclick = commands.insertBars;
$('delete-bars').onclick = commands.deleteBars;
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
// The chosen track's fine tune and its melody's looping, heard at once.
numberField('fine-tune', (p_Value) => {
  if (edit((p_Edit) => p_Edit.set('fineTune', p_Value, editor.track))) preview(editor.track);
});
$('no-loop').onchange = () => {
  if (edit((p_Edit) => p_Edit.set('noLoop', $('no-loop').checked, editor.track))) preview(editor.track);
  showSong();
};
// Length, volume and pan: those of the selected notes, or of the next note drawn.
for (const l_Field of ['length', 'volume', 'pan'])
  numberField(l_Field, (p_Value) => {
    const [l_Low, l_High] = NOTE_RANGE[l_Field];
    if (p_Value < l_Low || p_Value > l_High) return message(`The ${l_Field} is from ${l_Low} to ${l_High}.`);
    editor.newNote[l_Field] = p_Value;
    if (editor.selection.size) attempt(() => editor.setSelected(l_Field, p_Value));
  });

acceptDrops($('drop'), openFile);
installKeys({ editor, model, playing, commands, actions, dialog: $('keys'), isPlaying: () => sound.isPlaying, play, stop, record, setPiano,
  chooseTrack, toggle, preview, openFile: () => $('file').click() });

// Opens the song of the page's link; a link that holds none says why in one sentence and changes
// nothing. Gives whether it opened one.
async function openLink() {
  try {
    const l_Bytes = await readFragment(location.hash);
    try {
      tw.open(l_Bytes).close();
    } catch {
      throw new LinkError('This link does not hold a song: it is not a song link.');
    }
    return openBytes(l_Bytes, 'shared.org');
  } catch (p_Error) {
    if (!(p_Error instanceof LinkError)) throw p_Error;
    message(p_Error.message);
    return false;
  }
}
addEventListener('hashchange', () => location.hash.startsWith(LINK_PREFIX) && openLink());

// The song of the link, else a blank one (an autosaved song is offered, with its history).
const l_Opened = location.hash.startsWith(LINK_PREFIX) && (await openLink());
if (!l_Opened) loadSong(blankSong(), 'untitled');
await autosave.claim();
if (!l_Opened) {
  autosave.offer((p_Bytes, p_Name, p_History) => {
    if (openBytes(p_Bytes, `${p_Name}.org`) && p_History) model.restoreHistory(p_History, historyBytes);
  });
}
if ('serviceWorker' in navigator && location.protocol !== 'file:') navigator.serviceWorker.register('sw.js').catch(() => {});
// The audio graph is made now, so that play only has to resume it (a user's gesture).
const started = sound.attach(new AudioContext({ latencyHint: 'interactive' })).catch((p_Error) => message(`No sound: ${p_Error.message}`));
// What tests and benchmarks reach from outside.
window.composer = { tw, model, editor, playing, sound: started, attachAudio: (p_Context) => sound.attach(p_Context), settled, play, stop, record,
  setPiano, exports, autosave, get audio() { return sound.audio; }, get isPlaying() { return sound.isPlaying; }, get desk() { return state.desk; },
  get levels() { return state.levels; } };
