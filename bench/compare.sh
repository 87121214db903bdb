#!/usr/bin/env bash
# Whole-process CPU time (user + sys) of our renderer against two players of other module formats,
# per voice-second, at 48 kHz: a song of ours that keeps 16 voices sounding, looped to the length of
# a real 15-channel module from a Debian data package. Pairs are run alternately, N rounds (default
# 3); the best time of each is kept. CPU time is read with getrusage(2) (microseconds; /usr/bin/time
# counts in 10 ms steps, as much as our whole render). Installs the players and the module with
# apt-get if missing. Our renderer runs once with each SIMD kernel set this processor can run
# (TUNEWRIGHT_KERNELS: sse2, avx2, avx512), and each set gets its own rows and goals: what a machine
# with that set and no better one gets.
#   bench/compare.sh [--ours-only] [BUILD_DIR] [ROUNDS]
# --ours-only: no players of other formats; our rows alone, each set's cost against the fastest's.
set -euo pipefail
cd "$(dirname "$0")/.."
l_OursOnly=0
[ "${1:-}" = "--ours-only" ] && { l_OursOnly=1; shift; }
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
if [ "$l_OursOnly" = 0 ] && { ! command -v xmp >/dev/null || ! command -v openmpt123 >/dev/null || [ ! -f "$l_Module" ]; }; then
  apt-get install -y xmp openmpt123 pingus-data >/dev/null
fi
# The kernel sets this processor runs, by the engine's own checks (avx2 needs FMA too).
l_Flags="$(grep -m1 '^flags' /proc/cpuinfo)"
l_Sets=(sse2)
[[ " $l_Flags " == *" avx2 "* && " $l_Flags " == *" fma "* ]] && l_Sets+=(avx2)
[[ " $l_Flags " == *" avx512f "* ]] && l_Sets+=(avx512)

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

if [ "$l_OursOnly" = 0 ]; then
  xmp -q -f 48000 -i linear -o "$l_Tmp/length.wav" "$l_Module" >/dev/null 2>&1
  l_Seconds="$(seconds_of "$l_Tmp/length.wav")"
else
  l_Seconds=120.00
fi

declare -A l_Best
run() {  # run NAME COMMAND...
  local l_Name="$1"; shift
  local l_Time; l_Time="$(cpu "$@")"
  if [ -z "${l_Best[$l_Name]:-}" ] || awk -v a="$l_Time" -v b="${l_Best[$l_Name]}" 'BEGIN { exit !(a < b) }'; then
    l_Best[$l_Name]="$l_Time"
  fi
}
ours() {  # ours SET INTERPOLATION
  run "ours-$2@$1" env TUNEWRIGHT_KERNELS="$1" "$l_Render" -q --force --interp "$2" --fade 0 --seconds "$l_Seconds" \
    -o "$l_Tmp/ours.wav" "$l_Tmp/all-tracks.org"
}
for _ in $(seq "$l_Rounds"); do
  if [ "$l_OursOnly" = 0 ]; then
    run xmp-linear xmp -q -f 48000 -i linear -o "$l_Tmp/xmp.wav" "$l_Module"
    run openmpt123-sinc8 openmpt123 --batch -q --force --samplerate 48000 --no-float -o "$l_Tmp/mpt.wav" "$l_Module"
  fi
  for l_Set in "${l_Sets[@]}"; do
    for l_Interpolation in linear cubic spline sinc; do ours "$l_Set" "$l_Interpolation"; done
  done
done

per_voice_s() {  # CPU microseconds per voice-second
  awk -v t="$1" -v v="$2" -v s="$l_Seconds" 'BEGIN { printf "%.2f", t * 1e6 / (v * s) }'
}
voices_of() { [[ "$1" == ours-* ]] && echo "$l_OurVoices" || echo "$l_ModuleVoices"; }
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); kernel sets: ${l_Sets[*]}"
if [ "$l_OursOnly" = 0 ]; then
  echo "module: $(basename "$l_Module"), $l_ModuleVoices channels; ours: 16 voices; both $l_Seconds s at 48 kHz; best of $l_Rounds"
else
  echo "ours: 16 voices, $l_Seconds s at 48 kHz; best of $l_Rounds"
fi
printf '%-22s %9s %14s\n' "renderer" "cpu s" "us / voice-s"
for l_Name in "${!l_Best[@]}"; do echo "$l_Name"; done | sort | while read -r l_Name; do
  printf '%-22s %9s %14s\n' "$l_Name" "${l_Best[$l_Name]}" "$(per_voice_s "${l_Best[$l_Name]}" "$(voices_of "$l_Name")")"
done
ratio() {  # how many times cheaper per voice-second A is than B
  awk -v a="${l_Best[$1]}" -v b="${l_Best[$2]}" -v va="$(voices_of "$1")" -v vb="$(voices_of "$2")" \
    'BEGIN { printf "%.2fx", (b / vb) / (a / va) }'
}
# One row per set and comparison: the ratio, the goal, and whether it is met. SSE2 alone is held to
# lower goals than the wider sets.
row() {  # row SET OURS PEER GOAL
  local l_Ratio; l_Ratio="$(ratio "ours-$2@$1" "$3")"
  local l_Met; l_Met="$(awk -v r="${l_Ratio%x}" -v g="$4" 'BEGIN { print (r >= g) ? "met" : "MISSED" }')"
  printf '%-7s ours %-7s vs %-17s %7s  (goal %sx: %s)\n' "$1" "$2" "$3" "$l_Ratio" "$4" "$l_Met"
}
l_Fastest="${l_Sets[-1]}"
for l_Set in "${l_Sets[@]}"; do
  if [ "$l_OursOnly" = 0 ]; then
    if [ "$l_Set" = sse2 ]; then l_Goals=(4 4 3); else l_Goals=(5 5 4); fi
    row "$l_Set" linear xmp-linear "${l_Goals[0]}"
    row "$l_Set" spline openmpt123-sinc8 "${l_Goals[1]}"
    row "$l_Set" sinc openmpt123-sinc8 "${l_Goals[2]}"
  else
    for l_Interpolation in linear cubic spline sinc; do
      printf '%-7s ours %-7s costs %s of %s\n' "$l_Set" "$l_Interpolation" \
        "$(awk -v a="${l_Best[ours-$l_Interpolation@$l_Set]}" -v b="${l_Best[ours-$l_Interpolation@$l_Fastest]}" 'BEGIN { printf "%.2fx", a / b }')" \
        "$l_Fastest"
    done
  fi
done
