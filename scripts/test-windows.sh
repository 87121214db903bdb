#!/usr/bin/env bash
# The Windows stage of CI: builds the 32-bit package and checks what it holds. Where the machine runs
# 32-bit programs, the package's own programs then run under 32-bit Wine: its renderer against the
# Linux renderer, the 32-bit build's test suites and the package's player. Elsewhere the same tree is
# built for 64-bit Windows, and its renderer, test suites and player run under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Started=$SECONDS
l_Runs32=1
scripts/runs-i686.sh || l_Runs32=0

scripts/build-windows.sh i686
. scripts/host-build.sh
l_Stage="build/windows/tunewright-win32"
l_Failed=0
Fail() { echo "windows package: $*"; l_Failed=1; }

# Every program and library is 32-bit x86.
mapfile -t l_Binaries < <(find "$l_Stage" -maxdepth 1 \( -name '*.exe' -o -name '*.dll' \) | sort)
[ ${#l_Binaries[@]} -ge 8 ] || Fail "only ${#l_Binaries[@]} programs and libraries in the package"
for l_File in "${l_Binaries[@]}"; do
  objdump -f "$l_File" | grep -q "file format pei-i386" || Fail "$(basename "$l_File") is not 32-bit x86"
done

# The player has no console window; the tools are console programs.
Subsystem() { objdump -p "$l_Stage/$1" | sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*//p'; }
[ "$(Subsystem tunewright-player.exe)" = "(Windows GUI)" ] || Fail "the player is not a GUI program"
for l_Tool in tunewright-render.exe tunewright-play.exe tunewright-info.exe tunewright-convert.exe; do
  [ "$(Subsystem "$l_Tool")" = "(Windows CUI)" ] || Fail "$l_Tool is not a console program"
done

# The DLL exports the public interface that libtunewright.so.0 exports, and nothing else.
scripts/check-exports.sh "$l_Stage/libtunewright.dll" source/org/libtunewright.map \
  source/decoder/tunewright/tunewright.h || l_Failed=1
# Nothing else exports the handles: the player holds the one pair of its static link.
l_PlayerHandles="$(objdump -t "$l_Stage/tunewright-player.exe" | grep -c -e '_ZN3Org6DeviceE$' -e '_ZN3Org8MasterCGE$' || true)"
[ "$l_PlayerHandles" -eq 2 ] || Fail "the player holds $l_PlayerHandles engine handles, not 2"

# Every DLL that anything loads is in the package or part of Windows.
l_System="kernel32.dll msvcrt.dll user32.dll gdi32.dll winmm.dll opengl32.dll glu32.dll shell32.dll
  advapi32.dll ole32.dll imm32.dll version.dll"
for l_File in "${l_Binaries[@]}"; do
  for l_Dll in $(objdump -p "$l_File" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    grep -qw "$l_Dll" <<<"$l_System" && continue
    [ -n "$(find "$l_Stage" -maxdepth 1 -iname "$l_Dll")" ] || Fail "$(basename "$l_File") loads $l_Dll, which the package lacks"
  done
done
# The engine opens some libraries itself when it first needs them, which no import table shows:
# every DLL that its lazily loading sources name is in the package.
mapfile -t l_Lazy < <(grep -rl --include='*.cpp' --include='*.h' 'LazyLibrary.h' platform source |
  xargs grep -oh '"[A-Za-z0-9_.+-]*\.dll"' | tr -d '"' | sort -u)
[ ${#l_Lazy[@]} -ge 1 ] || Fail "no library that the engine loads itself is named in its sources"
for l_Dll in "${l_Lazy[@]}"; do
  [ -n "$(find "$l_Stage" -maxdepth 1 -iname "$l_Dll")" ] || Fail "the engine loads $l_Dll, which the package lacks"
done
for l_Folder in melody percussion gfx songs include/tunewright; do
  [ -n "$(ls -A "$l_Stage/$l_Folder" 2>/dev/null)" ] || Fail "the package has no $l_Folder/"
done
[ -f "$l_Stage/lib/libtunewright.dll.a" ] || Fail "the package has no import library"
grep -q "SDL_image" "$l_Stage/THIRD-PARTY-NOTICES.txt" || Fail "the notices do not name SDL_image"
l_Size="$(stat -c %s build/windows/tunewright-win32.zip)"
[ "$l_Size" -lt 3500000 ] || Fail "the zip is $l_Size bytes, not under 3.5 MB"
[ $l_Failed -eq 0 ] || exit 1
echo "windows package: $l_Size bytes, checks passed"

# The renderer of a Windows build under Wine writes the very file the Linux renderer writes, and a
# song it cannot open is one line and status 1, with nothing written:
#   RendererChecks ARCH RENDERER DATA SCRATCH
RendererChecks() {
  local p_Arch="$1" p_Renderer="$2" p_Data="$3" l_Run="$4" l_Song="songs/greensleeves.org" l_Start l_Linux l_Windows
  . scripts/wine-env.sh "$p_Arch"
  mkdir -p "$l_Run"
  rm -rf "$l_Run"/*.wav "$l_Run/in"  # the renderer never writes over what an earlier run left
  l_Start=$(date +%s%N)
  "$l_HostBuild/source/orgrender/tunewright-render" -q --data "$p_Data" --seconds 20 "$l_Song" "$l_Run/linux.wav"
  l_Linux=$(($(date +%s%N) - l_Start))
  wine "$p_Renderer" -q --seconds 1 --data "$p_Data" "$l_Song" "$l_Run/warm.wav"  # starts Wine's services
  l_Start=$(date +%s%N)
  wine "$p_Renderer" -q --data "$p_Data" --seconds 20 "$l_Song" "$l_Run/windows.wav"
  l_Windows=$(($(date +%s%N) - l_Start))
  # The same mixer on the same processor: the two files are identical.
  cmp "$l_Run/linux.wav" "$l_Run/windows.wav" || Fail "the Windows renderer's song differs from the Linux renderer's"
  if wine "$p_Renderer" -q --data "$p_Data" "$l_Run/no-such-song.org" "$l_Run/bad.wav" 2>"$l_Run/bad.txt"; then
    Fail "the renderer accepted a missing song"
  fi
  [ "$(grep -c . "$l_Run/bad.txt")" -eq 1 ] && [ ! -e "$l_Run/bad.wav" ] || Fail "a missing song: $(cat "$l_Run/bad.txt")"
  # The output rules hold on Windows too, where a file's identity is not its st_ino: an existing
  # file is kept without --force; the song is never written over, even by another spelling of its
  # name; a backslash ends a folder's name, so the default output lands in the working directory.
  local l_Before
  l_Before="$(sha256sum <"$l_Run/windows.wav")"
  if wine "$p_Renderer" -q --data "$p_Data" --seconds 1 "$l_Song" "$l_Run/windows.wav" 2>"$l_Run/exists.txt"; then
    Fail "the renderer wrote over an existing file without --force"
  fi
  grep -q "exists; give --force" "$l_Run/exists.txt" || Fail "an existing file: $(cat "$l_Run/exists.txt")"
  [ "$(sha256sum <"$l_Run/windows.wav")" = "$l_Before" ] || Fail "a refused render changed the existing file"
  mkdir -p "$l_Run/in"
  cp "$l_Song" "$l_Run/in/self.org"
  if wine "$p_Renderer" -q --data "$p_Data" --seconds 1 --force --format wav \
    -o "$l_Run\\in\\self.org" "$l_Run/in/self.org" 2>"$l_Run/self.txt"; then
    Fail "the renderer accepted the song as its own output"
  fi
  grep -q "is the song being rendered" "$l_Run/self.txt" || Fail "the song as its own output: $(cat "$l_Run/self.txt")"
  cmp -s "$l_Song" "$l_Run/in/self.org" || Fail "the song was written over"
  rm -f "$l_Run/self.wav"
  (cd "$l_Run" && wine "$l_Root/$p_Renderer" -q --data "$l_Root/$p_Data" --seconds 1 'in\self.org') ||
    Fail "a song named with backslashes did not render"
  [ -f "$l_Run/self.wav" ] || Fail "the default output of in\\self.org is not self.wav in the working directory"
  [ $l_Failed -eq 0 ] || exit 1
  echo "renderer, 20 s of $l_Song: Linux $((l_Linux / 1000000)) ms, Wine $((l_Windows / 1000000)) ms ($p_Arch)"
}

# Where 32-bit programs run, the package's own programs are what runs under Wine. Elsewhere the same
# tree is built for 64-bit Windows and runs under wine64 instead.
if [ $l_Runs32 -eq 1 ]; then
  RendererChecks i686 "$l_Stage/tunewright-render.exe" "$l_Stage" build/windows/i686/run
  scripts/test-windows-renders.sh
  scripts/test-windows-suites.sh i686
  scripts/test-windows-player.sh i686
else
  scripts/build-windows.sh x86_64
  RendererChecks x86_64 build/windows/x86_64/run/tunewright-render.exe build/windows/x86_64/data build/windows/x86_64/run
  scripts/test-windows-suites.sh x86_64
  scripts/test-windows-player.sh x86_64
  if [ -f build/windows/no-wine32 ]; then
    echo "windows: $(cat build/windows/no-wine32); the 32-bit package was only checked, not run"
  else
    echo "windows: this machine cannot run 32-bit x86 programs; the 32-bit package was only checked, not run"
  fi
fi
echo "windows stage: $((SECONDS - l_Started)) s"
