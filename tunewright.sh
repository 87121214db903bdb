#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, builds, and then
#   ./tunewright.sh play [SONG]   plays a bundled song (or SONG) in the player
#   ./tunewright.sh test          builds and runs every test (as CI does)
set -euo pipefail
cd "$(dirname "$0")"

l_Job="${1:-}"
case "$l_Job" in
  play)
    scripts/install-deps.sh
    cmake -S . -B build/play -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTUNEWRIGHT_BUILD_BENCH=OFF
    cmake --build build/play -j"$(nproc)"
    l_Song="${2:-songs/harbour-lights.org}"
    # The player reads its samples, font and themes relative to the working directory.
    case "$l_Song" in /*) ;; songs/*) ;; *) l_Song="$PWD/$l_Song" ;; esac
    cd build/play/data
    exec ../source/razovid/tunewright-player "$l_Song"
    ;;
  test)
    scripts/install-deps.sh
    exec scripts/run-tests.sh
    ;;
  *)
    echo "usage: ./tunewright.sh play [SONG.org] | ./tunewright.sh test" >&2
    exit 2
    ;;
esac
