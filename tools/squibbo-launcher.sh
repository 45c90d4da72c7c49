#!/usr/bin/env bash
# Starts Squibbo in the player's own game folder.
#
# The game reads its pictures and sounds, and keeps its high scores, in the
# folder it runs in. This launcher prepares that folder,
# $XDG_DATA_HOME/squibbo (by default ~/.local/share/squibbo): it puts in the
# delivered pictures and sounds, and the high-score table only when the
# folder has none yet, so the player's scores survive rebuilds and updates.
#
# A delivered file is written under a temporary name in the folder and
# renamed into place, so a link standing in its place is replaced, never
# written through; a file that is already the same is left alone, so a
# folder the player made read-only still starts the game, even one that
# lacks the finer pictures for scaled screens.
#
# The build fills in the delivered files and, for the installed launcher in
# bin/, where the program and the delivered files lie relative to it, so a
# moved install still works. ./play names both instead.
set -euo pipefail

say() { echo "squibbo: $*" >&2; }

self_dir=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
program="$self_dir/@SQUIBBO_PROGRAM_FROM_BIN@"
data="$self_dir/@SQUIBBO_DATA_FROM_BIN@"
# The files delivered beside the program; the table among them is the
# starting table, the others are pictures and sounds.
delivered=(@SQUIBBO_DELIVERED_WORDS@)
table_name=@SQUIBBO_TABLE_FILE@

usage() {
  cat <<USAGE
Usage: squibbo [OPTION]... [QT-OPTION]...
Throw pies at Wendo. Starts the game in your own game folder,
\$XDG_DATA_HOME/squibbo (by default ~/.local/share/squibbo), where your
high scores are kept.

  -h, --help     show this help and exit
      --version  show the version and exit

Every other option goes to the game, so Qt's own options work, such as
  squibbo -platform xcb
  squibbo -style fusion

See squibbo(6) for more.
USAGE
}

# The launcher's own options come first; from the first one it does not
# know, everything is the game's. --program and --data are ./play's.
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --version) echo "squibbo @PROJECT_VERSION@"; exit 0 ;;
    --program) program=$2; shift 2 ;;
    --data) data=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done

program=$(readlink -f "$program" || true)
data=$(readlink -f "$data" || true)

for f in "${delivered[@]}"; do
  [ -f "$data/$f" ] || { say "missing delivered file $data/$f"; exit 1; }
done
[ -x "$program" ] || { say "cannot find the program at $program"; exit 1; }

# The XDG rules: a relative XDG_DATA_HOME is ignored, as it would depend on
# wherever the launcher happens to be started.
data_home=${XDG_DATA_HOME:-}
case "$data_home" in
  /*) ;;
  *)
    if [ -z "${HOME:-}" ]; then
      say "HOME is not set, so there is no home folder to keep your game folder and"
      say "high scores in. Set HOME to your home folder and start the game again."
      exit 1
    fi
    data_home=$HOME/.local/share ;;
esac
game_dir=$data_home/squibbo
mkdir -p "$game_dir" || { say "cannot make the game folder $game_dir"; exit 1; }

# Puts the delivered file $1 into the game folder unless the same is there.
# An older copy that cannot be replaced (a read-only folder) is kept, with
# a warning. A finer picture (name@2x.bmp beside name.bmp) serves screens
# scaled above 1 only, and the game draws the plain one in its place: one
# that cannot be added is noted in not_added. Any other missing file that
# cannot be put there stops the start.
not_added=()
deliver() {
  local src=$data/$1 dst=$game_dir/$1 tmp
  if [ -f "$dst" ] && [ ! -L "$dst" ] && cmp -s "$src" "$dst"; then
    return 0
  fi
  if tmp=$(mktemp "$game_dir/.$1.XXXXXX" 2>/dev/null); then
    # mktemp made the file new and private; cp fills it, mv gives it its name.
    if cp "$src" "$tmp" && chmod 0644 "$tmp" && mv -fT "$tmp" "$dst"; then
      return 0
    fi
    rm -f "$tmp"
  fi
  if [ -f "$dst" ]; then
    say "could not update $dst; the game uses the copy that is there"
    return 0
  fi
  local plain=${1/@2x./.}
  if [ "$plain" != "$1" ] && [ -f "$game_dir/$plain" ]; then
    not_added+=("$1")
    return 0
  fi
  say "cannot put $1 into the game folder $game_dir"
  return 1
}

for f in "${delivered[@]}"; do
  [ "$f" = "$table_name" ] || deliver "$f" || exit 1
done
if [ ${#not_added[@]} -gt 0 ]; then
  say "could not add ${not_added[*]} to the game folder $game_dir; the game draws the plain pictures in their place"
fi

# The starting table, only when the folder has none. Never overwrite the
# player's own table: ln makes the name only where nothing is, a link to a
# missing file included, so nothing is written through such a link either.
table=$game_dir/$table_name
if [ ! -e "$table" ] && [ ! -L "$table" ]; then
  if tmp=$(mktemp "$game_dir/.$table_name.XXXXXX" 2>/dev/null); then
    if cp "$data/$table_name" "$tmp" && chmod 0644 "$tmp"; then
      # Where the folder takes no hard links, mv -n refuses to replace.
      ln "$tmp" "$table" 2>/dev/null || mv -nT "$tmp" "$table" 2>/dev/null || true
    fi
    rm -f "$tmp"
  fi
  [ -e "$table" ] || say "could not put the starting high-score table into $game_dir"
elif [ -L "$table" ] && [ ! -e "$table" ]; then
  say "$table is a link to a missing file; the game will say it has no high-score table"
fi

cd "$game_dir"
exec "$program" "$@"
