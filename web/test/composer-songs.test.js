// The composer for whole songs in headless Chromium: bars repeated and inserted across every track
// come out of Save as exactly the events tunewright-info expects, loop included; each bad link and
// each song too large for a link, an export or the browser's storage gets its sentence and leaves a
// song to work on; Export WAV in its worker gives tunewright-render's samples for the same loops
// and fade; undo goes on across a reload, and a second tab keeps nothing over the first.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { download, info, orgSong, renderer, root, run, servePages, wavSamples, withTempDir } from './kit.js';

let pages;
before(async () => { pages = await servePages(); });
after(async () => { await pages?.close(); });

// A tab of the composer, closed when p_Test ends (pass or fail: an open one keeps the autosave).
async function openComposer(p_Test, p_Url = 'composer.html') {
  const l_Tab = await pages.open(p_Url);
  p_Test.after(() => l_Tab.isClosed() || l_Tab.close());
  await l_Tab.waitForFunction(() => window.composer?.model.song, { timeout: 20000 });
  return l_Tab;
}
const loadSong = (p_Tab, p_Bytes) => p_Tab.evaluate((p_Song) => window.composer.model.load(window.composer.tw.open(new Uint8Array(p_Song))), Array.from(p_Bytes));
const messageOf = (p_Tab) => p_Tab.$eval('#message', (p_Line) => (p_Line.hidden ? '' : document.getElementById('message-text').textContent));
const notesOf = (p_Tab) => p_Tab.evaluate(() => Array.from({ length: 16 }, (_, p_Track) => window.composer.model.notes(p_Track)));

// Drags along the ruler from the middle of beat p_From to that of p_To.
async function rulerDrag(p_Tab, p_From, p_To) {
  const [l_From, l_To] = await p_Tab.evaluate((...p_Beats) => {
    const { editor } = window.composer;
    const l_Box = editor.canvas.getBoundingClientRect();
    return p_Beats.map((p_Beat) => [l_Box.left + editor.canvas.clientLeft + editor.x(p_Beat + 0.5), l_Box.top + editor.canvas.clientTop + 20]);
  }, p_From, p_To);
  await p_Tab.mouse.move(...l_From);
  await p_Tab.mouse.down();
  await p_Tab.mouse.move(...l_To, { steps: 4 });
  await p_Tab.mouse.up();
}

async function setField(p_Tab, p_Id, p_Value) {
  await p_Tab.$eval(`#${p_Id}`, (p_Field, p_To) => {
    p_Field.value = p_To;
    p_Field.dispatchEvent(new Event('change'));
  }, String(p_Value));
}

