#!/usr/bin/env bash
# End-to-end throughput of the two datum jobs of vortan-transform against PROJ's cct on the same
# random points over the mainland, measured side by side in one run:
#   - sxyz-to-ggrs87 (four output files, grid correction) on 1 and on 2 threads, against the cct
#     pipeline Helmert -> geographic -> TM87;
#   - senh-to-htrs07 on 1 thread, against the reverse cct pipeline;
#   - convert --from htrs07-tm07 --to ggrs87-tm87 (one file, grid correction) on 1 thread,
#     against the cct pipeline TM07 -> geographic -> Helmert -> TM87 and against sxyz-to-ggrs87;
#   - every job and convert on one and on two threads: two threads at least 1.8x one;
#   - cct in its fastest mode, writing its file itself (cct -o FILE): that is the figure the
#     targets hold the jobs against. cct writing to its standard output flushes every line,
#     which costs it about a second per million points here; that figure is shown too, as a
#     second row, and is no target;
#   - the chains alone over the same points in memory (no parsing, no printing), the loading of
#     the two grids (the first load in a fresh process, as at a program's initial step; on one
#     thread and, as a job on several threads loads them, on two), and
#     the peak resident memory of the jobs;
#   - with --baseline, the same of another build (an earlier commit, whose vortan-bench-tool
#     has the same "compute" command) in the same rounds: its jobs on 1 and 2 threads, its
#     chains alone and, where both builds have the Python package, the batch call of
#     vortan.Transformer on 1,000,000 points, each beside this build's: a redesign holds them
#     within 3 %.
# Every measurement is repeated and the best kept: the machine may be shared and noisy, so the
# figures that count are the ratios of runs made side by side.
#
# Usage: bench/end-to-end.sh [--build DIR] [--baseline DIR] [--points N] [--repeat R] [--keep DIR]
#                           [--idle P]
#   --build DIR   build folder with bin/vortan-transform and bin/vortan-bench-tool
#                 (default: build-bench, then build, beside this script's project)
#   --baseline DIR  build folder of an earlier commit with bin/vortan-transform and
#                 bin/vortan-bench-tool (and python/ for the Python package): measured beside
#                 this build's (default: none)
#   --points N    number of random points (default 1000000)
#   --repeat R    rounds of measurements, the best run of each is kept (default 5; the
#                 sxyz-to-ggrs87 jobs and their chain alone run twice a round)
#   --keep DIR    write the points and outputs into DIR and keep them; DIR must be new or
#                 empty, so that nothing of the user's is overwritten or removed (default: a
#                 temporary folder, removed at the end)
#   --idle P      before each timed run, wait (up to a minute) until the processors have been
#                 at least P% idle for half a second: on a shared machine, runs then start
#                 while nobody else computes (default 0: no waiting)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=""
baseline=""
points=1000000
repeat=5
keep=""
idle=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --baseline) baseline="$2"; shift 2 ;;
    --points) points="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --keep) keep="$2"; shift 2 ;;
    --idle) idle="$2"; shift 2 ;;
    -h|--help) sed -n '2,34p' "$0"; exit 0 ;;
    *) echo "end-to-end.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$build" ]; then
  for b in "$here/build-bench" "$here/build"; do
    if [ -x "$b/bin/vortan-transform" ] && [ -x "$b/bin/vortan-bench-tool" ]; then build="$b"; break; fi
  done
fi
tool="$build/bin/vortan-transform"
helper="$build/bin/vortan-bench-tool"
for f in "$tool" "$helper"; do
  [ -x "$f" ] || { echo "end-to-end.sh: $f is missing (build the project, scripts/install-deps)" >&2; exit 1; }
done
baseHelper=""
baseTool=""
python=""
if [ -n "$baseline" ]; then
  baseHelper="$baseline/bin/vortan-bench-tool"
  baseTool="$baseline/bin/vortan-transform"
  for f in "$baseHelper" "$baseTool"; do
    [ -x "$f" ] || { echo "end-to-end.sh: $f is missing" >&2; exit 1; }
  done
  # The Python batch call of both builds, where both have the package.
  if compgen -G "$build/python/vortan/_vortan*.so" >/dev/null &&
     compgen -G "$baseline/python/vortan/_vortan*.so" >/dev/null; then
    python=/usr/bin/python3
  fi
