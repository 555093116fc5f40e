#!/usr/bin/python3
"""Speed of the Python package against pyproj, side by side in one run.

1,000,000 random HTRS07 X, Y, Z points over the mainland (numpy arrays) to GGRS87 TM87 E, N, h:
  - vortan.Transformer("htrs07-xyz", "ggrs87-tm87").transform on 1 and on 2 threads (the whole
    chain with the grid correction);
  - the engine's batch call alone on the same arrays and the same worker pool, timed inside
    the module (what the binding adds is the difference);
  - pyproj's Transformer on the pipeline Helmert (coordinate frame) -> inverse cart -> tmerc
    TM87, a smaller pipeline without grid, on one thread (PROJ computes on the calling thread);
  - the back chain, GGRS87 TM87 E, N, h of the same points to HTRS07 X, Y, Z, on one thread,
    against pyproj's inverse pipeline;
  - both chains of ours on one thread also with the plain routines instead of the processor's
    vector lanes (what VORTAN_SIMD=off runs).
Each measurement is the best of several runs, the runs of a round alternating; the figures that
count are the ratios.

    PYTHONPATH=build-py/python /usr/bin/python3 bench/python_bench.py [--points N]
        [--repeat R] [--idle P] [--dn FILE --de FILE]

--idle P waits (up to a minute) before each run until the processors have been at least P %
idle for half a second. The grids default to the synthetic pair of tests/data/reference/grids.
"""

import argparse
import os
import pathlib
import time

import numpy as np
import pyproj

import vortan

HERE = pathlib.Path(__file__).resolve().parent.parent
GRIDS = HERE / "tests" / "data" / "reference" / "grids"

HELMERT = ("+proj=helmert +convention=coordinate_frame +x=203.437 +y=-73.461 +z=-243.594 "
           "+rx=-0.170 +ry=-0.060 +rz=-0.151 +s=-0.294 +ellps=GRS80")
TM87 = "+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80"
PIPELINE = f"+proj=pipeline +step {HELMERT} +step +inv +proj=cart +ellps=GRS80 +step {TM87}"
INVERSE = f"+proj=pipeline +step +inv {TM87} +step +proj=cart +ellps=GRS80 +step +inv {HELMERT}"


def idle_percent():
    def sample():
        with open("/proc/stat") as f:
            fields = [int(v) for v in f.readline().split()[1:9]]
        return fields[3] + fields[4], sum(fields)
    idle0, total0 = sample()
    time.sleep(0.5)
    idle1, total1 = sample()
    return 100.0 * (idle1 - idle0) / max(1, total1 - total0)


def wait_idle(percent):
    if percent <= 0:
        return
    deadline = time.monotonic() + 60
    while idle_percent() < percent and time.monotonic() < deadline:
        pass


