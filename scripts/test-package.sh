#!/usr/bin/env bash
# The Debian packages, as a user gets them: built by dpkg-buildpackage -b from a clean copy of the
# sources (the files git tracks or would track, into build/deb/src, so that nothing of a build
# folder goes in and the packages land in build/deb), checked by lintian (pedantic; an error or a
# warning fails), installed, and then used from / as installed programs are.
# In a CI run (CI=true; its machines are disposable) they are installed on the machine with
# apt-get (root or sudo); anywhere else they are unpacked into a scratch root and their programs
# run from there, so that the machine is left as it was. Then:
# every program's --version, the desktop files' validators and the MIME type a file manager sees
# for a song, the renderer, the player under X (DISPLAY, or an Xvfb of its own) with its sound
# captured through ALSA's file plugin, the Python package, the development files (a program
# built with pkg-config), the GStreamer plugin (scripts/test-gstreamer.sh) and the VLC and Audacious
# plugins (scripts/test-players.sh).
#   scripts/test-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Out="$l_Root/build/deb"
l_Temp="$(mktemp -d)"
# Open to the user VLC runs as when this runs as root (scripts/test-players.sh), for the packages' files.
chmod 755 "$l_Temp"
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
mkdir -p "$l_Out/src"
git ls-files --cached --others --exclude-standard -z | tar --null -T - -cf - | tar -xf - -C "$l_Out/src"
# The compiler cache the other builds fill (debhelper gives the build a HOME of its own).
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}"
# Debian's own tools and interpreter build the packages, whatever else the caller's PATH holds.
(cd "$l_Out/src" && PATH=/usr/sbin:/usr/bin:/sbin:/bin DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc) >"$l_Out/build.log" 2>&1 ||
  { tail -40 "$l_Out/build.log"; fail "dpkg-buildpackage failed (build/deb/build.log)"; }
