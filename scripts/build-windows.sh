#!/usr/bin/env bash
# Cross-builds the Windows package on Debian 12 with mingw-w64:
#   scripts/build-windows.sh [i686|x86_64]   (default i686)
# i686 makes build/windows/tunewright-win32.zip (with the tests in build/windows/i686 where this
# machine runs 32-bit programs); x86_64 builds the same tree, with its tests, in build/windows/x86_64
# (the tests run under Wine: scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Arch="${1:-i686}"
l_Jobs="${TUNEWRIGHT_JOBS:-$(nproc)}"

scripts/install-deps.sh
scripts/install-windows-deps.sh "$l_Arch"
l_Runs32=0
[ "$l_Arch" = i686 ] && scripts/runs-i686.sh && l_Runs32=1

# The data generators run here, so they come from a native build (with the tests, whose driver of
# the Windows player under Wine is a native program: scripts/test-windows-player.sh).
# (The bench's render program writes the bench song, which scripts/test-windows.sh renders.)
. scripts/host-build.sh
if [ "$l_HostBuild" = build/windows/host ]; then
  cmake -S . -B "$l_HostBuild" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DTUNEWRIGHT_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$l_HostBuild" -j"$l_Jobs" --target samplegen songgen themegen tunewright-render

l_Deps="$(TUNEWRIGHT_JOBS="$l_Jobs" scripts/build-windows-deps.sh "$l_Arch")"
l_Build="build/windows/$l_Arch"
# The tests are built where they can run: always for 64-bit Windows, for 32-bit where 32-bit runs.
l_Testing=OFF
[ "$l_Arch" = x86_64 ] || [ $l_Runs32 -eq 1 ] && l_Testing=ON
cmake -S . -B "$l_Build" -DCMAKE_TOOLCHAIN_FILE="$l_Root/cmake/mingw-$l_Arch.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DTUNEWRIGHT_WINDOWS_DEPS="$l_Deps" -DTUNEWRIGHT_HOST_TOOLS="$l_Root/$l_HostBuild" \
  -DBUILD_TESTING=$l_Testing -DTUNEWRIGHT_BUILD_BENCH=OFF -DTUNEWRIGHT_WERROR=ON >/dev/null
if [ "$l_Arch" = x86_64 ]; then
  # The 64-bit build runs under wine64 here: the tools, with every DLL they load beside them.
  cmake --build "$l_Build" -j"$l_Jobs" --target tunewright-render tunewright-info tunewright-player samplegen_data \
    tunewright_theme
  l_Run="$l_Build/run"
  mkdir -p "$l_Run"
  l_GccDir="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
  cp "$l_Build/source/orgrender/tunewright-render.exe" "$l_Build/source/orginfo/tunewright-info.exe" \
    "$l_Build/source/razovid/tunewright-player.exe" \
    "$l_Build/source/org/libtunewright.dll" "$l_Build/source/decoder/libtunewright-bank.dll" \
    "$l_Build/platform/fmodex/libtunewright-sound.dll" "$l_Deps/bin/SDL.dll" "$l_Deps"/bin/*sndfile*.dll \
    "$l_GccDir/libstdc++-6.dll" "$l_GccDir/libgcc_s_seh-1.dll" /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$l_Run/"
  # The player's data beside it, as the package lays it out.
  for l_Folder in melody percussion gfx; do
    rm -rf "${l_Run:?}/$l_Folder"
    cp -r "$l_Build/data/$l_Folder" "$l_Run/"
  done
  exit 0
fi
cmake --build "$l_Build" -j"$l_Jobs"

# The package: programs, the DLL with its import library and headers, every DLL they load that
# Windows lacks, the data, and the notices. (The C++ and GCC runtimes are linked into each program
# and library: cmake/mingw-i686.cmake.)
l_Stage="build/windows/tunewright-win32"
rm -rf "$l_Stage" build/windows/tunewright-win32.zip
mkdir -p "$l_Stage/include/tunewright" "$l_Stage/lib"
cp "$l_Build/source/razovid/tunewright-player.exe" "$l_Build/source/orgrender/tunewright-render.exe" \
  "$l_Build/source/orgplay/tunewright-play.exe" "$l_Build/source/orginfo/tunewright-info.exe" \
  "$l_Build/source/orgconvert/tunewright-convert.exe" "$l_Build/source/org/libtunewright.dll" "$l_Build/source/decoder/libtunewright-bank.dll" \
  "$l_Build/platform/fmodex/libtunewright-sound.dll" "$l_Deps/bin/SDL.dll" "$l_Deps"/bin/*sndfile*.dll \
  /usr/i686-w64-mingw32/lib/libwinpthread-1.dll "$l_Stage/"
cp "$l_Build/source/org/libtunewright.dll.a" "$l_Build/platform/fmodex/libtunewright-sound.dll.a" "$l_Stage/lib/"
cp "$l_Build/include/tunewright/"*.h "$l_Stage/include/tunewright/"
# Everything ships without its symbols, but for the engine handles in the player, which show that
# it holds them itself (scripts/test-windows.sh).
find "$l_Stage" -maxdepth 1 \( -name '*.dll' -o -name '*.exe' \) ! -name tunewright-player.exe \
  -exec i686-w64-mingw32-strip --strip-unneeded {} +
i686-w64-mingw32-strip --strip-all --keep-symbol=__ZN3Org6DeviceE --keep-symbol=__ZN3Org8MasterCGE \
  "$l_Stage/tunewright-player.exe"
for l_Folder in melody percussion gfx songs; do
  cp -r "$l_Build/data/$l_Folder" "$l_Stage/"
done
scripts/windows-notices.sh "$l_Deps" "$l_Build" >"$l_Stage/THIRD-PARTY-NOTICES.txt"
cp LICENSE "$l_Stage/LICENSE.txt"
# Deflated again by 7-Zip's encoder (advzip), a few per cent smaller than zip's: still the deflate
# that every unzip program reads.
(cd build/windows && zip -q -r -9 tunewright-win32.zip tunewright-win32 && advzip -q -z -3 tunewright-win32.zip)
ls -l build/windows/tunewright-win32.zip
