#!/usr/bin/env bash
# Does what a newcomer does, on a brand-new minimal Debian 12 or 13: a
# clean clone of the committed tree, nothing installed but the base system,
# a terminal on a desktop (DISPLAY set, on an Xvfb started here). First
# ./play: the main window "Squibbo!" must appear with a client area of
# 445 x 435. It is ended, and ./play runs a second time, which must build
# nothing and show the window again within two seconds. Then ./check must
# pass in the same system.
#
# On failure it says which step broke (install, configure, build, start,
# check) and shows the last lines of the log; where the packages of the
# release could not be installed (or the system not be made), it exits with
# 75, as a distribution in flux may do. Without root or mount (a brand-new
# system is a chroot with bind mounts) it says so in one line and exits with
# 77, the code for a skipped test.
#
# Usage: tests/fresh/newcomer.sh bookworm|trixie|forky [--session-bus]
#   --session-bus  ./check runs with a session bus of its own, as in a
#                  desktop's terminal (dbus-run-session)
# Environment: FRESH_DEBIAN (the tool, default ../shared/tools/fresh-debian)
#              FRESH_TIMEOUT (seconds for the first ./play, default 2400)
#              CI (passed on to ./check)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
cd "$here"
suite=${1:?usage: tests/fresh/newcomer.sh bookworm|trixie|forky [--session-bus]}
bus=${2:-}
tool=${FRESH_DEBIAN:-$here/../shared/tools/fresh-debian}
first_timeout=${FRESH_TIMEOUT:-2400}

