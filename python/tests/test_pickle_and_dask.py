"""A Transformer pickles with its grids' values; the Dask example on a local cluster of two
worker processes gives the single-process results."""

import pickle
import runpy
import shutil
import types

import numpy as np
import pytest

import vortan
from conftest import DE, DN, EXAMPLES, cli_convert, input_file, read_records

E07 = np.array([566446.108, 400000.0, 700000.0])
N07 = np.array([2529618.096, 2300000.0, 2100000.0])
H = np.array([51.61, 0.0, 1200.0])


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
def test_transformer_pickles_with_its_grids_and_needs_no_file(tmp_path, region):
    dn, de = tmp_path / "dN.grd", tmp_path / "dE.grd"
    shutil.copy(DN, dn)
    shutil.copy(DE, de)
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", region=region, dn=dn, de=de,
                           keep_heights=True, threads=1)
    data = pickle.dumps(t)
    dn.unlink()
    de.unlink()
    copy = pickle.loads(data)
    assert repr(copy) == repr(t)
    assert np.array_equal(copy.transform(E07, N07, H), t.transform(E07, N07, H))


@pytest.fixture(scope="module")
def example():
    # Loaded from its file, as a user runs it; not importable by name on the workers, so its
    # functions travel to them by value.
    return types.SimpleNamespace(
        **runpy.run_path(str(EXAMPLES / "dask_convert.py"), run_name="dask_convert"))


@pytest.fixture(scope="module")
def client():
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address="127.0.0.1:0",
                                       silence_logs=40)
    with cluster, distributed.Client(cluster) as c:
        yield c


def test_record_file_in_eight_partitions_is_the_cli_output(tmp_path, example, client):
    source = input_file(tmp_path, "mainland", "htrs07-xyz")
    t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=DN, de=DE, threads=1)
    parts = example.convert_record_file(client, t, source, tmp_path / "parts", partitions=8)
    assert len(parts) == 8
    text = b"".join((tmp_path / "parts" / name).read_bytes() for name, _ in parts)
    expected, _ = cli_convert(tmp_path, "mainland", "htrs07-xyz", "ggrs87-tm87", source)
    assert text == expected


def test_dataframe_through_map_partitions_is_the_single_process_result(tmp_path, example,
                                                                       client):
    import dask.dataframe as dd
    import pandas as pd
    _, (x, y, z) = read_records(input_file(tmp_path, "mainland", "htrs07-xyz").read_bytes(),
                                False)
    frame = pd.DataFrame({"x": x, "y": y, "z": z})
    t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=DN, de=DE, threads=1)
    shared = client.scatter(t, broadcast=True)
    out = example.convert_dataframe(dd.from_pandas(frame, npartitions=8), shared,
                                    ["x", "y", "z"], ["e", "n", "h"]).compute()
    e, n, h = t.transform(x, y, z)
    assert np.array_equal(out["e"], e) and np.array_equal(out["n"], n)
    assert np.array_equal(out["h"], h)


def test_dask_example_never_mixes_runs_and_stops_at_the_first_failed_point(tmp_path, example,
                                                                           client, monkeypatch,
                                                                           capsys):
    source = input_file(tmp_path, "mainland", "htrs07-xyz")
    lines = source.read_bytes().splitlines(keepends=True)
    bad = tmp_path / "bad.txt"  # line 200 far outside the grid, and more after it
    bad.write_bytes(b"".join(lines[:199] + [b"FAR,9000000,1793377.277,4069248.371\r\n"] +
                             lines[199:] + [b"FAR2,9000000,1793377.277,4069248.371\r\n"]))
    t = vortan.Transformer("htrs07-xyz", "ggrs87-tm87", dn=DN, de=DE, threads=1)
    parts = tmp_path / "parts"
    first = example.convert_record_file(client, t, source, parts, partitions=8)
    before = {p.name: p.read_bytes() for p in parts.iterdir()}
    with pytest.raises(example.Stopped, match="is not empty"):
        example.convert_record_file(client, t, source, parts, partitions=4)
    with pytest.raises(example.Stopped, match=rf"{bad}, line 200 \(point FAR\): .*outside"):
        example.convert_record_file(client, t, bad, parts, partitions=8, overwrite=True)
    assert {p.name: p.read_bytes() for p in parts.iterdir()} == before
    assert len(example.convert_record_file(client, t, source, parts, partitions=4,
                                           overwrite=True)) == 4 < len(first)
    assert sorted(p.name for p in parts.iterdir()) == [f"part-{i:05d}.txt" for i in range(4)]

    _, (x, y, z) = read_records(bad.read_bytes(), False)
    csv = tmp_path / "bad.csv"
    csv.write_text("x,y,z\n" + "".join(f"{a!r},{b!r},{c!r}\n" for a, b, c in zip(x, y, z)))
    args = ["dask_convert.py", "--scheduler", client.scheduler.address, "--dn", str(DN),
            "--de", str(DE), "--from", "htrs07-xyz", "--to", "ggrs87-tm87", "--frame",
            "x,y,z,e,n,h", str(csv), str(tmp_path / "frame")]
    monkeypatch.setattr("sys.argv", args)
    assert example.main() == 3
    assert f"{csv}, data row 200 (x 9000000.0" in capsys.readouterr().err
    assert list((tmp_path / "frame").iterdir()) == []
