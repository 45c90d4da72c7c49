#!/usr/bin/env bash
# Makes the Debian package the way a packager would: a build of the game
# alone (no tests, no benchmarks, so none of their tools are needed) with
# Debian's hardening flags and Debian's places for a game (the launcher in
# /usr/games, the delivered files in /usr/share/games/squibbo), then cpack.
# The .deb lands in BUILD-DIR; ./check runs lintian on it.
# The same commit gives the same .deb, byte for byte, whatever the source
# and build folders, the current folder, the time, the umask, the locale,
# the time zone and the user (tools/check-reproducible.sh shows it): the
# times are SOURCE_DATE_EPOCH (tools/source-date-epoch.sh), and the folders
# are named alike in the program's debug information, whose build ID stays
# in the package.
# Usage: tools/package-deb.sh [BUILD-DIR]   (default: build/package)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/package}
# shellcheck source=tools/source-date-epoch.sh
. "$here/tools/source-date-epoch.sh" package-deb

"$here/tools/install-deps.sh" package
same_source_date "$build"
build=$(cd "$build" && pwd)
# Fortified functions, the strong stack protector, read-only relocations
# bound at start and position-independent code. dpkg-buildflags maps the
# folder it runs in to "." in the debug information: that is the source
# folder, and the build folder becomes "build" (the later map wins).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { (cd "$here" && dpkg-buildflags --get "$1"); }
"$here/tools/configure-build.sh" "$build" -DSQUIBBO_TESTS=OFF -DSQUIBBO_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS) -ffile-prefix-map=$build=build" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DSQUIBBO_BIN_DIR=games -DSQUIBBO_DATA_DIR=share/games/squibbo
cmake --build "$build"
cd "$build"
rm -f squibbo_*.deb
# The package keeps the modes of what cpack makes: the folders of the
# install (CMake 3.25 makes them through the umask, whatever
# CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS says) and the package's own
# members. So they are made as under a packager's usual umask.
(umask 0022 && cpack -G DEB)
