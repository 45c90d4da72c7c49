#!/usr/bin/env bash
# The launcher against a hostile or unusual home: HOME unset, a relative
# XDG_DATA_HOME, delivered files replaced by links, a read-only game folder
# (complete, with an old file, without a file, without the finer pictures),
# the player's own table, a dangling link for the table. The game itself is
# stood in for by a small program that notes the folder it was started in.
# Run as root, the cases that need permissions to hold run as nobody.
# Usage: launcher_cases.sh LAUNCHER DELIVERED-FILE...   (the launcher as the
# build configured it, and the delivered files as the build lists them)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
launcher=$1
shift
all_delivered=("$@")
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"

failures=0
passes=0
fails() { ! "$@"; }
check() { # what, then a command that must succeed
  local what=$1; shift
  if "$@"; then passes=$((passes + 1)); else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}

cp "$launcher" "$work/launcher"
mkdir "$work/data"
for f in "${all_delivered[@]}"; do
  cp "$src/assets/$f" "$work/data/$f"
done
mkdir -m 1777 "$work/notes"
cat > "$work/game" <<STUB
#!/bin/sh
pwd > "$work/notes/started"
echo "\$*" > "$work/notes/arguments"
STUB
chmod 755 "$work/game"
chmod -R a+rX "$work"
# The pictures and sounds: every delivered file but the table.
delivered=()
for f in "${all_delivered[@]}"; do [ "$f" = squibbo.hi ] || delivered+=("$f"); done

as_player=()
[ "$(id -u)" -eq 0 ] && as_player=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

