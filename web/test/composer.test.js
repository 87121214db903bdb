// The composer in headless Chromium: a melody and a drum pattern drawn with the pointer, undone and
// redone, come out of Save as exactly those notes (as tunewright-info reads them); a share
// link and the autosave bring the same song back; undo puts back an event no edit call writes; an edit made while the song plays is heard in the
// page's own output within one render quantum; a dropped MIDI file opens as the import gives it.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { unzipSync } from 'fflate';

import { download, info, orgSong, run, screenshot, servePages, wavSamples, webDir } from './kit.js';

const { createTunewright } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();
const QUANTUM = 128;  // frames of one render quantum of Web Audio
let pages;
let tab;

// The notes of every track of the page's song, as its module gives them.
const notesOf = (p_Tab) => p_Tab.evaluate(() => Array.from({ length: 16 }, (_, p_Track) => window.composer.model.notes(p_Track)));

// Opens the composer in a new tab, ready to edit.
async function openComposer(p_Url = 'composer.html') {
  const l_Tab = await pages.open(p_Url);
  await l_Tab.waitForFunction(() => window.composer, { timeout: 20000 });
  return l_Tab;
}

// Drags the pointer from the middle of p_From's cell to p_To's ({ track, beat, key }: key on a
// melody track; a drum track's lane has one row), with the p_Button.
async function drag(p_From, p_To = p_From, p_Button = 'left') {
  const [l_From, l_To] = await tab.evaluate((...p_Cells) => {
    const { editor } = window.composer;
    const l_Box = editor.canvas.getBoundingClientRect();
    return p_Cells.map((p_Cell) => [
      l_Box.left + editor.canvas.clientLeft + editor.x(p_Cell.beat + 0.5),
      l_Box.top + editor.canvas.clientTop + editor.noteY(p_Cell.track, p_Cell.key ?? 0) + editor.rowHeight(p_Cell.track) / 2,
    ]);
  }, p_From, p_To);
  await tab.mouse.move(...l_From);
  await tab.mouse.down({ button: p_Button });
  await tab.mouse.move(...l_To, { steps: 3 });
  await tab.mouse.up({ button: p_Button });
}

// Clicks Save and gives the bytes of the file it downloads, and what tunewright-info reads in it.
async function save(p_Tab) {
  const { bytes, read } = await download(p_Tab, 'Save', '.org', (p_File) => JSON.parse(run(info, ['--json', '--events', p_File]).toString()));
  return { bytes, info: read };
}

const note = (p_Beat, p_Key, p_Length) => ({ beat: p_Beat, key: p_Key, length: p_Length, volume: 200, pan: 6 });
const MELODY = [note(0, 60, 4), note(4, 62, 2), note(6, 64, 2), note(10, 67, 8)];
const KICKS = [note(0, 48, 1), note(4, 48, 1), note(8, 48, 1)];
const SNARES = [note(2, 48, 1), note(6, 48, 1)];
let saved;

before(async () => {
  pages = await servePages();
  tab = await openComposer();
});

after(async () => {
  await pages?.close();
});

test('notes drawn, moved and erased with the pointer, undone and redone, are what Save writes', async () => {
  await drag({ track: 0, beat: 0, key: 60 }, { track: 0, beat: 3, key: 60 });
  await drag({ track: 0, beat: 4, key: 62 }, { track: 0, beat: 5, key: 62 });
  await drag({ track: 0, beat: 6, key: 64 }, { track: 0, beat: 7, key: 64 });
  await drag({ track: 0, beat: 8, key: 65 }, { track: 0, beat: 15, key: 65 });
  for (const l_Beat of [0, 4, 8, 12]) await drag({ track: 8, beat: l_Beat });
  for (const l_Beat of [2, 6]) await drag({ track: 10, beat: l_Beat });
  const l_Drawn = await notesOf(tab);
  // The last melody note moved two beats on and a tone up; the fourth kick erased.
  await drag({ track: 0, beat: 9, key: 65 }, { track: 0, beat: 11, key: 67 });
  await drag({ track: 8, beat: 12 }, undefined, 'right');
  const l_Edited = await notesOf(tab);
  assert.deepEqual(l_Edited[0], MELODY);
  assert.deepEqual([l_Edited[8], l_Edited[10]], [KICKS, SNARES]);

  for (let l_Step = 0; l_Step < 2; ++l_Step) await tab.click('aria/Undo');
  assert.deepEqual(await notesOf(tab), l_Drawn, 'undo puts back the notes as drawn');
  for (let l_Step = 0; l_Step < 2; ++l_Step) await tab.click('aria/Redo');
  assert.deepEqual(await notesOf(tab), l_Edited, 'redo makes the edits again');

  saved = await save(tab);
  const l_Saved = saved.info.tracks.map((p_Track) => p_Track.event_list.map(({ starts_note, ...p_Note }) => p_Note));
  const l_Expected = Array.from({ length: 16 }, () => []);
  [l_Expected[0], l_Expected[8], l_Expected[10]] = [MELODY, KICKS, SNARES];
  assert.deepEqual(l_Saved, l_Expected, 'tunewright-info reads exactly the notes drawn');
  console.log(`the composer page: ${await screenshot(tab, 'composer')}`);
});

