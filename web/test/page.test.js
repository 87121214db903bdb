// The web player in headless Chromium, served from 127.0.0.1: a dropped song of one note shows (its
// piano roll drawn from what the decoder says the song strikes) and plays, the page's own worklet
// renders it at the right pitch, a file that is no song gets the decoder's message, and nothing
// reaches the console as an error.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';

import path from 'node:path';
import { oneNoteSong, orgSong, screenshot, servePages, webDir } from './kit.js';

const { createTunewright } = await import(path.join(webDir, 'index.js'));
const tw = await createTunewright();

const RATE = 48000;
let pages;
let page;

// The frequency of the strongest period of p_Samples, by autocorrelation refined between lags.
function pitch(p_Samples, p_Rate) {
  const l_Correlation = (p_Lag) => {
    let l_Sum = 0;
    for (let l_Index = 0; l_Index + p_Lag < p_Samples.length; ++l_Index) l_Sum += p_Samples[l_Index] * p_Samples[l_Index + p_Lag];
    return l_Sum;
  };
  let l_Best = 0;
  let l_BestLag = 0;
  for (let l_Lag = Math.floor(p_Rate / 2000); l_Lag < p_Rate / 50; ++l_Lag) {
    const l_Value = l_Correlation(l_Lag);
    if (l_Value > l_Best) [l_Best, l_BestLag] = [l_Value, l_Lag];
  }
  const [l_A, l_B, l_C] = [l_Correlation(l_BestLag - 1), l_Best, l_Correlation(l_BestLag + 1)];
  return p_Rate / (l_BestLag + (0.5 * (l_A - l_C)) / (l_A - 2 * l_B + l_C));
}

// Drops a file named p_Name holding p_Bytes on the page, as a user dragging it there would.
function drop(p_Name, p_Bytes) {
  return page.evaluate(
    (p_FileName, p_Data) => {
      const l_Transfer = new DataTransfer();
      l_Transfer.items.add(new File([new Uint8Array(p_Data)], p_FileName));
      document.getElementById('drop').dispatchEvent(new DragEvent('drop', { dataTransfer: l_Transfer, bubbles: true, cancelable: true }));
    },
    p_Name,
    Array.from(p_Bytes),
  );
}

before(async () => {
  pages = await servePages();
  page = await pages.open('');
});

after(async () => {
  await pages?.close();
});

