"""Convert layer on GeoPackage and Shapefile layers of points, lines and polygons with holes, 2D
and 3D, both directions, both regions: the vertices equal vortan-transform convert's on the
same layer; attributes, feature order, geometry type and CRS kept or set as they should be."""

import pytest

from conftest import features, grids, make_layer, run, tool

CASES = [  # region, source form (from the layer's CRS), target form
    ("mainland", "htrs07-tm07", "ggrs87-tm87"),
    ("mainland", "ggrs87-tm87", "htrs07-tm07"),
    ("kastelorizo", "htrs07-tm07", "ggrs87-tm87"),
    ("kastelorizo", "ggrs87-tm87", "htrs07-tm07"),
]


def check_same(plugin_output, tool_output, engine, target, region, input_path):
    ours, ours_type = features(plugin_output)
    theirs, theirs_type = features(tool_output)
    assert len(ours) == len(theirs) > 0
    for (a, v), (b, w) in zip(ours, theirs):
        assert {k: a[k] for k in ("code", "owner", "area")} == \
               {k: b[k] for k in ("code", "owner", "area")}
        assert v == w  # every vertex to the last bit
    # The geometry type as QGIS reads the input, the CRS of the target form.
    from qgis.core import QgsVectorLayer, QgsWkbTypes
    layer = QgsVectorLayer(str(plugin_output), "out", "ogr")
    source = QgsVectorLayer(str(input_path), "in", "ogr")
    assert layer.wkbType() == source.wkbType() or (
        target == "htrs07-xyz" and layer.wkbType() == QgsWkbTypes.addZ(source.wkbType()))
    assert engine.crss.form_of(layer.crs(), region) == target
    epsg = engine.library.crs(target, region)[0]
    if epsg:
        assert layer.crs().authid() == f"EPSG:{epsg}"
    else:  # the user CRS; a Shapefile's .prj spells the name as ESRI does ("HTRS07_TM07")
        squeezed = lambda name: "".join(c for c in name.lower() if c.isalnum())  # noqa: E731
        name = engine.library.crs(target, region)[1] + (" (X, Y, Z)" if target == "htrs07-xyz" else "")
        assert squeezed(layer.crs().description()) == squeezed(name)


@pytest.mark.parametrize("region,source,target", CASES)
@pytest.mark.parametrize("kind", ["points", "lines", "polygons"])
@pytest.mark.parametrize("dims", [2, 3])
@pytest.mark.parametrize("extension", ["gpkg", "shp"])
def test_vertices_equal_the_tools(tmp_path, engine, region, source, target, kind, dims,
                                  extension):
    layer = make_layer(tmp_path / f"in.{extension}", engine, kind, dims, source, region)
    plugin_output = tmp_path / f"plugin.{extension}"
    results = run("convertlayer", grids({"INPUT": layer, "TARGET_FORM": target, "REGION": region,
                                         "OUTPUT": str(plugin_output)}))
    assert results["FEATURES"] == 12 and results["SKIPPED_COUNT"] == 0
    tool_output = tool(layer, tmp_path / f"tool.{extension}", target, region)
    check_same(plugin_output, tool_output, engine, target, region, layer)


@pytest.mark.parametrize("source,target,keep,dims", [
    ("htrs07-geographic", "ggrs87-tm87", False, 3),
    ("ggrs87-geographic", "htrs07-xyz", False, 2),   # X, Y, Z out: made 3D
    ("htrs07-xyz", "ggrs87-geographic", False, 3),
    ("htrs07-tm07", "ggrs87-geographic", True, 3),   # heights kept
    ("ggrs87-tm87", "ggrs87-geographic", False, 2),  # within one system: no grid
])
def test_every_kind_of_form(tmp_path, engine, source, target, keep, dims):
    layer = make_layer(tmp_path / "in.gpkg", engine, "polygons", dims, source, "mainland")
    plugin_output = tmp_path / "plugin.gpkg"
    run("convertlayer", grids({"INPUT": layer, "TARGET_FORM": target, "KEEP_HEIGHTS": keep,
                               "OUTPUT": str(plugin_output)}))
    tool_output = tool(layer, tmp_path / "tool.gpkg", target, keep=keep)
    check_same(plugin_output, tool_output, engine, target, "mainland", layer)


def test_selected_features_only_and_a_temporary_layer(tmp_path, engine):
    from qgis.core import (QgsProcessingContext, QgsProcessingFeatureSourceDefinition,
                           QgsProject, QgsVectorLayer)
    path = make_layer(tmp_path / "in.gpkg", engine, "lines", 3, "htrs07-tm07", "mainland")
    layer = QgsVectorLayer(path, "lines", "ogr")
    QgsProject.instance().addMapLayer(layer)
    layer.selectByIds([2, 5, 7])
    context = QgsProcessingContext()
    context.setProject(QgsProject.instance())
    results = run("convertlayer", grids({
        "INPUT": QgsProcessingFeatureSourceDefinition(layer.id(), True),
        "TARGET_FORM": "ggrs87-tm87", "OUTPUT": "TEMPORARY_OUTPUT"}), context=context)
    out = results["OUTPUT"]
    if isinstance(out, str):
        out = context.getMapLayer(out)
    assert out.featureCount() == 3 and out.crs().authid() == "EPSG:2100"
    expected, _ = features(tool(path, tmp_path / "tool.gpkg", "ggrs87-tm87"))
    by_code = {a["code"]: v for a, v in expected}
    for f in out.getFeatures():
        vertices = [(p.x(), p.y(), p.z()) for p in f.geometry().vertices()]
        assert vertices == by_code[f["code"]]
    assert sorted(f["code"] for f in out.getFeatures()) == [101, 104, 106]
    QgsProject.instance().removeMapLayer(layer.id())
