#!/usr/bin/python3
"""The official chains across a Dask cluster.

1. A large record file in byte ranges: each partition reads its range on a worker, goes
   through Transformer.transform_chunks (the engine's job frame on the worker's one thread, in
   little memory) and is written as one part file as the lines come; the part files,
   concatenated in order, are byte for byte what `vortan-transform convert` writes.
2. With --frame, a CSV file as a Dask dataframe: three columns converted into three new ones,
   one CSV part file per partition.

The Transformer is sent to the workers once, with the values of its grids: the workers need
no grid file, only the package vortan. Each task computes on one thread (--threads 1, a
worker's thread per core): more workers, not more threads per task. The input file and the output folder must be visible
to every worker under the same path (a shared or network folder).

The output folder must be empty or new (--overwrite: its old part files are replaced). Every
part is written under a temporary name and takes its name part-NNNNN only when every partition
has succeeded; a point that fails stops the run with the first failed point in the file, exit
status 3 (outside the grid) or 1 (any other failure), and leaves the folder as it was.

    # on one machine, a local cluster of two worker processes
    dask_convert.py --dn dN_2km_V1-0.grd --de dE_2km_V1-0.grd \\
        --from htrs07-xyz --to ggrs87-tm87 HTRS07-SXYZ.txt parts/
    cat parts/part-*.txt > GGRS87-SENh.txt

    # on a cluster (docs/scaling.md): dask scheduler; dask worker tcp://HOST:8786 elsewhere
    dask_convert.py --scheduler tcp://HOST:8786 ...
"""

import argparse
import math
import os
import pathlib
import sys
import uuid

import dask
import dask.dataframe
import numpy as np

import vortan


class Stopped(Exception):
    """A run that wrote no part file: the message says why, status is the exit status."""

    def __init__(self, message, status=1):
        super().__init__(message)
        self.status = status