fi
command -v cct >/dev/null || { echo "end-to-end.sh: cct is missing (package proj-bin)" >&2; exit 1; }

# The synthetic grids the build writes beside the programs, or those of the tests.
grids="$build/bin"
[ -f "$grids/dN_2km_V1-0.grd" ] || grids="$here/tests/data/reference/grids"
dn="$grids/dN_2km_V1-0.grd"
de="$grids/dE_2km_V1-0.grd"

if [ -n "$keep" ]; then
  # The run overwrites and removes files of fixed names in its folder: never in one that
  # already holds something.
  if [ -e "$keep" ] && { [ ! -d "$keep" ] || [ -n "$(ls -A "$keep")" ]; }; then
    echo "end-to-end.sh: --keep $keep: not a new or empty folder; name a folder that does not exist yet" >&2
    exit 2
  fi
  work="$keep"
  mkdir -p "$work"
else
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
fi

helmert="+proj=helmert +convention=coordinate_frame +x=203.437 +y=-73.461 +z=-243.594"
helmert="$helmert +rx=-0.170 +ry=-0.060 +rz=-0.151 +s=-0.294 +ellps=GRS80"
tm87="+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80"
tm07="+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=-2000000 +ellps=GRS80"
forward="+proj=pipeline +step $helmert +step +inv +proj=cart +ellps=GRS80 +step $tm87"
reverse="+proj=pipeline +step +inv $tm87 +step +proj=cart +ellps=GRS80 +step +inv $helmert"
reverse="$reverse +step +inv +proj=cart +ellps=GRS80 +step $tm07"
across="+proj=pipeline +step +inv $tm07 +step +proj=cart +ellps=GRS80 +step $helmert"
across="$across +step +inv +proj=cart +ellps=GRS80 +step $tm87"

echo "vortan end-to-end benchmark: $points points, best of $repeat runs$( [ "$idle" -gt 0 ] &&
  echo ", each started at $idle% idle processors or after a minute")"
echo "build $build, grids $grids$( [ -n "$baseline" ] && echo ", baseline $baseline")"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"\
     "load average at start $(cut -d' ' -f1-3 /proc/loadavg)"
"$helper" points "$points" 2007 "$work"

# Percentage of processor time idle over half a second.
idle_percent() {
  local a b
  a=($(head -1 /proc/stat))
  sleep 0.5
  b=($(head -1 /proc/stat))
  local total=0 i
  for i in 1 2 3 4 5 6 7 8; do total=$((total + b[i] - a[i])); done
  echo $(( total > 0 ? 100 * (b[4] + b[5] - a[4] - a[5]) / total : 100 ))
}
wait_idle() {
  [ "$idle" -gt 0 ] || return 0
  local tries=0
  while [ "$(idle_percent)" -lt "$idle" ] && [ $tries -lt 120 ]; do tries=$((tries + 1)); done
}

# Runs a command under "vortan-bench-tool time" (wall time to the microsecond: /usr/bin/time
# tells it to the hundredth only, a step of more than 2 % on the two-thread job) with its
# standard output into a file of the work folder (or "-" for none); keeps the best wall time
# and the largest peak memory. The files a run writes (out-*.txt in the work folder) are
# removed before it (untimed), so that no run pays for the file system dropping the files of
# the run before.
declare -A best peak
measure() {
  local name="$1" stdout="$2"; shift 2
  rm -f "$work"/out-*.txt
  [ "$stdout" = "-" ] && stdout=/dev/null
  sync
  wait_idle
  "$helper" time "$work/time.txt" "$@" >"$stdout" 2>"$work/stderr.txt" || {
    echo "end-to-end.sh: $name failed:" >&2; cat "$work/stderr.txt" >&2; exit 1; }
  local wall kb
  read -r wall kb < "$work/time.txt"
  if [ -z "${best[$name]:-}" ] || awk "BEGIN{exit !($wall < ${best[$name]})}"; then best[$name]=$wall; fi
  if [ -z "${peak[$name]:-}" ] || [ "$kb" -gt "${peak[$name]}" ]; then peak[$name]=$kb; fi
}
# Runs a helper that prints "seconds=S"; keeps the best.
measure_helper() {
  local name="$1"; shift
  local s
  wait_idle
  s="$("$@" | grep -o '\(^\| \)seconds=[0-9.]*' | head -1 | cut -d= -f2)"
  if [ -z "${best[$name]:-}" ] || awk "BEGIN{exit !($s < ${best[$name]})}"; then best[$name]=$s; fi
}

