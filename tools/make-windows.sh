#!/usr/bin/env bash
# Makes the Windows edition of Squibbo with a Qt for MinGW-w64: squibbo.exe
# with the Qt DLLs and plugins it loads, the C++ run-time DLLs and the
# delivered files, as a folder, a ZIP of that folder and an installer (NSIS:
# Program Files, a Start-menu entry and an uninstaller). All three land in
# BUILD-DIR. The same commit gives the same ZIP and installer, byte for
# byte, wherever, whenever and by whomever it is built
# (tools/check-reproducible.sh shows it): every time in them, and the
# program's time stamp, is SOURCE_DATE_EPOCH (tools/source-date-epoch.sh),
# and the staged files' modes and order are fixed here.
# The Qt for MinGW-w64 must be the very version of the host's moc, rcc and
# uic, whose code it compiles. The first that is, of $SQUIBBO_QT_MINGW,
# ../shared/qt6-mingw and the one tools/build-qt-mingw.sh makes in the
# user's cache, is taken.
# Usage: tools/make-windows.sh [BUILD-DIR [CMAKE-OPTION...]]   (default: build/windows)
# Exit status 3: no Qt for MinGW-w64 of the host's version (the last line says so).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/windows}
shift || true
mkdir -p "$build"
build=$(cd "$build" && pwd)
# shellcheck source=tools/source-date-epoch.sh
. "$here/tools/source-date-epoch.sh" make-windows
"$here/tools/install-deps.sh" windows

host=$(/usr/lib/qt6/libexec/moc -v | awk '{print $2}')
cached=${XDG_CACHE_HOME:-$HOME/.cache}/squibbo/qt6-mingw-$host
qt='' found=()
for candidate in ${SQUIBBO_QT_MINGW:+"$SQUIBBO_QT_MINGW"} "$(realpath -m "$here/../shared/qt6-mingw")" "$cached"; do
  [ -x "$candidate/bin/qt-cmake" ] || continue
  version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")/\1/p' "$candidate/lib/cmake/Qt6/Qt6ConfigVersionImpl.cmake")
  [ "$version" = "$host" ] && { qt=$candidate; break; }
  echo "make-windows: the Qt for MinGW-w64 in $candidate is $version, the host's Qt tools are $host" >&2
  found+=("$version in $candidate")
done
if [ -z "$qt" ]; then
  if [ ${#found[@]} -gt 0 ]; then
    found_text="found $(printf '%s, ' "${found[@]}" | sed 's/, $//')"
  else
    found_text="none in \$SQUIBBO_QT_MINGW, ../shared/qt6-mingw or ${cached/#"$HOME"/\~}"
  fi
  echo "make-windows: no Qt $host for MinGW-w64 ($found_text);" \
    "tools/build-qt-mingw.sh builds it in about an hour" >&2
  exit 3
fi
echo "make-windows: Qt $host for MinGW-w64 from $qt"

same_source_date "$build"
# A build folder made with another Qt starts afresh.
fresh=()
[ "$(cat "$build/qt-mingw" 2>/dev/null)" = "$qt" ] || fresh=(--fresh)
if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ] || [ ${#fresh[@]} -gt 0 ]; then
  "$qt/bin/qt-cmake" "${fresh[@]}" -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSQUIBBO_TESTS=OFF -DSQUIBBO_BENCH=OFF "$@" >"$build.configure.log" 2>&1 || {
    cat "$build.configure.log" >&2
    exit 1
  }
  echo "$qt" >"$build/qt-mingw"
fi
cmake --build "$build" --target squibbo

# The version and the delivered files, as the build names them.
# shellcheck source=/dev/null
. "$build/release.sh"
version=$squibbo_version
name=Squibbo-$version-windows-x64
stage=$build/$name
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles"
x86_64-w64-mingw32-strip -o "$stage/squibbo.exe" "$build/squibbo.exe"
# What squibbo.exe loads: Qt's three libraries, the Windows platform and
# the native styles, and the C++ run-time of the MinGW-w64 compiler.
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" \
   "$qt/bin/libstdc++-6.dll" "$qt/bin/libgcc_s_seh-1.dll" "$qt/bin/libwinpthread-1.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt"/plugins/styles/*.dll "$stage/styles/"
# The files the game reads at run time.
cp "${squibbo_delivered[@]}" "$stage/"

# What the ZIP and the installer keep of each file besides its bytes: one
# mode for the folders, one for the files, one time for all, and one order.
find "$stage" -type d -exec chmod 0755 {} + -o -type f -exec chmod 0644 {} +
find "$stage" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
(cd "$stage" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) >"$build/files.txt"

# ZIP writes the time as a time of day (so in UTC here); -X leaves out the
# owner and the other times that it would keep.
(cd "$build" && rm -f "$name.zip" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -9 "$name.zip" -@)

# The installer lists what it installs, so the uninstaller removes just that.
awk -v stage="$stage" '{
  dir = $0; sub("/?[^/]*$", "", dir)
  if (NR == 1 || dir != last) { out = dir; gsub("/", "\\", out); print "  SetOutPath \"$INSTDIR" (dir == "" ? "" : "\\" out) "\""; last = dir }
  print "  File \"" stage "/" $0 "\""
}' "$build/files.txt" >"$build/install-files.nsh"
tr '/' '\\' <"$build/files.txt" | sed 's|.*|  Delete "$INSTDIR\\&"|' >"$build/uninstall-files.nsh"
makensis -V2 -DVERSION="$version" -DICON="$here/assets/squibbo.ico" -DINSTALL_FILES="$build/install-files.nsh" \
  -DUNINSTALL_FILES="$build/uninstall-files.nsh" -DOUTFILE="$build/$name-setup.exe" "$here/tools/windows/squibbo.nsi"

echo "make-windows: $stage, $build/$name.zip and $build/$name-setup.exe"
