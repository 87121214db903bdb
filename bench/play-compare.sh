#!/usr/bin/env bash
# tunewright-play against xmp, both playing in real time to ALSA, side by side in one run:
#   - time from the start of the program to its first sound reaching the device;
#   - CPU it takes while playing (every thread's time on a processor, over a window in full flow, as a
#     share of one core), and how often its threads wait or are preempted in that window (context
#     switches a second, each one a wake-up);
#   - for tunewright-play, then, on a terminal of its own as a person plays it: the time from a key
#     (volume up, a bar forward, pause) to its change heard on the device, each round.
# Ours plays a song that keeps 16 voices sounding; xmp plays pingus-data's pingus-3.it (15 channels),
# both at 48 kHz with linear interpolation. The device is ALSA's file plugin writing into a FIFO that
# this script drains at exactly 48 kHz, so that both programs are held to real time as by a sound
# card (ALSA's null device alone takes data as fast as it comes). Installs xmp and the module with
# apt-get if missing.
# Beside them, bench_pacing writes a tone into the same FIFO, doing nothing else, paced each of the
# two ways a player can be: by a timer of its own (as ours is, keeping 40 ms ahead for its keys'
# sake), and by the device, blocking in each write (as xmp is: it keeps the FIFO full, 64 KiB or
# 341 ms ahead). Their ratio is what the pacing alone costs on this machine.
#   bench/play-compare.sh [--ours-only] [BUILD_DIR] [ROUNDS]
# ROUNDS (default 5) alternate the programs; the ratios are of the medians, and of the minima.
# --ours-only: no xmp; our figures alone (to compare two builds of ours, run it on each).
set -euo pipefail
cd "$(dirname "$0")/.."
l_OursOnly=0
[ "${1:-}" = "--ours-only" ] && { l_OursOnly=1; shift; }
l_Build="${1:-build/plain}"
l_Rounds="${2:-5}"
l_Module=/usr/share/games/pingus/data/music/pingus-3.it
l_Play="$l_Build/source/orgplay/tunewright-play"
l_Writer="$l_Build/bench/render/bench_render"
l_Pacing="$l_Build/bench/pacing/bench_pacing"
for l_Tool in "$l_Play" "$l_Writer" "$l_Pacing"; do
  [ -x "$l_Tool" ] || { echo "play-compare.sh: build $l_Tool first (cmake --build $l_Build)" >&2; exit 1; }
done
if [ "$l_OursOnly" = 0 ] && { ! command -v xmp >/dev/null || [ ! -f "$l_Module" ]; }; then
  apt-get install -y xmp pingus-data >/dev/null
fi

l_Tmp="$(mktemp -d)"
trap 'rm -rf "$l_Tmp"' EXIT
"$l_Writer" --write-all-tracks "$l_Tmp/all-tracks.org"
# The keys' song: track 0 plays note 57 (440 Hz) for its first bar (16 beats of 250 ms), then
# note 69 (880 Hz).
python3 - "$l_Tmp/keys.org" <<'SONG'
import struct, sys
l_Header = b"Org-02" + struct.pack("<HBBII", 250, 4, 4, 0, 272)
l_Tracks = b"".join(struct.pack("<HBBH", 1000, 0, 0, 2 if l_Track == 0 else 0) for l_Track in range(16))
l_Events = struct.pack("<II", 0, 16) + bytes([57, 69, 16, 255, 200, 200, 6, 6])
with open(sys.argv[1], "wb") as l_File:
    l_File.write(l_Header + l_Tracks + l_Events)
SONG
mkfifo "$l_Tmp/device.fifo"
cat > "$l_Tmp/.asoundrc" <<CONF
pcm.twbench { type file; slave.pcm "null"; file "$l_Tmp/device.fifo"; format "raw" }
CONF

l_Programs=("tunewright-play" "$l_Play --device twbench --interp linear --loops -1 $l_Tmp/all-tracks.org")
[ "$l_OursOnly" = 1 ] || l_Programs=("xmp" "xmp -q -d alsa -D card=twbench -f 48000 -i linear -l $l_Module" "${l_Programs[@]}"
  "paced by a timer" "$l_Pacing timer $l_Tmp/device.fifo" "paced by device" "$l_Pacing device $l_Tmp/device.fifo")
l_Keys="$l_Play --device twbench --interp linear --volume 0.2 --loops -1 $l_Tmp/keys.org"
HOME="$l_Tmp" python3 - "$l_Rounds" "$l_Tmp/device.fifo" "$l_Keys" "${l_Programs[@]}" <<'PY'
import os, pty, shlex, signal, struct, subprocess, sys, threading, time

ROUNDS, FIFO, KEYS = int(sys.argv[1]), sys.argv[2], sys.argv[3]
PROGRAMS = list(zip(sys.argv[4::2], sys.argv[5::2]))
RATE = 48000
RATE_BYTES = RATE * 4
CPU_FROM, CPU_TO = 3.0, 13.0  # the window in full flow, seconds after the start
LOUD = 32                     # a sample above this (about -60 dBFS) is sound

