#!/usr/bin/env bash
# The chains on vector lanes in memory, against PROJ's pipelines and against the plain routines,
# measured side by side in one run of vortan_core_bench: its benchmarks repeated in random
# order (so that a busy stretch of a shared machine falls on all of them alike), the median of
# each kept, and the targets' ratios printed:
#   - HTRS07 X, Y, Z -> GGRS87 TM87 with the grid (BM_InMemoryForward/1), one thread, against
#     PROJ's Helmert + inverse cart + tmerc pipeline without grid (BM_ProjInMemoryForward);
#   - the back chain, TM87 -> HTRS07 X, Y, Z with the grid (BM_InMemoryBack/1), against PROJ's
#     inverse pipeline (BM_ProjInMemoryBack);
#   - the chains alone on blocks of 16 points (BM_ChainBlock), the lanes against the plain
#     routines, forward and back;
#   - with --targets, the same of every narrower vector target the processor runs
#     (VORTAN_SIMD=AVX2, SSE4), beside the widest.
#
# Usage: bench/lanes-bench.sh [--build DIR] [--repeat R] [--targets]
#   --build DIR   build folder with bin/vortan_core_bench (default: build beside this script)
#   --repeat R    repetitions of each benchmark (default 7)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build"
repeat=7
targets=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --targets) targets=1; shift ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "lanes-bench: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
bench="$build/bin/vortan_core_bench"
if [ ! -x "$bench" ]; then
  echo "lanes-bench: $bench is missing: build the project first (cmake --build $build)" >&2
  exit 1
fi

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

run() {  # run NAME FILTER [VORTAN_SIMD]
  VORTAN_SIMD="${3:-}" "$bench" --benchmark_filter="$2" --benchmark_min_time=0.5 \
    --benchmark_repetitions="$repeat" --benchmark_enable_random_interleaving=true \
    --benchmark_format=json >"$out/$1.json" 2>/dev/null
}

echo "vortan lanes benchmark: medians of $repeat repetitions in random order"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load average at start $(cut -d' ' -f1-3 /proc/loadavg)"
run widest 'InMemory|ChainBlock'
if [ "$targets" = 1 ]; then
  for t in AVX2 SSE4; do run "$t" 'ChainBlock|InMemoryForward/1|InMemoryBack/1' "$t"; done
fi

/usr/bin/python3 - "$out" "$targets" <<'PY'
import json
import pathlib
import statistics
import sys

folder, targets = pathlib.Path(sys.argv[1]), sys.argv[2] == "1"


def medians(name):
    path = folder / f"{name}.json"
    runs, labels = {}, {}
    for b in json.loads(path.read_text())["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        runs.setdefault(b["run_name"], []).append(b["items_per_second"])
        labels[b["run_name"]] = b.get("label", "")
    return {k: statistics.median(v) for k, v in runs.items()}, labels


m, labels = medians("widest")
target = labels.get("BM_InMemoryForward/1", "?")
fwd = "BM_ChainBlock<Form::kHtrs07Xyz>"
back = "BM_ChainBlock<Form::kGgrs87Tm87>"
print(f"target that ran: {target}\n")
print(f"{'measurement (median)':<62}{'points/s':>14}")
for name in ["BM_InMemoryForward/1", "BM_InMemoryForward/0", "BM_ProjInMemoryForward",
             "BM_InMemoryBack/1", "BM_InMemoryBack/0", "BM_ProjInMemoryBack",
             f"{fwd}/1", f"{fwd}/0", f"{back}/1", f"{back}/0"]:
    if name in m:
        label = f" ({labels[name]})" if labels.get(name) else ""
        print(f"{name + label:<62}{m[name]:>14,.0f}")


def row(text, ratio, goal):
    print(f"{text:<62}{ratio:>7.2f}x {'met' if ratio >= goal else 'NOT met'}")


print(f"\n{'target':<62}{'measured':>8}")
if "BM_ProjInMemoryForward" in m:
    row("in memory, X, Y, Z -> TM87, 1 thread vs PROJ: at least 2x",
        m["BM_InMemoryForward/1"] / m["BM_ProjInMemoryForward"], 2.0)
    row("back chain, TM87 -> X, Y, Z, 1 thread vs PROJ: at least 1.5x",
        m["BM_InMemoryBack/1"] / m["BM_ProjInMemoryBack"], 1.5)
else:
    print("(this build has no PROJ beside it: no comparison with PROJ)")
row("chain forward alone, lanes vs plain: at least 2.5x", m[f"{fwd}/1"] / m[f"{fwd}/0"], 2.5)
row("chain back alone, lanes vs plain: at least 2.5x", m[f"{back}/1"] / m[f"{back}/0"], 2.5)
print(f"\n{'beside them (no target)':<62}")
print(f"{'in memory forward, lanes vs plain':<62}"
      f"{m['BM_InMemoryForward/1'] / m['BM_InMemoryForward/0']:>7.2f}x")
print(f"{'in memory back, lanes vs plain':<62}"
      f"{m['BM_InMemoryBack/1'] / m['BM_InMemoryBack/0']:>7.2f}x")
if targets:
    for t in ["AVX2", "SSE4"]:
        if not (folder / f"{t}.json").exists():
            continue
        n, lab = medians(t)
        if lab.get(f"{fwd}/1") != t:
            print(f"{t}: not run by this processor")
            continue
        print(f"{t}: chain forward {n[f'{fwd}/1'] / n[f'{fwd}/0']:.2f}x, back "
              f"{n[f'{back}/1'] / n[f'{back}/0']:.2f}x the plain routines; in memory "
              f"{n['BM_InMemoryForward/1'] / m['BM_InMemoryForward/1']:.2f}x and "
              f"{n['BM_InMemoryBack/1'] / m['BM_InMemoryBack/1']:.2f}x {target}'s speed")
PY