# A fresh home for the player; prints its path.
new_home() {
  local home
  home=$(mktemp -d "$work/home.XXXXXX")
  [ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$home"
  echo "$home"
}

# Starts the launcher with only the environment given, from folder $1.
launch() {
  local from=$1; shift
  rm -f "$work/notes/started"
  (cd "$from" && "${as_player[@]}" env -i PATH="$PATH" "$@" \
     bash "$work/launcher" --program "$work/game" --data "$work/data") > "$work/said" 2>&1
}
started_in() { [ -f "$work/notes/started" ] && [ "$(cat "$work/notes/started")" = "$1" ]; }
said() { grep -q "$1" "$work/said"; }
same() { cmp -s "$1" "$2"; }
regular() { [ -f "$1" ] && [ ! -L "$1" ]; }

# HOME unset: a sentence, no start.
home=$(new_home)
check "HOME unset ends with exit 1" fails launch "$home"
check "HOME unset is explained" said "HOME is not set"
check "HOME unset does not start the game" test ! -e "$work/notes/started"

# A first start delivers everything into the default folder.
home=$(new_home)
game=$home/.local/share/squibbo
check "first start" launch "$home" HOME="$home"
check "first start runs in the game folder" started_in "$game"
for f in "${delivered[@]}" squibbo.hi; do
  check "first start delivers $f" same "$work/data/$f" "$game/$f"
done
check "no temporary files are left" test -z "$(find "$game" -name '.*')"

# A relative XDG_DATA_HOME is ignored: the same folder, nothing made where
# the launcher was started.
mkdir -m 777 "$work/elsewhere"
check "relative XDG_DATA_HOME" launch "$work/elsewhere" HOME="$home" XDG_DATA_HOME=rel
check "relative XDG_DATA_HOME is ignored" started_in "$game"
check "nothing made under the starting folder" test ! -e "$work/elsewhere/rel"
xdg=$(new_home)
check "absolute XDG_DATA_HOME" launch "$home" HOME="$home" XDG_DATA_HOME="$xdg"
check "absolute XDG_DATA_HOME is used" started_in "$xdg/squibbo"

# Delivered files that are links to files elsewhere are replaced, and the
# files elsewhere keep their bytes; the player's own table stays.
outside=$(new_home)
printf 'mine\n' > "$outside/picture"; printf 'mine too\n' > "$outside/sound"
chmod 666 "$outside/picture" "$outside/sound"
rm "$game/wendo.bmp" "$game/splat.wav" "$game/pied.bmp"
ln -s "$outside/picture" "$game/wendo.bmp"
ln "$outside/sound" "$game/splat.wav"
ln -s "$outside/missing" "$game/pied.bmp"
printf '"Me",1\r\n' > "$game/squibbo.hi"
printf 'older\n' > "$game/fling2.wav"
[ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$home"
check "start over links" launch "$home" HOME="$home"
check "a symbolic link is not written through" test "$(cat "$outside/picture")" = mine
check "a hard link is not written through" test "$(cat "$outside/sound")" = "mine too"
check "a dangling link is not written through" test ! -e "$outside/missing"
for f in "${delivered[@]}"; do
  check "$f is a delivered file again" regular "$game/$f"
  check "$f has the delivered bytes" same "$work/data/$f" "$game/$f"
done
check "the player's table stays" test "$(cat "$game/squibbo.hi")" = "$(printf '"Me",1\r\n')"

# A read-only game folder with everything in place still starts the game;
# one that lacks a delivered file says which and where.
chmod 555 "$game"
check "read-only folder" launch "$home" HOME="$home"
check "read-only folder starts the game" started_in "$game"
chmod 755 "$game"
printf 'older\n' > "$game/fling2.wav"; chmod 555 "$game"
check "read-only folder with an old file" launch "$home" HOME="$home"
check "an old file in a read-only folder starts the game" started_in "$game"
check "an old file in a read-only folder is told" said "could not update"
chmod 755 "$game"; rm "$game/fling2.wav"; chmod 555 "$game"
check "read-only folder without a file ends with exit 1" fails launch "$home" HOME="$home"
check "the missing file is named" said "cannot put fling2.wav into the game folder"
# One complete for a release before the finer pictures: the game draws the
# plain ones in their place, and hears once what could not be added.
chmod 755 "$game"; cp "$work/data/fling2.wav" "$game/"; rm "$game"/*@2x.*; chmod 555 "$game"
check "read-only folder without the finer pictures" launch "$home" HOME="$home"
check "read-only folder without the finer pictures starts the game" started_in "$game"
check "the finer pictures not added are told once" \
  test "$(grep -c "could not add wendo@2x.bmp pied@2x.bmp to the game folder" "$work/said")" = 1
chmod 755 "$game"

# The table as a dangling link: nothing is written through it.
home=$(new_home)
game=$home/.local/share/squibbo
mkdir -p "$game"; ln -s "$outside/table" "$game/squibbo.hi"
[ "$(id -u)" -eq 0 ] && chown -R nobody:nogroup "$home"
check "dangling table link" launch "$home" HOME="$home"
check "no table is written through a dangling link" test ! -e "$outside/table"
check "the dangling table link is told" said "link to a missing file"

# The launcher's own options answer and exit 0; anything it does not know
# goes to the game, Qt's options among them.
home=$(new_home)
with_options() {
  rm -f "$work/notes/started" "$work/notes/arguments"
  (cd "$home" && "${as_player[@]}" env -i PATH="$PATH" HOME="$home" \
     bash "$work/launcher" --program "$work/game" --data "$work/data" "$@") > "$work/said" 2>&1
}
check "--help exits 0" with_options --help
check "--help tells how to start" said "^Usage: squibbo"
check "--help starts no game" test ! -e "$work/notes/started"
check "-h exits 0" with_options -h
check "-h tells the same" said "^Usage: squibbo"
check "--version exits 0" with_options --version
check "--version names the version" said "^squibbo [0-9][0-9.]*$"
check "--version starts no game" test ! -e "$work/notes/started"
check "Qt's options start the game" with_options -style fusion -platform xcb
check "Qt's options reach the game" test "$(cat "$work/notes/arguments")" = "-style fusion -platform xcb"
check "an unknown option reaches the game" with_options --fullscreen
check "the unknown option arrives whole" test "$(cat "$work/notes/arguments")" = "--fullscreen"

echo "launcher cases: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
