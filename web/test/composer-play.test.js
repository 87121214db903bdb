// The composer as an instrument, in headless Chromium: an edit is heard at once (and not when told
// not to); a take recorded from the computer's keyboard and a MIDI keyboard gives exactly the notes
// played, on the grid, with the metronome heard and never written; Space and Enter do what a person
// expects (a button lets it play, a check box, a list or a field keeps it); on a phone's screen,
// upright and on its side, the roll takes the screen, a tap lands on the cell drawn there and one
// finger scrolls, two pinch.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import { screenshot, servePages } from './kit.js';

const RATE = 48000;
const QUANTUM = 128;
let pages;

before(async () => { pages = await servePages(); });
after(async () => { await pages?.close(); });

async function openComposer(p_Width = 1000, p_Height = 700, p_Device = {}) {
  const l_Tab = await pages.open('composer.html', p_Width, p_Height, p_Device);
  await l_Tab.waitForFunction(() => window.composer, { timeout: 20000 });
  await l_Tab.evaluate(() => window.composer.sound);
  return l_Tab;
}

// A blank song of p_Tempo ms per beat looping over p_Beats, in the tab's editor, cursor at 0.
async function blank(p_Tab, p_Tempo, p_Beats) {
  await p_Tab.evaluate((p_Ms, p_Loop) => {
    const { model, editor } = window.composer;
    model.load(model.tw.createSong());
    model.edit((p_Edit) => {
      p_Edit.set('tempo', p_Ms);
      p_Edit.set('loop', [0, p_Loop]);
    });
    model.undoStack.length = 0;
    editor.track = 0;
    editor.cursor = { beat: 0, key: 57 };
    editor.home();
    editor.canvas.focus();
  }, p_Tempo, p_Beats);
}

// The page's sound rendered offline for p_Frames, the rendering halted at each frame of p_Stops
// (whole quanta) for p_At(index) to act through the tab before it goes on: the left channel.
async function renderOffline(p_Tab, p_Frames, p_Stops, p_At) {
  await p_Tab.evaluate(async (p_Rate, p_Length, p_Halts) => {
    const l_Context = new OfflineAudioContext(2, p_Length, p_Rate);
    await window.composer.attachAudio(l_Context);
    window.offline = { context: l_Context, halted: -1 };
    p_Halts.forEach((p_Frame, p_Index) => l_Context.suspend(p_Frame / p_Rate).then(() => { window.offline.halted = p_Index; }));
    window.offline.done = l_Context.startRendering().then((p_Buffer) => Array.from(p_Buffer.getChannelData(0)));
  }, RATE, p_Frames, p_Stops);
  for (let l_Stop = 0; l_Stop < p_Stops.length; ++l_Stop) {
    await p_Tab.waitForFunction((p_Stop) => window.offline.halted === p_Stop, {}, l_Stop);
    await p_At(l_Stop);
    await p_Tab.evaluate(async () => {
      await window.composer.settled();
      window.offline.context.resume();
    });
  }
  return p_Tab.evaluate(() => window.offline.done);
}

const loud = (p_Samples, p_From, p_To) => p_Samples.slice(p_From, p_To).findIndex((p_Sample) => Math.abs(p_Sample) > 1e-4);
const notesOf = (p_Tab) => p_Tab.evaluate(() => Array.from({ length: 16 }, (_, p_Track) => window.composer.model.notes(p_Track)));

// The middle of a cell ({ track, beat, key }) in the page's coordinates.
const cellAt = (p_Tab, p_Cell) => p_Tab.evaluate((p_Where) => {
  const { editor } = window.composer;
  const l_Box = editor.canvas.getBoundingClientRect();
  return [l_Box.left + editor.canvas.clientLeft + editor.x(p_Where.beat + 0.5),
    l_Box.top + editor.canvas.clientTop + editor.noteY(p_Where.track, p_Where.key ?? 0) + editor.rowHeight(p_Where.track) / 2];
}, p_Cell);

async function drawNote(p_Tab, p_Cell) {
  const l_At = await cellAt(p_Tab, p_Cell);
  await p_Tab.mouse.move(...l_At);
  await p_Tab.mouse.down();
  await p_Tab.mouse.up();
}

