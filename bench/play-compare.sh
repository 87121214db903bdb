#!/usr/bin/env bash
# tunewright-play against xmp, both playing in real time to ALSA, side by side in one run:
#   - time from the start of the program to its first sound reaching the device;
#   - CPU it takes while playing (every thread's time on a processor, over a window in full flow, as a
#     share of one core).
# Ours plays a song that keeps 16 voices sounding; xmp plays pingus-data's pingus-3.it (15 channels),
# both at 48 kHz with linear interpolation. The device is ALSA's file plugin writing into a FIFO that
# this script drains at exactly 48 kHz, so that both programs are held to real time as by a sound
# card (ALSA's null device alone takes data as fast as it comes). Installs xmp and the module with
# apt-get if missing.
#   bench/play-compare.sh [--ours-only] [BUILD_DIR] [ROUNDS]
# --ours-only: no xmp; our figures alone (to compare two builds of ours, run it on each).
set -euo pipefail
cd "$(dirname "$0")/.."
l_OursOnly=0
[ "${1:-}" = "--ours-only" ] && { l_OursOnly=1; shift; }
l_Build="${1:-build/plain}"
l_Rounds="${2:-2}"
l_Module=/usr/share/games/pingus/data/music/pingus-3.it
l_Play="$l_Build/source/orgplay/tunewright-play"
l_Writer="$l_Build/bench/render/bench_render"
for l_Tool in "$l_Play" "$l_Writer"; do
  [ -x "$l_Tool" ] || { echo "play-compare.sh: build $l_Tool first (cmake --build $l_Build)" >&2; exit 1; }
done
if [ "$l_OursOnly" = 0 ] && { ! command -v xmp >/dev/null || [ ! -f "$l_Module" ]; }; then
  apt-get install -y xmp pingus-data >/dev/null
fi

l_Tmp="$(mktemp -d)"
trap 'rm -rf "$l_Tmp"' EXIT
"$l_Writer" --write-all-tracks "$l_Tmp/all-tracks.org"
mkfifo "$l_Tmp/device.fifo"
cat > "$l_Tmp/.asoundrc" <<CONF
pcm.twbench { type file; slave.pcm "null"; file "$l_Tmp/device.fifo"; format "raw" }
CONF

l_Programs=("tunewright-play" "$l_Play --device twbench --interp linear --loops -1 $l_Tmp/all-tracks.org")
[ "$l_OursOnly" = 1 ] || l_Programs=("xmp" "xmp -q -d alsa -D card=twbench -f 48000 -i linear -l $l_Module" "${l_Programs[@]}")
HOME="$l_Tmp" python3 - "$l_Rounds" "$l_Tmp/device.fifo" "${l_Programs[@]}" <<'PY'
import os, shlex, signal, struct, subprocess, sys, threading, time

ROUNDS, FIFO = int(sys.argv[1]), sys.argv[2]
PROGRAMS = list(zip(sys.argv[3::2], sys.argv[4::2]))
RATE_BYTES = 48000 * 4
CPU_FROM, CPU_TO = 3.0, 13.0  # the window in full flow, seconds after the start
LOUD = 32                     # a sample above this (about -60 dBFS) is sound

def cpu_seconds(p_Pid):
    # Nanoseconds on a processor of every thread (schedstat), rather than stat's 10 ms ticks: a
    # light player takes well under 1 % of a core, a few ticks over the window.
    l_Total = 0
    for l_Task in os.listdir("/proc/%d/task" % p_Pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (p_Pid, l_Task)) as l_File:
                l_Total += int(l_File.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return l_Total / 1e9

def drain(p_Start, p_Result):
    # Reads the device's bytes at 48 kHz, noting when the first sound arrives.
    with open(FIFO, "rb", buffering=0) as l_Fifo:
        l_Begun, l_Read = None, 0
        while True:
            l_Bytes = l_Fifo.read(4096)
            if not l_Bytes:
                return
            l_Now = time.monotonic()
            if l_Begun is None:
                l_Begun = l_Now
            if "first" not in p_Result:
                for l_Sample in struct.unpack("<%dh" % (len(l_Bytes) // 2), l_Bytes[: len(l_Bytes) // 2 * 2]):
                    if abs(l_Sample) > LOUD:
                        p_Result["first"] = l_Now - p_Start
                        break
            l_Read += len(l_Bytes)
            l_Ahead = l_Read / RATE_BYTES - (time.monotonic() - l_Begun)
            if l_Ahead > 0:
                time.sleep(l_Ahead)

l_Results = {l_Name: [] for l_Name, _ in PROGRAMS}
for _ in range(ROUNDS):
    for l_Name, l_Command in PROGRAMS:
        l_Result = {}
        l_Start = time.monotonic()
        l_Reader = threading.Thread(target=drain, args=(l_Start, l_Result))
        l_Reader.start()
        l_Process = subprocess.Popen(shlex.split(l_Command), stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(CPU_FROM)
        l_Cpu = cpu_seconds(l_Process.pid)
        time.sleep(CPU_TO - CPU_FROM)
        l_Cpu = cpu_seconds(l_Process.pid) - l_Cpu
        l_Process.send_signal(signal.SIGTERM)
        l_Process.wait()
        l_Reader.join()
        l_Results[l_Name].append((l_Result.get("first", float("nan")) * 1000, l_Cpu / (CPU_TO - CPU_FROM) * 100))

print("first sound: ms from the start of the program; CPU: %% of one core from %gs to %gs; %d rounds"
      % (CPU_FROM, CPU_TO, ROUNDS))
print("%-16s %s" % ("program", "   ".join("first ms  CPU %%  (round %d)" % (i + 1) for i in range(ROUNDS))))
for l_Name, l_Runs in l_Results.items():
    print("%-16s %s" % (l_Name, "   ".join("%8.0f %6.3f          " % l_Run for l_Run in l_Runs)))
if len(PROGRAMS) == 1:
    sys.exit(0)
l_Ours, l_Theirs = l_Results[PROGRAMS[1][0]], l_Results[PROGRAMS[0][0]]
print("ours / xmp, medians: first sound %.2fx, CPU %.2fx" % (
    sorted(r[0] for r in l_Ours)[len(l_Ours) // 2] / sorted(r[0] for r in l_Theirs)[len(l_Theirs) // 2],
    sorted(r[1] for r in l_Ours)[len(l_Ours) // 2] / sorted(r[1] for r in l_Theirs)[len(l_Theirs) // 2]))
PY
