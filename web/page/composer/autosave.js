// The song kept in the browser after each edit, with its history of undo and redo, and offered back
// on the next visit. A write the storage refuses (full) is said at once, and the song kept before
// is marked as older, never offered as the latest. One tab at a time keeps the song (a Web Lock):
// a later tab says the song is open elsewhere and keeps nothing until the first one closes.
import { fromBase64Url, toBase64Url } from './codec.js';

export const AUTOSAVE = 'tunewright-composer';
const DELAY = 400;                     // ms after the last edit
const HISTORY_BUDGET = 5 * 1024 * 1024; // characters of history kept with the song at most

export class Autosave {
  // p_Host: { model, name() (the song's), message(text), addMessage(text) (after the one shown),
  // status(text), ask(text, restore, discard) }.
  constructor(p_Host) {
    Object.assign(this, p_Host);
    this.timer = 0;
    this.owner = false;  // this tab holds the lock: its edits are the ones kept
    this.failed = false;
    addEventListener('pagehide', () => this.timer && this.save());
  }

  // Takes the lock if no other tab holds it (else waits for it); gives whether this tab has it.
  async claim() {
    if (!navigator.locks) return (this.owner = true);
    const l_Held = new Promise((p_Held) => {
      navigator.locks.request(AUTOSAVE, { ifAvailable: true }, (p_Lock) => {
        p_Held(Boolean(p_Lock));
        return p_Lock ? new Promise(() => {}) : undefined;
      });
    });
    this.owner = await l_Held;
    if (!this.owner) {
      this.addMessage('This song is open in another tab: edits here are not kept in this browser until that tab closes (Save keeps them in a file).');
      navigator.locks.request(AUTOSAVE, () => {
        this.owner = true;
        this.status('The other tab closed: this one keeps its song in the browser from now on.');
        this.save();
        return new Promise(() => {});
      });
    }
    return this.owner;
  }

  // After an edit: the song kept a moment later.
  soon() {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.save(), DELAY);
  }

  // Flushes what waits to be kept (before another song replaces this one).
  flush() { if (this.timer) this.save(); }

  save() {
    clearTimeout(this.timer);
    this.timer = 0;
    if (!this.owner) return;
    const l_Song = toBase64Url(this.model.toBytes());
    // The history shrinks until the record fits; the song itself must.
    for (let l_Budget = HISTORY_BUDGET; ; l_Budget = l_Budget > 1024 ? Math.floor(l_Budget / 2) : 0) {
      try {
        localStorage.setItem(AUTOSAVE, `{"name":${JSON.stringify(this.name())},"at":${Date.now()},"song":"${l_Song}","history":${this.model.history(toBase64Url, l_Budget)}}`);
        if (this.failed) this.status('The song is kept in this browser again.');
        this.failed = false;
        return;
      } catch (p_Error) {
        if (l_Budget > 0) continue;
        this.#refused(p_Error);
        return;
      }
    }
  }

  // The storage refused the song: said, and the song kept before marked as older than this one.
  #refused(p_Error) {
    if (!this.failed)
      this.message(p_Error?.name === 'QuotaExceededError'
        ? 'The song is too large for this browser\'s storage: the edits since the last one kept are not kept here. Save keeps them in a file.'
        : `The song cannot be kept in this browser (${p_Error?.message}): Save keeps it in a file.`);
    this.failed = true;
    try {
      const l_Kept = JSON.parse(localStorage.getItem(AUTOSAVE));
      if (l_Kept && !l_Kept.outdated) localStorage.setItem(AUTOSAVE, JSON.stringify({ ...l_Kept, outdated: Date.now() }));
    } catch {
      localStorage.removeItem(AUTOSAVE);
    }
  }

  // The song kept here, offered back: p_Restore(bytes, name, history) once the person says so (in a
  // later tab too, which keeps nothing of its own while the first is open).
  offer(p_Restore) {
    let l_Saved;
    try {
      l_Saved = JSON.parse(localStorage.getItem(AUTOSAVE));
    } catch {
      return;
    }
    if (!l_Saved?.song) return;
    const l_When = new Date(l_Saved.at).toLocaleString();
    const l_Text = l_Saved.outdated
      ? `An older version of “${l_Saved.name}” (of ${l_When}) is kept here: its later edits did not fit in this browser's storage (${new Date(l_Saved.outdated).toLocaleString()}).`
      : `“${l_Saved.name}” was being written here on ${l_When}.`;
    this.ask(l_Text, () => {
      try {
        p_Restore(fromBase64Url(l_Saved.song), l_Saved.name, l_Saved.history);
      } catch {
        this.message('The song kept here cannot be read.');
      }
    }, () => localStorage.removeItem(AUTOSAVE));
  }
}

// A kept history's song versions back as bytes.
export const historyBytes = fromBase64Url;
