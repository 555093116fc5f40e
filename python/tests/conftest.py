"""What the tests of the package share: the command-line tool, the reference files, the grids,
and reading record files."""

import csv
import io
import os
import pathlib
import subprocess

import numpy as np
import pytest

CLI = os.environ.get("VORTAN_CLI", "vortan-transform")
REFERENCE = pathlib.Path(os.environ.get(
    "VORTAN_REFERENCE", pathlib.Path(__file__).resolve().parents[2] / "tests/data/reference"))
EXAMPLES = pathlib.Path(os.environ.get(
    "VORTAN_EXAMPLES", pathlib.Path(__file__).resolve().parents[1] / "examples"))
DN = REFERENCE / "grids" / "dN_2km_V1-0.grd"
DE = REFERENCE / "grids" / "dE_2km_V1-0.grd"
REGIONS = ("mainland", "kastelorizo")

# The reference input of each form (TM07 E, N, h has none: the tool makes it, see below).
INPUTS = {
    "htrs07-xyz": "HTRS07-SXYZ.txt",
    "htrs07-geographic": "HTRS07-SFLh.txt",
    "ggrs87-geographic": "GGRS87-SFLh.txt",
    "ggrs87-tm87": "GGRS87-SENh.txt",
}


def region_file(region, name):
    """A reference file of the region: GGRS87-SENh.txt is GGRS87-KAST-SENh.txt on Kastelorizo."""
    if region == "kastelorizo":
        head, _, tail = name.partition("-")
        name = f"{head}-KAST-{tail}"
    return REFERENCE / region / name


def cli(*args, check=True):
    """Runs vortan-transform with the reference grids; (exit status, stderr)."""
    run = subprocess.run([CLI, "--quiet", "--dn", str(DN), "--de", str(DE), *map(str, args)],
                         capture_output=True, text=True)
    if check and run.returncode not in (0, 3):
        raise AssertionError(f"vortan-transform {args}: {run.stderr}")
    return run.returncode, run.stderr


def cli_convert(tmp_path, region, from_form, to_form, input_path, keep_heights=False):
    """What `vortan-transform convert` writes for a file: (bytes, exit status)."""
    out = tmp_path / f"cli-{from_form}-{to_form}-{int(keep_heights)}.txt"
    status, _ = cli("--region", region, "--threads", "1", "convert", "--from", from_form,
                    "--to", to_form, *(["--keep-heights"] if keep_heights else []), input_path,
                    out)
    return out.read_bytes(), status


def input_file(tmp_path, region, form):
    """A reference input of the form; for TM07 E, N, h the tool's TM07 of the HTRS07 SFLh file."""
    if form in INPUTS:
        return region_file(region, INPUTS[form])
    made = tmp_path / f"{region}-tm07-input.txt"
    if not made.exists():
        text, _ = cli_convert(tmp_path, region, "htrs07-geographic", "htrs07-tm07",
                              region_file(region, INPUTS["htrs07-geographic"]))
        made.write_bytes(text)
    return made


def packed_to_degrees(packed):
    """Decimal degrees of packed DDMMSS.SSSSS values, read arithmetically like the tool."""
    sign = np.sign(packed)
    p = np.abs(packed)
    d = np.floor(p / 10000)
    m = np.floor((p - d * 10000) / 100)
    s = p - d * 10000 - m * 100
    return sign * (d + m / 60 + s / 3600)


def read_records(data, geographic):
    """(ids, float arrays of the numeric fields) of a record file's bytes (CSV quoting of ids); latitude and
    longitude in decimal degrees for a geographic form."""
    ids, rows = [], []
    for fields in csv.reader(io.StringIO(data.decode(), newline="")):
        if fields:
            ids.append(fields[0])
            rows.append([float(v) for v in fields[1:4]])
    values = np.array(rows, dtype=np.float64).T
    if geographic:
        values[0] = packed_to_degrees(values[0])
        values[1] = packed_to_degrees(values[1])
    return ids, values


@pytest.fixture(scope="session")
def session_tmp(tmp_path_factory):
    return tmp_path_factory.mktemp("vortan")
