"""The CRSs in QGIS: the source form found from the layer's CRS, a contradicting CRS refused,
another CRS taken at the source form's word only where it can hold it, the HTRS07 CRSs added
once as user CRSs, HTRS07 latitude and longitude read as geographic, a TM07 output recognised
when converted again."""

import pytest

from conftest import features, grids, make_layer, run, tool

from osgeo import osr


def qgis_layer(path):
    from qgis.core import QgsVectorLayer
    layer = QgsVectorLayer(str(path), "layer", "ogr")
    assert layer.isValid(), path
    return layer


@pytest.mark.parametrize("region,form", [
    ("mainland", "htrs07-xyz"), ("mainland", "htrs07-geographic"), ("mainland", "htrs07-tm07"),
    ("mainland", "ggrs87-geographic"), ("mainland", "ggrs87-tm87"),
    ("kastelorizo", "htrs07-tm07"), ("kastelorizo", "ggrs87-tm87"),
])
def test_the_form_of_every_crs_the_tool_writes(tmp_path, engine, region, form):
    # A layer written by vortan-transform in the form's CRS, GeoPackage and Shapefile (.prj).
    source = make_layer(tmp_path / "in.gpkg", engine, "points", 3, "htrs07-tm07", region)
    # (A Shapefile's .prj cannot hold a geocentric CRS.)
    for extension in ("gpkg",) if form == "htrs07-xyz" else ("gpkg", "shp"):
        written = tool(source, tmp_path / f"{form}.{extension}", form, region)
        assert engine.crss.form_of(qgis_layer(written).crs(), region) == form, extension
    # Without a source form, Convert layer takes it from the CRS.
    out = tmp_path / "out.gpkg"
    target = "htrs07-tm07" if form.startswith("ggrs87") else "ggrs87-tm87"
    run("convertlayer", grids({"INPUT": str(tmp_path / f"{form}.gpkg"), "REGION": region,
                               "TARGET_FORM": target, "OUTPUT": str(out)}))
    expected, _ = features(tool(tmp_path / f"{form}.gpkg", tmp_path / "tool.gpkg", target, region))
    assert [v for _, v in features(out)[0]] == [v for _, v in expected]


def test_epsg_codes_and_other_spellings(engine):
    from qgis.core import QgsCoordinateReferenceSystem as Crs
    crss = engine.crss
    assert crss.form_of(Crs("EPSG:2100"), "mainland") == "ggrs87-tm87"
    assert crss.form_of(Crs("EPSG:4121"), "mainland") == "ggrs87-geographic"
    # The same constants in a PROJ string with an unnamed GRS80 datum, and as ESRI writes them.
    tm07 = Crs.fromProj("+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=-2000000 "
                        "+ellps=GRS80 +units=m +no_defs")
    assert crss.form_of(tm07, "mainland") == "htrs07-tm07"
    esri = osr.SpatialReference()
    esri.ImportFromEPSG(2100)
    esri.MorphToESRI()
    assert crss.form_of(Crs.fromWkt(esri.ExportToWkt()), "mainland") == "ggrs87-tm87"
    # Not ours: WGS 84, ETRS89 / UTM 34N; EPSG:2100 is not TM87 of Kastelorizo.
    for code in ("EPSG:4326", "EPSG:25834", "EPSG:3857"):
        assert crss.form_of(Crs(code), "mainland") is None, code
    assert crss.form_of(Crs("EPSG:2100"), "kastelorizo") is None


def test_a_contradicting_or_unfit_crs_is_refused(tmp_path, engine):
    from qgis.core import QgsProcessingException
    layer = make_layer(tmp_path / "tm87.gpkg", engine, "polygons", 2, "ggrs87-tm87", "mainland")
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": layer, "SOURCE_FORM": "htrs07-tm07",
                                   "TARGET_FORM": "ggrs87-tm87", "OUTPUT": str(tmp_path / "o.gpkg")}))
    assert "GGRS87 / Greek Grid (EPSG:2100)" in str(e.value) and "htrs07-tm07" in str(e.value)

    # Another CRS: refused where it cannot hold the form, taken at its word where it can.
    mercator = osr.SpatialReference()
    mercator.ImportFromEPSG(3857)
    other = make_layer(tmp_path / "merc.gpkg", engine, "points", 2, "htrs07-tm07", "mainland",
                       srs=mercator)
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": other, "SOURCE_FORM": "htrs07-tm07",
                                   "OUTPUT": str(tmp_path / "o2.gpkg")}))
    assert "cannot hold htrs07-tm07" in str(e.value)
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": other, "OUTPUT": str(tmp_path / "o3.gpkg")}))
    assert "none of the five forms" in str(e.value) and "give the source form" in str(e.value)
    wgs84 = osr.SpatialReference()
    wgs84.ImportFromEPSG(4326)
    wgs84.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    geographic = make_layer(tmp_path / "wgs.gpkg", engine, "points", 2, "htrs07-geographic",
                            "mainland", srs=wgs84)
    results = run("convertlayer", grids({"INPUT": geographic, "SOURCE_FORM": "htrs07-geographic",
                                         "OUTPUT": str(tmp_path / "o4.gpkg")}))
    assert results["FEATURES"] == 12

    # No CRS at all: the form is asked for.
    bare = make_layer(tmp_path / "bare.gpkg", engine, "points", 2, "htrs07-tm07", "mainland",
                      srs=None)
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": bare, "OUTPUT": str(tmp_path / "o5.gpkg")}))
    assert "has no CRS" in str(e.value)
    results = run("convertlayer", grids({"INPUT": bare, "SOURCE_FORM": "htrs07-tm07",
                                         "OUTPUT": str(tmp_path / "o6.gpkg")}))
    assert results["FEATURES"] == 12


