"""The Transformer against the command-line tool's convert, every pair of forms in both regions,
and its pyproj-style handling of coordinates."""

import itertools
import os

import numpy as np
import pytest

import vortan
from conftest import DE, DN, REGIONS, cli_convert, input_file, read_records

PAIRS = [(f, t) for f, t in itertools.permutations(vortan.FORMS, 2)]
# Across the datum the heights follow --keep-heights too.
KEEP = [(f, t) for f, t in PAIRS if f.split("-")[0] != t.split("-")[0]]

# The tool prints metres to 3 decimals and packed angles to 1e-5 arcseconds: a value of the
# transformer agrees when it lies within half a printed unit of the printed text, plus 1e-9 m
# or 1e-12 degree.
METRES = 0.0005 + 1e-9
DEGREES = 0.000005 / 3600 + 1e-12


def tolerances(form):
    if form.endswith("geographic"):
        return [DEGREES, DEGREES, METRES]
    return [METRES] * 3


@pytest.mark.parametrize("region", REGIONS)
@pytest.mark.parametrize("from_form,to_form,keep", [(f, t, False) for f, t in PAIRS] +
                         [(f, t, True) for f, t in KEEP])
def test_transformer_agrees_with_cli_convert(tmp_path, region, from_form, to_form, keep):
    source = input_file(tmp_path, region, from_form)
    expected, status = cli_convert(tmp_path, region, from_form, to_form, source, keep)
    _, inputs = read_records(source.read_bytes(), from_form.endswith("geographic"))
    ids, want = read_records(expected, to_form.endswith("geographic"))
    t = vortan.Transformer(from_form, to_form, region=region, dn=DN, de=DE, keep_heights=keep)
    got = np.array(t.transform(*inputs))
    done = want.shape[1]
    assert done > 0
    if status == 3:  # the tool stopped at a point outside the grid: NaN here, and no more
        assert np.isnan(got[:, done]).all()
    else:
        assert done == inputs.shape[1]
    for axis, tol in enumerate(tolerances(to_form)):
        diff = np.abs(got[axis, :done] - want[axis])
        assert diff.max() <= tol, (axis, ids[int(diff.argmax())], diff.max())


@pytest.fixture(scope="module")
def tm07_to_tm87():
    return vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)


def test_two_coordinates_compute_with_height_zero(tm07_to_tm87):
    e, n = np.array([566446.108, 400000.0]), np.array([2529618.096, 2300000.0])
    assert np.array_equal(tm07_to_tm87.transform(e, n),
                          tm07_to_tm87.transform(e, n, np.zeros(2))[:2])


def test_always_xy_takes_and_gives_longitude_first():
    lat, lon, h = 40.91497, 24.78905, 51.61
    system = vortan.Transformer("htrs07-geographic", "ggrs87-geographic", dn=DN, de=DE)
    xy = vortan.Transformer("htrs07-geographic", "ggrs87-geographic", dn=DN, de=DE,
                            always_xy=True)
    lat87, lon87, h87 = system.transform(lat, lon, h)
    assert xy.transform(lon, lat, h) == (lon87, lat87, h87)


@pytest.mark.parametrize("e,n,shape", [
    (566446.108, 2529618.096, None),                           # scalars give floats
    ([566446.108, 500000], [2529618.096, 2400000], (2,)),      # lists give arrays
    (np.full((2, 3), 566446.108), np.full((2, 3), 2529618.096), (2, 3)),  # shape kept
    (np.array([566446, 500000], dtype=np.int32), np.float32(2529618.0), (2,)),  # dtypes, broadcast
])
def test_inputs_broadcast_like_numpy_and_give_float64(tm07_to_tm87, e, n, shape):
    out = tm07_to_tm87.transform(e, n)
    for got in out:
        if shape is None:
            assert isinstance(got, float)
        else:
            assert got.dtype == np.float64 and got.shape == shape
    full = np.broadcast_shapes(np.shape(e), np.shape(n))
    want = tm07_to_tm87.transform(*[np.broadcast_to(v, full).astype(np.float64).ravel()
                                    for v in (e, n)])
    assert np.array_equal(np.ravel(out[0]), want[0]) and np.array_equal(np.ravel(out[1]), want[1])


def test_threads_default_to_every_core(tm07_to_tm87):
    assert tm07_to_tm87.threads == os.cpu_count()