sxyz="$work/HTRS07-SXYZ.txt"
senh="$work/GGRS87-SENh.txt"
head -n 1000 "$sxyz" > "$work/small-SXYZ.txt"
# The same points in TM07, for convert and its cct pipeline.
tm07in="$work/HTRS07-SENh.txt"
"$tool" --threads 1 convert --from htrs07-xyz --to htrs07-tm07 "$sxyz" "$tm07in" 2>/dev/null
cut -d, -f2-4 "$tm07in" | tr , ' ' > "$work/cct-tm07.txt"
# The same points in latitude and longitude, for the two jobs without a datum step.
sflh07="$work/HTRS07-SFLh.txt"
sflh87="$work/GGRS87-SFLh.txt"
"$tool" --threads 1 convert --from htrs07-xyz --to htrs07-geographic "$sxyz" "$sflh07" 2>/dev/null
"$tool" --threads 1 --dn "$dn" --de "$de" convert --from htrs07-xyz --to ggrs87-geographic \
  "$sxyz" "$sflh87" 2>/dev/null
for ((r = 1; r <= repeat; ++r)); do
  # The one- and two-thread jobs and the chain alone carry the closest targets and the two-thread
  # run is the one another process on the machine disturbs most: they run twice a round,
  # alternating, so that each has as many chances as the others.
  for ((k = 0; k < 2; ++k)); do
    measure sxyz1 - "$tool" --threads 1 --dn "$dn" --de "$de" sxyz-to-ggrs87 "$sxyz" \
      "$work/out-HTRS07-SFLh.txt" "$work/out-HTRS07-SENk.txt" "$work/out-GGRS87-SFL.txt" \
      "$work/out-GGRS87-SEN.txt"
    for f in HTRS07-SFLh HTRS07-SENk GGRS87-SFL GGRS87-SEN; do mv "$work/out-$f.txt" "$work/1-$f.txt"; done
    measure sxyz2 - "$tool" --threads 2 --dn "$dn" --de "$de" sxyz-to-ggrs87 "$sxyz" \
      "$work/out-HTRS07-SFLh.txt" "$work/out-HTRS07-SENk.txt" "$work/out-GGRS87-SFL.txt" \
      "$work/out-GGRS87-SEN.txt"
    for f in HTRS07-SFLh HTRS07-SENk GGRS87-SFL GGRS87-SEN; do mv "$work/out-$f.txt" "$work/2-$f.txt"; done
    measure_helper sxyzCompute "$helper" compute sxyz-to-ggrs87 "$sxyz" "$dn" "$de" 1
    # cct writing its own file, the figure the target holds the job against, twice a round too.
    measure cctForward - cct -d 3 -o "$work/out-cct.txt" $forward "$work/cct-xyz.txt"
  done
  measure cctForwardStdout "$work/out-cct.txt" cct -d 3 $forward "$work/cct-xyz.txt"
  measure senh1 - "$tool" --threads 1 --dn "$dn" --de "$de" senh-to-htrs07 "$senh" \
    "$work/out-GGRS87-SFLh.txt" "$work/out-HTRS07-SFL.txt" "$work/out-HTRS07-SEN.txt"
  measure cctReverse - cct -d 3 -o "$work/out-cct.txt" $reverse "$work/cct-enh.txt"
  measure cctReverseStdout "$work/out-cct.txt" cct -d 3 $reverse "$work/cct-enh.txt"
  measure_helper senhCompute "$helper" compute senh-to-htrs07 "$senh" "$dn" "$de" 1
  measure convert1 - "$tool" --threads 1 --dn "$dn" --de "$de" convert --from htrs07-tm07 \
    --to ggrs87-tm87 "$tm07in" "$work/out-GGRS87-SENh.txt"
  measure cctAcross - cct -d 3 -o "$work/out-cct.txt" $across "$work/cct-tm07.txt"
  # Every other job and convert on one and on two threads, side by side.
  for t in 1 2; do
    [ "$t" = 2 ] && measure senh2 - "$tool" --threads 2 --dn "$dn" --de "$de" senh-to-htrs07 \
      "$senh" "$work/out-GGRS87-SFLh.txt" "$work/out-HTRS07-SFL.txt" "$work/out-HTRS07-SEN.txt"
    [ "$t" = 2 ] && measure convert2 - "$tool" --threads 2 --dn "$dn" --de "$de" convert \
      --from htrs07-tm07 --to ggrs87-tm87 "$tm07in" "$work/out-GGRS87-SENh.txt"
    measure "sflhSenh$t" - "$tool" --threads $t sflh-to-senh "$sflh87" "$work/out-GGRS87-SENh.txt"
    measure "sflhSxyz$t" - "$tool" --threads $t sflh-to-sxyz "$sflh07" "$work/out-HTRS07-SXYZ.txt"
  done
  if [ -n "$baseHelper" ]; then
    for ((k = 0; k < 2; ++k)); do
      for t in 1 2; do
        measure "baseSxyz$t" - "$baseTool" --threads $t --dn "$dn" --de "$de" sxyz-to-ggrs87 "$sxyz" \
          "$work/out-HTRS07-SFLh.txt" "$work/out-HTRS07-SENk.txt" "$work/out-GGRS87-SFL.txt" \
          "$work/out-GGRS87-SEN.txt"
        measure "baseSenh$t" - "$baseTool" --threads $t --dn "$dn" --de "$de" senh-to-htrs07 "$senh" \
          "$work/out-GGRS87-SFLh.txt" "$work/out-HTRS07-SFL.txt" "$work/out-HTRS07-SEN.txt"
        measure "senh$t" - "$tool" --threads $t --dn "$dn" --de "$de" senh-to-htrs07 "$senh" \
          "$work/out-GGRS87-SFLh.txt" "$work/out-HTRS07-SFL.txt" "$work/out-HTRS07-SEN.txt"
        measure "sxyz$t" - "$tool" --threads $t --dn "$dn" --de "$de" sxyz-to-ggrs87 "$sxyz" \
          "$work/out-HTRS07-SFLh.txt" "$work/out-HTRS07-SENk.txt" "$work/out-GGRS87-SFL.txt" \
          "$work/out-GGRS87-SEN.txt"
      done
    done
    if [ -n "$python" ]; then
      for b in "$baseline" "$build" "$baseline" "$build"; do
        name=pyBatch; [ "$b" = "$baseline" ] && name=basePyBatch
        measure_helper "$name" env PYTHONPATH="$b/python" "$python" -c '
