#!/usr/bin/env bash
# Configures a build folder for Ninja once; later calls do nothing unless
# options are given, which are then applied to the existing configuration.
# A folder configured earlier for another generator is cleared first.
# Usage: tools/configure-build.sh BUILD-DIR [-DOPTION=VALUE ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
cache=$build/CMakeCache.txt
if [ -f "$cache" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
  echo "configure-build: $build was made for another generator; starting it afresh"
  rm -rf "$build"
fi
if [ ! -f "$build/build.ninja" ] || [ $# -gt 0 ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
