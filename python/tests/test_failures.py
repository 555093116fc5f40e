"""Failures the Python way: NaN, or the exception with errcheck; bad arrays; bad grid files."""

import ctypes
import ctypes.util
import shutil

import numpy as np
import pytest

import vortan
from conftest import DE, DN

INSIDE = (566446.108, 2529618.096)   # TM07 E, N on the mainland
OUTSIDE = (1500000.0, 2529618.096)   # far east of the grid


@pytest.fixture(scope="module")
def tm07_to_tm87():
    return vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)


def points(*ps):
    return np.array([p[0] for p in ps]), np.array([p[1] for p in ps])


def test_point_outside_the_grid_is_nan(tm07_to_tm87):
    e, n = tm07_to_tm87.transform(*points(INSIDE, OUTSIDE, INSIDE))
    assert np.isnan([e[1], n[1]]).all() and not np.isnan([e[0], e[2], n[0], n[2]]).any()


def test_errcheck_raises_outside_grid_error_at_the_first_such_point(tm07_to_tm87):
    with pytest.raises(vortan.OutsideGridError) as raised:
        tm07_to_tm87.transform(*points(INSIDE, INSIDE, OUTSIDE, OUTSIDE), errcheck=True)
    assert raised.value.index == 2


def test_nan_in_gives_nan_out_and_no_error(tm07_to_tm87):
    e, n = tm07_to_tm87.transform([np.nan, INSIDE[0]], [INSIDE[1], INSIDE[1]], errcheck=True)
    assert np.isnan([e[0], n[0]]).all() and not np.isnan([e[1], n[1]]).any()


def test_arrays_of_different_lengths_raise_value_error(tm07_to_tm87):
    with pytest.raises(ValueError):
        tm07_to_tm87.transform([1.0, 2.0, 3.0], [1.0, 2.0])


def test_numeric_fault_is_nan_or_numeric_fault_error():
    t = vortan.Transformer("htrs07-xyz", "htrs07-geographic")
    huge = np.array([4.4e6, 1e308]), np.array([2.0e6, 1e308]), np.array([4.1e6, 1e308])
    lat, lon, h = t.transform(*huge)
    assert np.isnan([lat[1], lon[1], h[1]]).all() and not np.isnan(lat[0])
    with pytest.raises(vortan.NumericFaultError) as raised:
        t.transform(*huge, errcheck=True)
    assert raised.value.index == 1 and raised.value.fault == "overflow"


def test_floating_point_flags_left_set_before_the_call_blame_no_point():
    libm = ctypes.CDLL(ctypes.util.find_library("m"))
    fe_all = 0x3d  # FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW | FE_INEXACT (x86)
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE, threads=1)
    with np.errstate(all="ignore"):
        np.array([1e308]) * 10  # numpy leaves its flags as they are
    libm.feraiseexcept(fe_all)
    e, n = t.transform(*points(INSIDE, INSIDE), errcheck=True)
    assert not np.isnan(e).any() and not np.isnan(n).any()


def test_missing_grid_file_raises_file_not_found_error_naming_it(tmp_path):
    missing = tmp_path / "no-such-dN.grd"
    with pytest.raises(FileNotFoundError) as raised:
        vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=missing, de=DE)
    assert raised.value.filename == str(missing) and str(missing) in str(raised.value)


def test_bad_grid_raises_value_error_naming_file_and_line(tmp_path):
    bad = tmp_path / "dN_2km_V1-0.grd"
    lines = DN.read_text().splitlines(keepends=True)
    lines[9] = lines[9].replace(" ", " x1.5 ", 1)  # line 10: a value that is no number
    bad.write_text("".join(lines))
    with pytest.raises(ValueError, match=rf"{bad}, line 10.*not a number"):
        vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=bad, de=DE)


def test_grids_are_not_read_within_one_system(tmp_path):
    t = vortan.Transformer("htrs07-tm07", "htrs07-geographic", dn=tmp_path / "none",
                           de=tmp_path / "none")
    assert not np.isnan(t.transform(*INSIDE)).any()


def test_grid_files_default_to_the_current_folder(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(FileNotFoundError, match="dN_2km_V1-0.grd"):
        vortan.Transformer("htrs07-tm07", "ggrs87-tm87")
    shutil.copy(DN, tmp_path)
    shutil.copy(DE, tmp_path)
    assert not np.isnan(vortan.Transformer("htrs07-tm07", "ggrs87-tm87").transform(*INSIDE)).any()


# Each form converted within its system: no grid, so that only the input decides.
WITHIN = {"htrs07-xyz": "htrs07-geographic", "htrs07-geographic": "htrs07-xyz",
          "htrs07-tm07": "htrs07-xyz", "ggrs87-geographic": "ggrs87-tm87",
          "ggrs87-tm87": "ggrs87-geographic"}


@pytest.mark.parametrize("form", vortan.FORMS)
def test_infinite_and_impossible_coordinates_give_nan_or_an_error_saying_what(form):
    start = "htrs07-geographic" if form.startswith("htrs07") else "ggrs87-geographic"
    point = np.array(vortan.Transformer(start, form).transform(38.0, 23.0, 100.0)
                     if form != start else (38.0, 23.0, 100.0))
    t = vortan.Transformer(form, WITHIN[form])
    cases = [(axis, sign * np.inf) for axis in range(3) for sign in (1, -1)]
    if form.endswith("geographic"):
        cases += [(0, 95.0), (1, -181.0)]
    for axis, value in cases:
        given = point.copy()
        given[axis] = value
        assert np.isnan(t.transform(*given)).all(), (axis, value)
        with pytest.raises(vortan.NumericFaultError) as raised:
            t.transform(*given, errcheck=True)
        text = str(raised.value)
        if np.isinf(value) and not (form.endswith("geographic") and axis < 2):
            assert "infinite coordinate" in text and raised.value.fault == "infinite coordinate"
        else:  # a latitude or longitude beyond its range, infinite or not
            assert isinstance(raised.value, vortan.OutOfRangeError) and "numeric" not in text
            assert ("latitude beyond ±90°" if axis == 0 else "longitude beyond ±180°") in text