skip() { echo "fresh-machine test skipped: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "it needs root to build a brand-new system"
command -v mount >/dev/null || skip "there is no mount command"
[ -x "$tool" ] || skip "$tool is not there"
# A chroot with bind mounts needs the right to mount.
probe=$(mktemp -d)
if ! mount --bind "$probe" "$probe" 2>/dev/null; then
  rmdir "$probe"
  skip "this machine does not allow mounts"
fi
umount "$probe"
rmdir "$probe"

tools/install-deps.sh fresh >/dev/null

work=$(mktemp -d)
log=$work/play.log
xvfb_pid='' run_pid=''
cleanup() {
  set +e  # whatever the clean-up meets, the test's own result stands
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null && wait "$run_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Which step broke, from what ./play printed.
fail() {
  local step=start
  grep -q '^fresh-debian:' "$log" && step="making the brand-new system"
  grep -q '^play: installing the packages failed' "$log" && step=install
  grep -q '^play: configuring the build failed' "$log" && step=configure
  grep -q '^play: building the game failed' "$log" && step=build
  [ -n "${checking:-}" ] && step=check
  grep -q '^check: installing the packages failed' "$log" && step=install
  echo "FAIL (step: $step): $*" >&2
  # What a failed test printed comes after its line, which the log's tail
  # would often not reach.
  if grep -qE '\*\*\*(Failed|Timeout|Exception)' "$log"; then
    echo "--- from the first failed test on:" >&2
    awk '/\*\*\*(Failed|Timeout|Exception)/ {on = 1} on && n++ < 150' "$log" >&2
  fi
  echo "--- the last lines of the log:" >&2
  tail -n 60 "$log" >&2
  case $step in install|"making the brand-new system") exit 75 ;; esac
  exit 1
}

# An X display of our own; its socket is shared with the brand-new system.
# shellcheck source=../support/xvfb.sh
. "$here/tests/support/xvfb.sh"
start_xvfb 50 99 "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; echo "FAIL: Xvfb did not start" >&2; exit 1; }

now() { date +%s.%N; }

# Inside the brand-new system: ./play, then (once the game has been ended
# from outside) ./play again, then ./check, each run marked with the time
# it began.
check=(./check)
# A desktop has a session bus; the brand-new system gets one only here.
[ "$bus" = --session-bus ] &&
  check=(bash -c 'apt-get install -y -qq dbus-daemon >/dev/null && exec dbus-run-session ./check')
FRESH_DEBIAN_SUITE=$suite "$tool" env CI="${CI:-}" bash -c '
  echo "== first play $(date +%s.%N)"; ./play; echo "== first play ended $?"
  echo "== second play $(date +%s.%N)"; ./play; echo "== second play ended $?"
  echo "== check $(date +%s.%N)"; "$@"; echo "== check ended $? $(date +%s.%N)"
' _ "${check[@]}" >"$log" 2>&1 &
run_pid=$!

# Waits for the window "Squibbo!", checks it and ends the game. Prints the
# time at which the window was first seen.
play_once() {
  local which=$1 timeout=$2 id='' deadline
  deadline=$(( $(date +%s) + timeout ))
  while [ -z "$id" ]; do
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"Squibbo!"/ {print $1; exit}')
    [ -n "$id" ] && break
    kill -0 "$run_pid" 2>/dev/null || fail "the $which ./play ended without showing the window"
    grep -q "^== $which play ended" "$log" && fail "the $which ./play ended without showing the window"
    [ "$(date +%s)" -lt "$deadline" ] || fail "no window \"Squibbo!\" within $timeout s of the $which ./play"
    sleep 0.05
  done
  local seen
  seen=$(now)
  # Without a window manager the window is the client area itself.
  local size
  size=$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [ "$size" = 445x435 ] || fail "the $which window's client area is $size, not 445x435"
  local pid
  pid=$(xprop -id "$id" _NET_WM_PID | awk '{print $NF}')
  [[ "$pid" =~ ^[0-9]+$ ]] || fail "the $which window names no process"
  kill "$pid"
  wait_until 120 grep -q "^== $which play ended" "$log" || fail "the $which game did not end when asked"
  echo "$seen"
}

started=$(now)
first_seen=$(play_once first "$first_timeout")
first_time=$(awk "BEGIN {printf \"%.0f\", $first_seen - $started}")
second_started=$(awk '/^== second play/ {print $4; exit}' "$log")
second_seen=$(play_once second 60)

second_time=$(awk "BEGIN {printf \"%.2f\", $second_seen - $second_started}")
# What the second ./play printed: at most one line of build output, and the
# packages are not touched again. The game's own lines (Qt's note about the
# runtime folder of a root shell, the game's note that this machine has no
# sound server) and the shell's word for the game ended from outside
# ("Terminated", with the command after it from bash 5.3 on) are not
# ./play's.
output=$(awk '/^== second play ended/ {exit} on; /^== second play [0-9]/ {on = 1}' "$log" \
  | grep -v -x -e 'QStandardPaths: XDG_RUNTIME_DIR not set.*' -e 'Squibbo: no sound server.*' \
      -e 'Terminated\( .*\)\?' || true)
lines=$(printf '%s' "$output" | grep -c . || true)
echo "fresh $suite: first ./play to the main window in $first_time s" \
  "(packages, configure, build); second ./play in $second_time s, printing $lines line(s) of its own:"
printf '  %s\n' "$output"
[ "$lines" -le 1 ] || { printf '%s\n' "$output" >&2; fail "the second ./play printed $lines lines"; }
awk "BEGIN {exit !($second_time < 2.0)}" || fail "the second ./play took $second_time s to show the window"

# ./check, with DISPLAY still set as in a desktop's terminal.
checking=1
wait "$run_pid" || true
run_pid=''
read -r status check_ended < <(awk '/^== check ended/ {print $4, $5}' "$log")
[ -n "${status:-}" ] || fail "./check did not run to its end"
check_started=$(awk '/^== check [0-9]/ {print $3; exit}' "$log")
check_time=$(awk "BEGIN {printf \"%.0f\", $check_ended - $check_started}")
grep -E '^(Windows edition not tested|[0-9]+% tests passed|Total Test time)' "$log" | sed 's/^/  /'
[ "$status" = 0 ] || fail "./check failed (status $status) after $check_time s"
echo "fresh $suite: ./check passed in $check_time s${bus:+ (with a session bus)}"
echo "fresh-machine test ($suite): passed"
