#!/usr/bin/env bash
# The Windows player under Wine and Xvfb, as a person uses it: its window, its sound through waveOut
# and Wine's ALSA driver into a file, the knob, the close button, song paths with spaces and
# non-ASCII characters, a folder the ANSI code page cannot name, and its start-up time against the
# Linux player's.
#   scripts/test-windows-player.sh [x86_64|i686]    (default x86_64)
# x86_64 runs after scripts/build-windows.sh x86_64, which leaves the player with its DLLs and data in
# build/windows/x86_64/run; i686 runs the package's own player, in build/windows/tunewright-win32.
# Either way the native test driver comes from the host build (scripts/host-build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Started=$SECONDS
l_Arch="${1:-x86_64}"
l_Player="$l_Root/build/windows/x86_64/run/tunewright-player.exe"
[ "$l_Arch" = i686 ] && l_Player="$l_Root/build/windows/tunewright-win32/tunewright-player.exe"

. scripts/xvfb.sh
start_xvfb 90 99
trap 'if [ -n "${l_XvfbPid:-}" ]; then kill "$l_XvfbPid"; fi' EXIT
. scripts/host-build.sh
cmake --build "$l_HostBuild" -j"${TUNEWRIGHT_JOBS:-$(nproc)}" --target player_wine >/dev/null

# Wine reads the command line in the locale's encoding: UTF-8, as a desktop session has.
. scripts/wine-env.sh "$l_Arch"
export LC_ALL=C.UTF-8
# Wine's sound goes to ALSA, whose "default" device each test points at its own capture file.
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null
# Wine's server stays up between the players the tests start, as Windows is there when a person
# starts one: once the server of the commands above has gone, one that ends 10 s after its last
# client.
wineserver -w
wineserver -p10

# A failing test leaves its last picture of the window in the test program's folder.
(cd "$l_HostBuild/tests/razovid" &&
  TUNEWRIGHT_WINE_PLAYER="$l_Player" ./player_wine)
echo "windows player stage, $l_Arch: $((SECONDS - l_Started)) s"
