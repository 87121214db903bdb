# The Wine settings every Windows test script runs under, for the programs of one processor:
#   . scripts/wine-env.sh [x86_64|i686]     (default x86_64)
# Each processor's programs start with that processor's own loader: once wine32 is installed,
# /usr/bin/wine is the 32-bit one, and a 64-bit program it starts runs in a process it hands on,
# whose windows the tests could not find by the PID they started. Each has a prefix of the
# project's own under build/windows (the 32-bit one a 32-bit prefix). No debug output, no menu
# entries written for the programs. `wine` and `winepath` below run through that loader (CMake's
# tests through scripts/wine-run.sh); the tests take it from WINELOADER.
l_WineRoot="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
case "${1:-x86_64}" in
  x86_64) export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64 WINEPREFIX="$l_WineRoot/build/windows/wineprefix" ;;
  i686) export WINELOADER=/usr/lib/wine/wine WINEARCH=win32 WINEPREFIX="$l_WineRoot/build/windows/wineprefix32" ;;
  *) echo "wine-env.sh: unknown processor '$1'" >&2; return 2 ;;
esac
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
wine() { "$WINELOADER" "$@"; }
winepath() { "$WINELOADER" winepath.exe "$@"; }
# A prefix is made on first use, so that the Wine server can be started before any program.
[ -d "$WINEPREFIX" ] || wine wineboot.exe --init >/dev/null 2>&1