import sys, time, numpy as np, vortan
n = 1000000
rng = np.random.default_rng(2007)
lat = np.radians(rng.uniform(35.0, 41.5, n)); lon = np.radians(rng.uniform(20.5, 26.5, n))
a, e2 = 6378137.0, 0.00669438002290
w = 1 / np.sqrt(1 - e2 * np.sin(lat) ** 2)
x = a * w * np.cos(lat) * np.cos(lon); y = a * w * np.cos(lat) * np.sin(lon)
z = a * w * (1 - e2) * np.sin(lat)
t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=sys.argv[1], de=sys.argv[2])
best = float("inf")
for _ in range(3):
    start = time.perf_counter()
    t.transform(x, y, z)
    best = min(best, time.perf_counter() - start)
print(f"seconds={best:.6f}")' "$dn" "$de"
      done
    fi
    measure_helper baseSxyzCompute "$baseHelper" compute sxyz-to-ggrs87 "$sxyz" "$dn" "$de" 1
    measure_helper baseSenhCompute "$baseHelper" compute senh-to-htrs07 "$senh" "$dn" "$de" 1
    measure_helper sxyzCompute "$helper" compute sxyz-to-ggrs87 "$sxyz" "$dn" "$de" 1
    measure_helper senhCompute "$helper" compute senh-to-htrs07 "$senh" "$dn" "$de" 1
  fi
  for ((g = 0; g < 3; ++g)); do
    measure_helper gridLoad "$helper" load-grids "$dn" "$de"
    measure_helper gridLoad2 "$helper" load-grids "$dn" "$de" 1 2
  done
  # The same job on 1000 points: the memory does not grow with the number of points.
  measure sxyzSmall - "$tool" --threads 1 --dn "$dn" --de "$de" sxyz-to-ggrs87 \
    "$work/small-SXYZ.txt" "$work/out-HTRS07-SFLh.txt" "$work/out-HTRS07-SENk.txt" \
    "$work/out-GGRS87-SFL.txt" "$work/out-GGRS87-SEN.txt"
  echo "run $r of $repeat done" >&2
