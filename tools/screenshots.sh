#!/usr/bin/env bash
# Takes the README's screenshots from the real program under Xvfb: the main
# window, the high-score window and the About window, into docs/, or at a
# display scale other than 1 (Qt's QT_SCALE_FACTOR) into docs/scale-SCALE/.
# Usage: tools/screenshots.sh [build-dir [scale]]   (default: build 1)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
scale=${2:-1}
docs=$here/docs
[ "$scale" = 1 ] || docs=$here/docs/scale-$scale
# Window places and clicks are given at scale 1; X counts device pixels.
px() { awk -v n="$1" -v s="$scale" 'BEGIN { printf "%d", n * s + 0.5 }'; }
"$here/tools/install-deps.sh" screenshots
[ -x "$build/squibbo" ] || cmake --build "$build" --target squibbo

work=$(mktemp -d)
game='' wm='' xvfb_pid=''
trap 'kill $game $wm $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
# shellcheck source=../tests/support/xvfb.sh
. "$here/tests/support/xvfb.sh"
XVFB_SCREEN=$(px 1024)x$(px 768)x24 start_xvfb 90 98 "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; exit 1; }
# A window manager draws the title bars and frames a player sees.
HOME=$work openbox >/dev/null 2>&1 & wm=$!
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
wait_until 60 wm_up || { echo "openbox did not start" >&2; exit 1; }

# A game folder of its own, so the pictures show the delivered table.
HOME=$work XDG_DATA_HOME=$work/data QT_SCALE_FACTOR=$scale "$build/launcher/squibbo" \
  --program "$build/squibbo" --data "$here/assets" & game=$!

titled() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1 | grep .; }
window() {  # the id of the window titled $1
  wait_until 60 titled "$1" || { echo "no window titled '$1'" >&2; exit 1; }
}
# The window and its frame once two pictures in a row are the same: the
# window and the window manager have drawn it.
settled() { import -frame -window "$1" "rgb:$work/now" && cmp -s "$work/now" "$work/before" \
  || { mv "$work/now" "$work/before"; false; }; }
shoot() {
  rm -f "$work/before"
  wait_until 60 settled "$1" || { echo "the window '$2' kept changing" >&2; exit 1; }
  import -frame -window "$1" "$docs/$2"
  echo "${docs#"$here"/}/$2"
}

mkdir -p "$docs"
main=$(window 'Squibbo!')
shoot "$main" main-window.png
# Click "High Scores", then "About", by their places in the main window.
xdotool windowmove --sync "$main" "$(px 20)" "$(px 20)"
xdotool mousemove --window "$main" --sync "$(px 364)" "$(px 404)" click 1
scores=$(window ' ')
xdotool windowmove --sync "$scores" "$(px 500)" "$(px 20)"
shoot "$scores" high-scores.png
xdotool windowactivate --sync "$main" mousemove --window "$main" --sync "$(px 364)" "$(px 372)" click 1
about=$(window 'About Squibbo')
xdotool windowmove --sync "$about" "$(px 500)" "$(px 400)"
shoot "$about" about.png
