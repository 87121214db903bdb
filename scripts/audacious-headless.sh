# A headless Audacious of its own for the tests and the benchmarks, sourced by them:
#   audacious_setup DIR PLUGIN OUT [CONFIG_LINE...]
#       a copy of Audacious in DIR that loads the input plugin PLUGIN beside the system's file
#       writer, which writes WAV files into the folder OUT; each CONFIG_LINE goes into its
#       configuration (e.g. '[tunewright]' 'loops=1').
#   audacious_session COMMANDS
#       Audacious runs, on a D-Bus session of its own, while the shell COMMANDS run (audtool, and
#       wait_stopped, which waits for the playback to end). The first session makes the list of
#       plugins and then makes the file writer the output. With g_AudaciousTimer set to a program
#       (bench_cputime), Audacious runs under it and what it prints goes to DIR/times.
#   audacious_output NAME
#       after the first session: the output plugin whose file is NAME.so (filewriter, alsa) becomes
#       the one the next sessions play to.
# Audacious takes its plugins from beside its program when it is not where it was installed: the
# copy holds the file writer, ALSA (a first start picks an output that it can open, here ALSA's
# null device), the playlist format it saves in, and ours.
audacious_setup() {
  g_AudaciousDir="$1"
  local l_Plugin="$2" l_Out="$3" l_System
  shift 3
  l_System="$(pkg-config --variable=plugin_dir audacious)"
  local l_Copy="$g_AudaciousDir/usr"
  local l_Plugins="$l_Copy/${l_System#/usr/}"
  mkdir -p "$l_Copy/bin" "$l_Copy/share" "$l_Plugins/Input" "$l_Plugins/Output" "$l_Plugins/Container"
  cp "$(command -v audacious)" "$l_Copy/bin/"
  ln -s /usr/share/audacious "$l_Copy/share/audacious"
  ln -s "$l_System/Output/filewriter.so" "$l_System/Output/alsa.so" "$l_Plugins/Output/"
  ln -s "$l_System/Container/audpl.so" "$l_Plugins/Container/"
  ln -s "$(realpath "$l_Plugin")" "$l_Plugins/Input/"
  g_AudaciousConfig="$g_AudaciousDir/home/.config/audacious"
  mkdir -p "$g_AudaciousConfig"
  printf 'pcm.!default { type null }\n' >"$g_AudaciousDir/home/.asoundrc"
  printf '%s\n' '[audacious]' 'no_playlist_advance=TRUE' '[filewriter]' "file_path=file://$l_Out" 'fileext=0' \
    'filenamefromtags=FALSE' 'use_suffix=FALSE' 'save_original=FALSE' "$@" >"$g_AudaciousConfig/config"
  g_AudaciousStarted=""
}

audacious_session() {
  local l_Home="$g_AudaciousDir/home" l_Timer="" l_Out
  l_Out="$(printf '>>%q 2>&1' "$g_AudaciousDir/audacious.log")"
  if [ -n "${g_AudaciousTimer:-}" ]; then
    l_Timer="$(printf '%q ' "$g_AudaciousTimer")"
    l_Out="$(printf '>%q 2>>%q' "$g_AudaciousDir/times" "$g_AudaciousDir/audacious.log")"
  fi
  cat >"$g_AudaciousDir/session.sh" <<EOS
set -euo pipefail
export HOME="$l_Home" XDG_CONFIG_HOME="$l_Home/.config" XDG_DATA_HOME="$l_Home/.local/share"
$l_Timer"$g_AudaciousDir/usr/bin/audacious" --headless $l_Out &
for _ in \$(seq 100); do audtool version >/dev/null 2>&1 && break; sleep 0.1; done
wait_stopped() { for _ in \$(seq 6000); do audtool playback-stopped && return; sleep 0.1; done; return 1; }
$1
audtool shutdown
wait
EOS
  (cd / && timeout 900 dbus-run-session -- bash "$g_AudaciousDir/session.sh" 2>"$g_AudaciousDir/session.err") || {
    echo "Audacious failed: $(cat "$g_AudaciousDir/session.err" "$g_AudaciousDir/audacious.log")" >&2
    return 1
  }
  if [ -z "$g_AudaciousStarted" ]; then
    audacious_output filewriter
    g_AudaciousStarted=1
  fi
}

audacious_output() {
  awk -v l_Name="/$1.so" '/^[a-z]+ \//{ l_Path = $2 }
    /^enabled / && l_Path ~ /\/Output\// { $2 = (substr(l_Path, length(l_Path) - length(l_Name) + 1) == l_Name) }
    { print }' "$g_AudaciousConfig/plugin-registry" >"$g_AudaciousDir/registry" &&
    mv "$g_AudaciousDir/registry" "$g_AudaciousConfig/plugin-registry"
}
