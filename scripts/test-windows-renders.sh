#!/usr/bin/env bash
# The package's 32-bit renderer under 32-bit Wine against the Linux renderer: every bundled song and
# the bench song (all sixteen tracks sounding), with each of the five resamplers at 44.1 and 48 kHz,
# renders to the same bytes on both (the same kernel set runs on both: the processor's best). A
# pair that differs is named with how many samples differ and by how much at most.
# Runs after scripts/build-windows.sh i686 on a machine that runs 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/.."
l_Started=$SECONDS
. scripts/host-build.sh
cmake --build "$l_HostBuild" -j"${TUNEWRIGHT_JOBS:-$(nproc)}" --target tunewright-render bench_render >/dev/null
l_Linux=$l_HostBuild/source/orgrender/tunewright-render
l_Windows=build/windows/tunewright-win32/tunewright-render.exe
l_Out=build/windows/renders
rm -rf "$l_Out" && mkdir -p "$l_Out"
"$l_HostBuild/bench/render/bench_render" --write-all-tracks "$l_Out/all-tracks.org"

. scripts/wine-env.sh i686
# One Wine server for every render, instead of one started per program.
wineserver -w
wineserver -p
trap 'wineserver -k || true' EXIT
l_Failed=0
l_Pairs=0
for l_Song in songs/*.org "$l_Out/all-tracks.org"; do
  for l_Interp in nearest linear cubic spline sinc; do
    for l_Rate in 44100 48000; do
      l_Options=(-q --interp "$l_Interp" --rate "$l_Rate")
      "$l_Linux" "${l_Options[@]}" -o "$l_Out/linux.wav" "$l_Song"
      wine "$l_Windows" "${l_Options[@]}" -o "$l_Out/windows.wav" "$l_Song"
      if ! cmp -s "$l_Out/linux.wav" "$l_Out/windows.wav"; then
        echo "windows renders: $(basename "$l_Song") $l_Interp $l_Rate Hz differs from Linux's:" \
          "$(scripts/compare-renders.py "$l_Out/linux.wav" "$l_Out/windows.wav" || true)"
        l_Failed=1
      fi
      rm -f "$l_Out/linux.wav" "$l_Out/windows.wav"
      l_Pairs=$((l_Pairs + 1))
    done
  done
done
[ $l_Failed -eq 0 ] && echo "windows renders: all $l_Pairs identical to the Linux renderer's"
echo "windows renders: $((SECONDS - l_Started)) s"
exit $l_Failed
