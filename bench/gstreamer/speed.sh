#!/usr/bin/env bash
# The GStreamer element's cost against the renderer's, side by side on the same song and settings
# (16-bit stereo at 48 kHz, linear interpolation, the intro and LOOPS passes of the loop):
#   gst-launch-1.0 filesrc ! tunewrightdec ! fakesink   against   tunewright-render -o /dev/null
# Each runs ROUNDS times, in turn; the CPU time (user + system) of each is summed and the ratio
# printed. The goal is 1.2 at most. Both start a process, load their libraries and read the song,
# so LOOPS is large enough for the decoding to outweigh that.
#   bench/gstreamer/speed.sh [BUILD_DIR [SONG [LOOPS [ROUNDS]]]]
# BUILD_DIR (default build/plain) holds the renderer and the plugin; for installed ones give "-".
set -euo pipefail
cd "$(dirname "$0")/../.."
l_Build="${1:-build/plain}"
l_Song="$(realpath "${2:-songs/harbour-lights.org}")"
l_Loops="${3:-40}"
l_Rounds="${4:-5}"
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
export GST_REGISTRY_1_0="$l_Temp/registry.bin"
l_Render=tunewright-render
if [ "$l_Build" != - ]; then
  export GST_PLUGIN_PATH="$PWD/$l_Build/plugins/gstreamer"
  l_Render="$PWD/$l_Build/source/orgrender/tunewright-render"
fi
gst-inspect-1.0 tunewrightdec >/dev/null  # the registry is made before the clock starts

# CPU seconds (user + system) of one run of the command, its children included.
cpu_seconds() {
  local l_Times
  l_Times="$( { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1 )"
  awk '{ print $1 + $2 }' <<<"$l_Times"
}

# num-loops and --loops count alike: the repeats after the first pass of the loop.
l_Gst=(gst-launch-1.0 -q filesrc location="$l_Song" ! tunewrightdec num-loops="$l_Loops"
  ! audio/x-raw,format=S16LE,rate=48000 ! fakesink)
l_Ren=("$l_Render" -q --force --rate 48000 --loops "$l_Loops" --format raw -o /dev/null "$l_Song")
l_GstTotal=0
l_RenTotal=0
for l_Round in $(seq "$l_Rounds"); do
  l_G="$(cpu_seconds "${l_Gst[@]}")"
  l_R="$(cpu_seconds "${l_Ren[@]}")"
  printf 'round %d: tunewrightdec %6.3f s   tunewright-render %6.3f s\n' "$l_Round" "$l_G" "$l_R"
  l_GstTotal="$(awk -v a="$l_GstTotal" -v b="$l_G" 'BEGIN { print a + b }')"
  l_RenTotal="$(awk -v a="$l_RenTotal" -v b="$l_R" 'BEGIN { print a + b }')"
done
awk -v g="$l_GstTotal" -v r="$l_RenTotal" -v s="$(basename "$l_Song")" -v l="$l_Loops" 'BEGIN {
  printf "%s, %d loops, 48 kHz S16: tunewrightdec %.3f s CPU, tunewright-render %.3f s CPU: ratio %.2f (goal <= 1.20)\n",
    s, l, g, r, (r > 0 ? g / r : 0) }'
