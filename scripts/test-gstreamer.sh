#!/usr/bin/env bash
# The GStreamer plugin as a person meets it, with whatever plugin GStreamer finds (the caller sets
# GST_PLUGIN_PATH for one that is not installed): gst-discoverer-1.0 gives a song's duration, and
# gst-play-1.0 plays it through ALSA's default device, which a private HOME/.asoundrc makes a raw
# file of 16-bit stereo frames at 48 kHz: the song holds one note 57 on waveform 0, which sounds at 440 Hz.
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