test('a note drawn is heard from the quantum after it, and not once edits are not to be heard; an instrument heard goes the same way', async () => {
  const l_Tab = await openComposer();
  await blank(l_Tab, 100, 16);
  const HEARD = 100 * QUANTUM;
  const QUIET = 225 * QUANTUM;  // 0.6 s: the first note (0.3 s) has ended
  const PREVIEW = 300 * QUANTUM;
  const l_Left = await renderOffline(l_Tab, RATE, [HEARD, QUIET, PREVIEW], async (p_Stop) => {
    if (p_Stop === 2) return l_Tab.click('#tracks li:first-child .hear');
    if (p_Stop === 1) await l_Tab.click('#hear');
    await drawNote(l_Tab, { track: 0, beat: 2 + 4 * p_Stop, key: 60 });
  });
  assert.equal(loud(l_Left, 0, HEARD), -1, 'silent before the note');
  const l_Onset = loud(l_Left, HEARD, QUIET);
  console.log(`a note drawn at frame ${HEARD} is heard from frame ${HEARD + l_Onset}`);
  assert.ok(l_Onset >= 0 && l_Onset < QUANTUM, `heard ${l_Onset} frames into the quantum after the edit`);
  assert.equal(loud(l_Left, QUIET, PREVIEW), -1, 'with Hear edits off, a note drawn is not heard');
  const l_Preview = loud(l_Left, PREVIEW, RATE);
  assert.ok(l_Preview >= 0 && l_Preview < QUANTUM, `the track's instrument, asked for, is heard from the worklet ${l_Preview} frames after`);
  assert.equal((await notesOf(l_Tab))[0].length, 2, 'both notes are drawn');
  assert.deepEqual(l_Tab.problems, []);
  await l_Tab.close();
});

