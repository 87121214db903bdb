#!/usr/bin/env bash
# Whole-process CPU time of our renderer against two players of other module formats, per
# voice-second, at 48 kHz: a song of ours that keeps 16 voices sounding against a real 15-channel
# module from a Debian data package (both looped). Every program is given enough audio to take
# at least TUNEWRIGHT_BENCH_CPU_SECONDS (default 2) of CPU, measured once first, so that neither
# the clock tick nor the start-up weighs in. CPU time comes from bench_cputime: the process's CPU
# clock to the nanosecond, with user and system time apart. Each program writes to a file and,
# separately, to a pipe (drained by bench_cputime), as both cost the system differently. All runs
# alternate, N rounds (default 3); the minimum and the median of each are printed, the goals are
# judged on the minimum. Our renderer runs once with each SIMD kernel set this processor can run
# (TUNEWRIGHT_KERNELS: sse2, avx2, avx512), and each set gets its own rows and goals: what a machine
# with that set and no better one gets. Installs the players and the module with apt-get if missing.
#   bench/compare.sh [--ours-only] [BUILD_DIR] [ROUNDS]
# --ours-only: no players of other formats; our rows alone, each set's cost against the fastest's.
set -euo pipefail
cd "$(dirname "$0")/.."
l_OursOnly=0
[ "${1:-}" = "--ours-only" ] && { l_OursOnly=1; shift; }
l_Build="${1:-build/plain}"
l_Rounds="${2:-3}"
l_Enough="${TUNEWRIGHT_BENCH_CPU_SECONDS:-2}"
l_Module=/usr/share/games/pingus/data/music/pingus-3.it
l_ModuleVoices=15
l_OurVoices=16
l_Render="$l_Build/source/orgrender/tunewright-render"
l_Writer="$l_Build/bench/render/bench_render"
l_Cpu="$l_Build/bench/cputime/bench_cputime"
for l_Tool in "$l_Render" "$l_Writer" "$l_Cpu"; do
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

# The module's own length, in whole seconds (xmp's -t takes whole seconds).
if [ "$l_OursOnly" = 0 ]; then
  l_Bytes="$("$l_Cpu" --drain xmp -q -f 48000 -i linear -o - "$l_Module" | cut -d' ' -f4)"
  l_Pass=$(((l_Bytes / 4 + 47999) / 48000))
else
  l_Pass=120
fi

# The command of job NAME making SECONDS of audio into OUT (a file, or - for standard output).
command_of() {  # command_of NAME SECONDS OUT
  local l_Name="$1" l_Seconds="$2" l_Out="$3"
  case "$l_Name" in
    xmp-linear) echo xmp -q -f 48000 -i linear -l -t "$l_Seconds" -o "$l_Out" "$l_Module" ;;
    openmpt123-sinc8)
      local l_Output=(-o "$l_Out")
      [ "$l_Out" = - ] && l_Output=(--stdout)
      echo openmpt123 --batch -q --force --samplerate 48000 --no-float \
        --repeat $(((l_Seconds + l_Pass - 1) / l_Pass - 1)) "${l_Output[@]}" "$l_Module" ;;
    ours-*)
      local l_Interpolation="${l_Name#ours-}" l_Set="${l_Name#*@}"
      echo env TUNEWRIGHT_KERNELS="$l_Set" "$l_Render" -q --force --interp "${l_Interpolation%@*}" --fade 0 \
        --seconds "$l_Seconds" -o "$l_Out" "$l_Tmp/all-tracks.org" ;;
  esac
}

# One run of job NAME to OUTPUT (file or pipe): "TOTAL USER SYSTEM AUDIO_SECONDS".
measure() {  # measure NAME SECONDS OUTPUT
  local l_Line l_Total l_User l_System l_Bytes
  if [ "$3" = pipe ]; then
    l_Line="$("$l_Cpu" --drain $(command_of "$1" "$2" -))"
  else
    l_Line="$("$l_Cpu" $(command_of "$1" "$2" "$l_Tmp/out.wav"))"
  fi
  read -r l_Total l_User l_System l_Bytes <<<"$l_Line"
  [ "$3" = pipe ] || l_Bytes="$(stat -c %s "$l_Tmp/out.wav")"
  echo "$l_Total $l_User $l_System $(awk -v b="$l_Bytes" 'BEGIN { printf "%.3f", b / 4 / 48000 }')"
}

l_Jobs=()
[ "$l_OursOnly" = 0 ] && l_Jobs+=(xmp-linear openmpt123-sinc8)
for l_Set in "${l_Sets[@]}"; do
  for l_Interpolation in linear cubic spline sinc; do l_Jobs+=("ours-$l_Interpolation@$l_Set"); done
done

