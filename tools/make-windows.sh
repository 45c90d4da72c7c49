#!/usr/bin/env bash
# Makes the Windows edition of Squibbo with the Qt for MinGW-w64 kept in
# ../shared/qt6-mingw: squibbo.exe with the Qt DLLs and plugins it loads,
# the C++ run-time DLLs and the delivered files, as a folder, a ZIP of that
# folder and an installer (NSIS: Program Files, a Start-menu entry and an
# uninstaller). All three land in BUILD-DIR.
# Usage: tools/make-windows.sh [BUILD-DIR [CMAKE-OPTION...]]   (default: build/windows)
# Environment: SQUIBBO_QT_MINGW, the Qt for MinGW (default ../shared/qt6-mingw)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/windows}
shift || true
mkdir -p "$build"
build=$(cd "$build" && pwd)
qt=${SQUIBBO_QT_MINGW:-$here/../shared/qt6-mingw}
[ -x "$qt/bin/qt-cmake" ] || {
  echo "make-windows: no Qt for MinGW-w64 at $qt (../shared/tools/build-qt-mingw makes one)" >&2
  exit 1
}
"$here/tools/install-deps.sh" windows

if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ]; then
  "$qt/bin/qt-cmake" -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DSQUIBBO_TESTS=OFF -DSQUIBBO_BENCH=OFF "$@" >"$build.configure.log" 2>&1 || {
    cat "$build.configure.log" >&2
    exit 1
  }
fi
cmake --build "$build" --target squibbo

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=Squibbo-$version-windows-x64
stage=$build/$name
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles"
x86_64-w64-mingw32-strip -o "$stage/squibbo.exe" "$build/squibbo.exe"
# What squibbo.exe loads: Qt's three libraries, the Windows platform and
# the native style, and the C++ run-time of the MinGW-w64 compiler.
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" \
   "$qt/bin/libstdc++-6.dll" "$qt/bin/libgcc_s_seh-1.dll" "$qt/bin/libwinpthread-1.dll" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# The files the game reads at run time, as the build lists them.
sed -n 's/^SQUIBBO_DELIVERED_PATHS:INTERNAL=//p' "$build/CMakeCache.txt" | tr ';' '\n' \
  | while read -r file; do cp "$file" "$stage/"; done

(cd "$build" && rm -f "$name.zip" && cmake -E tar cf "$name.zip" --format=zip "$name")

# The installer lists what it installs, so the uninstaller removes just that.
(cd "$stage" && find . -type f | sed 's|^\./||' | sort) | tr '/' '\\' \
  | sed 's|.*|  Delete "$INSTDIR\\&"|' >"$build/uninstall-files.nsh"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$here/assets/squibbo.ico" -DUNINSTALL_FILES="$build/uninstall-files.nsh" \
  -DOUTFILE="$build/$name-setup.exe" "$here/tools/windows/squibbo.nsi"

echo "make-windows: $stage, $build/$name.zip and $build/$name-setup.exe"
