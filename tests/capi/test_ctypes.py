"""The C library from Python through ctypes, with the plugin's binding (qgis/vortan_transform/
library.py, which needs no QGIS): numpy arrays by pointer give the reference files' numbers,
the record calls write the reference files, errors carry file, line, field and point."""

import os
import sys

import numpy as np
import pytest

sys.path.insert(0, os.path.join(os.environ["VORTAN_SOURCE"], "qgis"))
from vortan_transform import library  # noqa: E402

REFERENCE = os.environ["VORTAN_REFERENCE"]
GRIDS = [os.path.join(REFERENCE, "grids", name) for name in ("dN_2km_V1-0.grd", "dE_2km_V1-0.grd")]
LIB = library.load(os.environ["VORTAN_LIBRARY_FILE"])


def records(region, name, count=3):
    """The last `count` fields of each line of a reference file (an id may hold commas)."""
    path = os.path.join(REFERENCE, region, name)
    with open(path, "rb") as f:
        return [line.rsplit(b",", count)[1:] for line in f.read().split(b"\r\n") if line]


def kast(region, name):
    return name.replace("-", "-KAST-", 1) if region == "kastelorizo" else name


@pytest.mark.parametrize("region", library.REGIONS)
@pytest.mark.parametrize("source,target,inp,job,expected", [
    ("htrs07-xyz", "ggrs87-tm87", "HTRS07-SXYZ.txt", "sxyz-to-ggrs87", "GGRS87-SEN.txt"),
    ("ggrs87-tm87", "htrs07-tm07", "GGRS87-SENh.txt", "senh-to-htrs07", "HTRS07-SEN.txt"),
])
def test_arrays_give_the_reference_numbers(region, source, target, inp, job, expected):
    with LIB.context(region, *GRIDS, threads=2) as context:
        values = np.array([[float(v) for v in r] for r in records(region, kast(region, inp))])
        e, n, h, status, code, error = context.convert(source, target, *values.T)
    assert code == library.OK and error is None and (status == 0).all()
    want = records(region, f"expected-{job}.{kast(region, expected)}", 2)
    got = [[LIB.format_number(x, ".000").encode(), LIB.format_number(y, ".000").encode()]
           for x, y in zip(e, n)]
    assert got == want


def test_a_point_in_every_form_as_the_window_shows_it():
    with LIB.context("mainland", *GRIDS) as context:
        p = context.convert_point("htrs07-xyz", (4382064.771, 2023782.319, 4155326.131))
        assert p["htrs07_latitude"][:2] == (40, 54)
        assert LIB.format_number(p["htrs07_latitude"][2], ".00000") == "53.90607"
        assert LIB.format_number(p["tm07_scale"], "0.000000") == "0.999654"
        assert LIB.format_number(p["htrs07-tm07"][0], ".000") == "566446.108"
        # Packed DDMMSS.SSSSS in, as the windows and the record files take it.
        lat, lon = p["ggrs87_latitude"][3], p["ggrs87_longitude"][3]
        q = context.convert_point("ggrs87-geographic", (lat, lon, p["ggrs87-geographic"][2]),
                                  packed_angles=True)
        assert abs(q["htrs07-xyz"][0] - 4382064.771) < 1e-3
        with pytest.raises(library.VortanError) as e:
            context.convert_point("htrs07-tm07", (400000, 1000000, 0))
        assert e.value.code == library.OUTSIDE_GRID and "outside the correction grid" in str(e.value)
        assert e.value.point["status"]["htrs07-xyz"] == library.POINT_DONE


def test_jobs_write_the_reference_files(tmp_path):
    for region in library.REGIONS:
        with LIB.context(region, *GRIDS) as context:
            for job in library.JOBS:
                names = [LIB.job_output_name(job, i, region) for i in range(LIB.job_output_count(job))]
                inputs = {"sflh-to-senh": "GGRS87-SFLh.txt", "senh-to-htrs07": "GGRS87-SENh.txt",
                          "sflh-to-sxyz": "HTRS07-SFLh.txt", "sxyz-to-ggrs87": "HTRS07-SXYZ.txt"}
                calls = []
                written = context.run_job(job, os.path.join(REFERENCE, region, kast(region, inputs[job])),
                                          [tmp_path / n for n in names],
                                          progress=lambda *a: calls.append(a) and False)
                assert written > 0 and calls
                for n in names:
                    with open(os.path.join(REFERENCE, region, f"expected-{job}.{n}"), "rb") as f:
                        assert (tmp_path / n).read_bytes() == f.read(), (region, job, n)


def test_errors_name_file_line_field_and_point(tmp_path):
    bad = tmp_path / "Σημεία-SXYZ.txt"
    bad.write_bytes(b"P1,4382064.771,2023782.319,4155326.131\r\nP2,4382064.771,2023782,x\r\n")
    with LIB.context("mainland") as context:
        assert not context.ready
        with pytest.raises(library.VortanError) as e:
            context.convert("htrs07-tm07", "ggrs87-tm87", [566446.108], [2529618.096])
        assert e.value.code == library.NOT_READY
        with open(GRIDS[0], "rb") as dn, open(GRIDS[1], "rb") as de:
            context.load_grids_from_bytes(dn.read(), de.read())
        assert context.ready
        with pytest.raises(library.VortanError) as e:
            context.convert_file("htrs07-xyz", "ggrs87-tm87", bad, tmp_path / "out.txt")
        assert (e.value.code, e.value.line, e.value.field) == (library.FILE_ERROR, 2, "Z")
        assert "Σημεία-SXYZ.txt" in e.value.file and e.value.points_written == 1
        _, _, _, status, code, error = context.convert(
            "htrs07-tm07", "ggrs87-tm87", [566446.108, 2e6], [2529618.096, 2529618.096])
        assert code == library.OUTSIDE_GRID and error.index == 1 and list(status) == [0, 1]
        with pytest.raises(library.VortanError) as e:
            context.load_grids(tmp_path / "none-dN.grd", GRIDS[1])
        assert e.value.code == library.GRID_ERROR and "none-dN.grd" in str(e.value)


def test_a_missing_library_says_so(tmp_path):
    with pytest.raises(library.LibraryMissing) as e:
        library.Library(str(tmp_path / library.library_file_name()))
    assert "missing" in str(e.value) and library.library_file_name() in str(e.value)
