#!/usr/bin/python3
"""Record lines through Python against `vortan-transform convert`, and the Dask example on one
and on two workers, side by side in one run.

A record file of N random HTRS07 X, Y, Z points over the mainland (SXYZ, written by
vortan-bench-tool points) to GGRS87 TM87 E, N, h (SENh), every run in a child process of its
own so that its peak resident memory is its own:
  - convert: `vortan-transform --threads 1 convert` from file to file;
  - transform_chunks: Transformer(threads=1).transform_chunks on the open input file, each
    piece written to the output file as it comes (file to file, as convert);
  - transform_lines: the file's lines as a list of bytes (read before the clock starts; its
    memory counts) through Transformer(threads=1).transform_lines into a list of lines;
  - the Dask example (python/examples/dask_convert.py, convert_record_file) on a LocalCluster
    of 1 and of 2 worker processes, one thread each, the cluster started before the clock.
Each output is checked byte for byte against convert's. Each figure is the best of --repeat
runs, the runs of a round alternating; the figures that count are the ratios.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_lines_bench.py [--points N]
        [--repeat R] [--partitions P] [--build DIR] [--work DIR] [--dn FILE --de FILE]

The grids default to the synthetic pair the build writes beside the programs (build/bin).
"""

import argparse
import hashlib
import os
import pathlib
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent.parent
EXAMPLE = HERE / "python" / "examples" / "dask_convert.py"


def digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def machine_busy():
    """Processor seconds the whole machine has spent busy (not idle, not waiting) since boot."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:9]]
    return (sum(fields) - fields[3] - fields[4]) / os.sysconf("SC_CLK_TCK")


def run_child(command):
    """Runs a command; (wall seconds, its peak resident memory in MiB, its standard output)."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.PIPE)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit(f"python_lines_bench: {command[:4]}... failed ({child.returncode})")
    return seconds, usage.ru_maxrss / 1024, out.decode()