test("the roll's frames, recorded on the page and made into pixels by the painter, are the frames drawn", async () => {
  const l_Drawn = await tab.evaluate(async () => {
    const { editor } = window.composer;
    const { Recording, replay } = await import('./composer/layers/recording.js');
    const { id } = await import('./composer/geometry.js');
    // A context that keeps every call, in order, with the properties in force at it (kept across
    // save() and restore() as a context keeps them).
    const l_Logging = (p_Into) => {
      let l_State = {};
      const l_Saved = [];
      return new Proxy({}, {
        get: (p_Target, p_Name) => (...p_Args) => {
          if (p_Name === 'save') l_Saved.push({ ...l_State });
          if (p_Name === 'restore') l_State = l_Saved.pop() ?? l_State;
          p_Into.push([p_Name, ...p_Args, { ...l_State }]);
        },
        set: (p_Target, p_Name, p_Value) => {
          l_State[p_Name] = p_Value;
          return true;
        },
      });
    };
    editor.selection.add(id(0, 4));  // an outlined note and its dashes too
    editor.drag = { kind: 'box', x0: 10, y0: 40, x1: 200, y1: 120 };
    const [l_Direct, l_Replayed] = [[], []];
    editor.drawOn(l_Logging(l_Direct));
    const l_Recording = new Recording();
    editor.drawOn(l_Recording);
    replay(l_Logging(l_Replayed), l_Recording.ops);
    editor.drag = null;
    editor.selection.clear();
    return { direct: l_Direct, replayed: l_Replayed, painted: Boolean(editor.painter.worker) };
  });
  assert.ok(l_Drawn.direct.length > 100 && l_Drawn.direct.some(([p_Name]) => p_Name === 'setLineDash'));
  assert.deepEqual(l_Drawn.replayed, l_Drawn.direct, 'every call of a frame is kept and played back as made, with the properties it was made with');
  assert.ok(l_Drawn.painted, 'the painter worker makes the frames');

  // The first melody note's middle, on the screen, in its track's colour.
  await tab.evaluate(() => window.composer.editor.render());
  await tab.waitForFunction(() => !window.composer.editor.frame && !window.composer.editor.painter.waiting);
  const l_Shot = await tab.screenshot({ encoding: 'base64' });
  const l_Pixel = await tab.evaluate(async (p_Png, p_Note) => {
    const { editor } = window.composer;
    const { COLOURS } = await import('./player/roll.js');
    const l_Image = await createImageBitmap(await (await fetch(`data:image/png;base64,${p_Png}`)).blob());
    const l_C = new OffscreenCanvas(l_Image.width, l_Image.height).getContext('2d');
    l_C.drawImage(l_Image, 0, 0);
    const l_Box = editor.canvas.getBoundingClientRect();
    const l_X = l_Box.left + editor.canvas.clientLeft + editor.x(p_Note.beat + p_Note.length / 2);
    const l_Y = l_Box.top + editor.canvas.clientTop + editor.noteY(0, p_Note.key) + editor.rowHeight(0) / 2;
    const l_Colour = COLOURS[0].match(/[0-9a-f]{2}/g).map((p_Hex) => parseInt(p_Hex, 16));
    return { seen: [...l_C.getImageData(Math.round(l_X), Math.round(l_Y), 1, 1).data.slice(0, 3)], colour: l_Colour };
  }, l_Shot, MELODY[0]);
  assert.deepEqual(l_Pixel.seen, l_Pixel.colour, "the note is on the screen where it is drawn, in its track's colour");
});

