"""QGIS headless (QT_QPA_PLATFORM=offscreen, QgsApplication([], False)) with the plugin's provider
loaded from the build's staged plugin folder, and layers made with GDAL/OGR, independently of
the plugin, to convert with processing.run and with vortan-transform convert."""

import os
import subprocess
import sys

import numpy as np
import pytest

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
sys.path.insert(0, "/usr/share/qgis/python/plugins")  # processing
sys.path.insert(0, os.environ["VORTAN_PLUGIN_FOLDER"])  # build/qgis: vortan_transform

from osgeo import ogr, osr  # noqa: E402

ogr.UseExceptions()
osr.UseExceptions()

CLI = os.environ["VORTAN_CLI"]
REFERENCE = os.environ["VORTAN_REFERENCE"]
DN = os.path.join(REFERENCE, "grids", "dN_2km_V1-0.grd")
DE = os.path.join(REFERENCE, "grids", "dE_2km_V1-0.grd")
ZIP = os.environ.get("VORTAN_PLUGIN_ZIP", "")

# TM07 positions inside the grids (mainland) and HTRS07 latitude, longitude around Kastelorizo.
MAINLAND_TM07 = [(150000 + 45000 * k % 600000, 1900000 + 37000 * k % 650000) for k in range(1, 13)]
KASTELORIZO_GEOGRAPHIC = [(36.14 + 0.004 * k, 29.57 + 0.005 * k) for k in range(12)]


@pytest.fixture(scope="session")
def qgis_app(tmp_path_factory):
    from qgis.core import QgsApplication
    profile = tmp_path_factory.mktemp("qgis-profile")
    app = QgsApplication([], False, str(profile))
    app.initQgis()
    from processing.core.Processing import Processing
    Processing.initialize()
    from vortan_transform.provider import VortanProvider
    provider = VortanProvider()
    QgsApplication.processingRegistry().addProvider(provider)
    app._vortan_provider = provider  # kept alive with the application
    return app


@pytest.fixture(scope="session")
def engine(qgis_app):
    from vortan_transform.common import Engine
    assert Engine.load() is not None, Engine.missing
    return Engine


def run(algorithm, parameters, feedback=None, context=None):
    import processing
    return processing.run(f"vortan:{algorithm}", parameters, feedback=feedback, context=context)


def grids(parameters):
    return dict(parameters, DN_GRID=DN, DE_GRID=DE)


# ---------------------------------------------------------------------------------------------
# Layers

def positions(engine, form, region, count=12, h=0.0):
    """count positions in the form (the form's a, b, c order, degrees for angles)."""
    with engine.library.context(region, DN, DE) as context:
        if region == "mainland":
            e, n = np.array(MAINLAND_TM07[:count], dtype=float).T
            a, b, c, status, code, error = context.convert("htrs07-tm07", form, e, n,
                                                           np.full(e.size, h))
        else:
            lat, lon = np.array(KASTELORIZO_GEOGRAPHIC[:count], dtype=float).T
            a, b, c, status, code, error = context.convert("htrs07-geographic", form, lat, lon,
                                                           np.full(lat.size, h))
        assert code == 0, error
    return list(zip(a, b, c))


def offsets(form):
    """Sizes of the shapes around a position: 100 m, or about as much in degrees."""
    return 0.001 if form.endswith("geographic") else 100.0


def srs_of(engine, form, region):
    epsg, _, wkt = engine.library.crs(form, region)
    srs = osr.SpatialReference()
    if epsg:
        srs.ImportFromEPSG(epsg)
    else:
        srs.ImportFromWkt(wkt)
    srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return srs


GEOMETRY_TYPES = {
    ("points", 2): ogr.wkbPoint, ("points", 3): ogr.wkbPoint25D,
    ("lines", 2): ogr.wkbLineString, ("lines", 3): ogr.wkbLineString25D,
    ("polygons", 2): ogr.wkbPolygon, ("polygons", 3): ogr.wkbPolygon25D,
}
DRIVERS = {"gpkg": "GPKG", "shp": "ESRI Shapefile"}