test('a dropped one-note song shows, plays and sounds at 440 Hz through the page worklet', async () => {
  // Track 0 holds the note; track 1 only an event of length 0, which the song never strikes.
  const l_Song = orgSong([
    { instrument: 0, events: [{ beat: 0, note: 57, length: 20, volume: 200, pan: 6 }] },
    { instrument: 0, events: [{ beat: 2, note: 56, length: 0, volume: 200, pan: 6 }] },
  ], 20);
  await drop('note-57.org', l_Song);
  await page.waitForFunction(() => document.getElementById('title').textContent === 'note-57');
  await page.click('#play');
  // Playing, as a user sees it: the position slider moves.
  await page.waitForFunction(() => Number(document.getElementById('seek').value) > 0, { timeout: 10000 });

  // The screenshot holds the song's name (drawn in the title, inside the picture) and the note,
  // drawn in the first melody track's colour in the piano roll; nothing in the second track's.
  const l_Shot = await page.screenshot({ encoding: 'base64' });
  const l_Found = await page.evaluate(async (p_Png) => {
    const l_Image = await createImageBitmap(await (await fetch(`data:image/png;base64,${p_Png}`)).blob());
    const l_Canvas = new OffscreenCanvas(l_Image.width, l_Image.height);
    const l_C = l_Canvas.getContext('2d');
    l_C.drawImage(l_Image, 0, 0);
    const l_Roll = document.getElementById('roll').getBoundingClientRect();
    const l_Pixels = l_C.getImageData(l_Roll.left, l_Roll.top, l_Roll.width, l_Roll.height).data;
    let l_Note = 0;
    let l_Change = 0;
    for (let l_At = 0; l_At < l_Pixels.length; l_At += 4) {
      const [l_R, l_G, l_B] = l_Pixels.subarray(l_At, l_At + 3);
      if (l_R > 200 && l_G > 80 && l_G < 130 && l_B < 130) ++l_Note;
      if (l_R > 120 && l_G > 0.6 * l_R && l_G < 0.8 * l_R && l_B < 0.45 * l_R) ++l_Change;  // orange, lit or not
    }
    const l_Title = document.getElementById('title').getBoundingClientRect();
    return { note: l_Note, change: l_Change, titleShown: l_Title.bottom <= l_Image.height && l_Title.width > 0 };
  }, l_Shot);
  assert.ok(l_Found.note > 100, `note pixels in the piano roll: ${l_Found.note}`);
  assert.equal(l_Found.change, 0, 'an event of length 0 is drawn');
  assert.ok(l_Found.titleShown);
  console.log(`the player page: ${await screenshot(page, 'player')}`);

  // The page's own worklet (app.js makes it), rendering offline.
  const [l_Left] = await page.evaluate(async (p_Song, p_Rate) => {
    const { makeNode } = await import(new URL('player/app.js', document.baseURI).href);
    const l_Context = new OfflineAudioContext(2, p_Rate, p_Rate);
    const l_Node = await makeNode(l_Context);
    const l_Opened = new Promise((p_Done) => (l_Node.port.onmessage = (p_Event) => p_Done(p_Event.data)));
    // Opened and playing in one command, so that rendering cannot start between the two.
    l_Node.port.postMessage({ type: 'open', bytes: new Uint8Array(p_Song), loops: 0, volume: 0.5, play: true });
    const l_Answer = await l_Opened;
    if (l_Answer.type !== 'opened') throw new Error(l_Answer.message);
    const l_Buffer = await l_Context.startRendering();
    return [Array.from(l_Buffer.getChannelData(0))];
  }, Array.from(oneNoteSong(57)), RATE);
  const l_Tail = Float32Array.from(l_Left.slice(RATE / 10));
  assert.ok(Math.max(...l_Tail) > 0.05, 'the offline render is not silent');
  const l_Hz = pitch(l_Tail, RATE);
  console.log(`offline render through the page worklet: ${l_Hz.toFixed(2)} Hz`);
  assert.ok(Math.abs(l_Hz - 440) < 440 * 0.005, `pitch ${l_Hz} Hz`);
});

test('a file that is no song gets the decoder message and the page goes on', async () => {
  await drop('notes.txt', new TextEncoder().encode('these are not the notes you are looking for'));
  await page.waitForFunction(() => document.getElementById('message').textContent !== '');
  const l_Message = await page.$eval('#message', (p_Element) => p_Element.textContent);
  assert.match(l_Message, /^notes\.txt cannot be played: The data is not an Org-02 song/);
  assert.equal(await page.$eval('#title', (p_Element) => p_Element.textContent), 'note-57');
  assert.deepEqual(page.problems, []);
});

