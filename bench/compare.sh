#!/usr/bin/env bash
# Whole-process CPU time (user + sys) of our renderer against two players of other module formats,
# per voice-second, at 48 kHz: a song of ours that keeps 16 voices sounding, looped to the length of
# a real 15-channel module from a Debian data package. Pairs are run alternately, N rounds (default
# 3); the best time of each is kept. CPU time is read with getrusage(2) (microseconds; /usr/bin/time
# counts in 10 ms steps, as much as our whole render). Installs the players and the module with
# apt-get if missing.
#   bench/compare.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
l_Build="${1:-build/plain}"
l_Rounds="${2:-3}"
l_Module=/usr/share/games/pingus/data/music/pingus-3.it
l_ModuleVoices=15
l_OurVoices=16
l_Render="$l_Build/source/orgrender/tunewright-render"
l_Writer="$l_Build/bench/render/bench_render"
for l_Tool in "$l_Render" "$l_Writer"; do
  [ -x "$l_Tool" ] || { echo "compare.sh: build $l_Tool first (cmake --build $l_Build)" >&2; exit 1; }
done
if ! command -v xmp >/dev/null || ! command -v openmpt123 >/dev/null || [ ! -f "$l_Module" ]; then
  apt-get install -y xmp openmpt123 pingus-data >/dev/null
fi

l_Tmp="$(mktemp -d)"
trap 'rm -rf "$l_Tmp"' EXIT
"$l_Writer" --write-all-tracks "$l_Tmp/all-tracks.org"

# CPU seconds (user + sys) of one command, to the microsecond; the command must succeed. Python
# may have had children before (a version manager's shim does), so the command's own is the
# difference.
cpu() {
  python3 -c '
import resource, subprocess, sys
def Used():
    l_Usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return l_Usage.ru_utime + l_Usage.ru_stime
l_Before = Used()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print("%.6f" % (Used() - l_Before))' "$@"
}
seconds_of() {  # length of a 16-bit stereo 48 kHz WAV file
  awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.2f", (b - 44) / 4 / 48000 }'
}

xmp -q -f 48000 -i linear -o "$l_Tmp/length.wav" "$l_Module" >/dev/null 2>&1
l_Seconds="$(seconds_of "$l_Tmp/length.wav")"

declare -A l_Best
run() {  # run NAME COMMAND...
  local l_Name="$1"; shift
  local l_Time; l_Time="$(cpu "$@")"
  if [ -z "${l_Best[$l_Name]:-}" ] || awk -v a="$l_Time" -v b="${l_Best[$l_Name]}" 'BEGIN { exit !(a < b) }'; then
    l_Best[$l_Name]="$l_Time"
  fi
}
for _ in $(seq "$l_Rounds"); do
  run xmp-linear xmp -q -f 48000 -i linear -o "$l_Tmp/xmp.wav" "$l_Module"
  run ours-linear "$l_Render" -q --force --interp linear --fade 0 --seconds "$l_Seconds" -o "$l_Tmp/ours.wav" "$l_Tmp/all-tracks.org"
  run openmpt123-sinc8 openmpt123 --batch -q --force --samplerate 48000 --no-float -o "$l_Tmp/mpt.wav" "$l_Module"
  run ours-spline "$l_Render" -q --force --interp spline --fade 0 --seconds "$l_Seconds" -o "$l_Tmp/ours.wav" "$l_Tmp/all-tracks.org"
  run ours-cubic "$l_Render" -q --force --interp cubic --fade 0 --seconds "$l_Seconds" -o "$l_Tmp/ours.wav" "$l_Tmp/all-tracks.org"
  run ours-sinc "$l_Render" -q --force --interp sinc --fade 0 --seconds "$l_Seconds" -o "$l_Tmp/ours.wav" "$l_Tmp/all-tracks.org"
done

per_voice_s() {  # CPU microseconds per voice-second
  awk -v t="$1" -v v="$2" -v s="$l_Seconds" 'BEGIN { printf "%.2f", t * 1e6 / (v * s) }'
}
echo "module: $(basename "$l_Module"), $l_ModuleVoices channels; ours: 16 voices; both $l_Seconds s at 48 kHz; best of $l_Rounds"
printf '%-18s %9s %14s\n' "renderer" "cpu s" "us / voice-s"
for l_Name in xmp-linear ours-linear openmpt123-sinc8 ours-cubic ours-spline ours-sinc; do
  l_Voices=$l_OurVoices; [[ "$l_Name" == ours-* ]] || l_Voices=$l_ModuleVoices
  printf '%-18s %9s %14s\n' "$l_Name" "${l_Best[$l_Name]}" "$(per_voice_s "${l_Best[$l_Name]}" "$l_Voices")"
done
ratio() {  # how many times cheaper per voice-second A is than B
  awk -v a="${l_Best[$1]}" -v b="${l_Best[$2]}" -v va="$l_OurVoices" -v vb="$l_ModuleVoices" \
    'BEGIN { printf "%.2fx", (b / vb) / (a / va) }'
}
echo "ours linear vs xmp linear:        $(ratio ours-linear xmp-linear) per voice-second"
echo "ours spline vs openmpt123 sinc-8: $(ratio ours-spline openmpt123-sinc8) per voice-second"
echo "ours sinc vs openmpt123 sinc-8:   $(ratio ours-sinc openmpt123-sinc8) per voice-second"
