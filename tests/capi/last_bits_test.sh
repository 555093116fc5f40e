#!/usr/bin/env bash
# Another build's last bits against the native build's: the native build's capi_last_bits_test
# writes its bits (the native tree, build/, built by `scripts/build --target
# capi_last_bits_test`), and the other build's program (the .exe under Wine, aarch64 under qemu,
# the portable and the sanitizer builds) compares its runs (x87 at 53 and 64 bits, 1 and 4
# threads) with each other and with them. Without a native build the runs are compared with each
# other only.
#   last_bits_test.sh NATIVE-PROGRAM GRID-FOLDER BITS-FILE COMMAND...  (COMMAND: [emulator] program)
set -euo pipefail
native=$1
grids=$2
bits=$3
shift 3
if [ -x "$native" ]; then
  "$native" write "$grids" "$bits"
  exec "$@" check "$grids" "$bits"
fi
echo "last_bits_test: no native program $native (scripts/build --target capi_last_bits_test):" \
     "the runs are compared with each other only, not with Linux's bits"
exec "$@" check "$grids"