def points(count, grids):
    """Random HTRS07 X, Y, Z: TM07 positions drawn uniformly over the grid extent with a margin
    (E 60 km to 860 km, N - FN 3870 km to 4630 km), heights -60 m to 2900 m, in random order,
    turned into X, Y, Z by the engine."""
    rng = np.random.default_rng(2007)
    e = rng.uniform(60_000, 860_000, count)
    n = rng.uniform(3_870_000, 4_630_000, count) - 2_000_000
    h = rng.uniform(-60, 2900, count)
    to_xyz = vortan.Transformer("htrs07-tm07", "htrs07-xyz", dn=grids[0], de=grids[1])
    return to_xyz.transform(e, n, h)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--idle", type=float, default=0)
    parser.add_argument("--dn", default=str(GRIDS / vortan.DN_GRID_FILE))
    parser.add_argument("--de", default=str(GRIDS / vortan.DE_GRID_FILE))
    args = parser.parse_args()

    x, y, z = points(args.points, (args.dn, args.de))
    ours = {threads: vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=args.dn, de=args.de,
                                        threads=threads, vector_lanes=True)
            for threads in (1, 2)}
    proj = pyproj.Transformer.from_pipeline(PIPELINE)
    proj_back = pyproj.Transformer.from_pipeline(INVERSE)
    back = vortan.Transformer("ggrs87-tm87", "htrs07-xyz", dn=args.dn, de=args.de, threads=1,
                              vector_lanes=True)
    e87, n87, h87 = ours[1].transform(x, y, z)
    target = vortan._vortan.vector_target()

    def plain(run, transformer):
        def timed():
            transformer._engine.vector_lanes = False
            try:
                return run()
            finally:
                transformer._engine.vector_lanes = True
        return timed

    runs = {
        "vortan, 1 thread": lambda: ours[1].transform(x, y, z),
        "vortan, 2 threads": lambda: ours[2].transform(x, y, z),
        "batch call alone, 1 thread": lambda: ours[1]._engine._time_batch(x, y, z),
        "batch call alone, 2 threads": lambda: ours[2]._engine._time_batch(x, y, z),
        "pyproj, smaller pipeline, 1 thread": lambda: proj.transform(x, y, z),
        "vortan back, 1 thread": lambda: back.transform(e87, n87, h87),
        "pyproj inverse pipeline, 1 thread": lambda: proj_back.transform(e87, n87, h87),
    }
    if target != "none":
        runs["vortan, 1 thread, plain routines"] = plain(runs["vortan, 1 thread"], ours[1])
        runs["vortan back, 1 thread, plain routines"] = plain(runs["vortan back, 1 thread"],
                                                              back)
    # Both compute: the difference is about the grid correction (a few tens of centimetres).
    e, n, _ = ours[1].transform(x, y, z)
    pe, pn, _ = proj.transform(x, y, z)
    assert not np.isnan(e).any(), "points outside the grid"
    difference = float(np.max(np.hypot(e - pe, n - pn)))

    best = {name: float("inf") for name in runs}
    for _ in range(args.repeat):
        for name, run in runs.items():
            wait_idle(args.idle)
            start = time.perf_counter()
            inner = run()
            elapsed = time.perf_counter() - start
            if name.startswith("batch call alone"):
                elapsed = inner  # the module's own timing of the batch call
            best[name] = min(best[name], elapsed)

    print(f"python_bench: {args.points} points, best of {args.repeat} runs, "
          f"{os.cpu_count()} cores, load average at the end "
          f"{' '.join(open('/proc/loadavg').read().split()[:3])}")
    print(f"numpy {np.__version__}, pyproj {pyproj.__version__} (PROJ {pyproj.proj_version_str}); "
          f"vector lanes: {target}")
    print(f"largest difference vortan - pyproj pipeline: {difference:.3f} m (the grid correction)")
    for name, seconds in best.items():
        print(f"{name:<38} {seconds:8.3f} s {args.points / seconds:12,.0f} points/s")
    p = best["pyproj, smaller pipeline, 1 thread"]
    print(f"vortan 2 threads against pyproj 1 thread: {p / best['vortan, 2 threads']:.2f} x"
          "  (target >= 1)")
    print(f"vortan 1 thread against pyproj 1 thread: {p / best['vortan, 1 thread']:.2f} x"
          "  (target >= 2)")
    pb = best["pyproj inverse pipeline, 1 thread"]
    print(f"vortan back chain against pyproj's inverse, 1 thread: "
          f"{pb / best['vortan back, 1 thread']:.2f} x  (target >= 1.5)")
    if target != "none":
        for name in ("vortan", "vortan back"):
            lanes = best[f"{name}, 1 thread"]
            print(f"{name}, the lanes ({target}) against the plain routines: "
                  f"{best[f'{name}, 1 thread, plain routines'] / lanes:.2f} x")
    for threads in (1, 2):
        s = "s" if threads > 1 else ""
        ours_s = best[f"vortan, {threads} thread{s}"]
        alone = best[f"batch call alone, {threads} thread{s}"]
        print(f"binding over the batch call, {threads} thread{s}: "
              f"{100 * (ours_s - alone) / alone:+.1f} %  (target <= 5 %)")


if __name__ == "__main__":
    main()