test('bars 1-4 repeated three times across every track, then a bar inserted, are the events Save writes', async (t) => {
  const BAR = 16;  // steps of a bar at 4 beats of 4
  const ev = (p_Beat, p_Note) => ({ beat: p_Beat, note: p_Note, length: 2, volume: 200, pan: 6 });
  // Notes in bars 1-4 on a melody and two drum tracks, and one in bar 6 that a repeat lands on.
  const l_Tracks = { 0: { instrument: 3, events: [ev(0, 60), ev(20, 62), ev(40, 64), ev(84, 50)] },
    5: { instrument: 9, events: [ev(8, 70), ev(63, 71)] }, 8: { instrument: 0, events: [ev(0, 48), ev(32, 48)] }, 10: { instrument: 2, events: [ev(4, 48)] } };
  const l_Tab = await openComposer(t);
  await loadSong(l_Tab, orgSong(l_Tracks, 5 * BAR));
  await l_Tab.evaluate(() => window.composer.model.edit((p_Edit) => p_Edit.set('loop', [16, 80])));
  await rulerDrag(l_Tab, 1, 4 * BAR - 2);
  assert.deepEqual(await l_Tab.evaluate(() => window.composer.editor.section), { start: 0, end: 4 * BAR });
  await setField(l_Tab, 'times', 3);
  await l_Tab.click('#duplicate');
  // The copy of beat 20 lands on bar 6's note at 84 (64 + 20): replaced, and counted.
  assert.equal(await messageOf(l_Tab), '24 notes pasted; 1 note in the way replaced.');
  const l_Duplicated = await notesOf(l_Tab);
  await rulerDrag(l_Tab, BAR + 1, BAR + 8);
  await setField(l_Tab, 'times', 1);
  await l_Tab.click('#insert-bars');

  // What the song should hold: bars 1-4 four times over, then everything from bar 2 a bar later.
  const l_Expected = Array.from({ length: 16 }, () => []);
  for (const [l_Track, { events }] of Object.entries(l_Tracks))
    for (let l_Pass = 0; l_Pass < 4; ++l_Pass)
      for (const l_Event of events.filter((p_Event) => p_Event.beat < 4 * BAR)) {
        const l_Beat = l_Event.beat + l_Pass * 4 * BAR;
        l_Expected[l_Track].push({ beat: l_Beat >= BAR ? l_Beat + BAR : l_Beat, key: l_Event.note, length: 2, volume: 200, pan: 6 });
      }
  l_Expected.forEach((p_Events) => p_Events.sort((p_A, p_B) => p_A.beat - p_B.beat));
  const { read: l_Info } = await download(l_Tab, 'Save', '.org', (p_File) => JSON.parse(run(info, ['--json', '--events', p_File]).toString()));
  assert.deepEqual(l_Info.tracks.map((p_Track) => p_Track.event_list.map(({ starts_note, ...p_Event }) => p_Event)), l_Expected);
  assert.deepEqual([l_Info.loop_start, l_Info.loop_stop], [16 + BAR, 80 + BAR], 'the loop moves with the bars after the insert');

  // Each is one step to undo; a paste set to be refused leaves the notes in the way and says so.
  const l_Inserted = await notesOf(l_Tab);
  await l_Tab.click('aria/Undo');
  await l_Tab.click('aria/Redo');
  assert.deepEqual(await notesOf(l_Tab), l_Inserted);
  await l_Tab.select('#paste-over', 'refuse');
  await rulerDrag(l_Tab, 1, BAR - 2);
  await l_Tab.click('#copy');
  // Bar 1 (notes on tracks 0, 5, 8 and 10) pasted on the inserted bar, where tracks 5 and 8 have a note in the way: those stay.
  const l_InTheWay = [[5, 8], [8, 0]].map(([p_Track, p_Beat]) => ({ track: p_Track, beat: BAR + p_Beat, key: 30, length: 1, volume: 100, pan: 3 }));
  await l_Tab.evaluate((p_Notes, p_Beat) => {
    window.composer.model.edit((p_Edit) => p_Notes.forEach(({ track, ...p_Note }) => p_Edit.note(track, p_Note.beat, p_Note)));
    window.composer.editor.cursor.beat = p_Beat;
  }, l_InTheWay, BAR);
  await l_Tab.click('#paste');
  assert.equal(await messageOf(l_Tab), '2 notes pasted; 2 notes not pasted: a note was in the way (Paste over notes is refused).');
  const l_Pasted = await notesOf(l_Tab);
  for (const { track, ...l_Note } of l_InTheWay) assert.deepEqual(l_Pasted[track].find((p_Note) => p_Note.beat === l_Note.beat), l_Note);
  assert.deepEqual([l_Pasted[0], l_Pasted[10]].map((p_Notes) => p_Notes.filter((p_Note) => p_Note.beat >= BAR && p_Note.beat < 2 * BAR).length), [1, 1]);

  // That bar deleted: the song and its loop as they were before it was inserted.
  await rulerDrag(l_Tab, BAR + 1, BAR + 8);
  await l_Tab.click('#delete-bars');
  assert.deepEqual(await notesOf(l_Tab), l_Duplicated);
  assert.deepEqual(await l_Tab.evaluate(() => window.composer.model.loop), { start: 16, end: 80 });
  assert.deepEqual(l_Tab.problems, []);
});

