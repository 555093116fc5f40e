#!/usr/bin/python3
"""The official chains across a Dask cluster.

1. A large record file as a Dask bag of lines: each partition goes through
   Transformer.transform_lines on a worker and is written as one part file; the part files,
   concatenated in order, are byte for byte what `vortan-transform convert` writes.
2. A Dask dataframe of coordinates through map_partitions.

The Transformer is sent to the workers once, with the values of its grids: the workers need
no grid file, only the package vortan. The record file and the output folder must be visible
to every worker under the same path (a shared or network folder) for part 1.

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

import dask
import dask.bag
import dask.bytes
import dask.dataframe
import numpy as np

import vortan


def _lines(block):
    return block.splitlines(keepends=True)


def record_bag(path, partitions):
    """The lines of a record file as a bag of bytes lines in about `partitions` partitions, cut
    at line ends (a record must not span the cut: one record per line, as the tools write)."""
    size = os.path.getsize(path)
    blocksize = max(1, size // partitions)
    _, blocks = dask.bytes.read_bytes(os.fspath(path), delimiter=b"\n", blocksize=blocksize)
    return dask.bag.from_delayed([dask.delayed(_lines)(block) for block in blocks[0]])


def _convert_partition(lines, transformer):
    return transformer.transform_lines(list(lines))


def _write_partition(lines, folder, index):
    path = pathlib.Path(folder) / f"part-{index:05d}.txt"
    data = b"".join(lines)
    path.write_bytes(data)
    return [(path.name, len(lines))]


def convert_record_file(client, transformer, path, folder, partitions=8):
    """Converts a record file on the cluster into part files in folder, whose concatenation in
    name order is the tool's output. Returns [(part name, lines)] in order."""
    pathlib.Path(folder).mkdir(parents=True, exist_ok=True)
    shared = client.scatter(transformer, broadcast=True)  # once per worker, grids included
    converted = record_bag(path, partitions).map_partitions(_convert_partition, shared)
    parts = [dask.delayed(_write_partition)(p, os.fspath(folder), i)
             for i, p in enumerate(converted.to_delayed())]
    return [item for written in client.compute(parts, sync=True) for item in written]


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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("input", help="record file of the input form (or, with --frame, a CSV "
                        "file with a header)")
    parser.add_argument("folder", help="folder for the part files")
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
    parser.add_argument("--scheduler", help="address of a running scheduler (default: a local "
                        "cluster of two worker processes)")
    args = parser.parse_args()

    from distributed import Client, LocalCluster
    transformer = vortan.Transformer(args.from_form, args.to_form, region=args.region,
                                     dn=args.dn, de=args.de, keep_heights=args.keep_heights,
                                     threads=args.threads)
    if args.scheduler:
        client = Client(args.scheduler)
    else:
        client = Client(LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                     host="127.0.0.1", dashboard_address="127.0.0.1:0"))
    with client:
        if args.frame:
            names = args.frame.split(",")
            if len(names) != 6:
                parser.error("--frame takes six column names")
            size = os.path.getsize(args.input)
            frame = dask.dataframe.read_csv(args.input,
                                            blocksize=max(1, math.ceil(size / args.partitions)))
            shared = client.scatter(transformer, broadcast=True)
            out = convert_dataframe(frame, shared, names[:3], names[3:])
            pathlib.Path(args.folder).mkdir(parents=True, exist_ok=True)
            for name in out.to_csv(os.path.join(args.folder, "part-*.csv"), index=False):
                print(name)
        else:
            parts = convert_record_file(client, transformer, args.input, args.folder,
                                        args.partitions)
            for name, lines in parts:
                print(f"{name}: {lines} lines")


if __name__ == "__main__":
    main()
