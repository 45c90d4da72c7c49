#!/usr/bin/env bash
# Plays the Windows edition under Wine on an Xvfb display of its own, the
# way a player would: installs it with its installer, starts it from the
# install folder, clicks its real windows and types into them.
#
#  - the version record of the installed squibbo.exe, read back by Windows;
#  - the first start fills the player's folder %APPDATA%\Squibbo with the
#    delivered files; every DLL shipped is one the game loads;
#  - the main window "Squibbo!" has a client area of 445 x 435;
#  - a throw calls sndPlaySoundA("fling2.wav", SND_ASYNC | SND_NODEFAULT)
#    on a Wine without sound drivers: no failure, no message;
#  - a player's own table is kept at the next start;
#  - a whole game that earns no place: "Game Over!", then the High Scores
#    window, and squibbo.hi rewritten through MoveFileExW;
#  - a whole game that earns a place: the name prompt, the name typed, the
#    High Scores window, and the entry first in squibbo.hi;
#  - About, "System Info...": with the two registry values pointing at a
#    stand-in for the system information tool, the stand-in starts;
#    without them, the message box;
#  - the uninstaller removes the game and leaves the player's folder.
# Screenshots of the three windows are left in WORK-DIR/screenshots.
# Without a Qt for MinGW-w64 of the host's Qt version it is skipped (exit
# status 77; with CI=true on Debian 12 it fails), and WORK-DIR/not-tested
# says why.
#
# Usage: tests/windows/play-under-wine.sh WORK-DIR [WINDOWS-BUILD-DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 WORK-DIR [WINDOWS-BUILD-DIR]" >&2; exit 2; }
mkdir -p "$1"
work=$(cd "$1" && pwd)
windows_build=${2:-$work/build}
started=$SECONDS

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($((SECONDS - started)) s)"; }

step "Building the Windows edition"
rm -f "$work/not-tested"
status=0
"$here/tools/make-windows.sh" "$windows_build" -DSQUIBBO_WERROR=ON >"$work/make-windows.log" 2>&1 || status=$?
if [ "$status" = 3 ]; then
  # No Qt for MinGW-w64 of the host's Qt version: skipped, and the reason
  # left for ./check to tell. CI always tests the Windows edition.
  reason="Windows edition not tested: $(tail -n 1 "$work/make-windows.log" | sed 's/^make-windows: //')"
  [ "${CI:-}" = true ] && [ "$(. /etc/os-release && echo "$VERSION_ID")" = 12 ] \
    && fail "$reason (with CI=true the Windows edition is always tested)"
  echo "$reason" | tee "$work/not-tested"
  exit 77
elif [ "$status" != 0 ]; then
  tail -n 40 "$work/make-windows.log" >&2
  fail "the Windows edition did not build"
fi
# shellcheck source=/dev/null
. "$windows_build/release.sh"
version=$squibbo_version
name=Squibbo-$version-windows-x64
stage=$windows_build/$name
installer=$windows_build/$name-setup.exe
echo "squibbo.exe $(stat -c %s "$stage/squibbo.exe") bytes, $name.zip $(stat -c %s "$windows_build/$name.zip")" \
  "bytes, installer $(stat -c %s "$installer") bytes"

# The helpers that look at the game from the Windows side.
cxx=(x86_64-w64-mingw32-g++ -std=c++20 -O1 -Wall -Wextra -Werror -static)
"${cxx[@]}" -municode -o "$work/wintool.exe" "$here/tests/windows/wintool.cpp" -lversion
mkdir -p "$work/standin"
"${cxx[@]}" -mwindows -o "$work/standin/msinfo32.exe" "$here/tests/windows/sysinfo_standin.cpp"

# An X display of our own.
xvfb_pid='' game_pid=''
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
cleanup() {
  set +e  # whatever the clean-up meets, the test's own result stands
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  # Wine's processes end with its server; wait for them to be gone.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
# shellcheck source=../support/xvfb.sh
. "$here/tests/support/xvfb.sh"
start_xvfb 20 49 "$work/xvfb.log" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }

# No Mono or Gecko offers, and no sound drivers: the game runs on a Wine
# without any audio device.
export WINEDLLOVERRIDES="mscoree,mshtml,winepulse.drv,winealsa.drv,wineoss.drv="
wine=wine
for candidate in wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null; then wine=$candidate; break; fi
done

step "A fresh Wine prefix"
rm -rf "$WINEPREFIX"
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; fail "no Wine prefix"; }
drive_c=$WINEPREFIX/drive_c
program_dir="$drive_c/Program Files/Squibbo"
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
players=$drive_c/users/$(id -un)/AppData/Roaming/Squibbo
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Squibbo'

