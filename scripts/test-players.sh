#!/usr/bin/env bash
# The VLC module and the Audacious plugin as a person meets them, each player writing what it plays
# into a WAV file that scripts/audio-checks.py measures: a song of one note 57 (440 Hz), its loop
# repeated once by the plugin's setting (four seconds), and a seek into a song of four notes
# (key 45, 52, 57, 64, half a second each) to 1.1 s, which must start on the third note and last
# as long as is left (0.9 s; 2.9 s where the setting repeats its loop).
#   VLC:       cvlc with its file output; the module from VLC_PLUGIN_PATH (the caller sets it for
#              one that is not installed); the seek is --start-time; a damaged song and a text
#              file named .org are refused with a message and the next song plays.
#   Audacious: audacious --headless with its file writer, driven by audtool on a D-Bus session of
#              its own (scripts/audacious-headless.sh); the plugin is TUNEWRIGHT_AUDACIOUS_PLUGIN
#              (default: the installed one). audtool gives the length; the seek is audtool
#              playback-seek.
#   scripts/test-players.sh [vlc] [audacious]     (no argument: both)
set -euo pipefail
cd "$(dirname "$0")/.."
l_Root="$PWD"
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
fail() { echo "test-players: $*" >&2; exit 1; }
l_Players=("$@")
[ ${#l_Players[@]} -gt 0 ] || l_Players=(vlc audacious)

# The players may write as another user (VLC refuses root), so the folder is open to them.
chmod 755 "$l_Temp"
mkdir -m 777 "$l_Temp/out"
python3 scripts/audio-checks.py song "$l_Temp/a4.org"
python3 scripts/audio-checks.py song "$l_Temp/notes.org" 45:4 52:4 57:4 64:4
python3 scripts/audio-checks.py song "$l_Temp/damaged.org"
truncate -s 40 "$l_Temp/damaged.org"  # "Org-02" and a header, without the notes it announces
printf '* a text file named .org\n' >"$l_Temp/text.org"

# check_wav NAME FILE HZ SECONDS: FILE sounds, its first quarter second is strongest within 2 % of
# HZ, and it plays SECONDS, within 30 ms.
check_wav() {
  [ -s "$2" ] || fail "$1 wrote nothing"
  local l_Hz l_Rms l_Seconds
  read -r l_Hz l_Rms l_Seconds < <(python3 scripts/audio-checks.py measure "$2")
  echo "$1: $l_Seconds s, RMS $l_Rms, strongest at $l_Hz Hz"
  awk -v r="$l_Rms" 'BEGIN { exit !(r > 0.01) }' || fail "$1 played silence"
  awk -v f="$l_Hz" -v w="$3" 'BEGIN { exit !(f >= 0.98 * w && f <= 1.02 * w) }' ||
    fail "$1: the tone is at $l_Hz Hz, not $3 Hz"
  awk -v s="$l_Seconds" -v w="$4" 'BEGIN { exit !(s >= w - 0.03 && s <= w + 0.03) }' ||
    fail "$1 played $l_Seconds s, not $4 s"
}

# VLC will not run as root: there it runs as nobody.
as_player() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"
  else
    "$@"
  fi
}

test_vlc() {
  mkdir -m 777 "$l_Temp/vlc-home"
  run_vlc() {  # run_vlc OUT.wav ARGUMENTS...: cvlc plays to the end of its list into OUT.wav
    local l_Out="$1"; shift
    (cd / && HOME="$l_Temp/vlc-home" as_player timeout 60 cvlc --play-and-exit --no-plugins-cache \
      --aout afile --audiofile-file "$l_Out" "$@" </dev/null 2>&1) || fail "cvlc $* failed"
  }
  run_vlc "$l_Temp/out/vlc.wav" --tunewright-loops 1 --tunewright-interpolation sinc "$l_Temp/a4.org" >"$l_Temp/vlc.log"
  grep -q 'no resampler is called' "$l_Temp/vlc.log" && fail "VLC did not take the resampler by name"
  check_wav "VLC, loop repeated once" "$l_Temp/out/vlc.wav" 440 4.0
  run_vlc "$l_Temp/out/seek.wav" --start-time 1.1 "$l_Temp/notes.org" >/dev/null
  check_wav "VLC, from 1.1 s" "$l_Temp/out/seek.wav" 440 0.9
  # Each song of the list writes the file afresh: what is left is the good song's.
  run_vlc "$l_Temp/out/list.wav" "$l_Temp/damaged.org" "$l_Temp/text.org" "$l_Temp/a4.org" >"$l_Temp/list.log"
  grep -q 'tunewright demux error: this is no song that can be played: .*damaged' "$l_Temp/list.log" ||
    fail "VLC gave no reason for refusing the damaged song: $(cat "$l_Temp/list.log")"
  check_wav "VLC, after a damaged song and a text file" "$l_Temp/out/list.wav" 440 2.0
}

test_audacious() {
  local l_Plugin="${TUNEWRIGHT_AUDACIOUS_PLUGIN:-$(pkg-config --variable=plugin_dir audacious)/Input/tunewright.so}"
  [ -f "$l_Plugin" ] || fail "no Audacious plugin at $l_Plugin"
  . scripts/audacious-headless.sh
  audacious_setup "$l_Temp/audacious" "$l_Plugin" "$l_Temp/out" '[tunewright]' 'loops=1' 'interpolation=sinc'
  # The first start makes the playlist.
  audacious_session "audtool playlist-addurl '$l_Temp/a4.org'; audtool playlist-addurl '$l_Temp/notes.org'
    audtool playlist-song-length-frames 1 >'$l_Temp/length'" || fail "Audacious failed"
  [ "$(cat "$l_Temp/length")" = 4000 ] ||
    fail "audtool gives the song with its loop repeated once $(cat "$l_Temp/length") ms long, not 4000"
  echo "audtool: the song with its loop repeated once is $(cat "$l_Temp/length") ms long"

  audacious_session "audtool playlist-jump 1; audtool playback-play; wait_stopped" || fail "Audacious failed"
  check_wav "Audacious, loop repeated once" "$l_Temp/out/a4.wav" 440 4.0
  # Started paused on the second song, it seeks before a frame is written.
  printf '%s\n' '[audacious]' 'resume_playback_on_startup=TRUE' 'always_resume_paused=TRUE' >>"$g_AudaciousConfig/config"
  printf '%s\n' 'active 0' 'playing 0' 'playlist 0' 'position 1' 'resume-state 2' 'resume-time 0' \
    >"$g_AudaciousConfig/playlist-state"
  audacious_session "audtool playback-seek 1.1; audtool playback-pause; wait_stopped" || fail "Audacious failed"
  check_wav "Audacious, from 1.1 s" "$l_Temp/out/notes.wav" 440 2.9
  grep -q 'No resampler is called' "$g_AudaciousDir/audacious.log" && fail "Audacious did not take the resampler by name"
  return 0
}

for l_Player in "${l_Players[@]}"; do
  "test_$l_Player"
done
