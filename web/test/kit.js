// What the package's tests share: where the built module and the native programs are, a song of
// one note, the samples of a 16-bit WAV file, the built pages served to headless Chromium and the
// files a page downloads.
import { execFileSync } from 'node:child_process';
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const webDir = path.resolve(process.env.TUNEWRIGHT_WEB ?? path.join(root, 'build/web'));
export const nativeBuild = process.env.TUNEWRIGHT_NATIVE_BUILD ?? path.join(root, 'build/plain');
export const renderer = path.join(nativeBuild, 'source/orgrender/tunewright-render');
export const info = path.join(nativeBuild, 'source/orginfo/tunewright-info');
export const converter = path.join(nativeBuild, 'source/orgconvert/tunewright-convert');
export const dataDir = path.join(nativeBuild, 'data');

// Org-02 bytes: p_Tracks[t] = { instrument, events: [{ beat, note, length, volume, pan }] } for
// t < 16 (missing tracks are empty), the loop from beat 0 to p_Beats.
export function orgSong(p_Tracks, p_Beats, p_Tempo = 100) {
  const l_Tracks = Array.from({ length: 16 }, (_, p_Track) => p_Tracks[p_Track] ?? { instrument: 0, events: [] });
  const l_Events = l_Tracks.reduce((p_Sum, p_Track) => p_Sum + p_Track.events.length, 0);
  const l_Bytes = Buffer.alloc(114 + 8 * l_Events);
  l_Bytes.write('Org-02', 0, 'latin1');
  l_Bytes.writeUInt16LE(p_Tempo, 6);
  l_Bytes.set([4, 4], 8);
  l_Bytes.writeUInt32LE(0, 10);
  l_Bytes.writeUInt32LE(p_Beats, 14);
  let l_At = 114;
  l_Tracks.forEach(({ instrument, events }, p_Track) => {
    l_Bytes.writeUInt16LE(1000, 18 + 6 * p_Track);  // pitch
    l_Bytes.writeUInt8(instrument, 18 + 6 * p_Track + 2);
    l_Bytes.writeUInt16LE(events.length, 18 + 6 * p_Track + 4);
    const l_Count = events.length;
    events.forEach((p_Event, p_Index) => {
      l_Bytes.writeUInt32LE(p_Event.beat, l_At + 4 * p_Index);
      [p_Event.note, p_Event.length, p_Event.volume, p_Event.pan].forEach((p_Value, p_Field) =>
        l_Bytes.writeUInt8(p_Value, l_At + (4 + p_Field) * l_Count + p_Index));
    });
    l_At += 8 * l_Count;
  });
  return new Uint8Array(l_Bytes);
}

// A song whose melody track 0 holds p_Note from beat 0 for p_Beats beats.
export function oneNoteSong(p_Note, p_Beats = 20) {
  return orgSong([{ instrument: 0, events: [{ beat: 0, note: p_Note, length: p_Beats, volume: 200, pan: 6 }] }], p_Beats);
}

// The interleaved samples and rate of a 16-bit PCM WAV file's bytes.
export function wavSamples(p_Bytes) {
  const l_View = Buffer.from(p_Bytes);
  let l_Rate = 0;
  for (let l_At = 12; l_At + 8 <= l_View.length; ) {
    const l_Id = l_View.toString('latin1', l_At, l_At + 4);
    const l_Size = l_View.readUInt32LE(l_At + 4);
    if (l_Id === 'fmt ') l_Rate = l_View.readUInt32LE(l_At + 12);
    if (l_Id === 'data') {
      const l_Data = l_View.subarray(l_At + 8, l_At + 8 + l_Size);
      return { rate: l_Rate, samples: new Int16Array(l_Data.buffer.slice(l_Data.byteOffset, l_Data.byteOffset + l_Data.length)) };
    }
    l_At += 8 + l_Size + (l_Size & 1);
  }
  throw new Error('no data chunk');
}

// Runs p_Body(folder) in a fresh temporary folder, removed afterwards (once its promise settles,
// when p_Body is async).
export function withTempDir(p_Body) {
  const l_Dir = mkdtempSync(path.join(tmpdir(), 'tunewright-web-'));
  const l_Remove = () => rmSync(l_Dir, { recursive: true, force: true });
  let l_Result;
  try {
    l_Result = p_Body(l_Dir);
  } catch (p_Error) {
    l_Remove();
    throw p_Error;
  }
  if (l_Result instanceof Promise) return l_Result.finally(l_Remove);
  l_Remove();
  return l_Result;
}

