#!/usr/bin/env bash
# Exercises the Windows side of the About window for real: builds the
# registry backend and the lookup (about/, no Qt) with MinGW-w64 into a
# small Windows test program, links in the program's resources
# (about/win/squibbo.rc: icon and version record), fills a throw-away Wine
# prefix with registry values through Wine's own `reg add`, and runs the
# test program there. Then does the same for the high-score file code
# (scores/, no Qt, with the Windows file operations) in a folder of its own.
#
# Usage: tools/run-wine-tests.sh WORK-DIR RESOURCE-SCRIPT RELEASE-HEADER-DIR
# Everything it makes (the program, the Wine prefix) stays under WORK-DIR.
# RELEASE-HEADER-DIR holds the release.h that the build made.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 WORK-DIR RESOURCE-SCRIPT RELEASE-HEADER-DIR" >&2
  exit 2
fi
resources=$2
release=$3
started=$SECONDS
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
work=$(cd "$1" && pwd)

cxx=x86_64-w64-mingw32-g++
windres=x86_64-w64-mingw32-windres
missing=()
for tool in "$cxx" "$windres" wine; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
# The policy read whole first: grep -q stops at its match, and apt-cache,
# cut off, would fail the pipe as if the release had no Wine.
if [ "${missing[*]}" = wine ] && ! grep -q 'Candidate: [0-9]' <<<"$(apt-cache policy wine 2>/dev/null || true)"; then
  # Debian testing is without Wine now and then.
  echo "Windows code not run under Wine: this Debian release has no Wine"
  exit 77
fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "run-wine-tests: missing ${missing[*]}." >&2
  echo "Install the Debian packages mingw-w64, wine and wine64 (tools/install-deps.sh check)." >&2
  exit 1
fi
# The 64-bit loader runs the 64-bit test program; calling it directly spares
# the note about the missing 32-bit Wine that the `wine` wrapper prints.
wine=wine
for candidate in wine64 /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null; then wine=$candidate; break; fi
done

icon="$root/assets/squibbo.ico"
if [ ! -f "$icon" ]; then
  echo "run-wine-tests: $icon is missing (the asset generator makes it)." >&2
  exit 1
fi

echo "== Building the Windows test program"
"$windres" -O coff -i "$resources" -o "$work/squibbo_rc.o"
# Each test program is one static exe: nothing to copy beside it.
mingw_test() {
  "$cxx" -std=c++20 -O1 -Wall -Wextra -Wshadow -Werror \
    -static -static-libgcc -static-libstdc++ -I "$root/tests/support" -I "$release" "$@"
}
mingw_test -I "$root/about" -o "$work/wine_registry_test.exe" \
  "$root/tests/about/wine/wine_registry_test.cpp" \
  "$root/about/getkeyvalue.cpp" \
  "$root/about/win/registry_win.cpp" \
  "$work/squibbo_rc.o" \
  -ladvapi32 -lversion
mingw_test -I "$root/scores" -o "$work/wine_hiscore_test.exe" \
  "$root/tests/scores/wine/wine_hiscore_test.cpp" \
  "$root/scores/hiscorefile.cpp" \
  "$root/scores/hiscorestore.cpp" \
  "$root/scores/fileops_win.cpp"

echo "== Preparing a fresh Wine prefix"
export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No display, and no offer to install Mono or Gecko.
export DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; wineserver -w >/dev/null 2>&1 || true; }
trap cleanup EXIT
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 || {
  cat "$work/wineboot.log" >&2
  echo "run-wine-tests: could not create the Wine prefix." >&2
  exit 1
}

reg_add() {
  "$wine" reg add "$@" /f >>"$work/reg.log" 2>&1 || {
    cat "$work/reg.log" >&2
    echo "run-wine-tests: reg add $* failed." >&2
    exit 1
  }
}
reg_add 'HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO' /v PATH /t REG_SZ \
  /d 'C:\windows\system32\msinfo32.exe'
reg_add 'HKLM\SOFTWARE\Microsoft\Shared Tools Location' /v MSINFO /t REG_SZ \
  /d 'C:\windows\system32'
reg_add 'HKLM\SOFTWARE\SquibboWineTest' /v Number /t REG_DWORD /d 0x12345678
reg_add 'HKLM\SOFTWARE\SquibboWineTest' /v Small /t REG_DWORD /d 0x00ABCDEF
reg_add 'HKLM\SOFTWARE\SquibboWineTest' /v Expandable /t REG_EXPAND_SZ /d '%SystemRoot%\x.exe'

echo "== Running the lookup against Wine's registry"
status=0
"$wine" "$work/wine_registry_test.exe" || status=$?

echo "== Running the high-score file code on Wine's files"
rm -rf "$work/hiscore"
mkdir -p "$work/hiscore"
(cd "$work/hiscore" && "$wine" "$work/wine_hiscore_test.exe") || status=$?
echo "run-wine-tests: finished in $((SECONDS - started)) s"
exit $status
