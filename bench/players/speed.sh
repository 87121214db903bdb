#!/usr/bin/env bash
# The VLC module's and the Audacious plugin's cost against the renderer's, side by side on the same
# song and settings (the intro and LOOPS passes of the loop, the resampler INTERP, 48 kHz):
#   cvlc, its file output writing float to /dev/null            against   tunewright-render -o /dev/null
#   a headless Audacious, its file writer writing to /dev/null  against   tunewright-render -o /dev/null
# Each runs ROUNDS times, in turn; the CPU time (user + system) of each, its children included, is
# summed and the ratios printed. The goal is 1.2 at most. The players start a process, load their
# plugins and read the song (Audacious also a D-Bus session and audtool), so LOOPS is large enough
# for the decoding to outweigh that. VLC plays in real time (the default song and loops take 92 s
# a round); Audacious and the renderer as fast as they can.
#   bench/players/speed.sh [BUILD_DIR [SONG [LOOPS [ROUNDS [INTERP]]]]]
# BUILD_DIR (default build/plain) holds the renderer and the plugins; for installed ones give "-".
set -euo pipefail
cd "$(dirname "$0")/../.."
l_Root="$PWD"
l_Build="${1:-build/plain}"
l_Song="$(realpath "${2:-songs/harbour-lights.org}")"
l_Loops="${3:-1}"
l_Rounds="${4:-1}"
l_Interp="${5:-linear}"
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
chmod 755 "$l_Temp"
l_Render=tunewright-render
l_Audacious="$(pkg-config --variable=plugin_dir audacious)/Input/tunewright.so"
if [ "$l_Build" != - ]; then
  export VLC_PLUGIN_PATH="$PWD/$l_Build/plugins/vlc"
  l_Audacious="$PWD/$l_Build/plugins/audacious/tunewright.so"
  l_Render="$PWD/$l_Build/source/orgrender/tunewright-render"
fi

# CPU seconds (user + system) of one run of the command, its children included.
cpu_seconds() {
  local l_Times
  l_Times="$( { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 )"
  awk '{ print $1 + $2 }' <<<"$l_Times"
}

# VLC will not run as root: there it runs as nobody.
l_AsPlayer=()
[ "$(id -u)" -ne 0 ] || l_AsPlayer=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
mkdir -m 777 "$l_Temp/vlc-home"
l_Vlc=(env HOME="$l_Temp/vlc-home" "${l_AsPlayer[@]}" cvlc --play-and-exit --aout afile --audiofile-file /dev/null
  --audiofile-format float32 --no-audiofile-wav --tunewright-loops "$l_Loops" --tunewright-interpolation "$l_Interp"
  "$l_Song")

# The file writer writes the song's WAV file into out/, where its name leads to /dev/null.
. scripts/audacious-headless.sh
mkdir "$l_Temp/out"
ln -s /dev/null "$l_Temp/out/$(basename "$l_Song" .org).wav"
audacious_setup "$l_Temp/audacious" "$l_Audacious" "$l_Temp/out" '[tunewright]' "loops=$l_Loops" \
  "interpolation=$l_Interp"
audacious_session "audtool playlist-addurl '$l_Song'"  # the playlist and the output, before the clock starts
l_Aud=(audacious_session "audtool playlist-jump 1; audtool playback-play; wait_stopped")

l_Ren=("$l_Render" -q --force --rate 48000 --loops "$l_Loops" --interp "$l_Interp" --format raw -o /dev/null "$l_Song")
l_VlcTotal=0
l_AudTotal=0
l_RenTotal=0
for l_Round in $(seq "$l_Rounds"); do
  l_V="$(cpu_seconds "${l_Vlc[@]}")"
  l_A="$(cpu_seconds "${l_Aud[@]}")"
  l_R="$(cpu_seconds "${l_Ren[@]}")"
  printf 'round %d: VLC %6.3f s   Audacious %6.3f s   tunewright-render %6.3f s\n' "$l_Round" "$l_V" "$l_A" "$l_R"
  l_VlcTotal="$(awk -v a="$l_VlcTotal" -v b="$l_V" 'BEGIN { print a + b }')"
  l_AudTotal="$(awk -v a="$l_AudTotal" -v b="$l_A" 'BEGIN { print a + b }')"
  l_RenTotal="$(awk -v a="$l_RenTotal" -v b="$l_R" 'BEGIN { print a + b }')"
done
awk -v v="$l_VlcTotal" -v a="$l_AudTotal" -v r="$l_RenTotal" -v s="$(basename "$l_Song")" -v l="$l_Loops" \
  -v i="$l_Interp" 'BEGIN {
  printf "%s, %d loops, %s, 48 kHz: tunewright-render %.3f s CPU; VLC %.3f s: ratio %.2f; Audacious %.3f s: ratio %.2f (goal <= 1.20)\n",
    s, l, i, r, v, (r > 0 ? v / r : 0), a, (r > 0 ? a / r : 0) }'