test('a take from both keyboards gives the notes played on the grid; the metronome is heard, not written', async () => {
  const l_Tab = await openComposer();
  const TEMPO = 50;   // ms per beat: 2400 frames
  const BEAT = (RATE * TEMPO) / 1000;
  const START = 10 * QUANTUM;
  const SONG = START + 16 * BEAT;  // after the count-in's bar of 4 × 4 beats
  await blank(l_Tab, TEMPO, 32);
  // A MIDI keyboard, and one plugged in later, as a fake of Web MIDI.
  await l_Tab.evaluate(() => {
    const l_Input = (p_Name) => Object.assign(new EventTarget(), { name: p_Name });
    const l_Access = Object.assign(new EventTarget(), { inputs: new Map([['a', l_Input('first')]]), outputs: new Map() });
    navigator.requestMIDIAccess = async () => l_Access;
    window.midi = {
      plug() {
        l_Access.inputs.set('b', l_Input('second'));
        l_Access.dispatchEvent(new Event('statechange'));
      },
      send(p_Input, p_Bytes) { l_Access.inputs.get(p_Input).dispatchEvent(Object.assign(new Event('midimessage'), { data: new Uint8Array(p_Bytes) })); },
    };
  });
  await l_Tab.click('#midi');
  await l_Tab.waitForFunction(() => window.composer.playing.midi);
  await l_Tab.select('#quantise', '2');
  await l_Tab.click('#count-in');
  await l_Tab.focus('#editor');
  await l_Tab.keyboard.press('Backquote');
  // Frames (whole quanta) at a beat of the song; the steps played and the grid's nearest to them.
  const at = (p_Beat) => Math.round((SONG + p_Beat * BEAT) / QUANTUM) * QUANTUM;
  const l_Script = [
    [0, async () => {
      await l_Tab.keyboard.down('Shift');
      await l_Tab.keyboard.press('Space');
      await l_Tab.keyboard.up('Shift');
    }],
    [at(1.3), () => l_Tab.keyboard.down('KeyZ')],                // key 48 from beat 2
    [at(4.6), () => l_Tab.keyboard.up('KeyZ')],                  // to beat 4
    [at(6.2), () => l_Tab.keyboard.down('KeyE')],                // key 64 from 6
    [at(6.9), () => l_Tab.evaluate(() => {
      window.midi.plug();
      window.midi.send('b', [0xb0, 10, 127]);                    // pan 12
      window.midi.send('b', [0x90, 79, 64]);                     // MIDI 79 is key 67: a chord, onto Melody 2
    })],
    [at(9.8), async () => {
      await l_Tab.keyboard.up('KeyE');                           // to beat 10
      await l_Tab.evaluate(() => window.midi.send('b', [0x80, 79, 0]));
    }],
    [at(12), () => l_Tab.keyboard.press('Space')],
  ];
  const l_Left = await renderOffline(l_Tab, at(13), [START, ...l_Script.slice(1).map(([p_Frame]) => p_Frame)], async (p_Stop) => {
    await l_Script[p_Stop][1]();
  });
  const l_Notes = await notesOf(l_Tab);
  const l_Velocity64 = await l_Tab.evaluate(() => window.composer.playing.midiMap.volume[64]);
  const l_Expected = Array.from({ length: 16 }, () => []);
  l_Expected[0] = [{ beat: 2, key: 48, length: 2, volume: 200, pan: 6 }, { beat: 6, key: 64, length: 4, volume: 200, pan: 6 }];
  l_Expected[1] = [{ beat: 6, key: 67, length: 4, volume: l_Velocity64, pan: 12 }];
  assert.deepEqual(l_Notes, l_Expected, 'the notes played, quantised, and nothing of the metronome');

  // The count-in's clicks: each ruler beat of the bar, silence between them.
  for (let l_Beat = 0; l_Beat < 4; ++l_Beat) {
    const l_Click = START + l_Beat * 4 * BEAT;
    assert.ok(loud(l_Left, l_Click, l_Click + QUANTUM) >= 0, `a click at the count-in's beat ${l_Beat + 1}`);
    assert.equal(loud(l_Left, l_Click + 0.05 * RATE, l_Click + 4 * BEAT), -1, 'nothing between the clicks');
  }
  assert.equal(await l_Tab.evaluate(() => window.composer.model.undo() && window.composer.model.undo()), false, 'the take is one step to undo');
  assert.deepEqual(await notesOf(l_Tab), Array.from({ length: 16 }, () => []));
  assert.deepEqual(l_Tab.problems, []);
  await l_Tab.close();
});

test('a take punched in over notes merges with them, or replaces those it goes over on its tracks', async () => {
  const l_Tab = await openComposer();
  const BEAT = (RATE * 50) / 1000;
  const at = (p_Beat) => Math.round((10 * QUANTUM + p_Beat * BEAT) / QUANTUM) * QUANTUM;
  const l_Old = [{ beat: 8, key: 40, length: 2, volume: 200, pan: 6 }, { beat: 20, key: 40, length: 2, volume: 200, pan: 6 }];
  const l_Played = { beat: 2, key: 48, length: 2, volume: 200, pan: 6 };
  const l_Results = [];
  for (const l_Punch of ['merge', 'replace']) {
    await blank(l_Tab, 50, 32);
    await l_Tab.evaluate((p_Notes) => window.composer.model.edit((p_Edit) => p_Notes.forEach((p_Note) => p_Edit.note(0, p_Note.beat, p_Note))), l_Old);
    await l_Tab.select('#punch', l_Punch);
    await l_Tab.focus('#editor');
    if (l_Punch === 'merge') await l_Tab.keyboard.press('Backquote');
    const l_Steps = [() => l_Tab.evaluate(() => window.composer.record()), () => l_Tab.keyboard.down('KeyZ'), () => l_Tab.keyboard.up('KeyZ'),
      () => l_Tab.evaluate(() => window.composer.record())];
    await renderOffline(l_Tab, at(13), [at(0), at(2), at(4), at(12)], (p_Stop) => l_Steps[p_Stop]());
    l_Results.push((await notesOf(l_Tab))[0]);
    await l_Tab.evaluate(() => window.composer.model.undo());
    assert.deepEqual((await notesOf(l_Tab))[0], l_Old, `${l_Punch}: one undo puts back the notes as they were`);
  }
  assert.deepEqual(l_Results, [[l_Played, ...l_Old], [l_Played, l_Old[1]]]);
  assert.deepEqual(l_Tab.problems, []);
  await l_Tab.close();
});