test('each bad link, and each song too large for a link, an export or the storage, gets its sentence and a song to work on', async (t) => {
  const l_Song = readFileSync(path.join(root, 'songs/harbour-lights.org'));
  const l_Link = (await import('node:zlib')).deflateRawSync(l_Song).toString('base64url');
  const l_NotSong = (await import('node:zlib')).deflateRawSync(Buffer.from('a text, no song')).toString('base64url');
  const l_Cases = [
    ['%%%not*a*song!!!', 'This link does not hold a song: it is not a song link.'],
    [Buffer.from(Array.from({ length: 300 }, (_, p_At) => (p_At * 97 + 255) & 255)).toString('base64url'), 'This link does not hold a song: it is not a song link.'],
    [l_NotSong, 'This link does not hold a song: it is not a song link.'],
    [l_Link.slice(0, l_Link.length >> 1), 'This link does not hold a song: it is cut short.'],
    ['A'.repeat(2e6), 'This link does not hold a song: it is longer than the 2 MB a song link can be.'],
  ];
  for (const [l_Payload, l_Sentence] of l_Cases) {
    const l_Tab = await openComposer(t, `composer.html#song=${l_Payload}`);
    // (A tab just closed may still hold the autosave, which a sentence after it says.)
    assert.equal((await messageOf(l_Tab)).slice(0, l_Sentence.length), l_Sentence, `${l_Payload.slice(0, 20)}…`);
    assert.ok(await l_Tab.evaluate(() => window.composer.model.loop.end > 0), 'a new song to write in');
    await l_Tab.close();
  }

  // A 16 MB file of noise that says it is a song: it opens, but it is refused as a link and as a WAV.
  const l_Tab = await openComposer(t);
  await l_Tab.evaluate(() => {
    const l_Bytes = new Uint8Array(16 * 1024 * 1024);
    let l_Seed = 1;  // xorshift32: bytes no deflate packs
    for (let l_At = 0; l_At < l_Bytes.length; ++l_At) {
      l_Seed ^= l_Seed << 13;
      l_Seed ^= l_Seed >>> 17;
      l_Seed ^= l_Seed << 5;
      l_Bytes[l_At] = l_Seed;
    }
    l_Bytes.set([...'Org-02'].map((p_Char) => p_Char.charCodeAt(0)));
    window.composer.model.load(window.composer.tw.open(l_Bytes));
  });
  await l_Tab.click('aria/Share');
  await l_Tab.waitForFunction(() => !document.getElementById('message').hidden);
  assert.match(await messageOf(l_Tab), /^This song is too large for a link: it takes [\d,]+ characters, more than the 2 MB a link can hold\. Save it as a file to share it\.$/);
  assert.equal(await l_Tab.$eval('#message-do', (p_Button) => !p_Button.hidden && p_Button.textContent), 'Save', 'Save is offered');
  assert.equal(await l_Tab.$eval('#share-row', (p_Row) => p_Row.hidden), true, 'no link is shown');
  await l_Tab.click('aria/Export WAV');
  await l_Tab.waitForFunction(() => document.getElementById('message-text').textContent.startsWith('The song lasts'));
  assert.match(await messageOf(l_Tab), /^The song lasts [\d.]+ hours: its export would take [\d.]+ GB, more than the 1 GB an export can hold\. Export fewer loops\.$/);

  // A bad link pasted into the open page keeps its song.
  await loadSong(l_Tab, l_Song);
  const l_Notes = await notesOf(l_Tab);
  await l_Tab.evaluate(() => { location.hash = '#song=AAAA!'; });
  await l_Tab.waitForFunction(() => document.getElementById('message-text').textContent.startsWith('This link'));
  assert.equal(await messageOf(l_Tab), 'This link does not hold a song: it is not a song link.');
  assert.deepEqual(await notesOf(l_Tab), l_Notes);

  // The storage refuses the autosave: the page says so, and the next visit offers what was kept before as older.
  await l_Tab.evaluate(() => window.composer.model.edit((p_Edit) => p_Edit.set('tempo', 120)));
  await l_Tab.waitForFunction(() => localStorage.getItem('tunewright-composer')?.includes('"at"'));
  // Storage with room for what is kept and a little more, not for the next version.
  await l_Tab.evaluate(() => {
    const l_Room = localStorage.getItem('tunewright-composer').length + 40;
    const l_Set = Storage.prototype.setItem;
    Storage.prototype.setItem = function set(p_Key, p_Value) {
      if (p_Key === 'tunewright-composer' && p_Value.length > l_Room) throw new DOMException('full', 'QuotaExceededError');
      l_Set.call(this, p_Key, p_Value);
    };
    window.composer.model.edit((p_Edit) => { for (let l_Beat = 0; l_Beat < 16; ++l_Beat) p_Edit.note(0, l_Beat, { key: 50, length: 1, volume: 200, pan: 6 }); });
  });
  await l_Tab.waitForFunction(() => document.getElementById('message-text').textContent.includes('storage'));
  assert.equal(await messageOf(l_Tab), 'The song is too large for this browser\'s storage: the edits since the last one kept are not kept here. Save keeps them in a file.');
  const l_Later = await openComposer(t);
  await l_Later.waitForSelector('aria/Restore');
  assert.match(await l_Later.$eval('#restore-text', (p_Text) => p_Text.textContent), /^An older version of “untitled” \(of .*\) is kept here: its later edits did not fit/);
  assert.deepEqual([...l_Tab.problems, ...l_Later.problems], []);
});