export function run(p_Program, p_Args) {
  return execFileSync(p_Program, p_Args, { stdio: ['ignore', 'pipe', 'pipe'] });
}

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm', '.png': 'image/png' };

// The built pages, served from 127.0.0.1 to a headless Chromium: { url, browser, open(page, width,
// height, device) → a tab on that page whose console errors and uncaught exceptions gather in tab.problems,
// close() }.
export async function servePages() {
  const l_Server = createServer(async (p_Request, p_Response) => {
    const l_Path = path.join(webDir, decodeURIComponent(new URL(p_Request.url, 'http://x').pathname));
    try {
      const l_File = l_Path.endsWith('/') ? path.join(l_Path, 'index.html') : l_Path;
      const l_Body = await readFile(l_File);
      p_Response.writeHead(200, { 'content-type': TYPES[path.extname(l_File)] ?? 'application/octet-stream' });
      p_Response.end(l_Body);
    } catch {
      p_Response.writeHead(404).end();
    }
  });
  await new Promise((p_Done) => l_Server.listen(0, '127.0.0.1', p_Done));
  const l_Profile = mkdtempSync(path.join(tmpdir(), 'tunewright-chromium-'));
  const { default: puppeteer } = await import('puppeteer-core');
  const l_Browser = await puppeteer.launch({
    executablePath: process.env.TUNEWRIGHT_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required', `--user-data-dir=${l_Profile}`],
  });
  const l_Url = `http://127.0.0.1:${l_Server.address().port}/`;
  return {
    url: l_Url,
    browser: l_Browser,
    // p_Device: more of puppeteer's viewport (deviceScaleFactor, hasTouch, isMobile).
    async open(p_Page, p_Width = 1000, p_Height = 700, p_Device = {}) {
      const l_Tab = await l_Browser.newPage();
      l_Tab.problems = [];
      l_Tab.on('console', (p_Message) => p_Message.type() === 'error' && l_Tab.problems.push(p_Message.text()));
      l_Tab.on('pageerror', (p_Error) => l_Tab.problems.push(p_Error.message));
      await l_Tab.setViewport({ width: p_Width, height: p_Height, ...p_Device });
      await l_Tab.goto(new URL(p_Page, l_Url).href, { waitUntil: 'load' });
      return l_Tab;
    },
    async close() {
      await l_Browser.close();
      l_Server.close();
      rmSync(l_Profile, { recursive: true, force: true });
    },
  };
}

// Saves what p_Tab shows at 1280 x 900 (or at p_Viewport, puppeteer's viewport, as it is) as
// build/screenshots/p_Name.png (beside the web build), for a person to look at; gives the file's path.
export async function screenshot(p_Tab, p_Name, p_Viewport = { width: 1280, height: 900 }) {
  const l_Dir = path.join(path.dirname(webDir), 'screenshots');
  mkdirSync(l_Dir, { recursive: true });
  await p_Tab.setViewport(p_Viewport);
  const l_File = path.join(l_Dir, `${p_Name}.png`);
  await p_Tab.screenshot({ path: l_File });
  return l_File;
}

// Clicks p_Button and gives the bytes of the file ending in p_Extension it downloads, and the path
// it had (for p_Read(path), before the folder goes).
export async function download(p_Tab, p_Button, p_Extension, p_Read = () => undefined) {
  return withTempDir(async (p_Dir) => {
    const l_Session = await p_Tab.createCDPSession();
    await l_Session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: p_Dir });
    await p_Tab.click(`aria/${p_Button}`);
    // Done once the file has its name and its bytes: a loaded browser may show the name first.
    const l_Done = () => {
      const l_Names = readdirSync(p_Dir);
      const l_Name = l_Names.find((p_Name) => p_Name.endsWith(p_Extension));
      return l_Name && !l_Names.some((p_Name) => p_Name.endsWith('.crdownload')) && statSync(path.join(p_Dir, l_Name)).size > 0 ? l_Name : undefined;
    };
    for (let l_Wait = 0; !l_Done() && l_Wait < 400; ++l_Wait) await new Promise((p_Wake) => setTimeout(p_Wake, 50));
    assert.ok(l_Done(), `${p_Button} downloads a ${p_Extension} file`);
    const l_File = path.join(p_Dir, l_Done());
    return { bytes: new Uint8Array(readFileSync(l_File)), read: p_Read(l_File) };
  });
}
