#!/usr/bin/env bash
# Makes the Debian package the way a packager would: a build of the game
# alone (no tests, no benchmarks, so none of their tools are needed), then
# cpack. The .deb lands in BUILD-DIR.
# Usage: tools/package-deb.sh [BUILD-DIR]   (default: build/package)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/package}

"$here/tools/install-deps.sh" package
"$here/tools/configure-build.sh" "$build" -DSQUIBBO_TESTS=OFF -DSQUIBBO_BENCH=OFF
cmake --build "$build"
cd "$build"
cpack -G DEB
