// A page's frames as Chromium's trace of them gives them, for the web benchmarks. At 60 Hz one
// frame to the next is 16.7 ms at best, so the figures that tell whether a page keeps up are the
// main thread's work for each frame and the frames the display missed:
//   - render: the task that makes a frame (its animation-frame callbacks, style, layout, paint and
//     the commit to the compositor), each frame's;
//   - busy: all the main thread's tasks of each frame, from the end of the last frame's rendering to
//     the end of this one's (messages, timers and input too), so that they add up to the whole run;
//   - workers: a dedicated worker's time on a processor for each frame it made (the composer's
//     painter makes the roll's pixels in one);
//   - dropped: the share of the display's frames (vsyncs) that no new frame was made for, from the
//     animation frames' times (an interval over 1.5 vsyncs misses that many).
// traceFrames(tab, vsync, body) traces while body() runs and gives { render, busy, workers, dropped, frames };
// vsyncOf(tab) measures the display's frame interval first.

// Whatever a rendering task holds, one of these at least (an animation frame, a style, layout or
// paint pass, the commit).
const RENDERING = new Set(['FireAnimationFrame', 'BeginMainThreadFrame', 'UpdateLayoutTree', 'Layout', 'Paint', 'PrePaint', 'Commit']);
const CATEGORIES = ['toplevel', 'devtools.timeline', 'disabled-by-default-devtools.timeline', 'disabled-by-default-devtools.timeline.frame'];

// The renderer's main thread that ran the most animation frames: the tab's.
function mainThread(p_Events) {
  const l_Counts = new Map();
  for (const l_Event of p_Events)
    if (l_Event.name === 'FireAnimationFrame') {
      const l_Key = `${l_Event.pid}:${l_Event.tid}`;
      l_Counts.set(l_Key, (l_Counts.get(l_Key) ?? 0) + 1);
    }
  return [...l_Counts].sort((p_A, p_B) => p_B[1] - p_A[1])[0]?.[0];
}

// The frames of p_Events (a trace's) on its tab's main thread: { render, busy } in ms per frame.
export function framesOf(p_Events) {
  const l_Thread = mainThread(p_Events);
  if (!l_Thread) throw new Error('the trace holds no animation frame');
  const l_Mine = p_Events.filter((p_Event) => `${p_Event.pid}:${p_Event.tid}` === l_Thread && p_Event.ph === 'X' && p_Event.dur !== undefined);
  const l_Tasks = l_Mine.filter((p_Event) => p_Event.name === 'RunTask').sort((p_A, p_B) => p_A.ts - p_B.ts);
  const l_Marks = l_Mine.filter((p_Event) => RENDERING.has(p_Event.name)).sort((p_A, p_B) => p_A.ts - p_B.ts);
  const l_Render = [];
  const l_Busy = [];
  let l_Mark = 0;
  let l_Since = 0;  // µs of tasks since the last frame's rendering
  let l_End = 0;    // where the last task counted ended
  for (const l_Task of l_Tasks) {
    // A task nested in one already counted (a nested run loop) is not counted again.
    if (l_Task.ts < l_End) continue;
    l_End = l_Task.ts + l_Task.dur;
    while (l_Mark < l_Marks.length && l_Marks[l_Mark].ts < l_Task.ts) ++l_Mark;
    const l_Renders = l_Mark < l_Marks.length && l_Marks[l_Mark].ts <= l_Task.ts + l_Task.dur;
    l_Since += l_Task.dur;
    if (!l_Renders) continue;
    l_Render.push(l_Task.dur / 1000);
    l_Busy.push(l_Since / 1000);
    l_Since = 0;
  }
  return { render: l_Render, busy: l_Busy, workers: workerFrames(p_Events, l_Thread.split(':')[0]) };
}

