#!/usr/bin/env bash
# Screenshots of the Convert layer dialog in QGIS itself under Xvfb, in English and in Greek,
# for docs/qgis.md (run by hand after a build; needs the qgis package and xvfb-run):
#   tests/qgis/screenshot.sh [BUILD-FOLDER]
# The plugin is installed from the build's zip into a fresh profile; a small TM07 layer and the
# synthetic grids stand in a folder of their own.
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
zip=$(ls "$build"/qgis/vortan_transform-*.zip)
work=/tmp/vortan-qgis-screenshot
rm -rf "$work"
mkdir -p "$work/data"
cp "$build/bin/dN_2km_V1-0.grd" "$build/bin/dE_2km_V1-0.grd" "$work/data/"
"$build/bin/vortan-transform" -q convert --from htrs07-xyz --to htrs07-tm07 \
  "$here/tests/data/reference/mainland/HTRS07-SXYZ.txt" "$work/data/survey-tm07.gpkg"

for language in en el; do
  profiles="$work/profiles-$language"
  mkdir -p "$profiles/profiles/default/python/plugins" "$profiles/profiles/default/QGIS"
  (cd "$profiles/profiles/default/python/plugins" && unzip -q "$zip")
  {
    printf '[PythonPlugins]\nvortan_transform=true\n[qgis]\ncheckVersion=false\n'
    printf '[locale]\noverrideFlag=true\nuserLocale=%s\n' "$language"
  } > "$profiles/profiles/default/QGIS/QGIS3.ini"
  suffix=$([ "$language" = en ] && echo "" || echo "-$language")
  VORTAN_SHOT="$here/docs/screenshots/qgis-convert-layer$suffix.png" \
  VORTAN_SHOT_DATA="$work/data" XDG_RUNTIME_DIR="$work" \
    timeout 180 xvfb-run -a -s "-screen 0 1600x1000x24" \
    qgis --profiles-path "$profiles" --code "$here/tests/qgis/screenshot.py" >/dev/null 2>&1
  ls -l "$here/docs/screenshots/qgis-convert-layer$suffix.png"
done
