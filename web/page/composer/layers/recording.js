// A frame's drawing kept as a flat list of operations, so that the layers draw on the page's thread
// and the pixels are made on another (painter-worker.js replays the list onto the canvas it was
// handed). A Recording takes the part of a 2D context that the layers use; its properties can be
// set, not read. The list holds an operation's number, then its arguments.

// Each operation: its name, how many arguments it takes and how it is played onto a context p_C
// from p_Ops[p_At] on (a call written out, which the engine makes as fast as the layers' own).
const OPERATIONS = [
  ['fillRect', 4, (p_C, p_Ops, p_At) => p_C.fillRect(p_Ops[p_At], p_Ops[p_At + 1], p_Ops[p_At + 2], p_Ops[p_At + 3])],
  ['strokeRect', 4, (p_C, p_Ops, p_At) => p_C.strokeRect(p_Ops[p_At], p_Ops[p_At + 1], p_Ops[p_At + 2], p_Ops[p_At + 3])],
  ['fillText', 3, (p_C, p_Ops, p_At) => p_C.fillText(p_Ops[p_At], p_Ops[p_At + 1], p_Ops[p_At + 2])],
  ['beginPath', 0, (p_C) => p_C.beginPath()],
  ['rect', 4, (p_C, p_Ops, p_At) => p_C.rect(p_Ops[p_At], p_Ops[p_At + 1], p_Ops[p_At + 2], p_Ops[p_At + 3])],
  ['moveTo', 2, (p_C, p_Ops, p_At) => p_C.moveTo(p_Ops[p_At], p_Ops[p_At + 1])],
  ['lineTo', 2, (p_C, p_Ops, p_At) => p_C.lineTo(p_Ops[p_At], p_Ops[p_At + 1])],
  ['fill', 0, (p_C) => p_C.fill()],
  ['clip', 0, (p_C) => p_C.clip()],
  ['save', 0, (p_C) => p_C.save()],
  ['restore', 0, (p_C) => p_C.restore()],
  ['setLineDash', 1, (p_C, p_Ops, p_At) => p_C.setLineDash(p_Ops[p_At])],
  ['setTransform', 6, (p_C, p_Ops, p_At) => p_C.setTransform(p_Ops[p_At], p_Ops[p_At + 1], p_Ops[p_At + 2], p_Ops[p_At + 3], p_Ops[p_At + 4], p_Ops[p_At + 5])],
  // Properties, set with one argument.
  ['fillStyle', 1, (p_C, p_Ops, p_At) => { p_C.fillStyle = p_Ops[p_At]; }],
  ['strokeStyle', 1, (p_C, p_Ops, p_At) => { p_C.strokeStyle = p_Ops[p_At]; }],
  ['font', 1, (p_C, p_Ops, p_At) => { p_C.font = p_Ops[p_At]; }],
  ['globalAlpha', 1, (p_C, p_Ops, p_At) => { p_C.globalAlpha = p_Ops[p_At]; }],
  ['lineWidth', 1, (p_C, p_Ops, p_At) => { p_C.lineWidth = p_Ops[p_At]; }],
];
const PROPERTIES = new Set(['fillStyle', 'strokeStyle', 'font', 'globalAlpha', 'lineWidth']);
const ARITY = OPERATIONS.map(([, p_Arity]) => p_Arity);
const PLAY = OPERATIONS.map(([, , p_Play]) => p_Play);

export class Recording {
  constructor() {
    this.ops = [];
  }
}
for (const [l_Code, [l_Name, l_Arity]] of OPERATIONS.entries()) {
  if (PROPERTIES.has(l_Name)) {
    Object.defineProperty(Recording.prototype, l_Name, { set(p_Value) { this.ops.push(l_Code, p_Value); } });
    continue;
  }
  // One function for each arity: no arguments gathered into an array for each call.
  Recording.prototype[l_Name] = {
    0() { this.ops.push(l_Code); },
    1(p_A) { this.ops.push(l_Code, p_A); },
    2(p_A, p_B) { this.ops.push(l_Code, p_A, p_B); },
    3(p_A, p_B, p_C) { this.ops.push(l_Code, p_A, p_B, p_C); },
    4(p_A, p_B, p_C, p_D) { this.ops.push(l_Code, p_A, p_B, p_C, p_D); },
    6(p_A, p_B, p_C, p_D, p_E, p_F) { this.ops.push(l_Code, p_A, p_B, p_C, p_D, p_E, p_F); },
  }[l_Arity];
}

// Draws p_Ops (a Recording's) on p_C, a 2D context.
export function replay(p_C, p_Ops) {
  for (let l_At = 0; l_At < p_Ops.length;) {
    const l_Code = p_Ops[l_At];
    PLAY[l_Code](p_C, p_Ops, l_At + 1);
    l_At += 1 + ARITY[l_Code];
  }
}
