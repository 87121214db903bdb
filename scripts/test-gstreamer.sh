#!/usr/bin/env bash
# The GStreamer plugin as a person meets it, with whatever plugin GStreamer finds (the caller sets
# GST_PLUGIN_PATH for one that is not installed): gst-discoverer-1.0 gives a song's duration, and
# gst-play-1.0 plays it through ALSA's default device, which a private HOME/.asoundrc makes a raw
# file of 16-bit stereo frames at 48 kHz: the song holds one note 57 on waveform 0, which sounds at 440 Hz.
# gst-launch-1.0 -e ends its stream on SIGINT.
#   scripts/test-gstreamer.sh
set -euo pipefail
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
fail() { echo "test-gstreamer: $*" >&2; exit 1; }
# A registry of our own, so that neither the user's nor another run's is used or changed.
export GST_REGISTRY_1_0="$l_Temp/registry.bin"

# Two seconds: 16 beats of 125 ms, the loop over all of them, one note held from the first beat.
l_Song="$l_Temp/a4.org"
python3 "$(dirname "$0")/audio-checks.py" song "$l_Song"

l_Discovered="$(cd / && gst-discoverer-1.0 "$l_Song")"
grep -q "Duration: 0:00:02.000000000" <<<"$l_Discovered" ||
  fail "gst-discoverer-1.0 does not give the song's 2 s: $l_Discovered"
echo "gst-discoverer-1.0: $(grep Duration <<<"$l_Discovered" | tr -s ' ')"

mkdir "$l_Temp/home"
printf '%s\n' 'pcm.!default { type plug; slave { pcm "capture"; format S16_LE; rate 48000; channels 2 } }' \
  "pcm.capture { type file; slave.pcm \"null\"; file \"$l_Temp/capture.raw\"; format \"raw\" }" >"$l_Temp/home/.asoundrc"
(cd / && HOME="$l_Temp/home" timeout 60 gst-play-1.0 "$l_Song" </dev/null >"$l_Temp/play.log" 2>&1) ||
  fail "gst-play-1.0 failed: $(cat "$l_Temp/play.log")"
# ALSA's null device takes frames as fast as they come, so the capture is not paced as a sound
# card would pace it (the sink may drop frames or write silence): what counts is that the song's
# tone is there, at its pitch.
[ -s "$l_Temp/capture.raw" ] || fail "gst-play-1.0 sent nothing to ALSA: $(cat "$l_Temp/play.log")"
# The capture's start is enough: it can run long, unpaced.
l_Tone="$(python3 "$(dirname "$0")/audio-checks.py" measure "$l_Temp/capture.raw")"
read -r l_Hz l_Rms _ <<<"$l_Tone"
echo "gst-play-1.0: $(stat -c %s "$l_Temp/capture.raw") bytes captured, RMS $l_Rms, strongest at $l_Hz Hz"
awk -v r="$l_Rms" 'BEGIN { exit !(r > 0.01) }' || fail "gst-play-1.0 played silence"
awk -v f="$l_Hz" 'BEGIN { exit !(f >= 432 && f <= 448) }' || fail "the tone is at $l_Hz Hz, not 440 Hz"

# gst-launch-1.0 -e ends the stream on SIGINT and waits for its end: the element ends it as asked,
# for a song that plays for ever and for a long one found by decodebin (which pulls from filesrc).
# The timeout only guards against a hang.
#   end_on_sigint WHAT PIPELINE...
end_on_sigint() {
  local l_What="$1" l_Log l_Pid
  shift
  l_Log="$(mktemp -p "$l_Temp" launch.XXXXXX)"
  (cd / && exec gst-launch-1.0 -e "$@") >"$l_Log" 2>&1 &
  l_Pid=$!
  for _ in $(seq 300); do
    grep -q "Setting pipeline to PLAYING" "$l_Log" && break
    sleep 0.1
  done
  kill -INT "$l_Pid" 2>/dev/null || true  # unless it has failed already
  if ! timeout 30 tail --pid="$l_Pid" -f /dev/null; then
    kill -KILL "$l_Pid"
    fail "gst-launch-1.0 -e with $l_What did not end on SIGINT: $(cat "$l_Log")"
  fi
  wait "$l_Pid" || fail "gst-launch-1.0 -e with $l_What failed: $(cat "$l_Log")"
  grep -q "Got EOS from element" "$l_Log" || fail "gst-launch-1.0 -e with $l_What ended without EOS: $(cat "$l_Log")"
  echo "gst-launch-1.0 -e with $l_What: the stream ended on SIGINT"
}
l_Long="$l_Temp/long.org"
python3 "$(dirname "$0")/audio-checks.py" song "$l_Long" $(printf '57:240 %.0s' $(seq 20))  # ten minutes
end_on_sigint "tunewrightdec num-loops=-1" filesrc location="$l_Song" ! tunewrightdec num-loops=-1 ! fakesink sync=true
end_on_sigint "decodebin" filesrc location="$l_Long" ! decodebin ! fakesink sync=true