# Each job's length: one pass of the module measured, then as many whole seconds as take l_Enough.
declare -A l_Length
for l_Job in "${l_Jobs[@]}"; do
  read -r l_Total _ _ l_Seconds <<<"$(measure "$l_Job" "$l_Pass" pipe)"
  l_Length[$l_Job]="$(awk -v t="$l_Total" -v s="$l_Seconds" -v e="$l_Enough" -v p="$l_Pass" \
    'BEGIN { n = int(e * 1.1 / t * s / p) + 1; printf "%d", n * p }')"
done

declare -A l_Runs  # JOB/OUTPUT -> lines "TOTAL USER SYSTEM AUDIO_SECONDS"
for _ in $(seq "$l_Rounds"); do
  for l_Job in "${l_Jobs[@]}"; do
    for l_Output in file pipe; do
      l_Runs[$l_Job/$l_Output]+="$(measure "$l_Job" "${l_Length[$l_Job]}" "$l_Output")"$'\n'
    done
  done
done

voices_of() { [[ "$1" == ours-* ]] && echo "$l_OurVoices" || echo "$l_ModuleVoices"; }
# Of a job's runs: "MIN MEDIAN USER SYSTEM" in µs of CPU per voice-second (user and system of the
# median run).
spread() {  # spread JOB/OUTPUT
  printf '%s' "${l_Runs[$1]}" | awk -v v="$(voices_of "$1")" '
    NF == 4 { n++; c[n] = $1 * 1e6 / (v * $4); u[n] = $2 * 1e6 / (v * $4); s[n] = $3 * 1e6 / (v * $4) }
    END {
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (c[j] < c[i]) {
        t = c[i]; c[i] = c[j]; c[j] = t; t = u[i]; u[i] = u[j]; u[j] = t; t = s[i]; s[i] = s[j]; s[j] = t }
      m = int((n + 1) / 2)
      printf "%.2f %.2f %.2f %.2f", c[1], c[m], u[m], s[m]
    }'
}
declare -A l_Best
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); kernel sets: ${l_Sets[*]}"
if [ "$l_OursOnly" = 0 ]; then
  echo "module: $(basename "$l_Module"), $l_ModuleVoices channels ($l_Pass s a pass); ours: 16 voices; 48 kHz; $l_Rounds rounds"
else
  echo "ours: 16 voices, 48 kHz; $l_Rounds rounds"
fi
echo "each run takes ${l_Enough} s of CPU or more; figures in us of CPU per voice-second"
printf '%-20s %-5s %8s %9s %9s %9s %9s\n' "renderer" "into" "seconds" "minimum" "median" "user" "system"
for l_Job in "${l_Jobs[@]}"; do
  for l_Output in file pipe; do
    read -r l_Min l_Median l_User l_System <<<"$(spread "$l_Job/$l_Output")"
    l_Best[$l_Job/$l_Output]="$l_Min"
    printf '%-20s %-5s %8s %9s %9s %9s %9s\n' "$l_Job" "$l_Output" "${l_Length[$l_Job]}" "$l_Min" "$l_Median" \
      "$l_User" "$l_System"
  done
done
# How many times cheaper per voice-second A is than B.
ratio() { awk -v a="${l_Best[$1]}" -v b="${l_Best[$2]}" 'BEGIN { printf "%.2fx", b / a }'; }
# One row per set, output and comparison: the ratio, the goal, and whether it is met. SSE2 alone is
# held to lower goals than the wider sets.
row() {  # row SET OUTPUT OURS PEER GOAL
  local l_Ratio; l_Ratio="$(ratio "ours-$3@$1/$2" "$4/$2")"
  local l_Met; l_Met="$(awk -v r="${l_Ratio%x}" -v g="$5" 'BEGIN { print (r >= g) ? "met" : "MISSED" }')"
  printf '%-7s %-5s ours %-7s vs %-17s %7s  (goal %sx: %s)\n' "$1" "$2" "$3" "$4" "$l_Ratio" "$5" "$l_Met"
}
l_Fastest="${l_Sets[-1]}"
for l_Set in "${l_Sets[@]}"; do
  for l_Output in file pipe; do
    if [ "$l_OursOnly" = 0 ]; then
      if [ "$l_Set" = sse2 ]; then l_Goals=(4 4 3); else l_Goals=(5 5 4); fi
      row "$l_Set" "$l_Output" linear xmp-linear "${l_Goals[0]}"
      row "$l_Set" "$l_Output" spline openmpt123-sinc8 "${l_Goals[1]}"
      row "$l_Set" "$l_Output" sinc openmpt123-sinc8 "${l_Goals[2]}"
    else
      for l_Interpolation in linear cubic spline sinc; do
        printf '%-7s %-5s ours %-7s costs %s of %s\n' "$l_Set" "$l_Output" "$l_Interpolation" \
          "$(ratio "ours-$l_Interpolation@$l_Fastest/$l_Output" "ours-$l_Interpolation@$l_Set/$l_Output")" \
          "$l_Fastest"
      done
    fi
  done
done