test('Space stops what Play started wherever the focus is; Enter and the piano keys enter a line and move on', async () => {
  const l_Tab = await openComposer();
  await blank(l_Tab, 100, 64);
  const l_Playing = () => l_Tab.evaluate(() => window.composer.isPlaying);
  await l_Tab.click('#play');
  await l_Tab.waitForFunction(() => window.composer.isPlaying);
  await l_Tab.keyboard.press('Space');
  await new Promise((p_Done) => setTimeout(p_Done, 300));
  assert.equal(await l_Playing(), false, 'Space on the Play button stops, and does not click it again');
  // A button (one that toggles) plays and is not clicked; a check box, a list and a field keep Space.
  await l_Tab.focus('#piano');
  await l_Tab.keyboard.press('Space');
  assert.deepEqual(await l_Tab.evaluate(() => [window.composer.isPlaying, document.getElementById('piano').getAttribute('aria-pressed')]), [true, 'false'],
    'Space on a button plays');
  await l_Tab.keyboard.press('Space');
  for (const l_Control of ['#hear', '#quantise', '#tempo']) {
    const l_Value = () => l_Tab.$eval(l_Control, (p_Control) => (p_Control.type === 'checkbox' ? p_Control.checked : p_Control.value));
    const l_Before = await l_Value();
    await l_Tab.focus(l_Control);
    await l_Tab.keyboard.press('Space');
    await new Promise((p_Done) => setTimeout(p_Done, 100));
    assert.equal(await l_Playing(), false, `Space on ${l_Control} is the control's, not Play's`);
    if (l_Control === '#hear') assert.equal(await l_Value(), !l_Before, 'Space ticks the check box');
    await l_Tab.keyboard.press('Escape');
  }
  await l_Tab.click('#hear');

  await l_Tab.focus('#editor');
  for (const l_Key of ['Enter', 'ArrowUp', 'ArrowUp', 'Enter', 'ArrowUp', 'ArrowUp', 'Enter', 'Backquote', 'KeyZ', 'KeyX']) await l_Tab.keyboard.press(l_Key);
  // A key played is entered once the input in hand is handled (its sound goes first).
  await l_Tab.evaluate(() => new Promise((p_Done) => setTimeout(p_Done)));
  const l_Line = (await notesOf(l_Tab))[0].map((p_Note) => [p_Note.beat, p_Note.key]);
  assert.deepEqual(l_Line, [[0, 57], [4, 59], [8, 61], [12, 48], [16, 50]]);
  assert.deepEqual(l_Tab.problems, []);
  await l_Tab.close();
});

// One finger from p_From to p_To in p_Steps moves (CDP's touch events, as a phone sends them), or
// two: p_From and p_To are then lists of points.
async function touch(p_Tab, p_From, p_To, p_Steps = 6) {
  const l_Session = await p_Tab.createCDPSession();
  const l_Points = (p_List) => p_List.map(([p_X, p_Y], p_Id) => ({ x: p_X, y: p_Y, id: p_Id }));
  await l_Session.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: l_Points(p_From) });
  for (let l_Step = 1; l_Step <= p_Steps; ++l_Step)
    await l_Session.send('Input.dispatchTouchEvent', { type: 'touchMove',
      touchPoints: l_Points(p_From.map(([p_X, p_Y], p_Index) => [p_X + ((p_To[p_Index][0] - p_X) * l_Step) / p_Steps, p_Y + ((p_To[p_Index][1] - p_Y) * l_Step) / p_Steps])) });
  await l_Session.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  await l_Session.detach();
}

