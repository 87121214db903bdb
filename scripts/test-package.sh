#!/usr/bin/env bash
# The Debian package, as a user gets it: made by cpack from a build folder (default build/plain),
# checked by lintian (errors fail), installed, and then used from / as an installed program is.
# In a CI run (CI=true; its machines are disposable) it is installed on the machine with apt-get
# (root or sudo); anywhere else it is unpacked into a scratch root and its programs run from there,
# so that the machine is left as it was. Then:
# the player under X (DISPLAY, or an Xvfb of its own) with its sound captured through ALSA's
# file plugin, the renderer, every program's --version, the desktop files' validators and the
# MIME type a file manager sees for a song.
#   scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Build="$(cd "${1:-build/plain}" && pwd)"
l_Out="$l_Root/build/package"
l_Temp="$(mktemp -d)"
l_PlayerPid=""
l_XvfbPid=""
cleanup() {
  [ -n "$l_PlayerPid" ] && kill "$l_PlayerPid" 2>/dev/null || true
  [ -n "$l_XvfbPid" ] && kill "$l_XvfbPid" 2>/dev/null || true
  rm -rf "$l_Temp"
}
trap cleanup EXIT
fail() { echo "test-package: $*" >&2; exit 1; }

rm -rf "$l_Out"
cpack -G DEB --config "$l_Build/CPackConfig.cmake" -B "$l_Out" >/dev/null
l_Deb="$(ls "$l_Out"/tunewright_*.deb)"
echo "made $(basename "$l_Deb"):"
dpkg-deb --field "$l_Deb" Version Installed-Size Depends
lintian --fail-on error --display-level '>=warning' "$l_Deb" || fail "lintian reports errors"

# The package's files, installed (CI) or unpacked into a scratch root whose programs find their
# libraries and data as the installed ones do (the libraries through LD_LIBRARY_PATH, the data
# relative to the program), and a desktop that reads its entries and MIME types from there.
l_Prefix=""
if [ "${CI:-}" = true ]; then
  l_Sudo=""
  [ "$(id -u)" -eq 0 ] || l_Sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $l_Sudo apt-get install -y -q --reinstall "$l_Deb" >/dev/null
  echo "installed $(basename "$l_Deb") on this machine (CI)"
else
  l_Prefix="$l_Temp/root"
  dpkg-deb -x "$l_Deb" "$l_Prefix"
  export PATH="$l_Prefix/usr/bin:$PATH"
  export LD_LIBRARY_PATH="$(dirname "$(find "$l_Prefix/usr/lib" -name 'libtunewright.so.0' | head -1)")"
  export XDG_DATA_DIRS="$l_Prefix/usr/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
  export XDG_DATA_HOME="$l_Temp/data-home" XDG_CONFIG_HOME="$l_Temp/config-home"
  # What the desktop's triggers do when the package is installed.
  update-mime-database "$l_Prefix/usr/share/mime"
  update-desktop-database "$l_Prefix/usr/share/applications"
  echo "unpacked $(basename "$l_Deb") into a scratch root (CI=true installs it on the machine)"
fi
l_Version="$(dpkg-deb --field "$l_Deb" Version)"
l_Version="${l_Version%-*}"
l_Songs="$l_Prefix/usr/share/tunewright/songs"
# The package's files as installed, one absolute path a line.
l_Files="$(dpkg-deb --fsys-tarfile "$l_Deb" | tar -t | sed -n "s|^\./|$l_Prefix/|p" | grep -v '/$')"

# Every installed program answers --version with the project's version.
for l_Program in $(grep "^$l_Prefix/usr/bin/" <<<"$l_Files"); do
  l_Answer="$(cd / && "$l_Program" --version)"
  case "$l_Answer" in *"$l_Version"*) ;; *) fail "$l_Program --version says '$l_Answer', not $l_Version" ;; esac
done

