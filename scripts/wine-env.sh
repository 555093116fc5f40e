# Sourced by scripts/build-windows and scripts/test-windows: Wine for the Windows build, with
# its prefix in build-windows/wine, quiet (no debug channels), without a display and without
# offering to install Mono or Gecko.
wine_prefix=$PWD/build-windows/wine
export WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
# Debian's 64-bit programs; the "wine" wrapper also asks for the 32-bit ones.
wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

# Wine's first start makes its prefix (a few seconds). A prefix left half made by an
# interrupted start is made again.
wine_make_prefix() {
  [ -f "$wine_prefix/.complete" ] && return 0
  rm -rf "$wine_prefix"
  mkdir -p "$(dirname "$wine_prefix")"
  echo "Making the Wine prefix in $wine_prefix"
  local log=$wine_prefix-first-start.log
  if ! "$wine64" wineboot --init >"$log" 2>&1 || ! "$wineserver" -w ||
     [ ! -d "$wine_prefix/drive_c/windows/system32" ]; then
    echo "Wine could not make its prefix:" >&2
    cat "$log" >&2
    return 1
  fi
  touch "$wine_prefix/.complete"
}

# One Wine server for the whole run: a server that ends a few seconds after its last program
# can end just as the next one connects to it ("recvmsg: Connection reset by peer").
# The server and Wine's own services (started by the first program) keep the streams they
# were given as long as they run: they get none of ours, or a pipe that reads the build's output
# would never end.
# Wine's desktop process, started with the first program, keeps that program's display for the
# whole run: with a display (wine_display_start first) the window tests can show windows.
wine_server_start() {
  "$wineserver" -p </dev/null >/dev/null 2>&1 || true
  DISPLAY=${VORTAN_WINE_DISPLAY:-} "$wine64" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  trap wine_server_stop EXIT
}
wine_server_stop() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  if [ -n "${wine_xvfb_pid:-}" ]; then
    kill "$wine_xvfb_pid" 2>/dev/null || true
    wait "$wine_xvfb_pid" 2>/dev/null || true
  fi
}

# An Xvfb display for the programs with windows (1366 x 768, a surveyor's laptop), named in
# VORTAN_WINE_DISPLAY; the console programs keep running without a display. It ends with the
# Wine server (wine_server_stop).
wine_display_start() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
  done
  Xvfb ":$n" -screen 0 1366x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  wine_xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  export VORTAN_WINE_DISPLAY=":$n"
}
