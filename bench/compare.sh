#!/usr/bin/env bash
# Whole-process CPU time of our renderer against two players of other module formats, per
# voice-second, at 48 kHz: a song of ours that keeps 16 voices sounding against a real 15-channel
# module from a Debian data package (both looped). Every program is given enough audio to take
# at least TUNEWRIGHT_BENCH_CPU_SECONDS (default 2) of CPU, measured once first, so that neither
# the clock tick nor the start-up weighs in. CPU time comes from bench_cputime: the process's CPU
# clock to the nanosecond, with user and system time apart. Each program writes to a file and,
# separately, to a pipe (drained by bench_cputime), as both cost the system differently. Our
# renderer runs once with each SIMD kernel set this processor can run (TUNEWRIGHT_KERNELS: sse2,
# avx2, avx512), and each set gets its own rows and goals: what a machine with that set and no
# better one gets. Installs the players and the module with apt-get if missing.
#   bench/compare.sh [--ours-only] [BUILD_DIR] [ROUNDS]
# --ours-only: no players of other formats; our rows alone, each set's cost against the fastest's.
#
# What keeps two runs of the script in agreement:
#   - every run, with the bench_cputime that drains its pipe, is held to one processor (taskset;
#     TUNEWRIGHT_BENCH_CPU, default the last one the script may use): no run is moved between
#     processors mid-way, nor has its pipe drained sooner or later by how busy another one is;
#   - the pipe holds 1 MiB (bench_cputime), so a writer waits for its reader once a megabyte;
#   - the file is removed before each run outside the measurement, so no run pays for freeing the
#     last run's file (hundreds of megabytes of page cache, another program's size), nor for its
#     write-back;
#   - a file twice the largest run's is written and removed twice first, and a first round
#     (warm-up: page cache, the programs' libraries, the processor's caches) is discarded; then
#     ROUNDS rounds (default 5), every other one in reverse order, so that a slow drift of the
#     machine (its clock, another guest's load) weighs on each program alike;
#   - the goals are judged on the minimum of each program's rounds (what the program costs when
#     nothing disturbs it); beside it each row gives the median and range of the ratio within each
#     round (both programs run minutes apart at most), and each program its spread, the largest
#     run over the smallest, and the share of the measured processor's time the host took for other
#     guests (stolen), so that a reader sees how quiet the machine was.
set -euo pipefail
cd "$(dirname "$0")/.."
l_OursOnly=0
[ "${1:-}" = "--ours-only" ] && { l_OursOnly=1; shift; }
l_Build="${1:-build/plain}"
l_Rounds="${2:-5}"
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

# The processor every measured run is held to.
l_CpuId="${TUNEWRIGHT_BENCH_CPU:-$(taskset -pc $$ | grep -o '[0-9]*$')}"
l_Pin=(taskset -c "$l_CpuId")

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
  rm -f "$l_Tmp/out.wav"
  if [ "$3" = pipe ]; then
    l_Line="$("${l_Pin[@]}" "$l_Cpu" --drain $(command_of "$1" "$2" -))"
  else
    l_Line="$("${l_Pin[@]}" "$l_Cpu" $(command_of "$1" "$2" "$l_Tmp/out.wav"))"
  fi
  read -r l_Total l_User l_System l_Bytes <<<"$l_Line"
  [ "$3" = pipe ] || l_Bytes="$(stat -c %s "$l_Tmp/out.wav")"
  rm -f "$l_Tmp/out.wav"
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

# A guest's memory costs the most the first times it is touched (the host maps it then): a
# gigabyte's first write to a file took 1.75 s of system time on a fresh virtual machine, and
# 0.14 s once it had been written and removed before. So twice the page cache the largest run
# needs is written and freed, twice, before any round: every run then finds its memory touched.
l_Largest=0
for l_Job in "${l_Jobs[@]}"; do ((l_Length[$l_Job] > l_Largest)) && l_Largest=${l_Length[$l_Job]}; done
for _ in 1 2; do
  head -c $((l_Largest * 48000 * 4 * 2)) /dev/zero >"$l_Tmp/touch.bin"
  rm -f "$l_Tmp/touch.bin"
done

