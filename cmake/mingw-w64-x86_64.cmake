# Cross build for 64-bit Windows with Debian's MinGW-w64, posix thread model (std::thread on
# winpthreads). Used by scripts/build-windows:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs are linked statically (libgcc, libstdc++, winpthreads): the .exe needs no DLL
# beside the system's. The tests run under Wine (wine64), which ctest puts before each test
# command; its prefix lives in the build folder, made by scripts/build-windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORTAN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORTAN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORTAN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORTAN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORTAN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLL to ship: the C++ runtime and winpthreads go into each executable.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine runs the test programs (and the build-time helpers such as the grid writer). Debian
# installs the 64-bit loader as /usr/lib/wine/wine64; the "wine" wrapper asks for wine32.
find_program(VORTAN_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(VORTAN_WINE64 NAMES wine64 wine)
if(VORTAN_WINE64)
  if(NOT VORTAN_WINEPREFIX)
    set(VORTAN_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
  endif()
  set(VORTAN_WINEPREFIX ${VORTAN_WINEPREFIX} CACHE PATH "Wine prefix of the tests")
  # Quiet (no debug channels), no display, no offer to install Mono or Gecko.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${VORTAN_WINEPREFIX} WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= ${VORTAN_WINE64})
endif()
