# Sourced by the scripts that build (scripts/build, build-web, build-windows, test-sanitizers,
# test-portable, test-aarch64, fuzz, qgis-plugin-zip): the one way they configure a preset of
# CMakePresets.json and compile its build folder. VORTAN_JOBS sets how many compilers run at
# once (default: one per core).
vortan_jobs=${VORTAN_JOBS:-$(nproc 2>/dev/null || echo 2)}
vortan_script=$(basename "$0")

# The build folder of a preset (its binaryDir in CMakePresets.json).
vortan_build_dir() {
  case "$1" in
    default) echo build ;;
    windows-cross) echo build-windows ;;
    *) echo "build-$1" ;;
  esac
}

# Configures the folder of the preset PRESET when it has no cache yet, or when
# CMakePresets.json changed since it was configured; further arguments go to cmake. A folder
# configured from another source folder (fuzz/ was a project of its own) starts afresh.
# CMake's own lines are not shown; its warnings and errors are.
vortan_configure() {
  local preset=$1
  shift
  local dir
  dir=$(vortan_build_dir "$preset")
  if [ -f "$dir/CMakeCache.txt" ] &&
     ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" "$dir/CMakeCache.txt"; then
    echo "$vortan_script: $dir was configured from another source folder; configuring it afresh" >&2
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
  if [ -f "$dir/CMakeCache.txt" ] && [ ! CMakePresets.json -nt "$dir/CMakeCache.txt" ] &&
     [ $# -eq 0 ]; then
    return 0
  fi
  cmake --preset "$preset" "$@" >/dev/null
}

# What a build says when a compiler or another program of the build could not be started or was
# killed from outside (a loaded machine out of processes or memory), or when LeakSanitizer's own
# tracer failed in a program the build runs ("Tracer caught signal 11"), not a fault of the code.
vortan_start_failure='Resource temporarily unavailable|Cannot allocate memory|cannot fork|fork: |vfork|posix_spawn|Killed signal terminated program|internal compiler error: Killed|LeakSanitizer has encountered a fatal error'

# Compiles the build folder DIR (cmake --build DIR -jN, further arguments to it), showing
# warnings and errors but not the progress lines; the whole output is kept in DIR/build.log.
# A build that stopped for one of those reasons is run once more, saying so; any
# other failure fails at once.
vortan_compile() {
  local dir=$1
  shift
  if vortan_compile_once "$dir" "$@"; then
    return 0
  fi
  local why
  if ! why=$(grep -m 1 -E "$vortan_start_failure" "$dir/build.log"); then
    echo "$vortan_script: the build of $dir failed (the whole output: $dir/build.log)" >&2
    return 1
  fi
  echo "$vortan_script: the build of $dir stopped for a reason outside the code" \
       "(\"$why\"); building once more" >&2
  vortan_compile_once "$dir" "$@"
}

# The lines of a build that say how far it is, not what went wrong (and Qt's notice, from the
# help-PDF renderer, that the session has no runtime folder: the build needs none).
vortan_progress_lines='^QStandardPaths: XDG_RUNTIME_DIR not set|^\[ *[0-9]+%\]|^(Consolidate|Scanning|Built target|Automatic MOC|Laying out|make\[|gmake\[)|^-- (Configuring done|Generating done|Build files have been written)'

vortan_compile_once() {
  local dir=$1
  shift
  cmake --build "$dir" -j"$vortan_jobs" "$@" 2>&1 | tee "$dir/build.log" |
    { grep -v -E "$vortan_progress_lines" || true; }
  return "${PIPESTATUS[0]}"
}
