#!/usr/bin/env bash
# What the VLC module and the Audacious plugin cost per song second, against what the renderer
# costs, on the same song and resampler (the intro and LOOPS passes of the loop, 48 kHz):
#   plugin    (the player playing the song) - (the same player playing the same sound as a WAV
#             file, rendered beforehand by tunewright-render), over the song's seconds;
#   renderer  (tunewright-render of LOOPS repeats) - (of none), over the seconds between them.
# Each player runs as fast as it can:
#   VLC        cvlc with the stream output #std{access=file,mux=wav,dst=/dev/null}, which takes no
#              clock (its audio outputs, afile too, play in real time);
#   Audacious  a headless Audacious (scripts/audacious-headless.sh) playing to ALSA's null device;
#              the WAV file through the system's sndfile plugin.
# The players' start-up (about 0.1 s) is in both of their runs and goes out in the difference.
# CPU of each run from bench_cputime (the process's own clock; for Audacious the audacious
# process, not audtool or D-Bus), user and system apart. The runs alternate, ROUNDS of each; the
# minimum and the median of each are printed, raw, then per song second. The goal: each plugin at
# most 1.2 times the renderer, judged on the minimum.
#   bench/players/speed.sh [BUILD_DIR [SONG [LOOPS [ROUNDS [INTERP]]]]]
# BUILD_DIR (default build/plain) holds the renderer, bench_cputime and the plugins; for installed
# plugins and renderer give "-" (bench_cputime is then taken from build/plain).
set -euo pipefail
cd "$(dirname "$0")/../.."
l_Build="${1:-build/plain}"
l_Song="$(realpath "${2:-songs/harbour-lights.org}")"
l_Loops="${3:-20}"
l_Rounds="${4:-5}"
l_Interp="${5:-linear}"
l_Temp="$(mktemp -d)"
trap 'rm -rf "$l_Temp"' EXIT
chmod 755 "$l_Temp"
l_Rate=48000
l_Render=tunewright-render
l_Audacious="$(pkg-config --variable=plugin_dir audacious)/Input/tunewright.so"
l_Cputime="$PWD/build/plain/bench/cputime/bench_cputime"
if [ "$l_Build" != - ]; then
  export VLC_PLUGIN_PATH="$PWD/$l_Build/plugins/vlc"
  l_Audacious="$PWD/$l_Build/plugins/audacious/tunewright.so"
  l_Render="$PWD/$l_Build/source/orgrender/tunewright-render"
  l_Cputime="$PWD/$l_Build/bench/cputime/bench_cputime"
fi
[ -x "$l_Cputime" ] || { echo "no bench_cputime at $l_Cputime (build the target bench_cputime)" >&2; exit 1; }

# The same sound as a WAV file, and the song's seconds with LOOPS repeats and with none.
l_Name="$(basename "$l_Song" .org)-rendered"
l_Wav="$l_Temp/$l_Name.wav"
l_Ren=("$l_Render" -q --force --rate "$l_Rate" --interp "$l_Interp")
"${l_Ren[@]}" --loops "$l_Loops" -o "$l_Wav" "$l_Song"
chmod 644 "$l_Wav"
"${l_Ren[@]}" --loops 0 --format raw -o "$l_Temp/intro.raw" "$l_Song"
l_Seconds="$(awk -v b="$(stat -c %s "$l_Wav")" -v r="$l_Rate" 'BEGIN { print (b - 44) / 4 / r }')"
l_IntroSeconds="$(awk -v b="$(stat -c %s "$l_Temp/intro.raw")" -v r="$l_Rate" 'BEGIN { print b / 4 / r }')"
rm "$l_Temp/intro.raw"

# VLC will not run as root: there it runs as nobody.
l_AsPlayer=()
[ "$(id -u)" -ne 0 ] || l_AsPlayer=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
mkdir -m 777 "$l_Temp/vlc-home"
l_Vlc=(env HOME="$l_Temp/vlc-home" "${l_AsPlayer[@]}" cvlc --play-and-exit
  --sout '#std{access=file,mux=wav,dst=/dev/null}')
l_VlcSong=("${l_Vlc[@]}" --tunewright-loops "$l_Loops" --tunewright-interpolation "$l_Interp" "$l_Song")
l_VlcWav=("${l_Vlc[@]}" "$l_Wav")

# Audacious plays to ALSA's null device, which takes the sound as fast as it comes (its file
# writer never writes over a file, so it cannot be sent to /dev/null). The playlist holds the
# song, then the WAV file.
. scripts/audacious-headless.sh
audacious_setup "$l_Temp/audacious" "$l_Audacious" "$l_Temp" '[tunewright]' "loops=$l_Loops" \
  "interpolation=$l_Interp"
