// The keyboard: everywhere but in a field or a list, where the keys are theirs (but Space, which
// plays and stops wherever the focus is but on a control that Space works: a field, a check box, a
// radio button, a slider, a list; on a button it plays, not clicks).
import { KEYS, MELODY_TRACKS } from './model.js';

const ownsSpace = (p_Target) => p_Target instanceof HTMLInputElement || p_Target instanceof HTMLSelectElement ||
  p_Target instanceof HTMLTextAreaElement || Boolean(p_Target.isContentEditable);

// p_App: { editor, model, playing, dialog (the shortcuts), isPlaying(), play(), stop(), record(),
// setPiano(on), chooseTrack(t), toggle(kind, t), preview(t), commands, actions, openFile() }.
export function installKeys(p_App) {
  const { playing } = p_App;
  document.addEventListener('keydown', (p_Event) => {
    const l_Target = p_Event.target;
    if (p_Event.code === 'Space' && !ownsSpace(l_Target) && !p_App.dialog.open && !p_Event.ctrlKey && !p_Event.metaKey && !p_Event.altKey) {
      p_Event.preventDefault();
      if (!p_Event.repeat) playOrStop(p_App, p_Event);
      return;
    }
    if (l_Target instanceof HTMLInputElement || l_Target instanceof HTMLSelectElement || p_App.dialog.open) return;
    if (playing.key(p_Event, true)) return p_Event.preventDefault();
    playing.enterPending();
    if (p_Event.code === 'Backquote' && !p_Event.ctrlKey && !p_Event.metaKey) {
      p_App.setPiano(!playing.piano);
      return p_Event.preventDefault();
    }
    const l_Key = p_Event.key.length === 1 ? p_Event.key.toLowerCase() : p_Event.key;
    const l_Digit = /^Digit([1-8])$/.exec(p_Event.code);
    let l_Done;
    if (p_Event.ctrlKey || p_Event.metaKey) l_Done = commandKey(p_App, p_Event, l_Key);
    else if (l_Digit && !p_Event.altKey) {
      p_App.chooseTrack(Number(l_Digit[1]) - 1 + (p_Event.shiftKey ? MELODY_TRACKS : 0));
      l_Done = true;
    } else l_Done = !(l_Target instanceof HTMLButtonElement && l_Key === 'Enter') && editKey(p_App, p_Event, l_Key);
    if (l_Done) p_Event.preventDefault();
  });

  // A key let go ends its note wherever the focus went; Space let go on a button does not click it.
  document.addEventListener('keyup', (p_Event) => {
    if (p_Event.code === 'Space' && p_Event.target instanceof HTMLButtonElement) p_Event.preventDefault();
    playing.key(p_Event, false);
  });
  addEventListener('blur', () => playing.releaseAll());
}

// Space: records with Shift, else plays or stops.
function playOrStop(p_App, p_Event) {
  if (p_Event.shiftKey) p_App.record();
  else if (p_App.isPlaying()) p_App.stop();
  else p_App.play();
}

// Ctrl (Cmd) with p_Key: undo, redo, the clipboard, select all, duplicate, save, open, and with Alt
// a new song. False for a key that has none.
function commandKey(p_App, p_Event, p_Key) {
  const { editor, commands, actions } = p_App;
  const l_Do = { z: p_Event.shiftKey ? commands.redo : commands.undo, y: commands.redo, a: () => editor.selectAll(), x: commands.cut,
    c: commands.copy, v: commands.paste, d: commands.duplicate, s: actions.save, o: p_App.openFile }[p_Key];
  if (p_Event.altKey && p_Key === 'n') actions.newSong();
  else if (l_Do) l_Do();
  else return false;
  return true;
}

// p_Key alone (or with Shift): editing, the cursor, tools, the track's switches and the view. False
// for a key that does nothing here.
function editKey(p_App, p_Event, p_Key) {
  const { editor, model, commands } = p_App;
  const l_Selection = editor.selection.size > 0;
  const l_Cursor = editor.cursor;
  switch (p_Key) {
    case 'Delete': case 'Backspace': commands.delete(); break;
    case 'Escape': editor.select([]); editor.setSection(null); break;
    case 'Enter': commands.placeNote(); break;
    case 'ArrowUp': case 'ArrowDown': {
      const l_Keys = (p_Key === 'ArrowUp' ? 1 : -1) * (p_Event.shiftKey ? 12 : 1);
      if (l_Selection || editor.section) commands.transpose(l_Keys);
      else {
        l_Cursor.key = Math.max(0, Math.min(KEYS - 1, l_Cursor.key + l_Keys));
        editor.reveal();
      }
      break;
    }
    case 'ArrowLeft': case 'ArrowRight': {
      const l_Beats = (p_Key === 'ArrowRight' ? 1 : -1) * (p_Event.shiftKey ? model.barLayout.perBeat : 1);
      if (l_Selection) commands.moveSelection(l_Beats);
      else {
        l_Cursor.beat = Math.max(0, l_Cursor.beat + l_Beats);
        editor.reveal();
      }
      break;
    }
    case 'd': commands.tool('draw'); break;
    case 's': commands.tool('select'); break;
    case 'e': commands.tool('erase'); break;
    case 'm': p_App.toggle('mute', editor.track); break;
    case 'o': p_App.toggle('solo', editor.track); break;
    case 'i': p_App.preview(editor.track); break;
    case 'l': commands.lane(); break;
    case '=': case '+': editor.zoom(1.25, 'beats'); break;
    case '-': editor.zoom(0.8, 'beats'); break;
    case ']': editor.zoom(1.25, 'keys'); break;
    case '[': editor.zoom(0.8, 'keys'); break;
    case 'PageUp': editor.scroll(0, -editor.rowsShown / 2); break;
    case 'PageDown': editor.scroll(0, editor.rowsShown / 2); break;
    case 'Home': l_Cursor.beat = 0; editor.reveal(); break;
    case '?': p_App.dialog.showModal(); break;
    default: return false;
  }
  return true;
}
