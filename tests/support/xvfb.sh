# An X display of a test's own, for the shell-driven tests: sourced, then
#   start_xvfb FIRST LAST LOG
# starts Xvfb (its screen XVFB_SCREEN, 1024x768x24 if unset) on the first
# display number from FIRST to LAST that nobody uses, waits until it
# answers, sets and exports DISPLAY and sets xvfb_pid (the test ends it by
# that pid). Returns 1 when no server came up.
# Each test keeps to a range of its own, so tests running side by side
# never reach for the same number.
#   wait_until SECONDS COMMAND...
# runs COMMAND every tenth of a second until it succeeds, and fails when
# SECONDS have passed first. A test waits this way for what it waits for,
# with a bound that a busy machine does not reach.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

start_xvfb() {
  local first=$1 last=$2 log=$3 n
  for n in $(seq "$first" "$last"); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    export DISPLAY=:$n
    # Without -noreset the server starts over whenever its last client
    # leaves (the probe below, for one), and turns clients away meanwhile.
    Xvfb "$DISPLAY" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset >"$log" 2>&1 &
    xvfb_pid=$!
    # The server that answers must be this one: a container that shares
    # the network but not /tmp can hide a server that holds the number.
    wait_until 60 x_answers_or_ended "$n" && kill -0 "$xvfb_pid" 2>/dev/null && return 0
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  done
  echo "no X display could be started from :$first to :$last" >>"$log"
  return 1
}

x_answers_or_ended() {
  ! kill -0 "$xvfb_pid" 2>/dev/null || { [ -S "/tmp/.X11-unix/X$1" ] && xdpyinfo >/dev/null 2>&1; }
}
