#!/usr/bin/env bash
# Installs Squibbo into a temporary prefix, checks the desktop entry and the
# metainfo, moves the install elsewhere, then starts the installed launcher
# with a fresh home under Xvfb: the main window must appear and the player's
# game folder must be made with the delivered files.
# Usage: install_and_launch.sh BUILD-DIR DELIVERED-FILE...
# Environment: SQUIBBO_ICON_SIZES, the icon's sizes in pixels
set -euo pipefail
build=$1
shift
delivered=("$@")
work=$(mktemp -d)
xvfb_pid=''
cleanup() {
  set +e  # whatever the clean-up meets, the test's own result stands
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null

desktop=$work/prefix/share/applications/org.example.squibbo.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate says: $out"
appstreamcli validate --pedantic --no-net "$work/prefix/share/metainfo/org.example.squibbo.metainfo.xml" \
  || fail "appstreamcli rejects the metainfo"
for n in $SQUIBBO_ICON_SIZES; do
  [ -f "$work/prefix/share/icons/hicolor/${n}x${n}/apps/squibbo.png" ] || fail "no ${n}px icon"
done

# A moved install still finds its program and files.
mv "$work/prefix" "$work/moved"
home=$work/home
mkdir -p "$home"

# One X display of our own for both starts.
# shellcheck source=../support/xvfb.sh
. "$(dirname "$0")/../support/xvfb.sh"
start_xvfb 100 149 "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }

launch() {
  env -i PATH="$PATH" HOME="$home" DISPLAY="$DISPLAY" bash -c '
    "$1" & pid=$!
    end=$((SECONDS + 120))
    while [ "$SECONDS" -lt "$end" ]; do
      if xwininfo -root -tree 2>/dev/null | grep -q "\"Squibbo!\""; then
        kill $pid; wait $pid 2>/dev/null; exit 0
      fi
      kill -0 $pid 2>/dev/null || { echo "the game ended early" >&2; exit 1; }
      sleep 0.1
    done
    kill $pid; echo "no window titled Squibbo! appeared within 120 s" >&2; exit 1' _ "$work/moved/bin/squibbo"
}

launch || fail "the installed game did not show its main window"
game=$home/.local/share/squibbo
for f in "${delivered[@]}"; do
  cmp -s "$game/$f" "$work/moved/share/squibbo/$f" || fail "$f was not delivered to $game"
done

# A second start keeps the player's own table.
printf '"Me",1\r\n' > "$game/squibbo.hi"
launch || fail "the second start failed"
[ "$(cat "$game/squibbo.hi")" = "$(printf '"Me",1\r\n')" ] || fail "the player's table was overwritten"
echo "install test: passed"
