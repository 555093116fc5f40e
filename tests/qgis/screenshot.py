"""Run by QGIS at start (qgis --code, from tests/qgis/screenshot.sh): opens the Convert layer
dialog on a TM07 layer, grabs it into VORTAN_SHOT and ends QGIS."""

import os

import processing
from qgis.core import QgsApplication, QgsProject, QgsVectorLayer
from qgis.PyQt.QtCore import QTimer
from qgis.utils import iface

data = os.environ["VORTAN_SHOT_DATA"]
layer = QgsVectorLayer(os.path.join(data, "survey-tm07.gpkg"), "survey-tm07", "ogr")
QgsProject.instance().addMapLayer(layer)
iface.mapCanvas().setExtent(layer.extent())
dialog = processing.createAlgorithmDialog("vortan:convertlayer", {
    "INPUT": layer.id(), "TARGET_FORM": "ggrs87-tm87",
    "DN_GRID": os.path.join(data, "dN_2km_V1-0.grd"),
    "DE_GRID": os.path.join(data, "dE_2km_V1-0.grd")})
dialog.resize(940, 720)
dialog.show()


def grab():
    dialog.grab().save(os.environ["VORTAN_SHOT"])
    QgsApplication.exit(0)


QTimer.singleShot(6000, grab)