test('a share link and the autosave bring the song back', async () => {
  assert.ok(saved, 'the song of the first test');
  await tab.waitForFunction(() => localStorage.getItem('tunewright-composer'));
  await tab.click('aria/Share');
  const l_Link = await (await tab.waitForFunction(() => document.getElementById('share-link').value)).jsonValue();
  assert.match(l_Link, /#song=[A-Za-z0-9_-]+$/);
  const l_Shared = await openComposer(l_Link);
  assert.deepEqual((await save(l_Shared)).bytes, saved.bytes, 'the shared song saves as the same file');
  await l_Shared.close();

  // A visit without a link offers the song written here (in the same browser's storage).
  const l_Later = await openComposer();
  await l_Later.waitForSelector('aria/Restore');
  await l_Later.click('aria/Restore');
  assert.deepEqual((await save(l_Later)).bytes, saved.bytes, 'the restored song saves as the same file');
  assert.deepEqual([...tab.problems, ...l_Later.problems], []);
  await l_Later.close();
});

test('a note drawn over an event that is no note (a later volume) is undone and redone whole', async () => {
  const l_Bytes = orgSong([{ instrument: 0, events: [{ beat: 0, note: 60, length: 4, volume: 200, pan: 6 }, { beat: 2, note: 60, length: 0, volume: 90, pan: 255 }] }], 8);
  const l_Events = () => tab.evaluate(() => window.composer.model.song.notes(0));
  await tab.evaluate((p_Song) => window.composer.model.load(window.composer.tw.open(new Uint8Array(p_Song))), Array.from(l_Bytes));
  const l_Before = await l_Events();
  await drag({ track: 0, beat: 2, key: 64 });
  const l_After = await l_Events();
  assert.deepEqual(l_After[1], note(2, 64, 1), 'the new note takes the beat');
  await tab.click('aria/Undo');
  assert.deepEqual(await l_Events(), l_Before);
  await tab.click('aria/Redo');
  assert.deepEqual(await l_Events(), l_After);
});

test('a drum note\'s key moves as a melody note\'s does; the chosen track\'s fine tune and looping are its settings', async () => {
  const l_Bytes = orgSong({ 8: { instrument: 0, events: [{ beat: 0, note: 48, length: 1, volume: 200, pan: 6 }] } }, 8);
  await tab.evaluate((p_Song) => window.composer.model.load(window.composer.tw.open(new Uint8Array(p_Song))), Array.from(l_Bytes));
  await tab.evaluate(() => window.composer.editor.select([{ track: 8, beat: 0 }]));
  await tab.click('#up12');
  await tab.click('#up1');
  assert.equal(await tab.evaluate(() => window.composer.model.song.notes(8)[0].key), 61, 'the drum note is 13 keys higher');

  // Fine tune and no-loop are the chosen track's, written into the song.
  await tab.select('#track-picker', '2');
  await tab.evaluate(() => { const l_Field = document.getElementById('fine-tune'); l_Field.value = '1200'; l_Field.dispatchEvent(new Event('change')); });
  await tab.click('#no-loop');
  const l_Track = await tab.evaluate(() => window.composer.model.track(2));
  assert.deepEqual([l_Track.fineTune, l_Track.noLoop], [1200, true]);
  await tab.click('aria/Undo');
  assert.equal(await tab.evaluate(() => window.composer.model.track(2).noLoop), false, 'each is one undo step');
});

// A song of p_Beats beats at 100 ms each: on each of p_Tracks ({ track: instrument }) one note
// held from the first beat to the last (a drum struck every beat), track 1 an event that strikes nothing.
function heldSong(p_Tracks, p_Beats) {
  const l_Tracks = { 1: { instrument: 0, events: [{ beat: 2, note: 56, length: 0, volume: 200, pan: 6 }] } };
  for (const [l_Track, l_Instrument] of Object.entries(p_Tracks)) {
    const l_Events = l_Track < 8 ? [{ beat: 0, note: 57 + Number(l_Track), length: p_Beats, volume: 200, pan: 6 }]
      : Array.from({ length: p_Beats }, (_, p_Beat) => ({ beat: p_Beat, note: 48, length: 1, volume: 200, pan: 6 }));
    l_Tracks[l_Track] = { instrument: l_Instrument, events: l_Events };
  }
  return orgSong(l_Tracks, p_Beats);
}

test('mute and solo act on the library\'s desk: the track falls silent in what plays and its level, the song keeps its notes', async () => {
  await tab.evaluate((p_Song) => window.composer.model.load(window.composer.tw.open(new Uint8Array(p_Song))), Array.from(heldSong({ 0: 3, 2: 7 }, 250)));
  const l_Notes = await notesOf(tab);
  const l_History = await tab.evaluate(() => window.composer.model.undoStack.length);
  await tab.evaluate(() => window.composer.play());
  const l_Sounding = (p_Tracks) => tab.waitForFunction((p_Expected) => {
    const { levels } = window.composer;
    return levels.length && p_Expected.every((p_On, p_Track) => (levels[p_Track].peak > 0) === p_On);
  }, { timeout: 5000 }, Array.from({ length: 16 }, (_, p_Track) => p_Tracks.includes(p_Track)));
  const l_Flags = (p_Tracks) => Array.from({ length: 16 }, (_, p_Track) => p_Tracks.includes(p_Track));
  // Waits for the library in the worklet to report p_Muted and p_Soloed, then for only p_Heard to sound.
  const l_Desk = async (p_Muted, p_Soloed, p_Heard) => {
    await tab.waitForFunction((p_Expected) => JSON.stringify(window.composer.desk) === p_Expected, { timeout: 5000 },
      JSON.stringify({ muted: l_Flags(p_Muted), soloed: l_Flags(p_Soloed) }));
    await l_Sounding(p_Heard);
  };
  await l_Sounding([0, 2]);
  // A screen too narrow for the track list reads no levels (none come, none are shown); wider
  // again, they come back.
  await tab.setViewport({ width: 390, height: 844 });
  await tab.waitForFunction(() => window.composer.levels.length === 0, { timeout: 5000 });
  await tab.evaluate(() => new Promise((p_Done) => setTimeout(p_Done, 300)));
  assert.equal(await tab.evaluate(() => window.composer.levels.length), 0, 'no levels while the track list is folded away');
  await tab.setViewport({ width: 1280, height: 900 });
  await l_Sounding([0, 2]);
  await tab.click('#tracks li:nth-child(1) .mute');
  await l_Desk([0], [], [2]);
  // Solo wins over mute; the level meters in the track list show the library's levels.
  await tab.click('#tracks li:nth-child(1) .solo');
  await l_Desk([0], [0], [0]);
  // The meters show the last report in the frame after it.
  await tab.evaluate(() => new Promise((p_Done) => requestAnimationFrame(() => p_Done())));
  assert.deepEqual(await tab.$$eval('#tracks .level', (p_Meters) => p_Meters.map((p_Meter) => Number(p_Meter.style.getPropertyValue('--level')) > 0)), l_Flags([0]));
  assert.equal(await tab.$eval('#tracks li:nth-child(1) .solo', (p_Button) => p_Button.getAttribute('aria-pressed')), 'true');
  // The screenshot's size first, so that the roll is drawn again at it before the picture.
  await tab.setViewport({ width: 1280, height: 900 });
  await tab.evaluate(() => new Promise((p_Done) => setTimeout(p_Done, 300)));
  console.log(`the composer playing, a track muted and soloed: ${await screenshot(tab, 'composer-playing')}`);
  for (const l_Button of ['solo', 'mute']) await tab.click(`#tracks li:nth-child(1) .${l_Button}`);
  await l_Desk([], [], [0, 2]);
  await tab.evaluate(() => window.composer.stop());
  assert.deepEqual(await notesOf(tab), l_Notes, 'the song keeps every note');
  assert.equal(await tab.evaluate(() => window.composer.model.undoStack.length), l_History, 'nothing to undo');
});

test('Export stems gives a zip of a WAV per track that sounds, which add up to Export WAV', async () => {
  await tab.evaluate((p_Song) => window.composer.model.load(window.composer.tw.open(new Uint8Array(p_Song))), Array.from(heldSong({ 0: 12, 3: 5, 8: 0, 10: 2 }, 30)));
  const l_Stems = unzipSync((await download(tab, 'Export stems', '.zip')).bytes);
  const l_Mix = wavSamples((await download(tab, 'Export WAV', '.wav')).bytes);
  assert.deepEqual(Object.keys(l_Stems), ['00-melody-12.wav', '03-melody-05.wav', '08-drum-Bass01.wav', '10-drum-Snare01.wav']);
  const l_Tracks = Object.values(l_Stems).map(wavSamples);
  assert.ok(l_Mix.samples.reduce((p_Peak, p_Sample) => Math.max(p_Peak, Math.abs(p_Sample)), 0) > 1000, 'the mix sounds');
  let l_Worst = 0;
  for (const l_Track of l_Tracks) assert.deepEqual([l_Track.rate, l_Track.samples.length], [l_Mix.rate, l_Mix.samples.length]);
  for (let l_At = 0; l_At < l_Mix.samples.length; ++l_At)
    l_Worst = Math.max(l_Worst, Math.abs(l_Tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track.samples[l_At], 0) - l_Mix.samples[l_At]));
  // Each file rounds its samples apart: half a step each at most.
  assert.ok(l_Worst <= (l_Tracks.length + 1) / 2, `the stems' sum is ${l_Worst} steps off the mix`);
  assert.deepEqual(tab.problems, []);
});