done

# The two-thread files are those of one thread.
for f in HTRS07-SFLh HTRS07-SENk GGRS87-SFL GGRS87-SEN; do
  cmp -s "$work/1-$f.txt" "$work/2-$f.txt" || {
    echo "end-to-end.sh: $f.txt differs on 2 threads" >&2; exit 1; }
done
lines="$(wc -l < "$work/1-GGRS87-SEN.txt")"
[ "$lines" -eq "$points" ] || { echo "end-to-end.sh: $lines points written, not $points" >&2; exit 1; }

awk -v n="$points" \
    -v sxyz1="${best[sxyz1]}" -v sxyz2="${best[sxyz2]}" -v cctF="${best[cctForward]}" \
    -v cctFS="${best[cctForwardStdout]}" -v cctRS="${best[cctReverseStdout]}" \
    -v senh1="${best[senh1]}" -v cctR="${best[cctReverse]}" \
    -v sxyzC="${best[sxyzCompute]}" -v senhC="${best[senhCompute]}" -v grid="${best[gridLoad]}" \
    -v grid2="${best[gridLoad2]}" \
    -v baseSxyzC="${best[baseSxyzCompute]:-0}" -v baseSenhC="${best[baseSenhCompute]:-0}" \
    -v baseSxyz1="${best[baseSxyz1]:-0}" -v baseSxyz2="${best[baseSxyz2]:-0}" \
    -v baseSenh1="${best[baseSenh1]:-0}" -v baseSenh2="${best[baseSenh2]:-0}" \
    -v senh2="${best[senh2]:-0}" -v py="${best[pyBatch]:-0}" -v basePy="${best[basePyBatch]:-0}" \
    -v rss1="${peak[sxyz1]}" -v rss2="${peak[sxyz2]}" -v rssB="${peak[senh1]}" \
    -v rssS="${peak[sxyzSmall]}" -v conv1="${best[convert1]}" -v cctA="${best[cctAcross]}" \
    -v conv2="${best[convert2]}" -v fs1="${best[sflhSenh1]}" -v fs2="${best[sflhSenh2]}" \
    -v fx1="${best[sflhSxyz1]}" -v fx2="${best[sflhSxyz2]}" '