def make_layer(path, engine, kind, dims, form, region, srs="form", count=12, extra=None):
    """A layer of count features of kind (points, lines, polygons with a hole) in the form;
    srs: "form" for the form's CRS, None for none, or an osr.SpatialReference. extra: more
    (x, y[, z]) rings to add as one polygon or line feature at the end (outside the grid)."""
    path = str(path)
    driver = ogr.GetDriverByName(DRIVERS[path.rsplit(".", 1)[1]])
    ds = driver.CreateDataSource(path)
    if srs == "form":
        srs = srs_of(engine, form, region)
    options = ["ENCODING=UTF-8"] if path.endswith(".shp") else []
    layer = ds.CreateLayer("features", srs, GEOMETRY_TYPES[(kind, dims)], options)
    layer.CreateField(ogr.FieldDefn("code", ogr.OFTInteger))
    layer.CreateField(ogr.FieldDefn("owner", ogr.OFTString))
    layer.CreateField(ogr.FieldDefn("area", ogr.OFTReal))
    d = offsets(form)
    h = 250.0 if dims == 3 else 0.0
    geographic = form.endswith("geographic")

    def point(a, b, c):
        x, y = (b, a) if geographic else (a, b)
        return (x, y, c) if dims == 3 else (x, y)

    def shape(a, b, c):
        if kind == "points":
            return [[point(a, b, c)]]
        if kind == "lines":
            return [[point(a + d * k, b + d * (k % 2), c + k) for k in range(5)]]
        outer = [(0, 0), (3, 0), (3, 3), (0, 3), (0, 0)]
        hole = [(1, 1), (1, 2), (2, 2), (2, 1), (1, 1)]
        # One height per polygon: GDAL reads the rings of a Shapefile PolygonZ whose heights
        # differ as polygons of their own.
        return [[point(a + d * i, b + d * j, c) for i, j in ring] for ring in (outer, hole)]

    def geometry(rings):
        if kind == "points":
            g = ogr.Geometry(GEOMETRY_TYPES[(kind, dims)])
            g.AddPoint(*rings[0][0]) if dims == 3 else g.AddPoint_2D(*rings[0][0])
            return g
        if kind == "lines":
            g = ogr.Geometry(GEOMETRY_TYPES[(kind, dims)])
            for p in rings[0]:
                g.AddPoint(*p) if dims == 3 else g.AddPoint_2D(*p)
            return g
        g = ogr.Geometry(GEOMETRY_TYPES[(kind, dims)])
        for ring in rings:
            r = ogr.Geometry(ogr.wkbLinearRing)
            for p in ring:
                r.AddPoint(*p) if dims == 3 else r.AddPoint_2D(*p)
            g.AddGeometry(r)
        return g

    shapes = [shape(*p) for p in positions(engine, form, region, count, h)]
    if extra is not None:
        shapes.append(extra)
    for k, rings in enumerate(shapes):
        f = ogr.Feature(layer.GetLayerDefn())
        f.SetField("code", 100 + k)
        f.SetField("owner", f"Ιδιοκτήτης {k}")
        f.SetField("area", 12.5 * k)
        f.SetGeometry(geometry(rings))
        layer.CreateFeature(f)
    ds = None
    return path


def tool(input_path, output_path, target, region="mainland", source=None, keep=False,
         extra=()):
    """vortan-transform convert of a dataset, as a user runs it."""
    command = [CLI, "--region", region, "--dn", DN, "--de", DE, "-q", "convert", "--to", target]
    if source:
        command += ["--from", source]
    if keep:
        command.append("--keep-heights")
    command += list(extra) + [str(input_path), str(output_path)]
    result = subprocess.run(command, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    return str(output_path)


# ---------------------------------------------------------------------------------------------
# Reading layers back, with OGR

def coordinates(geometry):
    """Every vertex of an OGR geometry in order, (x, y[, z]) each."""
    if geometry is None:
        return []
    if geometry.GetGeometryCount() > 0:
        out = []
        for i in range(geometry.GetGeometryCount()):
            out += coordinates(geometry.GetGeometryRef(i))
        return out
    return [tuple(p) for p in (geometry.GetPoints() or [])]


def features(path):
    """(attributes, vertices) of every feature, in order, with the layer's geometry type name."""
    ds = ogr.Open(str(path))
    layer = ds.GetLayer(0)
    out = []
    for f in layer:
        attributes = {layer.GetLayerDefn().GetFieldDefn(i).GetName(): f.GetField(i)
                      for i in range(f.GetFieldCount())}
        out.append((attributes, coordinates(f.GetGeometryRef())))
    geometry_type = ogr.GeometryTypeToName(layer.GetGeomType())
    return out, geometry_type
