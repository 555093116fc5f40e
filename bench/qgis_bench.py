"""The measurements of bench/qgis-bench.sh in one QGIS session: Reproject layer to EPSG:4121
and Convert layer to ggrs87-geographic and ggrs87-tm87, alternating, the best of each."""

import argparse
import os
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--plugin", required=True)
parser.add_argument("--layer", required=True)
parser.add_argument("--dn", required=True)
parser.add_argument("--de", required=True)
parser.add_argument("--repeat", type=int, default=3)
parser.add_argument("--work", required=True)
args = parser.parse_args()

sys.path.insert(0, "/usr/share/qgis/python/plugins")
sys.path.insert(0, args.plugin)
from qgis.core import QgsApplication, QgsVectorLayer  # noqa: E402

app = QgsApplication([], False, os.path.join(args.work, "profile"))
app.initQgis()
import processing  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402

Processing.initialize()
from vortan_transform.provider import VortanProvider  # noqa: E402

provider = VortanProvider()
QgsApplication.processingRegistry().addProvider(provider)

output = os.path.join(args.work, "out.gpkg")
runs = {
    "native:reprojectlayer to EPSG:4121": (
        "native:reprojectlayer", {"INPUT": args.layer, "TARGET_CRS": "EPSG:4121"}),
    "vortan:convertlayer to ggrs87-geographic": (
        "vortan:convertlayer", {"INPUT": args.layer, "TARGET_FORM": "ggrs87-geographic",
                                "DN_GRID": args.dn, "DE_GRID": args.de}),
    "vortan:convertlayer to ggrs87-tm87": (
        "vortan:convertlayer", {"INPUT": args.layer, "TARGET_FORM": "ggrs87-tm87",
                                "DN_GRID": args.dn, "DE_GRID": args.de}),
}
features = QgsVectorLayer(args.layer, "in", "ogr").featureCount()
best = {name: float("inf") for name in runs}
for _ in range(args.repeat):
    for name, (algorithm, parameters) in runs.items():
        if os.path.exists(output):
            os.remove(output)
        start = time.perf_counter()
        processing.run(algorithm, dict(parameters, OUTPUT=output))
        best[name] = min(best[name], time.perf_counter() - start)
        written = QgsVectorLayer(output, "out", "ogr").featureCount()
        assert written == features, (name, written, features)

reference = best["native:reprojectlayer to EPSG:4121"]
print(f"\n{features} polygons of 20 vertices, GeoPackage to GeoPackage, best of {args.repeat}:")
for name, seconds in best.items():
    ratio = "" if name.startswith("native") else f"   {seconds / reference:.2f} x Reproject layer (target <= 1.5)"
    print(f"  {name:42s} {seconds:7.2f} s{ratio}")