l_Order=()  # JOB/OUTPUT, in the order of a forward round
for l_Job in "${l_Jobs[@]}"; do l_Order+=("$l_Job/file" "$l_Job/pipe"); done
declare -A l_Runs  # JOB/OUTPUT -> lines "ROUND TOTAL USER SYSTEM AUDIO_SECONDS"
# The measured processor's ticks so far, "ALL STOLEN": stolen ones are those the host gave another
# guest while this one had work, which a reader weighs a run's spread by.
ticks() { awk -v l_Cpu="cpu$l_CpuId" '$1 == l_Cpu { for (i = 2; i <= 9; i++) l_All += $i; print l_All, $9 }' /proc/stat; }
l_LoadBefore="$(cut -d' ' -f1-3 /proc/loadavg)"
l_TicksBefore="$(ticks)"
l_Began=$SECONDS
for l_Round in $(seq 0 "$l_Rounds"); do
  l_Turn=("${l_Order[@]}")
  if [ $((l_Round % 2)) = 0 ]; then
    l_Turn=()
    for ((i = ${#l_Order[@]} - 1; i >= 0; i--)); do l_Turn+=("${l_Order[i]}"); done
  fi
  for l_Run in "${l_Turn[@]}"; do
    l_Line="$(measure "${l_Run%/*}" "${l_Length[${l_Run%/*}]}" "${l_Run##*/}")"
    [ "$l_Round" = 0 ] || l_Runs[$l_Run]+="$l_Round $l_Line"$'\n'  # round 0 warms up
  done
done
l_LoadAfter="$(cut -d' ' -f1-3 /proc/loadavg)"
l_TicksAfter="$(ticks)"

voices_of() { [[ "$1" == ours-* ]] && echo "$l_OurVoices" || echo "$l_ModuleVoices"; }
# Of a job's runs: "MIN MEDIAN SPREAD USER SYSTEM", in µs of CPU per voice-second but the spread (the
# largest run over the smallest, in per cent); user and system are the smallest run's.
spread() {  # spread JOB/OUTPUT
  printf '%s' "${l_Runs[$1]}" | awk -v v="$(voices_of "$1")" '
    NF == 5 { n++; c[n] = $2 * 1e6 / (v * $5); u[n] = $3 * 1e6 / (v * $5); s[n] = $4 * 1e6 / (v * $5) }
    END {
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (c[j] < c[i]) {
        t = c[i]; c[i] = c[j]; c[j] = t; t = u[i]; u[i] = u[j]; u[j] = t; t = s[i]; s[i] = s[j]; s[j] = t }
      m = int((n + 1) / 2)
      printf "%.2f %.2f %.1f %.2f %.2f", c[1], c[m], (c[n] / c[1] - 1) * 100, u[1], s[1]
    }'
}
# The ratio B / A (how many times cheaper per voice-second A is) within each round: "MEDIAN LOW HIGH".
paired() {  # paired A B
  { printf '%s' "${l_Runs[$1]}" | sed 's/^/A /'; printf '%s' "${l_Runs[$2]}" | sed 's/^/B /'; } |
    awk -v a="$(voices_of "$1")" -v b="$(voices_of "$2")" '
      NF == 6 { c = $3 / (($1 == "A" ? a : b) * $6); if ($1 == "A") A[$2] = c; else B[$2] = c }
      END {
        for (k in A) if (k in B) r[++n] = B[k] / A[k]
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
        printf "%.2f %.2f %.2f", n % 2 ? r[(n + 1) / 2] : (r[n / 2] + r[n / 2 + 1]) / 2, r[1], r[n]
      }'
}
declare -A l_Best
echo "processor: $(grep -m1 '^model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'); kernel sets: ${l_Sets[*]}"
if [ "$l_OursOnly" = 0 ]; then
  echo "module: $(basename "$l_Module"), $l_ModuleVoices channels ($l_Pass s a pass); ours: 16 voices; 48 kHz; $l_Rounds rounds"
else
  echo "ours: 16 voices, 48 kHz; $l_Rounds rounds"
fi
echo "each run takes ${l_Enough} s of CPU or more, on processor $l_CpuId; figures in us of CPU per voice-second"
echo "(minimum and median of the rounds, the largest run over the smallest, user and system of the smallest)"
printf '%-20s %-5s %8s %9s %9s %7s %9s %9s\n' "renderer" "into" "seconds" "minimum" "median" "spread" "user" "system"
for l_Job in "${l_Jobs[@]}"; do
  for l_Output in file pipe; do
    read -r l_Min l_Median l_Spread l_User l_System <<<"$(spread "$l_Job/$l_Output")"
    l_Best[$l_Job/$l_Output]="$l_Min"
    printf '%-20s %-5s %8s %9s %9s %6s%% %9s %9s\n' "$l_Job" "$l_Output" "${l_Length[$l_Job]}" "$l_Min" \
      "$l_Median" "$l_Spread" "$l_User" "$l_System"
  done
done
# How many times cheaper per voice-second A is than B.
ratio() { awk -v a="${l_Best[$1]}" -v b="${l_Best[$2]}" 'BEGIN { printf "%.2fx", b / a }'; }
# One row per set, output and comparison: the ratio of the minima, the goal, whether it is met, and
# the ratio within each round (median, lowest-highest). SSE2 alone is held to lower goals than the
# wider sets.
row() {  # row SET OUTPUT OURS PEER GOAL
  local l_Ratio; l_Ratio="$(ratio "ours-$3@$1/$2" "$4/$2")"
  local l_Met; l_Met="$(awk -v r="${l_Ratio%x}" -v g="$5" 'BEGIN { print (r >= g) ? "met" : "MISSED" }')"
  local l_Median l_Low l_High; read -r l_Median l_Low l_High <<<"$(paired "ours-$3@$1/$2" "$4/$2")"
  printf '%-7s %-5s ours %-7s vs %-17s %7s  (goal %sx: %-6s)  in a round %sx, %s-%sx\n' "$1" "$2" "$3" "$4" \
    "$l_Ratio" "$5" "$l_Met" "$l_Median" "$l_Low" "$l_High"
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
l_Stolen="$(awk -v b="$l_TicksBefore" -v a="$l_TicksAfter" 'BEGIN { split(b, l_B); split(a, l_A)
  l_All = l_A[1] - l_B[1]; printf "%.1f", (l_All > 0 ? 100 * (l_A[2] - l_B[2]) / l_All : 0) }')"
echo "load average before the rounds $l_LoadBefore, after $l_LoadAfter; $((SECONDS - l_Began)) s of rounds;" \
  "processor $l_CpuId taken by the host (stolen) $l_Stolen % of that time"
