#!/usr/bin/env bash
# Makes the Debian package the way a packager would: a build of the game
# alone (no tests, no benchmarks, so none of their tools are needed) with
# Debian's hardening flags and Debian's places for a game (the launcher in
# /usr/games, the delivered files in /usr/share/games/squibbo), then cpack.
# The .deb lands in BUILD-DIR; ./check runs lintian on it.
# Usage: tools/package-deb.sh [BUILD-DIR]   (default: build/package)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/package}

"$here/tools/install-deps.sh" package
# Fortified functions, the strong stack protector, read-only relocations
# bound at start and position-independent code.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
"$here/tools/configure-build.sh" "$build" -DSQUIBBO_TESTS=OFF -DSQUIBBO_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DSQUIBBO_BIN_DIR=games -DSQUIBBO_DATA_DIR=share/games/squibbo
cmake --build "$build"
cd "$build"
rm -f squibbo_*.deb
cpack -G DEB
