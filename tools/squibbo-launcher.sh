#!/usr/bin/env bash
# Starts Squibbo in the player's own game folder.
#
# The game reads its pictures and sounds, and keeps its high scores, in the
# folder it runs in. This launcher prepares that folder,
# ${XDG_DATA_HOME:-~/.local/share}/squibbo: it copies in the delivered
# pictures and sounds, and the high-score table only when the folder has
# none yet, so the player's scores survive rebuilds and updates.
#
# Installed, it sits in bin/ and finds the program and the delivered files
# relative to itself (the install fills in the two paths below), so a moved
# install still works. ./play names both instead.
set -euo pipefail

self_dir=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
program="$self_dir/@SQUIBBO_PROGRAM_FROM_BIN@"
data="$self_dir/@SQUIBBO_DATA_FROM_BIN@"

while [ $# -gt 0 ]; do
  case "$1" in
    --program) program=$2; shift 2 ;;
    --data) data=$2; shift 2 ;;
    *) echo "usage: $(basename "$0") [--program PATH] [--data DIR]" >&2; exit 2 ;;
  esac
done

program=$(readlink -f "$program" || true)
data=$(readlink -f "$data" || true)

for f in wendo.bmp pied.bmp fling2.wav splat.wav squibbo.hi; do
  [ -f "$data/$f" ] || { echo "squibbo: missing delivered file $data/$f" >&2; exit 1; }
done
[ -x "$program" ] || { echo "squibbo: cannot find the program at $program" >&2; exit 1; }

game_dir="${XDG_DATA_HOME:-$HOME/.local/share}/squibbo"
mkdir -p "$game_dir"
for f in wendo.bmp pied.bmp fling2.wav splat.wav; do
  cp -f "$data/$f" "$game_dir/$f"
done
# Never overwrite the player's own table.
if [ ! -e "$game_dir/squibbo.hi" ]; then
  cp "$data/squibbo.hi" "$game_dir/squibbo.hi"
fi

cd "$game_dir"
exec "$program" "$@"