step "Installing with the installer"
"$wine" "$installer" /S >"$work/install.log" 2>&1 || fail "the installer failed"
for f in squibbo.exe Qt6Core.dll platforms/qwindows.dll squibbo.hi uninstall.exe; do
  [ -f "$program_dir/$f" ] || fail "the installer put no $f under Program Files"
done
[ -f "$start_menu/Squibbo.lnk" ] || fail "no Start-menu entry"
"$wine" reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 || fail "not listed among the installed programs"

step "The version record"
# The strings give the major version and the minor one in two digits.
short_version=$(echo "$version" | awk -F. '{printf "%d.%02d", $1, $2}')
expected_version="FileVersion ${version}.0
ProductVersion ${version}.0
ProductName \"Squibbo\"
FileVersion \"$short_version\"
ProductVersion \"$short_version\"
InternalName \"squibbo\"
OriginalFilename \"squibbo.exe\""
record=$("$wine" "$work/wintool.exe" version 'C:\Program Files\Squibbo\squibbo.exe' | tr -d '\r')
[ "$record" = "$expected_version" ] || fail "the version record reads:
$record"

# --- helpers for the windows of the game ---------------------------------
titled() { # prints the last X window titled exactly $1; fails when there is none
  local id
  id=$(xdotool search --name "^$1\$" 2>/dev/null | tail -n 1 || true)
  [ -n "$id" ] && echo "$id"
}
window() { # the X window titled exactly $1, waiting up to $2 seconds (0: look once)
  wait_until "${2:-60}" titled "$1"
}
untitled() { ! titled "$1" >/dev/null; }
gone() { # waits until no window is titled $1
  wait_until 60 untitled "$1"
}
titles() { # the titles of all named windows but Wine's own
  xdotool search --name '.' 2>/dev/null | while read -r id; do
    xdotool getwindowname "$id" 2>/dev/null || true
  done | grep -v -x -e 'Default IME' -e '' | sort || true
}
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
press() { xdotool windowfocus --sync "$1" 2>/dev/null || true; xdotool key --clearmodifiers "$2"; }
shot() { mkdir -p "$work/screenshots"; import -window "$1" "$work/screenshots/$2.png"; }
start_game() {
  "$wine" 'C:\Program Files\Squibbo\squibbo.exe' >"$work/$1.log" 2>&1 &
  game_pid=$!
  main=$(window 'Squibbo!' 60) || { tail -n 20 "$work/$1.log" >&2; fail "no main window \"Squibbo!\""; }
}
ended() { ! kill -0 "$game_pid" 2>/dev/null; }
end_game() {
  "$wine" "$work/wintool.exe" close 'Squibbo!' || fail "could not close the main window"
  wait_until 60 ended || fail "the game did not end with its main window"
  wait "$game_pid" || true
  game_pid=''
}
# "Throw It!" at its place in the main window until the game has ended and
# a dialog titled $1 is up. A click while a pie is in flight finds the
# button locked and does nothing.
throw_for() { titled "$1" || { click "$main" 84 384; return 1; }; }
play_to_the_end() {
  wait_until 600 throw_for "$1" || fail "no \"$1\" after 10 minutes of throwing"
}
# -------------------------------------------------------------------------

step "First start: the player's folder, the window, the DLLs, a throw's sound"
[ ! -e "$players" ] || fail "$players is there before the first start"
WINEDEBUG=trace+winmm,+loaddll start_game first
for f in "${squibbo_delivered[@]##*/}"; do
  cmp -s "$stage/$f" "$players/$f" || fail "the first start did not put $f into $players"
done
size=$(xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = 445x435 ] || fail "the main window's X window is $size"
client=$("$wine" "$work/wintool.exe" client 'Squibbo!' | tr -d '\r')
[ "$client" = 445x435 ] || fail "Windows gives the main window a client area of $client"
# Everything shipped is something the game loads.
loaded=$(grep -o 'Loaded L"C:[^"]*"' "$work/first.log" | sed 's/\\\\/\//g')
while read -r dll; do
  grep -qF "Loaded L\"C:/Program Files/Squibbo/$dll\"" <<<"$loaded" \
    || fail "$dll is shipped but the game never loads it"
done < <(cd "$stage" && find . -name '*.dll' | sed 's|^\./||')
shot "$main" windows-main-start
before=$(titles)
click "$main" 84 384
wait_until 60 grep -q 'MULTIMEDIA_PlaySound .*fdwSound=00000003' "$work/first.log" \
  || fail "no sndPlaySoundA call with SND_ASYNC | SND_NODEFAULT"
grep -qF "${squibbo_throw_sound}\"" <(grep -o 'proc_PlaySound SoundName=L"[^"]*"' "$work/first.log") \
  || fail "the throw did not ask for $squibbo_throw_sound"