l_Changes="$(ls "$l_Out"/tunewright_*.changes)"
mapfile -t l_Debs < <(ls "$l_Out"/*.deb | grep -v -- '-dbgsym_')
echo "made with dpkg-buildpackage -b:"
for l_Deb in "${l_Debs[@]}"; do
  printf '  %-50s %s\n' "$(basename "$l_Deb")" "$(dpkg-deb --field "$l_Deb" Depends)"
done
l_AsRoot=""
[ "$(id -u)" -ne 0 ] || l_AsRoot="--allow-root"
lintian $l_AsRoot --pedantic --fail-on error,warning "$l_Changes" || fail "lintian reports errors or warnings"
echo "lintian --pedantic: no error, no warning"

# The packages' files, installed (CI) or unpacked into a scratch root whose programs find their
# libraries, plugins and data as the installed ones do, and a desktop that reads its entries and
# MIME types from there.
l_Prefix=""
if [ "${CI:-}" = true ]; then
  l_Sudo=""
  [ "$(id -u)" -eq 0 ] || l_Sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $l_Sudo apt-get install -y -q --reinstall "${l_Debs[@]}" >/dev/null
  echo "installed the packages on this machine (CI)"
else
  l_Prefix="$l_Temp/root"
  for l_Deb in "${l_Debs[@]}"; do dpkg-deb -x "$l_Deb" "$l_Prefix"; done
  l_LibDir="$(dirname "$(find "$l_Prefix/usr/lib" -name 'libtunewright.so.0')")"
  export PATH="$l_Prefix/usr/bin:$PATH"
  export LD_LIBRARY_PATH="$l_LibDir"
  export GST_PLUGIN_PATH="$l_LibDir/gstreamer-1.0"
  export VLC_PLUGIN_PATH="$l_LibDir/vlc/plugins"
  export TUNEWRIGHT_AUDACIOUS_PLUGIN="$l_LibDir/audacious/Input/tunewright.so"
  export PYTHONPATH="$l_Prefix/usr/lib/python3/dist-packages"
  export PKG_CONFIG_PATH="$l_LibDir/pkgconfig"
  export XDG_DATA_DIRS="$l_Prefix/usr/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
  export XDG_DATA_HOME="$l_Temp/data-home" XDG_CONFIG_HOME="$l_Temp/config-home"
  # The dependencies are the machine's: the player's font link leads to fonts-freefont-ttf's copy.
  mkdir -p "$l_Prefix/usr/share/fonts/truetype"
  ln -s /usr/share/fonts/truetype/freefont "$l_Prefix/usr/share/fonts/truetype/freefont"
  # What the desktop's triggers do when the package is installed.
  update-mime-database "$l_Prefix/usr/share/mime"
  update-desktop-database "$l_Prefix/usr/share/applications"
  echo "unpacked the packages into a scratch root (CI=true installs them on the machine)"
fi
l_Version="$(dpkg-deb --field "${l_Debs[0]}" Version)"
l_Songs="$l_Prefix/usr/share/tunewright/songs"
# The packages' files as installed, one absolute path a line.
l_Files="$(for l_Deb in "${l_Debs[@]}"; do dpkg-deb --fsys-tarfile "$l_Deb" | tar -t; done |
  sed -n "s|^\./|$l_Prefix/|p" | grep -v '/$')"

# The installed programs and libraries look for nothing in the tree they were built in.
for l_File in $(grep -E "^$l_Prefix/usr/(bin|lib)/" <<<"$l_Files"); do
  if [ -f "$l_File" ] && [ ! -L "$l_File" ] && grep -qF "$l_Out/src" "$l_File"; then
    fail "$l_File holds a path of the build tree ($l_Out/src)"
  fi
done

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

# The converter takes a song to MIDI and back to the same notes.
(cd / && tunewright-convert -q "$l_Songs/greensleeves.org" "$l_Temp/song.mid" &&
  tunewright-convert -q "$l_Temp/song.mid" "$l_Temp/back.org")
[ "$(tunewright-info --json "$l_Songs/greensleeves.org" 2>/dev/null | grep -o '"notes":[0-9]*,"tracks"')" = \
  "$(tunewright-info --json "$l_Temp/back.org" 2>/dev/null | grep -o '"notes":[0-9]*,"tracks"')" ] ||
  fail "a song taken to MIDI and back has other notes"

# The installed tunewright-play opens its bus module: on a session bus of its own, playing to ALSA's
# null device, it takes the media player's name.
l_Names="$(cd / && HOME="$l_Temp" dbus-run-session -- sh -c '
  tunewright-play --device null --seconds 20 "$1" </dev/null >/dev/null 2>&1 & l_Play=$!
  for _ in $(seq 100); do
    l_Names="$(dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.ListNames)"
    case "$l_Names" in *org.mpris.MediaPlayer2.tunewright*) break ;; esac
    sleep 0.1
  done
  kill "$l_Play"; wait "$l_Play"; echo "$l_Names"' sh "$l_Songs/greensleeves.org")"
grep -q '"org.mpris.MediaPlayer2.tunewright"' <<<"$l_Names" || fail "the installed tunewright-play is not on the session bus"
echo "installed tunewright-play: on the session bus"

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

# The Python package decodes through the packaged library.
(cd / && /usr/bin/python3 -c 'import sys, tunewright
samples = tunewright.Song.open(sys.argv[1]).read(4800)
values = samples.size if hasattr(samples, "size") else len(samples)  # NumPy, or an interleaved array
assert values == 2 * 4800, values
print("python3-tunewright: %s reads the song" % tunewright.__file__)' \
  "$l_Songs/greensleeves.org")

# The development files build a program with pkg-config, which then runs against the library.
cc -Wall -Wextra -Werror -o "$l_Temp/c-render" examples/c-render/c-render.c $(pkg-config --cflags --libs tunewright sndfile)
(cd / && "$l_Temp/c-render" "$l_Songs/greensleeves.org" "$l_Temp/c-render.wav")
test -s "$l_Temp/c-render.wav"

# The GStreamer, VLC and Audacious plugins as a person uses them.
scripts/test-gstreamer.sh
scripts/test-players.sh
echo "the packages install and their programs run"
