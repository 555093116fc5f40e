#!/usr/bin/env bash
# libvortan.so needs the C library and libgcc_s alone, not the C++ runtime (which it holds,
# hidden), and no newer glibc than the one docs/qgis.md names: a QGIS on an older
# distribution loads it.
#   runtime_test.sh LIBRARY DOC
set -euo pipefail
library=$1
doc=$2
needed=$(readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for name in $needed; do
  case "$name" in
    libc.so.*|libm.so.*|ld-linux*|libgcc_s.so.1) ;;
    *) echo "runtime_test: $library needs $name (only the C library and libgcc_s)" >&2; exit 1 ;;
  esac
done
newest=$(objdump -T "$library" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)
stated=$(grep -o 'glibc [0-9][0-9.]*[0-9]' "$doc" | head -n 1 | sed 's/glibc //')
if [ -z "$stated" ]; then
  echo "runtime_test: $doc names no oldest glibc" >&2
  exit 1
fi
if [ "$(printf '%s\n%s\n' "$newest" "$stated" | sort -V | tail -n 1)" != "$stated" ]; then
  echo "runtime_test: $library needs glibc $newest, $doc says $stated" >&2
  exit 1
fi
echo "$library: needs $(echo $needed), glibc $newest or later ($doc: $stated)"