# The desktop entry, the metainfo, the icons, and the MIME type a desktop sees for a song: the
# one the entry offers the player for (a text file that is merely named .org is not one).
l_Desktop="$(grep "^$l_Prefix/usr/share/applications/.*\.desktop$" <<<"$l_Files")"
desktop-file-validate "$l_Desktop"
appstreamcli validate --no-net --pedantic $(grep "^$l_Prefix/usr/share/metainfo/.*\.xml$" <<<"$l_Files")
[ "$(grep -c "^$l_Prefix/usr/share/icons/hicolor/.*\.png$" <<<"$l_Files")" -ge 4 ] || fail "the icons are missing"
content_type() { gio info -a standard::content-type "$1" | sed -n 's/.*standard::content-type: //p'; }
l_SongType="$(sed -n 's/^MimeType=\([^;]*\);.*/\1/p' "$l_Desktop")"
[ "$(content_type "$l_Songs/greensleeves.org")" = "$l_SongType" ] ||
  fail "a song is taken for '$(content_type "$l_Songs/greensleeves.org")', not $l_SongType"
l_Handlers="$(gio mime "$l_SongType")"
grep -q "^Default application.*$(basename "$l_Desktop")" <<<"$l_Handlers" ||
  fail "songs do not open with the player: $l_Handlers"
printf '* a text file named .org\n' >"$l_Temp/notes.org"
[ "$(content_type "$l_Temp/notes.org")" != "$l_SongType" ] || fail "a text file named .org is taken for a song"

# The renderer, started from /, finds its libraries and its data.
(cd / && tunewright-render -q --seconds 2 -o "$l_Temp/render.wav" "$l_Songs/greensleeves.org")
l_Rms="$(sox "$l_Temp/render.wav" -n stat 2>&1 | sed -n 's/^RMS *amplitude: *//p')"
echo "installed renderer: $(soxi -d "$l_Temp/render.wav") of sound, RMS $l_Rms"
awk -v r="$l_Rms" 'BEGIN { exit !(r > 0.01) }' || fail "the render is silent"

# The player, started from /, draws the theme and sounds the song; asked to quit, it ends with 0.
. scripts/xvfb.sh
start_xvfb 80 89
mkdir "$l_Temp/home"
printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw" }\n' "$l_Temp/capture.raw" \
  >"$l_Temp/home/.asoundrc"
l_Song="$l_Songs/harbour-lights.org"
(cd / && HOME="$l_Temp/home" exec tunewright-player "$l_Song") >"$l_Temp/player.log" 2>&1 &
l_PlayerPid=$!
l_Window="$(timeout 30 xdotool search --sync --onlyvisible --limit 1 --name "^$l_Song\$")" ||
  fail "no player window within 30 s: $(cat "$l_Temp/player.log")"
# Start-up goes on after the window opens (samples, theme): each check waits up to 30 s.
l_Background="$l_Prefix/usr/share/tunewright/gfx/Liquid Aluminum/bg.png"
convert "$l_Background" -crop 300x60+0+0 +repage "$l_Temp/theme-top.png"
shows_theme() {  # the strip above the title shows the installed theme's background
  import -window "$l_Window" "$l_Temp/shot.png" &&
    convert "$l_Temp/shot.png" -crop 300x60+0+0 +repage "$l_Temp/shot-top.png" &&
    l_Differing="$(compare -metric AE -fuzz 2% "$l_Temp/shot-top.png" "$l_Temp/theme-top.png" null: 2>&1)"
}
sounds() {  # what the player sent to ALSA so far is not silence
  l_Rms="$(sox -t raw -r 48000 -e signed -b 16 -c 2 "$l_Temp/capture.raw" -n stat 2>&1 |
    sed -n 's/^RMS *amplitude: *//p')"
  awk -v r="${l_Rms:-0}" 'BEGIN { exit !(r > 0.01) }'
}
l_Differing="?"
l_Rms="0"
for _ in $(seq 60); do
  shows_theme && sounds && break
  sleep 0.5
done
echo "installed player: $l_Differing of 18000 pixels of the window's top differ from the theme;" \
  "$(stat -c %s "$l_Temp/capture.raw" 2>/dev/null || echo 0) bytes of sound captured, RMS $l_Rms"
shows_theme || fail "the player's window does not show the theme: $(cat "$l_Temp/player.log")"
sounds || fail "the player is silent: $(cat "$l_Temp/player.log")"
# SIGTERM becomes SDL's quit event, the one closing the window sends.
kill -TERM "$l_PlayerPid"
l_Status=0
wait "$l_PlayerPid" || l_Status=$?
l_PlayerPid=""
[ "$l_Status" -eq 0 ] || fail "the player ended with status $l_Status on being asked to quit"
echo "the package installs and its programs run"
