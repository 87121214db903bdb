// The composer in headless Chromium: a melody and a drum pattern drawn with the pointer, undone and
// redone, come out of Save as exactly those notes (as tunewright-info reads them); a share
// link and the autosave bring the same song back; undo puts back an event no edit call writes; an edit made while the song plays is heard in the
// page's own output within one render quantum; a dropped MIDI file opens as the import gives it.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { info, orgSong, run, screenshot, servePages, webDir, withTempDir } from './kit.js';

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

// Clicks Save and gives the bytes of the file it downloads.
async function save(p_Tab) {
  return withTempDir(async (p_Dir) => {
    const l_Session = await p_Tab.createCDPSession();
    await l_Session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: p_Dir });
    await p_Tab.click('aria/Save');
    const l_Saved = () => readdirSync(p_Dir).find((p_Name) => p_Name.endsWith('.org'));
    for (let l_Wait = 0; !l_Saved() && l_Wait < 100; ++l_Wait) await new Promise((p_Done) => setTimeout(p_Done, 50));
    assert.ok(l_Saved(), 'Save downloads an .org file');
    const l_File = path.join(p_Dir, l_Saved());
    return { bytes: new Uint8Array(readFileSync(l_File)), info: JSON.parse(run(info, ['--json', '--events', l_File]).toString()) };
  });
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
