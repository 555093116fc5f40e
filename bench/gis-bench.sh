#!/usr/bin/env bash
# Speed of vortan-transform convert on GeoPackages against GDAL's own cost of the same file,
# measured side by side in one run:
#   - a GeoPackage of N random 3D points over the mainland and one of P polygons of 20 vertices,
#     in HTRS07 TM07;
#   - ogr2ogr copying each file unchanged (reading and writing it, spatial index included);
#   - ogr2ogr -t_srs EPSG:2100 (PROJ's 3-parameter path to GGRS87 / TM87, no grid);
#   - vortan-transform convert --to htrs07-tm07, the same form (reading and writing alone);
#   - vortan-transform convert --to ggrs87-tm87 (the seven parameters and the grids).
# Each is run R times and the best kept; the ratio that counts is convert / plain copy, of runs
# made in the same invocation (the machine may be shared and noisy). The script also checks that
# every output has its spatial index (an R-tree with one entry per feature).
#
# Usage: bench/gis-bench.sh [--build DIR] [--points N] [--polygons P] [--repeat R] [--threads T]
#   --build DIR    build folder with bin/vortan-transform (default: build-bench, then build-gis,
#                  then build)
#   --points N     points of the point file (default 1000000)
#   --polygons P   polygons of the polygon file (default 100000)
#   --repeat R     runs of each measurement, the best kept (default 3)
#   --threads T    threads of vortan-transform (default: every core)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build=""
points=1000000
polygons=100000
repeat=3
threads=$(nproc)
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --points) points="$2"; shift 2 ;;
    --polygons) polygons="$2"; shift 2 ;;
    --repeat) repeat="$2"; shift 2 ;;
    --threads) threads="$2"; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "gis-bench.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$build" ]; then
  for b in "$here/build-bench" "$here/build-gis" "$here/build"; do
    if [ -x "$b/bin/vortan-transform" ]; then build="$b"; break; fi
  done
fi
tool="$build/bin/vortan-transform"
[ -x "$tool" ] || { echo "gis-bench.sh: $tool is missing (build the project)" >&2; exit 1; }
for c in ogr2ogr sqlite3 awk; do
  command -v "$c" >/dev/null || { echo "gis-bench.sh: $c is missing (scripts/install-deps)" >&2; exit 1; }
done
grids="$here/tests/data/reference/grids"
gridArgs=(--dn "$grids/dN_2km_V1-0.grd" --de "$grids/dE_2km_V1-0.grd")

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# TM07 as PROJ knows it, on a datum with no shift: what a user's HTRS07 data say to ogr2ogr.
tm07="+proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=-2000000 +ellps=GRS80 +towgs84=0,0,0 +units=m +no_defs"

echo "Making $points points and $polygons polygons (HTRS07 TM07) in $work ..."
awk -v n="$points" 'BEGIN { srand(11); print "id,E,N,h";
  for (i = 1; i <= n; i++) printf "P%d,%.3f,%.3f,%.3f\n", i, 150000 + rand() * 600000,
    1900000 + rand() * 650000, rand() * 2000 }' > "$work/points.csv"
"$tool" "${gridArgs[@]}" -q convert --from htrs07-tm07 --to htrs07-tm07 "$work/points.csv" "$work/points.gpkg"
awk -v n="$polygons" 'BEGIN { srand(13); pi = atan2(0, -1); print "WKT,id";
  for (i = 1; i <= n; i++) { x = 150000 + rand() * 600000; y = 1900000 + rand() * 650000;
    r = 20 + rand() * 80; s = "\"POLYGON ((";
    for (k = 0; k < 19; k++) s = s sprintf("%.3f %.3f,", x + r * cos(2 * pi * k / 19), y + r * sin(2 * pi * k / 19));
    s = s sprintf("%.3f %.3f))\"", x + r, y); print s ",F" i } }' > "$work/polygons.csv"
"$tool" "${gridArgs[@]}" -q convert --from htrs07-tm07 --to htrs07-tm07 "$work/polygons.csv" "$work/polygons.gpkg"
rm -f "$work/points.csv" "$work/polygons.csv"

# The best wall time of R runs of a command that writes $out (removed before each run).
best() {
  local out="$1"; shift
  local b=""
  for _ in $(seq "$repeat"); do
    rm -f "$out"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    b=$(awk -v a="$b" -v t="$(awk -v x="$t0" -v y="$t1" 'BEGIN { print y - x }')" \
      'BEGIN { if (a == "" || t < a) print t; else print a }')
  done
  echo "$b"
}

# Entries of a GeoPackage's R-tree against its features.
index_check() {
  local file="$1" table
  table=$(sqlite3 "$file" "select table_name from gpkg_extensions where extension_name = 'gpkg_rtree_index' limit 1")
  [ -n "$table" ] || { echo "no spatial index"; return; }
  local column features entries
  column=$(sqlite3 "$file" "select column_name from gpkg_extensions where extension_name = 'gpkg_rtree_index' limit 1")
  features=$(sqlite3 "$file" "select count(*) from \"$table\"")
  entries=$(sqlite3 "$file" "select count(*) from \"rtree_${table}_${column}\"")
  echo "spatial index: $entries entries for $features features"
}

for name in points polygons; do
  in="$work/$name.gpkg"
  copy=$(best "$work/copy.gpkg" ogr2ogr "$work/copy.gpkg" "$in")
  three=$(best "$work/3par.gpkg" ogr2ogr -s_srs "$tm07" -t_srs EPSG:2100 "$work/3par.gpkg" "$in")
  same=$(best "$work/same.gpkg" "$tool" "${gridArgs[@]}" --threads "$threads" -q convert \
    --to htrs07-tm07 "$in" "$work/same.gpkg")
  ours=$(best "$work/ours.gpkg" "$tool" "${gridArgs[@]}" --threads "$threads" -q convert \
    --to ggrs87-tm87 "$in" "$work/ours.gpkg")
  echo
  echo "$name ($(du -h "$in" | cut -f1)):"
  printf '  ogr2ogr plain copy              %8.2f s   (%s)\n' "$copy" "$(index_check "$work/copy.gpkg")"
  printf '  ogr2ogr -t_srs EPSG:2100        %8.2f s   %.2f x the copy\n' "$three" "$(awk -v a="$three" -v b="$copy" 'BEGIN { print a / b }')"
  printf '  convert --to htrs07-tm07        %8.2f s   %.2f x the copy (the same form: no chain, reading and writing)\n' "$same" \
    "$(awk -v a="$same" -v b="$copy" 'BEGIN { print a / b }')"
  printf '  vortan-transform convert        %8.2f s   %.2f x the copy (target <= 1.1; %s)\n' "$ours" \
    "$(awk -v a="$ours" -v b="$copy" 'BEGIN { print a / b }')" "$(index_check "$work/ours.gpkg")"
done
