"""A conversion that stops after some chunks, by a vertex outside the grid or by Cancel: the
GeoPackage it leaves holds exactly the features the message names, committed (a layer that
opens, no -journal beside it), so that what the plugin says is what the user finds."""

import os

import pytest
from osgeo import ogr

from conftest import grids, run, srs_of

# Three chunks of features and a bit: the stop comes after two have been written.
COUNT = 2 * 4096 + 500
OUTSIDE_AT = 2 * 4096 + 100  # the index of the feature far south of the grid (TM07)


def big_layer(path, engine, outside_at=None):
    """COUNT points inside the grid in TM07, one far south of it at outside_at."""
    ds = ogr.GetDriverByName("GPKG").CreateDataSource(str(path))
    layer = ds.CreateLayer("points", srs_of(engine, "htrs07-tm07", "mainland"), ogr.wkbPoint)
    layer.CreateField(ogr.FieldDefn("code", ogr.OFTInteger))
    layer.StartTransaction()
    for k in range(COUNT):
        f = ogr.Feature(layer.GetLayerDefn())
        f.SetField("code", k)
        g = ogr.Geometry(ogr.wkbPoint)
        north = 1000000.0 if k == outside_at else 2100000.0 + k
        g.AddPoint_2D(300000.0 + (k % 97) * 10.0, north)
        f.SetGeometry(g)
        layer.CreateFeature(f)
    layer.CommitTransaction()
    ds = None
    return str(path)


def committed_codes(path):
    """The codes of the features of a GeoPackage as another program finds it: no journal of an
    unfinished transaction beside it, and its layer opens."""
    assert not os.path.exists(str(path) + "-journal"), "an unfinished transaction"
    assert not os.path.exists(str(path) + "-wal"), "an unfinished transaction"
    ds = ogr.Open(str(path))
    assert ds is not None and ds.GetLayerCount() == 1, "the layer is missing"
    return [f.GetField("code") for f in ds.GetLayer(0)]


def test_a_stop_after_some_chunks_leaves_exactly_the_features_it_names(tmp_path, engine):
    from qgis.core import QgsProcessingException
    layer = big_layer(tmp_path / "in.gpkg", engine, outside_at=OUTSIDE_AT)
    out = tmp_path / "out.gpkg"
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": layer, "OUTPUT": str(out)}))
    message = str(e.value)
    assert f"feature {OUTSIDE_AT + 1}" in message and "outside the correction grid" in message
    # Checked while the exception (and with it the algorithm's frames) is still held, as QGIS
    # holds it while it shows the message.
    assert "The output holds only the 8192 features written before" in message
    assert committed_codes(out) == list(range(8192))


def test_a_cancel_after_the_first_chunk_leaves_exactly_the_features_it_names(tmp_path, engine):
    from qgis.core import QgsProcessingFeedback
    layer = big_layer(tmp_path / "in.gpkg", engine)
    out = tmp_path / "out.gpkg"

    class CancelAfterTheFirstChunk(QgsProcessingFeedback):
        said = []

        def setProgress(self, progress):
            super().setProgress(progress)
            self.cancel()

        def pushInfo(self, info):
            super().pushInfo(info)
            self.said.append(info)

    feedback = CancelAfterTheFirstChunk()
    results = run("convertlayer", grids({"INPUT": layer, "OUTPUT": str(out)}), feedback=feedback)
    assert feedback.isCanceled()
    assert results["FEATURES"] == 4096
    assert any("Cancelled after 4096 features" in s for s in feedback.said), feedback.said
    assert committed_codes(out) == list(range(4096))
