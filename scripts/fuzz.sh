#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60), as many at once
# as there are processors, from the corpora the repo's code makes (kept between runs in
# build/fuzz/corpus, so a long run goes on from where the last one stopped). Exits non-zero when a target finds a fault; the
# input that shows it is left in build/fuzz/artifacts. The mutations follow a fixed seed
# (TUNEWRIGHT_FUZZ_SEED, default 1), so that a run finds what the same run found before, not what
# the day's random draw happens to reach; give another seed to look elsewhere.
#   scripts/fuzz.sh [SECONDS [TARGET...]]     targets: song_reader song_render engine_api c_api midi_import
set -euo pipefail
cd "$(dirname "$0")/.."
l_Seconds="${1:-60}"
shift || true
l_Targets=("$@")
[ ${#l_Targets[@]} -gt 0 ] || l_Targets=(song_reader song_render engine_api c_api midi_import)

# Line tables (-g1) are all a fault's stack needs, and compile faster than full debug information.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_FUZZ=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build build/fuzz -j"$(nproc)"

mkdir -p build/fuzz/corpus/songs build/fuzz/corpus/calls build/fuzz/corpus/api build/fuzz/corpus/midi \
  build/fuzz/artifacts
cp songs/*.org build/fuzz/corpus/songs/ 2>/dev/null || true
build/fuzz/tests/fuzz/make_fuzz_seeds build/fuzz/corpus/songs build/fuzz/corpus/calls build/fuzz/corpus/api \
  build/fuzz/corpus/midi

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The targets run side by side, one a processor, each for the whole of its time; their output is
# shown target by target once all have ended.
fuzz_one() {  # fuzz_one TARGET CORPUS MAX_LEN
  # Each target's corpus grows in its own folder; the seeds are read from the shared one.
  mkdir -p "build/fuzz/corpus/$1"
  # The programs' own messages (loads, engine errors) go to the closed descriptors.
  "build/fuzz/tests/fuzz/fuzz_$1" -max_total_time="$l_Seconds" -max_len="$3" -rss_limit_mb=2048 \
    -seed="${TUNEWRIGHT_FUZZ_SEED:-1}" \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$1-" \
    "build/fuzz/corpus/$1" "build/fuzz/corpus/$2" >"build/fuzz/logs/$1.log" 2>&1
}
mkdir -p build/fuzz/logs
declare -A l_Pids
for l_Target in "${l_Targets[@]}"; do
  case "$l_Target" in
    song_reader) l_Corpus=songs; l_MaxLen=8192 ;;
    song_render) l_Corpus=songs; l_MaxLen=8192 ;;
    engine_api) l_Corpus=calls; l_MaxLen=4096 ;;
    c_api) l_Corpus=api; l_MaxLen=8192 ;;
    midi_import) l_Corpus=midi; l_MaxLen=32768 ;;
    *) echo "fuzz.sh: no target '$l_Target' (song_reader, song_render, engine_api, c_api, midi_import)" >&2; exit 2 ;;
  esac
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  fuzz_one "$l_Target" "$l_Corpus" "$l_MaxLen" &
  l_Pids[$l_Target]=$!
done
l_Failed=()
for l_Target in "${l_Targets[@]}"; do
  l_Status=0
  wait "${l_Pids[$l_Target]}" || l_Status=$?
  printf '\n==== fuzz_%s for %ss\n' "$l_Target" "$l_Seconds"
  cat "build/fuzz/logs/$l_Target.log"
  [ "$l_Status" -eq 0 ] || l_Failed+=("$l_Target")
done
[ ${#l_Failed[@]} -eq 0 ] || { echo "fuzz.sh: faults found by ${l_Failed[*]} (inputs in build/fuzz/artifacts)" >&2; exit 1; }
