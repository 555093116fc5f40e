#!/usr/bin/env bash
# Runs a Windows program under Wine on the X display of the Windows tests: EMULATOR... PROGRAM
# [ARGS]. The emulator's command line sets DISPLAY= (no display, for the console programs); here
# it is set to VORTAN_WINE_DISPLAY, the Xvfb that scripts/test-windows started, or to one of
# xvfb-run's when none was given.
set -euo pipefail
if [ "${VORTAN_ON_XVFB:-}" = 1 ]; then
  VORTAN_WINE_DISPLAY=$DISPLAY
fi
if [ -z "${VORTAN_WINE_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1366x768x24" env VORTAN_ON_XVFB=1 bash "$0" "$@"
fi
args=()
for a in "$@"; do
  case "$a" in
    DISPLAY=) args+=("DISPLAY=$VORTAN_WINE_DISPLAY") ;;
    *) args+=("$a") ;;
  esac
done
exec "${args[@]}"