function pps(s) { return s > 0 ? n / s : 0 }
function verdict(ok) { return ok ? "met" : "NOT met" }
function row(name, s) { printf "%-62s %9.3f %14.0f\n", name, s, pps(s) }
function same(name, s, base) { printf "%-62s %9.3f %10s\n", name, s / base, verdict(s <= 1.03 * base) " (1.03)" }
BEGIN {
  printf "\n%-62s %9s %14s\n", "measurement (best run)", "seconds", "points/s"
  row("vortan-transform sxyz-to-ggrs87, 1 thread (4 files)", sxyz1)
  row("vortan-transform sxyz-to-ggrs87, 2 threads", sxyz2)
  row("cct -o FILE, Helmert + geographic + TM87 (1 file)", cctF)
  row("cct > stdout, the same (flushes every line; no target)", cctFS)
  row("sxyz-to-ggrs87 chain alone, 1 thread (in memory)", sxyzC)
  if (baseSxyzC > 0) row("sxyz-to-ggrs87 chain alone, baseline build", baseSxyzC)
  row("vortan-transform senh-to-htrs07, 1 thread (3 files)", senh1)
  row("cct -o FILE, reverse pipeline to TM07 (1 file)", cctR)
  row("cct > stdout, the same (no target)", cctRS)
  row("senh-to-htrs07 chain alone, 1 thread (in memory)", senhC)
  if (baseSenhC > 0) row("senh-to-htrs07 chain alone, baseline build", baseSenhC)
  row("vortan-transform convert htrs07-tm07 -> ggrs87-tm87, 1 thread", conv1)
  row("cct -o FILE, TM07 -> Helmert -> TM87 (1 file)", cctA)
  r1 = cctF / sxyz1; r2 = sxyz1 / sxyz2; share = (sxyz1 - sxyzC) / sxyz1
  rb = cctR / senh1; shareB = (senh1 - senhC) / senh1
  printf "\n%-62s %9s %10s\n", "target", "measured", ""
  if (baseSxyzC > 0) {
    cf = baseSxyzC / sxyzC; cb = baseSenhC / senhC
    printf "%-62s %8.2fx %10s\n", "forward chain alone vs baseline: at least 1.6x", cf, verdict(cf >= 1.6)
    printf "%-62s %8.2fx %10s\n", "back chain alone vs baseline: at least 1.6x", cb, verdict(cb >= 1.6)
    printf "\n%-62s %9s %10s\n", "against the baseline build (time over its time)", "measured", "at most"
    same("sxyz-to-ggrs87, 1 thread", sxyz1, baseSxyz1)
    same("sxyz-to-ggrs87, 2 threads", sxyz2, baseSxyz2)
    same("senh-to-htrs07, 1 thread", senh1, baseSenh1)
    same("senh-to-htrs07, 2 threads", senh2, baseSenh2)
    same("sxyz-to-ggrs87 chain alone", sxyzC, baseSxyzC)
    same("senh-to-htrs07 chain alone", senhC, baseSenhC)
    if (basePy > 0) same("Python batch call, 1,000,000 points", py, basePy)
    printf "\n"
  } else {
    printf "%-62s %9s\n", "chains alone vs baseline: at least 1.6x (no --baseline given)", "-"
  }
  printf "%-62s %8.2fx %10s\n", "sxyz-to-ggrs87 1 thread vs cct -o: at least 2x", r1, verdict(r1 >= 2)
  printf "%-62s %8.2fx %10s\n", "sxyz-to-ggrs87 2 threads vs 1 thread: at least 1.8x", r2, verdict(r2 >= 1.8)
  printf "%-62s %8.2fx %10s\n", "senh-to-htrs07 2 threads vs 1 thread: at least 1.8x", senh1 / senh2, verdict(senh1 / senh2 >= 1.8)
  printf "%-62s %8.2fx %10s\n", "sflh-to-senh 2 threads vs 1 thread: at least 1.8x", fs1 / fs2, verdict(fs1 / fs2 >= 1.8)
  printf "%-62s %8.2fx %10s\n", "sflh-to-sxyz 2 threads vs 1 thread: at least 1.8x", fx1 / fx2, verdict(fx1 / fx2 >= 1.8)
  printf "%-62s %8.2fx %10s\n", "convert tm07 -> tm87 2 threads vs 1 thread: at least 1.8x", conv1 / conv2, verdict(conv1 / conv2 >= 1.8)
  printf "%-62s %8.2fx %10s\n", "convert tm07 -> tm87 1 thread vs cct -o: at least 3x", cctA / conv1, verdict(cctA / conv1 >= 3)
  printf "%-62s %8.2fx %10s\n", "convert tm07 -> tm87 over sxyz-to-ggrs87 time: at most 1.2x", conv1 / sxyz1, verdict(conv1 / sxyz1 <= 1.2)
  printf "%-62s %8.1f%%\n", "sxyz-to-ggrs87: share outside the chain (no target)", 100 * share
  printf "%-62s %6.1f ms %10s\n", "loading both grids (408 x 422 values each): at most 30 ms", 1000 * grid, verdict(grid <= 0.030)
  printf "%-62s %6.1f ms\n", "the same on two threads, as a job on several threads loads them", 1000 * grid2
  printf "%-62s %5.1f MiB %10s\n", "peak resident, 1 thread: at most 32 MiB", rss1 / 1024, verdict(rss1 <= 32 * 1024)
  printf "%-62s %5.1f MiB %10s\n", "peak resident, 2 threads: at most 32 MiB", rss2 / 1024, verdict(rss2 <= 32 * 1024)
  printf "%-62s %5.1f MiB\n", "peak resident, 1 thread, 1000 points (flat in the points)", rssS / 1024
  printf "\n%-62s %8.2fx\n", "sxyz-to-ggrs87 1 thread vs cct > stdout (no target)", cctFS / sxyz1
  printf "%-62s %8.2fx\n", "senh-to-htrs07 1 thread vs cct -o (no target)", rb
  printf "%-62s %8.1f%%\n", "senh-to-htrs07: share outside the chain (no target)", 100 * shareB
  printf "%-62s %5.1f MiB\n", "senh-to-htrs07 peak resident, 1 thread", rssB / 1024
}'
