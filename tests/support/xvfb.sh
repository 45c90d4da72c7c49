# An X display of a test's own, for the shell-driven tests: sourced, then
#   start_xvfb FIRST LAST LOG
# starts Xvfb on the first display number from FIRST to LAST that nobody
# uses, waits until it answers, sets and exports DISPLAY and sets xvfb_pid
# (the test ends it by that pid). Returns 1 when no server came up.
# Each test keeps to a range of its own, so tests running side by side
# never reach for the same number.
start_xvfb() {
  local first=$1 last=$2 log=$3 n
  DISPLAY=
  for n in $(seq "$first" "$last"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { DISPLAY=:$n; break; }
  done
  [ -n "$DISPLAY" ] || { echo "no free X display from :$first to :$last" >"$log"; return 1; }
  export DISPLAY
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