def record_blocks(path, partitions):
    """(offset, length) of about `partitions` byte ranges of a record file. Each task converts
    the lines that begin in its range, the engine reading them from the file itself, so that no
    line travels between processes and no partition is held in memory (a record must not span
    the cut: one record per line, as the tools write)."""
    size = os.path.getsize(path)
    partitions = max(1, partitions)
    bounds = [size * i // partitions for i in range(partitions + 1)]
    return [(start, end - start) for start, end in zip(bounds, bounds[1:])]


_PIECE = 1 << 20  # bytes a task reads at a time


def _line_start(f, offset):
    """Where the first line that begins at or after offset begins: 0 for offset 0, else just
    after the first LF at or after it (the end of the file where there is none)."""
    if offset == 0:
        return 0
    f.seek(offset)
    position = offset
    while True:
        piece = f.read(1 << 16)
        if not piece:
            return position
        found = piece.find(b"\n")
        if found >= 0:
            return position + found + 1
        position += len(piece)


def _lines_before(path, offset):
    """Lines of the file before the block at offset, as the record reader counts them (CR LF,
    CR or LF ends a line): only for the message of a failed point."""
    count, last = 0, b""
    with open(path, "rb") as f:
        left = _line_start(f, offset)
        f.seek(0)
        while left > 0:
            piece = f.read(min(left, _PIECE))
            if not piece:
                break
            left -= len(piece)
            count += piece.count(b"\n") + piece.count(b"\r") - piece.count(b"\r\n")
            if last == b"\r" and piece[:1] == b"\n":
                count -= 1  # a CR LF cut between two pieces
            last = piece[-1:]
    return count


def prepare_folder(folder, overwrite=False):
    """The output folder, made where it does not exist; one that holds anything is refused
    unless overwrite (its part files are then replaced once the new ones are complete)."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    present = sorted(p.name for p in folder.iterdir())
    if present and not overwrite:
        raise Stopped(f"{folder} is not empty (it holds {present[0]}"
                      f"{f' and {len(present) - 1} more' if len(present) > 1 else ''}): give a "
                      "new or empty folder, or --overwrite to replace its part files")
    return folder


def _temporary(folder, index, token):
    return pathlib.Path(folder) / f".part-{index:05d}.{token}.tmp"


def _point_failure(e):
    """(exit status, what happened) of the point that stopped a partition, as the text that
    follows its place in the input."""
    if isinstance(e, vortan.OutsideGridError):
        point = f" (point {e.point_id})" if e.point_id else ""
        return 3, f"{point}: the point lies outside the correction grid"
    if isinstance(e, vortan.OutOfRangeError):
        return 1, f": the point has a {e.fault}, which is no point of the Earth"
    if isinstance(e, vortan.NumericFaultError):
        if e.fault == "infinite coordinate":
            return 1, ": the point has an infinite coordinate"
        return 1, (f": numeric fault ({e.fault}), the point lies far outside the area the "
                   "conversion serves")
    return 1, (f", field {e.field}" if e.field else "") + f": {e.reason or e}"


def _write_part(data, folder, index, token):
    path = _temporary(folder, index, token)
    try:
        path.write_bytes(data)
    except OSError as e:
        path.unlink(missing_ok=True)
        return {"index": index, "failure": (1, f"{path} cannot be written: {e.strerror}")}
    return {"index": index, "temporary": path.name}


def _convert_block_part(path, offset, length, transformer, folder, index, token):
    """One partition of a record file: its part under a temporary name, or its first failure.
    The engine reads the partition's lines from the file and writes the part itself
    (transform_file on a part of the file), as the tool does: no byte passes through Python."""
    temporary = _temporary(folder, index, token)
    with open(path, "rb") as f:
        start = _line_start(f, offset)
        end = _line_start(f, offset + length)
    try:
        written = transformer.transform_file(path, temporary, offset=start, length=end - start)
    except (vortan.OutsideGridError, vortan.JobError) as e:
        if not e.line:  # the part file could not be written, say: no point is at fault
            temporary.unlink(missing_ok=True)
            return {"index": index, "failure": (1, str(e))}
        temporary.unlink(missing_ok=True)
        return {"index": index, "before": _lines_before(path, offset), "at": e.line,
                "failure": _point_failure(e)}
    except OSError as e:
        temporary.unlink(missing_ok=True)
        return {"index": index, "failure": (1, f"{temporary} cannot be written: {e.strerror}")}
    return {"index": index, "temporary": temporary.name, "lines": written}


def _finish(client, tasks, folder, token, where, suffix, overwrite):
    """Runs the partitions to their end; renames the parts when every one succeeded, else
    removes them and raises Stopped for the first failure in input order."""
    import distributed
    futures = client.compute(tasks)
    distributed.wait(futures)  # every task has ended: no part is written after the clean-up
    try:
        results = sorted(client.gather(futures), key=lambda r: r["index"])
    except Exception:
        for path in pathlib.Path(folder).glob(f".part-*.{token}.tmp"):
            path.unlink(missing_ok=True)
        raise
    failed = [r for r in results if "failure" in r]
    if failed:
        for r in results:
            if "temporary" in r:
                (pathlib.Path(folder) / r["temporary"]).unlink(missing_ok=True)
        first = failed[0]
        status, what = first["failure"]
        if "at" in first:
            before = first.get("before")
            if before is None:
                before = sum(r["count"] for r in results[:results.index(first)])
            what = where(before + first["at"]) + what
        raise Stopped(f"{what}. Nothing was written to {folder}.", status)
    folder = pathlib.Path(folder)
    if overwrite:
        for old in folder.glob("part-*"):
            old.unlink()
    parts = []
    for r in results:
        name = f"part-{r['index']:05d}{suffix}"
        os.replace(folder / r["temporary"], folder / name)
        parts.append((name, r.get("lines", r.get("count"))))
    return parts


def convert_record_file(client, transformer, path, folder, partitions=8, overwrite=False):
    """Converts a record file on the cluster into part files in folder, whose concatenation in
    name order is the tool's output. Returns [(part name, lines)] in order; raises Stopped
    (nothing written) for a folder that is not empty or for the first point that fails."""
    folder = prepare_folder(folder, overwrite)
    token = uuid.uuid4().hex[:12]
    shared = client.scatter(transformer, broadcast=True)  # once per worker, grids included
    tasks = [dask.delayed(_convert_block_part)(os.fspath(path), offset, length, shared,
                                               os.fspath(folder), i, token)
             for i, (offset, length) in enumerate(record_blocks(path, partitions))]
    return _finish(client, tasks, folder, token, lambda line: f"{path}, line {line}", ".txt",
                   overwrite)


def _convert_frame(frame, transformer, columns, outputs):
    values = transformer.transform(*(frame[c].to_numpy() for c in columns))
    out = frame.copy()
    for name, v in zip(outputs, values):
        out[name] = v
    return out


def convert_dataframe(frame, transformer, columns, outputs):
    """A Dask dataframe with the converted coordinates of `columns` in new columns `outputs`
    (NaN where a point fails)."""
    meta = frame._meta.assign(**{name: np.float64() for name in outputs})
    return frame.map_partitions(_convert_frame, transformer, list(columns), list(outputs),
                                meta=meta)


def _convert_frame_part(frame, transformer, columns, outputs, folder, index, token):
    """One partition of the dataframe: its CSV part under a temporary name, or its first
    failed point (a NaN of a point that has its values is a failure here)."""
    try:
        values = transformer.transform(*(frame[c].to_numpy() for c in columns), errcheck=True)
    except TypeError as e:  # a column that is not all numbers
        return {"index": index, "failure": (1, f"columns {', '.join(columns)}: {e}")}
    except vortan.VortanError as e:
        status, what = _point_failure(e)
        given = ", ".join(f"{c} {frame[c].iloc[e.index]!r}" for c in columns)
        return {"index": index, "count": len(frame), "at": e.index + 1,
                "failure": (status, f" ({given}){what}")}
    out = frame.copy()
    for name, v in zip(outputs, values):
        out[name] = v
    result = _write_part(out.to_csv(index=False).encode(), folder, index, token)
    result.update(count=len(frame))
    return result


def convert_frame_file(client, transformer, path, folder, columns, outputs, partitions=8,
                       overwrite=False):
    """Converts the columns of a CSV file with a header into new columns, one CSV part file
    per partition. Returns [(part name, rows)]; raises Stopped as convert_record_file."""
    folder = prepare_folder(folder, overwrite)
    token = uuid.uuid4().hex[:12]
    size = os.path.getsize(path)
    frame = dask.dataframe.read_csv(path, blocksize=max(1, math.ceil(size / partitions)))
    missing = [c for c in columns if c not in frame.columns]
    if missing:
        raise Stopped(f"{path} has no column {missing[0]!r} (its columns: "
                      f"{', '.join(map(str, frame.columns))})")
    shared = client.scatter(transformer, broadcast=True)
    tasks = [dask.delayed(_convert_frame_part)(p, shared, list(columns), list(outputs),
                                               os.fspath(folder), i, token)
             for i, p in enumerate(frame.to_delayed())]
    return _finish(client, tasks, folder, token, lambda row: f"{path}, data row {row}", ".csv",
                   overwrite)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", help="record file of the input form (or, with --frame, a CSV "
                        "file with a header)")
    parser.add_argument("folder", help="folder for the part files: new or empty")
    parser.add_argument("--from", dest="from_form", required=True, choices=vortan.FORMS)
    parser.add_argument("--to", dest="to_form", required=True, choices=vortan.FORMS)
    parser.add_argument("--region", default="mainland", choices=vortan.REGIONS)
    parser.add_argument("--dn", default=vortan.DN_GRID_FILE)
    parser.add_argument("--de", default=vortan.DE_GRID_FILE)
    parser.add_argument("--keep-heights", action="store_true")
    parser.add_argument("--partitions", type=int, default=8)
    parser.add_argument("--threads", type=int, default=1,
                        help="threads of each task (default 1: a worker runs a task per core)")
    parser.add_argument("--frame", metavar="A,B,C,OUT_A,OUT_B,OUT_C",
                        help="read the input as a CSV dataframe and convert its columns A, B, C "
                        "into new columns (decimal degrees for latitude and longitude)")
    parser.add_argument("--overwrite", action="store_true",
                        help="replace the part files of an earlier run in the folder, once the "
                        "new ones are complete")
    parser.add_argument("--scheduler", help="address of a running scheduler (default: a local "
                        "cluster of two worker processes)")
    args = parser.parse_args()
    names = args.frame.split(",") if args.frame else None
    if names is not None and len(names) != 6:
        parser.error("--frame takes six column names")

    from distributed import Client, LocalCluster
    try:
        prepare_folder(args.folder, args.overwrite)  # before a cluster is started for nothing
        transformer = vortan.Transformer(args.from_form, args.to_form, region=args.region,
                                         dn=args.dn, de=args.de,
                                         keep_heights=args.keep_heights, threads=args.threads)
        if args.scheduler:
            client = Client(args.scheduler)
        else:
            client = Client(LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                         host="127.0.0.1", dashboard_address="127.0.0.1:0"))
        with client:
            if names:
                parts = convert_frame_file(client, transformer, args.input, args.folder,
                                           names[:3], names[3:], args.partitions,
                                           args.overwrite)
                unit = "rows"
            else:
                parts = convert_record_file(client, transformer, args.input, args.folder,
                                            args.partitions, args.overwrite)
                unit = "lines"
    except Stopped as e:
        print(f"dask_convert.py: {e}", file=sys.stderr)
        return e.status
    except (OSError, ValueError) as e:
        print(f"dask_convert.py: {e}", file=sys.stderr)
        return 1
    for name, count in parts:
        print(f"{name}: {count} {unit}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
