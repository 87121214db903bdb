#!/usr/bin/env bash
# What the GStreamer element costs per song second, against what the renderer costs, on the same
# song and settings (16-bit stereo at 48 kHz, the resampler INTERP, the intro and LOOPS passes of
# the loop):
#   element   (gst-launch-1.0 filesrc ! tunewrightdec ! fakesink) - (the same sound rendered
#             beforehand by tunewright-render, raw 16-bit PCM: filesrc ! rawaudioparse ! fakesink,
#             as wavparse is not among GStreamer's base plugins), over the song's seconds;
#   renderer  (tunewright-render of LOOPS repeats) - (of none), over the seconds between them.
# The pipelines' start-up is in both of their runs and goes out in the difference; the whole
# runs' ratio (the element's pipeline against the renderer, start-up and all) is printed too.
# CPU of each run from bench_cputime, user and system apart. The runs alternate, ROUNDS of each;
# the minimum and the median of each are printed, raw, then per song second. The goal: at most
# 1.2 times the renderer, judged on the minimum.
#   bench/gstreamer/speed.sh [BUILD_DIR [SONG [LOOPS [ROUNDS [INTERP]]]]]
# BUILD_DIR (default build/plain) holds the renderer, bench_cputime and the plugin; for an
# installed plugin and renderer give "-" (bench_cputime is then taken from build/plain).
set -euo pipefail
cd "$(dirname "$0")/../.."
l_Build="${1:-build/plain}"
l_Song="$(realpath "${2:-songs/harbour-lights.org}")"
l_Loops="${3:-40}"
l_Rounds="${4:-5}"
l_Interp="${5:-linear}"
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
export GST_REGISTRY_1_0="$l_Temp/registry.bin"
l_Rate=48000
l_Render=tunewright-render
l_Cputime="$PWD/build/plain/bench/cputime/bench_cputime"
if [ "$l_Build" != - ]; then
  export GST_PLUGIN_PATH="$PWD/$l_Build/plugins/gstreamer"
  l_Render="$PWD/$l_Build/source/orgrender/tunewright-render"
  l_Cputime="$PWD/$l_Build/bench/cputime/bench_cputime"
fi
[ -x "$l_Cputime" ] || { echo "no bench_cputime at $l_Cputime (build the target bench_cputime)" >&2; exit 1; }
gst-inspect-1.0 tunewrightdec >/dev/null  # the registry is made before the clock starts

# The same sound as raw PCM, and the song's seconds with LOOPS repeats and with none.
l_Pcm="$l_Temp/rendered.raw"
l_Ren=("$l_Render" -q --force --rate "$l_Rate" --interp "$l_Interp")
"${l_Ren[@]}" --loops "$l_Loops" --format raw -o "$l_Pcm" "$l_Song"
"${l_Ren[@]}" --loops 0 --format raw -o "$l_Temp/intro.raw" "$l_Song"
l_Seconds="$(awk -v b="$(stat -c %s "$l_Pcm")" -v r="$l_Rate" 'BEGIN { print b / 4 / r }')"
l_IntroSeconds="$(awk -v b="$(stat -c %s "$l_Temp/intro.raw")" -v r="$l_Rate" 'BEGIN { print b / 4 / r }')"
rm "$l_Temp/intro.raw"

# num-loops and --loops count alike: the repeats after the first pass of the loop.
l_Caps="audio/x-raw,format=S16LE,rate=$l_Rate"
l_GstSong=(gst-launch-1.0 -q filesrc location="$l_Song" ! tunewrightdec num-loops="$l_Loops"
  interpolation="$l_Interp" ! "$l_Caps" ! fakesink)
l_GstPcm=(gst-launch-1.0 -q filesrc location="$l_Pcm" ! rawaudioparse format=pcm pcm-format=s16le
  sample-rate="$l_Rate" num-channels=2 ! "$l_Caps" ! fakesink)

# Each run's "TOTAL USER SYSTEM" goes to a line of $l_Temp/NAME.
run() {
  local l_Name="$1"
  shift
  "$l_Cputime" "$@" | awk '{ print $1, $2, $3 }' >>"$l_Temp/$l_Name"
}
for l_Round in $(seq "$l_Rounds"); do
  run gst-song "${l_GstSong[@]}"
  run render "${l_Ren[@]}" --loops "$l_Loops" --format raw -o /dev/null "$l_Song"
  run gst-pcm "${l_GstPcm[@]}"
  run render-0 "${l_Ren[@]}" --loops 0 --format raw -o /dev/null "$l_Song"
done

# stats NAME: "MIN MEDIAN USER SYSTEM" of the totals, user and system those of the median run.
stats() {
  sort -g "$l_Temp/$1" | awk '{ t[NR] = $1; u[NR] = $2; s[NR] = $3 }
    END { m = int((NR + 1) / 2); print t[1], t[m], u[m], s[m] }'
}
echo "$(basename "$l_Song"), $l_Loops loops ($l_Seconds s; $l_IntroSeconds s with none), $l_Interp, $l_Rate Hz S16;" \
  "$l_Rounds rounds; CPU seconds, minimum / median (the median run's user + system):"
for l_Name in gst-song gst-pcm render render-0; do
  read -r l_Min l_Med l_User l_Sys < <(stats "$l_Name")
  printf '  %-9s %9.6f / %9.6f  (%.3f + %.3f)\n' "$l_Name" "$l_Min" "$l_Med" "$l_User" "$l_Sys"
done
read -r l_SongMin l_SongMed _ _ < <(stats gst-song)
read -r l_WavMin l_WavMed _ _ < <(stats gst-pcm)
read -r l_RenMin l_RenMed _ _ < <(stats render)
read -r l_Ren0Min l_Ren0Med _ _ < <(stats render-0)
awk -v sm="$l_SongMin" -v sd="$l_SongMed" -v wm="$l_WavMin" -v wd="$l_WavMed" -v rm="$l_RenMin" \
  -v r0m="$l_Ren0Min" -v rd="$l_RenMed" -v r0d="$l_Ren0Med" -v s="$l_Seconds" -v i="$l_IntroSeconds" 'BEGIN {
  pm = (sm - wm) / s; pd = (sd - wd) / s; qm = (rm - r0m) / (s - i); qd = (rd - r0d) / (s - i)
  print "Per song second (ms of CPU), from the minima / the medians:"
  printf "  %-24s %7.4f / %7.4f\n", "tunewright-render", 1000 * qm, 1000 * qd
  printf "  %-24s %7.4f / %7.4f  ratio %.2f / %.2f: %s (goal <= 1.20)\n", "tunewrightdec", 1000 * pm,
    1000 * pd, pm / qm, pd / qd, (pm / qm <= 1.2 ? "met" : "not met")
  printf "  %-24s %7.4f / %7.4f\n", "the pipeline, song", 1000 * sm / s, 1000 * sd / s
  printf "  %-24s %7.4f / %7.4f\n", "the pipeline, raw PCM", 1000 * wm / s, 1000 * wd / s
  printf "Whole runs, the song pipeline against tunewright-render: ratio %.2f / %.2f\n", sm / rm, sd / rd }'
