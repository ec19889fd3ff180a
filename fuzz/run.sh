#!/usr/bin/env bash
# Builds the model-reader fuzz target with clang and runs it for SECONDS
# (default 60), starting from the .x files of the shared test corpus.
#   fuzz/run.sh [SECONDS]        BUILD_DIR=... to choose the build folder
set -euo pipefail
SECONDS_TO_RUN=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-fuzz}
CLANGXX=${CLANGXX:-$(command -v clang++ || command -v clang++-14)}
CLANG=${CLANG:-$(command -v clang || command -v clang-14)}

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_C_COMPILER="$CLANG" -DCMAKE_CXX_COMPILER="$CLANGXX" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j2 --target fuzz_xfile

CORPUS="$BUILD_DIR/fuzz-corpus"
mkdir -p "$CORPUS"
if [ -d "$ROOT/../shared/testdata/x" ]; then
  find "$ROOT/../shared/testdata/x" -type f \( -iname '*.x' -o -name 'OV_*' \) -size -400k \
    -exec cp -n {} "$CORPUS/" \; 2>/dev/null || true
fi
"$BUILD_DIR/bin/fuzz_xfile" "$CORPUS" -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1
