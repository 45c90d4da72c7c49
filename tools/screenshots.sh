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
trap 'kill $game $wm $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 "$(px 1024)x$(px 768)x24" >/dev/null 2>&1 & xvfb=$!
export DISPLAY=$display
sleep 1
# A window manager draws the title bars and frames a player sees.
HOME=$work openbox >/dev/null 2>&1 & wm=$!
sleep 1

# A game folder of its own, so the pictures show the delivered table.
HOME=$work XDG_DATA_HOME=$work/data QT_SCALE_FACTOR=$scale "$build/launcher/squibbo" \
  --program "$build/squibbo" --data "$here/assets" & game=$!

window() {  # the id of the window titled $1
  for _ in $(seq 1 50); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "no window titled '$1'" >&2; exit 1
}
shoot() { sleep 0.5; import -frame -window "$1" "$docs/$2"; echo "${docs#"$here"/}/$2"; }

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
