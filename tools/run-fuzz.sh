#!/usr/bin/env bash
# Builds the fuzzer of the high-score file reader with clang and runs it for
# 20 seconds on a copy of the seed corpus. Exits non-zero when it finds a
# crash or a broken property (the failing input is left in <work-dir>).
# Usage: tools/run-fuzz.sh <work-dir>
set -euo pipefail

work=${1:?usage: tools/run-fuzz.sh <work-dir>}
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz="$src/tests/scores/fuzz"
cxx=${CLANGXX:-clang++}
seconds=${FUZZ_SECONDS:-20}

mkdir -p "$work"
work=$(cd "$work" && pwd)

# The reader is plain C++, so the fuzzer needs no Qt.
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src/scores" "$src/scores/hiscorefile.cpp" "$fuzz/fuzz_hiscore.cpp" \
  -o "$work/fuzz_hiscore"

rm -rf "$work/corpus"
cp -R "$fuzz/corpus" "$work/corpus"

cd "$work"
./fuzz_hiscore -max_total_time="$seconds" -print_final_stats=1 \
  -dict="$fuzz/hiscore.dict" -artifact_prefix="$work/" corpus
