#!/usr/bin/env bash
# Builds and runs every test the way CI does, stage by stage:
#   scripts/run-tests.sh [STAGE...]     (no stage: all of them, in this order)
#   plain        the whole suite, plain (warnings are errors), each test in a process of its own
#   asan         the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, each test
#                program once as a whole with its tests in a shuffled order
#   clang-ubsan  the song, sampler, engine and renderer tests (with tunewright-info's and the
#                playback's) under clang's UndefinedBehaviorSanitizer
#   tsan         the sound engine and the decoder under ThreadSanitizer
#   doc          the C interface's doxygen reference (warnings are errors)
#   python       the Python package in a virtual environment, under pytest
#   fuzz         every fuzz target for TUNEWRIGHT_FUZZ_SECONDS each (default 60), through scripts/fuzz.sh
#   downstream   an installed copy of the library, found and linked by other projects
#   gstreamer    the GStreamer plugin: its gst-check tests, then gst-discoverer-1.0 and gst-play-1.0
#                with it (scripts/test-gstreamer.sh)
#   players      the VLC module and the Audacious plugin in cvlc and a headless Audacious
#                (scripts/test-players.sh)
#   package      the Debian packages (scripts/test-package.sh)
#   web          the WebAssembly decoder and the web player (scripts/test-web.sh)
#   windows      the Windows package and the Windows builds' tests under Wine (scripts/test-windows.sh)
# Each stage prints its time; a table of every stage's time closes the run, also when one fails.
# Stages that need the plain build make it first when it is missing or out of date.
# Xvfb is started for the tests that open windows when no display is set.
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Jobs="$(nproc)"
l_FuzzSeconds="${TUNEWRIGHT_FUZZ_SECONDS:-60}"
l_AllStages=(plain asan clang-ubsan tsan doc python fuzz downstream gstreamer players package web windows)