// In the page: the roll's share of the viewport's area and its height (CSS pixels), the controls
// shown above it that are not whole on the screen or run into it (by their labels), and the page's height.
const rollAndControls = () => {
  const l_Roll = document.getElementById('editor').getBoundingClientRect();
  const l_Cut = [...document.querySelectorAll('header button, header select, header label')].filter((p_Control) => {
    const l_Box = p_Control.getBoundingClientRect();
    if (l_Box.width === 0) return false;
    return l_Box.left < 0 || l_Box.top < 0 || l_Box.right > innerWidth || l_Box.bottom > Math.min(innerHeight, l_Roll.top);
  }).map((p_Control) => p_Control.textContent.trim() || p_Control.ariaLabel);
  return { share: (l_Roll.width * l_Roll.height) / (innerWidth * innerHeight), height: l_Roll.height, cut: l_Cut,
    page: document.documentElement.scrollHeight };
};

test('on a phone upright and on its side (and a desktop), taps, one-finger scrolls and pinches do what they show', async () => {
  for (const [l_Width, l_Height, l_Scale] of [[390, 844, 3], [844, 390, 3], [1280, 900, 1]]) {
    const l_Size = `${l_Width} x ${l_Height}`;
    const l_Device = { deviceScaleFactor: l_Scale, hasTouch: true, isMobile: l_Scale > 1 };
    const l_Tab = await openComposer(l_Width, l_Height, l_Device);
    await blank(l_Tab, 100, 64);
    // The size of the bitmap the painter made last, once it has made the frame fitted to the page.
    await l_Tab.waitForFunction(() => !window.composer.editor.frame && !window.composer.editor.painter.waiting);
    const l_Layout = await l_Tab.evaluate(async () => {
      const { editor } = window.composer;
      const l_Canvas = editor.canvas;
      return { bitmap: editor.painter.bitmap, css: [l_Canvas.clientWidth, l_Canvas.clientHeight],
        maxScale: (await import('./composer/editor.js')).MAX_SCALE,
        tracks: document.getElementById('tracks').offsetWidth, picker: document.getElementById('track-picker').offsetWidth,
        page: [innerWidth, innerHeight], overflow: document.documentElement.scrollWidth > innerWidth };
    });
    Object.assign(l_Layout, await l_Tab.evaluate(rollAndControls));
    assert.deepEqual(l_Layout.bitmap, l_Layout.css.map((p_Size) => Math.round(p_Size * Math.min(l_Scale, l_Layout.maxScale))),
      `${l_Size}: the bitmap is the canvas's size in device pixels, at most MAX_SCALE to a CSS pixel`);
    assert.equal(l_Layout.overflow, false, `${l_Size}: nothing runs off the side`);
    if (l_Scale > 1) {
      assert.equal(l_Layout.tracks, 0, `${l_Size}: the track list folds into the picker`);
      assert.ok(l_Layout.picker > 0);
      assert.ok(l_Layout.share >= 0.7, `${l_Size}: the roll takes ${l_Layout.share} of the screen's area`);
      // The menu open scrolls within the screen, the roll below it keeping its share of the height.
      await l_Tab.click('#menu');
      const l_Menu = await l_Tab.evaluate(rollAndControls);
      assert.equal(l_Menu.page, l_Height, `${l_Size}: the menu open, the page stays the screen's height`);
      assert.ok(l_Menu.height >= 0.7 * l_Height, `${l_Size}: the menu open, the roll is ${l_Menu.height} px high`);
      await l_Tab.click('#menu');
      // The roll fitted to its size again (its resize is seen after a frame's layout).
      await l_Tab.waitForFunction(() => window.composer.editor.height === window.composer.editor.canvas.clientHeight);
      const l_Closed = await l_Tab.evaluate(rollAndControls);
      assert.ok(l_Closed.share >= 0.7, `${l_Size}: the menu closed, the roll takes ${l_Closed.share} of the screen again`);
    }
    assert.deepEqual(l_Layout.cut, [], `${l_Size}: every control is whole on the screen, above the roll`);

    // The roll keeps most of the height for the melody, whose rows a finger can hit (a short
    // screen folds the drum lanes into the chosen track's, of a finger's height).
    const l_Geometry = await l_Tab.evaluate(() => {
      const { editor } = window.composer;
      const l_Row = (p_Y) => editor.keyOf(editor.melodyTop + p_Y);
      return { share: editor.melodyHeight / editor.height, lane: editor.rowHeight(10),
        keys: [l_Row(1.5 * editor.view.keyHeight), l_Row(editor.melodyHeight / 2), l_Row(editor.melodyHeight - 1.5 * editor.view.keyHeight)] };
    });
    assert.ok(l_Geometry.share >= 0.6, `${l_Size}: the melody has ${l_Geometry.share} of the roll's height`);
    if (l_Scale > 1) assert.ok(l_Geometry.lane >= 16 && (l_Height > 500 || l_Geometry.lane >= 24), `${l_Size}: a drum lane is ${l_Geometry.lane} px high`);

    // Taps on cells drawn in the roll (its top, middle and bottom rows) and on a drum lane's, the
    // drum track chosen first as a phone chooses it: notes there.
    const l_Cells = l_Geometry.keys.map((p_Key, p_Index) => ({ track: 0, beat: 3 + 2 * p_Index, key: p_Key }));
    l_Cells.push({ track: 10, beat: 4 });
    if (l_Scale > 1) await l_Tab.select('#track-picker', '10');
    for (const l_Cell of l_Cells) await l_Tab.touchscreen.tap(...(await cellAt(l_Tab, l_Cell)));
    const l_Notes = await notesOf(l_Tab);
    assert.deepEqual([l_Notes[0].map((p_Note) => [p_Note.beat, p_Note.key]), l_Notes[10].map((p_Note) => p_Note.beat)],
      [l_Cells.slice(0, 3).map((p_Cell) => [p_Cell.beat, p_Cell.key]), [4]], `${l_Size}: a tap lands where it is drawn`);
    if (l_Scale > 1) console.log(`the composer at ${l_Size}: ${await screenshot(l_Tab, `composer-${l_Width}x${l_Height}`, { width: l_Width, height: l_Height, ...l_Device })}`);

    // One finger on empty space scrolls the roll along with it; two pinch it wider.
    const l_View = () => l_Tab.evaluate(() => ({ ...window.composer.editor.view }));
    const l_Before = await l_View();
    const [l_X, l_Y] = await cellAt(l_Tab, { track: 0, beat: 12, key: l_Cells[1].key - 2 });
    await touch(l_Tab, [[l_X, l_Y]], [[l_X - 60, l_Y + 30]]);
    const l_Scrolled = await l_View();
    assert.ok(Math.abs(l_Scrolled.beat - l_Before.beat - 60 / l_Before.beatWidth) < 0.01, `${l_Size}: scrolled ${l_Scrolled.beat - l_Before.beat} beats`);
    assert.ok(Math.abs(l_Before.row - l_Scrolled.row - 30 / l_Before.keyHeight) < 0.01, `${l_Size}: scrolled ${l_Before.row - l_Scrolled.row} rows`);
    await touch(l_Tab, [[l_X - 30, l_Y], [l_X + 30, l_Y + 40]], [[l_X - 60, l_Y], [l_X + 60, l_Y + 40]]);
    const l_Pinched = await l_View();
    assert.ok(Math.abs(l_Pinched.beatWidth / l_Scrolled.beatWidth - 2) < 0.01, `${l_Size}: pinched ${l_Pinched.beatWidth / l_Scrolled.beatWidth} times wider`);
    assert.deepEqual(await notesOf(l_Tab), l_Notes, `${l_Size}: scrolling and pinching write nothing`);
    // A drum played in on a short screen lands on the track that has it, whose lane is then shown.
    if (l_Scale > 1) await l_Tab.select('#track-picker', '10');
    const l_Shown = await l_Tab.evaluate(() => {
      const { editor, model, playing } = window.composer;
      model.edit((p_Edit) => p_Edit.set('instrument', 3, 11));
      playing.press('fold-test', 60 + 3);
      playing.release('fold-test');
      return { folded: editor.folded, lanes: editor.lanes };
    });
    if (l_Height < 500) assert.ok(l_Shown.folded, `${l_Size}: the drum lanes fold`);
    if (l_Shown.folded) assert.deepEqual(l_Shown.lanes, [11], `${l_Size}: the folded lane is the drum's track`);
    assert.deepEqual(l_Tab.problems, []);
    await l_Tab.close();
  }
});