def child(args):
    """One measured run inside a child process; prints "seconds=S" of the timed part."""
    import vortan
    t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=args.dn, de=args.de, threads=1)
    output = pathlib.Path(args.output)
    if args.child == "chunks":
        start = time.perf_counter()
        with open(args.input, "rb") as f, open(output, "wb") as out:
            for piece in t.transform_chunks(f):
                out.write(piece)
        seconds = time.perf_counter() - start
    elif args.child == "lines":
        with open(args.input, "rb") as f:
            lines = f.read().splitlines(keepends=True)
        start = time.perf_counter()
        written = t.transform_lines(lines)
        seconds = time.perf_counter() - start
        del lines
        with open(output, "wb") as out:
            out.write(b"".join(written))
    else:  # dask on args.workers workers
        import runpy
        import shutil
        from distributed import Client, LocalCluster
        example = runpy.run_path(args.example, run_name="dask_convert")
        folder = output.with_suffix(".parts")
        shutil.rmtree(folder, ignore_errors=True)
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               host="127.0.0.1", dashboard_address="127.0.0.1:0",
                               silence_logs=40)
        with cluster, Client(cluster) as client:
            cpu = client.run(time.process_time)
            busy = machine_busy()
            start = time.perf_counter()
            parts = example["convert_record_file"](client, t, args.input, folder,
                                                   partitions=args.partitions)
            seconds = time.perf_counter() - start
            busy = machine_busy() - busy
            cpu = sum(t1 - cpu[w] for w, t1 in client.run(time.process_time).items())
        with open(output, "wb") as out:
            for name, _ in parts:
                out.write((folder / name).read_bytes())
        shutil.rmtree(folder)
        # What the workers computed against what the whole machine did meanwhile: on a shared
        # machine the difference is the other programs'.
        print(f"workers_cpu={cpu:.3f} machine_busy={busy:.3f}")
    print(f"seconds={seconds:.6f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--points", type=int, default=10_000_000)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--partitions", type=int, default=8)
    parser.add_argument("--build", default=str(HERE / "build"))
    parser.add_argument("--work", default="/tmp/vortan-python-lines-bench")
    parser.add_argument("--dn")
    parser.add_argument("--de")
    parser.add_argument("--example", default=str(EXAMPLE),
                        help="the Dask example to run (another version, for a comparison)")
    parser.add_argument("--child", choices=("chunks", "lines", "dask"), help=argparse.SUPPRESS)
    parser.add_argument("--workers", type=int, default=1, help=argparse.SUPPRESS)
    parser.add_argument("--input", help=argparse.SUPPRESS)
    parser.add_argument("--output", help=argparse.SUPPRESS)
    args = parser.parse_args()
    build = pathlib.Path(args.build)
    args.dn = args.dn or str(build / "bin" / "dN_2km_V1-0.grd")
    args.de = args.de or str(build / "bin" / "dE_2km_V1-0.grd")
    if args.child:
        return child(args)

    work = pathlib.Path(args.work) / str(args.points)
    work.mkdir(parents=True, exist_ok=True)
    source = work / "HTRS07-SXYZ.txt"
    if not source.exists():
        subprocess.run([str(build / "bin" / "vortan-bench-tool"), "points", str(args.points),
                        "2007", str(work)], check=True, stdout=subprocess.DEVNULL)
        for other in ("GGRS87-SENh.txt", "cct-xyz.txt", "cct-enh.txt"):  # not needed here
            (work / other).unlink(missing_ok=True)
    tool = str(build / "bin" / "vortan-transform")
    me = [sys.executable, __file__, "--dn", args.dn, "--de", args.de, "--input", str(source),
          "--partitions", str(args.partitions), "--example", args.example]
    runs = {
        "convert": [tool, "--threads", "1", "--dn", args.dn, "--de", args.de, "convert",
                    "--from", "htrs07-xyz", "--to", "ggrs87-tm87", str(source),
                    str(work / "convert.txt")],
        "transform_chunks": me + ["--child", "chunks", "--output", str(work / "chunks.txt")],
        "transform_lines": me + ["--child", "lines", "--output", str(work / "lines.txt")],
        "dask, 1 worker": me + ["--child", "dask", "--workers", "1",
                                "--output", str(work / "dask1.txt")],
        "dask, 2 workers": me + ["--child", "dask", "--workers", "2",
                                 "--output", str(work / "dask2.txt")],
    }
    load_start = " ".join(open("/proc/loadavg").read().split()[:3])
    best = {name: float("inf") for name in runs}
    peak = {name: 0.0 for name in runs}
    extra = {}
    for _ in range(args.repeat):
        for name, command in runs.items():
            wall, rss, out = run_child(command)
            values = dict(w.split("=") for w in out.split() if "=" in w)
            seconds = float(values.pop("seconds", wall))
            if seconds < best[name]:
                best[name] = seconds
                extra[name] = values
            peak[name] = max(peak[name], rss)
    expected = digest(work / "convert.txt")
    for name in ("chunks", "lines", "dask1", "dask2"):
        if digest(work / f"{name}.txt") != expected:
            sys.exit(f"python_lines_bench: {name}.txt differs from convert's output")
    for name in ("convert", "chunks", "lines", "dask1", "dask2"):
        (work / f"{name}.txt").unlink()

    load = " ".join(open("/proc/loadavg").read().split()[:3])
    print(f"python_lines_bench: {args.points} points, best of {args.repeat} runs, "
          f"{os.cpu_count()} cores, load average {load_start} at the start, {load} at the "
          "end; every output is convert's byte for byte")
    for name in runs:
        line = f"{name:<18} {best[name]:8.2f} s  peak {peak[name]:7.0f} MiB"
        if "workers_cpu" in extra.get(name, {}):
            e = extra[name]
            line += (f"  workers computed {float(e['workers_cpu']):.2f} s; the machine was busy "
                     f"{float(e['machine_busy']):.2f} of {os.cpu_count() * best[name]:.2f} "
                     "processor-seconds")
        print(line)
    c = best["convert"]
    print(f"transform_chunks against convert: {best['transform_chunks'] / c:.2f} x  "
          f"(target <= 1.5, peak <= 200 MB)")
    print(f"transform_lines against convert: {best['transform_lines'] / c:.2f} x")
    print(f"dask, 2 workers against 1 worker: "
          f"{best['dask, 1 worker'] / best['dask, 2 workers']:.2f} x  (target >= 1.7)")


if __name__ == "__main__":
    main()
