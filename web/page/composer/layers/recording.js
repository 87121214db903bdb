// A frame's drawing kept as a flat list of operations, so that the layers draw on the page's thread
// and the pixels are made on another (painter-worker.js replays the list onto the canvas it was
// handed). A Recording takes the part of a 2D context that the layers use; its properties can be
// set, not read. The list holds an operation's number, then its arguments; a property's number is
// past the methods'. A property set to the value it already holds is left out (the notes set their
// colour and alpha each, mostly the same as the last's), as save() and restore() keep them.

// The methods, with how many arguments each takes, then the properties (set with one).
const METHODS = [['fillRect', 4], ['strokeRect', 4], ['fillText', 3], ['beginPath', 0], ['rect', 4], ['moveTo', 2],
  ['lineTo', 2], ['fill', 0], ['clip', 0], ['save', 0], ['restore', 0], ['setLineDash', 1], ['setTransform', 6]];
const PROPERTIES = ['fillStyle', 'strokeStyle', 'font', 'globalAlpha', 'lineWidth'];

export class Recording {
  constructor() {
    this.ops = [];
    this.state = new Map();  // the properties set since the frame began, as the context holds them
    this.saved = [];         // those of each save() not yet restored
  }
}
// A method's arguments kept to its arity, so that the list is read back as it was written.
for (const [l_Code, [l_Name, l_Arity]] of METHODS.entries()) {
  Recording.prototype[l_Name] = {
    0() { this.ops.push(l_Code); },
    1(p_A) { this.ops.push(l_Code, p_A); },
    2(p_A, p_B) { this.ops.push(l_Code, p_A, p_B); },
    3(p_A, p_B, p_C) { this.ops.push(l_Code, p_A, p_B, p_C); },
    4(p_A, p_B, p_C, p_D) { this.ops.push(l_Code, p_A, p_B, p_C, p_D); },
    6(p_A, p_B, p_C, p_D, p_E, p_F) { this.ops.push(l_Code, p_A, p_B, p_C, p_D, p_E, p_F); },
  }[l_Arity];
}
const { save: l_Save, restore: l_Restore } = Recording.prototype;
Object.assign(Recording.prototype, {
  save() {
    this.saved.push(new Map(this.state));
    l_Save.call(this);
  },
  // A restore with nothing saved changes nothing, in a context as here.
  restore() {
    this.state = this.saved.pop() ?? this.state;
    l_Restore.call(this);
  },
});
for (const [l_Index, l_Name] of PROPERTIES.entries()) {
  Object.defineProperty(Recording.prototype, l_Name, {
    set(p_Value) {
      if (this.state.has(l_Name) && this.state.get(l_Name) === p_Value) return;
      this.state.set(l_Name, p_Value);
      this.ops.push(METHODS.length + l_Index, p_Value);
    },
  });
}

// Draws p_Ops (a Recording's) on p_C, a 2D context.
export function replay(p_C, p_Ops) {
  for (let l_At = 0; l_At < p_Ops.length;) {
    const l_Code = p_Ops[l_At++];
    if (l_Code >= METHODS.length) {
      p_C[PROPERTIES[l_Code - METHODS.length]] = p_Ops[l_At++];
      continue;
    }
    const [l_Name, l_Arity] = METHODS[l_Code];
    p_C[l_Name](...p_Ops.slice(l_At, l_At + l_Arity));
    l_At += l_Arity;
  }
}
