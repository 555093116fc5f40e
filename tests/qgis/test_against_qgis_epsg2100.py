"""How far QGIS's own transformation to EPSG:2100 (PROJ's 3-parameter shift of EPSG:2100's
definition, from ETRS89, which HTRS07 realises) lies from the official seven-parameter model,
on the 300 mainland test points: the figure of docs/qgis.md. The seven-parameter model is the
library's with grids of zeros (the official corrections are not in the project; the synthetic
grids would add made-up centimetres), and QGIS works in 2D: h = 0 on both sides."""

import os

import numpy as np

from conftest import REFERENCE


def zero_grids():
    header = b"408 422 2000 1846000 42000\r\n"
    values = b"0\r\n" * (408 * 422)
    return header + values


def test_qgis_epsg2100_against_the_seven_parameters(engine):
    from qgis.core import (QgsCoordinateReferenceSystem, QgsCoordinateTransform, QgsPointXY,
                           QgsProject)
    lib = engine.library
    with open(os.path.join(REFERENCE, "mainland", "HTRS07-SFLh.txt"), "rb") as f:
        packed = [line.rsplit(b",", 3)[1:3] for line in f.read().split(b"\r\n") if line]
    with lib.context("mainland") as context:
        context.load_grids_from_bytes(zero_grids(), zero_grids())
        # Latitude and longitude in degrees from the packed values, by the library.
        points = [context.convert_point("htrs07-geographic", (float(a), float(b), 0),
                                        packed_angles=True) for a, b in packed]
        lat = np.array([p["htrs07-geographic"][0] for p in points])
        lon = np.array([p["htrs07-geographic"][1] for p in points])
        e, n, _, status, code, error = context.convert("htrs07-geographic", "ggrs87-tm87", lat, lon)
        assert code == 0, error
    transform = QgsCoordinateTransform(QgsCoordinateReferenceSystem("EPSG:4258"),
                                       QgsCoordinateReferenceSystem("EPSG:2100"),
                                       QgsProject.instance().transformContext())
    theirs = np.array([(p.x(), p.y()) for p in
                       (transform.transform(QgsPointXY(x, y)) for x, y in zip(lon, lat))])
    difference = np.hypot(theirs[:, 0] - e, theirs[:, 1] - n)
    operation = transform.instantiatedCoordinateOperationDetails().proj
    print(f"\nQGIS EPSG:4258 -> EPSG:2100 ({operation}) against "
          f"the seven-parameter model, {len(difference)} points: min {difference.min():.3f} m, "
          f"mean {difference.mean():.3f} m, max {difference.max():.3f} m; "
          f"E {np.abs(theirs[:, 0] - e).max():.3f} m, N {np.abs(theirs[:, 1] - n).max():.3f} m at most")
    assert "+proj=helmert +x=199.87 +y=-74.79 +z=-246.62" in operation  # the 3-parameter shift
    assert 0.2 < difference.mean() and 0.5 < difference.max() < 2.5
