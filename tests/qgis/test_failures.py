"""What goes wrong: a point outside the grid stops the conversion naming layer, feature and
vertex, or with 'skip' goes to the second layer; Cancel through the feedback stops between
chunks; missing grids and a missing library are said plainly."""

import pytest

from conftest import features, grids, make_layer, run, tool

# A polygon whose third vertex lies far south of the grid (TM07).
OUTSIDE = [[(300000.0, 2100000.0), (300100.0, 2100000.0), (300100.0, 1000000.0),
            (300000.0, 2100000.0)]]


@pytest.fixture
def layer_with_an_outside_feature(tmp_path, engine):
    return make_layer(tmp_path / "in.gpkg", engine, "polygons", 2, "htrs07-tm07", "mainland",
                      extra=OUTSIDE)


def test_outside_the_grid_stops_naming_the_feature_and_vertex(tmp_path,
                                                              layer_with_an_outside_feature):
    from qgis.core import QgsProcessingException
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": layer_with_an_outside_feature,
                                   "OUTPUT": str(tmp_path / "out.gpkg")}))
    message = str(e.value)
    assert "Layer 'in', feature 13, vertex 3 (E 300100.000, N 1000000.000)" in message
    assert "outside the correction grid" in message and "'skip'" in message
    assert "only the 0 features written before, and is incomplete" in message


def test_skip_puts_the_feature_in_the_second_layer(tmp_path, engine,
                                                   layer_with_an_outside_feature):
    results = run("convertlayer", grids({"INPUT": layer_with_an_outside_feature,
                                         "OUTSIDE": "skip", "OUTPUT": str(tmp_path / "out.gpkg"),
                                         "SKIPPED": str(tmp_path / "skipped.gpkg")}))
    assert results["FEATURES"] == 12 and results["SKIPPED_COUNT"] == 1
    skipped, _ = features(tmp_path / "skipped.gpkg")
    assert [a["code"] for a, _ in skipped] == [112]
    assert skipped[0][1] == [p for p in OUTSIDE[0]]  # as it was, in its own CRS
    # The others: as the tool converts them with --outside skip.
    expected = tool(layer_with_an_outside_feature, tmp_path / "tool.gpkg", "ggrs87-tm87",
                    extra=["--outside", "skip"])
    assert [v for _, v in features(tmp_path / "out.gpkg")[0]] == \
           [v for _, v in features(expected)[0]]
    # Without a second layer the features are only counted and named in the log.
    results = run("convertlayer", grids({"INPUT": layer_with_an_outside_feature,
                                         "OUTSIDE": "skip", "OUTPUT": "TEMPORARY_OUTPUT"}))
    assert results["SKIPPED_COUNT"] == 1 and "SKIPPED" not in results


def test_a_nan_vertex_is_an_error(tmp_path, engine):
    from qgis.core import QgsProcessingException
    nan = float("nan")
    layer = make_layer(tmp_path / "in.gpkg", engine, "lines", 2, "htrs07-tm07", "mainland",
                       extra=[[(300000.0, 2100000.0), (nan, 2100100.0)]])
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", grids({"INPUT": layer, "OUTPUT": str(tmp_path / "out.gpkg")}))
    assert "feature 13, vertex 2" in str(e.value) and "not a number (NaN)" in str(e.value)


def test_cancel_through_the_feedback_stops_between_chunks(tmp_path, engine, monkeypatch):
    from qgis.core import QgsProcessingFeedback
    from vortan_transform import convert_layer
    monkeypatch.setattr(convert_layer, "CHUNK_FEATURES", 2)
    layer = make_layer(tmp_path / "in.gpkg", engine, "points", 2, "htrs07-tm07", "mainland")

    class CancelAtFirstProgress(QgsProcessingFeedback):
        def setProgress(self, progress):
            super().setProgress(progress)
            self.cancel()

    feedback = CancelAtFirstProgress()
    results = run("convertlayer", grids({"INPUT": layer, "OUTPUT": str(tmp_path / "out.gpkg")}),
                  feedback=feedback)
    assert feedback.isCanceled()
    assert 0 < results["FEATURES"] < 12
    assert len(features(tmp_path / "out.gpkg")[0]) == results["FEATURES"]


def test_the_grids_are_asked_for_and_remembered(tmp_path, engine):
    from qgis.core import QgsProcessingException, QgsSettings
    layer = make_layer(tmp_path / "in.gpkg", engine, "points", 2, "htrs07-tm07", "mainland")
    settings = QgsSettings()
    for key in ("dn_grid", "de_grid"):
        settings.remove("vortan_transform/" + key)
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", {"INPUT": layer, "OUTPUT": "TEMPORARY_OUTPUT"})
    assert "dN_2km_V1-0.grd" in str(e.value)
    with pytest.raises(QgsProcessingException) as e:
        run("convertlayer", {"INPUT": layer, "OUTPUT": "TEMPORARY_OUTPUT",
                             "DN_GRID": str(tmp_path / "none.grd"), "DE_GRID": str(tmp_path / "none.grd")})
    assert "none.grd" in str(e.value)
    run("convertlayer", grids({"INPUT": layer, "OUTPUT": "TEMPORARY_OUTPUT"}))
    # Once given, the grids stay: the next run needs none, and the dialog shows them.
    results = run("convertlayer", {"INPUT": layer, "OUTPUT": "TEMPORARY_OUTPUT"})
    assert results["FEATURES"] == 12
    from vortan_transform.convert_layer import ConvertLayer
    algorithm = ConvertLayer()
    algorithm.initAlgorithm()
    assert algorithm.parameterDefinition("DN_GRID").defaultValue().endswith("dN_2km_V1-0.grd")
    # Within one system and on Kastelorizo no grid is read.
    settings.remove("vortan_transform/dn_grid")
    run("convertlayer", {"INPUT": layer, "TARGET_FORM": "htrs07-geographic",
                         "OUTPUT": "TEMPORARY_OUTPUT"})


def test_a_missing_library_is_said_in_the_log_and_the_dialog(monkeypatch):
    from qgis.core import QgsApplication
    from vortan_transform import common, library
    from vortan_transform.provider import VortanProvider
    monkeypatch.setattr(common.Engine, "library", None)
    monkeypatch.setattr(common.Engine, "crss", None)
    monkeypatch.setattr(common.Engine, "missing", "")
    monkeypatch.setattr(library, "default_library_path", lambda: "/nonexistent/libvortan.so")
    logged = []
    log = QgsApplication.messageLog()
    log.messageReceived.connect(lambda message, tag, level: logged.append((tag, message)))
    provider = VortanProvider()
    provider.load()
    assert any(tag == "VORTAN Transform" and "(libvortan.so) is missing" in message
               for tag, message in logged), logged
    for algorithm in provider.algorithms():
        can, message = algorithm.canExecute()
        assert not can and "/nonexistent/libvortan.so does not exist" in message
        assert "cannot run" in algorithm.shortHelpString()
