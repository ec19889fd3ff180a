#!/bin/sh
# The whole show's timedemo per scene: frame times (median, 95 %, 99 %, worst),
# processor time a tick in the 3D render and in the rest, and the slowest tick
# at each change of scene. With --vs OLD, the same runs of an older build's
# quarvel-capture alternate with this build's (new, old, new, old, ...) and
# each figure is also given as new / old, the median of the pairs, so that the
# machine's drift falls on both.
#
#   bench/show_scenes.sh [--vs OLD_CAPTURE] [--runs N] [--ms-per-tick MS]
#                        [--capture NEW_CAPTURE] [--show DIR] [-- MORE CAPTURE ARGS]
#
# Defaults: build/bin/quarvel-capture beside this script's checkout, the show
# in build/show, 2 runs of each build, 100 ms a tick (2,693 ticks for the
# whole show). The render / rest split comes from one more run of the new
# build with --split-render (the 3D render's GPU work finished inside the
# render call), since otherwise llvmpipe rasterises the 3D scene during the
# flip; that run is not used for the frame times.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
new="$here/build/bin/quarvel-capture"
show="$here/build/show"
old=""
runs=2
ms=100
while [ $# -gt 0 ]; do
  case "$1" in
    --vs) old=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --ms-per-tick) ms=$2; shift 2 ;;
    --capture) new=$2; shift 2 ;;
    --show) show=$2; shift 2 ;;
    --) shift; break ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) echo "show_scenes.sh: unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done
for bin in "$new" ${old:+"$old"}; do
  if [ ! -f "$bin" ] || [ ! -x "$bin" ]; then
    echo "show_scenes.sh: $bin: no such program (build with make build)" >&2
    exit 2
  fi
done
case "$runs" in ''|*[!0-9]*|0) echo "show_scenes.sh: --runs: a whole number above 0: $runs" >&2; exit 2 ;; esac

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
run() {  # run BINARY OUTPUT [ARGS]
  bin=$1 file=$2
  shift 2
  (cd "$show" && "$bin" --show "$show" --timedemo --json --ms-per-tick "$ms" "$@") >"$file" 2>"$file.err" || {
    echo "show_scenes.sh: $bin failed:" >&2
    cat "$file.err" >&2
    exit 2
  }
}
i=1
while [ "$i" -le "$runs" ]; do
  echo "run $i of $runs: new" >&2
  run "$new" "$out/new.$i.json" "$@"
  if [ -n "$old" ]; then
    echo "run $i of $runs: old" >&2
    run "$old" "$out/old.$i.json" "$@"
  fi
  i=$((i + 1))
done
echo "split run: new, --split-render" >&2
run "$new" "$out/split.json" --split-render "$@"

python3 - "$out" "$runs" "${old:+yes}" <<'EOF'
import json, statistics, sys
out, runs, compare = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "yes"
load = lambda name: json.load(open(f"{out}/{name}.json"))
new = [load(f"new.{i}") for i in range(1, runs + 1)]
old = [load(f"old.{i}") for i in range(1, runs + 1)] if compare else []
split = load("split")
keys = ["median_ms", "p95_ms", "p99_ms", "worst_ms"]

def scenes(report):
    d = {"whole show": report["overall"]}
    d.update({s["scene"]: s for s in report["scenes"]})
    return d

def changes(report):
    return {c["scene"]: c["ms"] for c in report.get("changes", [])}

names = list(scenes(new[0]))
med = lambda xs: statistics.median(xs) if xs else float("nan")
print(f"frame times per tick, ms (median of {runs} run{'s' if runs > 1 else ''}); processor time a tick, ms "
      "(one --split-render run)")
print(f"{'scene':12} {'median':>8} {'95 %':>8} {'99 %':>8} {'worst':>8} {'change':>8} {'render':>8} {'other':>8}")
for n in names:
    row = [med([scenes(r)[n][k] for r in new if n in scenes(r)]) for k in keys]
    ch = med([changes(r)[n] for r in new if n in changes(r)])
    sp = scenes(split).get(n, {})
    cells = row + [ch, sp.get("render_ms", float("nan")), sp.get("other_ms", float("nan"))]
    print(f"{n:12} " + " ".join(f"{v:8.2f}" if v == v else f"{'-':>8}" for v in cells))
print("change: the slowest tick from 5 ticks before the scene's first tick to 10 after it")
if compare:
    print(f"\nnew / old, median of the {runs} pair{'s' if runs > 1 else ''} (below 1: the new build is faster)")
    print(f"{'scene':12} {'median':>8} {'95 %':>8} {'99 %':>8} {'worst':>8} {'change':>8}")
    for n in names:
        cells = []
        for k in keys + ["change"]:
            pairs = []
            for a, b in zip(new, old):
                if k == "change":
                    x, y = changes(a).get(n), changes(b).get(n)
                else:
                    x, y = scenes(a).get(n, {}).get(k), scenes(b).get(n, {}).get(k)
                if x is not None and y:
                    pairs.append(x / y)
            cells.append(med(pairs))
        print(f"{n:12} " + " ".join(f"{v:8.3f}" if v == v else f"{'-':>8}" for v in cells))
    walls = [a["wall_seconds"] / b["wall_seconds"] for a, b in zip(new, old)]
    print(f"whole run, wall time new / old: {med(walls):.3f} "
          f"({', '.join(f'{w:.3f}' for w in walls)})")
EOF
