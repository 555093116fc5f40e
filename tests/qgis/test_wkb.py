"""The plugin's WKB reader against GDAL's reading of the same WKB and QGIS's vertex iterator: every geometry type QGIS writes,
2D, Z, M and ZM, empty parts, collections of collections, geometries of many parts; the
coordinates written back land where QGIS reads them, M values untouched. (Polyhedral surfaces
and TINs, which QGIS 3.22 does not read, are read here by the same rule as collections.)"""

import numpy as np
import pytest

from vortan_transform.wkb import Vertices, WkbError

WKTS = [
    "Point (1 2)", "Point Z (1 2 3)", "Point M (1 2 4)", "Point ZM (1 2 3 4)", "Point EMPTY",
    "LineString (1 2, 3 4, 5 6)", "LineString Z (1 2 3, 4 5 6)", "LineString ZM (1 2 3 4, 5 6 7 8)",
    "Polygon ((0 0, 10 0, 10 10, 0 10, 0 0), (2 2, 2 3, 3 3, 2 2))",
    "Polygon Z ((0 0 1, 10 0 2, 10 10 3, 0 0 1))",
    "MultiPoint ((1 2), (3 4))", "MultiPoint Z ((1 2 3), (4 5 6))",
    "MultiLineString ((1 2, 3 4), (5 6, 7 8, 9 10))",
    "MultiPolygon (((0 0, 1 0, 1 1, 0 0)), ((5 5, 6 5, 6 6, 5 5), (5.2 5.1, 5.5 5.1, 5.5 5.4, 5.2 5.1)))",
    "MultiPolygon M (((0 0 7, 1 0 7, 1 1 7, 0 0 7)))",
    "GeometryCollection (Point (1 2), LineString (3 4, 5 6), GeometryCollection (Point (7 8)))",
    "CircularString (0 0, 1 1, 2 0)", "CircularString Z (0 0 1, 1 1 2, 2 0 3)",
    "CompoundCurve ((0 0, 1 1), CircularString (1 1, 2 2, 3 1))",
    "CurvePolygon (CircularString (0 0, 4 0, 4 4, 0 4, 0 0), (1 1, 2 1, 2 2, 1 1))",
    "MultiCurve (CircularString (0 0, 1 1, 2 0), (5 5, 6 6))",
    "MultiSurface (CurvePolygon (CircularString (0 0, 4 0, 0 0)), ((10 10, 11 10, 11 11, 10 10)))",
    "Triangle ((0 0, 0 9, 9 0, 0 0))",
    "MultiPoint (" + ", ".join(f"({k} {k + 1})" for k in range(300)) + ")",  # many parts
    "Polygon (" + ", ".join(f"({k} 0, {k} 1, {k + 0.5} 1, {k} 0)" for k in range(100)) + ")",
]


def ogr_vertices(wkb):
    """The vertices of a WKB as GDAL reads them (the traversal of vortan-transform's GIS code:
    a compound curve repeats the point where two of its curves meet)."""
    from conftest import coordinates
    from osgeo import ogr
    geometry = ogr.CreateGeometryFromWkb(wkb)
    points = [] if geometry.IsEmpty() else coordinates(geometry)
    return [(p[0], p[1], p[2] if len(p) > 2 else None) for p in points]


def qgis_vertices(geometry):
    return [(v.x(), v.y(), v.z() if v.is3D() else None, v.m() if v.isMeasure() else None)
            for v in geometry.vertices()]


def test_every_vertex_in_the_order_gdal_reads_them(qgis_app):
    from qgis.core import QgsGeometry
    geometries = [QgsGeometry.fromWkt(w) for w in WKTS]
    assert all(not g.isNull() for g in geometries), [w for w, g in zip(WKTS, geometries) if g.isNull()]
    wkbs = [g.asWkb().data() for g in geometries] + [None]  # a feature without geometry
    vertices = Vertices(wkbs)
    x, y, z, has_z = vertices.xyz()
    for i, g in enumerate(geometries):
        first, end = vertices.first[i], vertices.first[i + 1]
        got = [(x[k], y[k], z[k] if has_z[k] else None) for k in range(first, end)]
        assert got == ogr_vertices(wkbs[i]), WKTS[i]
    assert vertices.first[-1] == vertices.first[-2]  # none for the feature without geometry

    # Written back: every vertex moved, z raised, M kept, the structure unchanged.
    vertices.set_xyz(x + 1000, y - 1000, z + 5)
    for i, g in enumerate(geometries):
        moved = QgsGeometry()
        moved.fromWkb(vertices.wkb(i))
        assert moved.wkbType() == g.wkbType()
        assert qgis_vertices(moved) == [
            (a + 1000, b - 1000, None if c is None else c + 5, m)
            for a, b, c, m in qgis_vertices(g)], WKTS[i]
    assert vertices.wkb(len(geometries)) is None


@pytest.mark.parametrize("wkb,reason", [
    (bytes.fromhex("0000000001" + "3ff0000000000000" * 2), "big-endian"),
    (bytes.fromhex("01e9030000"), "ends before"),                        # Point Z, no coordinates
    (bytes.fromhex("0102000000" + "05000000") + bytes(16), "ends before"),  # 5 points, 1 given
    (bytes.fromhex("0163000000") + bytes(16), "not one this plugin converts"),
    (bytes(0), "ends before"),
])
def test_damaged_or_unknown_wkb_is_refused(wkb, reason):
    with pytest.raises(WkbError) as e:
        Vertices([wkb])
    assert reason in str(e.value)


def test_a_large_chunk_reads_as_its_pieces(qgis_app):
    from qgis.core import QgsGeometry
    rng = np.random.default_rng(3)
    wkts = [WKTS[k] for k in rng.integers(0, len(WKTS), 400)]
    wkbs = [QgsGeometry.fromWkt(w).asWkb().data() for w in wkts]
    whole = Vertices(wkbs)
    xw, yw, zw, _ = whole.xyz()
    at = 0
    for w in wkbs:
        one = Vertices([w])
        x, y, z, _ = one.xyz()
        assert np.array_equal(x, xw[at:at + len(one)]) and np.array_equal(z, zw[at:at + len(one)])
        at += len(one)
    assert at == len(whole)


def test_a_tin_reads_as_its_triangles():
    triangle = bytes.fromhex("01eb030000" "01000000" "04000000") + np.array(
        [0, 0, 5, 0, 1, 6, 1, 1, 7, 0, 0, 5], dtype="<f8").tobytes()  # Polygon Z
    tin = bytes.fromhex("01f8030000" "02000000") + triangle + triangle  # TIN Z of two
    x, y, z, has_z = Vertices([tin]).xyz()
    assert list(z) == [5, 6, 7, 5] * 2 and has_z.all()