test('an edit made while the song plays is heard within one render quantum', async () => {
  const RATE = 48000;
  const TEMPO = 100;  // ms per beat: beat 5 starts at frame 24000
  const EDIT_AT = 187 * QUANTUM;  // the quantum before beat 5 ends at 24064; the edit comes before it
  const l_Left = await tab.evaluate(async (p_Rate, p_Tempo, p_EditAt) => {
    const { editor, model, sound, attachAudio, settled, play } = window.composer;
    await sound;  // the page's own output first, so that the offline one replaces it
    model.load(model.tw.createSong());
    model.edit((p_Edit) => {
      p_Edit.set('tempo', p_Tempo);
      p_Edit.set('loop', [0, 16]);
    });
    const l_Context = new OfflineAudioContext(2, p_Rate, p_Rate);
    await attachAudio(l_Context);
    editor.selection.clear();
    editor.track = 0;
    editor.cursor = { beat: 0, key: 57 };
    await play();
    await settled();  // rendering starts once the worklet plays
    l_Context.suspend(p_EditAt / p_Rate).then(async () => {
      editor.cursor = { beat: 5, key: 57 };
      editor.placeNote();
      await settled();
      l_Context.resume();
    });
    return Array.from((await l_Context.startRendering()).getChannelData(0));
  }, RATE, TEMPO, EDIT_AT);
  const l_Onset = l_Left.findIndex((p_Sample) => Math.abs(p_Sample) > 1e-4);
  console.log(`edit made at frame ${EDIT_AT}, heard from frame ${l_Onset}`);
  assert.ok(l_Onset >= EDIT_AT && l_Onset < EDIT_AT + QUANTUM, `heard from frame ${l_Onset}`);
});

test('a dropped MIDI file opens as the import gives it', { skip: typeof tw.openMidi !== 'function' && 'the module reads no MIDI yet' }, async () => {
  const l_Original = tw.open(saved.bytes);
  const l_Midi = l_Original.toMidi();
  l_Original.close();
  const { song: l_Imported } = tw.openMidi(l_Midi);
  const l_Expected = Array.from({ length: 16 }, (_, p_Track) => l_Imported.notes(p_Track));
  l_Imported.close();
  await tab.evaluate((p_Data) => {
    const l_Transfer = new DataTransfer();
    l_Transfer.items.add(new File([new Uint8Array(p_Data)], 'song.mid'));
    document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: l_Transfer, bubbles: true, cancelable: true }));
  }, Array.from(l_Midi));
  await tab.waitForFunction(() => document.title.startsWith('song '));
  assert.deepEqual(await notesOf(tab), l_Expected);
});