l_System="$(pkg-config --variable=plugin_dir audacious)"
ln -s "$l_System/Input/sndfile.so" "$l_Temp/audacious/usr/${l_System#/usr/}/Input/"
audacious_session "audtool playlist-addurl '$l_Song'; audtool playlist-addurl '$l_Wav'"
audacious_output alsa
g_AudaciousTimer="$l_Cputime"
# aud ENTRY: bench_cputime's line for the audacious process playing the playlist's ENTRY.
aud() {
  audacious_session "audtool playlist-jump $1; audtool playback-play; wait_stopped" >/dev/null
  cat "$g_AudaciousDir/times"
}

# Each run's "TOTAL USER SYSTEM" goes to a line of $l_Temp/NAME.
run() {
  local l_Name="$1"
  shift
  "$@" | awk '{ print $1, $2, $3 }' >>"$l_Temp/$l_Name"
}
for l_Round in $(seq "$l_Rounds"); do
  run vlc-song "$l_Cputime" "${l_VlcSong[@]}"
  run aud-song aud 1
  run render "$l_Cputime" "${l_Ren[@]}" --loops "$l_Loops" --format raw -o /dev/null "$l_Song"
  run vlc-wav "$l_Cputime" "${l_VlcWav[@]}"
  run aud-wav aud 2
  run render-0 "$l_Cputime" "${l_Ren[@]}" --loops 0 --format raw -o /dev/null "$l_Song"
  echo "round $l_Round of $l_Rounds done" >&2
done

# stats NAME: "MIN MEDIAN USER SYSTEM" of the totals, user and system those of the median run.
stats() {
  sort -g "$l_Temp/$1" | awk '{ t[NR] = $1; u[NR] = $2; s[NR] = $3 }
    END { m = int((NR + 1) / 2); print t[1], t[m], u[m], s[m] }'
}
echo "$(basename "$l_Song"), $l_Loops loops ($l_Seconds s; $l_IntroSeconds s with none), $l_Interp, $l_Rate Hz;" \
  "$l_Rounds rounds; CPU seconds, minimum / median (the median run's user + system):"
for l_Name in vlc-song vlc-wav aud-song aud-wav render render-0; do
  read -r l_Min l_Med l_User l_Sys < <(stats "$l_Name")
  printf '  %-9s %9.6f / %9.6f  (%.3f + %.3f)\n' "$l_Name" "$l_Min" "$l_Med" "$l_User" "$l_Sys"
done
read -r l_RenMin l_RenMed _ _ < <(stats render)
read -r l_Ren0Min l_Ren0Med _ _ < <(stats render-0)
echo "Per song second (ms of CPU), from the minima / the medians:"
awk -v a="$l_RenMin" -v b="$l_Ren0Min" -v c="$l_RenMed" -v d="$l_Ren0Med" -v s="$l_Seconds" -v i="$l_IntroSeconds" \
  'BEGIN { printf "  %-24s %7.4f / %7.4f\n", "tunewright-render", 1000 * (a - b) / (s - i), 1000 * (c - d) / (s - i) }'
for l_Player in vlc:VLC aud:Audacious; do
  read -r l_SongMin l_SongMed _ _ < <(stats "${l_Player%%:*}-song")
  read -r l_WavMin l_WavMed _ _ < <(stats "${l_Player%%:*}-wav")
  awk -v p="${l_Player#*:}" -v sm="$l_SongMin" -v sd="$l_SongMed" -v wm="$l_WavMin" -v wd="$l_WavMed" \
    -v rm="$l_RenMin" -v r0m="$l_Ren0Min" -v rd="$l_RenMed" -v r0d="$l_Ren0Med" -v s="$l_Seconds" \
    -v i="$l_IntroSeconds" 'BEGIN {
    pm = (sm - wm) / s; pd = (sd - wd) / s; qm = (rm - r0m) / (s - i); qd = (rd - r0d) / (s - i)
    printf "  %-24s %7.4f / %7.4f  ratio %.2f / %.2f: %s (goal <= 1.20)\n", p " plugin", 1000 * pm, 1000 * pd,
      pm / qm, pd / qd, (pm / qm <= 1.2 ? "met" : "not met")
    printf "  %-24s %7.4f / %7.4f\n", p " with the song", 1000 * sm / s, 1000 * sd / s
    printf "  %-24s %7.4f / %7.4f\n", p " with the WAV file", 1000 * wm / s, 1000 * wd / s }'
done
