#!/usr/bin/env bash
# The game as a native Wayland client, played with a real seat: weston with
# its X11 backend on an Xvfb of this test's own, two outputs side by side,
# and xdotool's pointer and keys on them. The main window lives on the
# first output; every other window (About, High Scores, the message boxes)
# is opened with the keyboard while the pointer rests on the second, where
# weston then places it, alone, so that it can be found on the screen.
#
# Each window must keep its size through a click on the maximize button of
# the title bar that Qt draws itself, a double click on its title and a
# drag at its edge; the game must go on through a whole game to "Game
# Over!", and print nothing but its note about the missing sound server.
# Then the same game as an X11 program of weston's XWayland, whose window
# manager maximizes on a double click on the title it draws: the window
# must keep its client area of 445 x 435.
#
# Usage: wayland_play.sh GAME DELIVERED-FILE...
set -euo pipefail
game=$1
shift
work=$(mktemp -d)
xvfb_pid='' weston_pid='' game_pid=''
cleanup() {
  set +e  # whatever the clean-up meets, the test's own result stands
  for pid in $game_pid $weston_pid $xvfb_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/game.err" ] && { echo "--- the game's stderr:" >&2; cat "$work/game.err" >&2; }
  [ -n "$xvfb_pid" ] && import -window root "$work/screen.png" 2>/dev/null \
    && echo "(screen kept in ${SQUIBBO_KEEP:-nowhere})" >&2 && [ -n "${SQUIBBO_KEEP:-}" ] \
    && cp "$work/screen.png" "$SQUIBBO_KEEP"
  exit 1
}

# shellcheck source=../support/xvfb.sh
. "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 400 449 "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }

# Two outputs of 500 x 700 on a plain background, no panel, no screen lock.
runtime=$work/runtime
mkdir -m 700 "$runtime"
cat >"$work/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff204060
panel-position=none
EOF
XDG_RUNTIME_DIR=$runtime weston --xwayland --config="$work/weston.ini" --backend=x11-backend.so --use-pixman \
  --width=500 --height=700 --output-count=2 --socket=squibbo >"$work/weston.log" 2>&1 &
weston_pid=$!
output() { xwininfo -root -tree | awk -v n="screen$1" '$0 ~ "Weston Compositor - " n "\"" {print $1; exit}'; }
for _ in $(seq 1 100); do
  [ -S "$runtime/squibbo" ] && [ -n "$(output 1)" ] && break
  kill -0 "$weston_pid" 2>/dev/null || { cat "$work/weston.log" >&2; fail "weston did not start"; }
  sleep 0.1
done
# Side by side on the X screen as they are in weston's space.
xdotool windowmove "$(output 1)" 510 0
# The bounding box "x y width height" of what is not background on the
# output whose columns are $1..$2, or "none". Weston draws the pointer
# where it rests, the far corner of an output, as its tip in the corner's
# last 4 x 4 pixels: those do not count.
frame() {
  import -window root -depth 8 rgb:- | python3 -c '
import sys
x0, x1 = int(sys.argv[1]), int(sys.argv[2])
raw = sys.stdin.buffer.read()
bg = bytes((0x20, 0x40, 0x60))
xs, ys = [], []
for y in range(700):
    row = raw[y * 1024 * 3:(y + 1) * 1024 * 3]
    end = x1 - 4 if y >= 696 else x1
    xin = [x for x in range(x0, end) if row[3 * x:3 * x + 3] != bg]
    if xin:
        xs += [xin[0], xin[-1]]
        ys.append(y)
print(f"{min(xs)} {min(ys)} {max(xs) - min(xs) + 1} {max(ys) - min(ys) + 1}" if ys else "none")
' "$1" "$2"
}
# The pointer rests at the far corner of the second output: every window
# opened from the keyboard appears there.
rest() { xdotool mousemove 1009 699; }
alive() { kill -0 "$game_pid" 2>/dev/null || fail "the game ended: $*"; }
# A click on the main window where nothing takes it, so that its keys go
# there.
to_main() { read -r x y _ <<<"$main"; xdotool mousemove "$((x + 60))" "$((y + 150))" click 1; rest; }

# Waits until the output $1..$2 shows a window of $3 (width x height, its
# title bar and frame included) and prints its place.
window_on() {
  local box=none
  for _ in $(seq 1 50); do
    box=$(frame "$1" "$2")
    [ "$box" != none ] && [ "$(cut -d' ' -f3-4 <<<"$box" | tr ' ' x)" = "$3" ] && { echo "$box"; return; }
    sleep 0.1
  done
  fail "expected a window of $3 (frame included) on the output at $1, found: $box"
}

