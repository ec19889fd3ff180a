#!/usr/bin/env bash
# Builds the model-reader fuzz target with clang and runs it for SECONDS
# (default 60), starting from the .x files of the shared test corpus.
#   fuzz/run.sh [-jobs N] [SECONDS]     BUILD_DIR=... to choose the build folder
#   fuzz/run.sh -build-only             builds the target and stops (CI)
# With -jobs N, N fuzzing jobs share the corpus, each for SECONDS, as many
# at a time as there are cores (at most N); their logs are fuzz-N.log in
# the build folder.
set -euo pipefail
usage() { echo "usage: fuzz/run.sh [-jobs N] [-build-only] [SECONDS]" >&2; exit 2; }
JOBS=1
BUILD_ONLY=0
SECONDS_TO_RUN=60
while [ $# -gt 0 ]; do
  case "$1" in
    -jobs|--jobs) [ $# -ge 2 ] || usage; JOBS=$2; shift 2 ;;
    -jobs=*|--jobs=*) JOBS=${1#*=}; shift ;;
    -build-only|--build-only) BUILD_ONLY=1; shift ;;
    -h|--help) usage ;;
    *) SECONDS_TO_RUN=$1; shift ;;
  esac
done
case "$JOBS" in ''|*[!0-9]*|0) echo "fuzz/run.sh: -jobs needs a count of 1 or more, not '$JOBS'" >&2; exit 2 ;; esac
case "$SECONDS_TO_RUN" in ''|*[!0-9]*) echo "fuzz/run.sh: SECONDS must be a whole number, not '$SECONDS_TO_RUN'" >&2; exit 2 ;; esac

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-fuzz}
CLANGXX=${CLANGXX:-$(command -v clang++ || command -v clang++-14 || true)}
CLANG=${CLANG:-$(command -v clang || command -v clang-14 || true)}
if [ -z "$CLANGXX" ] || [ -z "$CLANG" ]; then
  echo "fuzz/run.sh: clang is needed (make fuzz-build installs it)" >&2
  exit 1
fi

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_C_COMPILER="$CLANG" -DCMAKE_CXX_COMPILER="$CLANGXX" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${BUILD_JOBS:-2}" --target fuzz_xfile
[ "$BUILD_ONLY" = 1 ] && exit 0

CORPUS="$BUILD_DIR/fuzz-corpus"
mkdir -p "$CORPUS"
if [ -d "$ROOT/../shared/testdata/x" ]; then
  find "$ROOT/../shared/testdata/x" -type f \( -iname '*.x' -o -name 'OV_*' \) -size -400k \
    -exec cp -n {} "$CORPUS/" \; 2>/dev/null || true
fi
WORKERS=$(( JOBS < $(nproc) ? JOBS : $(nproc) ))
PARALLEL=()
[ "$JOBS" -gt 1 ] && PARALLEL=(-jobs="$JOBS" -workers="$WORKERS")
cd "$BUILD_DIR"
"$BUILD_DIR/bin/fuzz_xfile" "$CORPUS" "${PARALLEL[@]}" -max_total_time="$SECONDS_TO_RUN" -max_len=65536 \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
