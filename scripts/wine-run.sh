#!/usr/bin/env bash
# Runs one Windows program under Wine with scripts/wine-env.sh's settings for its processor; the
# Windows builds' tests are started through it (CMAKE_CROSSCOMPILING_EMULATOR).
#   scripts/wine-run.sh x86_64|i686 PROGRAM [ARGUMENT...]
. "$(dirname "$0")/wine-env.sh" "$1"
shift
exec "$WINELOADER" "$@"