test('Export WAV of the largest song with 2 loops and a fade is tunewright-render\'s, the page drawing on meanwhile', async (t) => {
  const l_File = path.join(root, 'songs/harbour-lights.org');
  const l_Tab = await openComposer(t);
  await loadSong(l_Tab, readFileSync(l_File));
  await setField(l_Tab, 'export-loops', 2);
  await setField(l_Tab, 'export-fade', 1.5);
  // Every frame's gap while the export runs, as the page's own clock gives them.
  await l_Tab.evaluate(() => {
    window.gaps = [];
    let l_Last = performance.now();
    const l_Frame = (p_Now) => {
      window.gaps.push(p_Now - l_Last);
      l_Last = p_Now;
      if (!window.gapsDone) requestAnimationFrame(l_Frame);
    };
    requestAnimationFrame(l_Frame);
  });
  const l_Start = Date.now();
  const l_Page = wavSamples((await download(l_Tab, 'Export WAV', '.wav')).bytes);
  const l_Ms = Date.now() - l_Start;
  const l_Gaps = await l_Tab.evaluate(() => { window.gapsDone = true; return window.gaps.sort((p_A, p_B) => p_A - p_B); });
  console.log(`Export WAV (2 loops, fade 1.5 s): ${l_Ms} ms; frames meanwhile: ${l_Gaps.length}, ` +
    `longest ${l_Gaps.at(-1).toFixed(1)} ms, p95 ${l_Gaps[Math.floor(0.95 * (l_Gaps.length - 1))].toFixed(1)} ms`);
  const l_Native = withTempDir((p_Dir) => {
    const l_Out = path.join(p_Dir, 'song.wav');
    run(renderer, ['--quiet', '--loops', '2', '--fade', '1.5', '--rate', '44100', '-o', l_Out, l_File]);
    return wavSamples(readFileSync(l_Out));
  });
  assert.deepEqual([l_Page.rate, l_Page.samples.length], [l_Native.rate, l_Native.samples.length]);
  let l_Worst = 0;
  for (let l_At = 0; l_At < l_Native.samples.length; ++l_At) l_Worst = Math.max(l_Worst, Math.abs(l_Page.samples[l_At] - l_Native.samples[l_At]));
  assert.ok(l_Worst <= 1, `the page's samples are ${l_Worst} steps off the renderer's`);
  // Cancel, once the progress shows, ends the export with no file.
  const l_Cancelled = await l_Tab.evaluate(async () => {
    const { exports, model } = window.composer;
    const l_Run = exports.run('wav', model.song.toBytes(), 'cancelled');
    await new Promise((p_Shown) => { const l_Look = () => (exports.progress.value > 0 ? p_Shown() : setTimeout(l_Look, 1)); l_Look(); });
    document.getElementById('export-cancel').click();
    return [(await l_Run).type, document.getElementById('status').textContent, document.getElementById('export-panel').hidden];
  });
  assert.deepEqual(l_Cancelled, ['cancelled', 'The export is cancelled.', true]);
  assert.deepEqual(l_Tab.problems, []);
});

test('undo goes on after a reload; a second tab says the song is open elsewhere and keeps nothing over it', async (t) => {
  const l_Tab = await openComposer(t);
  await l_Tab.evaluate(() => localStorage.clear());
  await l_Tab.reload();
  await l_Tab.waitForFunction(() => window.composer?.model.song, { timeout: 20000 });
  const l_Note = (p_Beat) => ({ beat: p_Beat, key: 60, length: 2, volume: 200, pan: 6 });
  await l_Tab.evaluate((p_Notes) => p_Notes.forEach((p_Note) => window.composer.model.edit((p_Edit) => p_Edit.note(0, p_Note.beat, p_Note))), [l_Note(0), l_Note(4)]);
  await l_Tab.waitForFunction(() => JSON.parse(localStorage.getItem('tunewright-composer') ?? '{}').history?.undo.length === 2);
  await l_Tab.reload();
  await l_Tab.waitForSelector('aria/Restore');
  await l_Tab.click('aria/Restore');
  assert.deepEqual((await notesOf(l_Tab))[0], [l_Note(0), l_Note(4)]);
  await l_Tab.click('aria/Undo');
  assert.deepEqual((await notesOf(l_Tab))[0], [l_Note(0)], 'the state before the last edit made before the reload');
  await l_Tab.click('aria/Redo');
  assert.deepEqual((await notesOf(l_Tab))[0], [l_Note(0), l_Note(4)]);

  const l_Second = await openComposer(t);
  assert.equal(await messageOf(l_Second), 'This song is open in another tab: edits here are not kept in this browser until that tab closes (Save keeps them in a file).');
  const l_Kept = await l_Tab.evaluate(() => localStorage.getItem('tunewright-composer'));
  await l_Second.evaluate(() => window.composer.model.edit((p_Edit) => p_Edit.set('tempo', 99)));
  await l_Second.evaluate(() => new Promise((p_Done) => setTimeout(p_Done, 800)));
  assert.equal(await l_Tab.evaluate(() => localStorage.getItem('tunewright-composer')), l_Kept, 'the second tab wrote nothing');
  assert.deepEqual([...l_Tab.problems, ...l_Second.problems], []);
});
