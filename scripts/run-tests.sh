#!/usr/bin/env bash
# Builds and runs every test the way CI does, stage by stage:
#   scripts/run-tests.sh [STAGE...]     (no stage: all of them, in this order)
#   plain        the whole suite, plain (warnings are errors), each test in a process of its own
#   asan         the whole suite built by clang under AddressSanitizer and UndefinedBehaviorSanitizer
#                (with its float-cast-overflow check), each test program once as a whole with its
#                tests in a shuffled order
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
l_AllStages=(plain asan tsan doc python fuzz downstream gstreamer players package web windows)

l_Stages=("$@")
[ ${#l_Stages[@]} -gt 0 ] || l_Stages=("${l_AllStages[@]}")
for l_Stage in "${l_Stages[@]}"; do
  grep -qxF -- "$l_Stage" < <(printf '%s\n' "${l_AllStages[@]}") ||
    { echo "run-tests.sh: no stage '$l_Stage' (stages: ${l_AllStages[*]})" >&2; exit 2; }
done

l_XvfbPid=""
l_WindowsBuildPid=""
l_Times=()
l_Current=""
l_StageStart=0
l_RunStart=$SECONDS
report() {
  local l_Status=$? l_Line
  [ -n "$l_XvfbPid" ] && kill "$l_XvfbPid" 2>/dev/null || true
  [ -n "$l_WindowsBuildPid" ] && kill -- -"$l_WindowsBuildPid" 2>/dev/null || true
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
# The sanitizers' reports need file and line, which line tables (-g1) give at a fraction of full
# debug information's compile time; the optimisation level is each stage's own.
sanitizer_flags() {  # sanitizer_flags -ON: the build's options into l_SanitizerFlags
  l_SanitizerFlags=("-DCMAKE_C_FLAGS_RELWITHDEBINFO=$1 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$1 -g1 -DNDEBUG")
}

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
  # clang, whose UBSan also sees a float converted to an integer that cannot hold it (and a value
  # outside an enum's range), which gcc's cannot. ASan's advised -O1 with line tables: clang compiles
  # the largest sources in a third of the time gcc takes for -O2 with full debug information under
  # both sanitizers. The plugins have no tests here (their hosts load them in the plain build's
  # stages).
  sanitizer_flags -O1
  # A build folder that an earlier gcc build left keeps its compiler: it starts again.
  grep -qs '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang' build/asan/CMakeCache.txt || rm -rf build/asan
  CC=clang CXX=clang++ build build/asan -DTUNEWRIGHT_SANITIZE=address,undefined -DTUNEWRIGHT_BUILD_BENCH=OFF \
    "${l_SanitizerFlags[@]}" -DTUNEWRIGHT_BUILD_GSTREAMER=OFF -DTUNEWRIGHT_BUILD_VLC=OFF -DTUNEWRIGHT_BUILD_AUDACIOUS=OFF
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

stage_tsan() {
  sanitizer_flags -O2
  cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_SANITIZE=thread "${l_SanitizerFlags[@]}" \
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

# With the plain and the Windows stage in one run, the Windows packages come in with the others
# before the first stage, and the Windows cross build starts when the plain stage has passed (its
# native build makes the data generators), at the lowest priority: it takes the processor that the
# stages in between leave free (while their tests run one at a time, the fuzzers' last round, the
# browser's tests). The Windows stage then waits for it.
l_WindowsBuildLog=build/windows/background-build.log
start_windows_build() {
  mkdir -p build/windows
  TUNEWRIGHT_HOST_BUILD=build/plain setsid nice -n 19 bash -c \
    'scripts/build-windows.sh i686 && { scripts/runs-i686.sh || scripts/build-windows.sh x86_64; }' \
    >"$l_WindowsBuildLog" 2>&1 &
  l_WindowsBuildPid=$!
  echo "the Windows build goes on beside the next stages ($l_WindowsBuildLog)"
}
# A machine left without 32-bit Wine by an earlier run's install tries it again.
rm -f build/windows/no-wine32
l_Overlap=0
if [[ " ${l_Stages[*]} " == *" plain "* && " ${l_Stages[*]} " == *" windows "* ]]; then
  l_Overlap=1
  scripts/install-windows-deps.sh
fi

stage_windows() {
  if [ -n "$l_WindowsBuildPid" ]; then
    echo "waiting for the Windows build begun after the plain stage"
    local l_Status=0
    wait "$l_WindowsBuildPid" || l_Status=$?
    l_WindowsBuildPid=""
    if [ $l_Status -ne 0 ]; then
      tail -40 "$l_WindowsBuildLog"
      echo "the Windows build failed ($l_WindowsBuildLog)"
      return 1
    fi
  fi
  # The plain build, where this run has one, is the Windows scripts' native build too.
  [ -f build/plain/CMakeCache.txt ] && export TUNEWRIGHT_HOST_BUILD=build/plain
  scripts/test-windows.sh
}

for l_Stage in "${l_Stages[@]}"; do
  printf '\n==== stage %s\n' "$l_Stage"
  l_Current="$l_Stage"
  l_StageStart=$SECONDS
  "stage_${l_Stage//-/_}"
  l_Result=passed
  [ "$l_Stage" = windows ] && [ -f build/windows/no-wine32 ] && l_Result="passed, the 64-bit build alone (no 32-bit Wine)"
  l_Times+=("$l_Stage $((SECONDS - l_StageStart)) $l_Result")
  printf '==== stage %s passed in %d s\n' "$l_Stage" $((SECONDS - l_StageStart))
  l_Current=""
  if [ "$l_Stage" = plain ] && [ $l_Overlap -eq 1 ]; then
    start_windows_build
  fi
done
