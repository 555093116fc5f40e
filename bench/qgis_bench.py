"""The measurements of bench/qgis-bench.sh in one QGIS session: Reproject layer to EPSG:4121
and Convert layer to ggrs87-geographic and ggrs87-tm87, alternating, the best of each and the
median of each round's ratio to Reproject layer. With --compare-library, Convert layer to
ggrs87-geographic also with that library file (an earlier build's libvortan.so) in each round,
and its outputs compared with the build's byte for byte (every vertex)."""

import argparse
import os
import statistics
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--plugin", required=True)
parser.add_argument("--layer", required=True)
parser.add_argument("--dn", required=True)
parser.add_argument("--de", required=True)
parser.add_argument("--repeat", type=int, default=3)
parser.add_argument("--work", required=True)
parser.add_argument("--compare-library")
args = parser.parse_args()

sys.path.insert(0, "/usr/share/qgis/python/plugins")
sys.path.insert(0, args.plugin)
from qgis.core import QgsApplication, QgsVectorLayer  # noqa: E402

app = QgsApplication([], False, os.path.join(args.work, "profile"))
app.initQgis()
import processing  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402

Processing.initialize()
from vortan_transform import library  # noqa: E402
from vortan_transform.common import Engine  # noqa: E402
from vortan_transform.provider import VortanProvider  # noqa: E402

provider = VortanProvider()
QgsApplication.processingRegistry().addProvider(provider)

output = os.path.join(args.work, "out.gpkg")
Engine.load()
libraries = {None: Engine.library}
if args.compare_library:
    libraries["other"] = library.load(os.path.abspath(args.compare_library))
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
if args.compare_library:
    runs["  the same with --compare-library"] = runs["vortan:convertlayer to ggrs87-geographic"] + ("other",)


def vertices(path):
    """Every vertex of the output, as (feature id, WKB) pairs: equal pairs, equal doubles."""
    return [(f.id(), bytes(f.geometry().asWkb())) for f in QgsVectorLayer(path, "o", "ogr").getFeatures()]


features = QgsVectorLayer(args.layer, "in", "ogr").featureCount()
best = {name: float("inf") for name in runs}
ratios = {name: [] for name in runs}
same = None
for _ in range(args.repeat):
    seconds = {}
    kept = {}
    for name, (algorithm, parameters, *which) in runs.items():
        Engine.library = libraries[which[0] if which else None]
        if os.path.exists(output):
            os.remove(output)
        start = time.perf_counter()
        processing.run(algorithm, dict(parameters, OUTPUT=output))
        seconds[name] = time.perf_counter() - start
        best[name] = min(best[name], seconds[name])
        written = QgsVectorLayer(output, "out", "ogr").featureCount()
        assert written == features, (name, written, features)
        if args.compare_library and parameters.get("TARGET_FORM") == "ggrs87-geographic" and same is None:
            kept[bool(which)] = vertices(output)
    if len(kept) == 2:
        same = kept[True] == kept[False]
    for name in runs:
        ratios[name].append(seconds[name] / seconds["native:reprojectlayer to EPSG:4121"])
    Engine.library = libraries[None]

reference = best["native:reprojectlayer to EPSG:4121"]
print(f"\n{features} polygons of 20 vertices, GeoPackage to GeoPackage, best of {args.repeat}, "
      "and the median of the rounds' ratios:")
for name, seconds in best.items():
    ratio = "" if name.startswith("native") else (
        f"   {seconds / reference:.2f} x Reproject layer, median {statistics.median(ratios[name]):.2f} x"
        " (target <= 1.5)")
    print(f"  {name:42s} {seconds:7.2f} s{ratio}")
if same is not None:
    print(f"  outputs of the two libraries: {'every vertex equal' if same else 'DIFFERENT'}")