kill -0 "$game_pid" 2>/dev/null || fail "the game ended at the throw"
[ "$(titles)" = "$before" ] || fail "a window came up at the throw: $(titles)"
end_game

step "A game without a place: Game Over!, High Scores, squibbo.hi through MoveFileExW"
champions=''
for i in $(seq 1 11); do champions+="\"Champ $i\",32767"$'\r\n'; done
printf '%s' "$champions" >"$players/squibbo.hi"
WINEDEBUG=trace+file start_game second
[ "$(cat "$players/squibbo.hi")" = "$(printf '%s' "$champions")" ] || fail "the start replaced the player's own table"
over=$(play_to_the_end Squibbo)
shot "$main" windows-main-game-over
press "$over" Return
scores=$(window ' ') || fail "no High Scores window after Game Over!"
shot "$scores" windows-high-scores
expected=$(printf '%s' "$champions" | head -n 10)
[ "$(cat "$players/squibbo.hi")" = "$expected" ] || fail "squibbo.hi after Game Over! is
$(cat -A "$players/squibbo.hi")"
grep -qE 'MoveFileWithProgressW \(L"[^"]*Squibbo[\]+xxx",L"[^"]*Squibbo[\]+squibbo\.hi",0+,0+,0009\)' "$work/second.log" \
  || fail "the table was not put in place with MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH)"
[ ! -e "$players/xxx" ] || fail "xxx was left behind"
press "$scores" Return
gone ' ' || fail "Enter did not close the High Scores window"

step "A game with a place: the name prompt, High Scores, the entry in squibbo.hi"
beginners=''
for i in $(seq 1 10); do beginners+="\"Rookie $i\",-32768"$'\r\n'; done
printf '%s' "$beginners" >"$players/squibbo.hi"
prompt=$(play_to_the_end 'You got a high score!')
xdotool windowfocus --sync "$prompt" 2>/dev/null || true
xdotool type --delay 30 'Wine Player'
xdotool key Return
scores=$(window ' ') || fail "no High Scores window after the name prompt"
first=$(head -n 1 "$players/squibbo.hi")
[[ "$first" =~ ^\"Wine\ Player\",-?[0-9]+$'\r'$ ]] || fail "the first record is $(printf '%s' "$first" | cat -A)"
[ "$(tail -n +2 "$players/squibbo.hi")" = "$(printf '%s' "$beginners")" ] || fail "the other ten records changed"
press "$scores" Return
gone ' ' || fail "Enter did not close the High Scores window"

step "About and System Info..."
click "$main" 364 372
about=$(window 'About Squibbo') || fail "no About window"
shot "$about" windows-about
mkdir -p "$drive_c/Tools"
cp "$work/standin/msinfo32.exe" "$drive_c/Tools/msinfo32.exe"
rm -f "$drive_c/Tools/started.txt"
"$wine" reg add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /t REG_SZ \
  /d 'C:\Tools\msinfo32.exe' /f >/dev/null 2>&1
"$wine" reg add 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /v MSINFO /t REG_SZ \
  /d 'C:\Tools' /f >/dev/null 2>&1
click "$about" 325 192
wait_until 60 test -f "$drive_c/Tools/started.txt" || fail "System Info... did not start the tool named in the registry"
! window Squibbo 1 >/dev/null || fail "a message came up although the tool started"
rm -f "$drive_c/Tools/started.txt"
"$wine" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /f >/dev/null 2>&1 || true
"$wine" reg delete 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /f >/dev/null 2>&1 || true
click "$about" 325 192
message=$(window Squibbo) || fail "no message when the registry names no tool"
shot "$message" windows-sysinfo-unavailable
[ ! -f "$drive_c/Tools/started.txt" ] || fail "a tool started without the registry values"
press "$message" Return
gone Squibbo || fail "the message did not close"
window 'About Squibbo' 1 >/dev/null || fail "the About window closed with the message"
press "$about" Escape
gone 'About Squibbo' || fail "Esc did not close the About window"
end_game

step "Uninstalling"
"$wine" 'C:\Program Files\Squibbo\uninstall.exe' /S >"$work/uninstall.log" 2>&1 || fail "the uninstaller failed"
# The uninstaller copies itself away and removes the folder from there.
wait_until 60 test ! -e "$program_dir" || fail "the uninstaller left $(ls "$program_dir")"
[ ! -e "$start_menu/Squibbo.lnk" ] || fail "the uninstaller left the Start-menu entry"
! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstaller left its registry key"
[ -f "$players/squibbo.hi" ] || fail "the uninstaller took the player's scores"

echo "play-under-wine: passed in $((SECONDS - started)) s"