def cpu_and_wakes(p_Pid):
    # Nanoseconds on a processor of every thread (schedstat), rather than stat's 10 ms ticks: a
    # light player takes well under 1 % of a core, a few ticks over the window. And the times its
    # threads were switched out (each wait, each preemption), as the kernel counts them.
    l_Total, l_Wakes = 0, 0
    for l_Task in os.listdir("/proc/%d/task" % p_Pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (p_Pid, l_Task)) as l_File:
                l_Total += int(l_File.read().split()[0])
            with open("/proc/%d/task/%s/status" % (p_Pid, l_Task)) as l_File:
                l_Wakes += sum(int(l_Line.split()[1]) for l_Line in l_File if "ctxt_switches" in l_Line)
        except (FileNotFoundError, ProcessLookupError):
            pass
    return l_Total / 1e9, l_Wakes

def drain(p_Start, p_Result, p_Keep=False):
    # Reads the device's bytes at 48 kHz, noting when the first byte and the first sound arrive (and
    # with p_Keep, every byte).
    with open(FIFO, "rb", buffering=0) as l_Fifo:
        l_Begun, l_Read = None, 0
        while True:
            l_Bytes = l_Fifo.read(4096)
            if not l_Bytes:
                return
            l_Now = time.monotonic()
            if l_Begun is None:
                l_Begun = p_Result["begun"] = l_Now
            if p_Keep:
                p_Result.setdefault("bytes", bytearray()).extend(l_Bytes)
            if "first" not in p_Result:
                for l_Sample in struct.unpack("<%dh" % (len(l_Bytes) // 2), l_Bytes[: len(l_Bytes) // 2 * 2]):
                    if abs(l_Sample) > LOUD:
                        p_Result["first"] = l_Now - p_Start
                        break
            l_Read += len(l_Bytes)
            l_Ahead = l_Read / RATE_BYTES - (time.monotonic() - l_Begun)
            if l_Ahead > 0:
                time.sleep(l_Ahead)

def end(p_Process, p_Reader):
    # A program that ends before it opens the device leaves the reader waiting for a writer: it is
    # given one that closes at once, which it reads as the end.
    p_Process.send_signal(signal.SIGTERM)
    p_Process.wait()
    try:
        os.close(os.open(FIFO, os.O_WRONLY | os.O_NONBLOCK))
    except OSError:
        pass  # no reader waiting
    p_Reader.join()

def median(p_Values):
    l_Sorted = sorted(p_Values)
    l_Half = len(l_Sorted) // 2
    return l_Sorted[l_Half] if len(l_Sorted) % 2 else (l_Sorted[l_Half - 1] + l_Sorted[l_Half]) / 2

def play(p_Command):
    # One round of a program: (first sound ms, CPU %, wakes a second).
    l_Result = {}
    l_Start = time.monotonic()
    l_Reader = threading.Thread(target=drain, args=(l_Start, l_Result))
    l_Reader.start()
    l_Process = subprocess.Popen(shlex.split(p_Command), stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(CPU_FROM)
    l_Cpu, l_Wakes = cpu_and_wakes(l_Process.pid)
    time.sleep(CPU_TO - CPU_FROM)
    l_CpuTo, l_WakesTo = cpu_and_wakes(l_Process.pid)
    end(l_Process, l_Reader)
    return (l_Result.get("first", float("nan")) * 1000, (l_CpuTo - l_Cpu) / (CPU_TO - CPU_FROM) * 100,
            (l_WakesTo - l_Wakes) / (CPU_TO - CPU_FROM))

# The keys, seconds after the device's first byte: volume up (0.2 to 0.25), a bar forward (from the
# middle of the first bar's low note into the second's high one), pause; then q.
KEY_TIMES = (("volume", 1.0, b"\033[A"), ("seek", 2.0, b"\033[C"), ("pause", 3.0, b" "))

def heard(p_What, p_Samples, p_From):
    # The first frame from about p_From on where the key's change is heard, or None.
    if p_What == "volume":
        # A quarter louder: the first sample above the peak of the 200 ms before by an eighth.
        l_Peak = max(abs(l_Sample) for l_Sample in p_Samples[max(0, p_From - RATE // 5):p_From]) * 1.125
        return next((i for i in range(p_From, len(p_Samples)) if abs(p_Samples[i]) > l_Peak), None)
    if p_What == "seek":
        # An octave up: the first rise through zero less than three quarters of the low tone's period
        # (109 frames) after the one before; the change is heard from that one.
        l_Last = None
        for i in range(max(1, p_From - 200), len(p_Samples)):
            if p_Samples[i - 1] < 0 <= p_Samples[i]:
                if l_Last is not None and i - l_Last < 82 and i >= p_From:
                    return l_Last
                l_Last = i
        return None
    # Paused: the start of 10 ms of silence.
    l_Run = 0
    for i in range(p_From, len(p_Samples)):
        l_Run = l_Run + 1 if abs(p_Samples[i]) <= 2 else 0
        if l_Run == RATE // 100:
            return i - l_Run + 1
    return None

def keys():
    # One round of tunewright-play on a terminal, driven by its keys: ms from each key to its change
    # heard, the device's frames being played at 48 kHz from its first byte.
    l_Result = {}
    l_Reader = threading.Thread(target=drain, args=(time.monotonic(), l_Result, True))
    l_Reader.start()
    l_Master, l_Slave = pty.openpty()
    l_Process = subprocess.Popen(shlex.split(KEYS), stdin=l_Slave, stdout=l_Slave, stderr=subprocess.DEVNULL,
                                 env=dict(os.environ, TERM="xterm"), start_new_session=True)
    os.close(l_Slave)

    def screen():  # what the player shows is read, so that it never waits on the terminal
        try:
            while os.read(l_Master, 4096):
                pass
        except OSError:
            pass

    threading.Thread(target=screen, daemon=True).start()
    l_Pressed = {}
    for _ in range(500):
        if "first" in l_Result:
            break
        time.sleep(0.01)
    if "first" in l_Result:
        for l_What, l_After, l_Bytes in KEY_TIMES:
            time.sleep(max(0.0, l_Result["begun"] + l_After - time.monotonic()))
            l_Pressed[l_What] = time.monotonic()
            os.write(l_Master, l_Bytes)
        time.sleep(0.5)
        os.write(l_Master, b"q")
    end(l_Process, l_Reader)
    os.close(l_Master)
    l_Bytes = bytes(l_Result.get("bytes", b""))
    l_Left = struct.unpack("<%dh" % (len(l_Bytes) // 4 * 2), l_Bytes[: len(l_Bytes) // 4 * 4])[0::2]
    l_Latency = {}
    for l_What, l_Time in l_Pressed.items():
        l_From = int(round((l_Time - l_Result["begun"]) * RATE))
        l_Frame = heard(l_What, l_Left, l_From)
        l_Latency[l_What] = float("nan") if l_Frame is None else (l_Frame - l_From) * 1000.0 / RATE
    return l_Latency

l_Results = {l_Name: [] for l_Name, _ in PROGRAMS}
for _ in range(ROUNDS):
    for l_Name, l_Command in PROGRAMS:
        l_Results[l_Name].append(play(l_Command))
l_Keys = [keys() for _ in range(ROUNDS)]

print("first sound: ms from the start of the program; CPU: %% of one core from %gs to %gs; wakes: its"
      " threads' context switches a second; %d rounds" % (CPU_FROM, CPU_TO, ROUNDS))
print("%-16s %s" % ("program", " | ".join("first ms  CPU %  wakes" for _ in range(ROUNDS))))
for l_Name, l_Runs in l_Results.items():
    print("%-16s %s" % (l_Name, " | ".join("%8.0f %6.3f %6.0f" % l_Run for l_Run in l_Runs)))
for l_Name, l_Runs in l_Results.items():
    print("%-16s medians: first sound %.0f ms, CPU %.3f %%, %.0f wakes a second; minima: %.0f ms, %.3f %%" % (
        l_Name, median(r[0] for r in l_Runs), median(r[1] for r in l_Runs), median(r[2] for r in l_Runs),
        min(r[0] for r in l_Runs), min(r[1] for r in l_Runs)))
if len(PROGRAMS) > 1:
    l_Ours, l_Theirs = l_Results[PROGRAMS[1][0]], l_Results[PROGRAMS[0][0]]
    print("ours / xmp: medians first sound %.2fx, CPU %.2fx; minima first sound %.2fx, CPU %.2fx" % (
        median(r[0] for r in l_Ours) / median(r[0] for r in l_Theirs),
        median(r[1] for r in l_Ours) / median(r[1] for r in l_Theirs),
        min(r[0] for r in l_Ours) / min(r[0] for r in l_Theirs),
        min(r[1] for r in l_Ours) / min(r[1] for r in l_Theirs)))
    l_Timer, l_Device = l_Results[PROGRAMS[2][0]], l_Results[PROGRAMS[3][0]]
    print("the floor under each: a bare writer paced by its own timer / one paced by the device: CPU medians"
          " %.2fx, minima %.2fx" % (median(r[1] for r in l_Timer) / median(r[1] for r in l_Device),
                                     min(r[1] for r in l_Timer) / min(r[1] for r in l_Device)))
print("tunewright-play on a terminal, ms from the key to its change heard (goal 50), each round:")
for l_What, _, _ in KEY_TIMES:
    l_Values = [l_Round.get(l_What, float("nan")) for l_Round in l_Keys]
    print("  %-7s %s   worst %.1f" % (l_What, " ".join("%6.1f" % l_Value for l_Value in l_Values), max(l_Values)))
PY
