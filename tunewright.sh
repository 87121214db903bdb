#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, and then
#   ./tunewright.sh play [SONG]   plays a bundled song (or SONG) in the player
#   ./tunewright.sh web           builds the WebAssembly decoder, its npm package and the web player
#                                 into build/web/
#   ./tunewright.sh test [STAGE...]  builds and runs every test (as CI does), or the named stages
#                                 (scripts/run-tests.sh lists them)
#   ./tunewright.sh windows       cross-builds build/windows/tunewright-win32.zip
set -euo pipefail
l_StartDir="$PWD"
cd "$(dirname "$0")"

l_Job="${1:-}"
case "$l_Job" in
  play)
    scripts/install-deps.sh
    cmake -S . -B build/play -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF
    cmake --build build/play -j"$(nproc)"
    # A song given on the command line is relative to where the script was started. The player,
    # started here (no data folders), finds the build tree's samples, font and themes itself.
    l_Song="songs/harbour-lights.org"
    if [ -n "${2:-}" ]; then
      case "$2" in /*) l_Song="$2" ;; *) l_Song="$l_StartDir/$2" ;; esac
    fi
    exec build/play/source/razovid/tunewright-player "$l_Song"
    ;;
  web)
    scripts/install-deps.sh
    exec scripts/build-web.sh
    ;;
  test)
    scripts/install-deps.sh
    shift
    exec scripts/run-tests.sh "$@"
    ;;
  windows)
    exec scripts/build-windows.sh i686
    ;;
  *)
    echo "usage: ./tunewright.sh play [SONG.org] | ./tunewright.sh test [STAGE...] | ./tunewright.sh windows | ./tunewright.sh web" >&2
    exit 2
    ;;
esac
