#!/usr/bin/env bash
# Builds the Qt for MinGW-w64 that tools/make-windows.sh makes the Windows
# edition with: Qt's base (Core, Gui, Widgets, Test, the Windows platform
# plugin and styles) for 64-bit Windows, from Debian's own qt6-base source
# package, so that it is the very Qt version of the host's moc, rcc and uic.
# It goes into $XDG_CACHE_HOME/squibbo/qt6-mingw-VERSION (by default under
# ~/.cache). About an hour on two cores; it says how far it is, and when
# stopped it goes on from there the next time. Root (through sudo) is asked
# for only to install packages and, where apt knows no Debian sources yet,
# to add a deb-src entry beside the existing ones.
# Usage: tools/build-qt-mingw.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
say() { echo "build-qt-mingw: $* ($(((SECONDS - started) / 60)) min)"; }
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

"$here/tools/install-deps.sh" qt-mingw
version=$(/usr/lib/qt6/libexec/moc -v | awk '{print $2}')
cache=${XDG_CACHE_HOME:-$HOME/.cache}/squibbo
prefix=$cache/qt6-mingw-$version
work=$cache/qt6-mingw-$version.build
if [ -x "$prefix/bin/qt-cmake" ]; then
  echo "build-qt-mingw: Qt $version for MinGW-w64 is already in $prefix"
  exit 0
fi
mkdir -p "$work"
cd "$work"

if [ ! -d source ]; then
  say "1/4 Debian's source package of Qt $version"
  if [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
    if ! grep -qsE '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list; then
      if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        list=/etc/apt/sources.list.d/squibbo-deb-src.sources
        entries=$(sed -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources)
      else
        list=/etc/apt/sources.list.d/squibbo-deb-src.list
        entries=$(sed -n 's/^deb /deb-src /p' /etc/apt/sources.list)
      fi
      echo "$entries" | "${sudo_cmd[@]}" tee "$list" >/dev/null
      echo "build-qt-mingw: added $list, the Debian sources beside the packages"
    fi
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  rm -rf download source.part
  mkdir download
  (cd download && apt-get source --download-only -qq qt6-base >/dev/null)
  source_version=$(sed -nE 's/^Version: ([0-9]+:)?([0-9.]+).*/\2/p' download/*.dsc)
  if [ "$source_version" != "$version" ]; then
    echo "build-qt-mingw: Debian's source is Qt $source_version, the host's moc is $version;" \
      "bring qt6-base-dev-tools up to date first (apt-get upgrade)" >&2
    exit 1
  fi
  # With Debian's own patches applied, as the host's Qt is built.
  dpkg-source --no-copy -x download/*.dsc source.part >dpkg-source.log 2>&1 || { cat dpkg-source.log >&2; exit 1; }
  mv source.part source
  rm -rf download
fi

if [ ! -f build/build.ninja ]; then
  say "2/4 configuring"
  # The compiler (POSIX threads) for 64-bit Windows. It goes with the Qt
  # tree: Qt's qt-cmake chains to it.
  cat >mingw-w64-x86_64.cmake <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
  # Left out: what a small Widgets game does not use, and the tablet
  # support, whose header Debian's source does not carry. Fonts go through
  # GDI: no DirectWrite 3 font database and no Direct2D platform (Qt 6.8's
  # font code does not build without DirectWrite and Direct2D themselves).
  # The third-party libraries are Qt's own copies, built in.
  cmake -S source -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$work/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix.part" \
    -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$work/=" -DCMAKE_C_FLAGS="-ffile-prefix-map=$work/=" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_dynamicgl=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d1_1=OFF -DFEATURE_directwrite3=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_doubleconversion=OFF >configure.log 2>&1 \
    || { tail -n 30 configure.log >&2; rm -f build/build.ninja; exit 1; }
fi

say "3/4 compiling"
# Ninja's lines go to build.log; every tenth of the way is one line here.
shown=-1
NINJA_STATUS='[%f/%t] ' ninja -C build -j"$(nproc)" 2>&1 | while IFS= read -r line; do
  printf '%s\n' "$line" >&3
  if [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]] && ((10 * BASH_REMATCH[1] / BASH_REMATCH[2] > shown)); then
    shown=$((10 * BASH_REMATCH[1] / BASH_REMATCH[2]))
    say "$((10 * shown))% compiled (${BASH_REMATCH[1]} of ${BASH_REMATCH[2]} steps)"
  fi
done 3>build.log || { tail -n 30 build.log >&2; exit 1; }

say "4/4 installing"
rm -rf "$prefix.part"
cmake --install build >install.log
cp mingw-w64-x86_64.cmake "$prefix.part/"
# Qt's qt-cmake chains to the compiler file beside the tree, wherever the tree is.
toolchain=$prefix.part/lib/cmake/Qt6/qt.toolchain.cmake
# shellcheck disable=SC2016 # CMake's variable, for CMake to expand
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-x86_64.cmake")|' "$toolchain"
# shellcheck disable=SC2016
grep -qF '${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-x86_64.cmake' "$toolchain" \
  || { echo "build-qt-mingw: $toolchain does not name the compiler file as expected" >&2; exit 1; }
# The compiler's C++ run-time DLLs, which every program it builds needs beside it.
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$prefix.part/bin/"
done
find "$prefix.part" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
mv "$prefix.part" "$prefix"
cd /
rm -rf "$work"
say "Qt $version for MinGW-w64 is in $prefix"