# The window at "x y w h" on the output $5..$6 keeps its place and size
# through the maximize button, a double click on its title and a drag at
# its right edge. Qt draws the title bar: 30 pixels high, the buttons to
# the right, maximize 39 pixels from the frame's right end.
keeps_its_size() {
  local x=$1 y=$2 w=$3 h=$4 what=$7
  xdotool mousemove "$((x + w - 39))" "$((y + 15))" click 1
  sleep 0.5
  alive "after a click on the maximize button of $what"
  xdotool mousemove "$((x + 40))" "$((y + 15))" click --repeat 2 --delay 60 1
  sleep 0.5
  alive "after a double click on the title of $what"
  xdotool mousemove "$((x + w - 2))" "$((y + h / 2))" mousedown 1 \
    mousemove "$((x + w + 40))" "$((y + h / 2 + 20))" mouseup 1
  sleep 0.5
  alive "after a drag at the edge of $what"
  rest
  local now
  now=$(frame "$5" "$6")
  [ "$now" = "$x $y $w $h" ] || fail "$what was at $x $y $w $h, and is now at $now"
}

# A game folder whose table no game can enter: every game ends "Game Over!".
folder=$work/game
mkdir "$folder"
cp "$@" "$folder/"
for _ in $(seq 1 10); do printf '"Best",32767\r\n'; done >"$folder/squibbo.hi"

first=(0 500) second=(510 1010)
xdotool mousemove 250 350
(cd "$folder" && exec env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=squibbo \
  QT_QPA_PLATFORM=wayland "$game" 2>"$work/game.err") &
game_pid=$!

# The main window: 445 x 435 inside Qt's frame of 3 pixels and a 30-pixel
# title bar.
main=$(window_on "${first[@]}" 451x468)
rest
keeps_its_size $main "${first[@]}" "the main window"

# About and High Scores, opened from the keyboard: Tab from "Throw It!"
# to "About", then to "High Scores". Esc and Enter close them.
xdotool key Tab space
about=$(window_on "${second[@]}" 387x243)
keeps_its_size $about "${second[@]}" "the About window"
xdotool key Escape
sleep 0.5
to_main
xdotool key Tab space
scores=$(window_on "${second[@]}" 318x306)
keeps_its_size $scores "${second[@]}" "the High Scores window"
xdotool key Return
sleep 0.5
to_main

# A whole game, thrown with Space from "Throw It!", until the message box
# appears.
xdotool key shift+Tab shift+Tab
box=none
for _ in $(seq 1 200); do
  xdotool key space
  sleep 0.4
  box=$(frame "${second[@]}")
  [ "$box" != none ] && break
  alive "while playing"
done
[ "$box" != none ] || fail "no message box at the end of the game"
sleep 0.3
box=$(frame "${second[@]}")
keeps_its_size $box "${second[@]}" "the message box \"Game Over!\""
xdotool key Return
window_on "${second[@]}" 318x306 >/dev/null
xdotool key Return
sleep 0.5

alive "at the end"
[ "$(frame "${first[@]}")" = "$main" ] || fail "the main window moved or changed its size"
unexpected=$(grep -v '^Squibbo: no sound server' "$work/game.err" || true)
[ -z "$unexpected" ] || fail "the game printed: $unexpected"
echo "wayland: the main window, About, High Scores and \"Game Over!\" kept their sizes through" \
  "maximize, title double click and edge drag"
kill "$game_pid"
wait "$game_pid" 2>/dev/null || true

# Under XWayland, weston starts its X server for the first X11 program.
xdisplay=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -n 1)
[ -n "$xdisplay" ] || fail "weston offers no XWayland"
xdotool mousemove 250 350
(cd "$folder" && exec env DISPLAY="$xdisplay" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb \
  "$game" 2>"$work/game.err") &
game_pid=$!
client() { DISPLAY=$xdisplay xwininfo -name 'Squibbo!' 2>/dev/null | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
for _ in $(seq 1 100); do [ "$(client)" = 445x435 ] && break; alive "under XWayland"; sleep 0.1; done
[ "$(client)" = 445x435 ] || fail "under XWayland the client area is $(client), not 445x435"
rest
read -r x y _ <<<"$(frame "${first[@]}")"
xdotool mousemove "$((x + 100))" "$((y + 12))" click --repeat 2 --delay 60 1
sleep 1
alive "after a double click on its title under XWayland"
[ "$(client)" = 445x435 ] || fail "under XWayland a double click on the title made the client area $(client)"
echo "xwayland: the main window kept its client area of 445 x 435 through a double click on its title"
