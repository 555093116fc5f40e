# Cross build for the browser with Debian's Emscripten (emcc 3.1.6), used by scripts/build-web:
#   cmake -S . -B build-web -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten-wasm32.cmake
# The libraries without Qt, GDAL or threads, compiled to WebAssembly, the module vortan.wasm
# with its loader, and the page (web/). Programs built here (the synthetic grid writer) run
# under Node, which ctest and the build put before each command, as Wine on Windows.
if(NOT EMSCRIPTEN_ROOT_PATH)
  find_path(EMSCRIPTEN_ROOT_PATH emcc.py PATHS /usr/share/emscripten /usr/lib/emscripten
            NO_DEFAULT_PATH)
  if(NOT EMSCRIPTEN_ROOT_PATH)
    find_path(EMSCRIPTEN_ROOT_PATH emcc.py PATHS ENV EMSCRIPTEN)
  endif()
endif()
if(NOT EXISTS ${EMSCRIPTEN_ROOT_PATH}/cmake/Modules/Platform/Emscripten.cmake)
  message(FATAL_ERROR "Emscripten was not found: install the Debian package emscripten "
                      "(scripts/install-deps), or set EMSCRIPTEN_ROOT_PATH.")
endif()

# Debian's emcc runs its JavaScript optimizer under Node with the modules Debian installs in
# /usr/share/nodejs (acorn), which a Node from elsewhere does not look in by itself.
set(VORTAN_NODE_PATH /usr/share/nodejs CACHE PATH "Node modules that emcc needs (acorn)")
set(ENV{NODE_PATH} ${VORTAN_NODE_PATH})

# The Node that runs the programs of this build. Emscripten 3.1.6 fetches its .wasm with fetch()
# wherever fetch() exists, which in Node 18 and later does not read files: without it the
# loader reads the file itself.
find_program(VORTAN_NODE NAMES node nodejs REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORTAN_NODE} --no-experimental-fetch
    CACHE STRING "Runs the programs of the WebAssembly build")

include(${EMSCRIPTEN_ROOT_PATH}/cmake/Modules/Platform/Emscripten.cmake)

# The link runs the JavaScript optimizer, which needs the modules above.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${VORTAN_NODE_PATH})
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${VORTAN_NODE_PATH})