def test_user_crss_added_once_and_htrs07_read_as_geographic(tmp_path, engine):
    from qgis.core import QgsApplication
    registry = QgsApplication.coordinateReferenceSystemRegistry()
    names = sorted(d.name for d in registry.userCrsList())
    assert names == sorted(["HTRS07 (X, Y, Z)", "HTRS07", "HTRS07 / TM07",
                            "HTRS07 / TM07 Kastelorizo", "GGRS87 / TM87 Kastelorizo"])
    assert engine.crss.register() == 0  # already there
    assert len(registry.userCrsList()) == len(names)

    # HTRS07 latitude and longitude, as the tool and the plugin write them, read as geographic.
    layer = make_layer(tmp_path / "in.gpkg", engine, "polygons", 3, "ggrs87-tm87", "mainland")
    written = tool(layer, tmp_path / "tool.gpkg", "htrs07-geographic")
    run("convertlayer", grids({"INPUT": layer, "TARGET_FORM": "htrs07-geographic",
                               "OUTPUT": str(tmp_path / "plugin.gpkg")}))
    for path in (written, tmp_path / "plugin.gpkg"):
        crs = qgis_layer(path).crs()
        assert crs.isGeographic() and crs.description() == "HTRS07", path
    # An area measured on the layer is that of the ellipsoid, in square metres.
    from qgis.core import QgsDistanceArea, QgsProject
    area = QgsDistanceArea()
    area.setSourceCrs(qgis_layer(written).crs(), QgsProject.instance().transformContext())
    area.setEllipsoid("GRS80")
    polygon = next(qgis_layer(written).getFeatures()).geometry()
    assert 70000 < area.measureArea(polygon) < 90000  # 300 m square less a 100 m hole


def test_a_tm07_output_is_recognised_when_converted_again(tmp_path, engine):
    layer = make_layer(tmp_path / "in.shp", engine, "lines", 2, "ggrs87-tm87", "mainland")
    first = tmp_path / "tm07.shp"
    run("convertlayer", grids({"INPUT": layer, "TARGET_FORM": "htrs07-tm07", "OUTPUT": str(first)}))
    again = tmp_path / "again.gpkg"
    run("convertlayer", grids({"INPUT": str(first), "TARGET_FORM": "ggrs87-tm87",
                               "OUTPUT": str(again)}))
    expected = tool(tool(layer, tmp_path / "t1.shp", "htrs07-tm07"), tmp_path / "t2.gpkg",
                    "ggrs87-tm87")
    assert [v for _, v in features(again)[0]] == [v for _, v in features(expected)[0]]


def test_a_user_crs_of_the_same_name_is_left_as_it_is(engine):
    from qgis.core import QgsApplication, QgsCoordinateReferenceSystem as Crs
    registry = QgsApplication.coordinateReferenceSystemRegistry()
    ours = next(d for d in registry.userCrsList() if d.name == "GGRS87 / TM87 Kastelorizo")
    registry.removeUserCrs(ours.id)
    theirs = Crs.fromProj("+proj=tmerc +lat_0=0 +lon_0=27 +k=1 +x_0=0 +y_0=0 +ellps=GRS80 +units=m")
    theirs_id = registry.addUserCrs(theirs, "GGRS87 / TM87 Kastelorizo", Crs.FormatProj)
    assert engine.crss.register() == 1
    by_name = {d.name: d for d in registry.userCrsList()}
    assert by_name["GGRS87 / TM87 Kastelorizo"].id == theirs_id
    assert "+k=1" in by_name["GGRS87 / TM87 Kastelorizo"].proj
    assert "GGRS87 / TM87 Kastelorizo (VORTAN Transform)" in by_name
    assert engine.crss.output("ggrs87-tm87", "kastelorizo").description() == \
        "GGRS87 / TM87 Kastelorizo (VORTAN Transform)"