// The time on a processor (ms) of each frame a dedicated worker of the tab made (the composer's
// painter): its tasks from the message that brought a frame to the next one's. A thread's own time,
// not the wall clock's: on a machine of few cores the worker waits for one, which a phone's many
// spare it. Chromium's throttling of the processor holds back the main thread alone, so a worker's
// figure is the machine's own.
function workerFrames(p_Events, p_Pid) {
  const l_Workers = new Set(p_Events.filter((p_Event) => p_Event.ph === 'M' && p_Event.name === 'thread_name' &&
    String(p_Event.pid) === p_Pid && p_Event.args?.name?.startsWith('DedicatedWorker')).map((p_Event) => p_Event.tid));
  const l_Mine = p_Events.filter((p_Event) => String(p_Event.pid) === p_Pid && l_Workers.has(p_Event.tid) && p_Event.ph === 'X')
    .sort((p_A, p_B) => p_A.ts - p_B.ts);
  const l_Messages = l_Mine.filter((p_Event) => p_Event.name === 'HandlePostMessage');
  const l_Frames = [];
  let l_Message = 0;
  for (const l_Task of l_Mine.filter((p_Event) => p_Event.name === 'RunTask')) {
    // A task that handles a message begins a frame; the tasks before the first one are left out.
    while (l_Message < l_Messages.length && l_Messages[l_Message].ts < l_Task.ts) ++l_Message;
    if (l_Message < l_Messages.length && l_Messages[l_Message].ts <= l_Task.ts + l_Task.dur) l_Frames.push(0);
    if (l_Frames.length) l_Frames[l_Frames.length - 1] += (l_Task.tdur ?? l_Task.dur) / 1000;
  }
  return l_Frames;
}

const median = (p_Values) => [...p_Values].sort((p_A, p_B) => p_A - p_B)[Math.floor(p_Values.length / 2)];
const gapsOf = (p_Times) => p_Times.slice(1).map((p_Time, p_At) => p_Time - p_Times[p_At]);

// The display's frame interval (ms) as p_Tab's animation frames keep it while the page does nothing
// (and before the processor is throttled): the median of 60.
export async function vsyncOf(p_Tab) {
  return median(gapsOf(await p_Tab.evaluate(async () => {
    const l_Times = [];
    for (let l_Frame = 0; l_Frame <= 60; ++l_Frame) l_Times.push(await new Promise((p_Done) => requestAnimationFrame(p_Done)));
    return l_Times;
  })));
}

// The share of vsyncs (p_Vsync ms apart) missed by animation frames at p_Times (ms).
export function droppedOf(p_Times, p_Vsync) {
  const l_Gaps = gapsOf(p_Times);
  const l_Vsync = p_Vsync;
  let l_Vsyncs = 0;
  let l_Missed = 0;
  for (const l_Gap of l_Gaps) {
    const l_Count = l_Gap > 1.5 * l_Vsync ? Math.round(l_Gap / l_Vsync) : 1;
    l_Vsyncs += l_Count;
    l_Missed += l_Count - 1;
  }
  return l_Missed / Math.max(1, l_Vsyncs);
}

// Traces p_Tab while p_Body() runs; p_Body gives the animation frames' times (ms) it saw, which
// missed vsyncs p_Vsync ms apart.
export async function traceFrames(p_Tab, p_Vsync, p_Body) {
  await p_Tab.tracing.start({ categories: CATEGORIES });
  const l_Times = await p_Body();
  const l_Trace = JSON.parse(Buffer.from(await p_Tab.tracing.stop()).toString('utf8'));
  return { ...framesOf(l_Trace.traceEvents ?? l_Trace), dropped: droppedOf(l_Times, p_Vsync), frames: l_Times.length - 1 };
}

// Median, 95th percentile and worst of p_Times (ms), in words.
export const stats = (p_Times) => {
  const l_Sorted = [...p_Times].sort((p_A, p_B) => p_A - p_B);
  const l_At = (p_Share) => l_Sorted[Math.min(l_Sorted.length - 1, Math.floor(p_Share * l_Sorted.length))].toFixed(2);
  return `median ${l_At(0.5)} ms, 95% ${l_At(0.95)} ms, worst ${l_Sorted[l_Sorted.length - 1].toFixed(2)} ms`;
};
