#!/usr/bin/env bash
# Speed of the QGIS plugin's Convert layer against QGIS's own Reproject layer
# (native:reprojectlayer) on the same GeoPackage, measured side by side in one QGIS session
# (bench/qgis_bench.py):
#   - a GeoPackage of P polygons of 20 vertices in HTRS07 TM07 (made as bench/gis-bench.sh makes
#     its polygons);
#   - native:reprojectlayer to EPSG:4121 (GGRS87 latitude and longitude, PROJ's 3-parameter
#     path), the reference;
#   - vortan:convertlayer to ggrs87-geographic (the same target CRS) and to ggrs87-tm87, with
#     the seven parameters and the grids.
# Each is run R times, alternating, and the best kept; the ratio that counts is Convert layer /
# Reproject layer (the machine may be shared and noisy: the median of the R rounds' ratios is
# shown too). Every output is a GeoPackage.
#
# Usage: bench/qgis-bench.sh [--build DIR] [--polygons P] [--repeat R] [--compare-library FILE]
#   --build DIR    build folder with bin/vortan-transform and qgis/vortan_transform (default build)
#   --polygons P   polygons of the layer (default 100000)
#   --repeat R     runs of each measurement, the best kept (default 3)
#   --compare-library FILE
#                  another libvortan.so (an earlier build's, copied aside): Convert layer to
#                  ggrs87-geographic with it too, in each round, its output compared byte for byte
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
polygons=100000
repeat=3
compare=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$(cd "$2" && pwd)"; shift 2 ;;
    --polygons) polygons="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --compare-library) compare=(--compare-library "$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"); shift 2 ;;
    -h|--help) sed -n '2,21p' "$0"; exit 0 ;;
    *) echo "qgis-bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
tool="$build/bin/vortan-transform"
[ -x "$tool" ] || { echo "qgis-bench.sh: $tool is missing (build the project)" >&2; exit 1; }
[ -d "$build/qgis/vortan_transform" ] || { echo "qgis-bench.sh: no plugin in $build/qgis" >&2; exit 1; }
/usr/bin/python3 -c "import qgis.core" 2>/dev/null ||
  { echo "qgis-bench.sh: python3-qgis is missing (scripts/install-deps)" >&2; exit 1; }
grids="$here/tests/data/reference/grids"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "Making $polygons polygons (HTRS07 TM07) in $work ..."
awk -v n="$polygons" 'BEGIN { srand(13); pi = atan2(0, -1); print "WKT,id";
  for (i = 1; i <= n; i++) { x = 150000 + rand() * 600000; y = 1900000 + rand() * 650000;
    r = 20 + rand() * 80; s = "\"POLYGON ((";
    for (k = 0; k < 19; k++) s = s sprintf("%.3f %.3f,", x + r * cos(2 * pi * k / 19), y + r * sin(2 * pi * k / 19));
    s = s sprintf("%.3f %.3f))\"", x + r, y); print s ",F" i } }' > "$work/polygons.csv"
"$tool" -q convert --from htrs07-tm07 --to htrs07-tm07 "$work/polygons.csv" "$work/polygons.gpkg"
rm -f "$work/polygons.csv"

QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" /usr/bin/python3 "$here/bench/qgis_bench.py" \
  --plugin "$build/qgis" --layer "$work/polygons.gpkg" --dn "$grids/dN_2km_V1-0.grd" \
  --de "$grids/dE_2km_V1-0.grd" --repeat "$repeat" --work "$work" "${compare[@]}"
