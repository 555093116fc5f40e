#!/usr/bin/env bash
# Runs the four batch jobs of the command-line tool on the reference inputs of both regions and
# compares every output byte for byte with the expected files. Usage:
#   bench/check-reference.sh [BUILD_DIR] [--threads N]
# Exit status 0 when every file matches.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build-bench}"
shift || true
tool="$build/bin/vortan-transform"
ref="$here/tests/data/reference"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

declare -A inputs=(
  [sflh-to-senh]=GGRS87-SFLh [senh-to-htrs07]=GGRS87-SENh
  [sflh-to-sxyz]=HTRS07-SFLh [sxyz-to-ggrs87]=HTRS07-SXYZ)
declare -A outs=(
  [sflh-to-senh]="GGRS87-SENh"
  [senh-to-htrs07]="GGRS87-SFLh HTRS07-SFL HTRS07-SEN"
  [sflh-to-sxyz]="HTRS07-SXYZ"
  [sxyz-to-ggrs87]="HTRS07-SFLh HTRS07-SENk GGRS87-SFL GGRS87-SEN")

failed=0
for region in mainland kastelorizo; do
  infix=""
  [ "$region" = kastelorizo ] && infix="-KAST"
  for job in sflh-to-senh senh-to-htrs07 sflh-to-sxyz sxyz-to-ggrs87; do
    in="${inputs[$job]}"
    in="${in/-/$infix-}"
    files=()
    for o in ${outs[$job]}; do files+=("$work/$region.$job.${o/-/$infix-}.txt"); done
    "$tool" --region "$region" --dn "$ref/grids/dN_2km_V1-0.grd" --de "$ref/grids/dE_2km_V1-0.grd" \
      "$@" "$job" "$ref/$region/$in.txt" "${files[@]}" 2>/dev/null || {
      echo "FAIL $region $job: exit status $?"; failed=1; continue; }
    for o in ${outs[$job]}; do
      name="${o/-/$infix-}"
      if ! cmp -s "$work/$region.$job.$name.txt" "$ref/$region/expected-$job.$name.txt"; then
        echo "FAIL $region $job $name differs"; failed=1
      fi
    done
  done
done
[ "$failed" = 0 ] && echo "reference outputs: all identical"
exit "$failed"