l_Stages=("$@")
[ ${#l_Stages[@]} -gt 0 ] || l_Stages=("${l_AllStages[@]}")
for l_Stage in "${l_Stages[@]}"; do
  grep -qxF -- "$l_Stage" < <(printf '%s\n' "${l_AllStages[@]}") ||
    { echo "run-tests.sh: no stage '$l_Stage' (stages: ${l_AllStages[*]})" >&2; exit 2; }
done

l_XvfbPid=""
l_Times=()
l_Current=""
l_StageStart=0
l_RunStart=$SECONDS
report() {
  local l_Status=$? l_Line
  [ -n "$l_XvfbPid" ] && kill "$l_XvfbPid" 2>/dev/null || true
  [ -n "$l_Current" ] && l_Times+=("$l_Current $((SECONDS - l_StageStart)) FAILED")
  printf '\n==== stage times\n'
  for l_Line in "${l_Times[@]}"; do
    read -r l_Name l_Seconds l_Result <<<"$l_Line"
    printf '  %-12s %4d min %02d s  %s\n' "$l_Name" $((l_Seconds / 60)) $((l_Seconds % 60)) "$l_Result"
  done
  printf '  %-12s %4d min %02d s  %s\n' total $(((SECONDS - l_RunStart) / 60)) $(((SECONDS - l_RunStart) % 60)) \
    "$([ "$l_Status" -eq 0 ] && echo "all passed" || echo FAILED)"
}
trap report EXIT
. scripts/xvfb.sh
start_xvfb 90 99

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$l_Root/tests/sanitizer/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$l_Root/tests/sanitizer/tsan.supp"

build() {  # build DIR [cmake options...]
  local l_Dir="$1"; shift
  cmake -S . -B "$l_Dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$l_Dir" -j"$l_Jobs"
}
build_plain() { build build/plain -DTUNEWRIGHT_WERROR=ON -DTUNEWRIGHT_BUILD_BENCH=ON; }

# Tests that measure sound or pictures against the wall clock (the real ALSA output, the player
# under Xvfb, the OpenGL window) run one at a time, after the rest have run in parallel, so that
# they never compete with other tests for the two cores.
l_Serial='player|alsa|xvfb'

stage_plain() {
  build_plain
  ctest --test-dir build/plain --output-on-failure -j"$l_Jobs" -LE "$l_Serial|shuffled"
  ctest --test-dir build/plain --output-on-failure -L "$l_Serial" -LE shuffled
}

# Under the sanitizers each test program runs once as a whole, its tests in a shuffled order, so
# that no test depends on another having run before it (the plain stage ran each test alone). The
# seed follows the commit, so a run can be repeated; TUNEWRIGHT_SHUFFLE_SEED chooses another.
stage_asan() {
  build build/asan -DTUNEWRIGHT_SANITIZE=address,undefined -DTUNEWRIGHT_BUILD_BENCH=OFF
  local l_Commit
  l_Commit="$(git rev-parse --short=6 HEAD 2>/dev/null || echo 1)"
  local l_Seed="${TUNEWRIGHT_SHUFFLE_SEED:-$((16#$l_Commit % 99999 + 1))}"
  echo "test programs shuffled with seed $l_Seed (TUNEWRIGHT_SHUFFLE_SEED=$l_Seed repeats this order)"
  export GTEST_RANDOM_SEED="$l_Seed"
  # The programs in parallel, then the ones holding tests that measure against the wall clock.
  ctest --test-dir build/asan --output-on-failure -j"$l_Jobs" -L shuffled -LE "$l_Serial"
  ctest --test-dir build/asan --output-on-failure -L shuffled -L "$l_Serial"
  # The tests that are no GoogleTest program (the examples) run as in the plain stage.
  ctest --test-dir build/asan --output-on-failure -j"$l_Jobs" -L examples
}

# gcc's UBSan cannot see a float converted to an integer that cannot hold it (nor a value outside
# an enum's range); clang's can. Only the library's, the engine's and the renderer's tests (with
# tunewright-info's and the playback's length), without the player.
stage_clang_ubsan() {
  CC=clang CXX=clang++ cmake -S . -B build/clang-ubsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_SANITIZE=undefined \
    -DTUNEWRIGHT_BUILD_PLAYER=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF >/dev/null
  cmake --build build/clang-ubsan -j"$l_Jobs" --target song_tests sampler_tests engine_tests render_tests info_tests \
    playback_tests
  ctest --test-dir build/clang-ubsan --output-on-failure -j"$l_Jobs" -L 'song|sampler|engine|render|info|playback' \
    -LE 'alsa|shuffled'
}

stage_tsan() {
  cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_SANITIZE=thread \
    -DTUNEWRIGHT_BUILD_PLAYER=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF >/dev/null
  cmake --build build/tsan -j"$l_Jobs" --target engine_tests decoder_tests
  ctest --test-dir build/tsan --output-on-failure -L 'engine|decoder' -LE 'examples|shuffled'
}

stage_doc() {
  rm -rf build/doc
  doxygen doc/Doxyfile
}

stage_python() {
  build_plain
  # Debian's interpreter, whose site packages hold NumPy, pytest and setuptools (no downloads).
  local l_Python=/usr/bin/python3
  [ -x "$l_Python" ] || l_Python=python3
  rm -rf build/venv
  "$l_Python" -m venv --system-site-packages build/venv
  build/venv/bin/pip install --quiet --no-build-isolation --no-index ./python
  (cd build && TUNEWRIGHT_LIBRARY="$l_Root/build/plain/source/org/libtunewright.so.0" \
    TUNEWRIGHT_RENDER="$l_Root/build/plain/source/orgrender/tunewright-render" \
    TUNEWRIGHT_INFO="$l_Root/build/plain/source/orginfo/tunewright-info" \
    venv/bin/python -m pytest -q -p no:cacheprovider "$l_Root/python/tests")
}

stage_fuzz() {
  scripts/fuzz.sh "$l_FuzzSeconds"
}

stage_downstream() {
  build_plain
  rm -rf build/install build/downstream
  cmake --install build/plain --prefix "$l_Root/build/install" >/dev/null
  cmake -S examples/downstream -B build/downstream -DCMAKE_PREFIX_PATH="$l_Root/build/install" >/dev/null
  cmake --build build/downstream -j"$l_Jobs"
  LD_LIBRARY_PATH="$l_Root/build/install/lib" build/downstream/downstream "$l_Root/songs/harbour-lights.org"
  # The examples build from the installed headers and library alone, through CMake and pkg-config.
  local l_Example
  for l_Example in c-render sdl-callback; do
    cmake -S "examples/$l_Example" -B "build/downstream-$l_Example" -DCMAKE_PREFIX_PATH="$l_Root/build/install" >/dev/null
    cmake --build "build/downstream-$l_Example" -j"$l_Jobs"
  done
  export PKG_CONFIG_PATH="$l_Root/build/install/lib/pkgconfig"
  cc -Wall -Wextra -Werror -o build/downstream/c-render examples/c-render/c-render.c \
    $(pkg-config --cflags --libs tunewright sndfile)
  LD_LIBRARY_PATH="$l_Root/build/install/lib" build/downstream/c-render songs/greensleeves.org build/downstream/c-render.wav
  SDL_AUDIODRIVER=dummy LD_LIBRARY_PATH="$l_Root/build/install/lib" \
    build/downstream-sdl-callback/sdl-callback songs/harbour-lights.org 2
  [ -f "$(pkg-config --variable=datadir tunewright)/melody/melody0.wav" ]
  # The installed renderer finds its libraries and its data from any working directory.
  (cd / && "$l_Root/build/install/bin/tunewright-render" -q --seconds 2 "$l_Root/songs/greensleeves.org" \
    "$l_Root/build/install/greensleeves.wav")
  test -s build/install/greensleeves.wav
}

stage_gstreamer() {
  build_plain
  ctest --test-dir build/plain --output-on-failure -L gstreamer
  GST_PLUGIN_PATH="$l_Root/build/plain/plugins/gstreamer" scripts/test-gstreamer.sh
}

# Of the plain build, only what the players load: the plugins and the library under them.
stage_players() {
  cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_WERROR=ON -DTUNEWRIGHT_BUILD_BENCH=ON >/dev/null
  cmake --build build/plain -j"$l_Jobs" --target tunewright_vlc tunewright_audacious
  VLC_PLUGIN_PATH="$l_Root/build/plain/plugins/vlc" \
    TUNEWRIGHT_AUDACIOUS_PLUGIN="$l_Root/build/plain/plugins/audacious/tunewright.so" scripts/test-players.sh
}

stage_package() {
  scripts/test-package.sh
}

stage_web() {
  build_plain
  scripts/test-web.sh
}

stage_windows() {
  scripts/test-windows.sh
}

for l_Stage in "${l_Stages[@]}"; do
  printf '\n==== stage %s\n' "$l_Stage"
  l_Current="$l_Stage"
  l_StageStart=$SECONDS
  "stage_${l_Stage//-/_}"
  l_Times+=("$l_Stage $((SECONDS - l_StageStart)) passed")
  printf '==== stage %s passed in %d s\n' "$l_Stage" $((SECONDS - l_StageStart))
  l_Current=""
done
