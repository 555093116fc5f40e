"""The package and the C library are two front ends of one session: the same arrays give the
same doubles to the last bit, on one thread or four; the vector lanes stay within 1e-8 m."""

import ctypes
import os

import numpy as np
import pytest

import vortan
from conftest import DE, DN

LIBRARY = os.environ.get("VORTAN_LIBRARY")
FORMS = list(vortan.FORMS)


def c_library():
    if not LIBRARY:
        pytest.skip("VORTAN_LIBRARY does not name the C library")
    lib = ctypes.CDLL(LIBRARY)
    lib.vortan_context_new.restype = ctypes.c_void_p
    lib.vortan_context_new.argtypes = [ctypes.c_int]
    lib.vortan_context_load_grids.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p]
    lib.vortan_context_set_threads.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.vortan_context_free.argtypes = [ctypes.c_void_p]
    p = ctypes.POINTER(ctypes.c_double)
    lib.vortan_convert.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                   ctypes.c_size_t, p, p, p, p, p, p, ctypes.c_void_p]
    return lib


def tm07_points(region, n=4000):
    """TM07 E, N, h spread over the region (inside the mainland's grid)."""
    rng = np.random.default_rng(7)
    t = vortan.Transformer("htrs07-geographic", "htrs07-tm07", region=region)
    if region == "mainland":
        lat, lon = rng.uniform(36.5, 40.5, n), rng.uniform(21.0, 25.5, n)
    else:
        lat, lon = rng.uniform(36.10, 36.18, n), rng.uniform(29.55, 29.62, n)
    e, nn, _ = t.transform(lat, lon, np.zeros(n))
    return e, nn, rng.uniform(-50, 2500, n)


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
def test_package_and_c_library_give_the_same_doubles(region):
    lib = c_library()
    code = vortan.REGIONS.index(region)
    tm07 = tm07_points(region)
    for threads in (1, 4):
        context = lib.vortan_context_new(code)
        assert context
        try:
            assert lib.vortan_context_set_threads(context, threads) == 0
            if region == "mainland":
                assert lib.vortan_context_load_grids(context, bytes(DN), bytes(DE)) == 0
            to_source = {f: vortan.Transformer("htrs07-tm07", f, region=region, dn=DN, de=DE)
                         for f in FORMS}
            for source in FORMS:
                points = [np.ascontiguousarray(v) for v in to_source[source].transform(*tm07)]
                for target in FORMS:
                    ours = vortan.Transformer(source, target, region=region, dn=DN, de=DE,
                                              threads=threads).transform(*points)
                    out = [np.empty_like(points[0]) for _ in range(3)]
                    ptr = [a.ctypes.data_as(ctypes.POINTER(ctypes.c_double))
                           for a in (*points, *out)]
                    lib.vortan_convert(context, FORMS.index(source), FORMS.index(target), 0,
                                       len(points[0]), *ptr, None)
                    for k in range(3):
                        assert np.array_equal(ours[k], out[k], equal_nan=True), \
                            (threads, source, target, k)
        finally:
            lib.vortan_context_free(context)


def test_vector_lanes_are_asked_for_and_stay_near_the_plain_routines():
    tm07 = tm07_points("mainland")
    plain = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    lanes = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE, vector_lanes=True)
    assert plain._engine.vector_lanes is False and lanes._engine.vector_lanes is True
    a, b = plain.transform(*tm07), lanes.transform(*tm07)
    assert max(float(np.max(np.abs(a[k] - b[k]))) for k in range(3)) < 1e-8


@pytest.mark.parametrize("region", ["mainland", "kastelorizo"])
def test_the_tools_tables_carry_the_packages_doubles(region, tmp_path):
    """A CSV table is written with every digit of the double (17 significant digits): the tool's
    `convert` gives the package's doubles to the last bit, every pair of forms."""
    import subprocess
    from conftest import CLI
    tm07 = tm07_points(region, 2000)
    for source in FORMS:
        points = vortan.Transformer("htrs07-tm07", source, region=region, dn=DN,
                                    de=DE).transform(*tm07)
        table = tmp_path / f"{source}.csv"
        # A table's first coordinate column is X: the longitude of a geographic form.
        geographic = "geographic" in source
        with open(table, "w") as f:
            f.write("id,A,B,C\n")
            for i, (a, b, c) in enumerate(zip(*points)):
                x, y = (b, a) if geographic else (a, b)
                f.write(f"P{i},{x!r},{y!r},{c!r}\n")
        for target in FORMS:
            if target == source:
                continue
            out = tmp_path / f"{source}-{target}.csv"
            run = subprocess.run([CLI, "--quiet", "--region", region, "--dn", str(DN), "--de",
                                  str(DE), "convert", "--from", source, "--to", target,
                                  "--columns", "A,B,C", str(table), str(out)],
                                 capture_output=True, text=True)
            assert run.returncode == 0, run.stderr
            rows = [line.split(",") for line in out.read_text().splitlines()[1:]]
            columns = (2, 1, 3) if "geographic" in target else (1, 2, 3)
            theirs = [np.array([float(r[k]) for r in rows]) for k in columns]
            ours = vortan.Transformer(source, target, region=region, dn=DN,
                                      de=DE).transform(*points)
            for k in range(3):
                assert np.array_equal(ours[k], theirs[k]), (source, target, k)