test('while a song plays each track shows its instrument, a scope of its own sound and its level; a click mutes it, a shift-click or a long press solos it', async () => {
  const l_Long = (p_Note, p_Every, p_Length) => Array.from({ length: 250 / p_Every }, (_, p_At) => ({ beat: p_At * p_Every, note: p_Note, length: p_Length, volume: 200, pan: 6 }));
  const l_Song = orgSong({
    0: { instrument: 12, events: l_Long(57, 250, 250) },
    1: { instrument: 5, events: l_Long(64, 250, 250) },
    8: { instrument: 0, events: l_Long(48, 1, 1) },
  }, 250);
  await drop('three-tracks.org', l_Song);
  await page.waitForFunction(() => document.getElementById('title').textContent === 'three-tracks');
  await page.click('#play');
  const l_Level = (p_Track) => page.evaluate((p_Index) => window.player.tracks.levels[p_Index]?.peak ?? -1, p_Track);
  await page.waitForFunction(() => [0, 1, 8].every((p_Track) => window.player.tracks.levels[p_Track]?.peak > 0), { timeout: 10000 });
  await new Promise((p_Done) => setTimeout(p_Done, 500));

  // Per scope: its name and how many rows of its scope (above the level bar) hold more than the
  // background and the centre line: a sound's wave crosses many, silence is one flat line.
  const l_Scopes = await page.$$eval('#tracks .track', (p_Tiles) => p_Tiles.map((p_Tile) => {
    const l_Canvas = p_Tile.querySelector('canvas');
    const l_Pixels = l_Canvas.getContext('2d').getImageData(0, 0, l_Canvas.width, l_Canvas.height).data;
    let l_Rows = 0;
    for (let l_Y = 0; l_Y < 0.85 * l_Canvas.height; ++l_Y) {
      let l_Lit = false;
      for (let l_X = 0; l_X < l_Canvas.width && !l_Lit; ++l_X) l_Lit = l_Pixels[4 * (l_Y * l_Canvas.width + l_X)] + l_Pixels[4 * (l_Y * l_Canvas.width + l_X) + 1] > 150;
      l_Rows += l_Lit;
    }
    return { name: p_Tile.querySelector('.name').textContent, rows: l_Rows };
  }));
  assert.equal(l_Scopes.length, 16);
  // The library's own names of the song's instruments (waveforms 12 and 5, drum 0 twice).
  assert.deepEqual([0, 1, 8, 9].map((p_Track) => l_Scopes[p_Track].name), [tw.waveNames[12], tw.waveNames[5], tw.drumNames[0], tw.drumNames[0]]);
  l_Scopes.forEach((p_Scope, p_Track) => {
    if ([0, 1, 8].includes(p_Track)) assert.ok(p_Scope.rows >= 8, `track ${p_Track} sounds: its scope lights ${p_Scope.rows} rows`);
    else assert.ok(p_Scope.rows <= 3, `track ${p_Track} is silent: its scope lights ${p_Scope.rows} rows`);
  });
  const l_Times = await page.evaluate(() => [...window.player.tracks.frameTimes].sort((p_A, p_B) => p_A - p_B));
  const l_At = (p_Share) => l_Times[Math.min(l_Times.length - 1, Math.floor(p_Share * l_Times.length))].toFixed(2);
  console.log(`the tracks' scopes: script time per frame over ${l_Times.length} frames: median ${l_At(0.5)} ms, 95% ${l_At(0.95)} ms, worst ${l_At(1)} ms`);
  console.log(`the player with its tracks: ${await screenshot(page, 'player-tracks')}`);

  // A click mutes on the library's desk: it says so, and the track's level falls to nothing.
  const l_Desk = () => page.evaluate(() => ({ muted: window.player.tracks.muted, soloed: window.player.tracks.soloed }));
  await page.click('#tracks .track:nth-child(1)');
  await page.waitForFunction(() => window.player.tracks.muted[0] && window.player.tracks.levels[0].peak === 0, { timeout: 5000 });
  assert.ok((await l_Level(1)) > 0 && (await l_Level(8)) > 0, 'the other tracks sound on');
  await page.keyboard.down('Shift');
  await page.click('#tracks .track:nth-child(2)');
  await page.keyboard.up('Shift');
  await page.waitForFunction(() => window.player.tracks.soloed[1] && window.player.tracks.levels[8].peak === 0, { timeout: 5000 });
  assert.deepEqual([await l_Level(0), (await l_Level(1)) > 0], [0, true], 'only the soloed track sounds');
  const l_Expected = Array.from({ length: 16 }, (_, p_Track) => p_Track === 0);
  assert.deepEqual(await l_Desk(), { muted: l_Expected, soloed: [false, ...l_Expected.slice(0, 15)] });
  // A long press (a finger's on a touch screen) solos too: held on track 9, it solos that one and
  // mutes nothing; held on track 2 again, it lifts that solo.
  const l_Hold = async (p_Tile) => {
    const l_Box = await (await page.$(`#tracks .track:nth-child(${p_Tile})`)).boundingBox();
    await page.mouse.move(l_Box.x + l_Box.width / 2, l_Box.y + l_Box.height / 2);
    await page.mouse.down();
    await new Promise((p_Done) => setTimeout(p_Done, 700));
    await page.mouse.up();
  };
  await l_Hold(9);
  await l_Hold(2);
  await page.waitForFunction(() => window.player.tracks.soloed[8] && !window.player.tracks.soloed[1], { timeout: 5000 });
  assert.deepEqual(await l_Desk(), { muted: l_Expected, soloed: Array.from({ length: 16 }, (_, p_Track) => p_Track === 8) });
  await page.click('#play');
  assert.deepEqual(page.problems, []);
});
