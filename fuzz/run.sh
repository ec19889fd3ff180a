#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them, each for SECONDS
# (default 60), one after another, from their seeds in fuzz/corpus/<name>
# (and, for the model reader, the .x files of the shared test corpus).
#   fuzz/run.sh [-jobs N] [-target NAME]... [SECONDS]   BUILD_DIR=... to choose the build folder
#   fuzz/run.sh -build-only                             builds the targets and stops (CI)
#   fuzz/run.sh -list                                   names the targets
# NAME is a target without its fuzz_ prefix (xfile, bmp, tga, jpeg, png,
# mp3, input_script, options); without -target every one runs. Each keeps
# what it learns in BUILD_DIR/fuzz-corpus/NAME (the seeds in the repository
# are never changed) and writes an input that fails to
# BUILD_DIR/fuzz-crash-NAME-*. With -jobs N, N fuzzing jobs share the
# corpus, each for SECONDS, as many at a time as there are cores (at most
# N); their logs are fuzz-N.log in the build folder. The status is 1 when
# any target found a fault, after every chosen target has run.
set -euo pipefail
ALL_TARGETS=(xfile bmp tga jpeg png mp3 input_script options)
usage() { echo "usage: fuzz/run.sh [-jobs N] [-build-only] [-list] [-target NAME]... [SECONDS]" >&2; exit 2; }
JOBS=1
BUILD_ONLY=0
SECONDS_TO_RUN=60
TARGETS=()
while [ $# -gt 0 ]; do
  case "$1" in
    -jobs|--jobs) [ $# -ge 2 ] || usage; JOBS=$2; shift 2 ;;
    -jobs=*|--jobs=*) JOBS=${1#*=}; shift ;;
    -target|--target) [ $# -ge 2 ] || usage; TARGETS+=("${2#fuzz_}"); shift 2 ;;
    -target=*|--target=*) t=${1#*=}; TARGETS+=("${t#fuzz_}"); shift ;;
    -build-only|--build-only) BUILD_ONLY=1; shift ;;
    -list|--list) printf '%s\n' "${ALL_TARGETS[@]}"; exit 0 ;;
    -h|--help) usage ;;
    *) SECONDS_TO_RUN=$1; shift ;;
  esac
done
case "$JOBS" in ''|*[!0-9]*|0) echo "fuzz/run.sh: -jobs needs a count of 1 or more, not '$JOBS'" >&2; exit 2 ;; esac
case "$SECONDS_TO_RUN" in ''|*[!0-9]*) echo "fuzz/run.sh: SECONDS must be a whole number, not '$SECONDS_TO_RUN'" >&2; exit 2 ;; esac
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=("${ALL_TARGETS[@]}")
for t in "${TARGETS[@]}"; do
  case " ${ALL_TARGETS[*]} " in *" $t "*) ;; *) echo "fuzz/run.sh: no fuzz target '$t' (fuzz/run.sh -list names them)" >&2; exit 2 ;; esac
done

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build-fuzz}
CLANGXX=${CLANGXX:-$(command -v clang++ || command -v clang++-14 || true)}
CLANG=${CLANG:-$(command -v clang || command -v clang-14 || true)}
if [ -z "$CLANGXX" ] || [ -z "$CLANG" ]; then
  echo "fuzz/run.sh: clang is needed (make fuzz-build installs it)" >&2
  exit 1
fi
LAUNCHER=()
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_C_COMPILER="$CLANG" -DCMAKE_CXX_COMPILER="$CLANGXX" "${LAUNCHER[@]}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF -DQUARVEL_BENCH=OFF >/dev/null
BUILD_TARGETS=()
for t in "${TARGETS[@]}"; do BUILD_TARGETS+=("fuzz_$t"); done
cmake --build "$BUILD_DIR" -j "${BUILD_JOBS:-2}" --target "${BUILD_TARGETS[@]}"
[ "$BUILD_ONLY" = 1 ] && exit 0

# The longest input each target is given: a model, a picture or a piece of
# music of 64 KB; a script of 8 KB; a command line of 1 KB.
max_len() {
  case "$1" in
    input_script) echo 8192 ;;
    options) echo 1024 ;;
    *) echo 65536 ;;
  esac
}

WORKERS=$(( JOBS < $(nproc) ? JOBS : $(nproc) ))
PARALLEL=()
[ "$JOBS" -gt 1 ] && PARALLEL=(-jobs="$JOBS" -workers="$WORKERS")
FAILED=()
cd "$BUILD_DIR"
for t in "${TARGETS[@]}"; do
  CORPUS="$BUILD_DIR/fuzz-corpus/$t"
  mkdir -p "$CORPUS"
  cp -n "$ROOT/fuzz/corpus/$t/"* "$CORPUS/" 2>/dev/null || true
  if [ "$t" = xfile ] && [ -d "$ROOT/../shared/testdata/x" ]; then
    find "$ROOT/../shared/testdata/x" -type f \( -iname '*.x' -o -name 'OV_*' \) -size -400k \
      -exec cp -n {} "$CORPUS/" \; 2>/dev/null || true
  fi
  echo "== fuzz_$t for $SECONDS_TO_RUN s"
  if ! "$BUILD_DIR/bin/fuzz_$t" "$CORPUS" "${PARALLEL[@]}" -max_total_time="$SECONDS_TO_RUN" -max_len="$(max_len "$t")" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$BUILD_DIR/fuzz-crash-$t-"; then
    FAILED+=("$t")
  fi
done
if [ ${#FAILED[@]} -gt 0 ]; then
  echo "fuzz/run.sh: faults found by: ${FAILED[*]} (inputs in $BUILD_DIR/fuzz-crash-*)" >&2
  exit 1
fi
