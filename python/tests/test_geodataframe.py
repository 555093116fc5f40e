"""GeoPandas: every vertex converted, the parts kept, the CRS of the form set."""

import numpy as np
import pytest

import vortan
from conftest import DE, DN

geopandas = pytest.importorskip("geopandas")
pyproj = pytest.importorskip("pyproj")
from shapely.geometry import LineString, MultiPoint, Point, Polygon  # noqa: E402

SHELL = [(400000, 2300000), (420000, 2300000), (420000, 2320000), (400000, 2320000)]
HOLE = [(405000, 2305000), (410000, 2305000), (410000, 2310000)]


def tm07_crs(region="mainland"):
    return pyproj.CRS.from_wkt(vortan.crs_of("htrs07-tm07", region)[2])


def test_polygon_with_a_hole_is_converted_vertex_by_vertex_into_epsg_2100():
    frame = geopandas.GeoDataFrame({"name": ["parcel"]}, geometry=[Polygon(SHELL, [HOLE])],
                                   crs=tm07_crs())
    out = vortan.transform_geodataframe(frame, to="ggrs87-tm87", dn=DN, de=DE)
    assert out.crs == pyproj.CRS.from_epsg(2100) and list(out["name"]) == ["parcel"]
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", dn=DN, de=DE)
    polygon = out.geometry[0]
    assert len(polygon.interiors) == 1
    for ring, given in ((polygon.exterior, SHELL), (polygon.interiors[0], HOLE)):
        e, n = t.transform(*np.array(given + given[:1], dtype=float).T)
        assert np.array_equal(np.asarray(ring.coords), np.column_stack([e, n]))


def test_geographic_frames_are_longitude_first_and_3d_keeps_heights():
    frame = geopandas.GeoDataFrame(geometry=[Point(24.789, 40.915, 51.61),
                                             MultiPoint([(23.0, 38.0, 10.0), (22.0, 39.0, 0.0)])],
                                   crs="EPSG:4121")
    out = vortan.transform_geodataframe(frame, to="htrs07-geographic", dn=DN, de=DE)
    t = vortan.Transformer("ggrs87-geographic", "htrs07-geographic", dn=DN, de=DE)
    lat, lon, h = t.transform([40.915, 38.0, 39.0], [24.789, 23.0, 22.0], [51.61, 10.0, 0.0])
    got = [out.geometry[0].coords[0]] + [p.coords[0] for p in out.geometry[1].geoms]
    assert np.array_equal(np.array(got), np.column_stack([lon, lat, h]))
    assert out.crs.equals(pyproj.CRS.from_wkt(vortan.crs_of("htrs07-geographic")[2]))


def test_a_vertex_outside_the_grid_names_its_feature():
    frame = geopandas.GeoDataFrame(geometry=[Point(400000, 2300000), Point(1500000, 2300000)],
                                   crs=tm07_crs(), index=["a", "b"])
    with pytest.raises(vortan.OutsideGridError) as raised:
        vortan.transform_geodataframe(frame, to="ggrs87-tm87", dn=DN, de=DE)
    assert raised.value.index == 1 and "'b'" in str(raised.value)


def test_a_crs_that_is_none_of_ours_needs_from_form():
    frame = geopandas.GeoDataFrame(geometry=[Point(24.0, 38.0)], crs="EPSG:4326")
    with pytest.raises(ValueError, match="from_form"):
        vortan.transform_geodataframe(frame, to="ggrs87-tm87", dn=DN, de=DE)


def test_kastelorizo_projection_gives_the_region():
    frame = geopandas.GeoDataFrame(geometry=[Point(300000, 2000000)],
                                   crs=tm07_crs("kastelorizo"))
    out = vortan.transform_geodataframe(frame, to="ggrs87-tm87")
    t = vortan.Transformer("htrs07-tm07", "ggrs87-tm87", region="kastelorizo")
    assert out.geometry[0].coords[0] == t.transform(300000.0, 2000000.0)
    assert out.crs.equals(pyproj.CRS.from_wkt(vortan.crs_of("ggrs87-tm87", "kastelorizo")[2]))


def test_a_2d_feature_into_xyz_is_named_for_its_missing_z():
    frame = geopandas.GeoDataFrame(
        geometry=[Point(24.0, 38.0, 5.0), LineString([(24.0, 38.0, 1.0), (24.1, 38.1, 2.0)]),
                  LineString([(24.0, 38.0), (24.1, 38.1)])], crs="EPSG:4121", index=[7, 8, 9])
    with pytest.raises(ValueError, match=r"feature 2 \(index 9\) has no Z"):
        vortan.transform_geodataframe(frame, to="htrs07-xyz", dn=DN, de=DE)


def test_3d_results_in_xyz_and_latitude_longitude_carry_crss_told_apart():
    frame = geopandas.GeoDataFrame(geometry=[Point(500000.0, 2300000.0, 100.0)],
                                   crs=tm07_crs())
    xyz = vortan.transform_geodataframe(frame, to="htrs07-xyz")
    geographic = vortan.transform_geodataframe(frame, to="htrs07-geographic")
    assert xyz.crs.is_geocentric and geographic.crs.is_geographic
    assert xyz.crs.name != geographic.crs.name
    back = vortan.transform_geodataframe(xyz, to="htrs07-tm07")  # the CRS is read again
    assert np.allclose(np.asarray(back.geometry[0].coords), [(500000.0, 2300000.0, 100.0)],
                       rtol=0, atol=1e-6)
