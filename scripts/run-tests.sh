#!/usr/bin/env bash
# Builds and runs every test the way CI does:
#   1. the whole suite, plain (warnings are errors);
#   2. the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then the song,
#      sampler and engine tests under clang's UndefinedBehaviorSanitizer;
#   3. the sound engine's tests under ThreadSanitizer;
#   4. every fuzz target (song reader, render path, engine interface) for TUNEWRIGHT_FUZZ_SECONDS
#      each (default 60), through scripts/fuzz.sh;
#   5. an installed copy of the library, found and linked by separate CMake projects and through
#      pkg-config (the downstream example and the decoder's examples);
#   the decoder under ThreadSanitizer, the C interface's doxygen reference, and the Python package;
#   6. the WebAssembly decoder and the web player (scripts/test-web.sh).
# Xvfb is started for the tests that open windows when no display is set.
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Jobs="$(nproc)"
l_FuzzSeconds="${TUNEWRIGHT_FUZZ_SECONDS:-60}"

step() { printf '\n==== %s\n' "$*"; }

l_XvfbPid=""
cleanup() { [ -n "$l_XvfbPid" ] && kill "$l_XvfbPid" 2>/dev/null || true; }
trap cleanup EXIT
. scripts/xvfb.sh
start_xvfb 90 99

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$l_Root/tests/sanitizer/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

# Tests that measure sound or pictures against the wall clock (the real ALSA output, the player
# under Xvfb, the OpenGL window) run one at a time, after the rest have run in parallel, so that
# they never compete with other tests for the two cores.
run_suite() {  # run_suite DIR
  ctest --test-dir "$1" --output-on-failure -j"$l_Jobs" -LE 'player|alsa|xvfb|shuffled'
  ctest --test-dir "$1" --output-on-failure -L 'player|alsa|xvfb'
}

build() {  # build DIR [cmake options...]
  local l_Dir="$1"; shift
  cmake -S . -B "$l_Dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$l_Dir" -j"$l_Jobs"
}

step "plain build and tests"
build build/plain -DTUNEWRIGHT_WERROR=ON -DTUNEWRIGHT_BUILD_BENCH=ON
run_suite build/plain
# Each test program once more as a whole, its tests in a shuffled order, so that no test depends
# on another having run before it; the seed is printed to repeat an order that failed.
l_Seed="${TUNEWRIGHT_SHUFFLE_SEED:-$((RANDOM % 99999 + 1))}"
echo "test programs shuffled with seed $l_Seed (TUNEWRIGHT_SHUFFLE_SEED=$l_Seed repeats this order)"
GTEST_RANDOM_SEED="$l_Seed" ctest --test-dir build/plain --output-on-failure -L shuffled

step "AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
build build/asan -DTUNEWRIGHT_SANITIZE=address,undefined -DTUNEWRIGHT_BUILD_BENCH=OFF
run_suite build/asan

# gcc's UBSan cannot see a float converted to an integer that cannot hold it (nor a value outside
# an enum's range); clang's can. Only the library's and the engine's tests, without the player.
step "clang UndefinedBehaviorSanitizer: the song, the sampler and the engine"
CC=clang CXX=clang++ cmake -S . -B build/clang-ubsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_SANITIZE=undefined \
  -DTUNEWRIGHT_BUILD_PLAYER=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build build/clang-ubsan -j"$l_Jobs" --target song_tests sampler_tests engine_tests
ctest --test-dir build/clang-ubsan --output-on-failure -j"$l_Jobs" -L 'song|sampler|engine' -LE 'alsa'

step "ThreadSanitizer: the sound engine, and songs decoded in several threads at once"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNEWRIGHT_SANITIZE=thread \
  -DTUNEWRIGHT_BUILD_PLAYER=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build build/tsan -j"$l_Jobs" --target engine_tests decoder_tests
ctest --test-dir build/tsan --output-on-failure -L 'engine|decoder' -LE examples

step "the C interface's reference (doxygen; warnings are errors)"
rm -rf build/doc
doxygen doc/Doxyfile

step "the Python package in a virtual environment, under pytest"
# Debian's interpreter, whose site packages hold NumPy, pytest and setuptools (no downloads).
l_Python=/usr/bin/python3
[ -x "$l_Python" ] || l_Python=python3
rm -rf build/venv
"$l_Python" -m venv --system-site-packages build/venv
build/venv/bin/pip install --quiet --no-build-isolation --no-index ./python
(cd build && TUNEWRIGHT_LIBRARY="$l_Root/build/plain/source/org/libtunewright.so.0" \
  TUNEWRIGHT_RENDER="$l_Root/build/plain/source/orgrender/tunewright-render" \
  venv/bin/python -m pytest -q "$l_Root/python/tests")

step "libFuzzer: every target for ${l_FuzzSeconds}s each"
scripts/fuzz.sh "$l_FuzzSeconds"

step "installed library, found by another CMake project"
rm -rf build/install build/downstream
cmake --install build/plain --prefix "$l_Root/build/install" >/dev/null
cmake -S examples/downstream -B build/downstream -DCMAKE_PREFIX_PATH="$l_Root/build/install" >/dev/null
cmake --build build/downstream -j"$l_Jobs"
LD_LIBRARY_PATH="$l_Root/build/install/lib" build/downstream/downstream "$l_Root/songs/harbour-lights.org"
# The examples build from the installed headers and library alone, through CMake and pkg-config.
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

step "the Debian package: lintian, installed on this machine, its programs run from /"
scripts/test-package.sh build/plain

step "the WebAssembly decoder, its npm package and the web player in headless Chromium"
scripts/test-web.sh

step "Windows: the 32-bit package cross-built and checked, the 64-bit renderer under wine64"
scripts/test-windows.sh

step "all tests passed"
