# Sourced by the test scripts: when no DISPLAY is set, starts an Xvfb on the first free display
# from FIRST to LAST, exports DISPLAY and leaves its process id in l_XvfbPid for the caller's
# clean-up.   start_xvfb FIRST LAST
start_xvfb() {
  [ -z "${DISPLAY:-}" ] || return 0
  local l_Number
  for l_Number in $(seq "$1" "$2"); do
    [ -e "/tmp/.X11-unix/X$l_Number" ] || [ -e "/tmp/.X$l_Number-lock" ] || break
  done
  Xvfb ":$l_Number" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  l_XvfbPid=$!
  export DISPLAY=":$l_Number"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$l_Number" ] && break; sleep 0.1; done
}
