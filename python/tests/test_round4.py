"""Input that would give a wrong result with success is refused or named: a default grid file
as an output whatever the region, a source form that the frame's CRS contradicts, coordinates
narrower than float64."""

import warnings

import numpy as np
import pytest

import vortan
from conftest import DE, DN, REFERENCE

SFLH = REFERENCE / "mainland" / "HTRS07-SFLh.txt"


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
@pytest.mark.parametrize("grid", [vortan.DN_GRID_FILE, vortan.DE_GRID_FILE])
def test_a_default_grid_file_is_never_an_output(tmp_path, monkeypatch, region, grid):
    # sflh-to-sxyz reads no grid in either region: the default files are still no output.
    monkeypatch.chdir(tmp_path)
    (tmp_path / grid).write_bytes(b"the grid\r\n")
    with pytest.raises(vortan.JobError, match=rf"{grid}.*never an output"):
        vortan.run_job("sflh-to-sxyz", SFLH, [grid], region=region)
    assert (tmp_path / grid).read_bytes() == b"the grid\r\n"


@pytest.mark.parametrize("crs,from_form", [
    ("EPSG:4121", "htrs07-geographic"),  # GGRS87 latitudes taken as HTRS07: some 300 m off
    ("EPSG:2100", "htrs07-tm07"),
])
def test_a_from_form_that_the_frames_crs_contradicts_is_refused(crs, from_form):
    geopandas = pytest.importorskip("geopandas")
    from shapely.geometry import Point
    point = Point(23.0, 38.0) if crs == "EPSG:4121" else Point(400000, 4200000)
    frame = geopandas.GeoDataFrame(geometry=[point], crs=crs)
    with pytest.raises(ValueError, match="from_form") as raised:
        vortan.transform_geodataframe(frame, to="ggrs87-tm87", from_form=from_form, dn=DN, de=DE)
    said = str(raised.value)
    assert "GGRS87" in said and vortan.crs.form_text(from_form) in said, said
    # The form the CRS has is taken, given or not.
    vortan.transform_geodataframe(frame, to="htrs07-tm07", from_form=None, dn=DN, de=DE)


@pytest.mark.parametrize("dtype", [np.float32, np.float16])
def test_floats_narrower_than_float64_are_converted_with_a_warning_naming_the_rounding(dtype):
    t = vortan.Transformer("htrs07-tm07", "htrs07-geographic")
    e = np.array([500000.0, 412345.678]) if dtype == np.float32 else np.array([300.0, 100.0])
    n = np.array([2200000.0, 2300000.0]) if dtype == np.float32 else np.array([200.0, 100.0])
    with pytest.warns(vortan.PrecisionWarning, match=rf"{np.dtype(dtype).name}.*rounded by up to"):
        narrow = t.transform(e.astype(dtype), n.astype(dtype), np.zeros(2, dtype))
    # Converted as given: the values the narrow type holds.
    wide = t.transform(e.astype(dtype).astype(np.float64), n.astype(dtype).astype(np.float64),
                       np.zeros(2))
    assert all(np.array_equal(a, b) for a, b in zip(narrow, wide))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        t.transform(e, n, np.zeros(2))
        t.transform(e.astype(np.int64), n.astype(np.int64))


def test_the_warning_names_the_step_at_the_largest_coordinate():
    t = vortan.Transformer("htrs07-tm07", "htrs07-geographic")
    with pytest.warns(vortan.PrecisionWarning) as caught:
        t.transform(np.float32([412345.678]), np.float32([2201234.5]))
    # At 2201234.5 float32 values are 0.25 m apart: up to 0.125 m of rounding.
    assert "0.25 apart" in str(caught[0].message) and "0.125" in str(caught[0].message)
